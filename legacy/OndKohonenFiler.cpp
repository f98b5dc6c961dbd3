#include "legacy/OndKohonenFiler.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "NeuralNets/TConnectedConnections.h"
#include "common/Assert.h"
#include "common/TException.h"
#include "legacy/FileImage.h"
#include "legacy/LegacyFormat.h"

namespace kohport {

namespace {

using legacy::kLoadLocation;
using legacy::kSaveLocation;

[[noreturn]] void RefuseSave(const char* message, const char* category) {
  throw TException(message, category, kSaveLocation, nullptr);
}

bool HoldsLineEnd(const std::optional<std::string>& text) {
  return text && text->find('\n') != std::string::npos;
}

struct TCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

std::unique_ptr<TKohonenNetwork> TOndKohonenFiler::BuildKohonen(
    const legacy::TOndKohonenImage& image) {
  const int n = image.numInputs;
  const int m = image.mapSize;
  bool inside = image.weights.size() == image.places.size() * static_cast<std::size_t>(n);
  for (const legacy::TGridPlace& place : image.places) {
    inside &= place.x >= 0 && place.x < m && place.y >= 0 && place.y < m;
  }
  KOH_ASSERT(inside, "image rows inside the grid");
  const int sizes[2] = {m, m};
  auto map = std::make_unique<TKohonenNetwork>(n, 2, sizes);
  // Each row's weights go straight into the weight row of its unit in the
  // fully connected block from the inputs (layer 1) to the units (layer 2).
  auto* block = static_cast<TConnectedConnections*>(map->priv_conns_index[2][1].get());
  const double* weights = image.weights.data();
  for (const legacy::TGridPlace& place : image.places) {
    const int coords[2] = {place.x, place.y};
    const int unit = map->CoordinatesToIndex(coords);
    std::copy(weights, weights + n, block->index_weights[static_cast<std::size_t>(unit)]);
    weights += n;
  }
  return map;
}

void TOndKohonenFiler::LoadKohonen(const char* path, std::unique_ptr<TKohonenNetwork>& map,
                                   std::unique_ptr<TOndKohFileInfo>& info) {
  KOH_ASSERT(path != nullptr);
  try {
    legacy::TInputFile file(path, kLoadLocation);
    info = std::make_unique<TOndKohFileInfo>(path);
    legacy::TOndKohonenImage image;
    {
      const std::string text = file.ReadAll();  // closes the file
      image = legacy::ParseKohonenText(text);
    }
    std::unique_ptr<TKohonenNetwork> built = BuildKohonen(image);
    info->title = std::move(image.title);
    info->description = std::move(image.description);
    map = std::move(built);
  } catch (const std::bad_alloc&) {
    throw TException("Not enough memory to read the map", legacy::kFileError, kLoadLocation,
                     nullptr);
  }
}

void TOndKohonenFiler::WriteKohonen(const TKohonenNetwork& map, const TOndKohFileInfo& info,
                                    const legacy::TTextSink& sink) {
  constexpr const char* kNotSquare = "Only 2D square maps can be saved by this handler";
  if (map.GetNumDimensions() != 2) RefuseSave(kNotSquare, legacy::kBadNetworkType);
  int sizes[2] = {0, 0};
  map.GetDimensions(sizes);
  const int m = sizes[0];
  if (sizes[1] != m || m < 0) RefuseSave(kNotSquare, legacy::kBadNetworkType);
  // The grid must be the map's units, and its weights must be there to read.
  KOH_ASSERT(map.numLayers == 3 && map.layers[1] && map.layers[2]);
  const int n = map.layers[1]->numNeurons;
  const long long units = static_cast<long long>(m) * m;
  TBasicConnections* block = map.priv_conns_index[2][1].get();
  double* const* rows = block->GetWeightRows();
  if (map.layers[2]->numNeurons != units || (n > 0 && units > 0 && !rows)) {
    RefuseSave(kNotSquare, legacy::kBadNetworkType);
  }
  if (HoldsLineEnd(info.title) || HoldsLineEnd(info.description)) {
    RefuseSave("Title or description holds a line end", "Bad Parameter");
  }
  legacy::TOndKohonenHeader header;
  header.numInputs = n;
  header.mapSize = m;
  header.title = info.title;
  header.description = info.description;
  legacy::WriteKohonenText(
      header, [rows](int unit) -> const double* { return rows ? rows[unit] : nullptr; }, sink);
}

void TOndKohonenFiler::SaveKohonen(const char* path, const TKohonenNetwork& map,
                                   const TOndKohFileInfo& info) {
  KOH_ASSERT(path != nullptr);
  std::unique_ptr<std::FILE, TCloser> file(std::fopen(path, "w"));
  if (!file) RefuseSave("Unable to open file", legacy::kFileError);
  bool failed = false;
  WriteKohonen(map, info, [&](std::string_view piece) {
    failed |= std::fwrite(piece.data(), 1, piece.size(), file.get()) != piece.size();
  });
  failed |= std::fclose(file.release()) != 0;
  if (failed) RefuseSave("Unable to write file", legacy::kFileError);
}

}  // namespace kohport
