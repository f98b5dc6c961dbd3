#include "NeuralNets/ActFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "NeuralNets/Neurons.h"
#include "TestUtil.h"

namespace kohport {
namespace {

double Apply(TActFunction fn, double net, double gain = 1.0) {
  double out = -12345.0;
  TGainNeuron neuron;
  neuron.gain = gain;
  neuron.output = &out;
  fn(&neuron, net);
  return out;
}

TEST(ActFunctionsTest, StandardFunctionsTable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    TActFunction fn;
    double net;
    double gain;
    double expected;
  };
  const Case cases[] = {
      {"bias 0", ActBias, 0.0, 1.0, 1.0},
      {"bias -7", ActBias, -7.0, 1.0, 1.0},
      {"linear", ActLinear, -2.5, 1.0, -2.5},
      {"satlin -3", ActSatLinear, -3.0, 1.0, 0.0},
      {"satlin 0", ActSatLinear, 0.0, 1.0, 0.0},
      {"satlin 0.25", ActSatLinear, 0.25, 1.0, 0.25},
      {"satlin 1", ActSatLinear, 1.0, 1.0, 1.0},
      {"satlin 7", ActSatLinear, 7.0, 1.0, 1.0},
      {"satlin nan", ActSatLinear, nan, 1.0, 0.0},
      {"sigmoid 0", ActSigmoid, 0.0, 1.0, 0.5},
      {"sigmoid -500.5", ActSigmoid, -500.5, 1.0, 1e-300},
      {"sigmoid -500", ActSigmoid, -500.0, 1.0, 1.0 / (std::exp(500.0) + 1.0)},
      {"sigmoid 2", ActSigmoid, 2.0, 1.0, 1.0 / (std::exp(-2.0) + 1.0)},
      {"tanh", ActTanh, 0.5, 1.0, std::tanh(0.5)},
      {"linear-gain", ActLinearGain, 0.5, 2.0, 1.0},
      {"tanh-gain", ActTanhGain, 0.5, 2.0, std::tanh(1.0)},
      {"sigmoid-gain", ActSigmoidGain, 0.5, 2.0, 1.0 / (1.0 + std::exp(-1.0))},
      {"sigmoid-gain unguarded", ActSigmoidGain, -600.0, 1.0, 1.0 / (1.0 + std::exp(600.0))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Apply(c.fn, c.net, c.gain), c.expected);  // exact, bit for bit
  }
  EXPECT_GT(Apply(ActSigmoid, -500.0), 7.0e-218);
  EXPECT_LT(Apply(ActSigmoid, -500.0), 7.2e-218);
}

TEST(ActFunctionsTest, GainFunctionsAreKnownAsSuch) {
  for (TActFunction fn : {ActLinearGain, ActSigmoidGain, ActTanhGain})
    EXPECT_TRUE(IsGainFunction(fn));
  for (TActFunction fn : {ActError, ActNull, ActBias, ActLinear, ActSatLinear, ActSigmoid, ActTanh})
    EXPECT_FALSE(IsGainFunction(fn));
}

TEST(ActFunctionsDeathTest, ErrorNullAndGainWithoutGainRefuse) {
  double out = 0.0;
  TBasicNeuron plain;
  plain.output = &out;
  EXPECT_EXIT(ActError(&plain, 0.0), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("false"));
  EXPECT_EXIT(ActNull(&plain, 0.0), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("false"));
  EXPECT_EXIT(ActLinearGain(&plain, 1.0), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("neuron->AsGainNeuron() != NULL"));
}

TEST(NeuronTest, ParametersOfPlainAndGainNeurons) {
  TBasicNeuron plain;
  EXPECT_EQ(plain.GetNumParameters(), 0);
  EXPECT_EQ(plain.GetActFunction(), ActError);
  TGainNeuron gain;
  EXPECT_EQ(gain.gain, 1.0);
  EXPECT_EQ(gain.GetNumParameters(), 1);
  EXPECT_STREQ(gain.GetParameterName(0), "Gain");
  const double two = 2.0;
  gain.SetParameters(&two);
  double back = 0.0;
  gain.GetParameters(&back);
  EXPECT_EQ(back, 2.0);
}

TEST(NeuronDeathTest, ParameterNamesRefuse) {
  TBasicNeuron plain;
  EXPECT_EXIT(plain.GetParameterName(0), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("false"));
  TGainNeuron gain;
  EXPECT_EXIT(gain.GetParameterName(1), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("i==0"));
}

TEST(RegistryTest, StandardFunctionsByNameAnyCase) {
  TFnRegistry registry;
  EXPECT_EQ(registry.GetCapacity(), 16);
  EXPECT_EQ(registry.GetCount(), 0);
  registry.RegisterStandard();
  EXPECT_EQ(registry.GetCount(), 10);
  const char* order[] = {"error",   "null", "bias",        "linear",       "saturated-linear",
                         "sigmoid", "tanh", "linear-gain", "sigmoid-gain", "tanh-gain"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(registry.GetEntry(i).name, order[i]);
  EXPECT_EQ(registry.GetFunction("TANH-GAIN"), ActTanhGain);
  EXPECT_EQ(registry.GetFunction("Sigmoid"), ActSigmoid);
  EXPECT_STREQ(registry.GetFunctionName(ActSigmoid), "sigmoid");
  EXPECT_EQ(registry.FindEntry("no-such-function"), nullptr);
  ASSERT_NE(registry.FindEntry("LINEAR"), nullptr);
  EXPECT_EQ(registry.FindEntry("LINEAR")->fn, ActLinear);
}

TEST(RegistryTest, GrowsFrom16To32AtTheSeventeenthEntryKeepingOrder) {
  TFnRegistry registry;
  registry.RegisterStandard();
  for (int i = 0; i < 6; ++i) registry.Register(nullptr, ("f" + std::to_string(i)).c_str());
  EXPECT_EQ(registry.GetCount(), 16);
  EXPECT_EQ(registry.GetCapacity(), 16);
  registry.FindOrAdd("seventeenth") = ActTanh;
  EXPECT_EQ(registry.GetCapacity(), 32);
  EXPECT_EQ(registry.GetCount(), 17);
  EXPECT_EQ(registry.GetEntry(0).name, "error");
  EXPECT_EQ(registry.GetEntry(15).name, "f5");
  EXPECT_EQ(registry.GetFunction("SEVENTEENTH"), ActTanh);
  // FindOrAdd of an existing name hands out that entry.
  EXPECT_EQ(&registry.FindOrAdd("Sigmoid"), &registry.FindOrAdd("sigmoid"));
  EXPECT_EQ(registry.GetCount(), 17);
}

TEST(RegistryDeathTest, DuplicateAndUnknownNamesRefuse) {
  TFnRegistry registry;
  registry.RegisterStandard();
  EXPECT_EXIT(registry.Register(ActLinear, "LINEAR"), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("strcasecmp(p,pp->name)!=0"));
  EXPECT_EXIT(registry.GetFunction("nope"), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("false"));
  EXPECT_EXIT(registry.GetFunctionName(nullptr), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("false"));
}

}  // namespace
}  // namespace kohport
