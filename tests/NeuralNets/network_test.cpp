#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "NetFixtures.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "TestUtil.h"

namespace kohport {
namespace {

using test::MakeBasicNetwork;
using test::NumberWeights;

void ExpectBlockMatrixConsistent(TBasicNetwork& net) {
  ASSERT_EQ(static_cast<int>(net.priv_conns.size()), net.numLayers * net.numLayers);
  for (int t = 0; t < net.numLayers; ++t)
    for (int f = 0; f < net.numLayers; ++f) {
      SCOPED_TRACE(testing::Message() << f << "->" << t);
      TBasicConnections* block = net.priv_conns_index[t][f].get();
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block, net.priv_conns[t * net.numLayers + f].get());
      EXPECT_EQ(block->fromLayer, f);
      EXPECT_EQ(block->toLayer, t);
      EXPECT_EQ(block->network, &net);
    }
  for (int i = 0; i < net.numLayers; ++i) {
    EXPECT_EQ(net.layers[i]->layerNum, i);
    EXPECT_EQ(net.layers[i]->network, &net);
  }
}

TEST(BasicNetworkTest, NewNetworkHasEmptyBlocksOnly) {
  auto net = MakeBasicNetwork({0, 2, 3});
  EXPECT_EQ(net->numLayers, 3);
  EXPECT_EQ(net->inLayer, 1);
  EXPECT_EQ(net->outLayer, 2);
  EXPECT_STREQ(net->GetNetworkType(), "Basic");
  ExpectBlockMatrixConsistent(*net);
  for (auto& block : net->priv_conns) EXPECT_STREQ(block->GetConnectionsNType(), "Empty");
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 0);
  EXPECT_EQ(net->GetNumWeights(FMaskAll), 0);
  ASSERT_NE(net->fnRegistry, nullptr);
  EXPECT_EQ(net->fnRegistry->GetFunction("tanh"), ActTanh);
}

TEST(BasicNetworkTest, ConnectKeepsAnExistingBlockAndDisconnectReplacesIt) {
  auto net = MakeBasicNetwork({0, 2, 3});
  net->Connect(1, 2);
  TBasicConnections* first = net->priv_conns_index[2][1].get();
  EXPECT_STREQ(first->GetConnectionsNType(), "Pruneable");
  *first->GetWeightPtr(1, 2) = 4.5;
  net->Connect(1, 2);
  EXPECT_EQ(net->priv_conns_index[2][1].get(), first);
  EXPECT_EQ(*first->GetWeightPtr(1, 2), 4.5);
  net->Disconnect(1, 2);
  EXPECT_STREQ(net->priv_conns_index[2][1]->GetConnectionsNType(), "Empty");
  net->Connect(1, 2);
  EXPECT_EQ(*net->priv_conns_index[2][1]->GetWeightPtr(1, 2), 0.0);
  ExpectBlockMatrixConsistent(*net);

  // A block put in by hand through the index replaces the old one.
  net->priv_conns_index[2][1].reset(new TConnectedConnections(net.get(), 1, 2));
  EXPECT_STREQ(net->priv_conns[2 * 3 + 1]->GetConnectionsNType(), "FullyConnected");
}

TEST(ConnectedNetworkTest, BuildsLayersAndConnectsFully) {
  const int sizes[] = {1, 2, 3};
  TConnectedNetwork net(3, sizes);
  EXPECT_STREQ(net.GetNetworkType(), "Connected");
  EXPECT_STREQ(net.layers[0]->GetLayerType(), "Simple");
  EXPECT_STREQ(net.layers[1]->GetLayerType(), "Input");
  EXPECT_STREQ(net.layers[2]->GetLayerType(), "Simple");
  EXPECT_EQ(net.layers[2]->numNeurons, 3);
  EXPECT_EQ(net.layers[2]->GetNeuron(2)->actFn, ActError);
  ExpectBlockMatrixConsistent(net);
  net.Connect(1, 2);
  TBasicConnections* block = net.priv_conns_index[2][1].get();
  EXPECT_STREQ(block->GetConnectionsNType(), "FullyConnected");
  *block->GetWeightPtr(0, 0) = 2.0;
  net.Connect(1, 2);
  EXPECT_EQ(net.priv_conns_index[2][1].get(), block);
  EXPECT_EQ(*block->GetWeightPtr(0, 0), 2.0);

  TConnectedNetwork bare(2);
  EXPECT_EQ(bare.layers.size(), 2u);
  EXPECT_EQ(bare.layers[0], nullptr);  // for the builder to fill; released safely unfilled
}

