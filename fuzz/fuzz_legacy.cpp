// libFuzzer harness for the legacy Kohonen map reader and writer.
//
// Any input is either parsed or refused with the reader's exception. What is
// parsed keeps the reader's promises (m x m rows on the grid, n weights each)
// and builds a map whose units hold the last row given for them; the map's
// file text, written by the writer, parses back to the same map at 6
// significant digits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NeuralNets/TConnectedConnections.h"
#include "common/Numbers.h"
#include "common/TException.h"
#include "legacy/KohonenText.h"
#include "legacy/OndKohonenFiler.h"

namespace {

using kohport::TConnectedConnections;
using kohport::TException;
using kohport::TKohonenNetwork;
using kohport::TOndKohFileInfo;
using kohport::TOndKohonenFiler;
using kohport::legacy::ParseKohonenText;
using kohport::legacy::TOndKohonenImage;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The weights of each unit after the rows in file order (the last row wins).
std::vector<double> UnitWeights(const TOndKohonenImage& image) {
  const std::size_t n = static_cast<std::size_t>(image.numInputs);
  const std::size_t m = static_cast<std::size_t>(image.mapSize);
  std::vector<double> units(m * m * n, 0.0);
  for (std::size_t r = 0; r < image.places.size(); ++r) {
    const std::size_t u = static_cast<std::size_t>(image.places[r].x) * m +
                          static_cast<std::size_t>(image.places[r].y);
    for (std::size_t i = 0; i < n; ++i) units[u * n + i] = image.weights[r * n + i];
  }
  return units;
}

// The map's weights, unit by unit.
std::vector<double> MapWeights(const TKohonenNetwork& map) {
  const int n = map.layers[1]->numNeurons;
  const int units = map.layers[2]->numNeurons;
  auto* block = static_cast<TConnectedConnections*>(map.priv_conns_index[2][1].get());
  std::vector<double> out;
  for (int u = 0; u < units; ++u)
    out.insert(out.end(), block->index_weights[u], block->index_weights[u] + n);
  return out;
}

bool IsLoadRefusal(const TException& e) {
  return e.category == std::string("File Error") &&
         e.location == std::string("TOndKohonenFiler::LoadKohonen") && e.message &&
         e.message->compare(0, 5, "line ") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TOndKohonenImage image;
  try {
    image = ParseKohonenText(text);
  } catch (const TException& e) {
    Check(IsLoadRefusal(e));
    return 0;
  }
  const std::size_t n = static_cast<std::size_t>(image.numInputs);
  const std::size_t m = static_cast<std::size_t>(image.mapSize);
  Check(image.numInputs >= 0 && image.mapSize >= 0);
  Check(image.places.size() == m * m && image.weights.size() == m * m * n);
  for (const auto& place : image.places) {
    Check(place.x >= 0 && static_cast<std::size_t>(place.x) < m);
    Check(place.y >= 0 && static_cast<std::size_t>(place.y) < m);
  }

  // The map holds, for every unit, the last row given for it (bit for bit).
  const std::unique_ptr<TKohonenNetwork> map = TOndKohonenFiler::BuildKohonen(image);
  const std::vector<double> units = UnitWeights(image);
  const std::vector<double> held = MapWeights(*map);
  Check(held.size() == units.size() &&
        (units.empty() ||
         std::memcmp(held.data(), units.data(), units.size() * sizeof(double)) == 0));

  // Written out (without the description, whose words a reader takes as free
  // header text) and read back.
  TOndKohFileInfo info("fuzz");
  info.title = image.title;
  std::string written;
  TOndKohonenFiler::WriteKohonen(*map, info,
                                 [&written](std::string_view piece) { written.append(piece); });
  TOndKohonenImage back;
  try {
    back = ParseKohonenText(written);
  } catch (const TException& e) {
    // Only an empty map may declare more inputs than its short text holds.
    Check(m == 0 && n > written.size());
    return 0;
  }
  Check(back.numInputs == image.numInputs && back.mapSize == image.mapSize);
  std::string title = image.title.value_or("");
  if (!title.empty() && title.back() == '\r') title.pop_back();  // part of the line end
  Check(back.title == "  " + title);
  Check(!back.description);
  const std::vector<double> again = UnitWeights(back);
  for (std::size_t k = 0; k < units.size(); ++k) {
    Check(kohport::GeneralText(again[k], 6) == kohport::GeneralText(units[k], 6));
  }
  return 0;
}
