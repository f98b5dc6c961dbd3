// Round trips through the writer and the reader: a file the writer wrote
// reads back to a network that the writer writes to the same bytes, for
// every network type, layer kind and block kind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "TestUtil.h"

namespace kohport {
namespace {

std::string Written(TBasicNetwork& net) {
  std::ostringstream out;
  FileTools tools;
  tools.WriteNetwork(out, &net);
  return out.str();
}

std::unique_ptr<TBasicNetwork> Read(const std::string& text) {
  std::istringstream in(text);
  FileTools tools;
  return tools.ReadNetwork(in);
}

// Writes `net`, reads the file back, writes the network read and expects
// the same bytes; returns the file.
std::string ExpectRoundTrip(TBasicNetwork& net) {
  const std::string first = Written(net);
  std::unique_ptr<TBasicNetwork> back;
  try {
    back = Read(first);
  } catch (const FileTools::Error& e) {
    ADD_FAILURE() << "refused: " << e.message << "\n" << first;
    return first;
  }
  EXPECT_STREQ(back->GetNetworkType(), net.GetNetworkType());
  EXPECT_EQ(Written(*back), first);
  return first;
}

// Six layers of every kind, with every kind of block between them:
//  0 Simple without neurons, no function;
//  1 Input of three neurons ("linear"), the input layer;
//  2 Gain of four neurons whose functions and gains differ (a Neurons block);
//  3 Gain of three neurons sharing function and gain (All lines only);
//  4 Simple of one "bias" neuron (a BiasLayer line);
//  5 Simple of two neurons with different functions, the output layer.
template <class Network>
std::unique_ptr<TBasicNetwork> EveryKind() {
  auto net = std::make_unique<Network>(6);
  TBasicNetwork* n = net.get();
  n->layers[0].reset(new TSimpleLayer(n, 0, 0));
  n->layers[1].reset(new TSimpleInputLayer(n, 1, 3));
  n->layers[1]->SetActFunction(ActLinear);
  auto* mixed = new TGainLayer(n, 2, 4, 1.0);
  n->layers[2].reset(mixed);
  const TActFunction gainFunctions[] = {ActTanhGain, ActSigmoidGain, ActLinearGain, ActTanhGain};
  const double gains[] = {0.5, -3.25, 1e-7, 1234.5};
  for (int i = 0; i < 4; ++i) {
    mixed->nodes[i].SetActFunction(gainFunctions[i]);
    mixed->nodes[i].gain = gains[i];
  }
  n->layers[3].reset(new TGainLayer(n, 3, 3, 0.3));
  n->layers[3]->SetActFunction(ActSigmoidGain);
  n->layers[4].reset(new TSimpleLayer(n, 4, 1));
  n->layers[4]->SetActFunction(ActBias);
  n->layers[5].reset(new TSimpleLayer(n, 5, 2));
  n->layers[5]->GetNeuron(0)->SetActFunction(ActSigmoid);
  n->layers[5]->GetNeuron(1)->SetActFunction(ActTanh);
  n->inLayer = 1;
  n->outLayer = 5;

  const auto full = [n](int from, int to) {
    n->priv_conns_index[to][from].reset(new TConnectedConnections(n, from, to));
    return n->priv_conns_index[to][from].get();
  };
  const auto pruneable = [n](int from, int to) {
    n->priv_conns_index[to][from].reset(new TPrunedConnections(n, from, to));
    return n->priv_conns_index[to][from].get();
  };
  // Fully connected, as a matrix, with numbers of every form.
  TBasicConnections* b = full(1, 2);
  const double weights[] = {0.25,   -0.5, 1.0 / 3,  -0.0, 1e300, -1e-300, 123456789.125,
                            4e-320, 0.1,  -2.0 / 3, 1e15, 7,     1e16,    -1e-5};
  for (int f = 0; f < 3; ++f) {
    for (int t = 0; t < 4; ++t) *b->GetWeightPtr(f, t) = weights[f * 4 + t];
  }
  // Pruneable and dense: a matrix with flags, some arcs absent or frozen.
  b = pruneable(1, 3);
  for (int f = 0; f < 3; ++f) {
    for (int t = 0; t < 3; ++t) *b->GetWeightPtr(f, t) = f - 0.5 * t;
  }
  b->Prune(0, 1);
  b->Prune(2, 2);
  b->SetUntrainable(1, 1);
  b->SetUntrainable(2, 0);
  // Pruneable and sparse: a weight list with both flags.
  b = pruneable(2, 5);
  for (int f = 0; f < 4; ++f) {
    for (int t = 0; t < 2; ++t) b->Prune(f, t);
  }
  b->Unprune(3, 0);
  *b->GetWeightPtr(3, 0) = -1e300;
  b->Unprune(1, 1);
  *b->GetWeightPtr(1, 1) = 0.000123456789;
  b->SetUntrainable(1, 1);
  // Pruneable without any arc: an empty weight list.
  b = pruneable(4, 5);
  b->Prune(0, 0);
  b->Prune(0, 1);
  // From and to a layer without neurons; from a layer to itself; backwards.
  full(0, 5);
  full(5, 0);
  b = pruneable(3, 3);
  *b->GetWeightPtr(2, 0) = 9.5;
  b = full(5, 1);
  *b->GetWeightPtr(1, 2) = -7.75;
  return net;
}

TEST(NetworkRoundTripTest, BasicNetworkOfEveryLayerAndBlockKind) {
  auto net = EveryKind<TBasicNetwork>();
  const std::string file = ExpectRoundTrip(*net);
  // The file holds every form the writer has.
  for (const char* line : {"[BiasLayer = 4]", "[Neurons]", "[All Gain=0.300000000000000 ]",
                           "[All ActivationFunction=null ]", "[Matrix Weights TrainableInfo ]",
                           "[WeightList]", "UnTrainable ]", "[ConnectionType = FullyConnected]",
                           "[LayerType = Input]", "[LayerType = Gain]"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line;
  }
}

TEST(NetworkRoundTripTest, ConnectedNetworkOfEveryLayerAndBlockKind) {
  auto net = EveryKind<TConnectedNetwork>();
  ExpectRoundTrip(*net);
}

TEST(NetworkRoundTripTest, KohonenMaps) {
  const int sizes[] = {3, 2, 4};
  for (int dims = 0; dims <= 3; ++dims) {
    SCOPED_TRACE(dims);
    TKohonenNetwork map(5, dims, sizes);
    map.RandomizeWeights(-2.0, 2.0);
    ExpectRoundTrip(map);
  }
  TKohonenNetwork empty(0, 2, sizes);
  ExpectRoundTrip(empty);
}

TEST(NetworkRoundTripTest, NumbersBeyondTheFiniteRange) {
  auto net = EveryKind<TBasicNetwork>();
  TBasicConnections& full = *net->priv_conns_index[2][1];
  *full.GetWeightPtr(0, 0) = std::numeric_limits<double>::infinity();
  *full.GetWeightPtr(0, 1) = -std::numeric_limits<double>::infinity();
  *full.GetWeightPtr(0, 2) = std::numeric_limits<double>::quiet_NaN();
  TBasicConnections& list = *net->priv_conns_index[5][2];
  *list.GetWeightPtr(3, 0) = -std::numeric_limits<double>::infinity();
  ExpectRoundTrip(*net);
}

// Cells wider than their field, in a matrix of many columns.
TEST(NetworkRoundTripTest, WideMatrixCells) {
  TConnectedNetwork net(2);
  net.layers[0].reset(new TSimpleInputLayer(&net, 0, 3));
  net.layers[1].reset(new TSimpleLayer(&net, 1, 40));
  net.layers[0]->SetActFunction(ActLinear);
  net.layers[1]->SetActFunction(ActTanh);
  net.inLayer = 0;
  net.Connect(0, 1);
  TBasicConnections& block = *net.priv_conns_index[1][0];
  for (int f = 0; f < 3; ++f) {
    for (int t = 0; t < 40; ++t) *block.GetWeightPtr(f, t) = -1.23456789012345e-300 * (t + 1);
  }
  const std::string file = ExpectRoundTrip(net);
  EXPECT_NE(file.find("\n-1.23456789012345e-300 -2.4691357802469e-300 "), std::string::npos);
}

// Files in the canonical layout read back and are written as they were.
TEST(NetworkRoundTripTest, CanonicalFilesAreWrittenAsTheyWereRead) {
  for (const char* name : {"/FileHandler/worked_example.net", "/Kohonen/iris_6x6.net"}) {
    SCOPED_TRACE(name);
    const std::string file = test::ReadFile(std::string(KOHPORT_TEST_DATA) + name);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Written(*Read(file)), file);
  }
}

}  // namespace
}  // namespace kohport