// Blocks 0->2, 1->2 and 2->0 with distinct weights: the vector holds them
// from layer outer, to layer inner.
TEST(BasicNetworkTest, WeightVectorOrderAcrossBlocks) {
  auto net = MakeBasicNetwork({1, 2, 2});
  net->Connect(2, 0);
  net->Connect(1, 2);
  net->Connect(0, 2);
  auto fill = [&](int f, int t, double base) {
    TBasicConnections* b = net->priv_conns_index[t][f].get();
    for (int tt = 0; tt < net->layers[t]->numNeurons; ++tt)
      for (int ff = 0; ff < net->layers[f]->numNeurons; ++ff)
        *b->GetWeightPtr(ff, tt) = base + 10 * ff + tt;
  };
  fill(0, 2, 100);
  fill(1, 2, 200);
  fill(2, 0, 300);
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 2 + 4 + 2);
  std::vector<double> out(8);
  EXPECT_EQ(net->GetWeights(out.data(), FMaskAll), 8);
  // Pruneable blocks lay their weights out to-neuron by to-neuron.
  EXPECT_EQ(out, (std::vector<double>{100, 101, 200, 210, 201, 211, 300, 310}));
  const std::vector<double> in{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(net->SetWeights(in.data(), FMaskAll), 8);
  EXPECT_EQ(*net->priv_conns_index[2][1]->GetWeightPtr(1, 0), 4.0);
  EXPECT_EQ(*net->priv_conns_index[0][2]->GetWeightPtr(1, 0), 8.0);

  // Randomizing visits the blocks in the same order.
  const std::vector<double> d = test::ExpectedDraws(77, 8, -1.0, 1.0);
  net->RandomizeWeights(-1.0, 1.0);
  net->GetWeights(out.data(), FMaskAll);
  EXPECT_EQ(out, d);
}

TEST(BasicNetworkTest, GetNeuronCountsLayersInOrder) {
  auto net = MakeBasicNetwork({2, 1, 0, 3});
  EXPECT_EQ(net->GetNumNeurons(), 6);
  EXPECT_EQ(net->GetNeuron(0), net->layers[0]->GetNeuron(0));
  EXPECT_EQ(net->GetNeuron(2), net->layers[1]->GetNeuron(0));
  EXPECT_EQ(net->GetNeuron(3), net->layers[3]->GetNeuron(0));  // layer 2 has none
  EXPECT_EQ(net->GetNeuron(5), net->layers[3]->GetNeuron(2));
}

struct ArcLog : TIterateObj {
  void Process() override { arcs.push_back({fromLayer, fromNeuron, toLayer, toNeuron}); }
  std::vector<std::vector<int>> arcs;
};

TEST(BasicNetworkTest, VisitInAndOutArcsWalkEveryLayer) {
  auto net = MakeBasicNetwork({2, 1, 2});
  net->Connect(0, 2);
  net->Connect(1, 2);
  net->Connect(2, 2);
  net->Connect(2, 0);
  ArcLog in;
  net->VisitInArcs(&in, 2, 1, FMaskExists);
  EXPECT_EQ(in.arcs, (std::vector<std::vector<int>>{
                         {0, 0, 2, 1}, {0, 1, 2, 1}, {1, 0, 2, 1}, {2, 0, 2, 1}, {2, 1, 2, 1}}));
  ArcLog out;
  net->VisitOutArcs(&out, 2, 0, FMaskExists);
  EXPECT_EQ(out.arcs, (std::vector<std::vector<int>>{
                          {2, 0, 0, 0}, {2, 0, 0, 1}, {2, 0, 2, 0}, {2, 0, 2, 1}}));
}

