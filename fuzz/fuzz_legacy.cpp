// libFuzzer harness for the legacy Kohonen map reader and writer.
//
// Any input is either parsed or refused with the reader's exception; what is
// parsed keeps the reader's promises (m x m rows on the grid, n weights each),
// and the writer's text for it parses back to the same map at 6 significant
// digits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/Numbers.h"
#include "common/TException.h"
#include "legacy/KohonenText.h"

namespace {

using kohport::TException;
using kohport::legacy::ParseKohonenText;
using kohport::legacy::TOndKohonenImage;
using kohport::legacy::WriteKohonenText;

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

  // Write the map out (without the description, whose words the reader
  // takes as free header text) and read it back.
  const std::vector<double> units = UnitWeights(image);
  TOndKohonenImage out = image;
  out.description.reset();
  std::string written;
  WriteKohonenText(
      out, [&units, n](int u) { return units.data() + static_cast<std::size_t>(u) * n; },
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
