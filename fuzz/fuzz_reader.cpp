// Reads any input as a network description under lowered limits. A refusal
// must be a FileTools::Error naming the input stream, with a one-line
// message; an accepted network must be whole, within the limits, and safe
// to use: every layer made, every block the size of its layers, every
// function registered and every gain function on neurons with a gain.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "NeuralNets/TPrunedConnections.h"

namespace {

using namespace kohport;

void Require(bool condition) {
  if (!condition) std::abort();
}

ReaderLimits FuzzLimits() {
  ReaderLimits limits;
  limits.maxLayers = 16;
  limits.maxLayerNeurons = 256;
  limits.maxNeurons = 1024;
  limits.maxArcs = 4096;
  limits.maxDimensions = 16;
  return limits;
}

bool Registered(const TFnRegistry& registry, TActFunction fn) {
  for (int i = 0; i < registry.GetCount(); ++i) {
    if (registry.GetEntry(i).fn == fn) return true;
  }
  return false;
}

void CheckNetwork(TBasicNetwork& net, const ReaderLimits& limits) {
  const int n = net.numLayers;
  Require(n >= 1 && n <= limits.maxLayers);
  Require(static_cast<int>(net.layers.size()) == n);
  Require(net.inLayer >= 0 && net.inLayer < n && net.outLayer >= 0 && net.outLayer < n);
  std::int64_t neurons = 0;
  for (int i = 0; i < n; ++i) {
    TBasicLayer* layer = net.layers[i].get();
    Require(layer != nullptr && layer->layerNum == i && layer->network == &net);
    Require(layer->numNeurons >= 0 && layer->numNeurons <= limits.maxLayerNeurons);
    neurons += layer->numNeurons;
    const TActFunction shared = layer->GetActFunction();
    Require(shared == nullptr || Registered(*net.fnRegistry, shared));
    for (int k = 0; k < layer->numNeurons; ++k) {
      TBasicNeuron* neuron = layer->GetNeuron(k);
      Require(neuron->index == k && neuron->layer == layer);
      Require(Registered(*net.fnRegistry, neuron->GetActFunction()));
      Require(!IsGainFunction(neuron->GetActFunction()) || neuron->AsGainNeuron() != nullptr);
    }
  }
  Require(neurons <= limits.maxNeurons);
  Require(net.GetNumNeurons() == neurons);

  std::int64_t arcs = 0;
  for (int to = 0; to < n; ++to) {
    for (int from = 0; from < n; ++from) {
      TBasicConnections& block = *net.priv_conns_index[to][from];
      Require(block.fromLayer == from && block.toLayer == to && block.network == &net);
      if (!block.IsConnected()) continue;
      const int nFrom = net.layers[from]->numNeurons;
      const int nTo = net.layers[to]->numNeurons;
      arcs += std::int64_t{nFrom} * nTo;
      if (auto* full = dynamic_cast<TConnectedConnections*>(&block)) {
        Require(full->GetStoredFrom() == nFrom && full->GetStoredTo() == nTo);
        Require(block.GetNumWeights(FMaskAll) == nFrom * nTo);
      } else {
        auto* pruned = dynamic_cast<TPrunedConnections*>(&block);
        Require(pruned != nullptr);
        Require(pruned->GetStoredFrom() == nFrom && pruned->GetStoredTo() == nTo);
        Require(block.GetNumWeights(FMaskExists) <= nFrom * nTo);
      }
    }
  }
  Require(arcs <= limits.maxArcs);
  Require(net.GetNumWeights(FMaskExists) <= arcs);

  if (auto* map = dynamic_cast<TKohonenNetwork*>(&net)) {
    Require(n == 3);
    const int d = map->GetNumDimensions();
    Require(d >= 0 && d <= limits.maxDimensions);
    for (int k = 0; k < d; ++k) Require(map->dimensions[k] >= 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  const ReaderLimits limits = FuzzLimits();
  FileTools tools;
  std::unique_ptr<TBasicNetwork> net;
  try {
    net = tools.ReadNetwork(in, nullptr, limits);
  } catch (const FileTools::Error& e) {
    Require(e.input == &in && e.output == nullptr);
    Require(!e.message.empty() && e.message.find('\n') == std::string::npos);
    return 0;
  }
  Require(net != nullptr);
  CheckNetwork(*net, limits);
  return 0;
}
