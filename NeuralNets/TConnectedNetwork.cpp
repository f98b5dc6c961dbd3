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

std::unique_ptr<TArcsIterator> TConnectedNetwork::NewInAllArcsIterator() {
  return std::make_unique<TConnInAllArcsIterator>(this);
}

// ---------------------------------------------------------------------------
// Arc iterators

namespace {

void CheckLayer(const TBasicNetwork& net, int layer) {
  KOH_ASSERT(layer >= 0 && layer < net.numLayers, "layer>=0 && layer<numLayers");
}

void CheckNeuron(const TBasicNetwork& net, int layer, int index) {
  CheckLayer(net, layer);
  KOH_ASSERT(index >= 0 && index < net.layers[layer]->numNeurons, "index>=0 && index<numNeurons");
}

// The to-neuron's weight row of a connected block.
double* RowOf(TBasicConnections* block, int toIndex) {
  double* const* rows = block->GetWeightRows();
  KOH_ASSERT(rows != nullptr, "block keeps one weight row per to-neuron");
  return rows[toIndex];
}

}  // namespace

TConnInAllArcsIterator::TConnInAllArcsIterator(TConnectedNetwork* network)
    : TInAllArcsIterator(network) {}

void TConnInAllArcsIterator::Start(int toLayer, int toIndex) {
  CheckNeuron(*network, toLayer, toIndex);
  this->toLayer = toLayer;
  this->toIndex = toIndex;
  toNeuron = network->layers[toLayer]->GetNeuron(toIndex);
  fromLayer = -1;
  fromIndex = -1;
  lastIndex = -1;
  block = nullptr;
  fromLayerPtr = nullptr;
  fromNeuron = nullptr;
  weight = nullptr;
}

bool TConnInAllArcsIterator::Enter(bool atLast) {
  TBasicConnections* candidate = network->priv_conns_index[toLayer][fromLayer].get();
  TBasicLayer* layer = network->layers[fromLayer].get();
  if (!candidate->IsConnected() || layer->numNeurons == 0) return false;
  block = candidate;
  fromLayerPtr = layer;
  lastIndex = layer->numNeurons - 1;
  fromIndex = atLast ? lastIndex : 0;
  fromNeuron = layer->GetNeuron(fromIndex);
  weight = RowOf(block, toIndex) + fromIndex;
  return true;
}

bool TConnInAllArcsIterator::Next() {
  if (fromIndex < lastIndex) {
    ++fromIndex;
    fromNeuron = fromLayerPtr->GetNeuron(fromIndex);
    ++weight;
    return true;
  }
  KOH_ASSERT(toNeuron != nullptr, "Start before Next/Prev");
  // lastIndex is cleared as well, so that past the end a further Next does
  // not step from the old layer's weight pointer.
  fromIndex = -1;
  lastIndex = -1;
  block = nullptr;
  while (block == nullptr && fromLayer < network->numLayers - 1) {
    ++fromLayer;
    Enter(false);
  }
  return block != nullptr;
}

bool TConnInAllArcsIterator::Prev() {
  if (fromIndex > 0) {
    --fromIndex;
    fromNeuron = fromLayerPtr->GetNeuron(fromIndex);
    --weight;
    return true;
  }
  KOH_ASSERT(toNeuron != nullptr, "Start before Next/Prev");
  fromIndex = -1;
  lastIndex = -1;
  block = nullptr;
  while (block == nullptr && fromLayer > 0) {
    --fromLayer;
    Enter(true);
  }
  return block != nullptr;
}

TConnInLayerArcsIterator::TConnInLayerArcsIterator(TConnectedNetwork* network)
    : TInLayerArcsIterator(network) {}

void TConnInLayerArcsIterator::Start(int toLayer, int toIndex, int fromLayer) {
  CheckNeuron(*network, toLayer, toIndex);
  CheckLayer(*network, fromLayer);
  this->toLayer = toLayer;
  this->toIndex = toIndex;
  this->fromLayer = fromLayer;
  toNeuron = network->layers[toLayer]->GetNeuron(toIndex);
  fromIndex = -1;
  fromNeuron = nullptr;
  weight = nullptr;
  TBasicConnections* candidate = network->priv_conns_index[toLayer][fromLayer].get();
  if (candidate->IsConnected()) {
    block = candidate;
    row = RowOf(block, toIndex);
    lastIndex = network->layers[fromLayer]->numNeurons - 1;
  } else {
    block = nullptr;
    row = nullptr;
    lastIndex = -1;
  }
}

void TConnInLayerArcsIterator::MoveTo(int index) {
  fromIndex = index;
  fromNeuron = network->layers[fromLayer]->GetNeuron(index);
  weight = row + index;
}

bool TConnInLayerArcsIterator::Next() {
  if (fromIndex >= lastIndex) return false;
  MoveTo(fromIndex + 1);
  return true;
}

bool TConnInLayerArcsIterator::Prev() {
  if (fromIndex <= 0) return false;
  MoveTo(fromIndex - 1);
  return true;
}

}  // namespace kohport
