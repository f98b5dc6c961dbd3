#include "DataObject/Data.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "common/TException.h"

#if defined(__SANITIZE_ADDRESS__)
#define KOHPORT_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOHPORT_TEST_UNDER_ASAN 1
#endif
#endif

namespace kohport {
namespace {

// Every data set here has 3 inputs and 2 outputs. A row is named by a number
// id: inputs {id, id + 0.25, id + 0.5}, outputs {-id, -id - 0.25}.
constexpr int kIn = 3;
constexpr int kOut = 2;

struct Row {
  explicit Row(double id) : in{id, id + 0.25, id + 0.5}, out{-id, -id - 0.25} {}
  Row(double inputs, double outputs) : in{inputs, inputs, inputs}, out{outputs, outputs} {}
  double in[kIn];
  double out[kOut];
};

void Append(Data& data, double id) {
  const Row row(id);
  data.AppendRow(row.in, row.out, nullptr);
}

// Appends rows 1..count in order.
void Fill(Data& data, int count) {
  for (int id = 1; id <= count; ++id) Append(data, id);
}

// Reads one row sequentially and checks that it is a whole, consistent row;
// returns its id (0 for a row of zeros).
double NextId(Data& data) {
  double in[kIn];
  double out[kOut];
  data.GetNextRow(in, out, nullptr);
  Row expected(in[0]);
  if (in[0] == 0.0) expected = Row(0, 0);  // a slot without data
  EXPECT_EQ(std::vector<double>(in, in + kIn), std::vector<double>(expected.in, expected.in + kIn));
  EXPECT_EQ(std::vector<double>(out, out + kOut),
            std::vector<double>(expected.out, expected.out + kOut));
  return in[0];
}

double PreviousId(Data& data) {
  double in[kIn];
  data.GetPreviousRow(in, nullptr);
  return in[0];
}

std::vector<double> Forward(Data& data, int n) {
  std::vector<double> ids;
  for (int i = 0; i < n; ++i) ids.push_back(NextId(data));
  return ids;
}

std::vector<double> Backward(Data& data, int n) {
  std::vector<double> ids;
  for (int i = 0; i < n; ++i) ids.push_back(PreviousId(data));
  return ids;
}

// The input value of column 0 of every slot 0..rows-1 that is a valid row,
// in slot order.
std::vector<double> SlotIds(const Data& data) {
  std::vector<double> ids;
  for (int row = 0; row < data.GetNumRows(); ++row) {
    if (data.IsValidRow(row)) ids.push_back(data.GetInputDatum(row, 0));
  }
  return ids;
}

template <typename Call>
void ExpectRefused(Call call, const std::string& message, const std::string& location) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const TException& e) {
    EXPECT_EQ(e.Message(), message);
    ASSERT_TRUE(e.category && e.location);
    EXPECT_EQ(*e.category, "Bad Parameter");
    EXPECT_EQ(*e.location, location);
    EXPECT_EQ(e.details, nullptr);
  }
}

TEST(DataRingTest, ThreeRowsAfterAppendingFourHoldTheNewestThree) {
  Data data(3, kIn, kOut, false);
  Fill(data, 4);  // A=1, B=2, C=3, D=4
  EXPECT_EQ(data.GetNumDataRows(), 3);
  EXPECT_EQ(data.GetFirst(), 1);
  EXPECT_EQ(data.GetLast(), 0);
  EXPECT_EQ(SlotIds(data), (std::vector<double>{4, 2, 3}));
  data.Rewind();
  EXPECT_EQ(Forward(data, 7), (std::vector<double>{2, 3, 4, 2, 3, 4, 2}));
}

TEST(DataRingTest, FiveRowsWithTwoAppendedHoldSlotsZeroAndOne) {
  Data data(5, kIn, kOut, false);
  Fill(data, 2);
  EXPECT_EQ(data.GetFirst(), 0);
  EXPECT_EQ(data.GetLast(), 1);
  EXPECT_TRUE(data.IsValidRow(1));
  EXPECT_FALSE(data.IsValidRow(2));
  ExpectRefused([&] { data.GetInputDatum(2, 0); }, "Invalid Data Row", "Data::GetInputDatum");
}

