// Net input and best match on maps of realistic size: the direct loops
// against the one-arc-at-a-time forms they replace.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"

namespace kohport {
namespace {

// A 256 -> 256 fully connected pair of layers with random weights.
struct Pair {
  Pair() : net(3, sizes) {
    net.Connect(1, 2);
    net.RandomizeWeights(-1.0, 1.0);
    for (int i = 0; i < 256; ++i) net.layers[1]->values[i] = (i % 17) * 0.1;
  }
  const int sizes[3] = {0, 256, 256};
  TConnectedNetwork net;
};

void BM_AggregateDirect(benchmark::State& state) {
  Pair p;
  std::vector<double> sums(256);
  TBasicConnections* block = p.net.priv_conns_index[2][1].get();
  for (auto _ : state) {
    block->Aggregate(sums.data());
    benchmark::DoNotOptimize(sums.data());
  }
  state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_AggregateDirect);

void BM_AggregateByVisitor(benchmark::State& state) {
  Pair p;
  std::vector<double> sums(256);
  TBasicConnections* block = p.net.priv_conns_index[2][1].get();
  for (auto _ : state) {
    block->TBasicConnections::Aggregate(sums.data());
    benchmark::DoNotOptimize(sums.data());
  }
  state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_AggregateByVisitor);

// A 128 x 128 map of 64 inputs.
struct Map {
  Map() : map(64, 2, sizes) {
    map.RandomizeWeights(0.0, 1.0);
    for (int k = 0; k < 100; ++k) {
      std::vector<double> in(64);
      for (double& x : in) x = std::rand() / double(RAND_MAX);
      inputs.push_back(in);
    }
  }
  const int sizes[2] = {128, 128};
  TKohonenNetwork map;
  std::vector<std::vector<double>> inputs;
};

void BM_BestMatch(benchmark::State& state) {
  Map m;
  std::vector<double> w(64);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.map.BestMatch(m.inputs[k++ % 100].data(), w.data()));
  }
  state.SetItemsProcessed(state.iterations() * 128 * 128);
}
BENCHMARK(BM_BestMatch);

// The same sums one unit at a time, as the definition reads.
void BM_BestMatchOneUnitAtATime(benchmark::State& state) {
  Map m;
  double* const* rows = m.map.priv_conns_index[2][1]->GetWeightRows();
  std::size_t k = 0;
  for (auto _ : state) {
    const double* in = m.inputs[k++ % 100].data();
    int best = -1;
    double bestDist = 1e30;
    for (int i = 0; i < 128 * 128; ++i) {
      double d = 0.0;
      for (int j = 0; j < 64; ++j) {
        const double e = in[j] - rows[i][j];
        d = d + e * e;
      }
      if (d < bestDist) {
        bestDist = d;
        best = i;
      }
    }
    benchmark::DoNotOptimize(best);
  }
  state.SetItemsProcessed(state.iterations() * 128 * 128);
}
BENCHMARK(BM_BestMatchOneUnitAtATime);

}  // namespace
}  // namespace kohport

BENCHMARK_MAIN();
