// The network model: layers, the connection-block interface with the empty
// block, the per-arc visitors and the basic network.
//
// Ownership, one scheme everywhere: a network owns its layers, its blocks (one
// per ordered pair of layers) and its registry of activation functions. Layers
// and blocks are released only through their virtual Destroy(); the network
// holds them in LayerPtr / BlockPtr, whose deleter calls Destroy(). A layer
// owns its neurons, `values` and `dimensions`; a block owns its weights and
// flags. Layers, blocks and visitors keep borrowed back pointers (`network`,
// `conn`, ...) that they never free.
//
// Caller errors (violated preconditions, refused operations) end the process
// with the assertion report of common/Assert.h. Nothing here throws except
// std::bad_alloc when memory runs out.
#ifndef KOHPORT_NEURALNETS_TBASICNETWORK_H
#define KOHPORT_NEURALNETS_TBASICNETWORK_H

#include <memory>
#include <vector>

#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/Neurons.h"

namespace kohport {

class TBasicNetwork;
class TBasicConnections;
class TIterateObj;
class TIterateObj2;
class TIterateObj3;
class TArcsIterator;

// Arc flag bits. A mask of FMaskExists selects every existing arc; any other
// mask selects the existing trainable arcs.
constexpr int FMaskExists = 1;
constexpr int FMaskTrainable = 2;
constexpr int FMaskAll = 3;

// The library's one rule for a random weight between low and high:
// low + (r mod 32767) / 32767 * (high - low), computed in long double and
// rounded to double, with r the next value of the C library's rand(), which
// the library never seeds. Draws exactly one number.
double RandomWeight(double low, double high);

// ---------------------------------------------------------------------------
// Layers

// A layer: a contiguous array of neurons of one class (`nodes` in the concrete
// classes) and `values`, one double per neuron, which holds the net inputs
// while the layer is evaluated and its outputs afterwards. Invariant for every
// neuron i: nodes[i].output == &values[i], nodes[i].layer == this,
// nodes[i].index == i, nodes[i].layerNum == layerNum.
class TBasicLayer {
 public:
  TBasicLayer(const TBasicLayer&) = delete;
  TBasicLayer& operator=(const TBasicLayer&) = delete;

  // Applies the activation functions to net[0..numNeurons-1]: the layer-wide
  // function when set, otherwise each neuron's own; each function overwrites
  // its neuron's output slot. The layer passes its own `values` as net.
  virtual void Activate(double* net);
  virtual TBasicNeuron* GetNeuron(int i) = 0;
  // Hidden-layer evaluation: starts from the inputs when this layer sits in
  // the input position (with the warning line "!Warning: changed input layer
  // (TSimpleLayer)"), from zeros otherwise; adds every lower layer's block
  // through Aggregate, then Activate(values).
  virtual void Evaluate(const double* inputs);
  virtual const char* GetLayerType() const = 0;
  // Frees the layer and everything it owns.
  virtual void Destroy() = 0;
  // A copy of this layer (neurons, functions, gains, dimensions; values 0.0)
  // for `owner`; the caller owns it (release it with Destroy).
  virtual TBasicLayer* Clone(TBasicNetwork* owner) const = 0;
  // Rebuild the neuron array without / with a neuron at `node`. Neither
  // changes numNeurons: the network does so right after the call and then
  // adjusts the blocks. RemoveNeuron keeps `values`; InsertNeuron replaces it
  // with numNeurons+1 zeros. The base InsertNeuron refuses (assertion "false").
  virtual void RemoveNeuron(int node) = 0;
  virtual void InsertNeuron(int node);

  // Sets the layer-wide function and every neuron's function.
  void SetActFunction(TActFunction fn);
  // The layer's common function, or nullptr when its neurons differ. Caches
  // the answer in `actFn`; a layer without neurons answers (and keeps) ActNull.
  TActFunction GetActFunction();
  // Copies the n_dimensions entries of `dimensions` to parameters.
  void GetDimensions(int* parameters) const;
  // Replaces the dimensions by copies of parameters[0..count-1].
  void SetDimensions(int count, const int* parameters);
  // Copies values size (as zeros), dimensions and actFn into a fresh clone.
  void CopyBase(TBasicLayer* to) const;

