// The network writer: the canonical layout of every network type, layer kind
// and block kind, and SaveNetwork's file handling.
#include "FileHandler/NetworkWriter.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <functional>
#include <locale>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "KQmessage/KQML.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

std::string Golden(const std::string& name) {
  return test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/" + name);
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Written(TBasicNetwork& net) {
  std::ostringstream out;
  FileTools tools;
  tools.WriteNetwork(out, &net);
  return out.str();
}

// The lines of `text` from the first line that starts with `first` through
// the next line that equals `last`, line ends included; "" when absent.
std::string Section(const std::string& text, const std::string& first, const std::string& last) {
  const std::size_t begin = text.find("\n" + first);
  if (begin == std::string::npos) return "";
  const std::size_t end = text.find("\n" + last + "\n", begin + 1);
  if (end == std::string::npos) return "";
  return text.substr(begin + 1, end + last.size() + 1 - begin);
}

// The worked example: two inputs, a 2 x 1 map.
std::unique_ptr<TKohonenNetwork> WorkedExampleMap() {
  const int sizes[] = {2, 1};
  auto map = std::make_unique<TKohonenNetwork>(2, 2, sizes);
  TBasicConnections* block = map->priv_conns_index[2][1].get();
  *block->GetWeightPtr(0, 0) = 0.25;
  *block->GetWeightPtr(0, 1) = -0.5;
  *block->GetWeightPtr(1, 0) = 0.75;
  *block->GetWeightPtr(1, 1) = 1.0;
  return map;
}

// A basic network of layers with the given sizes: a TSimpleInputLayer at
// layer 1, TSimpleLayers elsewhere, all "linear"; nothing connected.
std::unique_ptr<TBasicNetwork> MakeNetwork(const std::vector<int>& sizes) {
  auto net = std::make_unique<TBasicNetwork>(static_cast<int>(sizes.size()));
  for (int i = 0; i < static_cast<int>(sizes.size()); ++i) {
    if (i == 1)
      net->layers[i].reset(new TSimpleInputLayer(net.get(), i, sizes[i]));
    else
      net->layers[i].reset(new TSimpleLayer(net.get(), i, sizes[i]));
    net->layers[i]->SetActFunction(ActLinear);
  }
  return net;
}

// Layer 0 of one neuron, layer 1 of `numTo`; a pruneable block from 0 to 1
// whose arcs to 0 and 2 are 0.125 (trainable) and -2.5 (untrainable), the
// others absent.
std::unique_ptr<TBasicNetwork> PruneableExample(int numTo) {
  auto net = MakeNetwork({1, numTo});
  net->Connect(0, 1);
  TBasicConnections* block = net->priv_conns_index[1][0].get();
  for (int t = 0; t < numTo; ++t) block->Prune(0, t);
  block->Unprune(0, 0);
  block->Unprune(0, 2);
  *block->GetWeightPtr(0, 0) = 0.125;
  *block->GetWeightPtr(0, 2) = -2.5;
  block->SetTrainable(0, 0);
  block->SetUntrainable(0, 2);
  return net;
}

TEST(NetworkWriterTest, WorkedExampleIsWrittenByteForByte) {
  auto map = WorkedExampleMap();
  EXPECT_EQ(Written(*map), Golden("worked_example.net"));
}

TEST(NetworkWriterTest, PruneableExamplesAreWrittenByteForByte) {
  // 2 of 3 possible arcs: a matrix with trainable flags.
  auto dense = PruneableExample(3);
  const std::string matrix = Written(*dense);
  EXPECT_EQ(Section(matrix, "[Matrix", "[~Matrix]"), Golden("pruneable_matrix.net"));
  EXPECT_NE(matrix.find("[ConnectionType = Pruneable]\n[Attributes Pruneable Freezable ]\n"),
            std::string::npos);

  // 2 of 6: a weight list.
  auto sparse = PruneableExample(6);
  const std::string list = Written(*sparse);
  EXPECT_EQ(Section(list, "[WeightList]", "[~WeightList]"), Golden("pruneable_weightlist.net"));
  EXPECT_EQ(list.find("[Matrix"), std::string::npos);
}

TEST(NetworkWriterTest, NetworkTypesAndTheirHeaders) {
  auto basic = MakeNetwork({0, 2, 3});
  const std::string b = Written(*basic);
  EXPECT_EQ(b.substr(0, b.find("[Layer = 0]")),
            "[FormatVersion = 1.0]\n\n[NeuralNetwork]\n[NetworkType = Basic]\n\n"
            "[NetworkInformation]\n[NumberOfLayers = 3]\n[InputLayer = 1]\n[OutputLayer = 2]\n"
            "[NumberOfInputs = 2]\n[NumberOfOutputs = 3]\n[~NetworkInformation]\n\n");
  EXPECT_TRUE(EndsWith(b, "[~Layer]\n\n[~NeuralNetwork]\n"));

  const int sizes[] = {0, 4, 1};
  TConnectedNetwork connected(3, sizes);
  connected.inLayer = 1;
  connected.outLayer = 1;
  const std::string c = Written(connected);
  EXPECT_NE(c.find("[NetworkType = Connected]\n"), std::string::npos);
  EXPECT_NE(c.find("[NumberOfInputs = 4]\n[NumberOfOutputs = 4]\n"), std::string::npos);
  EXPECT_EQ(c.find("[Dimensions"), std::string::npos);

  const int grid[] = {3, 4, 5};
  TKohonenNetwork map(1, 3, grid);
  EXPECT_NE(Written(map).find("[~NetworkInformation]\n\n[Dimensions = 3]\n[Dimension=0 Size=3 ]\n"
                              "[Dimension=1 Size=4 ]\n[Dimension=2 Size=5 ]\n[~Dimensions]\n\n"
                              "[Layer = 0]\n"),
            std::string::npos);
}

TEST(NetworkWriterTest, LayerBlocks) {
  struct Case {
    const char* what;
    std::function<void(TBasicNetwork&)> build;  // replaces layer 2
    std::string expected;                       // the Layer 2 block
  };
  const auto simple = [](int n) {
    return [n](TBasicNetwork& net) { net.layers[2].reset(new TSimpleLayer(&net, 2, n)); };
  };
  const std::vector<Case> cases = {
      {"no neurons, no function", simple(0),
       "[Layer = 2]\n[LayerType = Simple]\n[NumberOfNeurons = 0]\n"
       "[All ActivationFunction=null ]\n[~Layer]\n"},
      {"no neurons, a function",
       [](TBasicNetwork& net) {
         net.layers[2].reset(new TSimpleLayer(&net, 2, 0));
         net.layers[2]->SetActFunction(ActTanh);
       },
       "[Layer = 2]\n[LayerType = Simple]\n[NumberOfNeurons = 0]\n"
       "[All ActivationFunction=tanh ]\n[~Layer]\n"},
      {"gain layer, equal gains",
       [](TBasicNetwork& net) {
         net.layers[2].reset(new TGainLayer(&net, 2, 3, 0.5));
         net.layers[2]->SetActFunction(ActSigmoidGain);
       },
       "[Layer = 2]\n[LayerType = Gain]\n[NumberOfNeurons = 3]\n"
       "[All ActivationFunction=sigmoid-gain ]\n[All Gain=0.500000000000000 ]\n[~Layer]\n"},
      {"gain layer, differing gains",
       [](TBasicNetwork& net) {
         auto* layer = new TGainLayer(&net, 2, 3, 0.5);
         net.layers[2].reset(layer);
         layer->SetActFunction(ActTanhGain);
         layer->nodes[1].gain = 1234.25;
       },
       "[Layer = 2]\n[LayerType = Gain]\n[NumberOfNeurons = 3]\n"
       "[All ActivationFunction=tanh-gain ]\n[Neurons]\n"
       "[Neuron=0 Gain=0.500000000000000 ]\n[Neuron=1 Gain=1234.250000000000000 ]\n"
       "[Neuron=2 Gain=0.500000000000000 ]\n[~Neurons]\n[~Layer]\n"},
      {"mixed functions",
       [](TBasicNetwork& net) {
         net.layers[2].reset(new TSimpleLayer(&net, 2, 3));
         net.layers[2]->SetActFunction(ActSigmoid);
         net.layers[2]->GetNeuron(1)->SetActFunction(ActSatLinear);
       },
       "[Layer = 2]\n[LayerType = Simple]\n[NumberOfNeurons = 3]\n[Neurons]\n"
       "[Neuron=0 ActivationFunction=sigmoid ]\n[Neuron=1 ActivationFunction=saturated-linear ]\n"
       "[Neuron=2 ActivationFunction=sigmoid ]\n[~Neurons]\n[~Layer]\n"},
      {"mixed functions, equal gains",
       [](TBasicNetwork& net) {
         net.layers[2].reset(new TGainLayer(&net, 2, 2, -3.0));
         net.layers[2]->SetActFunction(ActLinearGain);
         net.layers[2]->GetNeuron(0)->SetActFunction(ActTanhGain);
       },
       "[Layer = 2]\n[LayerType = Gain]\n[NumberOfNeurons = 2]\n"
       "[All Gain=-3.000000000000000 ]\n[Neurons]\n"
       "[Neuron=0 ActivationFunction=tanh-gain ]\n[Neuron=1 ActivationFunction=linear-gain ]\n"
       "[~Neurons]\n[~Layer]\n"},
      {"mixed functions, differing gains",
       [](TBasicNetwork& net) {
         auto* layer = new TGainLayer(&net, 2, 2, 1.0);
         net.layers[2].reset(layer);
         layer->SetActFunction(ActLinearGain);
         layer->GetNeuron(1)->SetActFunction(ActSigmoidGain);
         layer->nodes[1].gain = 0.1;
       },
       "[Layer = 2]\n[LayerType = Gain]\n[NumberOfNeurons = 2]\n[Neurons]\n"
       "[Neuron=0 ActivationFunction=linear-gain Gain=1.000000000000000 ]\n"
       "[Neuron=1 ActivationFunction=sigmoid-gain Gain=0.100000000000000 ]\n"
       "[~Neurons]\n[~Layer]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto net = MakeNetwork({0, 1, 1});
    c.build(*net);
    EXPECT_EQ(Section(Written(*net), "[Layer = 2]", "[~Layer]"), c.expected);
  }
}

TEST(NetworkWriterTest, BiasLayers) {
  for (int n : {0, 1}) {
    SCOPED_TRACE(n);
    auto net = MakeNetwork({1, 1, n, 1});
    net->outLayer = 3;
    net->layers[2]->SetActFunction(ActBias);
    const std::string text = Written(*net);
    EXPECT_EQ(Section(text, "[NetworkInformation]", "[~NetworkInformation]"),
              std::string("[NetworkInformation]\n[NumberOfLayers = 4]\n[InputLayer = 1]\n"
                          "[OutputLayer = 3]\n[NumberOfInputs = 1]\n[NumberOfOutputs = 1]\n") +
                  (n == 1 ? "[BiasLayer = 2]\n" : "") + "[~NetworkInformation]\n");
    EXPECT_NE(text.find("[All ActivationFunction=bias ]"), std::string::npos);
  }

  auto net = MakeNetwork({1, 1, 2});
  net->layers[2]->SetActFunction(ActBias);
  std::ostringstream out;
  FileTools tools;
  try {
    tools.WriteNetwork(out, net.get());
    FAIL() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Illegal number of bias nodes");
    EXPECT_EQ(e.output, &out);
    EXPECT_EQ(e.input, nullptr);
  }
  // The lines before the check stay written.
  EXPECT_TRUE(EndsWith(out.str(), "[NumberOfOutputs = 2]\n"));
}

TEST(NetworkWriterTest, DensityDecidesBetweenWeightListAndMatrix) {
  for (int existing : {34, 35}) {
    SCOPED_TRACE(existing);
    auto net = MakeNetwork({10, 10});
    net->Connect(0, 1);
    TBasicConnections* block = net->priv_conns_index[1][0].get();
    for (int k = existing; k < 100; ++k) block->Prune(k % 10, k / 10);
    for (int k = 0; k < existing; ++k) *block->GetWeightPtr(k % 10, k / 10) = k + 0.5;
    const std::string text = Written(*net);
    if (existing == 34) {
      const std::string list = Section(text, "[WeightList]", "[~WeightList]");
      ASSERT_FALSE(list.empty());
      // Visiting order: to-neurons outside, from-neurons inside.
      EXPECT_TRUE(StartsWith(list,
                             "[WeightList]\n[From=0 To=0 Weight=0.500000000000000 Trainable ]\n"
                             "[From=1 To=0 Weight=1.500000000000000 Trainable ]\n"));
      EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 36);
    } else {
      const std::string matrix = Section(text, "[Matrix", "[~Matrix]");
      ASSERT_FALSE(matrix.empty());
      EXPECT_EQ(std::count(matrix.begin(), matrix.end(), '\n'), 13);
      // Row of from-neuron 9: its arcs to 0 .. 3 exist (k = 9, 19, 29), 39 does not.
      EXPECT_NE(matrix.find("\n                 9.5 T                 19.5 T "
                            "                29.5 T                    - - "),
                std::string::npos);
    }
  }
}

TEST(NetworkWriterTest, FullyConnectedMatrixCellsAndLabels) {
  const int sizes[] = {0, 2, 12};
  TConnectedNetwork net(3, sizes);
  net.Connect(1, 2);
  TBasicConnections* block = net.priv_conns_index[2][1].get();
  const double weights[] = {
      1.0,    0.1,  -0.25, 1e21, 123456789012345678.0, -1.23456789012345e-300, 1e-5, 2.0 / 3.0,
      100000, 1e15, 0.0,   -0.0};
  for (int t = 0; t < 12; ++t) {
    *block->GetWeightPtr(0, t) = weights[t];
    *block->GetWeightPtr(1, t) = t;
  }
  const std::string matrix = Section(Written(net), "[Matrix", "[~Matrix]");
  EXPECT_EQ(matrix,
            "[Matrix Weights ]\n"
            "/* To->            0                    1                    2                    3"
            "                    4                    5                    6                    7"
            "                    8                    9                   10                   11"
            "  From */\n"
            "                   1                  0.1                -0.25                1e+21 "
            "1.23456789012346e+17 -1.23456789012345e-300                1e-05    0.666666666666667 "
            "              100000                1e+15                    0                   -0 "
            " /* 0 */\n"
            "                   0                    1                    2                    3 "
            "                   4                    5                    6                    7 "
            "                   8                    9                   10                   11 "
            " /* 1 */\n"
            "[~Matrix]\n");
  EXPECT_NE(Written(net).find("[ConnectionType = FullyConnected]\n[Attributes UnPrunable "
                              "UnFreezable ]\n[Matrix Weights ]\n"),
            std::string::npos);
}

TEST(NetworkWriterTest, EmptyFromAndToLayers) {
  {
    SCOPED_TRACE("no from-neurons");
    const int sizes[] = {0, 2, 3};
    TConnectedNetwork net(3, sizes);
    net.Connect(0, 2);
    EXPECT_EQ(Section(Written(net), "[ConnectionLayer]", "[~ConnectionLayer]"),
              "[ConnectionLayer]\n[LayerFrom = 0]\n[LayerTo = 2]\n"
              "[ConnectionType = FullyConnected]\n[Attributes UnPrunable UnFreezable ]\n"
              "[Matrix Weights ]\n"
              "/* To->            0                    1                    2  From */\n"
              "[~Matrix]\n[~ConnectionLayer]\n");
  }
  {
    SCOPED_TRACE("no to-neurons, pruneable");
    auto net = MakeNetwork({0, 2});
    net->Connect(1, 0);
    EXPECT_EQ(Section(Written(*net), "[ConnectionLayer]", "[~ConnectionLayer]"),
              "[ConnectionLayer]\n[LayerFrom = 1]\n[LayerTo = 0]\n"
              "[ConnectionType = Pruneable]\n[Attributes Pruneable Freezable ]\n"
              "[Matrix Weights TrainableInfo ]\n/* To->  From */\n /* 0 */\n /* 1 */\n"
              "[~Matrix]\n[~ConnectionLayer]\n");
  }
}

TEST(NetworkWriterTest, BlocksInOrderOfFromLayerThenToLayer) {
  auto net = MakeNetwork({1, 1, 1});
  net->Connect(2, 0);
  net->Connect(1, 2);
  net->Connect(0, 2);
  net->Connect(1, 1);
  std::string order;
  const std::string text = Written(*net);
  for (std::size_t at = text.find("[LayerFrom = "); at != std::string::npos;
       at = text.find("[LayerFrom = ", at + 1)) {
    order += text.substr(at + 13, 1) + text.substr(text.find("[LayerTo = ", at) + 11, 1) + " ";
  }
  EXPECT_EQ(order, "02 11 12 20 ");
}

TEST(NetworkWriterTest, OutputDoesNotDependOnTheLocale) {
  // Numbers in tags, in a matrix and in a weight list.
  auto net = MakeNetwork({3, 2, 0});
  net->layers[2].reset(new TGainLayer(net.get(), 2, 2, 0.5));
  net->layers[2]->SetActFunction(ActSigmoidGain);
  net->Connect(1, 2);
  *net->priv_conns_index[2][1]->GetWeightPtr(1, 0) = -1234.0625;
  net->Connect(0, 1);
  for (int f = 0; f < 3; ++f) net->priv_conns_index[1][0]->Prune(f, 1);
  for (int f = 1; f < 3; ++f) net->priv_conns_index[1][0]->Prune(f, 0);
  *net->priv_conns_index[1][0]->GetWeightPtr(0, 0) = 0.75;
  const std::string before = Written(*net);
  ASSERT_NE(before.find("[All Gain=0.500000000000000 ]"), std::string::npos);
  ASSERT_NE(before.find("          -1234.0625 T "), std::string::npos);
  ASSERT_NE(before.find("[From=0 To=0 Weight=0.750000000000000 Trainable ]"), std::string::npos);
  std::locale german;
  try {
    german = std::locale("de_DE.UTF-8");
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  }
  // A decimal comma both for C++ streams made from now on and for the C library.
  const std::locale saved = std::locale::global(german);
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const std::string after = Written(*net);
  std::locale::global(saved);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(after, before);
}

// A layer whose type name cannot be had: the failure arises in the middle of
// the walk, after some lines are written.
template <class Failure>
class FailingLayer : public TSimpleLayer {
 public:
  using TSimpleLayer::TSimpleLayer;
  const char* GetLayerType() const override { throw Failure("no type"); }
};

struct NoMemory : std::bad_alloc {
  explicit NoMemory(const char*) {}
};

TEST(NetworkWriterTest, LackOfMemoryBecomesTheWritersError) {
  auto net = MakeNetwork({0, 1, 1});
  net->layers[2].reset(new FailingLayer<NoMemory>(net.get(), 2, 1));
  std::ostringstream out;
  FileTools tools;
  try {
    tools.WriteNetwork(out, net.get());
    FAIL() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Out of memory writing the network description");
    EXPECT_EQ(e.output, &out);
  }
}

// SaveNetwork writes through the safe sink into a scratch directory.
class SaveNetworkTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/networkwriter_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    for (const std::string& name : Entries()) ::unlink((dir + "/" + name).c_str());
    ::rmdir(dir.c_str());
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
      while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
};

