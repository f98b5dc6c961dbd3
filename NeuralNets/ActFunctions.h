// Activation functions and the per-network registry that names them.
//
// An activation function turns a neuron's net input into its output and
// stores it through the neuron's `output` pointer. Each network owns one
// TFnRegistry, filled with the ten standard functions by RegisterStandard;
// the network file reader and writer translate names through it.
#ifndef KOHPORT_NEURALNETS_ACTFUNCTIONS_H
#define KOHPORT_NEURALNETS_ACTFUNCTIONS_H

#include <memory>
#include <string>

namespace kohport {

class TBasicNeuron;

using TActFunction = void (*)(TBasicNeuron* neuron, double net);

// The ten standard functions. ActError and ActNull refuse to be called
// (assertion "false"). The three gain functions require a neuron that has a
// gain (a TGainNeuron); given any other neuron they refuse with the assertion
// "neuron->AsGainNeuron() != NULL" instead of reading memory that is not there.
void ActError(TBasicNeuron* neuron, double net);
void ActNull(TBasicNeuron* neuron, double net);
void ActBias(TBasicNeuron* neuron, double net);
void ActLinear(TBasicNeuron* neuron, double net);
void ActSatLinear(TBasicNeuron* neuron, double net);
void ActSigmoid(TBasicNeuron* neuron, double net);
void ActTanh(TBasicNeuron* neuron, double net);
void ActLinearGain(TBasicNeuron* neuron, double net);
void ActSigmoidGain(TBasicNeuron* neuron, double net);
void ActTanhGain(TBasicNeuron* neuron, double net);

// True for the functions that read the neuron's gain. Readers use it to
// refuse a gain function for neurons without a gain before evaluation.
bool IsGainFunction(TActFunction fn) noexcept;

struct TFnRegistryEntry {
  std::string name;           // the registry's own copy
  TActFunction fn = nullptr;  // may be none (only through FindOrAdd)
};

// Names <-> functions. Names are unique under the library's strcasecmp.
// Lookups scan from the newest entry to the oldest. `entries` holds
// `capacity` slots of which the first `count` are used; the capacity starts
// at 16 and doubles when full.
class TFnRegistry {
 public:
  TFnRegistry();
  TFnRegistry(const TFnRegistry&) = delete;
  TFnRegistry& operator=(const TFnRegistry&) = delete;
  virtual ~TFnRegistry();

  // Registers the ten standard functions in the order "error", "null",
  // "bias", "linear", "saturated-linear", "sigmoid", "tanh", "linear-gain",
  // "sigmoid-gain", "tanh-gain".
  virtual void RegisterStandard();

  // Adds the pair; `name` is copied. A name already present (any letter
  // case) is a caller error: assertion "strcasecmp(p,pp->name)!=0".
  void Register(TActFunction fn, const char* name);

  // The function registered under `name` (any letter case). An unknown name
  // is a caller error (assertion "false"); use FindEntry to ask without it.
  TActFunction GetFunction(const char* name) const;

  // The registry's own name of `fn`; an unregistered function is a caller
  // error (assertion "false").
  const char* GetFunctionName(TActFunction fn) const;

  // The entry of `name` (any letter case), or null when there is none.
  // Never asserts: this is the lookup for names that come from input.
  const TFnRegistryEntry* FindEntry(const char* name) const noexcept;

  // The `fn` slot of the entry of `name`, appended (with no function) when
  // absent. The reference is valid until the registry grows.
  TActFunction& FindOrAdd(const char* name);

  int GetCapacity() const noexcept { return capacity; }
  int GetCount() const noexcept { return count; }
  const TFnRegistryEntry& GetEntry(int i) const noexcept { return entries[i]; }

 private:
  TFnRegistryEntry* FindByName(const char* name) const noexcept;
  TFnRegistryEntry& Append(const char* name, TActFunction fn);

  std::unique_ptr<TFnRegistryEntry[]> entries;
  int capacity;
  int count;
};

}  // namespace kohport

#endif