// Sequential reading in both directions, for rings filling, full, wrapped,
// with one row, with no row and with no slot at all. Backward reading starts
// from Rewind, that is from the newest row.
TEST(DataRingTest, CursorWalksTheRowsHoldingDataAndWrapsBothWays) {
  struct Case {
    int rows;
    int appended;
    std::vector<double> forward;
    std::vector<double> backward;
  };
  const Case cases[] = {
      {3, 4, {2, 3, 4, 2, 3}, {3, 2, 4, 3}},
      {5, 2, {1, 2, 1, 2}, {1, 2, 1}},
      {3, 3, {1, 2, 3, 1}, {2, 1, 3, 2}},
      {3, 7, {5, 6, 7, 5}, {6, 5, 7}},
      {4, 1, {1, 1, 1}, {1, 1}},
      {1, 5, {5, 5}, {5, 5}},
      {4, 0, {0, 0}, {0, 0}},
      {0, 2, {0, 0}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.appended) + " appended");
    Data data(c.rows, kIn, kOut, false);
    Fill(data, c.appended);
    data.Rewind();
    EXPECT_EQ(Forward(data, static_cast<int>(c.forward.size())), c.forward);
    data.Rewind();
    EXPECT_EQ(Backward(data, static_cast<int>(c.backward.size())), c.backward);
    EXPECT_TRUE(data.GetNumRows() == 0 || data.IsValidRow(data.GetCursor()));
  }
}

TEST(DataRingTest, MoveCursorTakesAnyStepAlongTheRingOrder) {
  Data data(5, kIn, kOut, false);
  Fill(data, 4);
  data.Rewind();
  data.MoveCursor(2);
  EXPECT_EQ(data.GetCursor(), 1);
  data.MoveCursor(-3);
  EXPECT_EQ(data.GetCursor(), 2);
  for (int step : {INT_MAX, INT_MIN, -1, 9}) {
    data.MoveCursor(step);
    EXPECT_TRUE(data.IsValidRow(data.GetCursor())) << "step " << step;
  }
}

TEST(DataRingTest, AnEmptyDataSetReadsSlotZeroAsZeros) {
  Data data(4, kIn, kOut, true);
  EXPECT_TRUE(data.IsValidRow(0));
  EXPECT_FALSE(data.IsValidRow(1));
  double in[kIn] = {9, 9, 9};
  const TLabelList* labels = nullptr;
  data.GetNextRow(in, nullptr, &labels);
  EXPECT_EQ(data.GetCursor(), 0);
  EXPECT_EQ(std::vector<double>(in, in + kIn), (std::vector<double>{0, 0, 0}));
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->GetCount(), 0);
}

TEST(DataRingTest, ADataSetOfNoRowsDiscardsAppendsAndHasNoValidRow) {
  Data data(0, kIn, kOut, true);
  Append(data, 1);
  EXPECT_EQ(data.GetNumDataRows(), 0);
  EXPECT_EQ(data.GetChanges(), 1);
  EXPECT_FALSE(data.IsValidRow(0));
  ExpectRefused([&] { data.GetLabels(0); }, "Invalid Data Row", "Data::GetLabels");
  const TLabelList* labels = nullptr;
  EXPECT_EQ(NextId(data), 0);
  data.GetCurrentRow(nullptr, nullptr, &labels);
  ASSERT_NE(labels, nullptr);
  EXPECT_EQ(labels->GetCount(), 0);
}

TEST(DataRingTest, AppendingWithoutValuesKeepsTheOverwrittenSlotsValues) {
  Data data(2, kIn, kOut, false);
  Fill(data, 2);
  const Row row(3);
  data.AppendRow(nullptr, row.out, nullptr);  // overwrites slot 0, which held row 1
  EXPECT_EQ(data.GetInputDatum(0, 0), 1.0);
  EXPECT_EQ(data.GetOutputDatum(0, 0), -3.0);
}

TEST(DataRingTest, AppendRowsTakesOneRowFromEachArray) {
  const Row a(1), b(2);
  const double* ins[] = {a.in, b.in};
  const double* outs[] = {a.out, b.out};
  const TLabelList labels[] = {TLabelList("a", 1.0), TLabelList("b", 2.0)};
  Data data(4, kIn, kOut, true);
  data.AppendRows(2, ins, outs, labels);
  EXPECT_EQ(SlotIds(data), (std::vector<double>{1, 2}));
  EXPECT_EQ(data.GetOutputDatum(1, 1), -2.25);
  EXPECT_EQ(data.GetLabels(1)->GetLabel(0).name, "b");
  data.AppendRows(1, nullptr, nullptr, nullptr);
  EXPECT_EQ(data.GetNumDataRows(), 3);
}