  TBasicNetwork* network;        // not owned
  TActFunction actFn = nullptr;  // layer-wide function, or none
  int numNeurons;
  int layerNum;
  std::vector<double> values;  // at least numNeurons entries
  int n_dimensions = 0;
  std::vector<int> dimensions;  // n_dimensions entries

 protected:
  // numNeurons must not be negative.
  TBasicLayer(TBasicNetwork* network, int layerNum, int numNeurons);
  virtual ~TBasicLayer() = default;
};

// Owns a layer and releases it through Destroy().
struct LayerDeleter {
  void operator()(TBasicLayer* layer) const noexcept { layer->Destroy(); }
};
using LayerPtr = std::unique_ptr<TBasicLayer, LayerDeleter>;

// A layer of plain neurons. All neurons start with ActError.
class TSimpleLayer : public TBasicLayer {
 public:
  TSimpleLayer(TBasicNetwork* network, int layerNum, int numNeurons);

  void Activate(double* net) override;
  TBasicNeuron* GetNeuron(int i) override { return &nodes[i]; }
  const char* GetLayerType() const override;
  void Destroy() override;
  TBasicLayer* Clone(TBasicNetwork* owner) const override;
  void RemoveNeuron(int node) override;
  void InsertNeuron(int node) override;
  virtual int IsSimple() const { return 1; }

  std::vector<TBasicNeuron> nodes;

 protected:
  ~TSimpleLayer() override = default;
  void CopyNeuronsFrom(const TSimpleLayer& source);
};

// A layer of gain neurons; every neuron starts with the given gain.
class TGainLayer : public TBasicLayer {
 public:
  TGainLayer(TBasicNetwork* network, int layerNum, int numNeurons, double gain);

  void Activate(double* net) override;
  TBasicNeuron* GetNeuron(int i) override { return &nodes[i]; }
  const char* GetLayerType() const override;
  void Destroy() override;
  TBasicLayer* Clone(TBasicNetwork* owner) const override;
  void RemoveNeuron(int node) override;
  // The new neuron takes the gain of old neuron 0, or 1.0 in an empty layer.
  void InsertNeuron(int node) override;
  void SetGain(double gain);

  std::vector<TGainNeuron> nodes;

 protected:
  ~TGainLayer() override = default;
};

// The layer that takes the network's external inputs. Its function is
// "linear". In the input position it outputs its inputs unchanged (no block,
// no function); elsewhere it writes "!Warning: changed input layer
// (TSimpleInputLayer)" and outputs zeros.
class TSimpleInputLayer : public TSimpleLayer {
 public:
  TSimpleInputLayer(TBasicNetwork* network, int layerNum, int numNeurons);

  void Evaluate(const double* inputs) override;
  const char* GetLayerType() const override;
  TBasicLayer* Clone(TBasicNetwork* owner) const override;

 protected:
  ~TSimpleInputLayer() override = default;
};

// ---------------------------------------------------------------------------
// Connection blocks

// The arcs from every neuron of layer `fromLayer` to every neuron of layer
// `toLayer` of `network`. |from| and |to| are the neuron counts of those two
// layers. Operations on one arc take the from-neuron first. A block's storage
// follows its layers' counts only through the insert and remove operations,
// which the network calls after each change of a layer's count.
class TBasicConnections {
 public:
  static constexpr int FMaskExists = kohport::FMaskExists;
  static constexpr int FMaskTrainable = kohport::FMaskTrainable;
  static constexpr int FMaskAll = kohport::FMaskAll;

  TBasicConnections(TBasicNetwork* network, int fromLayer, int toLayer);
  TBasicConnections(const TBasicConnections&) = delete;
  TBasicConnections& operator=(const TBasicConnections&) = delete;

