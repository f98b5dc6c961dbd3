// Uses the installed library as another project would.
#include <cstdio>

#include "NeuralNets/ActFunctions.h"
#include "common/StrCase.h"

int main() {
  kohport::TFnRegistry registry;
  registry.RegisterStandard();
  const bool ok = registry.GetFunction("SIGMOID") == kohport::ActSigmoid &&
                  kohport::strcasecmp("Kohonen", "KOHONEN") == 0;
  std::puts(ok ? "downstream ok" : "downstream FAILED");
  return ok ? 0 : 1;
}
