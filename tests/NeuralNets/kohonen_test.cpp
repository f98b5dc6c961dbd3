#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NetFixtures.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"
#include "common/TException.h"

namespace kohport {
namespace {

// The scalar definition of the best match, unit by unit.
int ReferenceBestMatch(TKohonenNetwork& map, const double* input) {
  const int n = map.layers[1]->numNeurons;
  const int u = map.layers[2]->numNeurons;
  TBasicConnections* block = map.priv_conns_index[2][1].get();
  int best = -1;
  double bestDist = 0.0;
  for (int i = 0; i < u; ++i) {
    double d = 0.0;
    for (int j = 0; j < n; ++j) {
      const double e = input[j] - *block->GetWeightPtr(j, i);
      d = d + e * e;
    }
    if (best < 0 ? !std::isnan(d) : d < bestDist) {
      best = i;
      bestDist = d;
    }
  }
  return best;
}

double& Weight(TKohonenNetwork& map, int unit, int input) {
  return *map.priv_conns_index[2][1]->GetWeightPtr(input, unit);
}

TEST(KohonenTest, FullConstructorBuildsTheMapShape) {
  const int sizes[] = {3, 4};
  TKohonenNetwork map(5, 2, sizes);
  EXPECT_STREQ(map.GetNetworkType(), "Kohonen");
  EXPECT_EQ(map.numLayers, 3);
  EXPECT_EQ(map.inLayer, 1);
  EXPECT_EQ(map.outLayer, 2);
  EXPECT_EQ(map.layers[0]->numNeurons, 0);
  EXPECT_EQ(map.layers[0]->actFn, ActError);
  EXPECT_STREQ(map.layers[1]->GetLayerType(), "Input");
  EXPECT_EQ(map.layers[1]->numNeurons, 5);
  EXPECT_EQ(map.layers[1]->GetActFunction(), ActLinear);
  EXPECT_EQ(map.layers[2]->numNeurons, 12);
  EXPECT_EQ(map.layers[2]->GetActFunction(), ActLinear);
  for (int t = 0; t < 3; ++t)
    for (int f = 0; f < 3; ++f)
      EXPECT_STREQ(map.priv_conns_index[t][f]->GetConnectionsNType(),
                   t == 2 && f == 1 ? "FullyConnected" : "Empty");
  auto& block = static_cast<TConnectedConnections&>(*map.priv_conns_index[2][1]);
  EXPECT_EQ(block.array_weights, std::vector<double>(60, 0.0));
  EXPECT_EQ(&block.index_weights[7][2], &Weight(map, 7, 2));
  EXPECT_EQ(map.GetNumDimensions(), 2);
  int dims[2];
  map.GetDimensions(dims);
  EXPECT_EQ(dims[0], 3);
  EXPECT_EQ(dims[1], 4);

  TKohonenNetwork flat(2, 0, nullptr);
  EXPECT_EQ(flat.layers[2]->numNeurons, 1);
  EXPECT_EQ(flat.GetNumDimensions(), 0);
}

TEST(KohonenTest, DefaultConstructorLeavesSlotsForTheReader) {
  TKohonenNetwork map;
  EXPECT_EQ(map.numLayers, 3);
  EXPECT_EQ(map.layers[1], nullptr);
  EXPECT_EQ(map.GetNumDimensions(), 0);
  EXPECT_TRUE(map.dimensions.empty());
  map.GetDimensions(nullptr);
}

TEST(KohonenTest, CoordinatesAndIndices) {
  struct Case {
    std::vector<int> sizes;
    std::vector<int> coords;
    int index;
  };
  const Case cases[] = {
      {{3, 4}, {2, 1}, 9},        {{3, 4}, {2, 3}, 11},      {{3, 4}, {0, 0}, 0},
      {{2, 3, 4}, {1, 2, 3}, 23}, {{2, 3, 4}, {0, 1, 0}, 4}, {{5}, {4}, 4},
      {{6, 6}, {5, 2}, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const int dims = static_cast<int>(c.sizes.size());
    TKohonenNetwork map(1, dims, c.sizes.data());
    EXPECT_EQ(map.CoordinatesToIndex(c.coords.data()), c.index);
    EXPECT_EQ(CoordinatesToIndex(dims, c.sizes.data(), c.coords.data()), c.index);
    std::vector<int> back(dims, -1);
    map.IndexToCoordinates(back.data(), c.index);
    EXPECT_EQ(back, c.coords);
  }
}

class BestMatchTest : public testing::Test {
 protected:
  // A 2 x 3 map of two inputs; unit u has weights (u, -u).
  void SetUp() override {
    for (int u = 0; u < 6; ++u) {
      Weight(map, u, 0) = u;
      Weight(map, u, 1) = -u;
    }
  }
  const int sizes[2] = {2, 3};
  TKohonenNetwork map{2, 2, sizes};
};

TEST_F(BestMatchTest, NearestUnitAndItsWeights) {
  const double input[] = {3.2, -2.9};
  double w[2] = {0, 0};
  EXPECT_EQ(map.BestMatch(input, w), 3);
  EXPECT_EQ(w[0], 3.0);
  EXPECT_EQ(w[1], -3.0);
  const double exact[] = {5.0, -5.0};
  EXPECT_EQ(map.BestMatch(exact, w), 5);
}

TEST_F(BestMatchTest, TiesGoToTheLowerIndex) {
  const double midway[] = {2.5, -2.5};  // as near to unit 2 as to unit 3
  double w[2];
  EXPECT_EQ(map.BestMatch(midway, w), 2);
  for (int unit : {1, 4}) {  // duplicates of unit 5, and of unit 0 ahead of it
    Weight(map, unit, 0) = 5.0;
    Weight(map, unit, 1) = -5.0;
  }
  const double atFive[] = {5.0, -5.0};
  EXPECT_EQ(map.BestMatch(atFive, w), 1);
}

TEST_F(BestMatchTest, HugeInputsStillFindTheNearestUnit) {
  // Squared distances of 1e30 and beyond.
  Weight(map, 4, 0) = 1e16;
  const double far[] = {2e16, 0.0};
  double w[2];
  EXPECT_EQ(map.BestMatch(far, w), 4);
  EXPECT_EQ(w[0], 1e16);
  // Every distance overflows to infinity: the first unit wins the tie.
  const double huge[] = {1e300, -1e300};
  EXPECT_EQ(map.BestMatch(huge, w), 0);
}

TEST_F(BestMatchTest, UnitsAtNoMeasurableDistanceNeverWin) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Weight(map, 0, 1) = nan;
  Weight(map, 1, 0) = nan;
  const double input[] = {0.0, 0.0};
  double w[2];
  EXPECT_EQ(map.BestMatch(input, w), 2);
}

TEST_F(BestMatchTest, EvaluateIsTheBestMatch) {
  const double input[] = {0.9, -1.2};
  double out[2] = {0, 0};
  EXPECT_EQ(map.Evaluate(input, out), 1);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[1], -1.0);
  EXPECT_EQ(map.layers[1]->values, std::vector<double>(2, 0.0));  // layers untouched
  EXPECT_EQ(map.layers[2]->values, std::vector<double>(6, 0.0));
}

TEST_F(BestMatchTest, RandomizeChangesOnlyTheInputBlock) {
  map.Connect(2, 2);
  *map.priv_conns_index[2][2]->GetWeightPtr(1, 1) = 7.0;
  const std::vector<double> d = test::ExpectedDraws(8, 12, 0.0, 1.0);
  map.RandomizeWeights(0.0, 1.0);
  EXPECT_EQ(Weight(map, 0, 0), d[0]);
  EXPECT_EQ(Weight(map, 5, 1), d[11]);
  EXPECT_EQ(*map.priv_conns_index[2][2]->GetWeightPtr(1, 1), 7.0);
  EXPECT_EQ(*map.priv_conns_index[2][2]->GetWeightPtr(0, 0), 0.0);
}

TEST_F(BestMatchTest, CopyAndAssignmentKeepDimensionsAndWeights) {
  TKohonenNetwork copy(map);
  EXPECT_EQ(copy.dimensions, map.dimensions);
  const double input[] = {3.9, -4.2};
  double a[2], b[2];
  EXPECT_EQ(copy.BestMatch(input, a), map.BestMatch(input, b));
  TKohonenNetwork other;
  other = map;
  EXPECT_EQ(other.GetNumDimensions(), 2);
  EXPECT_STREQ(other.GetNetworkType(), "Kohonen");
  EXPECT_EQ(other.BestMatch(input, a), 4);
}

TEST(BestMatchRefusalTest, RefusedWithAMessage) {
  struct Case {
    const char* name;
    std::function<int()> call;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const int none[] = {0, 4};
  TKohonenNetwork empty(2, 2, none);
  const int sizes[] = {2};
  TKohonenNetwork map(2, 1, sizes);
  TKohonenNetwork unconnected;
  unconnected.layers[0].reset(new TSimpleLayer(&unconnected, 0, 0));
  unconnected.layers[1].reset(new TSimpleInputLayer(&unconnected, 1, 2));
  unconnected.layers[2].reset(new TSimpleLayer(&unconnected, 2, 3));
  double w[2];
  const double nanInput[] = {nan, 1.0};
  const double input[] = {0.0, 1.0};
  const Case cases[] = {
      {"no units", [&] { return empty.BestMatch(input, w); }},
      {"all distances not a number", [&] { return map.BestMatch(nanInput, w); }},
      {"no block from inputs to units", [&] { return unconnected.BestMatch(input, w); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      ADD_FAILURE() << "no exception";
    } catch (const TException& e) {
      EXPECT_EQ(e.category, std::string("Bad Parameter"));
      EXPECT_EQ(e.location, std::string("TKohonenNetwork::BestMatch"));
      EXPECT_STRNE(e.Message(), "");
    }
  }
}

// The four-units-at-a-time loop against the scalar definition, on random
// maps whose unit counts leave every remainder, with duplicated units and
// inputs midway between two units.
TEST(BestMatchRandomTest, AgreesWithTheScalarDefinition) {
  std::mt19937 gen(12345);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  for (int units : {1, 3, 4, 5, 8, 13, 30}) {
    for (int inputs : {1, 3, 7}) {
      SCOPED_TRACE(testing::Message() << units << " units, " << inputs << " inputs");
      TKohonenNetwork map(inputs, 1, &units);
      for (int u = 0; u < units; ++u)
        for (int j = 0; j < inputs; ++j) Weight(map, u, j) = uni(gen);
      if (units > 2)
        for (int j = 0; j < inputs; ++j) Weight(map, units - 1, j) = Weight(map, 1, j);
      std::vector<double> in(inputs), w(inputs);
      for (int trial = 0; trial < 50; ++trial) {
        const int a = static_cast<int>(gen() % units), b = static_cast<int>(gen() % units);
        for (int j = 0; j < inputs; ++j)
          in[j] = trial % 2 ? uni(gen) : (Weight(map, a, j) + Weight(map, b, j)) / 2;
        const int expected = ReferenceBestMatch(map, in.data());
        ASSERT_EQ(map.BestMatch(in.data(), w.data()), expected);
        for (int j = 0; j < inputs; ++j) EXPECT_EQ(w[j], Weight(map, expected, j));
      }
    }
  }
}

TEST(KohonenDeathTest, CallerErrors) {
  TKohonenNetwork bare;
  int coords[2] = {0, 0};
  const std::string dims = test::AssertionReportAnyPlace("dims != 0");
  EXPECT_EXIT(bare.CoordinatesToIndex(coords), testing::ExitedWithCode(3), dims);
  EXPECT_EXIT(bare.IndexToCoordinates(coords, 0), testing::ExitedWithCode(3), dims);
  EXPECT_EXIT(CoordinatesToIndex(0, coords, coords), testing::ExitedWithCode(3), dims);
  const int sizes[] = {2, 2};
  TKohonenNetwork map(1, 2, sizes);
  const std::string params = test::AssertionReportAnyPlace("parameters != NULL");
  EXPECT_EXIT(map.GetDimensions(nullptr), testing::ExitedWithCode(3), params);
  EXPECT_EXIT(map.SetDimensions(2, nullptr), testing::ExitedWithCode(3), params);
}

}  // namespace
}  // namespace kohport