  // Whether a block of numFrom x numTo arcs can exist: both counts are not
  // negative and their product fits a signed 32-bit count. Blocks refuse
  // other sizes with an assertion; file readers ask first and refuse with a
  // message.
  static bool SizeFits(long long numFrom, long long numTo) noexcept;

  virtual bool IsConnected() const;
  // Defaults below go through Iterate with the library's visitors.
  virtual int GetNumWeights(int mask);
  virtual int GetWeights(double* dst, int mask);
  virtual int SetWeights(const double* src, int mask);
  virtual void RandomizeWeights(double low, double high);
  virtual double* GetWeightPtr(int from, int to) = 0;
  // netInput[t] += the sum over existing arcs (f, t) of values[f] * w(f, t),
  // each to-neuron's sum started at 0.0 with from-neurons ascending.
  virtual void Aggregate(double* netInput);
  virtual bool IsValid(int from, int to) const = 0;
  virtual bool IsTrainable(int from, int to) const;
  virtual void Prune(int from, int to);
  virtual void Unprune(int from, int to);
  virtual void SetTrainable(int from, int to);
  virtual void SetUntrainable(int from, int to);
  virtual void IterateIn(TIterateObj* v, int to, int mask) = 0;
  virtual void IterateOut(TIterateObj* v, int from, int mask) = 0;
  // To-neurons ascending outside, from-neurons ascending inside.
  virtual void Iterate(TIterateObj* v, int mask) = 0;
  virtual void Iterate2(TIterateObj2* v, TBasicNetwork* second, int mask) = 0;
  virtual void Iterate3(TIterateObj3* v, TBasicNetwork* second, TBasicNetwork* third, int mask) = 0;
  virtual const char* GetConnectionsNType() const = 0;
  virtual char GetFlags(int from, int to) const;
  // Default: accepts FMaskAll or FMaskExists and stores nothing; any other
  // value fails "(val==FMaskAll) || (val==FMaskExists)".
  virtual void SetFlags(int from, int to, char val);
  virtual void Destroy() = 0;
  // A copy for `owner` (same layer numbers, weights and flags); the caller
  // owns it (release it with Destroy).
  virtual TBasicConnections* Clone(TBasicNetwork* owner) const = 0;
  // Called after the layer's count has changed. A block from a layer to
  // itself changes both of its dimensions in the first of the two calls it
  // receives (from side, then to side) and finds nothing to do in the second.
  virtual void RemoveFromNeuron(int pos) = 0;
  virtual void RemoveToNeuron(int pos) = 0;
  virtual void InsertFromNeuron(int pos, double low, double high, bool attached);
  virtual void InsertToNeuron(int pos, double low, double high, bool attached);

  // The rows of the block's weight storage (index_weights.data()), or null
  // for a kind without rows. Row t holds the weights of the arcs into
  // to-neuron t, one per from-neuron in ascending order.
  virtual double* const* GetWeightRows() { return nullptr; }

  // Flag bytes of the existing arcs in Iterate order; the caller owns them.
  std::unique_ptr<char[]> GetAllFlags();
  // SetFlags with flags[k] for the k-th existing arc in Iterate order.
  void SetAllFlags(const char* flags);
  // SetUntrainable for every existing arc.
  void SetAllUntrainable();

  // The current neuron counts of the two layers.
  int FromCount() const;
  int ToCount() const;

  TBasicNetwork* network;  // not owned
  int fromLayer;
  int toLayer;

 protected:
  virtual ~TBasicConnections() = default;
  // Start of every visit: v->Prepare with the two layers, and v->conn = this
  // (the same block as the network's entry once the block is installed).
  void Prepare(TIterateObj* v);
};

// Owns a block and releases it through Destroy().
struct BlockDeleter {
  void operator()(TBasicConnections* block) const noexcept { block->Destroy(); }
};
using BlockPtr = std::unique_ptr<TBasicConnections, BlockDeleter>;

// A pair of layers without arcs.
class TEmptyConnections : public TBasicConnections {
 public:
  TEmptyConnections(TBasicNetwork* network, int fromLayer, int toLayer);

