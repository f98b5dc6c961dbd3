#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "NetFixtures.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"
#include "TestUtil.h"

namespace kohport {
namespace {

using test::ExpectedDraws;
using test::MakeBasicNetwork;
using test::Matrix;
using test::NumberWeights;
using Rows = std::vector<std::vector<double>>;

enum class Kind { kConnected, kPruned };

void PrintTo(Kind kind, std::ostream* os) {
  *os << (kind == Kind::kConnected ? "FullyConnected" : "Pruneable");
}

BlockPtr MakeBlock(Kind kind, TBasicNetwork* net, int from, int to) {
  if (kind == Kind::kConnected) return BlockPtr(new TConnectedConnections(net, from, to));
  return BlockPtr(new TPrunedConnections(net, from, to));
}

const char* Name(Kind kind) {
  return kind == Kind::kConnected ? "FullyConnected" : "Pruneable";
}

// Records every visited arc.
struct Recorder : TIterateObj {
  void Process() override { arcs.emplace_back(fromNeuron, toNeuron, trainable, *weight); }
  std::vector<std::tuple<int, int, bool, double>> arcs;
};

// Layers of 2 (layer 0) and 3 (layer 1) neurons; the block from 0 to 1 with
// weight (f, t) = 10 f + t + 1.
class BlockTest : public testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    block = MakeBlock(GetParam(), net.get(), 0, 1);
    NumberWeights(block.get(), 2, 3);
  }
  std::unique_ptr<TBasicNetwork> net = MakeBasicNetwork({2, 3});
  BlockPtr block;
};

TEST_P(BlockTest, NewBlockIsFullAndZero) {
  BlockPtr fresh = MakeBlock(GetParam(), net.get(), 1, 0);  // 3 -> 2
  EXPECT_STREQ(fresh->GetConnectionsNType(), Name(GetParam()));
  EXPECT_TRUE(fresh->IsConnected());
  EXPECT_EQ(fresh->GetNumWeights(FMaskExists), 6);
  EXPECT_EQ(fresh->GetNumWeights(FMaskAll), 6);
  EXPECT_EQ(Matrix(fresh.get(), 3, 2), Rows(2, std::vector<double>(3, 0.0)));
  for (int t = 0; t < 2; ++t)
    for (int f = 0; f < 3; ++f) {
      EXPECT_TRUE(fresh->IsValid(f, t));
      EXPECT_TRUE(fresh->IsTrainable(f, t));
      EXPECT_EQ(fresh->GetFlags(f, t), FMaskAll);
    }
}

TEST_P(BlockTest, WeightRowsAreContiguousPerToNeuron) {
  double* const* rows = block->GetWeightRows();
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows[1] - rows[0], 2);
  EXPECT_EQ(rows[2] - rows[1], 2);
  EXPECT_EQ(rows[2][1], 13.0);  // arc (1, 2)
  EXPECT_EQ(block->GetWeightPtr(1, 2), &rows[2][1]);
}

TEST_P(BlockTest, OrdersOfVectorAndVisit) {
  // Fully connected: from-major vector; pruneable: the visit order.
  const std::vector<double> expected = GetParam() == Kind::kConnected
                                           ? std::vector<double>{1, 2, 3, 11, 12, 13}
                                           : std::vector<double>{1, 11, 2, 12, 3, 13};
  std::vector<double> out(6, -1.0);
  EXPECT_EQ(block->GetWeights(out.data(), FMaskAll), 6);
  EXPECT_EQ(out, expected);

  Recorder visit;
  block->Iterate(&visit, FMaskExists);
  std::vector<std::pair<int, int>> order;
  for (auto& [f, t, trainable, w] : visit.arcs) {
    order.emplace_back(f, t);
    EXPECT_TRUE(trainable);
  }
  EXPECT_EQ(order,
            (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}}));

  const std::vector<double> back{-1, -2, -3, -4, -5, -6};
  EXPECT_EQ(block->SetWeights(back.data(), FMaskAll), 6);
  EXPECT_EQ(block->GetWeights(out.data(), FMaskAll), 6);
  EXPECT_EQ(out, back);
}

