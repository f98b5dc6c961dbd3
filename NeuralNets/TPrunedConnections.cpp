#include "NeuralNets/TPrunedConnections.h"

#include <cstddef>
#include <cstdint>

#include "NeuralNets/BlockStorage.h"
#include "common/Assert.h"

namespace kohport {

namespace {

// The flag bits an arc needs to be selected by `mask`.
inline char Selector(int mask) {
  return mask == FMaskExists ? FMaskExists : FMaskAll;
}

inline bool Selected(char flag, char selector) {
  return (flag & selector) == selector;
}

bool Overlap(const double* a, int na, const double* b, int nb) {
  const auto pa = reinterpret_cast<std::uintptr_t>(a);
  const auto pb = reinterpret_cast<std::uintptr_t>(b);
  return pa < pb + sizeof(double) * static_cast<std::size_t>(nb) &&
         pb < pa + sizeof(double) * static_cast<std::size_t>(na);
}

}  // namespace

TPrunedConnections::TPrunedConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer) {
  const int nf = FromCount();
  const int nt = ToCount();
  KOH_ASSERT(SizeFits(nf, nt), "SizeFits(|from|, |to|)");
  const std::size_t cells = static_cast<std::size_t>(nf) * static_cast<std::size_t>(nt);
  array_weights.assign(cells, 0.0);
  array_masks.assign(cells, static_cast<char>(FMaskAll));
  detail::SetRows(array_weights, index_weights, nt, nf);
  detail::SetRows(array_masks, index_masks, nt, nf);
  KOH_ASSERT(static_cast<int>(index_weights.size()) == nt, "index_weights != nil");
  KOH_ASSERT(static_cast<int>(index_masks.size()) == nt, "index_masks != nil");
  KOH_ASSERT(array_weights.size() == cells, "array_weights != nil");
  numFrom = nf;
  numTo = nt;
}

TPrunedConnections::TPrunedConnections(CloneTag, TBasicNetwork* owner,
                                       const TPrunedConnections& source)
    : TBasicConnections(owner, source.fromLayer, source.toLayer),
      array_weights(source.array_weights),
      array_masks(source.array_masks),
      numFrom(source.numFrom),
      numTo(source.numTo) {
  detail::SetRows(array_weights, index_weights, numTo, numFrom);
  detail::SetRows(array_masks, index_masks, numTo, numFrom);
}

void TPrunedConnections::RandomizeWeights(double low, double high) {
  const std::size_t cells = array_weights.size();
  for (std::size_t i = 0; i < cells; ++i) {
    if ((array_masks[i] & FMaskTrainable) == 0) continue;
    array_weights[i] = low == high ? low : RandomWeight(low, high);
  }
}

// As the fully connected block, counting only arcs whose exists bit is set:
// a pruned arc leaves its row's sum untouched at that step.
void TPrunedConnections::Aggregate(double* netInput) {
  KOH_ASSERT(numFrom == FromCount() && numTo == ToCount(), "block shape matches its layers");
  const double* values = network->layers[fromLayer]->values.data();
  const int nf = numFrom;
  int t = 0;
  if (!Overlap(netInput, numTo, values, nf)) {
    for (; t + 4 <= numTo; t += 4) {
      const double* w0 = index_weights[t];
      const double* w1 = index_weights[t + 1];
      const double* w2 = index_weights[t + 2];
      const double* w3 = index_weights[t + 3];
      const char* m0 = index_masks[t];
      const char* m1 = index_masks[t + 1];
      const char* m2 = index_masks[t + 2];
      const char* m3 = index_masks[t + 3];
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (int f = 0; f < nf; ++f) {
        const double v = values[f];
        if (m0[f] & FMaskExists) s0 = w0[f] * v + s0;
        if (m1[f] & FMaskExists) s1 = w1[f] * v + s1;
        if (m2[f] & FMaskExists) s2 = w2[f] * v + s2;
        if (m3[f] & FMaskExists) s3 = w3[f] * v + s3;
      }
      netInput[t] += s0;
      netInput[t + 1] += s1;
      netInput[t + 2] += s2;
      netInput[t + 3] += s3;
    }
  }
  for (; t < numTo; ++t) {
    const double* w = index_weights[t];
    const char* m = index_masks[t];
    double sum = 0.0;
    for (int f = 0; f < nf; ++f)
      if (m[f] & FMaskExists) sum = w[f] * values[f] + sum;
    netInput[t] += sum;
  }
}

