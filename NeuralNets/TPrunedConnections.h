// The pruneable block: the full weight matrix of the fully connected block
// plus one flag byte per arc (FMaskExists, FMaskTrainable), so that arcs can
// be pruned (flag 0, weight 0.0) and frozen (trainable bit cleared).
//
// Weights and flags share one layout: one row per to-neuron, index_weights[t][f]
// and index_masks[t][f] for arc (f, t), rows contiguous in array_weights and
// array_masks. The block owns all four arrays. The weight-vector operations
// are the interface defaults, so they lay the selected arcs out to-neuron by
// to-neuron.
#ifndef KOHPORT_NEURALNETS_TPRUNEDCONNECTIONS_H
#define KOHPORT_NEURALNETS_TPRUNEDCONNECTIONS_H

#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace kohport {

class TPrunedConnections : public TBasicConnections {
 public:
  // |from| x |to| arcs, weights 0.0, flags FMaskAll. Same size rule as the
  // fully connected block.
  TPrunedConnections(TBasicNetwork* network, int fromLayer, int toLayer);

  // Only arcs whose trainable bit is set change, in storage order.
  void RandomizeWeights(double low, double high) override;
  double* GetWeightPtr(int from, int to) override { return &index_weights[to][from]; }
  // Arcs with the exists bit contribute, frozen ones included.
  void Aggregate(double* netInput) override;
  bool IsValid(int from, int to) const override;
  bool IsTrainable(int from, int to) const override;
  void Prune(int from, int to) override;
  void Unprune(int from, int to) override;
  void SetTrainable(int from, int to) override;
  void SetUntrainable(int from, int to) override;
  void IterateIn(TIterateObj* v, int to, int mask) override;
  void IterateOut(TIterateObj* v, int from, int mask) override;
  void Iterate(TIterateObj* v, int mask) override;
  void Iterate2(TIterateObj2* v, TBasicNetwork* second, int mask) override;
  void Iterate3(TIterateObj3* v, TBasicNetwork* second, TBasicNetwork* third, int mask) override;
  const char* GetConnectionsNType() const override;
  char GetFlags(int from, int to) const override { return index_masks[to][from]; }
  // Stores any value, unchecked.
  void SetFlags(int from, int to, char val) override { index_masks[to][from] = val; }
  void Destroy() override;
  TBasicConnections* Clone(TBasicNetwork* owner) const override;
  void RemoveFromNeuron(int pos) override;
  void RemoveToNeuron(int pos) override;
  // attached: new arcs trainable with one draw each; otherwise flag 0,
  // weight 0.0 and nothing drawn.
  void InsertFromNeuron(int pos, double low, double high, bool attached) override;
  void InsertToNeuron(int pos, double low, double high, bool attached) override;
  double* const* GetWeightRows() override { return index_weights.data(); }

  int GetStoredFrom() const noexcept { return numFrom; }
  int GetStoredTo() const noexcept { return numTo; }

  std::vector<double> array_weights;
  std::vector<double*> index_weights;
  std::vector<char> array_masks;
  std::vector<char*> index_masks;

 protected:
  ~TPrunedConnections() override = default;

 private:
  struct CloneTag {};
  TPrunedConnections(CloneTag, TBasicNetwork* owner, const TPrunedConnections& source);
  void Resize(int pos, int delta, bool fromSide, double low, double high, bool attached);
  template <class Visit>
  void Walk(int mask, int t0, int t1, int f0, int f1, Visit visit);

  int numFrom = 0;
  int numTo = 0;
};

}  // namespace kohport

#endif