  bool IsConnected() const override;
  bool IsValid(int from, int to) const override;
  int GetNumWeights(int mask) override;
  int GetWeights(double* dst, int mask) override;
  int SetWeights(const double* src, int mask) override;
  void RandomizeWeights(double low, double high) override;
  // A misuse: assertion "false".
  double* GetWeightPtr(int from, int to) override;
  void Aggregate(double* netInput) override;
  void IterateIn(TIterateObj* v, int to, int mask) override;
  void IterateOut(TIterateObj* v, int from, int mask) override;
  void Iterate(TIterateObj* v, int mask) override;
  void Iterate2(TIterateObj2* v, TBasicNetwork* second, int mask) override;
  void Iterate3(TIterateObj3* v, TBasicNetwork* second, TBasicNetwork* third, int mask) override;
  const char* GetConnectionsNType() const override;
  void Destroy() override;
  TBasicConnections* Clone(TBasicNetwork* owner) const override;
  void RemoveFromNeuron(int pos) override;
  void RemoveToNeuron(int pos) override;
  void InsertFromNeuron(int pos, double low, double high, bool attached) override;
  void InsertToNeuron(int pos, double low, double high, bool attached) override;

  double dummyWeight = 0.0;

 protected:
  ~TEmptyConnections() override = default;
};

// ---------------------------------------------------------------------------
// Visitors

// Visits the arcs of one block. Before each Process() the block sets
// fromNeuron, toNeuron, weight (valid during that call only) and trainable;
// the other fields come from Prepare. All pointers are borrowed.
class TIterateObj {
 public:
  virtual ~TIterateObj() = default;
  virtual void Process() {}

  // Fields from the two layers, and conn = the block between them.
  void Prepare(TBasicLayer* from, TBasicLayer* to);
  void Prepare(TBasicNetwork* network, int fromLayer, int toLayer);

  int fromLayer = 0;
  int toLayer = 0;
  int fromNeuron = 0;
  int toNeuron = 0;
  TBasicConnections* conn = nullptr;
  double* weight = nullptr;
  bool trainable = false;
  TBasicLayer* fromLayerPtr = nullptr;
  TBasicLayer* toLayerPtr = nullptr;
  double* fromValues = nullptr;
  double* toValues = nullptr;
};

// Visits the arcs of one layer pair in two networks of the same shape in step.
class TIterateObj2 {
 public:
  TIterateObj2() = default;
  TIterateObj2(TBasicNetwork* first, TBasicNetwork* second, int fromLayer, int toLayer,
               int fromNeuron, int toNeuron);
  virtual ~TIterateObj2() = default;
  virtual void Process() {}

  // Both blocks must be of one kind: "conn1 -> GetConnectionsNType() ==
  // conn2 -> GetConnectionsNType()".
  void Prepare(TBasicNetwork* first, TBasicNetwork* second, int fromLayer, int toLayer);

  int fromLayer = 0;
  int toLayer = 0;
  int fromNeuron = 0;
  int toNeuron = 0;
  TBasicConnections* conn1 = nullptr;
  TBasicConnections* conn2 = nullptr;
  double* weight1 = nullptr;
  double* weight2 = nullptr;
  bool trainable = false;
  TBasicLayer* fromLayerPtr1 = nullptr;
  TBasicLayer* toLayerPtr1 = nullptr;
  TBasicLayer* fromLayerPtr2 = nullptr;
  TBasicLayer* toLayerPtr2 = nullptr;
  double* fromValues1 = nullptr;
  double* toValues1 = nullptr;
  double* fromValues2 = nullptr;
  double* toValues2 = nullptr;
};

// The same for three networks.
class TIterateObj3 {
 public:
  TIterateObj3() = default;
  TIterateObj3(TBasicNetwork* first, TBasicNetwork* second, TBasicNetwork* third, int fromLayer,
               int toLayer, int fromNeuron, int toNeuron);
  virtual ~TIterateObj3() = default;
  virtual void Process() {}