class AssignmentTest : public testing::Test {
 protected:
  // A network with two connected blocks and set weights.
  static std::unique_ptr<TBasicNetwork> Connected(const std::vector<int>& sizes) {
    auto net = MakeBasicNetwork(sizes);
    const int n = static_cast<int>(sizes.size());
    net->Connect(1, n - 1);
    net->Connect(0, n - 1);
    net->outLayer = n - 1;
    net->RandomizeWeights(-1.0, 1.0);
    return net;
  }
  static std::vector<double> Weights(TBasicNetwork& net) {
    std::vector<double> w(net.GetNumWeights(FMaskExists));
    net.GetWeights(w.data(), FMaskExists);
    return w;
  }
};

TEST_F(AssignmentTest, SelfAssignmentChangesNothing) {
  auto net = Connected({1, 2, 3});
  const std::vector<double> before = Weights(*net);
  TBasicConnections* block = net->priv_conns_index[2][1].get();
  TBasicNetwork& same = *net;
  *net = same;
  EXPECT_EQ(net->priv_conns_index[2][1].get(), block);
  EXPECT_EQ(Weights(*net), before);
}

TEST_F(AssignmentTest, LargerIntoSmallerTakesEverythingOver) {
  auto small = Connected({1, 2});
  auto large = Connected({1, 3, 2, 4});
  large->layers[3]->SetActFunction(ActTanh);
  large->inLayer = 1;
  *small = *large;
  EXPECT_EQ(small->numLayers, 4);
  EXPECT_EQ(small->outLayer, 3);
  ExpectBlockMatrixConsistent(*small);
  EXPECT_EQ(Weights(*small), Weights(*large));
  EXPECT_EQ(small->layers[3]->GetNeuron(0)->actFn, ActTanh);

  const double in[] = {0.5, -0.25, 1.0};
  std::vector<double> a(4), b(4);
  small->Evaluate(in, a.data());
  large->Evaluate(in, b.data());
  EXPECT_EQ(a, b);

  // Independent afterwards.
  *small->priv_conns_index[3][1]->GetWeightPtr(0, 0) = 42.0;
  EXPECT_NE(*large->priv_conns_index[3][1]->GetWeightPtr(0, 0), 42.0);
  large.reset();
  small->Evaluate(in, a.data());
}

TEST_F(AssignmentTest, CopyOfConnectedNetworkKeepsItsClass) {
  const int sizes[] = {0, 2, 2};
  TConnectedNetwork net(3, sizes);
  net.Connect(1, 2);
  TConnectedNetwork copy(net);
  EXPECT_STREQ(copy.GetNetworkType(), "Connected");
  ExpectBlockMatrixConsistent(copy);
  copy.Connect(2, 2);
  EXPECT_STREQ(copy.priv_conns_index[2][2]->GetConnectionsNType(), "FullyConnected");
  net = copy;
  ExpectBlockMatrixConsistent(net);
}

TEST(BasicNetworkDeathTest, CallerErrors) {
  auto net = MakeBasicNetwork({1, 2});
  EXPECT_EXIT(net->GetNeuron(-1), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("index>=0"));
  EXPECT_EXIT(net->GetNeuron(3), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("index<GetNumNeurons()"));
  const std::string refused = test::AssertionReportAnyPlace("false");
  EXPECT_EXIT(net->NewInAllArcsIterator(), testing::ExitedWithCode(3), refused);
  EXPECT_EXIT(net->Reserved10(), testing::ExitedWithCode(3), refused);
  EXPECT_EXIT(net->Reserved12(), testing::ExitedWithCode(3), refused);
  TBasicNetwork unfilled(2);
  EXPECT_EXIT(TBasicNetwork{unfilled}, testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("x.layers[i] != NULL"));
}

}  // namespace
}  // namespace kohport
