// Whatever the network reader accepts (under lowered limits), the writer
// writes; the reader must accept that file too, and the writer must write
// the network read from it to the same bytes. The only refusal the writer
// may make is a bias layer of more than one neuron, which the reader takes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"

namespace {

using namespace kohport;

void Require(bool condition) {
  if (!condition) std::abort();
}

ReaderLimits FuzzLimits() {
  ReaderLimits limits;
  limits.maxLayers = 16;
  limits.maxLayerNeurons = 256;
  limits.maxNeurons = 1024;
  limits.maxArcs = 4096;
  limits.maxDimensions = 16;
  return limits;
}

// The file the writer makes of `net`, or nothing when it refuses the bias layer.
bool Write(FileTools& tools, TBasicNetwork& net, std::string& file) {
  std::ostringstream out;
  try {
    tools.WriteNetwork(out, &net);
  } catch (const FileTools::Error& e) {
    Require(e.message == "Illegal number of bias nodes" && e.output == &out && e.input == nullptr);
    return false;
  }
  Require(out.good());
  file = out.str();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ReaderLimits limits = FuzzLimits();
  FileTools tools;
  std::unique_ptr<TBasicNetwork> net;
  {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
      net = tools.ReadNetwork(in, nullptr, limits);
    } catch (const FileTools::Error&) {
      return 0;
    }
  }
  std::string first;
  if (!Write(tools, *net, first)) return 0;

  std::unique_ptr<TBasicNetwork> back;
  {
    std::istringstream in(first);
    try {
      back = tools.ReadNetwork(in, nullptr, limits);
    } catch (const FileTools::Error&) {
      Require(false);  // a file the writer wrote must be read back
    }
  }
  Require(std::strcmp(back->GetNetworkType(), net->GetNetworkType()) == 0);
  std::string second;
  Require(Write(tools, *back, second));
  Require(second == first);
  return 0;
}