bool TPrunedConnections::IsValid(int from, int to) const {
  return (index_masks[to][from] & FMaskExists) != 0;
}

bool TPrunedConnections::IsTrainable(int from, int to) const {
  return (index_masks[to][from] & FMaskTrainable) != 0;
}

void TPrunedConnections::Prune(int from, int to) {
  index_masks[to][from] = 0;
  index_weights[to][from] = 0.0;
}

void TPrunedConnections::Unprune(int from, int to) {
  if (index_masks[to][from] & FMaskExists) return;
  index_masks[to][from] = FMaskAll;
  index_weights[to][from] = 0.0;
}

void TPrunedConnections::SetTrainable(int from, int to) {
  if (index_masks[to][from] & FMaskExists) index_masks[to][from] |= FMaskTrainable;
}

void TPrunedConnections::SetUntrainable(int from, int to) {
  index_masks[to][from] &= ~FMaskTrainable;
}

// Calls visit(f, t, flag) for the selected arcs of rows [t0, t1) and columns
// [f0, f1), rows outside. The flag is read before the visit, so a visitor may
// change it.
template <class Visit>
void TPrunedConnections::Walk(int mask, int t0, int t1, int f0, int f1, Visit visit) {
  const char s = Selector(mask);
  for (int t = t0; t < t1; ++t)
    for (int f = f0; f < f1; ++f) {
      const char flag = index_masks[t][f];
      if (Selected(flag, s)) visit(f, t, flag);
    }
}

void TPrunedConnections::IterateIn(TIterateObj* v, int to, int mask) {
  Prepare(v);
  v->toNeuron = to;
  Walk(mask, to, to + 1, 0, numFrom, [&](int f, int t, char flag) {
    v->trainable = (flag & FMaskTrainable) != 0;
    v->fromNeuron = f;
    v->weight = &index_weights[t][f];
    v->Process();
  });
}

void TPrunedConnections::IterateOut(TIterateObj* v, int from, int mask) {
  Prepare(v);
  v->fromNeuron = from;
  Walk(mask, 0, numTo, from, from + 1, [&](int f, int t, char flag) {
    v->trainable = (flag & FMaskTrainable) != 0;
    v->toNeuron = t;
    v->weight = &index_weights[t][f];
    v->Process();
  });
}

void TPrunedConnections::Iterate(TIterateObj* v, int mask) {
  Prepare(v);
  Walk(mask, 0, numTo, 0, numFrom, [&](int f, int t, char flag) {
    v->trainable = (flag & FMaskTrainable) != 0;
    v->toNeuron = t;
    v->fromNeuron = f;
    v->weight = &index_weights[t][f];
    v->Process();
  });
}

void TPrunedConnections::Iterate2(TIterateObj2* v, TBasicNetwork* second, int mask) {
  v->Prepare(network, second, fromLayer, toLayer);
  v->conn1 = this;
  TPrunedConnections* b2 = detail::Twin(v->conn2, *this);
  Walk(mask, 0, numTo, 0, numFrom, [&](int f, int t, char flag) {
    v->trainable = (flag & FMaskTrainable) != 0;
    v->toNeuron = t;
    v->fromNeuron = f;
    v->weight1 = &index_weights[t][f];
    v->weight2 = &b2->index_weights[t][f];
    v->Process();
  });
}

