#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "NetFixtures.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

using Arc = std::pair<int, int>;  // from layer, from-neuron

// Checks everything the iterator says about its current arc against the
// network, and returns the arc.
Arc Current(TConnectedNetwork& net, const TArcsIterator& it) {
  const int f = it.GetFromLayer();
  const int i = it.GetFromIndex();
  EXPECT_EQ(it.GetFromNeuron(), net.layers[f]->GetNeuron(i));
  EXPECT_EQ(it.GetToNeuron(), net.layers[it.GetToLayer()]->GetNeuron(it.GetToIndex()));
  EXPECT_EQ(it.GetWeightPtr(),
            net.priv_conns_index[it.GetToLayer()][f]->GetWeightPtr(i, it.GetToIndex()));
  EXPECT_TRUE(it.IsValid());
  EXPECT_EQ(static_cast<int>(it), 1);
  return {f, i};
}

std::vector<Arc> WalkForward(TConnectedNetwork& net, TArcsIterator& it) {
  std::vector<Arc> arcs;
  while (it.Next()) arcs.push_back(Current(net, it));
  return arcs;
}

std::vector<Arc> WalkBackward(TConnectedNetwork& net, TArcsIterator& it) {
  std::vector<Arc> arcs;
  while (it.Prev()) arcs.push_back(Current(net, it));
  return arcs;
}

// Three layers of 2, 3 and 2 neurons with blocks 0->2 and 1->2.
class ThreeLayerTest : public testing::Test {
 protected:
  void SetUp() override {
    net.Connect(0, 2);
    net.Connect(1, 2);
    test::NumberWeights(net.priv_conns_index[2][0].get(), 2, 2);
    test::NumberWeights(net.priv_conns_index[2][1].get(), 3, 2);
  }
  const int sizes[3] = {2, 3, 2};
  TConnectedNetwork net{3, sizes};
};

TEST_F(ThreeLayerTest, ForwardWalkYieldsEveryLowerLayerInOrder) {
  std::unique_ptr<TArcsIterator> it = net.NewInAllArcsIterator();
  auto* all = dynamic_cast<TConnInAllArcsIterator*>(it.get());
  ASSERT_NE(all, nullptr);
  all->Start(2, 1);
  EXPECT_FALSE(all->IsValid());
  EXPECT_EQ(all->GetToLayer(), 2);
  EXPECT_EQ(all->GetToIndex(), 1);
  const std::vector<Arc> expected = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 2}};
  EXPECT_EQ(WalkForward(net, *all), expected);
  // Past the end: after the last layer, not valid, and it stays there.
  EXPECT_EQ(all->GetFromLayer(), 2);
  EXPECT_EQ(all->GetFromIndex(), -1);
  EXPECT_FALSE(all->IsValid());
  EXPECT_EQ(static_cast<int>(*all), 0);
  EXPECT_FALSE(all->Next());
  EXPECT_EQ(all->GetFromLayer(), 2);
}

TEST_F(ThreeLayerTest, BackwardWalkAfterTheEndAndPrevAfterStart) {
  TConnInAllArcsIterator it(&net);
  it.StartAt(net.layers[2]->GetNeuron(0));
  EXPECT_FALSE(it.Prev());  // nothing before the first arc
  EXPECT_FALSE(it.IsValid());
  EXPECT_EQ(WalkForward(net, it).size(), 5u);  // Prev at the start did not move it
  const std::vector<Arc> expected = {{1, 2}, {1, 1}, {1, 0}, {0, 1}, {0, 0}};
  EXPECT_EQ(WalkBackward(net, it), expected);
  EXPECT_EQ(it.GetFromLayer(), 0);
  EXPECT_FALSE(it.Prev());
}

TEST_F(ThreeLayerTest, PrevAndNextTurnWithinAndAcrossLayers) {
  TConnInAllArcsIterator it(&net);
  it.Start(2, 0);
  ASSERT_TRUE(it.Next());
  ASSERT_TRUE(it.Next());
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(Current(net, it), Arc(1, 0));
  ASSERT_TRUE(it.Prev());
  EXPECT_EQ(Current(net, it), Arc(0, 1));
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(Current(net, it), Arc(1, 0));
}

TEST_F(ThreeLayerTest, WritingThroughTheWeightPointerChangesTheNetwork) {
  TConnInAllArcsIterator it(&net);
  it.Start(2, 1);
  while (it.Next()) *it.GetWeightPtr() = 100.0 * it.GetFromLayer() + it.GetFromIndex();
  EXPECT_EQ(*net.priv_conns_index[2][0]->GetWeightPtr(1, 1), 1.0);
  EXPECT_EQ(*net.priv_conns_index[2][1]->GetWeightPtr(2, 1), 102.0);
  EXPECT_EQ(*net.priv_conns_index[2][1]->GetWeightPtr(2, 0), 21.0);  // other to-neuron untouched
  // The network computes with the new weights.
  for (auto& layer : net.layers) layer->SetActFunction(ActLinear);
  const double in[] = {0.0, 0.0, 1.0};
  double out[2];
  net.Evaluate(in, out);
  EXPECT_EQ(out[1], 102.0);
}

