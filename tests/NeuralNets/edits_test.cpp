#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NetFixtures.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

using test::Matrix;
using test::NumberWeights;

// Every invariant a structural edit must keep: blocks at their place with
// their numbers, layers and neurons numbered by position, neurons pointing
// into their layer's values.
void ExpectConsistent(TBasicNetwork& net) {
  const int n = net.numLayers;
  ASSERT_EQ(static_cast<int>(net.layers.size()), n);
  ASSERT_EQ(static_cast<int>(net.priv_conns.size()), n * n);
  ASSERT_EQ(static_cast<int>(net.priv_conns_index.size()), n);
  for (int t = 0; t < n; ++t)
    for (int f = 0; f < n; ++f) {
      SCOPED_TRACE(testing::Message() << "block " << f << "->" << t);
      TBasicConnections* block = net.priv_conns_index[t][f].get();
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block, net.priv_conns[t * n + f].get());
      EXPECT_EQ(block->fromLayer, f);
      EXPECT_EQ(block->toLayer, t);
      EXPECT_EQ(block->network, &net);
    }
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(testing::Message() << "layer " << i);
    TBasicLayer* layer = net.layers[i].get();
    EXPECT_EQ(layer->layerNum, i);
    EXPECT_EQ(layer->network, &net);
    for (int k = 0; k < layer->numNeurons; ++k) {
      TBasicNeuron* neuron = layer->GetNeuron(k);
      EXPECT_EQ(neuron->layerNum, i);
      EXPECT_EQ(neuron->index, k);
      EXPECT_EQ(neuron->layer, layer);
      EXPECT_EQ(neuron->output, &layer->values[k]);
    }
  }
}

// Four layers: 0 a hidden layer of 2, 1 the input layer of 2, 2 a hidden
// layer of 3, 3 the output layer of 2; blocks 0->2, 1->2, 2->3 and 1->3,
// every weight numbered, every function linear.
class EditTest : public testing::Test {
 protected:
  void SetUp() override {
    for (auto& layer : net.layers) layer->SetActFunction(ActLinear);
    for (auto [f, t] : {std::pair{0, 2}, {1, 2}, {2, 3}, {1, 3}}) {
      net.Connect(f, t);
      NumberWeights(net.priv_conns_index[t][f].get(), sizes[f], sizes[t]);
    }
  }
  std::vector<double> Evaluate() {
    const double in[] = {0.0, 0.0, 0.5, -1.5};  // layer 1 reads the first 2
    std::vector<double> out(net.layers[net.outLayer]->numNeurons);
    net.Evaluate(in + 2, out.data());
    return out;
  }
  const int sizes[4] = {2, 2, 3, 2};
  TConnectedNetwork net{4, sizes};
};

TEST_F(EditTest, InsertLayerAtZeroMovesEverythingUp) {
  const std::vector<double> before = Evaluate();
  TBasicConnections* block12 = net.priv_conns_index[2][1].get();
  TBasicLayer* hidden = net.layers[2].get();
  TSimpleLayer* added = new TSimpleLayer(&net, 7, 4);
  added->SetActFunction(ActLinear);
  net.InsertLayer(0, added);
  ExpectConsistent(net);
  EXPECT_EQ(net.numLayers, 5);
  EXPECT_EQ(net.inLayer, 2);
  EXPECT_EQ(net.outLayer, 4);
  EXPECT_EQ(net.layers[0].get(), added);
  EXPECT_EQ(net.layers[3].get(), hidden);
  EXPECT_EQ(net.priv_conns_index[3][2].get(), block12);  // moved, not copied
  EXPECT_EQ(Matrix(block12, 2, 3), Matrix(net.priv_conns_index[3][2].get(), 2, 3));
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(net.priv_conns_index[i][0]->IsConnected());
    EXPECT_FALSE(net.priv_conns_index[0][i]->IsConnected());
  }
  EXPECT_EQ(Evaluate(), before);
}

TEST_F(EditTest, InsertLayerAtTheEndAppends) {
  const std::vector<double> before = Evaluate();
  TSimpleLayer* added = new TSimpleLayer(&net, 4, 1);
  added->SetActFunction(ActLinear);
  net.InsertLayer(4, added);
  ExpectConsistent(net);
  EXPECT_EQ(net.numLayers, 5);
  EXPECT_EQ(net.inLayer, 1);
  EXPECT_EQ(net.outLayer, 3);
  EXPECT_EQ(Evaluate(), before);
  net.Connect(3, 4);  // the new layer can be connected like any other
  EXPECT_TRUE(net.priv_conns_index[4][3]->IsConnected());
}

