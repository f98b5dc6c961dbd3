#include "NeuralNets/TConnectedConnections.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "NeuralNets/BlockStorage.h"
#include "common/Assert.h"

namespace kohport {

namespace {

// Whether [a, a+na) and [b, b+nb) share memory.
bool Overlap(const double* a, int na, const double* b, int nb) {
  const auto pa = reinterpret_cast<std::uintptr_t>(a);
  const auto pb = reinterpret_cast<std::uintptr_t>(b);
  return pa < pb + sizeof(double) * static_cast<std::size_t>(nb) &&
         pb < pa + sizeof(double) * static_cast<std::size_t>(na);
}

}  // namespace

TConnectedConnections::TConnectedConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer) {
  const int nf = FromCount();
  const int nt = ToCount();
  KOH_ASSERT(SizeFits(nf, nt), "SizeFits(|from|, |to|)");
  array_weights.assign(static_cast<std::size_t>(nf) * static_cast<std::size_t>(nt), 0.0);
  detail::SetRows(array_weights, index_weights, nt, nf);
  KOH_ASSERT(static_cast<int>(index_weights.size()) == nt, "index_weights != nil");
  KOH_ASSERT(array_weights.size() == static_cast<std::size_t>(nf) * nt, "array_weights != nil");
  numFrom = nf;
  numTo = nt;
}

TConnectedConnections::TConnectedConnections(CloneTag, TBasicNetwork* owner,
                                             const TConnectedConnections& source)
    : TBasicConnections(owner, source.fromLayer, source.toLayer),
      array_weights(source.array_weights),
      numFrom(source.numFrom),
      numTo(source.numTo) {
  detail::SetRows(array_weights, index_weights, numTo, numFrom);
}

int TConnectedConnections::GetNumWeights(int) {
  return numFrom * numTo;
}

int TConnectedConnections::GetWeights(double* dst, int) {
  for (int f = 0; f < numFrom; ++f)
    for (int t = 0; t < numTo; ++t) *dst++ = index_weights[t][f];
  return numFrom * numTo;
}

int TConnectedConnections::SetWeights(const double* src, int) {
  for (int f = 0; f < numFrom; ++f)
    for (int t = 0; t < numTo; ++t) index_weights[t][f] = *src++;
  return numFrom * numTo;
}

void TConnectedConnections::RandomizeWeights(double low, double high) {
  if (low == high) {
    std::fill(array_weights.begin(), array_weights.end(), low);
    return;
  }
  for (double& w : array_weights) w = RandomWeight(low, high);
}

// Each to-neuron's sum starts at 0.0 and adds w * v for the from-neurons in
// ascending order, rounding each step; the finished sum is added to the net
// input once. Four rows are summed side by side (four independent sums, each
// in that order), which keeps every result bit-identical to one row at a time.
void TConnectedConnections::Aggregate(double* netInput) {
  KOH_ASSERT(numFrom == FromCount() && numTo == ToCount(), "block shape matches its layers");
  const double* values = network->layers[fromLayer]->values.data();
  const int nf = numFrom;
  int t = 0;
  // When the net inputs are the from layer's own values, a later row must see
  // the earlier rows' additions: take the rows one at a time.
  if (!Overlap(netInput, numTo, values, nf)) {
    for (; t + 4 <= numTo; t += 4) {
      const double* w0 = index_weights[t];
      const double* w1 = index_weights[t + 1];
      const double* w2 = index_weights[t + 2];
      const double* w3 = index_weights[t + 3];
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (int f = 0; f < nf; ++f) {
        const double v = values[f];
        s0 = w0[f] * v + s0;
        s1 = w1[f] * v + s1;
        s2 = w2[f] * v + s2;
        s3 = w3[f] * v + s3;
      }
      netInput[t] += s0;
      netInput[t + 1] += s1;
      netInput[t + 2] += s2;
      netInput[t + 3] += s3;
    }
  }
  for (; t < numTo; ++t) {
    const double* w = index_weights[t];
    double sum = 0.0;
    for (int f = 0; f < nf; ++f) sum = w[f] * values[f] + sum;
    netInput[t] += sum;
  }
}

bool TConnectedConnections::IsValid(int, int) const {
  return true;
}

void TConnectedConnections::Unprune(int, int) {}
void TConnectedConnections::SetTrainable(int, int) {}

void TConnectedConnections::IterateIn(TIterateObj* v, int to, int) {
  Prepare(v);
  v->trainable = true;
  v->toNeuron = to;
  for (int f = 0; f < numFrom; ++f) {
    v->fromNeuron = f;
    v->weight = &index_weights[to][f];
    v->Process();
  }
}

