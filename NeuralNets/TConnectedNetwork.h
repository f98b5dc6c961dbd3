// TConnectedNetwork: a basic network whose Connect joins layers with fully
// connected blocks (TConnectedConnections), and the arc iterators over the
// blocks that keep one weight row per to-neuron. Ownership as in
// TBasicNetwork; an iterator belongs to whoever made it or received it from
// NewInAllArcsIterator, and owns nothing itself.
#ifndef KOHPORT_NEURALNETS_TCONNECTEDNETWORK_H
#define KOHPORT_NEURALNETS_TCONNECTEDNETWORK_H

#include <memory>

#include "NeuralNets/TBasicNetwork.h"

namespace kohport {

class TConnectedNetwork : public TBasicNetwork {
 public:
  // Sets nothing; for derived classes that call Init themselves.
  TConnectedNetwork();
  // Init(n_layers) only; the builder fills `layers`.
  explicit TConnectedNetwork(int n_layers);
  // Init(n_layers), then layer i gets sizes[i] neurons: a TSimpleInputLayer
  // at inLayer (layer 1), a TSimpleLayer elsewhere (functions ActError until
  // the builder sets them). Nothing is connected.
  TConnectedNetwork(int n_layers, const int* sizes);
  TConnectedNetwork(const TConnectedNetwork& x) = default;
  TConnectedNetwork& operator=(const TConnectedNetwork& x) = default;

  // Puts a TConnectedConnections between the layers unless they are connected.
  void Connect(int fromLayer, int toLayer) override;
  const char* GetNetworkType() const override;
  // A new TConnInAllArcsIterator on this network, not yet started. For the
  // arcs from a single layer, construct a TConnInLayerArcsIterator directly.
  std::unique_ptr<TArcsIterator> NewInAllArcsIterator() override;
};

// The arcs into one neuron from every layer that has a connecting block into
// its layer and at least one neuron: layers ascending (lower, equal or higher
// than the to layer), from-neurons ascending within a layer. The weight of
// arc (f, t) is row t, entry f of the block's weight rows, so stepping
// within a layer only moves the index and the weight pointer.
//
// After Start the iterator stands before layer 0. When Next has returned
// false it stands after layer numLayers-1 (GetFromLayer() is numLayers-1),
// and a following Prev searches from layer numLayers-2 downward; when Prev
// has returned false a following Next searches upward from the layer it
// stopped at, plus one. Past either end Next and Prev keep returning false
// until a step finds a layer.
class TConnInAllArcsIterator : public TInAllArcsIterator {
 public:
  explicit TConnInAllArcsIterator(TConnectedNetwork* network);

  // toLayer and toIndex must name a neuron of the network (assertions).
  void Start(int toLayer, int toIndex) override;
  int GetFromLayer() const override { return fromLayer; }
  int GetToLayer() const override { return toLayer; }
  int GetFromIndex() const override { return fromIndex; }
  int GetToIndex() const override { return toIndex; }
  TBasicNeuron* GetToNeuron() const override { return toNeuron; }
  TBasicNeuron* GetFromNeuron() const override { return fromNeuron; }
  double* GetWeightPtr() const override { return weight; }
  bool IsValid() const override { return block != nullptr; }
  // Next and Prev before Start fail the assertion "Start before Next/Prev".
  bool Next() override;
  bool Prev() override;

 private:
  // Makes layer fromLayer the current one when it is connected into the to
  // layer and has neurons, standing on its first or last neuron.
  bool Enter(bool atLast);

  int lastIndex = -1;                   // last neuron of the from layer
  TBasicConnections* block = nullptr;   // not owned
  TBasicLayer* fromLayerPtr = nullptr;  // not owned
};

// The arcs into one neuron from one given layer, from-neurons ascending.
// With no connecting block between the two layers it yields no arc.
class TConnInLayerArcsIterator : public TInLayerArcsIterator {
 public:
  explicit TConnInLayerArcsIterator(TConnectedNetwork* network);

  // The three numbers must name layers and a to-neuron of the network
  // (assertions).
  void Start(int toLayer, int toIndex, int fromLayer) override;
  int GetFromLayer() const override { return fromLayer; }
  int GetToLayer() const override { return toLayer; }
  int GetFromIndex() const override { return fromIndex; }
  int GetToIndex() const override { return toIndex; }
  TBasicNeuron* GetToNeuron() const override { return toNeuron; }
  TBasicNeuron* GetFromNeuron() const override { return fromNeuron; }
  double* GetWeightPtr() const override { return weight; }
  // True from Start on when the two layers are connected.
  bool IsValid() const override { return block != nullptr; }
  // At either end they return false and stay.
  bool Next() override;
  bool Prev() override;

 private:
  void MoveTo(int index);

  int lastIndex = -1;
  TBasicConnections* block = nullptr;  // not owned
  double* row = nullptr;               // the to-neuron's weight row
};

}  // namespace kohport

#endif
