#include "NeuralNets/TBasicNetwork.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "NeuralNets/Dimensions.h"
#include "NeuralNets/TPrunedConnections.h"
#include "common/Assert.h"

namespace kohport {

double RandomWeight(double low, double high) {
  const int r = std::rand();
  const long double step = static_cast<long double>(r % 32767) / 32767.0L;
  return static_cast<double>(static_cast<long double>(low) +
                             step * (static_cast<long double>(high) - low));
}

void TBasicNeuron::SetActFunction(TActFunction fn) {
  actFn = fn;
  if (layer != nullptr) layer->actFn = nullptr;
}

// ---------------------------------------------------------------------------
// Layers

namespace {

// The neuron-copy rule of a rebuilt array: the target takes the source's
// fields (and gain), then CopyState(source), then its place in `layer`.
template <class Neuron>
void PlaceCopy(Neuron& target, const Neuron& source, TBasicLayer* layer, int p) {
  target = source;
  target.CopyState(&source);
  target.layer = layer;
  target.output = &layer->values[p];
  target.index = p;
  target.layerNum = layer->layerNum;
}

template <class Neuron>
void PlaceNew(Neuron& target, TBasicLayer* layer, int p) {
  target.layer = layer;
  target.output = &layer->values[p];
  target.index = p;
  target.layerNum = layer->layerNum;
}

template <class Neuron>
void RemoveFrom(std::vector<Neuron>& nodes, TBasicLayer* layer, int node) {
  KOH_ASSERT(node >= 0 && node < static_cast<int>(nodes.size()), "node>=0 && node<numNeurons");
  std::vector<Neuron> fresh(nodes.size() - 1);
  for (int p = 0; p < static_cast<int>(fresh.size()); ++p)
    PlaceCopy(fresh[p], nodes[p < node ? p : p + 1], layer, p);
  nodes.swap(fresh);
}

// Rebuilds `nodes` with a default neuron at `node` and returns it.
template <class Neuron>
Neuron& InsertInto(std::vector<Neuron>& nodes, TBasicLayer* layer, int node) {
  const int old = static_cast<int>(nodes.size());
  KOH_ASSERT(node >= 0 && node <= old, "node>=0 && node<=numNeurons");
  std::vector<Neuron> fresh(static_cast<std::size_t>(old) + 1);
  std::vector<double> values(static_cast<std::size_t>(old) + 1, 0.0);
  layer->values.swap(values);
  for (int i = 0; i < old; ++i) {
    const int p = i < node ? i : i + 1;
    PlaceCopy(fresh[p], nodes[i], layer, p);
  }
  Neuron& added = fresh[node];
  PlaceNew(added, layer, node);
  added.actFn = layer->actFn != nullptr ? layer->actFn : ActError;
  nodes.swap(fresh);
  return nodes[node];
}

template <class Neuron>
void Fill(std::vector<Neuron>& nodes, TBasicLayer* layer) {
  nodes.resize(static_cast<std::size_t>(layer->numNeurons));
  for (int i = 0; i < layer->numNeurons; ++i) {
    PlaceNew(nodes[i], layer, i);
    nodes[i].actFn = ActError;
  }
}

// Applies the functions as Activate specifies, walking the array directly.
template <class Neuron>
void ActivateAll(std::vector<Neuron>& nodes, TActFunction layerFn, const double* net, int n) {
  if (layerFn != nullptr) {
    for (int i = 0; i < n; ++i) layerFn(&nodes[i], net[i]);
  } else {
    for (int i = 0; i < n; ++i) nodes[i].actFn(&nodes[i], net[i]);
  }
}

void Warn(const char* text) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // namespace

TBasicLayer::TBasicLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : network(network), numNeurons(numNeurons), layerNum(layerNum) {
  KOH_ASSERT(numNeurons >= 0, "numNeurons>=0");
  values.assign(static_cast<std::size_t>(numNeurons), 0.0);
}

void TBasicLayer::Activate(double* net) {
  for (int i = 0; i < numNeurons; ++i) {
    TBasicNeuron* neuron = GetNeuron(i);
    (actFn != nullptr ? actFn : neuron->actFn)(neuron, net[i]);
  }
}

void TBasicLayer::Evaluate(const double* inputs) {
  if (network->inLayer == layerNum) {
    Warn("!Warning: changed input layer (TSimpleLayer)\n");
    std::copy(inputs, inputs + numNeurons, values.begin());
  } else {
    std::fill(values.begin(), values.begin() + numNeurons, 0.0);
  }
  for (int i = 0; i < layerNum; ++i)
    network->priv_conns_index[layerNum][i]->Aggregate(values.data());
  Activate(values.data());
}

void TBasicLayer::InsertNeuron(int) {
  KOH_REFUSE();
}

void TBasicLayer::SetActFunction(TActFunction fn) {
  actFn = fn;
  for (int i = 0; i < numNeurons; ++i) GetNeuron(i)->actFn = fn;
}

TActFunction TBasicLayer::GetActFunction() {
  if (actFn != nullptr) return actFn;
  if (numNeurons == 0) {
    actFn = ActNull;
    return actFn;
  }
  const TActFunction first = GetNeuron(0)->actFn;
  for (int i = 1; i < numNeurons; ++i)
    if (GetNeuron(i)->actFn != first) return nullptr;
  actFn = first;
  return actFn;
}

void TBasicLayer::GetDimensions(int* parameters) const {
  detail::GetDimensions(n_dimensions, dimensions, parameters);
}

void TBasicLayer::SetDimensions(int count, const int* parameters) {
  detail::SetDimensions(n_dimensions, dimensions, count, parameters);
}

void TBasicLayer::CopyBase(TBasicLayer* to) const {
  to->values.assign(static_cast<std::size_t>(numNeurons), 0.0);
  to->dimensions = dimensions;
  to->n_dimensions = n_dimensions;
  to->actFn = actFn;
}

TSimpleLayer::TSimpleLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : TBasicLayer(network, layerNum, numNeurons) {
  Fill(nodes, this);
}

void TSimpleLayer::Activate(double* net) {
  ActivateAll(nodes, actFn, net, numNeurons);
}

const char* TSimpleLayer::GetLayerType() const {
  return "Simple";
}

void TSimpleLayer::Destroy() {
  delete this;
}

void TSimpleLayer::CopyNeuronsFrom(const TSimpleLayer& source) {
  for (int i = 0; i < numNeurons; ++i) PlaceCopy(nodes[i], source.nodes[i], this, i);
}

TBasicLayer* TSimpleLayer::Clone(TBasicNetwork* owner) const {
  std::unique_ptr<TSimpleLayer, LayerDeleter> copy(new TSimpleLayer(owner, layerNum, numNeurons));
  CopyBase(copy.get());
  copy->CopyNeuronsFrom(*this);
  return copy.release();
}

void TSimpleLayer::RemoveNeuron(int node) {
  RemoveFrom(nodes, this, node);
}

void TSimpleLayer::InsertNeuron(int node) {
  InsertInto(nodes, this, node);
}

TGainLayer::TGainLayer(TBasicNetwork* network, int layerNum, int numNeurons, double gain)
    : TBasicLayer(network, layerNum, numNeurons) {
  Fill(nodes, this);
  SetGain(gain);
}

void TGainLayer::Activate(double* net) {
  ActivateAll(nodes, actFn, net, numNeurons);
}

const char* TGainLayer::GetLayerType() const {
  return "Gain";
}

void TGainLayer::Destroy() {
  delete this;
}

TBasicLayer* TGainLayer::Clone(TBasicNetwork* owner) const {
  std::unique_ptr<TGainLayer, LayerDeleter> copy(new TGainLayer(owner, layerNum, numNeurons, 1.0));
  CopyBase(copy.get());
  for (int i = 0; i < numNeurons; ++i) PlaceCopy(copy->nodes[i], nodes[i], copy.get(), i);
  return copy.release();
}

void TGainLayer::RemoveNeuron(int node) {
  RemoveFrom(nodes, this, node);
}

void TGainLayer::InsertNeuron(int node) {
  const double gain = nodes.empty() ? 1.0 : nodes[0].gain;
  InsertInto(nodes, this, node).gain = gain;
}

void TGainLayer::SetGain(double gain) {
  for (TGainNeuron& neuron : nodes) neuron.gain = gain;
}

TSimpleInputLayer::TSimpleInputLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : TSimpleLayer(network, layerNum, numNeurons) {
  SetActFunction(ActLinear);
}

void TSimpleInputLayer::Evaluate(const double* inputs) {
  if (network->inLayer == layerNum) {
    std::copy(inputs, inputs + numNeurons, values.begin());
  } else {
    Warn("!Warning: changed input layer (TSimpleInputLayer)\n");
    std::fill(values.begin(), values.begin() + numNeurons, 0.0);
  }
}

const char* TSimpleInputLayer::GetLayerType() const {
  return "Input";
}

TBasicLayer* TSimpleInputLayer::Clone(TBasicNetwork* owner) const {
  std::unique_ptr<TSimpleInputLayer, LayerDeleter> copy(
      new TSimpleInputLayer(owner, layerNum, numNeurons));
  CopyBase(copy.get());
  copy->CopyNeuronsFrom(*this);
  return copy.release();
}

// ---------------------------------------------------------------------------
// Block interface and its defaults

TBasicConnections::TBasicConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : network(network), fromLayer(fromLayer), toLayer(toLayer) {}

bool TBasicConnections::SizeFits(long long numFrom, long long numTo) noexcept {
  if (numFrom < 0 || numTo < 0) return false;
  if (numFrom > INT_MAX || numTo > INT_MAX) return false;
  return numFrom * numTo <= INT_MAX;
}

int TBasicConnections::FromCount() const {
  return network->layers[fromLayer]->numNeurons;
}

int TBasicConnections::ToCount() const {
  return network->layers[toLayer]->numNeurons;
}

void TBasicConnections::Prepare(TIterateObj* v) {
  v->Prepare(network->layers[fromLayer].get(), network->layers[toLayer].get());
  v->conn = this;
}

bool TBasicConnections::IsConnected() const {
  return true;
}

int TBasicConnections::GetNumWeights(int mask) {
  TIterateObjGetNumWeights v;
  Iterate(&v, mask);
  return v.count;
}

int TBasicConnections::GetWeights(double* dst, int mask) {
  TIterateObjGetWeights v;
  v.dst = dst;
  Iterate(&v, mask);
  return v.count;
}

int TBasicConnections::SetWeights(const double* src, int mask) {
  TIterateObjSetWeights v;
  v.src = src;
  Iterate(&v, mask);
  return v.count;
}

void TBasicConnections::RandomizeWeights(double low, double high) {
  TIterateObjRandomize v;
  v.low = low;
  v.high = high;
  Iterate(&v, 0);
}

void TBasicConnections::Aggregate(double* netInput) {
  const int count = ToCount();
  for (int t = 0; t < count; ++t) {
    TIterateObjAggregate v;
    v.sum = 0.0;
    IterateIn(&v, t, FMaskExists);
    netInput[t] += v.sum;
  }
}

bool TBasicConnections::IsTrainable(int from, int to) const {
  return IsValid(from, to);
}

void TBasicConnections::Prune(int, int) {
  KOH_REFUSE();
}
void TBasicConnections::Unprune(int, int) {
  KOH_REFUSE();
}
void TBasicConnections::SetTrainable(int, int) {
  KOH_REFUSE();
}
void TBasicConnections::SetUntrainable(int, int) {
  KOH_REFUSE();
}

char TBasicConnections::GetFlags(int, int) const {
  return FMaskAll;
}

void TBasicConnections::SetFlags(int, int, char val) {
  KOH_ASSERT((val == FMaskAll) || (val == FMaskExists), "(val==FMaskAll) || (val==FMaskExists)");
}

void TBasicConnections::InsertFromNeuron(int, double, double, bool) {
  KOH_REFUSE();
}
void TBasicConnections::InsertToNeuron(int, double, double, bool) {
  KOH_REFUSE();
}

std::unique_ptr<char[]> TBasicConnections::GetAllFlags() {
  const int n = GetNumWeights(FMaskExists);
  std::unique_ptr<char[]> flags(new char[n > 0 ? n : 1]);
  TIterateObjGetFlags v(flags.get());
  Iterate(&v, FMaskExists);
  return flags;
}

void TBasicConnections::SetAllFlags(const char* flags) {
  TIterateObjSetFlags v(flags);
  Iterate(&v, FMaskExists);
}

void TBasicConnections::SetAllUntrainable() {
  TIterateObjAllUntrainable v;
  Iterate(&v, FMaskExists);
}

// ---------------------------------------------------------------------------
// Empty block

TEmptyConnections::TEmptyConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer) {}

bool TEmptyConnections::IsConnected() const {
  return false;
}
bool TEmptyConnections::IsValid(int, int) const {
  return false;
}
int TEmptyConnections::GetNumWeights(int) {
  return 0;
}
int TEmptyConnections::GetWeights(double*, int) {
  return 0;
}
int TEmptyConnections::SetWeights(const double*, int) {
  return 0;
}
void TEmptyConnections::RandomizeWeights(double, double) {}

double* TEmptyConnections::GetWeightPtr(int, int) {
  KOH_REFUSE();
}

void TEmptyConnections::Aggregate(double*) {}
void TEmptyConnections::IterateIn(TIterateObj*, int, int) {}
void TEmptyConnections::IterateOut(TIterateObj*, int, int) {}
void TEmptyConnections::Iterate(TIterateObj*, int) {}
void TEmptyConnections::Iterate2(TIterateObj2*, TBasicNetwork*, int) {}
void TEmptyConnections::Iterate3(TIterateObj3*, TBasicNetwork*, TBasicNetwork*, int) {}

const char* TEmptyConnections::GetConnectionsNType() const {
  return "Empty";
}

void TEmptyConnections::Destroy() {
  delete this;
}

TBasicConnections* TEmptyConnections::Clone(TBasicNetwork* owner) const {
  TEmptyConnections* x = new TEmptyConnections(owner, fromLayer, toLayer);
  KOH_ASSERT(x != nullptr, "x!=NULL");
  return x;
}

void TEmptyConnections::RemoveFromNeuron(int) {}
void TEmptyConnections::RemoveToNeuron(int) {}
void TEmptyConnections::InsertFromNeuron(int, double, double, bool) {}
void TEmptyConnections::InsertToNeuron(int, double, double, bool) {}

// ---------------------------------------------------------------------------
// Visitors

void TIterateObj::Prepare(TBasicLayer* from, TBasicLayer* to) {
  fromLayer = from->layerNum;
  toLayer = to->layerNum;
  fromLayerPtr = from;
  toLayerPtr = to;
  fromValues = from->values.data();
  toValues = to->values.data();
  conn = from->network->priv_conns_index[toLayer][fromLayer].get();
}

void TIterateObj::Prepare(TBasicNetwork* network, int from, int to) {
  Prepare(network->layers[from].get(), network->layers[to].get());
  conn = network->priv_conns_index[to][from].get();
}

TIterateObj2::TIterateObj2(TBasicNetwork* first, TBasicNetwork* second, int fromLayer, int toLayer,
                           int fromNeuron, int toNeuron) {
  Prepare(first, second, fromLayer, toLayer);
  this->fromNeuron = fromNeuron;
  this->toNeuron = toNeuron;
}

namespace {

// One network's side of a visit in step: the two layers, their values and the
// block between them.
void TakeSide(TBasicNetwork* net, int from, int to, TBasicLayer*& fromPtr, TBasicLayer*& toPtr,
              double*& fromValues, double*& toValues, TBasicConnections*& conn) {
  fromPtr = net->layers[from].get();
  toPtr = net->layers[to].get();
  fromValues = fromPtr->values.data();
  toValues = toPtr->values.data();
  conn = net->priv_conns_index[to][from].get();
}

}  // namespace

void TIterateObj2::Prepare(TBasicNetwork* first, TBasicNetwork* second, int from, int to) {
  fromLayer = from;
  toLayer = to;
  TakeSide(first, from, to, fromLayerPtr1, toLayerPtr1, fromValues1, toValues1, conn1);
  TakeSide(second, from, to, fromLayerPtr2, toLayerPtr2, fromValues2, toValues2, conn2);
  KOH_ASSERT(conn1->GetConnectionsNType() == conn2->GetConnectionsNType(),
             "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
}

TIterateObj3::TIterateObj3(TBasicNetwork* first, TBasicNetwork* second, TBasicNetwork* third,
                           int fromLayer, int toLayer, int fromNeuron, int toNeuron) {
  Prepare(first, second, third, fromLayer, toLayer);
  this->fromNeuron = fromNeuron;
  this->toNeuron = toNeuron;
}

void TIterateObj3::Prepare(TBasicNetwork* first, TBasicNetwork* second, TBasicNetwork* third,
                           int from, int to) {
  fromLayer = from;
  toLayer = to;
  TakeSide(first, from, to, fromLayerPtr1, toLayerPtr1, fromValues1, toValues1, conn1);
  TakeSide(second, from, to, fromLayerPtr2, toLayerPtr2, fromValues2, toValues2, conn2);
  TakeSide(third, from, to, fromLayerPtr3, toLayerPtr3, fromValues3, toValues3, conn3);
  KOH_ASSERT(conn1->GetConnectionsNType() == conn2->GetConnectionsNType(),
             "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
  KOH_ASSERT(conn1->GetConnectionsNType() == conn3->GetConnectionsNType(),
             "conn1 -> GetConnectionsNType() == conn3 -> GetConnectionsNType()");
}

void TIterateObjAggregate::Process() {
  sum += fromValues[fromNeuron] * *weight;
}

void TIterateObjGetWeights::Process() {
  ++count;
  *dst++ = *weight;
}

void TIterateObjSetWeights::Process() {
  ++count;
  *weight = *src++;
}

void TIterateObjRandomize::Process() {
  *weight = low == high ? low : RandomWeight(low, high);
}

void TIterateObjGetFlags::Process() {
  flags[count] = conn->GetFlags(fromNeuron, toNeuron);
  ++count;
}

void TIterateObjSetFlags::Process() {
  conn->SetFlags(fromNeuron, toNeuron, flags[count]);
  ++count;
}

void TIterateObjAllUntrainable::Process() {
  conn->SetUntrainable(fromNeuron, toNeuron);
}

// ---------------------------------------------------------------------------
// Arc iterators

void* TArcsIterator::Reserved7() {
  KOH_REFUSE();
}

TArcsIterator::operator int() const {
  return IsValid() ? 1 : 0;
}

void* TArcsIterator::Reserved9() {
  KOH_REFUSE();
}

void* TArcsIterator::Reserved10() {
  KOH_REFUSE();
}

void TInAllArcsIterator::Start(int, int) {}

void TInAllArcsIterator::StartAt(const TBasicNeuron* neuron) {
  KOH_ASSERT(neuron != nullptr, "neuron != NULL");
  Start(neuron->layerNum, neuron->index);
}

void TInLayerArcsIterator::Start(int, int, int) {}

void TInLayerArcsIterator::StartAt(const TBasicNeuron* neuron) {
  KOH_ASSERT(neuron != nullptr, "neuron != NULL");
  Start(neuron->layerNum, neuron->index, 0);
}

// ---------------------------------------------------------------------------
// Basic network

TBasicNetwork::TBasicNetwork() = default;

TBasicNetwork::TBasicNetwork(int n_layers) {
  Init(n_layers);
}

TBasicNetwork::TBasicNetwork(const TBasicNetwork& x) {
  CopyFrom(x);
}

TBasicNetwork& TBasicNetwork::operator=(const TBasicNetwork& x) {
  if (&x == this) return *this;
  // Build the copy aside first, so a failed allocation leaves this network
  // as it was; then release the old parts and take the new ones.
  TBasicNetwork copy(x);
  ReleaseAll();
  numLayers = copy.numLayers;
  inLayer = copy.inLayer;
  outLayer = copy.outLayer;
  layers.swap(copy.layers);
  priv_conns.swap(copy.priv_conns);
  fnRegistry.swap(copy.fnRegistry);
  for (LayerPtr& layer : layers) layer->network = this;
  for (BlockPtr& block : priv_conns) block->network = this;
  BuildIndex();
  return *this;
}

TBasicNetwork::~TBasicNetwork() {
  ReleaseAll();
}

void TBasicNetwork::ReleaseAll() noexcept {
  for (BlockPtr& block : priv_conns) block.reset();
  priv_conns.clear();
  priv_conns_index.clear();
  for (LayerPtr& layer : layers) layer.reset();
  layers.clear();
  fnRegistry.reset();
}

void TBasicNetwork::BuildIndex() {
  std::vector<BlockPtr*> index(static_cast<std::size_t>(numLayers));
  for (int i = 0; i < numLayers; ++i)
    index[i] = priv_conns.data() + static_cast<std::size_t>(i) * numLayers;
  priv_conns_index.swap(index);
}

void TBasicNetwork::CopyFrom(const TBasicNetwork& x) {
  numLayers = x.numLayers;
  inLayer = x.inLayer;
  outLayer = x.outLayer;
  layers.resize(x.layers.size());
  for (std::size_t i = 0; i < x.layers.size(); ++i) {
    KOH_ASSERT(x.layers[i] != nullptr, "x.layers[i] != NULL");
    layers[i].reset(x.layers[i]->Clone(this));
  }
  priv_conns.resize(x.priv_conns.size());
  for (std::size_t i = 0; i < x.priv_conns.size(); ++i) {
    KOH_ASSERT(x.priv_conns[i] != nullptr, "x.priv_conns[i] != NULL");
    priv_conns[i].reset(x.priv_conns[i]->Clone(this));
  }
  BuildIndex();
  fnRegistry = std::make_unique<TFnRegistry>();
  fnRegistry->RegisterStandard();
}

void TBasicNetwork::Init(int n_layers) {
  KOH_ASSERT(n_layers >= 0, "n_layers>=0");
  KOH_ASSERT(TBasicConnections::SizeFits(n_layers, n_layers), "n_layers*n_layers fits int");
  ReleaseAll();
  const int n = n_layers;
  numLayers = n;
  inLayer = 1;
  outLayer = n - 1;
  priv_conns.resize(static_cast<std::size_t>(n) * n);
  layers.resize(static_cast<std::size_t>(n));
  BuildIndex();
  for (int t = 0; t < n; ++t) {
    for (int f = 0; f < n; ++f) {
      BlockPtr& block = priv_conns[static_cast<std::size_t>(t) * n + f];
      block.reset(new TEmptyConnections(this, f, t));
      KOH_ASSERT(block != nullptr, "priv_conns[to*n_layers+from] != NULL");
    }
  }
  fnRegistry = std::make_unique<TFnRegistry>();
  fnRegistry->RegisterStandard();
}

int TBasicNetwork::GetNumWeights(int mask) {
  long long total = 0;
  for (int f = 0; f < numLayers; ++f)
    for (int t = 0; t < numLayers; ++t) total += priv_conns_index[t][f]->GetNumWeights(mask);
  KOH_ASSERT(total <= INT_MAX, "number of weights fits int");
  return static_cast<int>(total);
}

int TBasicNetwork::GetWeights(double* dst, int mask) {
  int count = 0;
  for (int f = 0; f < numLayers; ++f)
    for (int t = 0; t < numLayers; ++t)
      count += priv_conns_index[t][f]->GetWeights(dst + count, mask);
  return count;
}

int TBasicNetwork::SetWeights(const double* src, int mask) {
  int count = 0;
  for (int f = 0; f < numLayers; ++f)
    for (int t = 0; t < numLayers; ++t)
      count += priv_conns_index[t][f]->SetWeights(src + count, mask);
  return count;
}

void TBasicNetwork::RandomizeWeights(double low, double high) {
  for (int f = 0; f < numLayers; ++f)
    for (int t = 0; t < numLayers; ++t) priv_conns_index[t][f]->RandomizeWeights(low, high);
}

void TBasicNetwork::Connect(int fromLayer, int toLayer) {
  KOH_ASSERT(fromLayer >= 0 && fromLayer < numLayers, "fromLayer>=0 && fromLayer<numLayers");
  KOH_ASSERT(toLayer >= 0 && toLayer < numLayers, "toLayer>=0 && toLayer<numLayers");
  BlockPtr& block = priv_conns_index[toLayer][fromLayer];
  if (block->IsConnected()) return;
  block.reset(new TPrunedConnections(this, fromLayer, toLayer));
}

void TBasicNetwork::Disconnect(int fromLayer, int toLayer) {
  KOH_ASSERT(fromLayer >= 0 && fromLayer < numLayers, "fromLayer>=0 && fromLayer<numLayers");
  KOH_ASSERT(toLayer >= 0 && toLayer < numLayers, "toLayer>=0 && toLayer<numLayers");
  BlockPtr& block = priv_conns_index[toLayer][fromLayer];
  block.reset(new TEmptyConnections(this, fromLayer, toLayer));
  KOH_ASSERT(block != nullptr, "priv_conns_index[toLayer][fromLayer] != NULL");
}

int TBasicNetwork::Evaluate(const double* inputs, double* outputs) {
  for (int i = 0; i < numLayers; ++i) layers[i]->Evaluate(inputs);
  const TBasicLayer& out = *layers[outLayer];
  std::copy(out.values.begin(), out.values.begin() + out.numNeurons, outputs);
  return out.numNeurons;
}

const char* TBasicNetwork::GetNetworkType() const {
  return "Basic";
}

std::unique_ptr<TArcsIterator> TBasicNetwork::NewInAllArcsIterator() {
  KOH_REFUSE();
}
void* TBasicNetwork::Reserved10() {
  KOH_REFUSE();
}
void* TBasicNetwork::Reserved11() {
  KOH_REFUSE();
}
void* TBasicNetwork::Reserved12() {
  KOH_REFUSE();
}

int TBasicNetwork::GetNumNeurons() const {
  long long total = 0;
  for (const LayerPtr& layer : layers) total += layer->numNeurons;
  KOH_ASSERT(total <= INT_MAX, "number of neurons fits int");
  return static_cast<int>(total);
}

TBasicNeuron* TBasicNetwork::GetNeuron(int index) {
  KOH_ASSERT(index >= 0, "index>=0");
  KOH_ASSERT(index < GetNumNeurons(), "index<GetNumNeurons()");
  int i = 0;
  while (index >= layers[i]->numNeurons) {
    index -= layers[i]->numNeurons;
    ++i;
  }
  return layers[i]->GetNeuron(index);
}

void TBasicNetwork::VisitInArcs(TIterateObj* visitor, int toLayer, int toNeuron, int mask) {
  for (int i = 0; i < numLayers; ++i)
    priv_conns_index[toLayer][i]->IterateIn(visitor, toNeuron, mask);
}

void TBasicNetwork::VisitOutArcs(TIterateObj* visitor, int fromLayer, int fromNeuron, int mask) {
  for (int i = 0; i < numLayers; ++i)
    priv_conns_index[i][fromLayer]->IterateOut(visitor, fromNeuron, mask);
}

// ---------------------------------------------------------------------------
// Structural edits

namespace {

// New position of old layer i when a layer is inserted at L.
int Above(int i, int L) {
  return i >= L ? i + 1 : i;
}

}  // namespace

void TBasicNetwork::CheckHiddenLayer(int LayerNum) const {
  KOH_ASSERT(LayerNum >= 0, "LayerNum>=0");
  KOH_ASSERT(LayerNum < numLayers, "LayerNum<numLayers");
  KOH_ASSERT(LayerNum != inLayer, "LayerNum!=inLayer");
  KOH_ASSERT(LayerNum != outLayer, "LayerNum!=outLayer");
}

void TBasicNetwork::Renumber() {
  for (int i = 0; i < numLayers; ++i) {
    TBasicLayer* layer = layers[i].get();
    layer->layerNum = i;
    for (int k = 0; k < layer->numNeurons; ++k) layer->GetNeuron(k)->layerNum = i;
  }
  for (int t = 0; t < numLayers; ++t) {
    for (int f = 0; f < numLayers; ++f) {
      priv_conns_index[t][f]->fromLayer = f;
      priv_conns_index[t][f]->toLayer = t;
    }
  }
}

// A block from the layer to itself gets both calls; the first one reshapes
// both of its dimensions and the second finds it already at the new size.
void TBasicNetwork::InsertNeuron(int LayerNum, int node, double low, double high, bool attached) {
  CheckHiddenLayer(LayerNum);
  TBasicLayer& layer = *layers[LayerNum];
  KOH_ASSERT(node >= 0, "node>=0");
  KOH_ASSERT(node <= layer.numNeurons, "node<=GetNumNeurons()");
  layer.InsertNeuron(node);
  ++layer.numNeurons;
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[i][LayerNum]->InsertFromNeuron(node, low, high, attached);
    priv_conns_index[LayerNum][i]->InsertToNeuron(node, low, high, attached);
  }
}

void TBasicNetwork::RemoveNeuron(int LayerNum, int node) {
  CheckHiddenLayer(LayerNum);
  TBasicLayer& layer = *layers[LayerNum];
  KOH_ASSERT(node >= 0, "node>=0");
  KOH_ASSERT(node < layer.numNeurons, "node<GetNumNeurons()");
  layer.RemoveNeuron(node);
  --layer.numNeurons;
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[i][LayerNum]->RemoveFromNeuron(node);
    priv_conns_index[LayerNum][i]->RemoveToNeuron(node);
  }
}

int TBasicNetwork::PruneNodes() {
  TIterateObjPruneNode visitor;
  int removed = 0;
  for (int L = outLayer - 1; L >= 0; --L) {
    if (L == inLayer) continue;
    for (int k = layers[L]->numNeurons - 1; k >= 0; --k) {
      visitor.count = 0;
      VisitOutArcs(&visitor, L, k, FMaskExists);
      if (visitor.count == 0) {
        RemoveNeuron(L, k);
        ++removed;
      }
    }
  }
  return removed;
}

// Everything that allocates happens before the first pointer moves, so a
// failed allocation leaves the network as it was (and releases `layer`).
void TBasicNetwork::InsertLayer(int LayerNum, TBasicLayer* layer) {
  LayerPtr added(layer);
  KOH_ASSERT(LayerNum >= 0, "LayerNum>=0");
  KOH_ASSERT(LayerNum <= numLayers, "LayerNum<=numLayers");
  KOH_ASSERT(layer != nullptr, "layer != NULL");
  KOH_ASSERT(layer->network == this, "layer->network == this");
  KOH_ASSERT(TBasicConnections::SizeFits(numLayers + 1LL, numLayers + 1LL),
             "n_layers*n_layers fits int");
  const int L = LayerNum;
  const int old = numLayers;
  const int n = old + 1;
  std::vector<BlockPtr> conns(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i) {
    conns[static_cast<std::size_t>(i) * n + L].reset(new TEmptyConnections(this, L, i));
    if (i != L) conns[static_cast<std::size_t>(L) * n + i].reset(new TEmptyConnections(this, i, L));
  }
  std::vector<LayerPtr> moved(static_cast<std::size_t>(n));
  std::vector<BlockPtr*> index(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) index[t] = conns.data() + static_cast<std::size_t>(t) * n;

  for (int t = 0; t < old; ++t)
    for (int f = 0; f < old; ++f)
      index[Above(t, L)][Above(f, L)] =
          std::move(priv_conns[static_cast<std::size_t>(t) * old + f]);
  for (int i = 0; i < old; ++i) moved[Above(i, L)] = std::move(layers[i]);
  moved[L] = std::move(added);
  priv_conns.swap(conns);
  priv_conns_index.swap(index);
  layers.swap(moved);
  numLayers = n;
  if (inLayer >= L) ++inLayer;
  if (outLayer >= L) ++outLayer;
  Renumber();
}

void TBasicNetwork::RemoveLayer(int LayerNum) {
  KOH_ASSERT(LayerNum >= 0, "LayerNum>=0");
  KOH_ASSERT(LayerNum < numLayers, "LayerNum<numLayers");
  KOH_ASSERT(LayerNum != inLayer, "LayerNum!=inLayer");
  KOH_ASSERT(LayerNum != outLayer, "LayerNum!=outLayer");
  const int L = LayerNum;
  const int old = numLayers;
  const int n = old - 1;
  std::vector<BlockPtr> conns(static_cast<std::size_t>(n) * n);
  std::vector<LayerPtr> kept(static_cast<std::size_t>(n));
  std::vector<BlockPtr*> index(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) index[t] = conns.data() + static_cast<std::size_t>(t) * n;

  for (int t = 0; t < n; ++t)
    for (int f = 0; f < n; ++f) index[t][f] = std::move(priv_conns_index[Above(t, L)][Above(f, L)]);
  for (int i = 0; i < n; ++i) kept[i] = std::move(layers[Above(i, L)]);
  // What is left behind is the removed layer's row and column of blocks,
  // released first, and then the layer itself.
  priv_conns.swap(conns);
  priv_conns_index.swap(index);
  conns.clear();
  layers.swap(kept);
  kept.clear();
  numLayers = n;
  if (inLayer >= L) --inLayer;
  if (outLayer >= L) --outLayer;
  Renumber();
}

}  // namespace kohport
