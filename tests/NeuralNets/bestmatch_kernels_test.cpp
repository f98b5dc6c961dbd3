// Every best-match kernel the processor has, forced one by one, against the
// scalar definition; and the batch form of the map against single calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NeuralNets/BestMatchKernels.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"
#include "common/TException.h"

namespace kohport {
namespace {

using detail::MatchKernel;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Unit i's weights are row i; the definition as it reads, unit by unit.
struct Weights {
  Weights(int units, int n) : n(n), data(static_cast<std::size_t>(units) * n) {
    for (int u = 0; u < units; ++u) rows.push_back(data.data() + static_cast<std::size_t>(u) * n);
  }
  int Units() const { return static_cast<int>(rows.size()); }
  int Reference(const double* input) const {
    int best = -1;
    double bestDist = 0.0;
    for (int i = 0; i < Units(); ++i) {
      double d = 0.0;
      for (int j = 0; j < n; ++j) {
        const double e = input[j] - rows[i][j];
        d = d + e * e;
      }
      if (best < 0 ? !std::isnan(d) : d < bestDist) {
        best = i;
        bestDist = d;
      }
    }
    return best;
  }
  int n;
  std::vector<double> data;
  std::vector<double*> rows;
};

// A set of inputs, `stride` apart, for one map.
struct Inputs {
  Inputs(int n, int stride) : n(n), stride(stride) {}
  // Room for one more row; with stride 0 every row is the same (empty) one.
  double* Add() {
    ++count;
    data.resize(static_cast<std::size_t>(count) * stride + n, -777.0);  // gaps hold junk
    return data.data() + static_cast<std::size_t>(count - 1) * stride;
  }
  int Rows() const { return count; }
  const double* Row(int r) const { return data.data() + static_cast<std::size_t>(r) * stride; }
  int n;
  int stride;
  int count = 0;
  std::vector<double> data;
};

// Random weights with duplicated units (exact ties), and inputs that are
// random, equal to a unit, or midway between two units.
void FillRandom(Weights& w, Inputs& in, std::mt19937& gen, int count) {
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  for (double& x : w.data) x = uni(gen);
  const int u = w.Units();
  for (int k = 0; k < u / 3; ++k) {
    const int a = static_cast<int>(gen() % u), b = static_cast<int>(gen() % u);
    for (int j = 0; j < w.n; ++j) w.rows[b][j] = w.rows[a][j];
  }
  for (int r = 0; r < count; ++r) {
    double* x = in.Add();
    const int a = static_cast<int>(gen() % u), b = static_cast<int>(gen() % u);
    for (int j = 0; j < w.n; ++j) {
      switch (r % 3) {
        case 0:
          x[j] = uni(gen);
          break;
        case 1:
          x[j] = w.rows[a][j];
          break;
        default:
          x[j] = (w.rows[a][j] + w.rows[b][j]) / 2;
      }
    }
  }
}

// Both entry points of one kernel against the definition, row by row.
void ExpectAgrees(MatchKernel kernel, const Weights& w, const Inputs& in) {
  std::vector<int> winners(in.Rows(), -5);
  detail::BestMatchRows(kernel, w.rows.data(), w.Units(), w.n, in.data.data(), in.Rows(), in.stride,
                        winners.data());
  for (int r = 0; r < in.Rows(); ++r) {
    SCOPED_TRACE(testing::Message() << "row " << r);
    const int expected = w.Reference(in.Row(r));
    ASSERT_EQ(detail::BestMatchOne(kernel, w.rows.data(), w.Units(), w.n, in.Row(r)), expected);
    ASSERT_EQ(winners[r], expected);
  }
}

class KernelTest : public testing::TestWithParam<MatchKernel> {};

TEST_P(KernelTest, AgreesWithTheDefinitionOnRandomMaps) {
  std::mt19937 gen(2024);
  // Unit counts around the 8-unit blocks; input counts around the 4-input
  // steps of the single-input kernel; enough inputs for long cache runs.
  for (int units : {1, 2, 7, 8, 9, 16, 23, 67}) {
    for (int n : {0, 1, 3, 4, 5, 8, 13, 64, 700}) {
      for (int rows : {1, 3, 4, 9, 13}) {
        SCOPED_TRACE(testing::Message()
                     << units << " units, " << n << " inputs, " << rows << " rows");
        Weights w(units, n);
        Inputs in(n, n + rows % 2);
        FillRandom(w, in, gen, rows);
        ExpectAgrees(GetParam(), w, in);
      }
    }
  }
}

TEST_P(KernelTest, NotANumberAndInfinity) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> units;
    std::vector<double> input;
  };
  const Case cases[] = {
      {"a unit with a NaN weight never wins",
       {{kNaN, 0}, {5, 5}, {1, kNaN}, {4, 4}, {9, 9}, {0, 0}, {1, 1}, {2, 2}, {kNaN, kNaN}},
       {0, 0}},
      {"an infinite distance wins when it is the first number",
       {{kNaN, 0}, {kInf, 0}, {kNaN, 1}, {kInf, 2}},
       {0, 0}},
      {"a finite distance replaces an infinite one",
       {{kInf, 0}, {kNaN, 0}, {1, 0}, {1, 0}, {2, 0}, {kInf, 0}, {0, 0}, {0, 0}, {0.5, 0}},
       {1, 0}},
      {"every distance overflows: the first unit wins",
       {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}, {11, 12}, {13, 14}, {15, 16}, {0, 0}},
       {1e300, -1e300}},
      {"huge distances below overflow still compare",
       {{0, 0}, {1e16, 0}, {3e16, 0}, {2.5e16, 0}, {2e16, 1}, {2e16, 0}, {0, 0}, {0, 0}, {0, 0}},
       {2e16, 0}},
      {"an infinite input: inf - inf is NaN for infinite weights",
       {{kInf, 0}, {0, 0}, {1, 0}, {kInf, 0}},
       {kInf, 0}},
      {"a NaN input: no unit is at a measurable distance",
       {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}},
       {kNaN, 0}},
      {"all units NaN",
       {{kNaN, 0}, {kNaN, 0}, {kNaN, 0}, {kNaN, 0}, {kNaN, 0}, {kNaN, 0}, {kNaN, 0}, {kNaN, 0}},
       {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int units = static_cast<int>(c.units.size());
    Weights w(units, 2);
    for (int u = 0; u < units; ++u) {
      w.rows[u][0] = c.units[u][0];
      w.rows[u][1] = c.units[u][1];
    }
    // The same input in several rows, so every tile width sees it, and once
    // after rows that already have a winner.
    Inputs in(2, 2);
    for (int r = 0; r < 11; ++r) {
      double* x = in.Add();
      x[0] = c.input[0];
      x[1] = c.input[1];
    }
    ExpectAgrees(GetParam(), w, in);
  }
}