void TConnectedConnections::IterateOut(TIterateObj* v, int from, int) {
  Prepare(v);
  v->trainable = true;
  v->fromNeuron = from;
  for (int t = 0; t < numTo; ++t) {
    v->toNeuron = t;
    v->weight = &index_weights[t][from];
    v->Process();
  }
}

void TConnectedConnections::Iterate(TIterateObj* v, int) {
  Prepare(v);
  v->trainable = true;
  for (int t = 0; t < numTo; ++t) {
    for (int f = 0; f < numFrom; ++f) {
      v->toNeuron = t;
      v->fromNeuron = f;
      v->weight = &index_weights[t][f];
      v->Process();
    }
  }
}

void TConnectedConnections::Iterate2(TIterateObj2* v, TBasicNetwork* second, int) {
  v->Prepare(network, second, fromLayer, toLayer);
  v->conn1 = this;
  TConnectedConnections* b2 = detail::Twin(v->conn2, *this);
  v->trainable = true;
  for (int t = 0; t < numTo; ++t) {
    for (int f = 0; f < numFrom; ++f) {
      v->toNeuron = t;
      v->fromNeuron = f;
      v->weight1 = &index_weights[t][f];
      v->weight2 = &b2->index_weights[t][f];
      v->Process();
    }
  }
}

void TConnectedConnections::Iterate3(TIterateObj3* v, TBasicNetwork* second, TBasicNetwork* third,
                                     int) {
  v->Prepare(network, second, third, fromLayer, toLayer);
  v->conn1 = this;
  TConnectedConnections* b2 = detail::Twin(v->conn2, *this);
  TConnectedConnections* b3 = detail::Twin(v->conn3, *this);
  v->trainable = true;
  for (int t = 0; t < numTo; ++t) {
    for (int f = 0; f < numFrom; ++f) {
      v->toNeuron = t;
      v->fromNeuron = f;
      v->weight1 = &index_weights[t][f];
      v->weight2 = &b2->index_weights[t][f];
      v->weight3 = &b3->index_weights[t][f];
      v->Process();
    }
  }
}

const char* TConnectedConnections::GetConnectionsNType() const {
  return "FullyConnected";
}

void TConnectedConnections::Destroy() {
  delete this;
}

TBasicConnections* TConnectedConnections::Clone(TBasicNetwork* owner) const {
  TConnectedConnections* x = new TConnectedConnections(CloneTag{}, owner, *this);
  KOH_ASSERT(x != nullptr, "x!=nil");
  KOH_ASSERT(static_cast<int>(x->index_weights.size()) == numTo, "x -> index_weights != nil");
  KOH_ASSERT(x->array_weights.size() == array_weights.size(), "x -> array_weights != nil");
  return x;
}

void TConnectedConnections::Resize(int pos, int delta, bool fromSide, double low, double high) {
  using detail::Edit;
  using detail::Plan;
  const Plan plan = detail::PlanReshape(*this, numFrom, numTo, fromSide, pos, delta);
  const Edit none;
  const Edit edit{pos, delta};
  switch (plan) {
    case Plan::kNothing:
      return;
    case Plan::kColumns:
      detail::Reshape(array_weights, index_weights, numFrom, numTo, numFrom + delta, none, edit,
                      0.0);
      numFrom += delta;
      break;
    case Plan::kRows:
      detail::Reshape(array_weights, index_weights, numFrom, numTo + delta, numFrom, edit, none,
                      0.0);
      numTo += delta;
      break;
    case Plan::kBoth:
      detail::Reshape(array_weights, index_weights, numFrom, numTo + delta, numFrom + delta, edit,
                      edit, 0.0);
      numFrom += delta;
      numTo += delta;
      break;
  }
  if (delta < 0) return;
  // New arcs out of the new from-neuron (to-neurons ascending), then into the
  // new to-neuron (from-neurons ascending); one draw each.
  if (plan != Plan::kRows)
    for (int t = 0; t < numTo; ++t) index_weights[t][pos] = RandomWeight(low, high);
  if (plan != Plan::kColumns)
    for (int f = 0; f < numFrom; ++f)
      if (plan != Plan::kBoth || f != pos) index_weights[pos][f] = RandomWeight(low, high);
}

void TConnectedConnections::RemoveFromNeuron(int pos) {
  Resize(pos, -1, true, 0.0, 0.0);
}

void TConnectedConnections::RemoveToNeuron(int pos) {
  Resize(pos, -1, false, 0.0, 0.0);
}

void TConnectedConnections::InsertFromNeuron(int pos, double low, double high, bool attached) {
  KOH_ASSERT(attached, "attached");
  Resize(pos, +1, true, low, high);
}

void TConnectedConnections::InsertToNeuron(int pos, double low, double high, bool attached) {
  KOH_ASSERT(attached, "attached");
  Resize(pos, +1, false, low, high);
}

}  // namespace kohport
