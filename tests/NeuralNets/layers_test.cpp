#include <gtest/gtest.h>

#include <string>

#include "NetFixtures.h"
#include "NeuralNets/TBasicNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

// Every neuron sits at its own place: index, slot in values, layer, layer number.
template <class Layer>
void ExpectNeuronsPlaced(Layer& layer, int count) {
  ASSERT_EQ(static_cast<int>(layer.nodes.size()), count);
  ASSERT_GE(static_cast<int>(layer.values.size()), count);
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(layer.nodes[i].index, i);
    EXPECT_EQ(layer.nodes[i].output, &layer.values[i]);
    EXPECT_EQ(layer.nodes[i].layer, &layer);
    EXPECT_EQ(layer.nodes[i].layerNum, layer.layerNum);
    EXPECT_EQ(layer.GetNeuron(i), &layer.nodes[i]);
  }
}

TEST(LayerTest, ConstructionPlacesNeuronsAndFunctions) {
  LayerPtr simple(new TSimpleLayer(nullptr, 4, 3));
  auto& s = static_cast<TSimpleLayer&>(*simple);
  ExpectNeuronsPlaced(s, 3);
  EXPECT_EQ(s.actFn, nullptr);
  EXPECT_EQ(s.nodes[2].actFn, ActError);
  EXPECT_EQ(s.n_dimensions, 0);
  EXPECT_STREQ(s.GetLayerType(), "Simple");
  EXPECT_EQ(s.IsSimple(), 1);

  LayerPtr input(new TSimpleInputLayer(nullptr, 1, 2));
  EXPECT_EQ(input->actFn, ActLinear);
  EXPECT_EQ(input->GetNeuron(1)->actFn, ActLinear);
  EXPECT_STREQ(input->GetLayerType(), "Input");

  LayerPtr gain(new TGainLayer(nullptr, 2, 2, 2.5));
  EXPECT_STREQ(gain->GetLayerType(), "Gain");
  EXPECT_EQ(static_cast<TGainLayer&>(*gain).nodes[1].gain, 2.5);
}

TEST(LayerTest, ActFunctionIsSettingAndCache) {
  LayerPtr empty(new TSimpleLayer(nullptr, 0, 0));
  EXPECT_EQ(empty->GetActFunction(), ActNull);
  EXPECT_EQ(empty->actFn, ActNull);  // kept
  empty->InsertNeuron(0);
  ++empty->numNeurons;
  EXPECT_EQ(empty->GetNeuron(0)->actFn, ActNull);

  LayerPtr layer(new TSimpleLayer(nullptr, 0, 3));
  layer->GetNeuron(0)->SetActFunction(ActTanh);
  layer->GetNeuron(1)->SetActFunction(ActTanh);
  layer->GetNeuron(2)->SetActFunction(ActSigmoid);
  EXPECT_EQ(layer->GetActFunction(), nullptr);
  EXPECT_EQ(layer->actFn, nullptr);  // nothing kept
  layer->GetNeuron(2)->SetActFunction(ActTanh);
  EXPECT_EQ(layer->GetActFunction(), ActTanh);
  EXPECT_EQ(layer->actFn, ActTanh);  // cached

  layer->SetActFunction(ActBias);
  EXPECT_EQ(layer->GetNeuron(1)->actFn, ActBias);
  layer->GetNeuron(1)->SetActFunction(ActLinear);  // the layer no longer claims one
  EXPECT_EQ(layer->actFn, nullptr);
  EXPECT_EQ(layer->GetActFunction(), nullptr);
}

