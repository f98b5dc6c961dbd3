// The network reader: files read back to the networks they describe, and
// every file the format rules out is refused with its message, leaving
// nothing behind.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

// ---- Reading helpers

std::unique_ptr<TBasicNetwork> Read(const std::string& text, const ReaderLimits& limits = {}) {
  std::istringstream in(text);
  FileTools tools;
  return tools.ReadNetwork(in, nullptr, limits);
}

// The message of the refusal of `text`, or "accepted". Every refusal must
// name the stream it read and no output stream.
std::string Refusal(const std::string& text, const ReaderLimits& limits = {}) {
  std::istringstream in(text);
  FileTools tools;
  try {
    tools.ReadNetwork(in, nullptr, limits);
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.input, &in);
    EXPECT_EQ(e.output, nullptr);
    return e.message;
  }
  return "accepted";
}

std::string WorkedExample() {
  return test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net");
}

// ---- File builders. The base file is a Basic network of two layers:
// layer 0 an input layer of two neurons, layer 1 a gain layer of three.

const std::string kInputLayer =
    "[Layer = 0]\n[LayerType = Input]\n[NumberOfNeurons = 2]\n"
    "[All ActivationFunction=linear ]\n[~Layer]\n";
const std::string kGainLayer =
    "[Layer = 1]\n[LayerType = Gain]\n[NumberOfNeurons = 3]\n"
    "[All ActivationFunction=sigmoid-gain ]\n[All Gain=2 ]\n[~Layer]\n";
const std::string kTwoLayers = "[NumberOfLayers = 2]\n[InputLayer = 0]\n";

std::string Network(const std::string& type, const std::string& info, const std::string& body) {
  return "[NeuralNetwork]\n[NetworkType = " + type + "]\n[NetworkInformation]\n" + info +
         "[~NetworkInformation]\n" + body + "[~NeuralNetwork]\n";
}
std::string Basic(const std::string& body) {
  return Network("Basic", kTwoLayers, body);
}
std::string Info(const std::string& info) {
  return Network("Basic", info, kInputLayer + kGainLayer);
}
// Layer 1 with the given tags in place of the gain layer.
std::string Layer1(const std::string& tags) {
  return Basic(kInputLayer + "[Layer = 1]\n" + tags + "[~Layer]\n");
}
// One ConnectionLayer block with the given tags after both layers.
std::string Conn(const std::string& tags) {
  return Basic(kInputLayer + kGainLayer + "[ConnectionLayer]\n" + tags + "[~ConnectionLayer]\n");
}
// A block of 2 x 3 arcs from layer 0 to layer 1 with the given sections.
std::string Pruned(const std::string& sections) {
  return Conn("[LayerFrom = 0]\n[LayerTo = 1]\n[ConnectionType = Pruneable]\n" + sections);
}
std::string Full(const std::string& sections) {
  return Conn("[LayerFrom = 0]\n[LayerTo = 1]\n[ConnectionType = FullyConnected]\n" + sections);
}

const std::string kKohonenLayers =
    "[Layer = 0][LayerType = Simple][NumberOfNeurons = 0][All ActivationFunction=error][~Layer]\n"
    "[Layer = 1][LayerType = Input][NumberOfNeurons = 2][All ActivationFunction=linear][~Layer]\n"
    "[Layer = 2][LayerType = Simple][NumberOfNeurons = 2][All ActivationFunction=linear][~Layer]\n";
std::string Kohonen(const std::string& dimensions) {
  return Network("Kohonen", "[NumberOfLayers = 3]\n", dimensions + kKohonenLayers);
}

TBasicConnections& Block(TBasicNetwork& net, int from, int to) {
  return *net.priv_conns_index[to][from];
}
double Gain(TBasicNetwork& net, int layer, int neuron) {
  return net.layers[layer]->GetNeuron(neuron)->AsGainNeuron()->gain;
}

// ---- The worked example

void ExpectWorkedExampleNetwork(TBasicNetwork& net) {
  EXPECT_STREQ(net.GetNetworkType(), "Kohonen");
  auto* map = dynamic_cast<TKohonenNetwork*>(&net);
  ASSERT_NE(map, nullptr);
  ASSERT_EQ(net.numLayers, 3);
  EXPECT_EQ(net.inLayer, 1);
  EXPECT_EQ(net.outLayer, 2);
  const char* types[] = {"Simple", "Input", "Simple"};
  const int counts[] = {0, 2, 2};
  const TActFunction functions[] = {ActError, ActLinear, ActLinear};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(net.layers[i], nullptr);
    EXPECT_STREQ(net.layers[i]->GetLayerType(), types[i]);
    EXPECT_EQ(net.layers[i]->numNeurons, counts[i]);
    EXPECT_EQ(net.layers[i]->GetActFunction(), functions[i]);
  }
  ASSERT_EQ(map->GetNumDimensions(), 2);
  int sizes[2] = {};
  map->GetDimensions(sizes);
  EXPECT_EQ(sizes[0], 2);
  EXPECT_EQ(sizes[1], 1);
  for (int from = 0; from < 3; ++from) {
    for (int to = 0; to < 3; ++to) {
      EXPECT_EQ(Block(net, from, to).IsConnected(), from == 1 && to == 2) << from << "->" << to;
    }
  }
  TBasicConnections& block = Block(net, 1, 2);
  EXPECT_STREQ(block.GetConnectionsNType(), "FullyConnected");
  EXPECT_EQ(*block.GetWeightPtr(0, 0), 0.25);
  EXPECT_EQ(*block.GetWeightPtr(0, 1), -0.5);
  EXPECT_EQ(*block.GetWeightPtr(1, 0), 0.75);
  EXPECT_EQ(*block.GetWeightPtr(1, 1), 1.0);
}