TEST_P(BlockTest, InAndOutVisitsReportTheirOwnIndices) {
  Recorder in;
  block->IterateIn(&in, 2, FMaskExists);
  EXPECT_EQ(in.arcs, (decltype(in.arcs){{0, 2, true, 3.0}, {1, 2, true, 13.0}}));
  Recorder out;
  block->IterateOut(&out, 1, FMaskAll);
  EXPECT_EQ(out.arcs,
            (decltype(out.arcs){{1, 0, true, 11.0}, {1, 1, true, 12.0}, {1, 2, true, 13.0}}));
  EXPECT_EQ(out.fromLayer, 0);
  EXPECT_EQ(out.toLayer, 1);
  EXPECT_EQ(out.conn, block.get());
  EXPECT_EQ(out.fromValues, net->layers[0]->values.data());
}

TEST_P(BlockTest, RandomizeFollowsTheRuleInStorageOrder) {
  const std::vector<double> draws = ExpectedDraws(17, 6, -0.5, 0.5);
  block->RandomizeWeights(-0.5, 0.5);
  EXPECT_EQ(Matrix(block.get(), 2, 3),
            (Rows{{draws[0], draws[1]}, {draws[2], draws[3]}, {draws[4], draws[5]}}));
  for (double w : draws) {
    EXPECT_GE(w, -0.5);
    EXPECT_LT(w, 0.5);
  }
}

TEST_P(BlockTest, RandomizeWithEqualBoundsDrawsNothing) {
  std::srand(23);
  const int first = std::rand();
  std::srand(23);
  block->RandomizeWeights(0.75, 0.75);
  EXPECT_EQ(std::rand(), first);
  EXPECT_EQ(Matrix(block.get(), 2, 3), Rows(3, std::vector<double>(2, 0.75)));
}

TEST_P(BlockTest, VisitorsRestoreWeightsExactly) {
  block->RandomizeWeights(-1e300, 1e300);
  const Rows before = Matrix(block.get(), 2, 3);
  std::vector<double> saved(6);
  TIterateObjGetWeights get;
  get.dst = saved.data();
  block->Iterate(&get, FMaskExists);
  EXPECT_EQ(get.count, 6);
  block->RandomizeWeights(0.0, 1.0);
  TIterateObjSetWeights set;
  set.src = saved.data();
  block->Iterate(&set, FMaskExists);
  EXPECT_EQ(set.count, 6);
  EXPECT_EQ(Matrix(block.get(), 2, 3), before);

  TIterateObjGetNumWeights count;
  block->Iterate(&count, FMaskAll);
  EXPECT_EQ(count.count, 6);
}

TEST_P(BlockTest, AggregateKeepsTheSumOrderBitForBit) {
  // One row whose sum depends on the order of the additions, and enough rows
  // to use every path of the loop.
  auto wide = MakeBasicNetwork({4, 7});
  BlockPtr b = MakeBlock(GetParam(), wide.get(), 0, 1);
  b->RandomizeWeights(-3.0, 3.0);
  const double order[] = {1e16, 1.0, -1e16, 1.0};
  for (int f = 0; f < 4; ++f) *b->GetWeightPtr(f, 5) = order[f];
  wide->layers[0]->values = {1.0, 1.0, 1.0, 1.0};
  std::vector<double> net(7, 0.5);
  b->Aggregate(net.data());
  EXPECT_EQ(net[5], 1.5);  // ((1e16 + 1) - 1e16) + 1 = 1, added to 0.5

  wide->layers[0]->values = {0.1, -2.7, 3.3e-5, 1.9};
  std::vector<double> expected(7, 0.5);
  for (int t = 0; t < 7; ++t) {
    double sum = 0.0;
    for (int f = 0; f < 4; ++f) sum = *b->GetWeightPtr(f, t) * wide->layers[0]->values[f] + sum;
    expected[t] += sum;
  }
  std::vector<double> got(7, 0.5);
  b->Aggregate(got.data());
  EXPECT_EQ(got, expected);

  // The visitor-based default gives the same sums.
  std::vector<double> byVisitor(7, 0.5);
  b->TBasicConnections::Aggregate(byVisitor.data());
  EXPECT_EQ(byVisitor, expected);
}