TEST(DataIndexTest, SetAndGetByIndexAndWholeOrListedRows) {
  Data data(4, kIn, kOut, false);
  Fill(data, 2);
  data.SetInputDatum(1, 2, 42.0);
  data.SetOutputDatum(0, 1, -42.0);
  EXPECT_EQ(data.GetInputDatum(1, 2), 42.0);
  EXPECT_EQ(data.GetOutputDatum(0, 1), -42.0);

  double in[kIn];
  data.GetInputRow(1, in);
  EXPECT_EQ(std::vector<double>(in, in + kIn), (std::vector<double>{2, 2.25, 42}));
  double out[kOut];
  data.GetOutputRow(0, out);
  EXPECT_EQ(std::vector<double>(out, out + kOut), (std::vector<double>{-1, -42}));

  const int columns[] = {2, 0, 2};
  double listed[3];
  data.GetInputRow(1, listed, 3, columns);
  EXPECT_EQ(std::vector<double>(listed, listed + 3), (std::vector<double>{42, 2, 42}));
  const int outColumn[] = {1};
  data.GetOutputRow(1, listed, 1, outColumn);
  EXPECT_EQ(listed[0], -2.25);

  const Row row(7);
  data.SetRow(0, row.in, nullptr, nullptr);
  EXPECT_EQ(data.GetInputDatum(0, 1), 7.25);
  EXPECT_EQ(data.GetOutputDatum(0, 1), -42.0);  // outputs not given: kept
  EXPECT_EQ(data.GetNumDataRows(), 2);
}

TEST(DataIndexTest, RowPointersReadInPlaceAndNeverMove) {
  Data data(2, kIn, kOut, false);
  Append(data, 1);
  const double* first = data.InputRowPtr(0);
  EXPECT_EQ(first[1], 1.25);
  Append(data, 2);
  Append(data, 3);  // overwrites slot 0
  EXPECT_EQ(data.InputRowPtr(0), first);
  EXPECT_EQ(first[1], 3.25);
  EXPECT_EQ(data.OutputRowPtr(1)[0], -2.0);
}

TEST(DataBlockTest, CopiesRowsUpToTheNewestAndReportsTheCount) {
  Data data(10, kIn, kOut, false);
  Fill(data, 5);
  std::vector<Row> rows(10, Row(0));
  std::vector<double*> ins, outs;
  for (Row& row : rows) {
    ins.push_back(row.in);
    outs.push_back(row.out);
  }
  EXPECT_EQ(data.GetBlock(ins.data(), outs.data(), 0, 99), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(rows[i].in[2], i + 1.5);
    EXPECT_EQ(rows[i].out[1], -(i + 1.25));
  }
  EXPECT_EQ(rows[5].in[0], 0.0);

  EXPECT_EQ(data.GetBlock(ins.data(), nullptr, 2, 3), 2);
  EXPECT_EQ(rows[0].in[0], 3.0);
  EXPECT_EQ(rows[1].in[0], 4.0);
  EXPECT_EQ(data.GetBlock(ins.data(), outs.data(), 3, 2), 0);
  ExpectRefused([&] { data.GetBlock(ins.data(), outs.data(), 5, 6); }, "Data Block Fault",
                "Data::GetBlock");
  ExpectRefused([&] { data.GetBlock(ins.data(), outs.data(), -1, 2); }, "Data Block Fault",
                "Data::GetBlock");
}

TEST(DataBlockTest, InAWrappedRingTheRangeEndsAtTheNewestSlot) {
  Data data(3, kIn, kOut, false);
  Fill(data, 4);  // slots hold 4, 2, 3; the newest is slot 0
  Row row(0);
  double* in[] = {row.in};
  EXPECT_EQ(data.GetBlock(in, nullptr, 1, 2), 0);
  EXPECT_EQ(data.GetBlock(in, nullptr, 0, 2), 1);
  EXPECT_EQ(row.in[0], 4.0);
}

class DataSelectionTest : public testing::Test {
 protected:
  DataSelectionTest() {
    Fill(data, 2);
    data.Rewind();
  }

  // The next row as read sequentially; unwritten places stay at -99.
  std::pair<std::vector<double>, std::vector<double>> Next() {
    std::vector<double> in(kIn, -99), out(kOut, -99);
    data.GetNextRow(in.data(), out.data(), nullptr);
    return {in, out};
  }
  using Values = std::vector<double>;

  Data data{4, kIn, kOut, false};
  const int inColumns[3] = {2, 0, 2};
  const int outColumns[1] = {1};
};