TEST(LayerTest, InsertAtBothEndsRenumbersAndKeepsFunctions) {
  struct Case {
    int pos;
    std::vector<TActFunction> expected;
  };
  const Case cases[] = {{0, {ActError, ActTanh, ActSigmoid}},
                        {1, {ActTanh, ActError, ActSigmoid}},
                        {2, {ActTanh, ActSigmoid, ActError}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pos);
    LayerPtr owner(new TSimpleLayer(nullptr, 5, 2));
    auto& layer = static_cast<TSimpleLayer&>(*owner);
    layer.nodes[0].SetActFunction(ActTanh);
    layer.nodes[1].SetActFunction(ActSigmoid);
    layer.values = {7.0, 8.0};
    layer.InsertNeuron(c.pos);
    EXPECT_EQ(layer.numNeurons, 2);  // the network raises the count
    ++layer.numNeurons;
    ExpectNeuronsPlaced(layer, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(layer.nodes[i].actFn, c.expected[i]);
    EXPECT_EQ(layer.values, std::vector<double>(3, 0.0));  // old values are not kept
  }
}

TEST(LayerTest, RemoveAtBothEndsKeepsTheOthers) {
  for (int pos : {0, 2}) {
    SCOPED_TRACE(pos);
    LayerPtr owner(new TGainLayer(nullptr, 3, 3, 1.0));
    auto& layer = static_cast<TGainLayer&>(*owner);
    for (int i = 0; i < 3; ++i) layer.nodes[i].gain = 1.0 + i;
    layer.RemoveNeuron(pos);
    --layer.numNeurons;
    ExpectNeuronsPlaced(layer, 2);
    EXPECT_EQ(layer.nodes[0].gain, pos == 0 ? 2.0 : 1.0);
    EXPECT_EQ(layer.nodes[1].gain, pos == 0 ? 3.0 : 2.0);
  }
}

TEST(LayerTest, InsertedGainNeuronTakesGainOfNeuronZero) {
  LayerPtr owner(new TGainLayer(nullptr, 0, 2, 1.0));
  auto& layer = static_cast<TGainLayer&>(*owner);
  layer.nodes[0].gain = 2.5;
  layer.nodes[1].gain = 4.0;
  layer.InsertNeuron(2);
  ++layer.numNeurons;
  EXPECT_EQ(layer.nodes[2].gain, 2.5);
  ExpectNeuronsPlaced(layer, 3);

  LayerPtr emptyOwner(new TGainLayer(nullptr, 0, 0, 3.0));
  auto& empty = static_cast<TGainLayer&>(*emptyOwner);
  empty.InsertNeuron(0);
  ++empty.numNeurons;
  EXPECT_EQ(empty.nodes[0].gain, 1.0);
}

TEST(LayerTest, DimensionsAreCopiedInAndOut) {
  LayerPtr layer(new TSimpleLayer(nullptr, 0, 6));
  layer->GetDimensions(nullptr);  // nothing to copy, nothing asked
  const int dims[] = {2, 3};
  layer->SetDimensions(2, dims);
  int out[2] = {0, 0};
  layer->GetDimensions(out);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 3);
  layer->SetDimensions(0, nullptr);
  EXPECT_EQ(layer->n_dimensions, 0);
  EXPECT_TRUE(layer->dimensions.empty());
}

TEST(LayerTest, CloneIsIndependent) {
  TBasicNetwork other(0);
  LayerPtr owner(new TGainLayer(nullptr, 2, 2, 1.0));
  auto& layer = static_cast<TGainLayer&>(*owner);
  layer.nodes[0].SetActFunction(ActTanhGain);
  layer.nodes[1].SetActFunction(ActLinearGain);
  layer.nodes[1].gain = 3.0;
  const int dims[] = {1, 2};
  layer.SetDimensions(2, dims);
  layer.values = {5.0, 6.0};

  LayerPtr copyOwner(layer.Clone(&other));
  auto& copy = static_cast<TGainLayer&>(*copyOwner);
  EXPECT_EQ(copy.network, &other);
  EXPECT_EQ(copy.layerNum, 2);
  ExpectNeuronsPlaced(copy, 2);
  EXPECT_EQ(copy.values, std::vector<double>(2, 0.0));
  EXPECT_EQ(copy.dimensions, layer.dimensions);
  EXPECT_EQ(copy.nodes[0].actFn, ActTanhGain);
  EXPECT_EQ(copy.nodes[1].gain, 3.0);

  copy.nodes[1].gain = 9.0;
  copy.nodes[0].SetActFunction(ActSigmoid);
  copy.values[0] = 1.0;
  EXPECT_EQ(layer.nodes[1].gain, 3.0);
  EXPECT_EQ(layer.nodes[0].actFn, ActTanhGain);
  EXPECT_EQ(layer.values[0], 5.0);

  LayerPtr inputOwner(new TSimpleInputLayer(nullptr, 1, 2));
  LayerPtr inputCopy(inputOwner->Clone(&other));
  EXPECT_STREQ(inputCopy->GetLayerType(), "Input");
  EXPECT_EQ(inputCopy->actFn, ActLinear);
}

