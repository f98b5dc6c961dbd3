#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "DataObject/Data.h"
#include "KQmessage/KQML.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"
#include "common/TException.h"

namespace kohport {
namespace {

using Rows = std::vector<std::vector<double>>;

double& Weight(TKohonenNetwork& map, int unit, int input) {
  return *map.priv_conns_index[2][1]->GetWeightPtr(input, unit);
}

std::vector<double> UnitWeights(TKohonenNetwork& map, int unit) {
  std::vector<double> w(static_cast<std::size_t>(map.layers[1]->numNeurons));
  for (int j = 0; j < static_cast<int>(w.size()); ++j) w[j] = Weight(map, unit, j);
  return w;
}

// A map of n inputs on the given grid; unit u's weight j is 10 * u + j, so
// every unit is nearest to itself and units are far apart.
std::unique_ptr<TKohonenNetwork> NumberedMap(int n, std::vector<int> sizes) {
  auto map = std::make_unique<TKohonenNetwork>(n, static_cast<int>(sizes.size()), sizes.data());
  for (int u = 0; u < map->layers[2]->numNeurons; ++u)
    for (int j = 0; j < n; ++j) Weight(*map, u, j) = 10.0 * u + j;
  return map;
}

// A data set holding `rows` (all of one width) with `outputs` output columns
// of zeros, filled to capacity unless a larger capacity is given.
std::unique_ptr<Data> MakeData(const Rows& rows, int outputs = 0, bool labels = false,
                               int capacity = -1) {
  const int width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  auto data = std::make_unique<Data>(capacity < 0 ? static_cast<int>(rows.size()) : capacity, width,
                                     outputs, labels);
  for (const auto& row : rows) data->AppendRow(row.data(), nullptr, nullptr);
  return data;
}

// The same, each row labelled with the given lists.
std::unique_ptr<Data> MakeLabelled(const Rows& rows, const std::vector<TLabelList>& labels,
                                   int outputs = 0) {
  auto data = std::make_unique<Data>(static_cast<int>(rows.size()),
                                     static_cast<int>(rows[0].size()), outputs, true);
  for (std::size_t r = 0; r < rows.size(); ++r)
    data->AppendRow(rows[r].data(), nullptr, &labels[r]);
  return data;
}

std::vector<double> InputRow(const Data& data, int row) {
  std::vector<double> v(static_cast<std::size_t>(data.GetNumInputs()));
  data.GetInputRow(row, v.data());
  return v;
}

std::vector<double> OutputRow(const Data& data, int row) {
  std::vector<double> v(static_cast<std::size_t>(data.GetNumOutputs()));
  data.GetOutputRow(row, v.data());
  return v;
}

TLabelList List(std::vector<std::pair<const char*, double>> labels) {
  TLabelList list;
  for (const auto& l : labels) list.AddLabel(l.first, l.second);
  return list;
}

void ExpectShape(const Data& data, int rows, int inputs, int outputs, bool labels) {
  EXPECT_EQ(data.GetNumRows(), rows);
  EXPECT_EQ(data.GetNumDataRows(), rows);
  EXPECT_EQ(data.GetNumInputs(), inputs);
  EXPECT_EQ(data.GetNumOutputs(), outputs);
  EXPECT_EQ(data.HasLabels(), labels);
}

// Records what TestData hands it; its result is a fixed number.
class Recorder : public TErrorAccumulator {
 public:
  explicit Recorder(int n_) : n(n_) {}
  void Accumulate(const double* input, const double* answer) override {
    inputs.emplace_back(input, input + n);
    answers.emplace_back(answer, answer + n);
  }
  double GetResult() const override { return 42.5; }