void TPrunedConnections::Iterate3(TIterateObj3* v, TBasicNetwork* second, TBasicNetwork* third,
                                  int mask) {
  v->Prepare(network, second, third, fromLayer, toLayer);
  v->conn1 = this;
  TPrunedConnections* b2 = detail::Twin(v->conn2, *this);
  TPrunedConnections* b3 = detail::Twin(v->conn3, *this);
  Walk(mask, 0, numTo, 0, numFrom, [&](int f, int t, char flag) {
    v->trainable = (flag & FMaskTrainable) != 0;
    v->toNeuron = t;
    v->fromNeuron = f;
    v->weight1 = &index_weights[t][f];
    v->weight2 = &b2->index_weights[t][f];
    v->weight3 = &b3->index_weights[t][f];
    v->Process();
  });
}

const char* TPrunedConnections::GetConnectionsNType() const {
  return "Pruneable";
}

void TPrunedConnections::Destroy() {
  delete this;
}

TBasicConnections* TPrunedConnections::Clone(TBasicNetwork* owner) const {
  TPrunedConnections* x = new TPrunedConnections(CloneTag{}, owner, *this);
  KOH_ASSERT(x != nullptr, "x!=nil");
  KOH_ASSERT(static_cast<int>(x->index_weights.size()) == numTo, "x -> index_weights != nil");
  KOH_ASSERT(static_cast<int>(x->index_masks.size()) == numTo, "x -> index_masks != nil");
  KOH_ASSERT(x->array_weights.size() == array_weights.size(), "x -> array_weights != nil");
  KOH_ASSERT(x->array_masks.size() == array_masks.size(), "x -> array_masks != nil");
  return x;
}

void TPrunedConnections::Resize(int pos, int delta, bool fromSide, double low, double high,
                                bool attached) {
  using detail::Edit;
  using detail::Plan;
  const Plan plan = detail::PlanReshape(*this, numFrom, numTo, fromSide, pos, delta);
  if (plan == Plan::kNothing) return;
  const Edit none;
  const Edit edit{pos, delta};
  const Edit rows = plan == Plan::kColumns ? none : edit;
  const Edit cols = plan == Plan::kRows ? none : edit;
  const int newFrom = numFrom + (plan == Plan::kRows ? 0 : delta);
  const int newTo = numTo + (plan == Plan::kColumns ? 0 : delta);
  // Weights and flags move together; allocate both before changing either.
  std::vector<char> masks = array_masks;
  std::vector<char*> maskRows;
  detail::Reshape(masks, maskRows, numFrom, newTo, newFrom, rows, cols, static_cast<char>(0));
  detail::Reshape(array_weights, index_weights, numFrom, newTo, newFrom, rows, cols, 0.0);
  array_masks.swap(masks);
  index_masks.swap(maskRows);
  numFrom = newFrom;
  numTo = newTo;
  if (delta < 0 || !attached) return;
  // The new arcs exist and are trainable, with one draw each: out of the new
  // from-neuron first (to-neurons ascending), then into the new to-neuron.
  auto attach = [&](int f, int t) {
    index_weights[t][f] = RandomWeight(low, high);
    index_masks[t][f] = FMaskAll;
  };
  if (plan != Plan::kRows)
    for (int t = 0; t < numTo; ++t) attach(pos, t);
  if (plan != Plan::kColumns)
    for (int f = 0; f < numFrom; ++f)
      if (plan != Plan::kBoth || f != pos) attach(f, pos);
}

void TPrunedConnections::RemoveFromNeuron(int pos) {
  Resize(pos, -1, true, 0.0, 0.0, false);
}

void TPrunedConnections::RemoveToNeuron(int pos) {
  Resize(pos, -1, false, 0.0, 0.0, false);
}

void TPrunedConnections::InsertFromNeuron(int pos, double low, double high, bool attached) {
  Resize(pos, +1, true, low, high, attached);
}

void TPrunedConnections::InsertToNeuron(int pos, double low, double high, bool attached) {
  Resize(pos, +1, false, low, high, attached);
}

}  // namespace kohport
