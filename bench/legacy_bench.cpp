// The legacy map text: the buffer parser and the writer against the stream
// extraction and stream formatting they replace, on the same 100 x 100 map
// of 20 inputs. Compare the pairs as ratios measured in one run.
#include <benchmark/benchmark.h>

#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/KohonenText.h"

namespace {

using kohport::legacy::ParseKohonenText;
using kohport::legacy::TOndKohonenImage;
using kohport::legacy::WriteKohonenText;

constexpr int kSide = 100;
constexpr int kInputs = 20;

const std::vector<double>& Weights() {
  static const std::vector<double> weights = [] {
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal(0.0, 1.5);
    std::vector<double> w(static_cast<std::size_t>(kSide) * kSide * kInputs);
    for (double& v : w) v = normal(random);
    return w;
  }();
  return weights;
}

TOndKohonenImage Header() {
  TOndKohonenImage image;
  image.numInputs = kInputs;
  image.mapSize = kSide;
  image.title = "bench";
  return image;
}

const std::string& MapText() {
  static const std::string text = [] {
    std::string out;
    WriteKohonenText(
        Header(), [](int u) { return Weights().data() + static_cast<std::size_t>(u) * kInputs; },
        [&out](std::string_view piece) { out.append(piece); });
    return out;
  }();
  return text;
}

void BM_ParseBuffer(benchmark::State& state) {
  const std::string& text = MapText();
  for (auto _ : state) benchmark::DoNotOptimize(ParseKohonenText(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseBuffer)->Unit(benchmark::kMillisecond);

// The same reading done with formatted stream extraction: words of the
// header, a character skip to the heading's X, three words, then rows with a
// stream-position look-ahead for the end mark.
void BM_ParseStream(benchmark::State& state) {
  const std::string& text = MapText();
  for (auto _ : state) {
    std::istringstream in(text);
    std::string word;
    int n = 0;
    int m = 0;
    while (in >> word) {
      if (word == "TITLE:" || word == "DESCRIPTION:") {
        std::getline(in, word);
      } else if (word == "INPUTS:") {
        in >> n;
      } else if (word == "MAPSIZE:") {
        in >> m;
        break;
      }
    }
    char c = 0;
    while (in.get(c) && c != 'X') {
    }
    in >> word >> word >> word;
    std::vector<int> places;
    std::vector<double> weights;
    for (int r = 0; r < m * m; ++r) {
      int x = 0;
      int y = 0;
      in >> x >> y;
      places.push_back(x);
      places.push_back(y);
      for (int i = 0; i < n; ++i) {
        double w = 0.0;
        in >> w;
        weights.push_back(w);
      }
      const auto mark = in.tellg();
      if (!(in >> word) || word != ".") in.seekg(mark);
    }
    benchmark::DoNotOptimize(weights.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStream)->Unit(benchmark::kMillisecond);

void BM_WriteBuffer(benchmark::State& state) {
  const TOndKohonenImage header = Header();
  for (auto _ : state) {
    std::size_t total = 0;
    WriteKohonenText(
        header, [](int u) { return Weights().data() + static_cast<std::size_t>(u) * kInputs; },
        [&total](std::string_view piece) { total += piece.size(); });
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_WriteBuffer)->Unit(benchmark::kMillisecond);

// The rows written with stream formatting: field width 14, precision 6.
void BM_WriteStream(benchmark::State& state) {
  for (auto _ : state) {
    std::ostringstream out;
    out << std::setprecision(6);
    for (int x = 0; x < kSide; ++x) {
      for (int y = 0; y < kSide; ++y) {
        out << x << ' ' << y;
        const double* w = Weights().data() + static_cast<std::size_t>(x * kSide + y) * kInputs;
        for (int i = 0; i < kInputs; ++i) out << std::setw(14) << w[i];
        out << std::setw(3) << "." << '\n';
      }
    }
    benchmark::DoNotOptimize(out.str().size());
  }
}
BENCHMARK(BM_WriteStream)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