  int n;
  Rows inputs;
  Rows answers;
};

// ---- Recall ----------------------------------------------------------------

TEST(RecallDataTest, RowsEqualToUnitWeightsAnswerThemselves) {
  auto map = NumberedMap(3, {3, 4});
  Rows rows;
  for (int u : {9, 0, 11, 4, 4, 7}) rows.push_back(UnitWeights(*map, u));
  auto in = MakeData(rows);

  auto out = map->RecallData(in.get());
  ASSERT_NE(out, nullptr);
  ExpectShape(*out, 6, 3, 3, false);
  for (int r = 0; r < 6; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(InputRow(*out, r), rows[r]);
    EXPECT_EQ(OutputRow(*out, r), rows[r]);
  }
}

TEST(RecallDataTest, ReadsTheCapacityThroughTheCursorWrapping) {
  auto map = NumberedMap(2, {2, 2});
  const Rows units = {UnitWeights(*map, 0), UnitWeights(*map, 1), UnitWeights(*map, 2),
                      UnitWeights(*map, 3)};
  struct Case {
    const char* name;
    Rows appended;
    int capacity;
    std::vector<int> expected;  // winners in result order
  };
  const Case cases[] = {
      {"two rows in five slots", {units[1], units[2]}, 5, {1, 2, 1, 2, 1}},
      {"four rows in three slots", {units[0], units[1], units[2], units[3]}, 3, {1, 2, 3}},
      {"one row in four slots", {units[3]}, 4, {3, 3, 3, 3}},
      {"no rows in two slots", {}, 2, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto in = std::make_unique<Data>(c.capacity, 2, 0, false);
    for (const auto& row : c.appended) in->AppendRow(row.data(), nullptr, nullptr);
    in->MoveCursor(+1);  // the operations rewind first
    auto out = map->RecallData(in.get());
    ExpectShape(*out, c.capacity, 2, 2, false);
    for (int r = 0; r < c.capacity; ++r) {
      const std::vector<double> expected =
          c.appended.empty() ? std::vector<double>{0.0, 0.0} : units[c.expected[r]];
      EXPECT_EQ(InputRow(*out, r), expected) << "row " << r;
      EXPECT_EQ(OutputRow(*out, r), units[c.expected[r]]) << "row " << r;
    }
  }
}

TEST(RecallDataTest, AnInputSelectionDeliversTheMapsInputs) {
  auto map = NumberedMap(3, {2, 3});
  // Columns 4, 0 and 2 of each row hold unit 5's weights (50, 51, 52).
  auto in = MakeData({{51, -1, 52, -1, 50}, {0, 0, 2, 0, 1}});
  const int columns[] = {4, 0, 2};
  in->SetInputSelection(3, columns);
  auto out = map->RecallData(in.get());
  EXPECT_EQ(InputRow(*out, 0), (std::vector<double>{50, 51, 52}));
  EXPECT_EQ(OutputRow(*out, 0), UnitWeights(*map, 5));
  EXPECT_EQ(OutputRow(*out, 1), UnitWeights(*map, 0));
}

TEST(RecallDataTest, AZeroRowDataSetGivesAnEmptyResult) {
  auto map = NumberedMap(2, {2, 2});
  Data in(0, 2, 0, false);
  auto out = map->RecallData(&in);
  EXPECT_EQ(out->GetNumRows(), 0);
  auto labelled = map->LabelMap(std::make_unique<Data>(0, 2, 0, true).get(), nullptr);
  EXPECT_EQ(labelled->GetNumRows(), 4);
  EXPECT_EQ(labelled->GetLabels(3)->GetCount(), 0);
}

// ---- Identity with the row-by-row best match ---------------------------------

// A 2 x 3 map of 64 inputs with a duplicated unit and two units equally far
// from a row of ones, run over random rows, unit copies, tie rows and rows
// so large that every distance is infinite; the data set spans several
// chunks of the batch search.
class RecallIdentityTest : public testing::Test {
 protected:
  static constexpr int kInputs = 64;
  static constexpr int kRows = 40000;

  void SetUp() override {
    const int sizes[] = {2, 3};
    map = std::make_unique<TKohonenNetwork>(kInputs, 2, sizes);
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int u = 0; u < 6; ++u)
      for (int j = 0; j < kInputs; ++j) Weight(*map, u, j) = dist(gen);
    for (int j = 0; j < kInputs; ++j) {
      Weight(*map, 4, j) = Weight(*map, 1, j);  // unit 4 never wins over unit 1
      Weight(*map, 2, j) = 2.0;                 // units 2 and 5 tie for a row of ones
      Weight(*map, 5, j) = 0.0;
    }
    const char* names[] = {"x", "y", "z"};
    in = std::make_unique<Data>(kRows, kInputs, 0, true);
    std::vector<double> row(kInputs);
    for (int r = 0; r < kRows; ++r) {
      switch (r % 5) {
        case 0:
          row = UnitWeights(*map, r % 6);
          break;
        case 1:
          row.assign(kInputs, 1.0);
          break;
        case 2:
          row.assign(kInputs, r % 2 ? 1e200 : -1e200);
          break;
        default:
          for (double& x : row) x = dist(gen) * 1.5;
      }
      const TLabelList labels(names[r % 3], 1.0 + r % 4);
      in->AppendRow(row.data(), nullptr, &labels);
      reference.push_back(map->BestMatch(row.data(), scratch(kInputs)));
    }
  }

  double* scratch(int n) {
    buffer.resize(static_cast<std::size_t>(n));
    return buffer.data();
  }

  std::unique_ptr<TKohonenNetwork> map;
  std::unique_ptr<Data> in;
  std::vector<int> reference;  // BestMatch of every row
  std::vector<double> buffer;
};

TEST_F(RecallIdentityTest, EveryOperationAgreesWithBestMatchRowByRow) {
  std::map<int, int> wins;
  for (int w : reference) ++wins[w];
  ASSERT_EQ(wins.count(4), 0u);   // the copy of unit 1
  ASSERT_GT(wins[2], kRows / 5);  // the rows of ones, tied with unit 5
  ASSERT_GT(wins[0], kRows / 5);  // the rows at infinite distance from every unit

  auto recalled = map->RecallData(in.get());
  auto mapped = map->MapData(in.get(), nullptr);
  Recorder recorder(kInputs);
  EXPECT_EQ(map->TestData(in.get(), &recorder), 42.5);
  ASSERT_EQ(recorder.answers.size(), static_cast<std::size_t>(kRows));
  int coords[2];
  for (int r = 0; r < kRows; ++r) {
    const std::vector<double> winner = UnitWeights(*map, reference[r]);
    map->IndexToCoordinates(coords, reference[r]);
    if (OutputRow(*recalled, r) != winner || recorder.answers[r] != winner ||
        recorder.inputs[r] != InputRow(*in, r) ||
        OutputRow(*mapped, r) != std::vector<double>{double(coords[0]), double(coords[1])})
      FAIL() << "row " << r << " differs from BestMatch (unit " << reference[r] << ")";
  }

  // LabelMap: the sum of each name's values over the rows each unit won.
  std::vector<TLabelList> expected(6);
  for (int r = 0; r < kRows; ++r)
    expected[reference[r]].AddLabel(in->GetLabels(r)->GetLabel(0).name.c_str(),
                                    in->GetLabels(r)->GetLabel(0).value);
  auto labelled = map->LabelMap(in.get(), std::make_unique<TKQstructure>("labels"));
  for (int u = 0; u < 6; ++u) EXPECT_EQ(*labelled->GetLabels(u), expected[u]) << "unit " << u;
}

// ---- TestData and the accumulator --------------------------------------------

TEST(TestDataTest, FeedsEveryRowAndItsAnswerAndReturnsTheResult) {
  auto map = NumberedMap(2, {3, 4});
  const Rows rows = {{1.0, 2.5}, {90.5, 91.0}, {0.0, 1.0}};
  auto in = MakeData(rows, 0, false, 4);  // the fourth read starts again
  Recorder recorder(2);
  EXPECT_EQ(map->TestData(in.get(), &recorder), 42.5);
  EXPECT_EQ(recorder.inputs, (Rows{rows[0], rows[1], rows[2], rows[0]}));
  EXPECT_EQ(recorder.answers, (Rows{{0, 1}, {90, 91}, {0, 1}, {0, 1}}));
}

TEST(TestDataTest, MeanSquaredQuantizationErrorOfRecall) {
  auto map = NumberedMap(2, {3, 4});
  // Squared distances to the winners: 1 + 2.25, 0.25 + 0, 0 + 0.
  auto in = MakeData({{1.0, 2.5}, {90.5, 91.0}, {30.0, 31.0}});
  TMeanSquaredQuantizationError err(2);
  EXPECT_EQ(err.GetResult(), 0.0);
  EXPECT_DOUBLE_EQ(map->TestData(in.get(), &err), 3.5 / 3.0);
  EXPECT_EQ(err.GetNumAccumulated(), 3);
  // Accumulation goes on until Reset.
  EXPECT_DOUBLE_EQ(map->TestData(in.get(), &err), 3.5 / 3.0);
  EXPECT_EQ(err.GetNumAccumulated(), 6);
  err.Reset();
  EXPECT_EQ(err.GetResult(), 0.0);
  auto exact = MakeData({UnitWeights(*map, 3), UnitWeights(*map, 8)});
  EXPECT_EQ(map->TestData(exact.get(), &err), 0.0);
}

// ---- MapData -------------------------------------------------------------------

TEST(MapDataTest, GivesTheWinnersGridCoordinates) {
  auto map = NumberedMap(2, {3, 4});
  auto in = MakeData({{90.2, 91.4}, {0, 0}, {111, 111}, {40, 42}}, 2);  // units 9, 0, 11, 4
  auto out = map->MapData(in.get(), std::make_unique<TKQstructure>("params"));
  ExpectShape(*out, 4, 2, 2, false);
  EXPECT_EQ(InputRow(*out, 0), (std::vector<double>{90.2, 91.4}));
  EXPECT_EQ(OutputRow(*out, 0), (std::vector<double>{2, 1}));
  EXPECT_EQ(OutputRow(*out, 1), (std::vector<double>{0, 0}));
  EXPECT_EQ(OutputRow(*out, 2), (std::vector<double>{2, 3}));
  EXPECT_EQ(OutputRow(*out, 3), (std::vector<double>{1, 0}));
  EXPECT_NE(map->MapData(in.get(), nullptr), nullptr);

  auto cube = NumberedMap(1, {2, 3, 4});
  auto one = MakeData({{230.0}});
  EXPECT_EQ(OutputRow(*cube->MapData(one.get(), nullptr), 0), (std::vector<double>{1, 2, 3}));
}

// ---- LabelMap ------------------------------------------------------------------

TEST(LabelMapTest, SumsEqualNamesOnTheWinnerAndListsUnitsInOdometerOrder) {
  auto map = NumberedMap(2, {3, 4});
  const Rows rows = {{90, 91}, {0, 1}, {91, 90}, {50, 51}, {89, 92}, {0, 0}};
  const std::vector<TLabelList> labels = {
      List({{"a", 1.0}}), List({{"A", 1.0}}),
      List({{"a", 2.0}}), List({{"c", 1.0}, {"a", 7.0}}),  // only the first label counts
      List({{"b", 0.5}}), List({{"a", 0.25}}),
  };
  auto in = MakeLabelled(rows, labels, 1);
  auto out = map->LabelMap(in.get(), nullptr);
  ExpectShape(*out, 12, 2, 0, true);
  int k = 0;
  for (int x = 0; x < 3; ++x)
    for (int y = 0; y < 4; ++y, ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(InputRow(*out, k), (std::vector<double>{double(x), double(y)}));
      TLabelList expected;
      if (k == 9) expected = List({{"a", 3.0}, {"b", 0.5}});
      if (k == 0) expected = List({{"A", 1.0}, {"a", 0.25}});
      if (k == 5) expected = List({{"c", 1.0}});
      EXPECT_EQ(*out->GetLabels(k), expected);
    }
  // The result keeps copies.
  in->ClearLabels(0);
  EXPECT_EQ(*out->GetLabels(9), List({{"a", 3.0}, {"b", 0.5}}));
}

// ---- GetMapDimensions and LookupLabels ---------------------------------------------

std::unique_ptr<Data> LabelledMapOf(const std::vector<int>& sizes) {
  auto map = NumberedMap(1, sizes);
  const int units = map->layers[2]->numNeurons;
  Rows rows;
  std::vector<TLabelList> labels;
  for (int u = 0; u < units; ++u) {
    rows.push_back({10.0 * u});
    labels.push_back(TLabelList(("unit" + std::to_string(u)).c_str(), u));
  }
  return map->LabelMap(MakeLabelled(rows, labels).get(), nullptr);
}

TEST(GetMapDimensionsTest, MeasuresTheGridOfALabelledMap) {
  const std::vector<std::vector<int>> grids = {{3, 4}, {7}, {2, 3, 4}, {4, 1}, {1}};
  for (const auto& grid : grids) {
    SCOPED_TRACE(testing::PrintToString(grid));
    auto labelled = LabelledMapOf(grid);
    std::vector<int> sizes(grid.size(), -1);
    GetMapDimensions(labelled.get(), sizes.data());
    EXPECT_EQ(sizes, grid);
  }
}

TEST(GetMapDimensionsTest, AnInnerDimensionOfOneRunsPastTheLastRow) {
  auto labelled = LabelledMapOf({1, 4});
  int sizes[2];
  try {
    GetMapDimensions(labelled.get(), sizes);
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_STREQ(e.Message(), "Invalid Data Row");
    EXPECT_EQ(e.location, "Data::GetInputDatum");
  }
}

TEST(LookupLabelsTest, TruncatedCoordinatesNameTheUnit) {
  auto labelled = LabelledMapOf({3, 4});
  // Inputs are ignored; the outputs are the coordinates.
  auto coords = std::make_unique<Data>(4, 1, 2, false);
  const double in[] = {5.0};
  const Rows points = {{2.7, 1.2}, {0.0, 0.0}, {-0.5, 3.9}, {1.99, 2.01}};
  for (const auto& p : points) coords->AppendRow(in, p.data(), nullptr);
  const int expected[] = {9, 0, 3, 6};

  const int sizes[] = {3, 4};
  auto first = LookupLabels(coords.get(), labelled.get());
  auto second = LookupLabels(coords.get(), labelled.get(), 2, sizes);
  for (Data* out : {first.get(), second.get()}) {
    ExpectShape(*out, 4, 0, 0, true);
    for (int r = 0; r < 4; ++r)
      EXPECT_EQ(*out->GetLabels(r), *labelled->GetLabels(expected[r])) << "row " << r;
  }
  // The result keeps copies.
  labelled->ClearLabels(9);
  EXPECT_EQ(*first->GetLabels(0), TLabelList("unit9", 9));

  // Coordinates are not compared with the sizes; an index outside the
  // labelled map's rows is Data's refusal.
  auto outside = std::make_unique<Data>(1, 0, 2, false);
  const double beyond[] = {3.0, 0.0};
  outside->AppendRow(nullptr, beyond, nullptr);
  try {
    LookupLabels(outside.get(), labelled.get());
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_STREQ(e.Message(), "Invalid Data Row");
    EXPECT_EQ(e.location, "Data::GetLabels");
  }
}

// ---- Refusals --------------------------------------------------------------------

struct Refusal {
  const char* name;
  std::function<void()> call;
  const char* location;
  const char* message;
};

void ExpectRefused(const Refusal& c) {
  SCOPED_TRACE(c.name);
  try {
    c.call();
    ADD_FAILURE() << "no exception";
  } catch (const TException& e) {
    EXPECT_STREQ(e.Message(), c.message);
    EXPECT_EQ(e.category, "Bad Parameter");
    EXPECT_EQ(e.location, c.location);
  }
}

TEST(RecallRefusalTest, ArgumentsTheMapCannotRead) {
  auto map = NumberedMap(2, {3, 4});
  TKohonenNetwork noGrid(2, 0, nullptr);
  auto badGrid = NumberedMap(2, {3, 4});
  const int tooMany[] = {5, 5};
  badGrid->SetDimensions(2, tooMany);

  auto good = MakeData({{0, 1}});
  auto three = MakeData({{0, 1, 2}});
  auto one = MakeData({{0}});
  auto selectedThree = MakeData({{0, 1, 2}});
  const int columns3[] = {0, 1, 2};
  selectedThree->SetInputSelection(3, columns3);
  auto wideOutputs = MakeData({{0, 1}}, 3);
  auto labelled = MakeLabelled({{0, 1}}, {TLabelList("a", 1)});
  auto labelledWide = MakeLabelled({{0, 1}}, {TLabelList("a", 1)}, 3);
  auto inputSelection = MakeLabelled({{0, 1}}, {TLabelList("a", 1)});
  const int columns2[] = {1, 0};
  inputSelection->SetInputSelection(2, columns2);
  auto outputSelection = MakeLabelled({{0, 1}}, {TLabelList("a", 1)}, 1);
  const int out0[] = {0};
  outputSelection->SetSelection(0, nullptr, 1, out0);
  auto unlabelledRow =
      MakeLabelled({{0, 1}, {10, 11}, {20, 21}}, {TLabelList("a", 1), TLabelList(), TLabelList()});
  TMeanSquaredQuantizationError err(2);
  auto P = [] { return std::make_unique<TKQstructure>("ignored"); };

  const char* const R = "TKohonenNetwork::RecallData";
  const char* const T = "TKohonenNetwork::TestData";
  const char* const L = "TKohonenNetwork::LabelMap";
  const char* const M = "TKohonenNetwork::MapData";
  const Refusal cases[] = {
      {"recall null", [&] { map->RecallData(nullptr); }, R, "No data set given"},
      {"recall 3 inputs", [&] { map->RecallData(three.get()); }, R,
       "Data set rows deliver 3 input values, the map has 2 inputs"},
      {"recall 1 input", [&] { map->RecallData(one.get()); }, R,
       "Data set rows deliver 1 input values, the map has 2 inputs"},
      {"recall selection of 3", [&] { map->RecallData(selectedThree.get()); }, R,
       "Data set rows deliver 3 input values, the map has 2 inputs"},
      {"test null data", [&] { map->TestData(nullptr, &err); }, T, "No data set given"},
      {"test null accumulator", [&] { map->TestData(three.get(), nullptr); }, T,
       "No error accumulator given"},
      {"test 3 inputs", [&] { map->TestData(three.get(), &err); }, T,
       "Data set rows deliver 3 input values, the map has 2 inputs"},
      {"map null", [&] { map->MapData(nullptr, P()); }, M, "No data set given"},
      {"map 1 input", [&] { map->MapData(one.get(), P()); }, M,
       "Data set rows deliver 1 input values, the map has 2 inputs"},
      {"map 3 outputs", [&] { map->MapData(wideOutputs.get(), P()); }, M,
       "Data set rows deliver 3 output values, more than the map's 2 inputs"},
      {"map without grid", [&] { noGrid.MapData(good.get(), P()); }, M,
       "The map has no grid dimensions"},
      {"map grid of 25 for 12 units", [&] { badGrid->MapData(good.get(), P()); }, M,
       "The map's grid sizes do not multiply to its 12 units"},
      {"label null", [&] { map->LabelMap(nullptr, P()); }, L, "No data set given"},
      {"label 3 inputs", [&] { map->LabelMap(three.get(), P()); }, L,
       "Data set rows deliver 3 input values, the map has 2 inputs"},
      {"label 3 outputs", [&] { map->LabelMap(labelledWide.get(), P()); }, L,
       "Data set rows deliver 3 output values, more than the map's 2 inputs"},
      {"label without labels", [&] { map->LabelMap(good.get(), P()); }, L,
       "Data set has no labels"},
      {"label input selection", [&] { map->LabelMap(inputSelection.get(), P()); }, L,
       "Data set has a column selection"},
      {"label output selection", [&] { map->LabelMap(outputSelection.get(), P()); }, L,
       "Data set has a column selection"},
      {"label row without label", [&] { map->LabelMap(unlabelledRow.get(), P()); }, L,
       "Data set row 1 has no label"},
      {"label without grid", [&] { noGrid.LabelMap(labelled.get(), P()); }, L,
       "The map has no grid dimensions"},
      {"label grid of 25 for 12 units", [&] { badGrid->LabelMap(labelled.get(), P()); }, L,
       "The map's grid sizes do not multiply to its 12 units"},
  };
  for (const Refusal& c : cases) ExpectRefused(c);
}

TEST(RecallRefusalTest, LabelledMapsAndCoordinatesThatDisagree) {
  auto labelled = LabelledMapOf({3, 4});
  auto coords = std::make_unique<Data>(1, 0, 2, false);
  auto coords3 = std::make_unique<Data>(1, 0, 3, false);
  auto noColumns = std::make_unique<Data>(2, 0, 0, true);
  auto selected = std::make_unique<Data>(1, 1, 2, false);
  const int in0[] = {0};
  const int out1[] = {1};
  selected->SetSelection(1, in0, 1, out1);
  auto notANumber = std::make_unique<Data>(1, 0, 2, false);
  const double nan[] = {1.0, std::numeric_limits<double>::quiet_NaN()};
  notANumber->AppendRow(nullptr, nan, nullptr);
  auto huge = std::make_unique<Data>(1, 0, 2, false);
  const double big[] = {-3e9, 0.0};
  huge->AppendRow(nullptr, big, nullptr);
  const int sizes[] = {3, 4};
  int out[2];

  const char* const K = "LookupLabels";
  const char* const G = "GetMapDimensions";
  const Refusal cases[] = {
      {"null coordinates", [&] { LookupLabels(nullptr, labelled.get()); }, K,
       "No coordinates data set given"},
      {"null map", [&] { LookupLabels(coords.get(), nullptr); }, K, "No labelled map given"},
      {"null coordinates, sizes given", [&] { LookupLabels(nullptr, labelled.get(), 2, sizes); }, K,
       "No coordinates data set given"},
      {"null map, sizes given", [&] { LookupLabels(coords.get(), nullptr, 2, sizes); }, K,
       "No labelled map given"},
      {"3 coordinates on a map of 2", [&] { LookupLabels(coords3.get(), labelled.get()); }, K,
       "The labelled map has 2 coordinate columns, the coordinates data set 3 outputs"},
      {"3 dimensions given", [&] { LookupLabels(coords.get(), labelled.get(), 3, sizes); }, K,
       "The coordinates data set has 2 outputs, the grid 3 dimensions"},
      {"no dimensions anywhere", [&] { LookupLabels(noColumns.get(), noColumns.get(), 0, sizes); },
       K, "The grid has no dimensions"},
      {"map without coordinate columns", [&] { LookupLabels(noColumns.get(), noColumns.get()); }, K,
       "The labelled map has no coordinate columns"},
      {"selection delivers 1 output", [&] { LookupLabels(selected.get(), labelled.get()); }, K,
       "The coordinates data set's rows deliver 1 output values, not 2"},
      {"coordinate not a number", [&] { LookupLabels(notANumber.get(), labelled.get()); }, K,
       "Coordinate nan in coordinates row 0 is not a grid index"},
      {"coordinate beyond int", [&] { LookupLabels(huge.get(), labelled.get()); }, K,
       "Coordinate -3000000000 in coordinates row 0 is not a grid index"},
      {"dimensions of null", [&] { GetMapDimensions(nullptr, out); }, G, "No labelled map given"},
      {"dimensions without columns", [&] { GetMapDimensions(noColumns.get(), out); }, G,
       "The labelled map has no coordinate columns"},
  };
  for (const Refusal& c : cases) ExpectRefused(c);
}

TEST(RecallDeathTest, SizeArraysAreRequired) {
  auto labelled = LabelledMapOf({3, 4});
  auto coords = std::make_unique<Data>(1, 0, 2, false);
  EXPECT_EXIT(GetMapDimensions(labelled.get(), nullptr), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("sizes != NULL"));
  EXPECT_EXIT(LookupLabels(coords.get(), labelled.get(), 2, nullptr), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("sizes != NULL"));
}

// ---- The iris example ----------------------------------------------------------------

std::vector<double> Numbers(const std::string& line) {
  std::vector<double> out;
  const char* p = line.data();
  const char* end = p + line.size();
  while (p < end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
    double v;
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc()) break;
    out.push_back(v);
    p = r.ptr;
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

// The bundled 6 x 6 map of the four iris measurements, its 150 rows and
// their species.
class IrisTest : public testing::Test {
 protected:
  void SetUp() override {
    const int sizes[] = {6, 6};
    map = std::make_unique<TKohonenNetwork>(4, 2, sizes);
    int units = 0;
    bool table = false;
    for (const std::string& line : Lines(test::ReadFile(KOHPORT_EXAMPLES "/iris_6x6.kmap"))) {
      if (line.rfind("X Y", 0) == 0) {
        table = true;
        continue;
      }
      if (!table || line.empty()) continue;
      const std::vector<double> v = Numbers(line);  // X, Y and four weights
      ASSERT_EQ(v.size(), 6u) << line;
      for (int j = 0; j < 4; ++j) Weight(*map, int(v[0]) * 6 + int(v[1]), j) = v[2 + j];
      ++units;
    }
    ASSERT_EQ(units, 36);

    const auto rows = Lines(test::ReadFile(KOHPORT_EXAMPLES "/iris_data.txt"));
    species = Lines(test::ReadFile(KOHPORT_EXAMPLES "/iris_labels.txt"));
    ASSERT_EQ(rows.size(), 150u);
    ASSERT_EQ(species.size(), 150u);
    in = std::make_unique<Data>(150, 4, 0, true);
    for (int r = 0; r < 150; ++r) {
      const std::vector<double> v = Numbers(rows[r]);
      ASSERT_EQ(v.size(), 4u);
      const TLabelList label(species[r].c_str(), 1.0);
      in->AppendRow(v.data(), nullptr, &label);
    }
  }

  std::unique_ptr<TKohonenNetwork> map;
  std::unique_ptr<Data> in;
  std::vector<std::string> species;
};

TEST_F(IrisTest, LabelledMapSeparatesTheSpeciesAndLooksThemUpAgain) {
  auto labelled = map->LabelMap(in.get(), nullptr);
  int dims[2];
  GetMapDimensions(labelled.get(), dims);
  EXPECT_EQ(dims[0], 6);
  EXPECT_EQ(dims[1], 6);

  // Every row is counted once, and setosa shares no unit with the others.
  std::map<std::string, double> totals;
  for (int u = 0; u < 36; ++u) {
    const TLabelList& labels = *labelled->GetLabels(u);
    for (const TLabel& l : labels.GetLabels()) totals[l.name] += l.value;
    bool setosa = false;
    for (const TLabel& l : labels.GetLabels()) setosa = setosa || l.name == "setosa";
    if (setosa) {
      EXPECT_EQ(labels.GetCount(), 1) << "unit " << u;
    }
  }
  EXPECT_EQ(totals, (std::map<std::string, double>{
                        {"setosa", 50.0}, {"versicolor", 50.0}, {"virginica", 50.0}}));

  // Each row's position on the map finds its own species there, and most
  // rows sit on a unit where their species is the majority.
  auto positions = map->MapData(in.get(), nullptr);
  auto found = LookupLabels(positions.get(), labelled.get());
  int majority = 0;
  for (int r = 0; r < 150; ++r) {
    const TLabelList& labels = *found->GetLabels(r);
    const TLabel* own = nullptr;
    double most = 0.0;
    for (const TLabel& l : labels.GetLabels()) {
      if (l.name == species[r]) own = &l;
      most = std::max(most, l.value);
    }
    ASSERT_NE(own, nullptr) << "row " << r;
    if (own->value == most) ++majority;
  }
  EXPECT_GE(majority, 140);

  // The error measure is the mean of the rows' squared distances to their
  // winners.
  double sum = 0.0;
  std::vector<double> w(4);
  for (int r = 0; r < 150; ++r) {
    const std::vector<double> x = InputRow(*in, r);
    map->BestMatch(x.data(), w.data());
    double d = 0.0;
    for (int j = 0; j < 4; ++j) d = d + (x[j] - w[j]) * (x[j] - w[j]);
    sum = sum + d;
  }
  TMeanSquaredQuantizationError err(4);
  EXPECT_EQ(map->TestData(in.get(), &err), sum / 150.0);
}

}  // namespace
}  // namespace kohport