TEST_F(DataSelectionTest, InputSelectionPicksColumnsInListOrder) {
  data.SetInputSelection(2, inColumns);
  EXPECT_EQ(data.GetNumRowInputs(), 2);
  EXPECT_EQ(data.GetNumRowOutputs(), kOut);
  EXPECT_EQ(Next(), std::make_pair(Values{1.5, 1, -99}, Values{-1, -1.25}));
}

TEST_F(DataSelectionTest, OutputSelectionCountsOnlyWithAnInputSelection) {
  data.SetSelection(3, inColumns, 1, outColumns);
  EXPECT_EQ(data.GetNumRowOutputs(), 1);
  EXPECT_EQ(Next(), std::make_pair(Values{1.5, 1, 1.5}, Values{-1.25, -99}));

  data.SetSelection(0, nullptr, 1, outColumns);
  EXPECT_FALSE(data.HasInputSelection());
  EXPECT_TRUE(data.HasOutputSelection());
  EXPECT_EQ(data.GetNumRowOutputs(), kOut);
  EXPECT_EQ(Next(), std::make_pair(Values{2, 2.25, 2.5}, Values{-2, -2.25}));
}

TEST_F(DataSelectionTest, AnEmptySelectionDiffersFromNone) {
  data.SetInputSelection(0, inColumns);
  ASSERT_TRUE(data.GetInputSelection().has_value());
  EXPECT_TRUE(data.GetInputSelection()->empty());
  EXPECT_EQ(Next(), std::make_pair(Values{-99, -99, -99}, Values{-1, -1.25}));

  data.SetInputSelection(0, nullptr);
  EXPECT_FALSE(data.GetInputSelection().has_value());
  EXPECT_EQ(Next(), std::make_pair(Values{2, 2.25, 2.5}, Values{-2, -2.25}));
}

TEST_F(DataSelectionTest, SelectionsAreCopiesAndRefusedOnesChangeNothing) {
  int columns[] = {1, 0};
  data.SetSelection(2, columns, 1, outColumns);
  columns[0] = 2;
  EXPECT_EQ(data.GetInputSelection(), (std::optional<std::vector<int>>{{1, 0}}));

  const int badOut[] = {2};
  ExpectRefused([&] { data.SetSelection(1, inColumns, 1, badOut); }, "Invalid Output Data Column",
                "Data::SetSelection");
  const int badIn[] = {0, 3};
  ExpectRefused([&] { data.SetInputSelection(2, badIn); }, "Invalid Input Data Column",
                "Data::SetInputSelection");
  EXPECT_EQ(data.GetInputSelection(), (std::optional<std::vector<int>>{{1, 0}}));
  EXPECT_EQ(data.GetOutputSelection(), (std::optional<std::vector<int>>{{1}}));
}

TEST(DataCloneTest, CloneEqualsItsSourceAndSharesNothing) {
  Data source(3, kIn, kOut, true);
  Fill(source, 4);
  source.AppendLabel(2, 1.0, "c");
  const int columns[] = {1};
  source.SetSelection(1, columns, 1, columns);
  source.MoveCursor(1);

  std::unique_ptr<Data> clone = source.Clone();
  EXPECT_EQ(SlotIds(*clone), SlotIds(source));
  EXPECT_EQ(clone->GetFirst(), source.GetFirst());
  EXPECT_EQ(clone->GetLast(), source.GetLast());
  EXPECT_EQ(clone->GetCursor(), source.GetCursor());
  EXPECT_EQ(clone->GetChanges(), source.GetChanges());
  EXPECT_EQ(clone->GetInputSelection(), source.GetInputSelection());
  EXPECT_EQ(clone->GetOutputSelection(), source.GetOutputSelection());
  EXPECT_EQ(*clone->GetLabels(2), *source.GetLabels(2));
  EXPECT_NE(clone->GetLabels(2), source.GetLabels(2));

  clone->SetInputDatum(0, 0, 100.0);
  clone->AppendLabel(2, 1.0, "c");
  clone->SetInputSelection(0, nullptr);
  Append(*clone, 5);
  EXPECT_EQ(SlotIds(source), (std::vector<double>{4, 2, 3}));
  EXPECT_EQ(source.GetLabels(2)->GetLabel(0).value, 1.0);
  EXPECT_TRUE(source.HasInputSelection());

  source.SetOutputDatum(2, 0, 7.0);
  EXPECT_EQ(clone->GetOutputDatum(2, 0), -3.0);
}