  void Prepare(TBasicNetwork* first, TBasicNetwork* second, TBasicNetwork* third, int fromLayer,
               int toLayer);

  int fromLayer = 0;
  int toLayer = 0;
  int fromNeuron = 0;
  int toNeuron = 0;
  TBasicConnections* conn1 = nullptr;
  TBasicConnections* conn2 = nullptr;
  TBasicConnections* conn3 = nullptr;
  double* weight1 = nullptr;
  double* weight2 = nullptr;
  double* weight3 = nullptr;
  bool trainable = false;
  TBasicLayer* fromLayerPtr1 = nullptr;
  TBasicLayer* toLayerPtr1 = nullptr;
  TBasicLayer* fromLayerPtr2 = nullptr;
  TBasicLayer* toLayerPtr2 = nullptr;
  TBasicLayer* fromLayerPtr3 = nullptr;
  TBasicLayer* toLayerPtr3 = nullptr;
  double* fromValues1 = nullptr;
  double* toValues1 = nullptr;
  double* fromValues2 = nullptr;
  double* toValues2 = nullptr;
  double* fromValues3 = nullptr;
  double* toValues3 = nullptr;
};

// sum += fromValues[fromNeuron] * *weight.
class TIterateObjAggregate : public TIterateObj {
 public:
  void Process() override;
  double sum = 0.0;
};

class TIterateObjGetNumWeights : public TIterateObj {
 public:
  void Process() override { ++count; }
  int count = 0;
};

// Copies each weight to *dst and advances dst.
class TIterateObjGetWeights : public TIterateObj {
 public:
  void Process() override;
  int count = 0;
  double* dst = nullptr;
};

// Copies *src into each weight and advances src.
class TIterateObjSetWeights : public TIterateObj {
 public:
  void Process() override;
  int count = 0;
  const double* src = nullptr;
};

// Each weight becomes low when low == high (nothing drawn), otherwise
// RandomWeight(low, high).
class TIterateObjRandomize : public TIterateObj {
 public:
  void Process() override;
  double low = 0.0;
  double high = 0.0;
};

// flags[count++] = conn->GetFlags(fromNeuron, toNeuron).
class TIterateObjGetFlags : public TIterateObj {
 public:
  explicit TIterateObjGetFlags(char* flags) : flags(flags) {}
  void Process() override;
  int count = 0;
  char* flags;
};

// conn->SetFlags(fromNeuron, toNeuron, flags[count++]).
class TIterateObjSetFlags : public TIterateObj {
 public:
  explicit TIterateObjSetFlags(const char* flags) : flags(flags) {}
  void Process() override;
  int count = 0;
  const char* flags;
};

// conn->SetUntrainable(fromNeuron, toNeuron).
class TIterateObjAllUntrainable : public TIterateObj {
 public:
  void Process() override;
};

// Counts the arcs it is driven over (out-arcs of one neuron when pruning).
class TIterateObjPruneNode : public TIterateObj {
 public:
  void Process() override { ++count; }
  int count = 0;
};

// ---------------------------------------------------------------------------
// Arc iterators

// Walks the arcs into one neuron (the to-neuron) without a visitor: the
// caller steps with Next / Prev and reads the current arc's from layer,
// from-neuron and a pointer to its weight, through which the network's
// weight is read and changed. Calling order: Start (or StartAt) in the
// derived interface, then Next until it returns false; the accessors describe
// the current arc only while the last Next or Prev returned true. An iterator
// owns nothing; it is stale once the network's structure changes (connecting,
// disconnecting, inserting or removing neurons or layers).
class TArcsIterator {
 public:
  TArcsIterator(const TArcsIterator&) = delete;
  TArcsIterator& operator=(const TArcsIterator&) = delete;
  virtual ~TArcsIterator() = default;

