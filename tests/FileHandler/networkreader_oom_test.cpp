// Running out of memory anywhere while a network is read ends the read with
// FileTools::Error "Out of memory" and leaves nothing behind. This binary
// replaces the global operator new so that one chosen allocation fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "TestUtil.h"

namespace {

// Allocations still to succeed before one fails; negative: none fails.
long allocationsLeft = -1;

}  // namespace

void* operator new(std::size_t size) {
  if (allocationsLeft == 0) {
    allocationsLeft = -1;
    throw std::bad_alloc();
  }
  if (allocationsLeft > 0) --allocationsLeft;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kohport {
namespace {

const char* const kRichFile =
    "[NeuralNetwork][NetworkType = Connected]\n"
    "[NetworkInformation][NumberOfLayers = 3][InputLayer = 0][BiasLayer = 2][~NetworkInformation]\n"
    "[Layer = 0][LayerType = Input][NumberOfNeurons = 2][All ActivationFunction=linear][~Layer]\n"
    "[Layer = 1][LayerType = Gain][NumberOfNeurons = 3][All Gain=2][Neurons]\n"
    "[Neuron=0 ActivationFunction=tanh-gain Gain=3][Neuron=1 ActivationFunction=sigmoid-gain]\n"
    "[Neuron=2 ActivationFunction=linear-gain][~Neurons][~Layer]\n"
    "[Layer = 2][LayerType = Simple][NumberOfNeurons = 1][All ActivationFunction=bias][~Layer]\n"
    "[ConnectionLayer][LayerFrom = 0][LayerTo = 1][ConnectionType = Pruneable]\n"
    "[Attributes Pruneable Freezable][Matrix Weights TrainableInfo]\n"
    "1 T - - 3 F\n4 T 5 T 6 T\n[~Matrix][~ConnectionLayer]\n"
    "[ConnectionLayer][LayerFrom = 2][LayerTo = 1][ConnectionType = FullyConnected]\n"
    "[WeightList][From=0 To=2 Weight=0.5][~WeightList][~ConnectionLayer]\n"
    "[~NeuralNetwork]\n";

// Fails allocation 0, 1, 2, ... of one read of `text` in turn until a read
// gets through; every failed read must be the out-of-memory refusal.
void ExpectEveryAllocationFailureRefused(const std::string& text) {
  FileTools tools;
  for (long k = 0;; ++k) {
    std::istringstream in(text);
    std::string message;
    std::istream* input = nullptr;
    bool read = false;
    allocationsLeft = k;
    try {
      read = tools.ReadNetwork(in) != nullptr;
    } catch (const FileTools::Error& e) {
      allocationsLeft = -1;
      message = e.message;
      input = e.input;
    }
    allocationsLeft = -1;
    if (read) {
      EXPECT_GT(k, 10);
      return;
    }
    ASSERT_EQ(message, "Out of memory") << "allocation " << k;
    ASSERT_EQ(input, &in);
  }
}

TEST(NetworkReaderMemoryTest, EveryFailedAllocationIsRefused) {
  ExpectEveryAllocationFailureRefused(
      test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net"));
  ExpectEveryAllocationFailureRefused(kRichFile);
}

TEST(NetworkReaderMemoryTest, LoadNetworkRefusesAFailedAllocationWithoutStream) {
  const std::string path = std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net";
  FileTools tools;
  for (long k = 0;; ++k) {
    allocationsLeft = k;
    try {
      const bool read = tools.LoadNetwork(path.c_str()) != nullptr;
      allocationsLeft = -1;
      EXPECT_TRUE(read);
      return;
    } catch (const FileTools::Error& e) {
      allocationsLeft = -1;
      ASSERT_EQ(e.message, "Out of memory") << "allocation " << k;
      ASSERT_EQ(e.input, nullptr);
    }
  }
}

}  // namespace
}  // namespace kohport