std::vector<MatchKernel> Kernels() {
  return detail::SupportedMatchKernels();
}

INSTANTIATE_TEST_SUITE_P(Supported, KernelTest, testing::ValuesIn(Kernels()),
                         [](const testing::TestParamInfo<MatchKernel>& info) {
                           return std::string(detail::MatchKernelName(info.param));
                         });

TEST(MatchKernelTest, PortableAlwaysAndTheWidestLast) {
  const std::vector<MatchKernel> kernels = detail::SupportedMatchKernels();
  ASSERT_FALSE(kernels.empty());
  EXPECT_EQ(kernels.front(), MatchKernel::kPortable);
  EXPECT_EQ(kernels.back(), detail::WidestMatchKernel());
  for (MatchKernel k : kernels) std::printf("best-match kernel: %s\n", detail::MatchKernelName(k));
}

// The map's batch form against its single calls, with weights edited between
// two batches (nothing may be cached).
TEST(BestMatchBatchTest, SameWinnersAsSingleCallsAndSeesWeightEdits) {
  const int sizes[] = {5, 7};
  TKohonenNetwork map(6, 2, sizes);
  map.RandomizeWeights(-1.0, 1.0);
  double* const* rows = map.priv_conns_index[2][1]->GetWeightRows();
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  const int stride = 9;
  for (int count : {1, 2, 3, 4, 5, 50}) {
    SCOPED_TRACE(testing::Message() << count << " rows");
    std::vector<double> data(static_cast<std::size_t>(count) * stride);
    for (double& x : data) x = uni(gen);
    std::vector<int> winners(count, -1);
    map.BestMatchBatch(data.data(), count, stride, winners.data());
    std::vector<double> w(6);
    for (int r = 0; r < count; ++r)
      ASSERT_EQ(winners[r], map.BestMatch(&data[r * stride], w.data()));

    // Move unit 34 onto the last row's input: it wins that row now.
    for (int j = 0; j < 6; ++j) rows[34][j] = data[(count - 1) * stride + j];
    map.BestMatchBatch(data.data(), count, stride, winners.data());
    EXPECT_EQ(winners[count - 1], map.BestMatch(&data[(count - 1) * stride], w.data()));
  }
}

TEST(BestMatchBatchTest, RefusedBeforeAnyWinnerIsWritten) {
  const int none[] = {0, 4};
  TKohonenNetwork empty(2, 2, none);
  const int sizes[] = {3};
  TKohonenNetwork map(2, 1, sizes);
  TKohonenNetwork unconnected;
  unconnected.layers[0].reset(new TSimpleLayer(&unconnected, 0, 0));
  unconnected.layers[1].reset(new TSimpleInputLayer(&unconnected, 1, 2));
  unconnected.layers[2].reset(new TSimpleLayer(&unconnected, 2, 3));
  // Row 5 of 7 has no unit at a measurable distance.
  std::vector<double> data(14, 0.25);
  data[10] = kNaN;
  struct Case {
    const char* name;
    const TKohonenNetwork* map;
    int rows;
    const char* message;
  };
  const Case cases[] = {
      {"no units", &empty, 7, nullptr},
      {"no block from inputs to units", &unconnected, 7, nullptr},
      {"a row without a winner", &map, 7, "row 5"},
      {"a single row without a winner", &map, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> winners(7, -9);
    const double* first = c.rows == 1 ? &data[10] : data.data();
    try {
      c.map->BestMatchBatch(first, c.rows, 2, winners.data());
      ADD_FAILURE() << "no exception";
    } catch (const TException& e) {
      EXPECT_EQ(e.category, std::string("Bad Parameter"));
      EXPECT_EQ(e.location, std::string("TKohonenNetwork::BestMatch"));
      if (c.message != nullptr) {
        EXPECT_NE(std::string(e.Message()).find(c.message), std::string::npos) << e.Message();
      }
    }
    EXPECT_EQ(winners, std::vector<int>(7, -9));
  }
  // No rows: nothing to match, nothing refused, nothing written.
  int untouched = -9;
  empty.BestMatchBatch(nullptr, 0, 0, &untouched);
  EXPECT_EQ(untouched, -9);
}

TEST(BestMatchBatchDeathTest, CallerErrors) {
  const int sizes[] = {3};
  TKohonenNetwork map(4, 1, sizes);
  std::vector<double> data(8);
  int winners[2];
  EXPECT_EXIT(map.BestMatchBatch(data.data(), 2, 3, winners), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("stride>=number of inputs"));
  EXPECT_EXIT(map.BestMatchBatch(data.data(), -1, 4, winners), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("rows>=0"));
}

}  // namespace
}  // namespace kohport