TEST_F(EditTest, RemoveLayerRenumbersTheRest) {
  TBasicConnections* block13 = net.priv_conns_index[3][1].get();
  const auto weights13 = Matrix(block13, 2, 2);
  net.RemoveLayer(2);
  ExpectConsistent(net);
  EXPECT_EQ(net.numLayers, 3);
  EXPECT_EQ(net.inLayer, 1);
  EXPECT_EQ(net.outLayer, 2);
  EXPECT_EQ(net.priv_conns_index[2][1].get(), block13);
  EXPECT_EQ(Matrix(block13, 2, 2), weights13);
  EXPECT_EQ(Evaluate(), (std::vector<double>{0.5 * 1 + -1.5 * 11, 0.5 * 2 + -1.5 * 12}));

  net.RemoveLayer(0);  // below the input layer: both numbers move down
  ExpectConsistent(net);
  EXPECT_EQ(net.inLayer, 0);
  EXPECT_EQ(net.outLayer, 1);
  EXPECT_EQ(net.priv_conns_index[1][0].get(), block13);
}

// Hidden layer 2 connected to itself and fed from the input layer: the
// self-connected block takes the new row and column in one step.
TEST_F(EditTest, SelfConnectedLayerThroughInsertAndRemove) {
  net.Connect(2, 2);
  NumberWeights(net.priv_conns_index[2][2].get(), 3, 3);
  const auto self = Matrix(net.priv_conns_index[2][2].get(), 3, 3);
  const auto in12 = Matrix(net.priv_conns_index[2][1].get(), 2, 3);
  const auto out23 = Matrix(net.priv_conns_index[3][2].get(), 3, 2);

  // Draws in block order: layer 0 -> 2 (row, 2), 1 -> 2 (row, 2), 2 -> 2
  // (column, 4, then the rest of the row, 3), 2 -> 3 (column, 2).
  const std::vector<double> d = test::ExpectedDraws(99, 13, -1.0, 1.0);
  net.InsertNeuron(2, 1, -1.0, 1.0, true);
  ExpectConsistent(net);
  ASSERT_EQ(net.layers[2]->numNeurons, 4);
  const auto grown = Matrix(net.priv_conns_index[2][2].get(), 4, 4);
  for (int t = 0; t < 4; ++t)
    for (int f = 0; f < 4; ++f) {
      SCOPED_TRACE(testing::Message() << f << "->" << t);
      if (t == 1)
        EXPECT_EQ(grown[t][f], f == 1 ? d[5] : d[8 + (f > 1 ? f - 1 : f)]);
      else if (f == 1)
        EXPECT_EQ(grown[t][f], d[4 + t]);
      else
        EXPECT_EQ(grown[t][f], self[t - (t > 1)][f - (f > 1)]);
    }
  const auto rowFrom0 = Matrix(net.priv_conns_index[2][0].get(), 2, 4)[1];
  EXPECT_EQ(rowFrom0, (std::vector<double>{d[0], d[1]}));
  const auto rowFrom1 = Matrix(net.priv_conns_index[2][1].get(), 2, 4)[1];
  EXPECT_EQ(rowFrom1, (std::vector<double>{d[2], d[3]}));
  const auto grownOut = Matrix(net.priv_conns_index[3][2].get(), 4, 2);
  EXPECT_EQ(grownOut[0][1], d[11]);
  EXPECT_EQ(grownOut[1][1], d[12]);
  EXPECT_EQ(net.layers[2]->GetNeuron(1)->actFn, ActLinear);

  net.RemoveNeuron(2, 1);
  ExpectConsistent(net);
  EXPECT_EQ(Matrix(net.priv_conns_index[2][2].get(), 3, 3), self);
  EXPECT_EQ(Matrix(net.priv_conns_index[2][1].get(), 2, 3), in12);
  EXPECT_EQ(Matrix(net.priv_conns_index[3][2].get(), 3, 2), out23);

  net.RemoveNeuron(2, 2);  // the last one, then the first one
  net.RemoveNeuron(2, 0);
  ExpectConsistent(net);
  EXPECT_EQ(Matrix(net.priv_conns_index[2][2].get(), 1, 1)[0][0], self[1][1]);
}