TEST_P(BlockTest, InsertAndRemoveFromNeuronAtBothEnds) {
  // Removing from-neuron 0 keeps neuron 1's weights; removing the last keeps neuron 0's.
  for (int pos : {0, 1}) {
    SCOPED_TRACE(pos);
    BlockPtr b = MakeBlock(GetParam(), net.get(), 0, 1);
    NumberWeights(b.get(), 2, 3);
    net->layers[0]->numNeurons = 1;
    b->RemoveFromNeuron(pos);
    const double keep = pos == 0 ? 10.0 : 0.0;
    EXPECT_EQ(Matrix(b.get(), 1, 3), (Rows{{keep + 1}, {keep + 2}, {keep + 3}}));
    net->layers[0]->numNeurons = 2;
    const std::vector<double> d = ExpectedDraws(5, 3, 0.0, 1.0);
    b->InsertFromNeuron(pos, 0.0, 1.0, true);
    const Rows expected = pos == 0 ? Rows{{d[0], keep + 1}, {d[1], keep + 2}, {d[2], keep + 3}}
                                   : Rows{{keep + 1, d[0]}, {keep + 2, d[1]}, {keep + 3, d[2]}};
    EXPECT_EQ(Matrix(b.get(), 2, 3), expected);
    EXPECT_EQ(b->GetNumWeights(FMaskExists), 6);
  }
}

TEST_P(BlockTest, InsertAndRemoveToNeuronAtBothEnds) {
  net->layers[1]->numNeurons = 4;
  const std::vector<double> d = ExpectedDraws(9, 2, -1.0, 1.0);
  block->InsertToNeuron(3, -1.0, 1.0, true);  // at the end: old rows kept, one row appended
  EXPECT_EQ(Matrix(block.get(), 2, 4), (Rows{{1, 11}, {2, 12}, {3, 13}, {d[0], d[1]}}));
  net->layers[1]->numNeurons = 5;
  const std::vector<int> raw = test::RawDraws(10, 3);
  block->InsertToNeuron(0, 2.0, 2.0, true);  // draws once per arc even with equal bounds
  EXPECT_EQ(std::rand(), raw[2]);
  EXPECT_EQ(Matrix(block.get(), 2, 5), (Rows{{2, 2}, {1, 11}, {2, 12}, {3, 13}, {d[0], d[1]}}));
  net->layers[1]->numNeurons = 4;
  block->RemoveToNeuron(4);
  net->layers[1]->numNeurons = 3;
  block->RemoveToNeuron(0);
  EXPECT_EQ(Matrix(block.get(), 2, 3), (Rows{{1, 11}, {2, 12}, {3, 13}}));
}