// A four-layer network evaluated end to end:
//   layer 0: one bias neuron; layer 1: input layer of 2;
//   layer 2: two neurons, "linear" and "saturated-linear";
//   layer 3: one gain neuron, "linear-gain", gain 2.
// Blocks 0->2, 1->2, 0->3, 2->3, plus 0->1 and 3->2 that evaluation ignores.
class SmallNetworkTest : public testing::Test {
 protected:
  void SetUp() override {
    net.layers[0].reset(new TSimpleLayer(&net, 0, 1));
    net.layers[0]->SetActFunction(ActBias);
    net.layers[1].reset(new TSimpleInputLayer(&net, 1, 2));
    net.layers[2].reset(new TSimpleLayer(&net, 2, 2));
    net.layers[2]->GetNeuron(0)->SetActFunction(ActLinear);
    net.layers[2]->GetNeuron(1)->SetActFunction(ActSatLinear);
    net.layers[3].reset(new TGainLayer(&net, 3, 1, 2.0));
    net.layers[3]->SetActFunction(ActLinearGain);
    for (auto [f, t] : {std::pair{0, 2}, {1, 2}, {0, 3}, {2, 3}, {0, 1}, {3, 2}}) net.Connect(f, t);
    W(0, 2, 0, 0) = 0.25;
    W(0, 2, 0, 1) = 0.5;
    W(1, 2, 0, 0) = 2.0;
    W(1, 2, 1, 0) = 3.0;
    W(1, 2, 0, 1) = 1.0;
    W(1, 2, 1, 1) = -0.25;
    W(0, 3, 0, 0) = 1.0;
    W(2, 3, 0, 0) = 2.0;
    W(2, 3, 1, 0) = 1.0;
    W(0, 1, 0, 0) = 100.0;  // into the input layer: ignored
    W(0, 1, 0, 1) = 100.0;
    W(3, 2, 0, 0) = 100.0;  // from a higher layer: ignored
  }
  double& W(int fromLayer, int toLayer, int f, int t) {
    return *net.priv_conns_index[toLayer][fromLayer]->GetWeightPtr(f, t);
  }
  TBasicNetwork net{4};
};

TEST_F(SmallNetworkTest, EvaluatesByHand) {
  net.outLayer = 3;
  const double inputs[] = {0.5, -1.0};
  double out[1] = {0.0};
  testing::internal::CaptureStderr();
  EXPECT_EQ(net.Evaluate(inputs, out), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(net.layers[1]->values, (std::vector<double>{0.5, -1.0}));  // inputs unchanged
  // Neuron 0: 0.25 + (2 * 0.5 + 3 * -1) = -1.75; neuron 1: 0.5 + 0.75 = 1.25 -> 1.
  EXPECT_EQ(net.layers[2]->values, (std::vector<double>{-1.75, 1.0}));
  // 1 + (2 * -1.75 + 1 * 1) = -1.5, times gain 2.
  EXPECT_EQ(out[0], -3.0);
}

TEST_F(SmallNetworkTest, LayersInTheWrongPlaceWarnAndGoOn) {
  net.inLayer = 2;
  net.outLayer = 3;
  const double inputs[] = {0.5, -1.0};
  double out[1] = {0.0};
  testing::internal::CaptureStderr();
  net.Evaluate(inputs, out);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!Warning: changed input layer (TSimpleInputLayer)\n"
            "!Warning: changed input layer (TSimpleLayer)\n");
  EXPECT_EQ(net.layers[1]->values, (std::vector<double>{0.0, 0.0}));
  // Layer 2 starts from the inputs and adds the bias arcs: 0.75 and -0.5 -> 0.
  EXPECT_EQ(net.layers[2]->values, (std::vector<double>{0.75, 0.0}));
  EXPECT_EQ(out[0], 2.0 * (1.0 + 2.0 * 0.75));
}

TEST_F(SmallNetworkTest, CloneEvaluatesAlikeAndStaysApart) {
  net.outLayer = 3;
  TBasicNetwork copy(net);
  const double inputs[] = {0.5, -1.0};
  double a[1], b[1];
  net.Evaluate(inputs, a);
  copy.Evaluate(inputs, b);
  EXPECT_EQ(a[0], b[0]);
  copy.layers[2]->GetNeuron(1)->SetActFunction(ActLinear);
  copy.Evaluate(inputs, b);
  net.Evaluate(inputs, a);
  EXPECT_EQ(a[0], -3.0);
  EXPECT_EQ(b[0], 2.0 * (1.0 + 2.0 * -1.75 + 1.25));
}

TEST(LayerDeathTest, CallerErrorsAreReported) {
  LayerPtr layer(new TSimpleLayer(nullptr, 0, 2));
  const int dims[] = {2};
  layer->SetDimensions(1, dims);
  EXPECT_EXIT(layer->GetDimensions(nullptr), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("parameters != NULL"));
  EXPECT_EXIT(layer->SetDimensions(1, nullptr), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("parameters != NULL"));
  layer->n_dimensions = 2;  // claims more than it holds
  int out[2];
  EXPECT_EXIT(layer->GetDimensions(out), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("dimensions != NULL"));
}

}  // namespace
}  // namespace kohport