TEST_F(SaveNetworkTest, WritesTheFileAndTakesTheReply) {
  auto map = WorkedExampleMap();
  const std::string path = dir + "/map.net";
  FileTools tools;
  tools.SaveNetwork(path.c_str(), map.get(), std::make_unique<TKQstructure>());
  EXPECT_EQ(test::ReadFile(path), Golden("worked_example.net"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"map.net"});
}

TEST_F(SaveNetworkTest, EveryFailureIsTheWritersErrorAndKeepsTheDestination) {
  const std::string path = dir + "/map.net";
  test::WriteFile(path, "old contents\n");
  auto bias = MakeNetwork({1, 1, 2});
  bias->layers[2]->SetActFunction(ActBias);
  auto noMemory = MakeNetwork({0, 1, 1});
  noMemory->layers[2].reset(new FailingLayer<NoMemory>(noMemory.get(), 2, 1));
  auto otherFailure = MakeNetwork({0, 1, 1});
  otherFailure->layers[2].reset(new FailingLayer<std::runtime_error>(otherFailure.get(), 2, 1));
  FileTools tools;
  for (const auto& [net, message] :
       {std::pair<TBasicNetwork*, std::string>{bias.get(), "Illegal number of bias nodes"},
        {noMemory.get(), "Out of memory writing the network description"},
        {otherFailure.get(), "Error writing file " + path + ": no type"}}) {
    SCOPED_TRACE(message);
    try {
      tools.SaveNetwork(path.c_str(), net);
      FAIL() << "no error";
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, message);
      EXPECT_EQ(e.output, nullptr);
    }
    EXPECT_EQ(test::ReadFile(path), "old contents\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"map.net"});
  }
}

TEST_F(SaveNetworkTest, UnwritableDestinationsAreRefused) {
  auto map = WorkedExampleMap();
  FileTools tools;
  const std::string missingDir = dir + "/no/such/dir/map.net";
  try {
    tools.SaveNetwork(missingDir.c_str(), map.get());
    FAIL() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Error on File Open");
  }
  if (::access("/dev/full", W_OK) == 0) {
    try {
      tools.SaveNetwork("/dev/full", map.get());
      FAIL() << "no error";
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, "Error writing file /dev/full: No space left on device");
    }
    struct stat st;
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace kohport
