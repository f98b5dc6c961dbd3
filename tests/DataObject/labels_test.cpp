#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "common/TException.h"

namespace kohport {
namespace {

std::vector<TLabel> Labels(std::vector<TLabel> labels) {
  return labels;
}

TEST(TLabelListTest, AddLabelSumsExactlyEqualNamesAndKeepsFirstAddedOrder) {
  TLabelList list;
  list.AddLabel("setosa", 1.0);
  list.AddLabel("virginica", 0.5);
  list.AddLabel("setosa", 2.0);
  list.AddLabel("Setosa", 4.0);  // differs in case only: a label of its own
  EXPECT_EQ(list.GetLabels(), Labels({{"setosa", 3.0}, {"virginica", 0.5}, {"Setosa", 4.0}}));
}

TEST(TLabelListTest, CopiesAreDeepAndSelfAssignmentChangesNothing) {
  TLabelList original("a", 1.0);
  TLabelList copy = original;
  copy.AddLabel("a", 1.0);
  copy.AddLabel("b", 5.0);
  EXPECT_EQ(original.GetLabels(), Labels({{"a", 1.0}}));

  original = copy;
  copy.Clear();
  EXPECT_EQ(original.GetLabels(), Labels({{"a", 2.0}, {"b", 5.0}}));

  TLabelList& self = original;
  original = self;
  EXPECT_EQ(original.GetLabels(), Labels({{"a", 2.0}, {"b", 5.0}}));
}

class DataLabelsTest : public testing::Test {
 protected:
  // Four slots, rows 0 and 1 hold data.
  DataLabelsTest() {
    data.AppendRow(nullptr, nullptr, nullptr);
    data.AppendRow(nullptr, nullptr, nullptr);
  }
  std::vector<TLabel> LabelsOf(int row) const { return data.GetLabels(row)->GetLabels(); }

  Data data{4, 2, 1, true};
};

TEST_F(DataLabelsTest, AppendLabelOnARowSumsEqualNames) {
  data.AppendLabel(1, 1.0, "x");
  data.AppendLabel(1, 2.0, "x");
  data.AppendLabel(1, 1.0, "X");
  EXPECT_EQ(LabelsOf(1), Labels({{"x", 3.0}, {"X", 1.0}}));
  EXPECT_EQ(LabelsOf(0), Labels({}));
}

TEST_F(DataLabelsTest, GetLabelsGivesTheRowsOwnList) {
  const TLabelList* own = data.GetLabels(0);
  data.AppendLabel(0, 1.5, "seen");
  EXPECT_EQ(data.GetLabels(0), own);
  EXPECT_EQ(own->GetLabels(), Labels({{"seen", 1.5}}));
}

TEST_F(DataLabelsTest, SetLabelsCopiesAndNullOrClearEmpties) {
  TLabelList given("a", 1.0);
  data.SetLabels(0, &given);
  given.AddLabel("b", 1.0);
  EXPECT_EQ(LabelsOf(0), Labels({{"a", 1.0}}));

  data.SetLabels(0, data.GetLabels(0));  // its own list: unchanged
  EXPECT_EQ(LabelsOf(0), Labels({{"a", 1.0}}));

  data.SetLabels(0, nullptr);
  EXPECT_EQ(LabelsOf(0), Labels({}));

  data.SetLabels(1, &given);
  data.ClearLabels(1);
  EXPECT_EQ(LabelsOf(1), Labels({}));
}

TEST_F(DataLabelsTest, SetRowWithNullLabelsEmptiesTheRowsLabels) {
  data.AppendLabel(1, 1.0, "gone");
  const double in[2] = {7.0, 8.0};
  data.SetRow(1, in, nullptr, nullptr);
  EXPECT_EQ(LabelsOf(1), Labels({}));
  EXPECT_EQ(data.GetInputDatum(1, 1), 8.0);
}

TEST_F(DataLabelsTest, AppendRowCopiesTheGivenLabels) {
  TLabelList given("new", 2.0);
  data.AppendRow(nullptr, nullptr, &given);
  given.Clear();
  EXPECT_EQ(LabelsOf(2), Labels({{"new", 2.0}}));
}

TEST_F(DataLabelsTest, SequentialReadsGiveTheRowsLabelsWithOrWithoutASelection) {
  data.AppendLabel(0, 1.0, "first");
  data.AppendLabel(1, 1.0, "second");
  const int column = 1;
  for (bool selected : {false, true}) {
    SCOPED_TRACE(selected ? "with an input selection" : "without a selection");
    data.SetInputSelection(1, selected ? &column : nullptr);
    data.Rewind();
    double in[2];
    double out[1];
    const TLabelList* labels = nullptr;
    data.GetNextRow(in, out, &labels);
    EXPECT_EQ(labels, data.GetLabels(0));
    data.GetNextRow(in, out, &labels);
    EXPECT_EQ(labels, data.GetLabels(1));
    labels = nullptr;
    data.GetCurrentRow(nullptr, nullptr, &labels);
    EXPECT_EQ(labels, data.GetLabels(1));
  }
}

TEST(DataWithoutLabelsTest, GetLabelsGivesNullAndChangesAreRefused) {
  Data data(3, 1, 0, false);
  data.AppendRow(nullptr, nullptr, nullptr);
  EXPECT_EQ(data.GetLabels(0), nullptr);
  const TLabelList sentinel;
  const TLabelList* labels = &sentinel;
  data.GetNextRow(nullptr, nullptr, &labels);
  EXPECT_EQ(labels, nullptr);

  TLabelList given("a", 1.0);
  data.SetRow(0, nullptr, nullptr, &given);  // labels ignored without label lists
  data.AppendRow(nullptr, nullptr, &given);
  const int changes = data.GetChanges();

  struct Case {
    const char* location;
    void (*call)(Data&);
  };
  const Case cases[] = {
      {"Data::SetLabels", [](Data& d) { d.SetLabels(0, nullptr); }},
      {"Data::ClearLabels", [](Data& d) { d.ClearLabels(0); }},
      {"Data::AppendLabel", [](Data& d) { d.AppendLabel(0, 1.0, "a"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    try {
      c.call(data);
      ADD_FAILURE() << "no exception";
    } catch (const TException& e) {
      EXPECT_STREQ(e.Message(), "Data Set Has No Labels");
      EXPECT_EQ(*e.category, "Bad Parameter");
      EXPECT_EQ(*e.location, c.location);
    }
  }
  EXPECT_EQ(data.GetChanges(), changes);
}

}  // namespace
}  // namespace kohport
