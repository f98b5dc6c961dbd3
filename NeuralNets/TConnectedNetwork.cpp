#include "NeuralNets/TConnectedNetwork.h"

#include "NeuralNets/TConnectedConnections.h"
#include "common/Assert.h"

namespace kohport {

TConnectedNetwork::TConnectedNetwork() = default;

TConnectedNetwork::TConnectedNetwork(int n_layers) : TBasicNetwork(n_layers) {}

TConnectedNetwork::TConnectedNetwork(int n_layers, const int* sizes) : TBasicNetwork(n_layers) {
  KOH_ASSERT(n_layers == 0 || sizes != nullptr, "sizes != NULL");
  for (int i = 0; i < n_layers; ++i) {
    if (i == inLayer)
      layers[i].reset(new TSimpleInputLayer(this, i, sizes[i]));
    else
      layers[i].reset(new TSimpleLayer(this, i, sizes[i]));
  }
}

void TConnectedNetwork::Connect(int fromLayer, int toLayer) {
  KOH_ASSERT(fromLayer >= 0 && fromLayer < numLayers, "fromLayer>=0 && fromLayer<numLayers");
  KOH_ASSERT(toLayer >= 0 && toLayer < numLayers, "toLayer>=0 && toLayer<numLayers");
  BlockPtr& block = priv_conns_index[toLayer][fromLayer];
  if (block->IsConnected()) return;
  block.reset(new TConnectedConnections(this, fromLayer, toLayer));
}

const char* TConnectedNetwork::GetNetworkType() const {
  return "Connected";
}

}  // namespace kohport