// Pruneable blocks: hidden neuron 0/0 only feeds hidden neuron 2/1, which
// feeds nothing; input neuron 1 feeds nothing either but stays.
TEST(PruneNodesTest, RemovesAChainOfTwoAndNeverAnInputOrOutputNeuron) {
  auto net = test::MakeBasicNetwork({2, 2, 2, 1});
  net->Connect(0, 2);
  net->Connect(1, 2);
  net->Connect(2, 3);
  TBasicConnections* b02 = net->priv_conns_index[2][0].get();
  TBasicConnections* b12 = net->priv_conns_index[2][1].get();
  TBasicConnections* b23 = net->priv_conns_index[3][2].get();
  NumberWeights(b02, 2, 2);
  b02->Prune(0, 0);  // 0/0 -> 2/1 only
  b12->Prune(1, 0);
  b12->Prune(1, 1);  // input 1 feeds nothing
  b23->Prune(1, 0);  // 2/1 feeds nothing
  EXPECT_EQ(net->PruneNodes(), 2);
  ExpectConsistent(*net);
  EXPECT_EQ(net->layers[0]->numNeurons, 1);
  EXPECT_EQ(net->layers[1]->numNeurons, 2);
  EXPECT_EQ(net->layers[2]->numNeurons, 1);
  EXPECT_EQ(net->layers[3]->numNeurons, 1);
  // What was 0/1 -> 2/0 is now the only arc of block 0 -> 2.
  EXPECT_EQ(*net->priv_conns_index[2][0]->GetWeightPtr(0, 0), 11.0);
  EXPECT_EQ(net->priv_conns_index[2][0]->GetNumWeights(FMaskExists), 1);
  EXPECT_EQ(net->PruneNodes(), 0);
}

TEST(EditDeathTest, PreconditionsAreAssertions) {
  const int sizes[] = {1, 1, 2, 1};
  TConnectedNetwork net(4, sizes);
  struct Case {
    const char* text;
    void (*call)(TConnectedNetwork&);
  };
  const Case cases[] = {
      {"LayerNum>=0", [](TConnectedNetwork& n) { n.InsertNeuron(-1, 0, 0, 0, true); }},
      {"LayerNum<numLayers", [](TConnectedNetwork& n) { n.InsertNeuron(4, 0, 0, 0, true); }},
      {"LayerNum!=inLayer", [](TConnectedNetwork& n) { n.InsertNeuron(1, 0, 0, 0, true); }},
      {"LayerNum!=outLayer", [](TConnectedNetwork& n) { n.InsertNeuron(3, 0, 0, 0, true); }},
      {"node>=0", [](TConnectedNetwork& n) { n.InsertNeuron(2, -1, 0, 0, true); }},
      {"node<=GetNumNeurons()", [](TConnectedNetwork& n) { n.InsertNeuron(2, 3, 0, 0, true); }},
      {"LayerNum>=0", [](TConnectedNetwork& n) { n.RemoveNeuron(-1, 0); }},
      {"LayerNum<numLayers", [](TConnectedNetwork& n) { n.RemoveNeuron(4, 0); }},
      {"LayerNum!=inLayer", [](TConnectedNetwork& n) { n.RemoveNeuron(1, 0); }},
      {"LayerNum!=outLayer", [](TConnectedNetwork& n) { n.RemoveNeuron(3, 0); }},
      {"node>=0", [](TConnectedNetwork& n) { n.RemoveNeuron(2, -1); }},
      {"node<GetNumNeurons()", [](TConnectedNetwork& n) { n.RemoveNeuron(2, 2); }},
      {"LayerNum>=0", [](TConnectedNetwork& n) { n.InsertLayer(-1, new TSimpleLayer(&n, 0, 1)); }},
      {"LayerNum<=numLayers",
       [](TConnectedNetwork& n) { n.InsertLayer(5, new TSimpleLayer(&n, 0, 1)); }},
      {"layer != NULL", [](TConnectedNetwork& n) { n.InsertLayer(0, nullptr); }},
      {"LayerNum>=0", [](TConnectedNetwork& n) { n.RemoveLayer(-1); }},
      {"LayerNum<numLayers", [](TConnectedNetwork& n) { n.RemoveLayer(4); }},
      {"LayerNum!=inLayer", [](TConnectedNetwork& n) { n.RemoveLayer(1); }},
      {"LayerNum!=outLayer", [](TConnectedNetwork& n) { n.RemoveLayer(3); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EXIT(c.call(net), testing::ExitedWithCode(3), test::AssertionReportAnyPlace(c.text));
  }
  TConnectedNetwork other(4, sizes);
  EXPECT_EXIT(net.InsertLayer(0, new TSimpleLayer(&other, 0, 1)), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("layer->network == this"));
}

}  // namespace
}  // namespace kohport
