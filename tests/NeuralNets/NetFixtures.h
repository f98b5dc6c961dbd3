// Builders shared by the network-model tests.
#ifndef KOHPORT_TESTS_NEURALNETS_NETFIXTURES_H
#define KOHPORT_TESTS_NEURALNETS_NETFIXTURES_H

#include <cstdlib>
#include <memory>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace kohport::test {

// A basic network with one layer per size: a TSimpleInputLayer at layer 1,
// TSimpleLayers elsewhere, every function "linear"; nothing connected.
inline std::unique_ptr<TBasicNetwork> MakeBasicNetwork(const std::vector<int>& sizes) {
  auto net = std::make_unique<TBasicNetwork>(static_cast<int>(sizes.size()));
  for (int i = 0; i < static_cast<int>(sizes.size()); ++i) {
    if (i == 1)
      net->layers[i].reset(new TSimpleInputLayer(net.get(), i, sizes[i]));
    else
      net->layers[i].reset(new TSimpleLayer(net.get(), i, sizes[i]));
    net->layers[i]->SetActFunction(ActLinear);
  }
  return net;
}

// The values rand() yields after srand(seed), turned into weights by the
// library's rule.
inline std::vector<double> ExpectedDraws(unsigned seed, int count, double low, double high) {
  std::srand(seed);
  std::vector<double> out;
  for (int i = 0; i < count; ++i) {
    const int r = std::rand();
    out.push_back(static_cast<double>(static_cast<long double>(low) +
                                      static_cast<long double>(r % 32767) / 32767.0L *
                                          (static_cast<long double>(high) - low)));
  }
  std::srand(seed);
  return out;
}

// The first `count` values of rand() after srand(seed); reseeds afterwards.
inline std::vector<int> RawDraws(unsigned seed, int count) {
  std::srand(seed);
  std::vector<int> out;
  for (int i = 0; i < count; ++i) out.push_back(std::rand());
  std::srand(seed);
  return out;
}

// Weight (f, t) of a block as a matrix, rows per to-neuron.
inline std::vector<std::vector<double>> Matrix(TBasicConnections* block, int nf, int nt) {
  std::vector<std::vector<double>> m(nt, std::vector<double>(nf));
  for (int t = 0; t < nt; ++t)
    for (int f = 0; f < nf; ++f) m[t][f] = *block->GetWeightPtr(f, t);
  return m;
}

// Sets weight (f, t) to 10 * f + t + 1 on every arc.
inline void NumberWeights(TBasicConnections* block, int nf, int nt) {
  for (int t = 0; t < nt; ++t)
    for (int f = 0; f < nf; ++f) *block->GetWeightPtr(f, t) = 10.0 * f + t + 1;
}

}  // namespace kohport::test

#endif
