// The fully connected block: an arc from every neuron of the from layer to
// every neuron of the to layer, all existing and trainable, no flag bytes.
//
// Weights are stored one row per to-neuron: the weight of arc (f, t) is
// index_weights[t][f], and the rows lie one after another in array_weights.
// The Kohonen map loader and the arc iterators rely on this layout. The
// block owns both arrays.
#ifndef KOHPORT_NEURALNETS_TCONNECTEDCONNECTIONS_H
#define KOHPORT_NEURALNETS_TCONNECTEDCONNECTIONS_H

#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace kohport {

class TConnectedConnections : public TBasicConnections {
 public:
  // |from| x |to| weights, all 0.0, sized from the two layers of `network`,
  // which must exist. A size whose product does not fit a signed 32-bit count
  // fails the assertion "SizeFits(|from|, |to|)" (readers check SizeFits first).
  TConnectedConnections(TBasicNetwork* network, int fromLayer, int toLayer);

  // |from| x |to| whatever the mask.
  int GetNumWeights(int mask) override;
  // From-major order: for f, for t, weight (f, t). The mask is ignored.
  int GetWeights(double* dst, int mask) override;
  int SetWeights(const double* src, int mask) override;
  // Every weight in storage order; low == high sets low and draws nothing.
  void RandomizeWeights(double low, double high) override;
  double* GetWeightPtr(int from, int to) override { return &index_weights[to][from]; }
  void Aggregate(double* netInput) override;
  bool IsValid(int from, int to) const override;
  void Unprune(int from, int to) override;
  void SetTrainable(int from, int to) override;
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
  // attached must be true (assertion "attached"); one draw per new arc, in
  // ascending order of the other side's neurons.
  void InsertFromNeuron(int pos, double low, double high, bool attached) override;
  void InsertToNeuron(int pos, double low, double high, bool attached) override;
  double* const* GetWeightRows() override { return index_weights.data(); }

  // Storage shape; equals the layers' counts whenever the network keeps its
  // blocks in step with its layers.
  int GetStoredFrom() const noexcept { return numFrom; }
  int GetStoredTo() const noexcept { return numTo; }

  std::vector<double> array_weights;   // numTo rows of numFrom weights
  std::vector<double*> index_weights;  // numTo row pointers into array_weights

 protected:
  ~TConnectedConnections() override = default;

 private:
  struct CloneTag {};
  TConnectedConnections(CloneTag, TBasicNetwork* owner, const TConnectedConnections& source);
  void Resize(int pos, int delta, bool fromSide, double low, double high);

  int numFrom = 0;
  int numTo = 0;
};

}  // namespace kohport

#endif
