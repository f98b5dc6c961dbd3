#include "NeuralNets/ActFunctions.h"

#include <cmath>

#include "NeuralNets/Neurons.h"
#include "common/Assert.h"
#include "common/StrCase.h"

namespace kohport {

void ActError(TBasicNeuron*, double) {
  KOH_REFUSE();
}
void ActNull(TBasicNeuron*, double) {
  KOH_REFUSE();
}

void ActBias(TBasicNeuron* neuron, double) {
  *neuron->output = 1.0;
}

void ActLinear(TBasicNeuron* neuron, double net) {
  *neuron->output = net;
}

void ActSatLinear(TBasicNeuron* neuron, double net) {
  double out = 0.0;  // net <= 0 and a net that is not a number
  if (net >= 1.0) {
    out = 1.0;
  } else if (0.0 < net) {
    out = net;
  }
  *neuron->output = out;
}

void ActSigmoid(TBasicNeuron* neuron, double net) {
  if (net < -500.0) {
    *neuron->output = 1e-300;
    return;
  }
  const double e = std::exp(-net);
  *neuron->output = 1.0 / (e + 1.0);
}

void ActTanh(TBasicNeuron* neuron, double net) {
  *neuron->output = std::tanh(net);
}

namespace {
inline double GainOf(TBasicNeuron* neuron) {
  const TGainNeuron* g = neuron->AsGainNeuron();
  KOH_ASSERT(g != nullptr, "neuron->AsGainNeuron() != NULL");
  return g->gain;
}
}  // namespace

void ActLinearGain(TBasicNeuron* neuron, double net) {
  *neuron->output = GainOf(neuron) * net;
}

void ActSigmoidGain(TBasicNeuron* neuron, double net) {
  const double e = std::exp(-GainOf(neuron) * net);
  *neuron->output = 1.0 / (1.0 + e);
}

void ActTanhGain(TBasicNeuron* neuron, double net) {
  *neuron->output = std::tanh(GainOf(neuron) * net);
}

bool IsGainFunction(TActFunction fn) noexcept {
  return fn == ActLinearGain || fn == ActSigmoidGain || fn == ActTanhGain;
}

TFnRegistry::TFnRegistry()
    : entries(std::make_unique<TFnRegistryEntry[]>(16)), capacity(16), count(0) {}

TFnRegistry::~TFnRegistry() = default;

void TFnRegistry::RegisterStandard() {
  Register(ActError, "error");
  Register(ActNull, "null");
  Register(ActBias, "bias");
  Register(ActLinear, "linear");
  Register(ActSatLinear, "saturated-linear");
  Register(ActSigmoid, "sigmoid");
  Register(ActTanh, "tanh");
  Register(ActLinearGain, "linear-gain");
  Register(ActSigmoidGain, "sigmoid-gain");
  Register(ActTanhGain, "tanh-gain");
}

TFnRegistryEntry* TFnRegistry::FindByName(const char* name) const noexcept {
  for (int i = count - 1; i >= 0; --i) {
    if (strcasecmp(name, entries[i].name.c_str()) == 0) return &entries[i];
  }
  return nullptr;
}

TFnRegistryEntry& TFnRegistry::Append(const char* name, TActFunction fn) {
  if (count == capacity) {
    auto grown = std::make_unique<TFnRegistryEntry[]>(2 * static_cast<std::size_t>(capacity));
    for (int i = 0; i < capacity; ++i) grown[i] = std::move(entries[i]);
    entries = std::move(grown);
    capacity *= 2;
  }
  TFnRegistryEntry& e = entries[count++];
  e.name = name;
  e.fn = fn;
  return e;
}

void TFnRegistry::Register(TActFunction fn, const char* name) {
  KOH_ASSERT(FindByName(name) == nullptr, "strcasecmp(p,pp->name)!=0");
  Append(name, fn);
}

TActFunction TFnRegistry::GetFunction(const char* name) const {
  const TFnRegistryEntry* e = FindByName(name);
  if (e == nullptr) KOH_REFUSE();
  return e->fn;
}

const char* TFnRegistry::GetFunctionName(TActFunction fn) const {
  for (int i = count - 1; i >= 0; --i) {
    if (entries[i].fn == fn) return entries[i].name.c_str();
  }
  KOH_REFUSE();
}

const TFnRegistryEntry* TFnRegistry::FindEntry(const char* name) const noexcept {
  return FindByName(name);
}

TActFunction& TFnRegistry::FindOrAdd(const char* name) {
  if (TFnRegistryEntry* e = FindByName(name)) return e->fn;
  return Append(name, nullptr).fn;
}

}  // namespace kohport