// A layer connected to itself: one change of the layer's count, then the
// from-side and the to-side call. The first call resizes both dimensions;
// new arcs are drawn out of the new neuron first, then into it.
TEST_P(BlockTest, SelfConnectedBlockResizesBothDimensionsInOneStep) {
  BlockPtr self = MakeBlock(GetParam(), net.get(), 1, 1);
  NumberWeights(self.get(), 3, 3);
  TBasicLayer& layer = *net->layers[1];
  layer.InsertNeuron(1);
  ++layer.numNeurons;
  const std::vector<int> raw = test::RawDraws(31, 8);
  const std::vector<double> d = ExpectedDraws(31, 7, 0.0, 1.0);
  self->InsertFromNeuron(1, 0.0, 1.0, true);
  self->InsertToNeuron(1, 0.0, 1.0, true);
  // Column 1 (out of the new neuron, to-neurons ascending) takes d[0..3];
  // row 1 (into it, from-neurons 0, 2, 3) takes d[4..6].
  EXPECT_EQ(
      Matrix(self.get(), 4, 4),
      (Rows{{1, d[0], 11, 21}, {d[4], d[1], d[5], d[6]}, {2, d[2], 12, 22}, {3, d[3], 13, 23}}));
  EXPECT_EQ(std::rand(), raw[7]) << "one draw per new arc, none in the second call";

  layer.RemoveNeuron(0);
  --layer.numNeurons;
  self->RemoveFromNeuron(0);
  self->RemoveToNeuron(0);
  EXPECT_EQ(Matrix(self.get(), 3, 3), (Rows{{d[1], d[5], d[6]}, {d[2], 12, 22}, {d[3], 13, 23}}));
  EXPECT_EQ(self->GetNumWeights(FMaskExists), 9);

  // Either call may come first.
  layer.InsertNeuron(3);
  ++layer.numNeurons;
  self->InsertToNeuron(3, 1.0, 1.0, true);
  self->InsertFromNeuron(3, 1.0, 1.0, true);
  EXPECT_EQ(self->GetNumWeights(FMaskExists), 16);
  EXPECT_EQ(*self->GetWeightPtr(3, 3), 1.0);
  EXPECT_EQ(*self->GetWeightPtr(0, 0), d[1]);
}

TEST_P(BlockTest, CloneCopiesAndStaysApart) {
  auto other = MakeBasicNetwork({2, 3});
  if (GetParam() == Kind::kPruned) block->Prune(1, 2);
  BlockPtr copy(block->Clone(other.get()));
  EXPECT_EQ(copy->network, other.get());
  EXPECT_EQ(copy->fromLayer, 0);
  EXPECT_EQ(copy->toLayer, 1);
  EXPECT_STREQ(copy->GetConnectionsNType(), Name(GetParam()));
  EXPECT_EQ(Matrix(copy.get(), 2, 3), Matrix(block.get(), 2, 3));
  EXPECT_EQ(copy->IsValid(1, 2), block->IsValid(1, 2));
  *copy->GetWeightPtr(0, 0) = 99.0;
  EXPECT_EQ(*block->GetWeightPtr(0, 0), 1.0);
}

