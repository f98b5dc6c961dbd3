// Recall of a data set on a map of realistic size: RecallData (rows gathered
// and matched by the batch search) against a best match called once per row,
// with the scalar loop and with the public BestMatch (the widest kernel, one
// input at a time). Each reports "per_row", the time per row.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/BestMatchKernels.h"
#include "NeuralNets/TKohonenNetwork.h"

namespace kohport {
namespace {

constexpr int kInputs = 64;
constexpr int kRows = 10000;

// A 128 x 128 map of 64 inputs with random weights, and 10,000 random rows.
struct Setup {
  Setup() : map(kInputs, 2, sizes), in(kRows, kInputs, 0, false) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> dist(0.0, 1.0);
    map.RandomizeWeights(0.0, 1.0);
    std::vector<double> row(kInputs);
    for (int r = 0; r < kRows; ++r) {
      for (double& x : row) x = dist(gen);
      in.AppendRow(row.data(), nullptr, nullptr);
    }
  }
  const int sizes[2] = {128, 128};
  TKohonenNetwork map;
  Data in;
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

void PerRow(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["per_row"] = benchmark::Counter(
      kRows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RecallData(benchmark::State& state) {
  Setup& s = Shared();
  for (auto _ : state) {
    std::unique_ptr<Data> out = s.map.RecallData(&s.in);
    benchmark::DoNotOptimize(out.get());
  }
  PerRow(state);
}
BENCHMARK(BM_RecallData)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The batch search alone on the same rows, already gathered: what RecallData
// adds to it is reading the data set and writing the result.
void BM_BestMatchBatchOnly(benchmark::State& state) {
  Setup& s = Shared();
  std::vector<double> rows(static_cast<std::size_t>(kRows) * kInputs);
  s.in.Rewind();
  for (int r = 0; r < kRows; ++r) s.in.GetNextRow(rows.data() + r * kInputs, nullptr, nullptr);
  std::vector<int> winners(kRows);
  for (auto _ : state) {
    s.map.BestMatchBatch(rows.data(), kRows, kInputs, winners.data());
    benchmark::DoNotOptimize(winners.data());
  }
  PerRow(state);
}
BENCHMARK(BM_BestMatchBatchOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same rows, read by the cursor, one scalar best match each (four units
// side by side, no vector instructions), the weights copied as BestMatch does.
void BM_ScalarBestMatchPerRow(benchmark::State& state) {
  Setup& s = Shared();
  double* const* units = s.map.priv_conns_index[2][1]->GetWeightRows();
  std::vector<double> row(kInputs);
  std::vector<double> weights(kInputs);
  for (auto _ : state) {
    s.in.Rewind();
    for (int r = 0; r < kRows; ++r) {
      s.in.GetNextRow(row.data(), nullptr, nullptr);
      const int best = detail::BestMatchOne(detail::MatchKernel::kPortable, units, 128 * 128,
                                            kInputs, row.data());
      std::copy(units[best], units[best] + kInputs, weights.data());
      benchmark::DoNotOptimize(weights.data());
    }
  }
  PerRow(state);
}
BENCHMARK(BM_ScalarBestMatchPerRow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same with the public BestMatch.
void BM_BestMatchPerRow(benchmark::State& state) {
  Setup& s = Shared();
  std::vector<double> row(kInputs);
  std::vector<double> weights(kInputs);
  for (auto _ : state) {
    s.in.Rewind();
    for (int r = 0; r < kRows; ++r) {
      s.in.GetNextRow(row.data(), nullptr, nullptr);
      benchmark::DoNotOptimize(s.map.BestMatch(row.data(), weights.data()));
    }
  }
  PerRow(state);
}
BENCHMARK(BM_BestMatchPerRow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kohport

BENCHMARK_MAIN();