// Four layers: 0 (no neurons) connected into 2, 1 -> 2, 2 -> 2 (itself),
// 3 -> 2 (a higher layer); a walk into layer 2 skips layer 0.
TEST(ConnInAllArcsIteratorTest, SkipsEmptyLayersAndBlocksAndTakesEqualAndHigherLayers) {
  const int sizes[] = {0, 2, 2, 3};
  TConnectedNetwork net(4, sizes);
  for (int from : {0, 1, 2, 3}) net.Connect(from, 2);
  TConnInAllArcsIterator it(&net);
  it.Start(2, 1);
  const std::vector<Arc> all = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {3, 2}};
  EXPECT_EQ(WalkForward(net, it), all);
  // After the end the backward search starts below the last layer.
  EXPECT_EQ(it.GetFromLayer(), 3);
  const std::vector<Arc> back = {{2, 1}, {2, 0}, {1, 1}, {1, 0}};
  EXPECT_EQ(WalkBackward(net, it), back);

  net.Disconnect(2, 2);
  net.Disconnect(1, 2);
  it.Start(2, 0);
  const std::vector<Arc> rest = {{3, 0}, {3, 1}, {3, 2}};
  EXPECT_EQ(WalkForward(net, it), rest);
  it.Start(1, 0);  // nothing leads into layer 1
  EXPECT_FALSE(it.Next());
  EXPECT_FALSE(it.Prev());
}

TEST(ConnInAllArcsIteratorTest, KohonenUnitHasOneArcPerInput) {
  const int sizes[] = {2, 2};
  TKohonenNetwork map(3, 2, sizes);
  map.RandomizeWeights(-1.0, 1.0);
  std::unique_ptr<TArcsIterator> it = map.NewInAllArcsIterator();
  static_cast<TInAllArcsIterator&>(*it).Start(2, 3);
  double* const* rows = map.priv_conns_index[2][1]->GetWeightRows();
  for (int j = 0; j < 3; ++j) {
    ASSERT_TRUE(it->Next());
    EXPECT_EQ(it->GetFromLayer(), 1);
    EXPECT_EQ(it->GetWeightPtr(), &rows[3][j]);
  }
  EXPECT_FALSE(it->Next());
}

TEST_F(ThreeLayerTest, LayerIteratorWalksOnePair) {
  TConnInLayerArcsIterator it(&net);
  it.Start(2, 1, 1);
  EXPECT_TRUE(it.IsValid());  // inside a connecting block from Start on
  EXPECT_FALSE(it.Prev());
  const std::vector<Arc> expected = {{1, 0}, {1, 1}, {1, 2}};
  EXPECT_EQ(WalkForward(net, it), expected);
  EXPECT_EQ(it.GetFromIndex(), 2);  // stays on the last arc
  EXPECT_EQ(*it.GetWeightPtr(), 10.0 * 2 + 1 + 1);
  const std::vector<Arc> back = {{1, 1}, {1, 0}};
  EXPECT_EQ(WalkBackward(net, it), back);

  it.StartAt(net.layers[2]->GetNeuron(0));  // from layer 0
  EXPECT_EQ(WalkForward(net, it).size(), 2u);
  EXPECT_EQ(it.GetFromLayer(), 0);
}

TEST_F(ThreeLayerTest, LayerIteratorOnAnEmptyBlockYieldsNothing) {
  TConnInLayerArcsIterator it(&net);
  EXPECT_FALSE(it.Next());  // not started: nothing to walk
  it.Start(2, 0, 2);
  EXPECT_FALSE(it.IsValid());
  EXPECT_FALSE(it.Next());
  EXPECT_FALSE(it.Prev());
  it.Start(1, 0, 0);
  EXPECT_FALSE(it.Next());
}

TEST(ArcsIteratorDeathTest, ReservedSlotsAndMisuse) {
  const int sizes[] = {1, 1, 1};
  TConnectedNetwork net(3, sizes);
  TConnInAllArcsIterator all(&net);
  TConnInLayerArcsIterator one(&net);
  const std::string refused = test::AssertionReportAnyPlace("false");
  EXPECT_EXIT(all.Reserved7(), testing::ExitedWithCode(3), refused);
  EXPECT_EXIT(all.Reserved9(), testing::ExitedWithCode(3), refused);
  EXPECT_EXIT(one.Reserved10(), testing::ExitedWithCode(3), refused);
  EXPECT_EXIT(all.Next(), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("Start before Next/Prev"));
  const std::string layer = test::AssertionReportAnyPlace("layer>=0 && layer<numLayers");
  const std::string index = test::AssertionReportAnyPlace("index>=0 && index<numNeurons");
  EXPECT_EXIT(all.Start(3, 0), testing::ExitedWithCode(3), layer);
  EXPECT_EXIT(all.Start(2, 1), testing::ExitedWithCode(3), index);
  EXPECT_EXIT(one.Start(2, 0, -1), testing::ExitedWithCode(3), layer);
  EXPECT_EXIT(one.Start(-1, 0, 0), testing::ExitedWithCode(3), layer);
}

}  // namespace
}  // namespace kohport