TEST_P(BlockTest, FlagsThroughVisitors) {
  std::unique_ptr<char[]> flags = block->GetAllFlags();
  for (int k = 0; k < 6; ++k) EXPECT_EQ(flags[k], FMaskAll);
  const char all[6] = {FMaskAll, FMaskExists, FMaskAll, FMaskAll, FMaskExists, FMaskAll};
  block->SetAllFlags(all);  // accepted by both kinds
  if (GetParam() == Kind::kPruned) {
    EXPECT_FALSE(block->IsTrainable(1, 0));  // second arc in visit order
    EXPECT_FALSE(block->IsTrainable(0, 2));
    block->SetAllUntrainable();
    EXPECT_EQ(block->GetNumWeights(FMaskAll), 0);
    EXPECT_EQ(block->GetNumWeights(FMaskExists), 6);
  } else {
    EXPECT_TRUE(block->IsTrainable(1, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, BlockTest, testing::Values(Kind::kConnected, Kind::kPruned),
                         [](const testing::TestParamInfo<Kind>& info) {
                           return std::string(Name(info.param));
                         });

TEST(FullyConnectedBlockTest, EveryArcExistsAndStaysTrainable) {
  auto net = MakeBasicNetwork({2, 3});
  BlockPtr b(new TConnectedConnections(net.get(), 0, 1));
  *b->GetWeightPtr(1, 1) = 4.0;
  b->Unprune(1, 1);
  b->SetTrainable(1, 1);
  b->SetFlags(1, 1, FMaskExists);
  b->SetFlags(1, 1, FMaskAll);
  EXPECT_EQ(*b->GetWeightPtr(1, 1), 4.0);
  EXPECT_EQ(b->GetFlags(1, 1), FMaskAll);
  EXPECT_EQ(b->GetNumWeights(0), 6);
}

TEST(PruneableBlockTest, FlagStateTable) {
  auto net = MakeBasicNetwork({1, 1});
  enum Op { kPrune, kUnprune, kSetTrainable, kSetUntrainable };
  struct Case {
    char from;
    Op op;
    char to;
    double weight;  // after the operation, from a weight of 5.0
  };
  const Case cases[] = {
      {3, kPrune, 0, 0.0},          {3, kUnprune, 3, 5.0},        {3, kSetTrainable, 3, 5.0},
      {3, kSetUntrainable, 1, 5.0}, {1, kPrune, 0, 0.0},          {1, kUnprune, 1, 5.0},
      {1, kSetTrainable, 3, 5.0},   {1, kSetUntrainable, 1, 5.0}, {0, kPrune, 0, 0.0},
      {0, kUnprune, 3, 0.0},        {0, kSetTrainable, 0, 5.0},   {0, kSetUntrainable, 0, 5.0},
      {2, kSetTrainable, 2, 5.0},   {2, kUnprune, 3, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << int(c.from) << " op " << c.op);
    BlockPtr b(new TPrunedConnections(net.get(), 0, 1));
    b->SetFlags(0, 0, c.from);
    *b->GetWeightPtr(0, 0) = 5.0;
    switch (c.op) {
      case kPrune:
        b->Prune(0, 0);
        break;
      case kUnprune:
        b->Unprune(0, 0);
        break;
      case kSetTrainable:
        b->SetTrainable(0, 0);
        break;
      case kSetUntrainable:
        b->SetUntrainable(0, 0);
        break;
    }
    EXPECT_EQ(b->GetFlags(0, 0), c.to);
    EXPECT_EQ(*b->GetWeightPtr(0, 0), c.weight);
  }
}

TEST(PruneableBlockTest, PrunedAndFrozenArcsInCountsVisitsAndSums) {
  auto net = MakeBasicNetwork({2, 3});
  BlockPtr b(new TPrunedConnections(net.get(), 0, 1));
  NumberWeights(b.get(), 2, 3);
  b->Prune(0, 1);
  b->SetUntrainable(1, 2);
  EXPECT_FALSE(b->IsValid(0, 1));
  EXPECT_EQ(*b->GetWeightPtr(0, 1), 0.0);
  EXPECT_TRUE(b->IsValid(1, 2));
  EXPECT_FALSE(b->IsTrainable(1, 2));
  EXPECT_EQ(b->GetNumWeights(FMaskExists), 5);
  EXPECT_EQ(b->GetNumWeights(FMaskAll), 4);

  std::vector<double> out(5);
  EXPECT_EQ(b->GetWeights(out.data(), FMaskExists), 5);
  EXPECT_EQ(out, (std::vector<double>{1, 11, 12, 3, 13}));

  Recorder visit;
  b->Iterate(&visit, FMaskExists);
  EXPECT_EQ(std::get<2>(visit.arcs.back()), false);  // (1, 2) is frozen

  net->layers[0]->values = {1.0, 2.0};
  std::vector<double> sums(3, 0.0);
  b->Aggregate(sums.data());
  EXPECT_EQ(sums, (std::vector<double>{1 + 22, 24, 3 + 26}));  // frozen arc counts

  const std::vector<double> d = ExpectedDraws(3, 4, 0.0, 1.0);
  b->RandomizeWeights(0.0, 1.0);
  EXPECT_EQ(Matrix(b.get(), 2, 3), (Rows{{d[0], d[1]}, {0.0, d[2]}, {d[3], 13}}));

  // Flag 2 (trainable, not existing): no visit, but randomized.
  b->SetFlags(0, 0, 2);
  EXPECT_FALSE(b->IsValid(0, 0));
  EXPECT_TRUE(b->IsTrainable(0, 0));
  EXPECT_EQ(b->GetNumWeights(FMaskExists), 4);
  EXPECT_EQ(b->GetNumWeights(FMaskAll), 3);
  b->RandomizeWeights(7.0, 7.0);
  EXPECT_EQ(*b->GetWeightPtr(0, 0), 7.0);
}

TEST(PruneableBlockTest, UnattachedInsertAddsMissingArcsWithoutDrawing) {
  auto net = MakeBasicNetwork({2, 3});
  BlockPtr b(new TPrunedConnections(net.get(), 0, 1));
  NumberWeights(b.get(), 2, 3);
  b->SetUntrainable(1, 0);
  net->layers[1]->numNeurons = 4;
  std::srand(3);
  const int next = std::rand();
  std::srand(3);
  b->InsertToNeuron(1, 0.0, 1.0, false);
  EXPECT_EQ(std::rand(), next);
  EXPECT_EQ(Matrix(b.get(), 2, 4), (Rows{{1, 11}, {0, 0}, {2, 12}, {3, 13}}));
  EXPECT_EQ(b->GetFlags(0, 1), 0);
  EXPECT_EQ(b->GetFlags(1, 0), FMaskExists);  // flags move with their weights
  EXPECT_EQ(b->GetNumWeights(FMaskExists), 6);

  net->layers[0]->numNeurons = 3;
  const std::vector<double> d = ExpectedDraws(4, 4, 0.0, 1.0);
  b->InsertFromNeuron(0, 0.0, 1.0, true);
  EXPECT_EQ(Matrix(b.get(), 3, 4),
            (Rows{{d[0], 1, 11}, {d[1], 0, 0}, {d[2], 2, 12}, {d[3], 3, 13}}));
  EXPECT_EQ(b->GetFlags(0, 1), FMaskAll);
  EXPECT_EQ(b->GetFlags(2, 0), FMaskExists);
  EXPECT_EQ(b->GetNumWeights(FMaskExists), 10);
}

TEST(EmptyBlockTest, HoldsNothingAndDoesNothing) {
  auto net = MakeBasicNetwork({2, 3});
  BlockPtr b(new TEmptyConnections(net.get(), 0, 1));
  EXPECT_FALSE(b->IsConnected());
  EXPECT_FALSE(b->IsValid(0, 0));
  EXPECT_FALSE(b->IsTrainable(0, 0));
  EXPECT_EQ(b->GetFlags(0, 0), FMaskAll);
  EXPECT_STREQ(b->GetConnectionsNType(), "Empty");
  EXPECT_EQ(b->GetNumWeights(FMaskExists), 0);
  double dst = 4.0;
  EXPECT_EQ(b->GetWeights(&dst, FMaskAll), 0);
  EXPECT_EQ(b->SetWeights(&dst, FMaskAll), 0);
  EXPECT_EQ(dst, 4.0);
  std::vector<double> sums(3, 1.0);
  b->Aggregate(sums.data());
  EXPECT_EQ(sums, std::vector<double>(3, 1.0));
  Recorder visit;
  b->Iterate(&visit, FMaskExists);
  b->IterateIn(&visit, 0, FMaskExists);
  b->IterateOut(&visit, 0, FMaskExists);
  EXPECT_TRUE(visit.arcs.empty());
  b->InsertFromNeuron(0, 0, 1, false);
  b->RemoveToNeuron(0);
  BlockPtr copy(b->Clone(net.get()));
  EXPECT_STREQ(copy->GetConnectionsNType(), "Empty");
  EXPECT_EQ(b->GetWeightRows(), nullptr);
}

TEST(BlockSizeTest, SizeFitsSigned32BitCounts) {
  struct Case {
    long long from, to;
    bool fits;
  };
  const Case cases[] = {{0, 0, true},          {46340, 46340, true}, {46341, 46341, false},
                        {INT_MAX, 1, true},    {INT_MAX, 2, false},  {1, INT_MAX, true},
                        {0, INT_MAX, true},    {-1, 0, false},       {3, -2, false},
                        {65536, 32768, false}, {65536, 32767, true}, {1LL << 40, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " x " << c.to);
    EXPECT_EQ(TBasicConnections::SizeFits(c.from, c.to), c.fits);
  }
}

// Two networks of one shape visited in step.
struct Adder : TIterateObj2 {
  void Process() override { *weight1 += *weight2; }
};

TEST(MultiVisitorTest, VisitsTwoAndThreeNetworksInStep) {
  for (Kind kind : {Kind::kConnected, Kind::kPruned}) {
    SCOPED_TRACE(Name(kind));
    auto a = MakeBasicNetwork({2, 3});
    a->priv_conns_index[1][0] = MakeBlock(kind, a.get(), 0, 1);
    NumberWeights(a->priv_conns_index[1][0].get(), 2, 3);
    TBasicNetwork b(*a);
    TBasicNetwork c(*a);
    TBasicConnections* block = a->priv_conns_index[1][0].get();

    TIterateObj2 plain2;
    block->Iterate2(&plain2, &b, FMaskExists);
    TIterateObj3 plain3;
    block->Iterate3(&plain3, &b, &c, FMaskExists);
    EXPECT_EQ(Matrix(block, 2, 3), Matrix(b.priv_conns_index[1][0].get(), 2, 3));

    Adder add;
    block->Iterate2(&add, &b, FMaskExists);
    EXPECT_EQ(*block->GetWeightPtr(1, 2), 26.0);
    EXPECT_EQ(*block->GetWeightPtr(0, 0), 2.0);
    EXPECT_EQ(add.conn2, b.priv_conns_index[1][0].get());
  }
}

TEST(VisitorTest, PruneNodeCountsNothingIntoEmptyBlocks) {
  auto net = MakeBasicNetwork({2, 3, 2});
  TIterateObjPruneNode count;
  net->VisitOutArcs(&count, 1, 2, FMaskExists);
  EXPECT_EQ(count.count, 0);
  net->Connect(1, 2);
  net->VisitOutArcs(&count, 1, 2, FMaskExists);
  EXPECT_EQ(count.count, 2);
}

TEST(BlockDeathTest, RefusedOperations) {
  auto net = MakeBasicNetwork({2, 3});
  BlockPtr full(new TConnectedConnections(net.get(), 0, 1));
  BlockPtr empty(new TEmptyConnections(net.get(), 0, 1));
  const std::string f = test::AssertionReportAnyPlace("false");
  EXPECT_EXIT(full->Prune(0, 0), testing::ExitedWithCode(3), f);
  EXPECT_EXIT(full->SetUntrainable(0, 0), testing::ExitedWithCode(3), f);
  EXPECT_EXIT(full->SetAllUntrainable(), testing::ExitedWithCode(3), f);
  EXPECT_EXIT(empty->GetWeightPtr(0, 0), testing::ExitedWithCode(3), f);
  EXPECT_EXIT(empty->Prune(0, 0), testing::ExitedWithCode(3), f);
  EXPECT_EXIT(full->SetFlags(0, 0, 2), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("(val==FMaskAll) || (val==FMaskExists)"));
  net->layers[0]->numNeurons = 3;
  EXPECT_EXIT(full->InsertFromNeuron(0, 0, 1, false), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("attached"));
}

TEST(BlockDeathTest, OversizedBlockIsRefusedWhereItIsCreated) {
  auto net = MakeBasicNetwork({65536, 32768});
  for (Kind kind : {Kind::kConnected, Kind::kPruned}) {
    SCOPED_TRACE(Name(kind));
    EXPECT_EXIT(MakeBlock(kind, net.get(), 0, 1), testing::ExitedWithCode(3),
                test::AssertionReportAnyPlace("SizeFits(|from|, |to|)"));
  }
}

TEST(BlockDeathTest, VisitingBlocksOfDifferentKindsInStep) {
  auto a = MakeBasicNetwork({2, 3});
  auto b = MakeBasicNetwork({2, 3});
  a->Connect(0, 1);
  TIterateObj2 v;
  EXPECT_EXIT(a->priv_conns_index[1][0]->Iterate2(&v, b.get(), FMaskExists),
              testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace(
                  "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()"));
}

}  // namespace
}  // namespace kohport