  virtual int GetFromLayer() const = 0;
  virtual int GetToLayer() const = 0;
  virtual int GetFromIndex() const = 0;
  virtual int GetToIndex() const = 0;
  virtual TBasicNeuron* GetToNeuron() const = 0;
  virtual TBasicNeuron* GetFromNeuron() const = 0;
  virtual double* GetWeightPtr() const = 0;
  // Reserved; refuses (assertion "false").
  virtual void* Reserved7();
  // IsValid().
  virtual operator int() const;
  // Reserved; they refuse (assertion "false").
  virtual void* Reserved9();
  virtual void* Reserved10();
  // True while the iterator stands inside a block that connects a from layer
  // to the to layer.
  virtual bool IsValid() const = 0;
  // Step to the next / previous arc; false when there is none.
  virtual bool Next() = 0;
  virtual bool Prev() = 0;

 protected:
  explicit TArcsIterator(TBasicNetwork* network) : network(network) {}

  int fromLayer = -1;
  int fromIndex = -1;  // -1 when not on an arc
  int toLayer = -1;
  int toIndex = -1;
  TBasicNeuron* fromNeuron = nullptr;
  TBasicNeuron* toNeuron = nullptr;
  double* weight = nullptr;
  TBasicNetwork* network;  // not owned
};

// The arcs into a neuron from every layer.
class TInAllArcsIterator : public TArcsIterator {
 public:
  // Positions the iterator before the first arc into neuron toIndex of layer
  // toLayer. Does nothing in this class.
  virtual void Start(int toLayer, int toIndex);
  // Start(neuron->layerNum, neuron->index).
  void StartAt(const TBasicNeuron* neuron);

 protected:
  explicit TInAllArcsIterator(TBasicNetwork* network) : TArcsIterator(network) {}
};

// The arcs into a neuron from one given layer.
class TInLayerArcsIterator : public TArcsIterator {
 public:
  // Positions the iterator before the first arc from layer fromLayer into
  // neuron toIndex of layer toLayer. Does nothing in this class.
  virtual void Start(int toLayer, int toIndex, int fromLayer);
  // Start(neuron->layerNum, neuron->index, 0).
  void StartAt(const TBasicNeuron* neuron);

 protected:
  explicit TInLayerArcsIterator(TBasicNetwork* network) : TArcsIterator(network) {}
};

// ---------------------------------------------------------------------------
// The basic network

// An ordered array of layers, a block for every ordered pair of layers
// (priv_conns[to*numLayers+from], reached as priv_conns_index[to][from]) and
// a registry of activation functions. Built in two stages: construct with a
// layer count (every block empty), then fill every entry of `layers` with a
// layer built for this network whose layerNum is its position; then connect
// and set functions and weights.
class TBasicNetwork {
 public:
  // Sets nothing; the derived constructor calls Init itself.
  TBasicNetwork();
  // Init(n_layers); the caller fills `layers`.
  explicit TBasicNetwork(int n_layers);
  // Clones x's layers and blocks; a fresh standard registry.
  TBasicNetwork(const TBasicNetwork& x);
  // Self-assignment does nothing; otherwise releases everything and clones x.
  TBasicNetwork& operator=(const TBasicNetwork& x);
  // Releases the blocks, then the layers, then the registry. Entries of
  // `layers` that were never filled are skipped, so a network whose build
  // failed half way can still be released.
  virtual ~TBasicNetwork();

  virtual int GetNumWeights(int mask);
  // Blocks with the from layer outer, the to layer inner, both ascending;
  // within a block its own order. Return the count written / read.
  virtual int GetWeights(double* dst, int mask);
  virtual int SetWeights(const double* src, int mask);
  virtual void RandomizeWeights(double low, double high);
  // Puts a TPrunedConnections between the layers unless they are connected.
  virtual void Connect(int fromLayer, int toLayer);
  // Puts a new TEmptyConnections between the layers.
  virtual void Disconnect(int fromLayer, int toLayer);
  // Forward pass: every layer in ascending order, then the output layer's
  // values into outputs. Returns the number of outputs written.
  virtual int Evaluate(const double* inputs, double* outputs);
  virtual const char* GetNetworkType() const;
  // An iterator over the arcs into a neuron from every layer; the caller owns
  // it. Refuses (assertion "false") in a network class without iterators.
  virtual std::unique_ptr<TArcsIterator> NewInAllArcsIterator();
  // Reserved; they refuse (assertion "false").
  virtual void* Reserved10();
  virtual void* Reserved11();
  virtual void* Reserved12();