TEST(DataCloneTest, ACloneWithoutSelectionReadsWholeRowsAsItsSource) {
  Data source(4, kIn, kOut, false);
  Fill(source, 3);
  source.Rewind();
  std::unique_ptr<Data> clone = source.Clone();
  EXPECT_FALSE(clone->HasInputSelection());
  EXPECT_EQ(Forward(*clone, 4), Forward(source, 4));
}

TEST(DataChangesTest, EveryWriteCountsOneChangeAndReadsCountNone) {
  Data data(4, kIn, kOut, true);
  Fill(data, 2);
  EXPECT_EQ(data.GetChanges(), 2);
  const Row row(9);
  const TLabelList labels("x", 1.0);
  struct Case {
    const char* name;
    std::function<void()> call;
    int delta;
  };
  double in[kIn];
  double out[kOut];
  const Case cases[] = {
      {"SetInputDatum", [&] { data.SetInputDatum(0, 0, 1.0); }, 1},
      {"SetOutputDatum", [&] { data.SetOutputDatum(0, 0, 1.0); }, 1},
      {"SetLabels", [&] { data.SetLabels(0, &labels); }, 1},
      {"ClearLabels", [&] { data.ClearLabels(0); }, 1},
      {"AppendLabel", [&] { data.AppendLabel(0, 1.0, "y"); }, 1},
      {"SetRow", [&] { data.SetRow(1, row.in, row.out, &labels); }, 1},
      {"AppendRow", [&] { data.AppendRow(row.in, row.out, &labels); }, 1},
      {"AppendRows", [&] { data.AppendRows(3, nullptr, nullptr, nullptr); }, 3},
      {"reads",
       [&] {
         data.GetInputRow(0, in);
         data.GetNextRow(in, out, nullptr);
         data.GetPreviousRow(in, out);
         data.GetLabels(0);
         data.SetInputSelection(0, nullptr);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = data.GetChanges();
    c.call();
    EXPECT_EQ(data.GetChanges(), before + c.delta);
  }
}

// Every refusal of the data object: message and location, and nothing changed.
TEST(DataExceptionTest, EveryRefusalHasItsTextAndLocationAndChangesNothing) {
  struct Case {
    const char* message;
    const char* location;
    std::function<void(Data&)> call;
  };
  double values[8];
  double* block[] = {values};
  const int good[] = {0};
  const int badIn[] = {kIn};
  const int badOut[] = {-1};
  const Case cases[] = {
      // Row 2 is not valid; column kIn (kOut) is out of range; row before column.
      {"Invalid Data Row", "Data::GetInputDatum", [](Data& d) { d.GetInputDatum(2, 0); }},
      {"Invalid Data Row", "Data::GetInputDatum", [](Data& d) { d.GetInputDatum(-1, 0); }},
      {"Invalid Data Row", "Data::GetInputDatum", [](Data& d) { d.GetInputDatum(5, 0); }},
      {"Invalid Data Row", "Data::GetInputDatum", [](Data& d) { d.GetInputDatum(2, kIn); }},
      {"Invalid Input Data Column", "Data::GetInputDatum", [](Data& d) { d.GetInputDatum(0, -1); }},
      {"Invalid Input Data Column", "Data::GetInputDatum",
       [](Data& d) { d.GetInputDatum(0, kIn); }},
      {"Invalid Data Row", "Data::GetOutputDatum", [](Data& d) { d.GetOutputDatum(3, -1); }},
      {"Invalid Output Data Column", "Data::GetOutputDatum",
       [](Data& d) { d.GetOutputDatum(1, kOut); }},
      {"Invalid Data Row", "Data::SetInputDatum", [](Data& d) { d.SetInputDatum(2, -1, 1.0); }},
      {"Invalid Input Data Column", "Data::SetInputDatum",
       [](Data& d) { d.SetInputDatum(0, kIn, 1.0); }},
      {"Invalid Data Row", "Data::SetOutputDatum", [](Data& d) { d.SetOutputDatum(-1, 0, 1.0); }},
      {"Invalid Output Data Column", "Data::SetOutputDatum",
       [](Data& d) { d.SetOutputDatum(0, -1, 1.0); }},
      {"Invalid Data Row", "Data::GetLabels", [](Data& d) { d.GetLabels(2); }},
      {"Invalid Data Row", "Data::SetLabels", [](Data& d) { d.SetLabels(2, nullptr); }},
      {"Invalid Data Row", "Data::ClearLabels", [](Data& d) { d.ClearLabels(4); }},
      {"Invalid Data Row", "Data::AppendLabel", [](Data& d) { d.AppendLabel(2, 1.0, "a"); }},
      {"Invalid Data Row", "Data::SetRow", [&](Data& d) { d.SetRow(2, values, values, nullptr); }},
      {"Invalid Data Row", "Data::GetInputRow", [&](Data& d) { d.GetInputRow(2, values); }},
      {"Invalid Data Row", "Data::GetInputRow",
       [&](Data& d) { d.GetInputRow(2, values, 1, badIn); }},
      {"Invalid Input Data Column", "Data::GetInputRow",
       [&](Data& d) { d.GetInputRow(0, values, 1, badIn); }},
      {"Invalid Column Count", "Data::GetInputRow",
       [&](Data& d) { d.GetInputRow(0, values, -1, good); }},
      {"Invalid Data Row", "Data::GetOutputRow", [&](Data& d) { d.GetOutputRow(-1, values); }},
      {"Invalid Data Row", "Data::GetOutputRow",
       [&](Data& d) { d.GetOutputRow(3, values, 1, good); }},
      {"Invalid Output Data Column", "Data::GetOutputRow",
       [&](Data& d) { d.GetOutputRow(1, values, 1, badOut); }},
      {"Data Block Fault", "Data::GetBlock", [&](Data& d) { d.GetBlock(block, block, 2, 0); }},
      {"Invalid Input Data Column", "Data::SetInputSelection",
       [&](Data& d) { d.SetInputSelection(1, badIn); }},
      {"Invalid Column Count", "Data::SetInputSelection",
       [&](Data& d) { d.SetInputSelection(-1, good); }},
      {"Invalid Input Data Column", "Data::SetSelection",
       [&](Data& d) { d.SetSelection(1, badIn, 1, good); }},
      {"Invalid Output Data Column", "Data::SetSelection",
       [&](Data& d) { d.SetSelection(1, good, 1, badOut); }},
      {"Invalid Column Count", "Data::SetSelection",
       [&](Data& d) { d.SetSelection(1, good, -2, good); }},
      {"Invalid Number of Rows", "Data::Data", [](Data&) { Data(-1, 1, 1, false); }},
      {"Invalid Number of Inputs", "Data::Data", [](Data&) { Data(1, -1, 1, false); }},
      {"Invalid Number of Outputs", "Data::Data", [](Data&) { Data(1, 1, INT_MIN, true); }},
      {"Data Set Too Large", "Data::Data", [](Data&) { Data(INT_MAX, INT_MAX, 0, false); }},
      {"Data Set Too Large", "Data::Data", [](Data&) { Data(INT_MAX, 1, INT_MAX, false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.location) + ": " + c.message);
    Data data(5, kIn, kOut, true);
    Fill(data, 2);  // rows 0 and 1 hold data
    data.AppendLabel(1, 1.0, "kept");
    const int columns[] = {1};
    data.SetSelection(1, columns, 1, columns);
    const std::unique_ptr<Data> before = data.Clone();

    ExpectRefused([&] { c.call(data); }, c.message, c.location);

    EXPECT_EQ(data.GetChanges(), before->GetChanges());
    EXPECT_EQ(data.GetNumDataRows(), 2);
    for (int row = 0; row < 2; ++row) {
      for (int col = 0; col < kIn; ++col)
        EXPECT_EQ(data.GetInputDatum(row, col), before->GetInputDatum(row, col));
      for (int col = 0; col < kOut; ++col)
        EXPECT_EQ(data.GetOutputDatum(row, col), before->GetOutputDatum(row, col));
      EXPECT_EQ(*data.GetLabels(row), *before->GetLabels(row));
    }
    EXPECT_EQ(data.GetInputSelection(), before->GetInputSelection());
    EXPECT_EQ(data.GetOutputSelection(), before->GetOutputSelection());
  }
}

TEST(DataConstructorTest, StorageThatCannotBeHadIsRefusedAsAnException) {
#ifdef KOHPORT_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer ends the process on an allocation it cannot serve";
#else
  // 2^31 - 1 rows of 2^27 inputs: representable, but 2^61 bytes.
  ExpectRefused([] { Data(INT_MAX, 1 << 27, 0, false); }, "Not Enough Memory For Data Set",
                "Data::Data");
#endif
}

TEST(DataDeathTest, RowPointerOfARowWithoutDataIsAnAssertion) {
  Data data(4, kIn, kOut, false);
  Fill(data, 1);
  EXPECT_EXIT(data.InputRowPtr(1), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("IsValidRow(row) && MbrNdxInputs > 0"));
}

}  // namespace
}  // namespace kohport
