// Best match over a data set: 10,000 inputs on a 128 x 128 map of 64 inputs.
// The scalar loop (four units side by side, one call per input) against the
// public single call and the batch form, and the batch form forced onto each
// kernel the processor has. Every benchmark matches all 10,000 inputs once
// per iteration; items are unit distances computed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "NeuralNets/BestMatchKernels.h"
#include "NeuralNets/TKohonenNetwork.h"

namespace kohport {
namespace {

constexpr int kInputs = 64;
constexpr int kSide = 128;
constexpr int kUnits = kSide * kSide;
constexpr int kRows = 10000;

struct Workload {
  Workload() : map(kInputs, 2, sizes), data(static_cast<std::size_t>(kRows) * kInputs) {
    map.RandomizeWeights(0.0, 1.0);
    std::mt19937 gen(42);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (double& x : data) x = uni(gen);
    rows = map.priv_conns_index[2][1]->GetWeightRows();
  }
  const int sizes[2] = {kSide, kSide};
  TKohonenNetwork map;
  std::vector<double> data;
  double* const* rows = nullptr;
};

Workload& Shared() {
  static Workload w;
  return w;
}

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kRows) * kUnits);
}

// The definition as it reads: one unit at a time, strict < in unit order.
int DefinitionLoop(const double* const* rows, const double* in) {
  int best = -1;
  double bestDist = 0.0;
  for (int i = 0; i < kUnits; ++i) {
    double d = 0.0;
    for (int j = 0; j < kInputs; ++j) {
      const double e = in[j] - rows[i][j];
      d = d + e * e;
    }
    if (best < 0 ? !std::isnan(d) : d < bestDist) {
      bestDist = d;
      best = i;
    }
  }
  return best;
}

void BM_DefinitionLoopSingleCalls(benchmark::State& state) {
  Workload& w = Shared();
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r)
      benchmark::DoNotOptimize(DefinitionLoop(w.rows, w.data.data() + r * kInputs));
  }
  Finish(state);
}
BENCHMARK(BM_DefinitionLoopSingleCalls)->Unit(benchmark::kMillisecond)->Iterations(1);

// The scalar loop of the library: four units side by side.
void BM_ScalarLoopSingleCalls(benchmark::State& state) {
  Workload& w = Shared();
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r)
      benchmark::DoNotOptimize(detail::BestMatchOne(detail::MatchKernel::kPortable, w.rows, kUnits,
                                                    kInputs, w.data.data() + r * kInputs));
  }
  Finish(state);
}
BENCHMARK(BM_ScalarLoopSingleCalls)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BestMatchSingleCalls(benchmark::State& state) {
  Workload& w = Shared();
  std::vector<double> weights(kInputs);
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r)
      benchmark::DoNotOptimize(w.map.BestMatch(w.data.data() + r * kInputs, weights.data()));
  }
  Finish(state);
}
BENCHMARK(BM_BestMatchSingleCalls)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BestMatchBatch(benchmark::State& state) {
  Workload& w = Shared();
  std::vector<int> winners(kRows);
  for (auto _ : state) {
    w.map.BestMatchBatch(w.data.data(), kRows, kInputs, winners.data());
    benchmark::DoNotOptimize(winners.data());
  }
  Finish(state);
}
BENCHMARK(BM_BestMatchBatch)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BatchKernel(benchmark::State& state) {
  const auto kernel = static_cast<detail::MatchKernel>(state.range(0));
  if (!detail::MatchKernelSupported(kernel)) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  state.SetLabel(detail::MatchKernelName(kernel));
  Workload& w = Shared();
  std::vector<int> winners(kRows);
  for (auto _ : state) {
    detail::BestMatchRows(kernel, w.rows, kUnits, kInputs, w.data.data(), kRows, kInputs,
                          winners.data());
    benchmark::DoNotOptimize(winners.data());
  }
  Finish(state);
}
BENCHMARK(BM_BatchKernel)
    ->Arg(static_cast<int>(detail::MatchKernel::kPortable))
    ->Arg(static_cast<int>(detail::MatchKernel::kSse2))
    ->Arg(static_cast<int>(detail::MatchKernel::kAvx2))
    ->Arg(static_cast<int>(detail::MatchKernel::kAvx512))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace kohport

BENCHMARK_MAIN();
