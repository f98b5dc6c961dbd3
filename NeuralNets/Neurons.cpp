#include "NeuralNets/Neurons.h"

#include "common/Assert.h"

namespace kohport {

const char* TBasicNeuron::GetParameterName(int) const {
  KOH_REFUSE();
}

const char* TGainNeuron::GetParameterName(int i) const {
  KOH_ASSERT(i == 0, "i==0");
  return "Gain";
}

}  // namespace kohport