TEST(NetworkReaderTest, WorkedExampleReadsBackToTheKohonenMap) {
  const std::string text = WorkedExample();
  ASSERT_FALSE(text.empty());
  ExpectWorkedExampleNetwork(*Read(text));
}

TEST(NetworkReaderTest, WorkedExampleInLowerCaseWithCommasAndNestedComments) {
  std::string changed;
  for (char c : WorkedExample()) {
    if (c == '\n') {
      changed += "\n/* between /* nested */ tags */\n";
    } else if (c == ' ') {
      changed += ",";
    } else {
      changed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  ASSERT_EQ(changed.find("[FormatVersion"), std::string::npos);
  ExpectWorkedExampleNetwork(*Read(changed));
}

TEST(NetworkReaderTest, ReplyIsTakenOverAndDestroyed) {
  std::istringstream in(WorkedExample());
  FileTools tools;
  auto net = tools.ReadNetwork(in, std::make_unique<TKQstructure>("(reply)"));
  ExpectWorkedExampleNetwork(*net);
  std::istringstream bad("");
  EXPECT_THROW(tools.ReadNetwork(bad, std::make_unique<TKQstructure>("(reply)")), FileTools::Error);
}

// Every proper prefix of a file is refused; the whole file without its
// last line end, or with comments after it, is accepted.
TEST(NetworkReaderTest, EveryTruncatedFileIsRefused) {
  const std::string files[] = {
      WorkedExample(),
      Pruned("[Matrix Weights TrainableInfo ]\n1 T - - 3 F\n4 T 5 T 6 T\n[~Matrix]\n"
             "[WeightList]\n[From=0 To=1 Weight=2 UnTrainable ]\n[~WeightList]\n"),
      Layer1(
          "[LayerType = Gain][NumberOfNeurons = 2][Neurons][Neuron=0 ActivationFunction=tanh-gain "
          "Gain=3][Neuron=1 ActivationFunction=linear][~Neurons]"),
  };
  testing::internal::CaptureStdout();  // cut keywords of weight lists are shown there
  for (const std::string& text : files) {
    const std::size_t end = text.rfind("[~NeuralNetwork]") + std::string("[~NeuralNetwork]").size();
    for (std::size_t n = 0; n < text.size(); ++n) {
      SCOPED_TRACE(text.substr(0, n));
      const std::string message = Refusal(text.substr(0, n));
      if (n >= end) {
        EXPECT_EQ(message, "accepted");
      } else {
        EXPECT_NE(message, "accepted");
      }
    }
    EXPECT_EQ(Refusal(text + "/* trailing /* comment */ */\n"), "accepted");
  }
  testing::internal::GetCapturedStdout();
}

// ---- Refused files

struct RefusedFile {
  const char* what;
  std::string text;
  std::string message;
  ReaderLimits limits = {};
};

ReaderLimits Limits(std::int64_t layers, std::int64_t layerNeurons, std::int64_t neurons,
                    std::int64_t arcs) {
  ReaderLimits limits;
  limits.maxLayers = layers;
  limits.maxLayerNeurons = layerNeurons;
  limits.maxNeurons = neurons;
  limits.maxArcs = arcs;
  return limits;
}

void ExpectRefusals(const std::vector<RefusedFile>& table) {
  for (const RefusedFile& row : table) {
    SCOPED_TRACE(row.what);
    // The base files of the builders are accepted, so each row fails for
    // its own reason.
    EXPECT_EQ(Refusal(row.text, row.limits), row.message);
  }
}

TEST(NetworkReaderTest, BaseFilesOfTheTablesAreAccepted) {
  for (const std::string& text :
       {Basic(kInputLayer + kGainLayer), Info(kTwoLayers),
        Layer1("[LayerType = Simple][NumberOfNeurons = 1]"), Pruned(""), Full(""),
        Kohonen("[Dimensions = 1][Dimension=0 Size=2][~Dimensions]")}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Refusal(text), "accepted");
  }
}

TEST(NetworkReaderTest, FilesTheFormatRulesOutAreRefusedWithTheirMessage) {
  const std::string kGainTags =
      "[LayerType = Gain][NumberOfNeurons = 3][All ActivationFunction=linear]";
  ExpectRefusals({
      {"empty file", "", "[NEURALNETWORK] expected"},
      {"format version 1.1", "[FormatVersion = 1.1]\n" + Basic(kInputLayer + kGainLayer),
       "Illegal Format Version"},
      {"InputLayer = NumberOfLayers", Info("[NumberOfLayers = 2][InputLayer = 2]"),
       "InputLayer 2 out of range (NumberOfLayers = 2)"},
      {"NumberOfLayers starting with a letter", Info("[NumberOfLayers = x2][InputLayer = 0]"),
       "integer-expected"},
      {"unknown keyword with a value that is no integer", Info(kTwoLayers + "[Colour = red]"),
       "integer-expected"},
      {"word after the end tag", Basic(kInputLayer + kGainLayer) + "extra\n", "End Tag expected"},
      {"Dimensions in a Basic file",
       Basic("[Dimensions = 1]\n[Dimension=0 Size=2 ]\n[~Dimensions]\n" + kInputLayer + kGainLayer),
       "End Tag expected"},
      {"Gain before LayerType",
       Layer1("[NumberOfNeurons = 3][Gain = 2][LayerType = Gain][All ActivationFunction=linear]"),
       "Parameter Gain before LayerType and NumberOfNeurons in layer 1"},
      {"empty Neurons block", Layer1(kGainTags + "[All Gain=1][Neurons][~Neurons]"),
       "Neuron not defined"},
      {"empty ConnectionLayer", Conn(""), "Insufficient information to construct layer"},

      {"NetworkInformation tag with a further item", Info("[NumberOfLayers = 2 InputLayer=0]"),
       "Too complicated statement"},
      {"layer-level tag with a further item", Layer1("[LayerType = Gain NumberOfNeurons=3]"),
       "Too complicated statement"},
      {"All statement with a further item",
       Layer1("[LayerType = Gain][NumberOfNeurons = 3][All ActivationFunction=linear Gain=2]"),
       "Too complicated statement"},
      {"ConnectionLayer tag with a further item", Conn("[LayerFrom = 0 LayerTo=1]"),
       "Too complicated statement"},
      {"unknown NetworkInformation keyword", Info(kTwoLayers + "[Colour = 3]"), "Unknown keyword"},
      {"NumberOfLayers missing", Info("[InputLayer = 0]"), "Must specify number of layers"},
      {"NumberOfLayers negative", Info("[NumberOfLayers = -2][InputLayer = 0]"),
       "Must specify number of layers"},
      {"unknown network type", Network("Recurrent", kTwoLayers, kInputLayer + kGainLayer),
       "Unknown network type"},
      {"Kohonen without Dimensions", Kohonen(""), "Missing dimensions in Kohonen"},
      {"Dimensions entry not starting with Dimension",
       Kohonen("[Dimensions = 1][Size=2 Dimension=0][~Dimensions]"), "invalid dimension tag"},
      {"Dimensions entry with another second item",
       Kohonen("[Dimensions = 1][Dimension=0 Width=2][~Dimensions]"),
       "'Size' tag required for dimension data"},
      {"Dimensions entry whose Size has no value",
       Kohonen("[Dimensions = 1][Dimension=0 Size][~Dimensions]"),
       "'Size' tag required for dimension data"},
      {"Dimensions entry with a third item",
       Kohonen("[Dimensions = 1][Dimension=0 Size=2 Extra=1][~Dimensions]"),
       "'Size' tag required for dimension data"},
      {"All alone", Layer1(kGainTags + "[All]"), "[ALL] is incomplete statment"},
      {"All with a keyword without value", Layer1(kGainTags + "[All Gain]"),
       "Required syntax is [ALL <keyword>=<val>]"},
      {"NumberOfInputs differs", Info(kTwoLayers + "[NumberOfInputs = 3]"),
       "wrong number inputs in header"},
      {"NumberOfOutputs differs", Info(kTwoLayers + "[NumberOfOutputs = 2]"),
       "wrong number outputs in header"},
      {"unknown layer type", Layer1("[LayerType = Hidden][NumberOfNeurons = 3]"),
       "Unknown layer type"},
      {"repeated neuron", Layer1(kGainTags + "[All Gain=1][Neurons][Neuron=0][Neuron=0][~Neurons]"),
       "repeated neuron"},
      {"Neuron item without a value", Layer1(kGainTags + "[Neurons][Neuron=0 Gain][~Neurons]"),
       "Equals clause expected in neuron parameter"},
      {"neuron without a function",
       Layer1("[LayerType = Gain][NumberOfNeurons = 1][Neurons][Neuron=0 Gain=1][~Neurons]"),
       "No activation function defined"},
      {"Neurons block leaving a neuron out",
       Layer1(
           "[LayerType = Simple][NumberOfNeurons = 3][Neurons][Neuron=0 ActivationFunction=linear]"
           "[Neuron=2 ActivationFunction=tanh][~Neurons]"),
       "Neuron not defined"},
      {"parameter not given", Layer1(kGainTags), "Incomplete Layer information"},
      {"unknown ConnectionLayer keyword", Conn("[LayerFrom = 0][Colour = 1]"),
       "Unknown keyword in connections"},
      {"ConnectionLayer without LayerTo", Conn("[LayerFrom = 0][ConnectionType = Pruneable]"),
       "Insufficient information to construct layer"},
      {"ConnectionLayer with a negative LayerFrom",
       Conn("[LayerFrom = -1][LayerTo = 1][ConnectionType = Pruneable]"),
       "Insufficient information to construct layer"},
      {"unknown ConnectionType", Conn("[LayerFrom = 0][LayerTo = 1][ConnectionType = Sparse]"),
       "Insufficient information to construct layer"},
      {"second block for a pair",
       Basic(kInputLayer + kGainLayer +
             "[ConnectionLayer][LayerFrom = 0][LayerTo = 1][ConnectionType = "
             "Pruneable][~ConnectionLayer]"
             "[ConnectionLayer][LayerFrom = 0][LayerTo = 1][ConnectionType = FullyConnected]"
             "[~ConnectionLayer]"),
       "Connections already defined"},
      {"Matrix entry with a value", Pruned("[Matrix Weights=1][~Matrix]"),
       "Keyword expected in matrix parameter"},
      {"unknown Matrix entry", Pruned("[Matrix Weights Colour][~Matrix]"),
       "Unknown matrix attribute"},
      {"Matrix ending early", Pruned("[Matrix Weights] 1 2 3 4 5 [~Matrix]"), "Token Expected"},
      {"tag among the Matrix cells", Pruned("[Matrix Weights] 1 2 3 [Weight = 4] 5 6 [~Matrix]"),
       "Token Expected"},
      {"unknown WeightList value item", Pruned("[WeightList][From=0 To=1 Colour=2][~WeightList]"),
       "Unknown keyword in weights list"},
      {"WeightList entry without To", Pruned("[WeightList][From=0 Weight=1][~WeightList]"),
       "Insufficient information in weights list"},
      {"WeightList entry without From", Pruned("[WeightList][To=0][~WeightList]"),
       "Insufficient information in weights list"},
  });
}

TEST(NetworkReaderTest, IndicesOutOfRangeAreRefused) {
  const std::string kGainTags =
      "[LayerType = Gain][NumberOfNeurons = 3][All ActivationFunction=linear]";
  ExpectRefusals({
      {"InputLayer below 0", Info("[NumberOfLayers = 2][InputLayer = -1]"),
       "InputLayer -1 out of range (NumberOfLayers = 2)"},
      {"default InputLayer 1 of a one-layer network", Info("[NumberOfLayers = 1]"),
       "InputLayer 1 out of range (NumberOfLayers = 1)"},
      {"no layers at all", Info("[NumberOfLayers = 0][InputLayer = 0]"),
       "InputLayer 0 out of range (NumberOfLayers = 0)"},
      {"OutputLayer = NumberOfLayers", Info(kTwoLayers + "[OutputLayer = 2]"),
       "OutputLayer 2 out of range (NumberOfLayers = 2)"},
      {"Layer = NumberOfLayers",
       Basic(kInputLayer + kGainLayer +
             "[Layer = 2][LayerType = Simple][NumberOfNeurons = 1][~Layer]"),
       "Layer 2 out of range (NumberOfLayers = 2)"},
      {"Layer below 0", Basic("[Layer = -1][LayerType = Simple][NumberOfNeurons = 1][~Layer]"),
       "Layer -1 out of range (NumberOfLayers = 2)"},
      {"Kohonen with four layers",
       Network("Kohonen", "[NumberOfLayers = 4]\n",
               "[Dimensions = 0][~Dimensions]" + kKohonenLayers),
       "Kohonen network needs NumberOfLayers = 3, not 4"},
      {"Kohonen with two layers",
       Network("Kohonen", "[NumberOfLayers = 2]\n",
               "[Dimensions = 0][~Dimensions]" + kKohonenLayers),
       "Kohonen network needs NumberOfLayers = 3, not 2"},
      {"Dimension = Dimensions", Kohonen("[Dimensions = 1][Dimension=1 Size=2][~Dimensions]"),
       "Dimension 1 out of range (Dimensions = 1)"},
      {"Dimension below 0", Kohonen("[Dimensions = 1][Dimension=-1 Size=2][~Dimensions]"),
       "Dimension -1 out of range (Dimensions = 1)"},
      {"Neuron = NumberOfNeurons",
       Layer1(kGainTags + "[All Gain=1][Neurons][Neuron=0][Neuron=1][Neuron=3][~Neurons]"),
       "Neuron 3 out of range in layer 1 (NumberOfNeurons = 3)"},
      {"Neuron below 0", Layer1(kGainTags + "[All Gain=1][Neurons][Neuron=-1][~Neurons]"),
       "Neuron -1 out of range in layer 1 (NumberOfNeurons = 3)"},
      {"LayerFrom = NumberOfLayers",
       Conn("[LayerFrom = 2][LayerTo = 1][ConnectionType = Pruneable]"),
       "LayerFrom 2 out of range (NumberOfLayers = 2)"},
      {"LayerTo = NumberOfLayers",
       Conn("[LayerFrom = 0][LayerTo = 7][ConnectionType = FullyConnected]"),
       "LayerTo 7 out of range (NumberOfLayers = 2)"},
      {"WeightList From beyond the from layer", Pruned("[WeightList][From=2 To=0][~WeightList]"),
       "WeightList From 2 out of range (layer 0 has 2 neurons)"},
      {"WeightList To beyond the to layer", Pruned("[WeightList][From=0 To=3][~WeightList]"),
       "WeightList To 3 out of range (layer 1 has 3 neurons)"},
      {"WeightList From below 0 counts as missing",
       Pruned("[WeightList][From=-2 To=0][~WeightList]"),
       "Insufficient information in weights list"},
      {"integer beyond 32 bits", Info("[NumberOfLayers = 4294967298][InputLayer = 0]"),
       "integer out of range"},
  });
}

TEST(NetworkReaderTest, IncompleteOrContradictoryDeclarationsAreRefused) {
  const std::string kGainTags =
      "[LayerType = Gain][NumberOfNeurons = 3][All ActivationFunction=linear]";
  ExpectRefusals({
      {"Layer block without LayerType",
       Layer1("[NumberOfNeurons = 3][All ActivationFunction=linear]"),
       "Layer 1 without LayerType or NumberOfNeurons"},
      {"Layer block without NumberOfNeurons",
       Layer1("[LayerType = Simple][All ActivationFunction=linear]"),
       "Layer 1 without LayerType or NumberOfNeurons"},
      {"empty Layer block", Layer1(""), "Layer 1 without LayerType or NumberOfNeurons"},
      {"negative NumberOfNeurons", Layer1("[LayerType = Simple][NumberOfNeurons = -1]"),
       "NumberOfNeurons = -1 below 0 in layer 1"},
      {"NumberOfNeurons changed after the layer was made",
       Layer1("[LayerType = Simple][NumberOfNeurons = 3][NumberOfNeurons = 30]"),
       "NumberOfNeurons changed after the layer was made in layer 1"},
      {"LayerType changed after the layer was made",
       Layer1("[LayerType = Simple][NumberOfNeurons = 3][LayerType = Gain]"),
       "LayerType changed after the layer was made in layer 1"},
      {"second Layer block for an index", Basic(kInputLayer + kInputLayer + kGainLayer),
       "Layer 0 defined twice"},
      {"layer never defined", Basic(kInputLayer), "Layer 1 not defined"},
      {"first layer never defined", Basic(kGainLayer), "Layer 0 not defined"},
      {"dimension without Size",
       Kohonen("[Dimensions = 3][Dimension=0 Size=2][Dimension=2 Size=1][~Dimensions]"),
       "Dimension 1 without Size"},
      {"dimension given twice",
       Kohonen("[Dimensions = 2][Dimension=0 Size=2][Dimension=0 Size=1][~Dimensions]"),
       "Dimension 0 given twice"},
      {"negative Size", Kohonen("[Dimensions = 1][Dimension=0 Size=-2][~Dimensions]"),
       "Size = -2 of dimension 0 below 0"},
      {"negative Dimensions", Kohonen("[Dimensions = -1][~Dimensions]"), "Dimensions = -1 below 0"},
      {"parameter of plain neurons",
       Layer1("[LayerType = Simple][NumberOfNeurons = 3][All Gain=1]"),
       "Unknown parameter Gain in layer 1"},
      {"parameter of an empty layer", Layer1("[LayerType = Gain][NumberOfNeurons = 0][Gain = 1]"),
       "Unknown parameter Gain in layer 1"},
      {"unknown parameter", Layer1(kGainTags + "[All Gain=1][Bias = 2]"),
       "Unknown parameter Bias in layer 1"},
      {"unknown parameter of a neuron",
       Layer1(kGainTags + "[All Gain=1][Neurons][Neuron=0 Slope=2][~Neurons]"),
       "Unknown parameter Slope in layer 1"},
      {"unknown layer function",
       Layer1("[LayerType = Simple][NumberOfNeurons = 1][All ActivationFunction=relu]"),
       "Unknown activation function relu in layer 1"},
      {"unknown neuron function",
       Layer1("[LayerType = Simple][NumberOfNeurons = 1][Neurons][Neuron=0 "
              "ActivationFunction=relu][~Neurons]"),
       "Unknown activation function relu in layer 1"},
      {"unknown neuron function under a layer function",
       Layer1("[LayerType = Simple][NumberOfNeurons = 1][All ActivationFunction=tanh][Neurons]"
              "[Neuron=0 ActivationFunction=relu][~Neurons]"),
       "Unknown activation function relu in layer 1"},
      {"gain function for a simple layer",
       Layer1("[LayerType = Simple][NumberOfNeurons = 2][All ActivationFunction=sigmoid-gain]"),
       "Gain function sigmoid-gain for neurons without a gain in layer 1"},
      {"gain function for an input layer",
       Basic(
           "[Layer = 0][LayerType = Input][NumberOfNeurons = 2][All ActivationFunction=Linear-Gain]"
           "[~Layer]" +
           kGainLayer),
       "Gain function linear-gain for neurons without a gain in layer 0"},
      {"gain function for an empty simple layer",
       Layer1("[LayerType = Simple][NumberOfNeurons = 0][All ActivationFunction=tanh-gain]"),
       "Gain function tanh-gain for neurons without a gain in layer 1"},
      {"gain function for a plain neuron",
       Layer1(
           "[LayerType = Simple][NumberOfNeurons = 2][Neurons][Neuron=0 ActivationFunction=linear]"
           "[Neuron=1 ActivationFunction=tanh-gain][~Neurons]"),
       "Gain function tanh-gain for neurons without a gain in layer 1"},
      {"ten Matrix entries",
       Pruned("[Matrix Weights TrainableInfo Weights TrainableInfo Weights TrainableInfo Weights "
              "TrainableInfo Weights TrainableInfo][~Matrix]"),
       "More than nine Matrix entries"},
      {"TrainableInfo other than T or F for an existing arc",
       Pruned("[Matrix Weights TrainableInfo] 1 T 2 X 3 T 4 T 5 T 6 T [~Matrix]"),
       "TrainableInfo X for an existing arc (from-neuron 0, to-neuron 1): T or F expected"},
      {"TrainableInfo - for an arc of a FullyConnected block",
       Full("[Matrix Weights TrainableInfo] 1 T 2 - 3 T 4 T 5 T 6 T [~Matrix]"),
       "TrainableInfo - for an existing arc (from-neuron 0, to-neuron 1): T or F expected"},
      {"weight - in a FullyConnected block", Full("[Matrix Weights] 1 2 3 4 - 6 [~Matrix]"),
       "Weight - in a FullyConnected block (from-neuron 1, to-neuron 1)"},
      {"TrainableInfo F in a FullyConnected block",
       Full("[Matrix Weights TrainableInfo] 1 T 2 T 3 F 4 T 5 T 6 T [~Matrix]"),
       "TrainableInfo F in a FullyConnected block (from-neuron 0, to-neuron 2)"},
      {"UnTrainable entry in a FullyConnected block",
       Full("[WeightList][From=1 To=2 Weight=3 UnTrainable][~WeightList]"),
       "UnTrainable in a FullyConnected block (from-neuron 1, to-neuron 2)"},
  });
}

TEST(NetworkReaderTest, DeclarationsBeyondTheLimitsAreRefusedBeforeAllocation) {
  ReaderLimits wide = Limits(100000, INT_MAX, INT_MAX, INT64_MAX);
  ReaderLimits fewDimensions;
  fewDimensions.maxDimensions = 2;
  // Two layers and a pruneable block between them.
  const auto twoLayers = [](int from, int to) {
    return Basic(
        "[Layer = 0][LayerType = Input][NumberOfNeurons = " + std::to_string(from) +
        "][~Layer][Layer = 1][LayerType = Simple][NumberOfNeurons = " + std::to_string(to) +
        "][~Layer][ConnectionLayer][LayerFrom = 0][LayerTo = 1][ConnectionType = Pruneable]"
        "[~ConnectionLayer]");
  };
  ExpectRefusals({
      {"layers beyond the default limit", Info("[NumberOfLayers = 1025][InputLayer = 0]"),
       "NumberOfLayers = 1025 exceeds the reader's limit of 1024"},
      {"layers x layers beyond 32 bits", Info("[NumberOfLayers = 46341][InputLayer = 0]"),
       "NumberOfLayers = 46341 too large", wide},
      {"neurons of one layer beyond the default limit",
       Layer1("[LayerType = Simple][NumberOfNeurons = 16777217]"),
       "NumberOfNeurons = 16777217 in layer 1 exceeds the reader's limit of 16777216"},
      {"neurons of the network beyond a limit", Basic(kInputLayer + kGainLayer),
       "NumberOfNeurons = 3 in layer 1: the network's neurons exceed the reader's limit of 4",
       Limits(2, 3, 4, 100)},
      {"neurons of the network beyond 32 bits",
       Basic(kInputLayer + "[Layer = 1][LayerType = Simple][NumberOfNeurons = 2147483647][~Layer]"),
       "NumberOfNeurons = 2147483647 in layer 1: the network's neurons exceed the reader's limit "
       "of "
       "2147483647",
       Limits(2, INT_MAX, INT64_MAX, 100)},
      {"arcs beyond a limit", Pruned(""),
       "Connection block from layer 0 to layer 1: the network's arcs exceed the reader's limit of "
       "5",
       Limits(2, 3, 5, 5)},
      {"arcs of a block beyond 32 bits", twoLayers(65536, 65536),
       "Connection block from layer 0 to layer 1 too large (65536 x 65536 arcs)", wide},
      {"arcs beyond the default limit", twoLayers(16384, 16385),
       "Connection block from layer 0 to layer 1: the network's arcs exceed the reader's limit of "
       "268435456"},
      {"dimensions beyond a limit", Kohonen("[Dimensions = 3][~Dimensions]"),
       "Dimensions = 3 exceeds the reader's limit of 2", fewDimensions},
      {"dimensions beyond the default limit", Kohonen("[Dimensions = 2000000000][~Dimensions]"),
       "Dimensions = 2000000000 exceeds the reader's limit of 1024"},
  });
}

TEST(NetworkReaderTest, UnknownWeightListKeywordIsShownOnStandardOutput) {
  testing::internal::CaptureStdout();
  const std::string message = Refusal(Pruned("[WeightList][From=0 To=1 Frozen][~WeightList]"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Frozen\n");
  EXPECT_EQ(message, "Unknown keyword in weights list");
}

// ---- Accepted variants

TEST(NetworkReaderTest, FormatVersionMayBeLeftOutOrLower) {
  const std::string body = Basic(kInputLayer + kGainLayer);
  for (const std::string& header : {std::string(), std::string("[FormatVersion = 0.5]\n"),
                                    std::string("[FormatVersion = 1.0]\n\n")}) {
    SCOPED_TRACE(header);
    auto net = Read(header + body);
    EXPECT_STREQ(net->GetNetworkType(), "Basic");
    EXPECT_EQ(net->numLayers, 2);
  }
}

TEST(NetworkReaderTest, LaterNetworkInformationValuesCountAndBiasLayerIsIgnored) {
  auto net =
      Read(Info("[NumberOfLayers = 7][InputLayer = 1][BiasLayer = 57][NumberOfLayers = 2.9]"
                "[InputLayer = 0][OutputLayer = -4]"));
  EXPECT_EQ(net->numLayers, 2);
  EXPECT_EQ(net->inLayer, 0);
  EXPECT_EQ(net->outLayer, 1);  // the last layer when negative or absent
  EXPECT_EQ(Read(Info(kTwoLayers))->outLayer, 1);
  EXPECT_EQ(Read(Info(kTwoLayers + "[OutputLayer = 0]"))->outLayer, 0);
}

TEST(NetworkReaderTest, NetworkTypeDecidesTheClass) {
  EXPECT_STREQ(Read(Basic(kInputLayer + kGainLayer))->GetNetworkType(), "Basic");
  auto connected = Read(Network("connected", kTwoLayers, kInputLayer + kGainLayer));
  EXPECT_NE(dynamic_cast<TConnectedNetwork*>(connected.get()), nullptr);
  EXPECT_STREQ(connected->GetNetworkType(), "Connected");
  auto map = Read(Kohonen("[Dimensions = 0][~Dimensions]"));
  EXPECT_STREQ(map->GetNetworkType(), "Kohonen");
  EXPECT_EQ(dynamic_cast<TKohonenNetwork&>(*map).GetNumDimensions(), 0);
}

TEST(NetworkReaderTest, LayerLevelTagsMakeTheLayer) {
  auto net = Read(Basic(kInputLayer + kGainLayer));
  EXPECT_STREQ(net->layers[0]->GetLayerType(), "Input");
  EXPECT_STREQ(net->layers[1]->GetLayerType(), "Gain");
  EXPECT_EQ(net->layers[1]->GetActFunction(), ActSigmoidGain);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Gain(*net, 1, i), 2.0);
  // The function may come first, the parameter once the layer exists.
  net =
      Read(Layer1("[ActivationFunction = tanh-gain][LayerType = gain][NumberOfNeurons = 2]"
                  "[gain = 0.5][LayerType = GAIN][NumberOfNeurons = 2]"));
  EXPECT_EQ(net->layers[1]->GetActFunction(), ActTanhGain);
  EXPECT_EQ(Gain(*net, 1, 0), 0.5);
  EXPECT_EQ(Gain(*net, 1, 1), 0.5);
}

TEST(NetworkReaderTest, NeuronParametersCarryOverFromBracketToBracket) {
  const std::string tags =
      "[LayerType = Gain][NumberOfNeurons = 3][All ActivationFunction=linear-gain]";
  auto net =
      Read(Layer1(tags + "[All Gain=2][Neurons][Neuron=0 Gain=5][Neuron=1][Neuron=2][~Neurons]"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Gain(*net, 1, i), 5.0) << i;
  // In file order, not index order; the layer level counts until a bracket sets a value.
  net = Read(Layer1(tags + "[All Gain=2][Neurons][Neuron=2][Neuron=0 Gain=7][Neuron=1][~Neurons]"));
  EXPECT_EQ(Gain(*net, 1, 2), 2.0);
  EXPECT_EQ(Gain(*net, 1, 0), 7.0);
  EXPECT_EQ(Gain(*net, 1, 1), 7.0);
  // With a Neurons block the layer level need not give the parameter: it starts at 0.
  net = Read(Layer1(tags + "[Neurons][Neuron=0][Neuron=1 Gain=3][Neuron=2][~Neurons]"));
  EXPECT_EQ(Gain(*net, 1, 0), 0.0);
  EXPECT_EQ(Gain(*net, 1, 2), 3.0);
}

TEST(NetworkReaderTest, NeuronFunctionsApplyOnlyWithoutALayerFunction) {
  auto net =
      Read(Layer1("[LayerType = Simple][NumberOfNeurons = 2][Neurons]"
                  "[Neuron=0 ActivationFunction=tanh][Neuron=1 ActivationFunction=Sigmoid]"
                  "[~Neurons]"));
  EXPECT_EQ(net->layers[1]->GetActFunction(), nullptr);
  EXPECT_EQ(net->layers[1]->GetNeuron(0)->GetActFunction(), ActTanh);
  EXPECT_EQ(net->layers[1]->GetNeuron(1)->GetActFunction(), ActSigmoid);
  net =
      Read(Layer1("[LayerType = Simple][NumberOfNeurons = 2][All ActivationFunction=bias][Neurons]"
                  "[Neuron=0 ActivationFunction=tanh][Neuron=1][~Neurons]"));
  EXPECT_EQ(net->layers[1]->GetActFunction(), ActBias);
  EXPECT_EQ(net->layers[1]->GetNeuron(0)->GetActFunction(), ActBias);
}

TEST(NetworkReaderTest, PruneableMatrixNamesEveryArcAndItsFlag) {
  auto net =
      Read(Pruned("[Matrix Weights TrainableInfo]\n"
                  "/* To->  0      1      2  From */\n"
                  "0.125 T  - -  -2.5 F /* 0 */\n"
                  "1e-3 t  - x  4 f /* 1 */\n"
                  "[~Matrix]\n"));
  TBasicConnections& b = Block(*net, 0, 1);
  EXPECT_STREQ(b.GetConnectionsNType(), "Pruneable");
  EXPECT_TRUE(b.IsValid(0, 0) && b.IsTrainable(0, 0));
  EXPECT_EQ(*b.GetWeightPtr(0, 0), 0.125);
  EXPECT_FALSE(b.IsValid(0, 1));
  EXPECT_FALSE(b.IsValid(1, 1));
  EXPECT_TRUE(b.IsValid(0, 2) && !b.IsTrainable(0, 2));
  EXPECT_EQ(*b.GetWeightPtr(0, 2), -2.5);
  EXPECT_TRUE(b.IsValid(1, 0) && b.IsTrainable(1, 0));
  EXPECT_EQ(*b.GetWeightPtr(1, 0), 0.001);
  EXPECT_TRUE(b.IsValid(1, 2) && !b.IsTrainable(1, 2));
}

TEST(NetworkReaderTest, WeightsOnlyMatrixLeavesDashedArcsAbsent) {
  auto net = Read(Pruned("[Matrix Weights] 1 - 3 4 5 6 [~Matrix]"));
  TBasicConnections& b = Block(*net, 0, 1);
  for (int f = 0; f < 2; ++f) {
    for (int t = 0; t < 3; ++t) {
      const bool dashed = f == 0 && t == 1;
      EXPECT_EQ(b.IsValid(f, t), !dashed) << f << t;
      EXPECT_EQ(b.IsTrainable(f, t), !dashed) << f << t;
    }
  }
  EXPECT_EQ(*b.GetWeightPtr(1, 2), 6.0);
}

TEST(NetworkReaderTest, WeightListMakesOnlyTheNamedArcs) {
  auto net =
      Read(Pruned("[WeightList]\n[From=0 To=0 ]\n[Weight=-2.5 To=2 From=1 UnTrainable ]\n"
                  "[From=1 To=0 Weight=4 Untrainable Trainable]\n[~WeightList]\n"));
  TBasicConnections& b = Block(*net, 0, 1);
  EXPECT_EQ(b.GetNumWeights(FMaskExists), 3);
  EXPECT_TRUE(b.IsValid(0, 0) && b.IsTrainable(0, 0));
  EXPECT_EQ(*b.GetWeightPtr(0, 0), 0.0);
  EXPECT_TRUE(b.IsValid(1, 2) && !b.IsTrainable(1, 2));
  EXPECT_EQ(*b.GetWeightPtr(1, 2), -2.5);
  EXPECT_TRUE(b.IsTrainable(1, 0));
  EXPECT_EQ(*b.GetWeightPtr(1, 0), 4.0);
}

TEST(NetworkReaderTest, LaterWeightSectionsOverwriteEarlierOnes) {
  auto net =
      Read(Pruned("[Matrix Weights] 1 2 3 4 5 6 [~Matrix]"
                  "[Matrix Weights TrainableInfo] 10 F - - 30 T 40 T 50 T - - [~Matrix]"
                  "[WeightList][From=1 To=2 Weight=60][~WeightList]"));
  TBasicConnections& b = Block(*net, 0, 1);
  EXPECT_EQ(*b.GetWeightPtr(0, 0), 10.0);
  EXPECT_FALSE(b.IsTrainable(0, 0));
  EXPECT_FALSE(b.IsValid(0, 1));
  EXPECT_EQ(*b.GetWeightPtr(1, 1), 50.0);
  EXPECT_TRUE(b.IsValid(1, 2));
  EXPECT_EQ(*b.GetWeightPtr(1, 2), 60.0);
  // A full block: two matrices, the second wins.
  net =
      Read(Full("[Matrix Weights] 1 2 3 4 5 6 [~Matrix][Matrix Weights TrainableInfo]"
                " 7 T 8 T 9 T 10 T 11 T 12 T [~Matrix]"));
  EXPECT_EQ(*Block(*net, 0, 1).GetWeightPtr(0, 0), 7.0);
  EXPECT_EQ(*Block(*net, 0, 1).GetWeightPtr(1, 2), 12.0);
}

TEST(NetworkReaderTest, MatrixWithoutEntriesHasNoCells) {
  auto net = Read(Pruned("[Attributes Pruneable Freezable][Matrix][~Matrix]"));
  EXPECT_TRUE(Block(*net, 0, 1).IsConnected());
  EXPECT_EQ(Block(*net, 0, 1).GetNumWeights(FMaskExists), 0);
}

TEST(NetworkReaderTest, UntouchedPairsKeepTheirEmptyBlocks) {
  auto net = Read(Full(""));
  EXPECT_TRUE(Block(*net, 0, 1).IsConnected());
  EXPECT_EQ(Block(*net, 0, 1).GetNumWeights(FMaskExists), 6);
  EXPECT_FALSE(Block(*net, 1, 0).IsConnected());
  EXPECT_FALSE(Block(*net, 0, 0).IsConnected());
}

// ---- Opening files

TEST(NetworkReaderTest, LoadNetworkReadsAFile) {
  FileTools tools;
  auto net = tools.LoadNetwork(
      (std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net").c_str());
  ExpectWorkedExampleNetwork(*net);
}

TEST(NetworkReaderTest, LoadNetworkRefusalsCarryNoStream) {
  FileTools tools;
  const std::string missing = testing::TempDir() + "no_such_dir/none.net";
  try {
    tools.LoadNetwork(missing.c_str(), std::make_unique<TKQstructure>("(reply)"));
    ADD_FAILURE() << "accepted";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Error on File Open");
    EXPECT_EQ(e.input, nullptr);
    EXPECT_EQ(e.output, nullptr);
  }
  try {
    tools.LoadNetwork(testing::TempDir().c_str());
    ADD_FAILURE() << "accepted a directory";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Error on File Open");
  }
  const std::string path = testing::TempDir() + "networkreader_bad.net";
  test::WriteFile(path, Basic(kInputLayer));
  try {
    tools.LoadNetwork(path.c_str());
    ADD_FAILURE() << "accepted";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Layer 1 not defined");
    EXPECT_EQ(e.input, nullptr);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kohport