  // n_layers layers (entries left empty for the caller), inLayer 1,
  // outLayer n_layers-1, an empty block for every pair, a standard registry.
  void Init(int n_layers);
  int GetNumNeurons() const;
  // The neuron with network-wide number index (layer 0's neurons first).
  TBasicNeuron* GetNeuron(int index);
  // Visits the arcs into one neuron from every layer / out of one neuron
  // into every layer, block by block in ascending layer order.
  void VisitInArcs(TIterateObj* visitor, int toLayer, int toNeuron, int mask);
  void VisitOutArcs(TIterateObj* visitor, int fromLayer, int fromNeuron, int mask);

  // Structural edits. Each keeps one block per ordered pair of layers, every
  // block's fromLayer / toLayer equal to its place in the matrix, every
  // layer's (and neuron's) layerNum equal to its position, and inLayer /
  // outLayer naming the same layers as before. They move block and layer
  // pointers and copy no weights of untouched blocks. Every iterator on the
  // network is stale afterwards.

  // Inserts a neuron at position node of hidden layer LayerNum, then gives
  // every block at that layer room for it, layer by layer: first the block
  // out of LayerNum into layer i, then the block from layer i into it. Where
  // attached is true the new arcs exist with random weights in [low, high)
  // (one draw each, in that order); a fully connected block requires
  // attached. Preconditions (assertions): "LayerNum>=0", "LayerNum<numLayers",
  // "LayerNum!=inLayer", "LayerNum!=outLayer", "node>=0",
  // "node<=GetNumNeurons()" (the layer's count).
  void InsertNeuron(int LayerNum, int node, double low, double high, bool attached);
  // Removes neuron node of hidden layer LayerNum and all its arcs. The same
  // layer assertions, then "node>=0" and "node<GetNumNeurons()".
  void RemoveNeuron(int LayerNum, int node);
  // Removes every neuron of the layers below outLayer (inLayer excepted) that
  // has no existing outgoing arc, from the highest layer down and from the
  // last neuron to the first, so a neuron that only fed neurons removed
  // earlier in the same call goes as well. Returns how many it removed.
  int PruneNodes();
  // Takes over `layer`, which must have been built for this network, and
  // inserts it at position LayerNum, connected to nothing; the layers from
  // LayerNum on move up by one, and so do inLayer / outLayer when they are
  // at or above it. Assertions "LayerNum>=0", "LayerNum<=numLayers",
  // "layer != NULL", "layer->network == this".
  void InsertLayer(int LayerNum, TBasicLayer* layer);
  // Releases layer LayerNum and all its blocks; the layers above move down
  // by one. Assertions "LayerNum>=0", "LayerNum<numLayers",
  // "LayerNum!=inLayer", "LayerNum!=outLayer".
  void RemoveLayer(int LayerNum);

  int numLayers = 0;
  std::vector<LayerPtr> layers;
  int inLayer = 0;
  int outLayer = 0;
  std::vector<BlockPtr> priv_conns;
  std::vector<BlockPtr*> priv_conns_index;
  std::unique_ptr<TFnRegistry> fnRegistry;

 private:
  void CopyFrom(const TBasicNetwork& x);
  void ReleaseAll() noexcept;
  void BuildIndex();
  // Checks the layer preconditions shared by InsertNeuron and RemoveNeuron.
  void CheckHiddenLayer(int LayerNum) const;
  // Gives every layer, its neurons and every block its position as number.
  void Renumber();
};

}  // namespace kohport

#endif
