// Neurons: the elements of a layer's contiguous neuron array.
//
// A neuron owns nothing. Its layer sets `layerNum`, `index`, `output` (the
// neuron's slot in the layer's `values`) and `layer` when it builds the
// array, and keeps them right whenever it rebuilds it.
#ifndef KOHPORT_NEURALNETS_NEURONS_H
#define KOHPORT_NEURALNETS_NEURONS_H

#include "NeuralNets/ActFunctions.h"

namespace kohport {

class TBasicLayer;
class TGainNeuron;

class TBasicNeuron {
 public:
  TBasicNeuron() = default;
  TBasicNeuron(const TBasicNeuron&) = default;
  TBasicNeuron& operator=(const TBasicNeuron&) = default;
  virtual ~TBasicNeuron() = default;

  // Calls actFn(this, net), which stores the output through `output`.
  virtual void Activate(double net) { actFn(this, net); }
  // The doubles exchanged by Get/SetParameters (a plain neuron has none).
  virtual int GetNumParameters() const { return 0; }
  virtual void GetParameters(double* /*dst*/) const {}
  virtual void SetParameters(const double* /*src*/) {}
  // A plain neuron has no parameter to name: assertion "false".
  virtual const char* GetParameterName(int i) const;
  // Hook called on a neuron just filled from `from` when a layer rebuilds
  // its array; no neuron of the library has state to copy.
  virtual void CopyState(const TBasicNeuron* /*from*/) {}
  // This neuron as a gain neuron, or null: how the gain functions make sure
  // a gain is there before they read it.
  virtual TGainNeuron* AsGainNeuron() noexcept { return nullptr; }

  // Sets this neuron's function; its layer no longer claims a common one.
  void SetActFunction(TActFunction fn);
  TActFunction GetActFunction() const noexcept { return actFn; }

  int layerNum = 0;
  int index = 0;
  double* output = nullptr;
  TBasicLayer* layer = nullptr;
  TActFunction actFn = ActError;
};

class TGainNeuron : public TBasicNeuron {
 public:
  int GetNumParameters() const override { return 1; }
  void GetParameters(double* dst) const override { dst[0] = gain; }
  void SetParameters(const double* src) override { gain = src[0]; }
  // i must be 0 (assertion "i==0"); the one parameter is "Gain".
  const char* GetParameterName(int i) const override;
  TGainNeuron* AsGainNeuron() noexcept override { return this; }

  double gain = 1.0;
};

}  // namespace kohport

#endif
