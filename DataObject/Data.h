// Data: the library's data set, a ring of rows of input and output values
// (doubles), each row optionally carrying a list of labels.
//
// A data set has a fixed capacity of `MbrNdxRows` rows. Rows are appended
// after the newest one until every row holds data; from then on each append
// overwrites the oldest row. Rows are read by index (ring slot) with range
// checks, or sequentially through a cursor that walks the rows holding data
// from the oldest to the newest and wraps around in both directions.
//
// Ownership: a `Data` owns all of its values, label lists and column
// selections; nothing it hands out is shared with another data set. Storage
// is allocated once, by the constructor, and never moves afterwards, so the
// pointers given by `GetLabels`, `InputRowPtr` and `OutputRowPtr` stay valid
// for the life of the data set (their contents change with later writes).
//
// Errors: input a user can get wrong (row and column indices, counts, label
// operations on a data set without labels, sizes too large to allocate) is
// refused with `TException`, category "Bad Parameter", location
// "Data::<Operation>"; a refused operation changes nothing. Null pointers
// where an array is required are programmer errors (assertion report).
#ifndef KOHPORT_DATAOBJECT_DATA_H
#define KOHPORT_DATAOBJECT_DATA_H

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kohport {

// One label of a row: a name and a value.
class TLabel {
 public:
  TLabel() = default;
  TLabel(std::string name_, double value_) : value(value_), name(std::move(name_)) {}

  double value = 0.0;
  // Empty in a fresh label.
  std::string name;
};

bool operator==(const TLabel& a, const TLabel& b);

// The labels of one row, in the order they were first added. Copies are deep.
class TLabelList {
 public:
  TLabelList() = default;
  // A list of one label. Requires `name` non-null.
  TLabelList(const char* name, double value);

  // If a label named exactly `name` exists (case-sensitive), adds `value` to
  // its value; otherwise appends a new label. Requires `name` non-null.
  void AddLabel(const char* name, double value);
  void Clear() noexcept { labels.clear(); }

  int GetCount() const noexcept { return static_cast<int>(labels.size()); }
  // The i-th label; requires 0 <= i < GetCount().
  const TLabel& GetLabel(int i) const;
  const std::vector<TLabel>& GetLabels() const noexcept { return labels; }

  friend bool operator==(const TLabelList& a, const TLabelList& b) { return a.labels == b.labels; }

 private:
  std::vector<TLabel> labels;
};

class Data {
 public:
  // A data set of `rows` rows of `inputs` input and `outputs` output values,
  // with a label list per row when `labels` is set. Every value is 0.0, every
  // label list empty, no row holds data, the cursor is on slot 0 and there is
  // no column selection. A data set of 0 rows is allowed: it never holds
  // data, appends to it are discarded and sequential reads give zeros.
  // Throws TException (location "Data::Data") for a negative count, for a
  // size whose element count overflows, and when the storage cannot be had.
  Data(int rows, int inputs, int outputs, bool labels);
  virtual ~Data() = default;
  Data& operator=(const Data&) = delete;

  int GetNumRows() const noexcept { return MbrNdxRows; }
  int GetNumInputs() const noexcept { return MbrNdxInputs; }
  int GetNumOutputs() const noexcept { return MbrNdxOutputs; }
  bool HasLabels() const noexcept { return MbrFlgLabels; }
  // Number of rows holding data, 0 to GetNumRows().
  int GetNumDataRows() const noexcept { return MbrNdxDataRows; }
  // Slots of the oldest and the newest row holding data (both 0 when empty).
  int GetFirst() const noexcept { return MbrNdxFirst; }
  int GetLast() const noexcept { return MbrNdxLast; }
  // Slot of the current row of sequential reading.
  int GetCursor() const noexcept { return MbrNdxCursor; }
  // Rises by one with every operation that writes values or labels
  // (SetInputDatum, SetOutputDatum, SetLabels, ClearLabels, AppendLabel,
  // SetRow, and each row of AppendRow/AppendRows); wraps around at the end of
  // the int range. Compare two readings to learn whether anything changed.
  int GetChanges() const noexcept { return MbrNdxChanges; }

  // True when `row` is a slot holding data. A data set that holds no data
  // accepts slot 0 (when it has one), which reads as zeros.
  bool IsValidRow(int row) const noexcept;

  // Index access. Each throws "Invalid Data Row" for a row that is not valid,
  // then "Invalid Input Data Column" / "Invalid Output Data Column" for a
  // column below 0 or not below the column count.
  double GetInputDatum(int row, int column) const;
  double GetOutputDatum(int row, int column) const;
  void SetInputDatum(int row, int column, double value);
  void SetOutputDatum(int row, int column, double value);

  // The row's own label list (not a copy), or null when the data set has no
  // labels. Throws "Invalid Data Row".
  const TLabelList* GetLabels(int row) const;
  // Replace the row's labels by a copy of `labels`, or empty them when null.
  // Throws "Invalid Data Row", then "Data Set Has No Labels".
  void SetLabels(int row, const TLabelList* labels);
  // Throws "Invalid Data Row", then "Data Set Has No Labels".
  void ClearLabels(int row);
  // AddLabel(name, value) on the row's list. Throws "Invalid Data Row", then
  // "Data Set Has No Labels". Requires `name` non-null.
  void AppendLabel(int row, double value, const char* name);

  // Overwrites a row holding data: GetNumInputs() values from `inputs` and
  // GetNumOutputs() values from `outputs` where given (null keeps the old
  // values); with labels, the row's labels become a copy of `labels`, or
  // empty when null. Without labels, `labels` is ignored. Does not change
  // which rows hold data. Throws "Invalid Data Row".
  void SetRow(int row, const double* inputs, const double* outputs, const TLabelList* labels);

  // Adds a row at the newest end of the ring, overwriting the oldest row once
  // the ring is full. Stores the row as SetRow does. Never throws except
  // std::bad_alloc while copying labels, in which case nothing changes.
  void AppendRow(const double* inputs, const double* outputs, const TLabelList* labels);
  // AppendRow(inputs[i], outputs[i], &labels[i]) for 0 <= i < count. Any of
  // the three arrays may be null, which gives every row null for that part.
  void AppendRows(int count, const double* const* inputs, const double* const* outputs,
                  const TLabelList* labels);

  // Copies all GetNumInputs() (GetNumOutputs()) values of the row into
  // `values`. Throws "Invalid Data Row".
  void GetInputRow(int row, double* values) const;
  void GetOutputRow(int row, double* values) const;
  // Copies the `count` listed columns of the row into `values`, in list
  // order. Throws "Invalid Data Row", then "Invalid Column Count" for a
  // negative count, then "Invalid Input Data Column" / "Invalid Output Data
  // Column" for a listed column out of range; nothing is written then.
  void GetInputRow(int row, double* values, int count, const int* columns) const;
  void GetOutputRow(int row, double* values, int count, const int* columns) const;

  // Copies the rows fromRow..toRow, in increasing slot order, into inputs[k]
  // and outputs[k] (k from 0), and returns the number of rows copied. toRow
  // is first lowered to GetLast() when beyond it; no rows are copied when it
  // is then below fromRow (in a wrapped ring the range thus stops at the
  // newest slot, and never crosses from the last slot to slot 0). Either array may be null to skip
  // that part. Throws "Data Block Fault" when fromRow is not a valid row.
  int GetBlock(double* const* inputs, double* const* outputs, int fromRow, int toRow) const;

  // A new data set equal to this one (values, labels, ring state, change
  // counter, cursor and selections), sharing nothing with it. Throws
  // TException (location "Data::Clone") when the storage cannot be had.
  std::unique_ptr<Data> Clone() const;

  // Column selections restrict sequential reading (GetCurrentRow,
  // GetNextRow, GetPreviousRow). An input selection picks the input columns
  // delivered, in list order; an output selection does the same for output
  // columns but only while an input selection is in force. A null list means
  // no selection; a non-null list with count 0 is an empty selection, which
  // delivers no values. Lists are copied. Each column is checked now: throws
  // "Invalid Column Count" for a negative count, "Invalid Input Data Column" /
  // "Invalid Output Data Column" for a column out of range; a refused call
  // leaves both selections as they were.
  void SetInputSelection(int count, const int* columns);
  void SetSelection(int inputCount, const int* inputColumns, int outputCount,
                    const int* outputColumns);
  // A copy of the input selection, or nothing when none is in force.
  std::optional<std::vector<int>> GetInputSelection() const { return MbrDyaInputSel; }
  std::optional<std::vector<int>> GetOutputSelection() const { return MbrDyaOutputSel; }
  bool HasInputSelection() const noexcept { return MbrDyaInputSel.has_value(); }
  bool HasOutputSelection() const noexcept { return MbrDyaOutputSel.has_value(); }
  // Number of selected columns (0 when there is no selection).
  int GetNumInputSel() const noexcept;
  int GetNumOutputSel() const noexcept;
  // Number of values a sequential read writes to its inputs (outputs) array
  // under the selections in force.
  int GetNumRowInputs() const noexcept;
  int GetNumRowOutputs() const noexcept;

  // Puts the cursor on the newest row, so that the next GetNextRow reads the
  // oldest one.
  void Rewind() noexcept { MbrNdxCursor = MbrNdxLast; }
  // Moves the cursor `step` rows along the ring order of the rows holding
  // data (+1 towards the newer, -1 towards the older), wrapping from the
  // newest to the oldest and from the oldest to the newest. The cursor always
  // stays on a row holding data; with no data at all it stays on slot 0.
  void MoveCursor(int step) noexcept;
  // Copies the cursor's row under the selections in force into the arrays
  // that are given (GetNumRowInputs() and GetNumRowOutputs() values), and
  // when `labels` is given sets *labels to the row's own label list, or null
  // when the data set has no labels.
  void GetCurrentRow(double* inputs, double* outputs, const TLabelList** labels) const;
  // MoveCursor(+1), then GetCurrentRow. The labels out-parameter is filled
  // whether or not a column selection is in force.
  virtual void GetNextRow(double* inputs, double* outputs, const TLabelList** labels);
  // MoveCursor(-1), then GetCurrentRow without labels.
  void GetPreviousRow(double* inputs, double* outputs);

  // Direct read access for bulk readers: the GetNumInputs() (GetNumOutputs())
  // values of a valid row, in place, without copying. Requires
  // IsValidRow(row) (assertion report otherwise) and at least one column of
  // that kind. To walk the rows holding data in ring order, take slot
  // (GetFirst() + k) % GetNumRows() for 0 <= k < GetNumDataRows().
  const double* InputRowPtr(int row) const;
  const double* OutputRowPtr(int row) const;

 protected:
  Data(const Data&) = default;

 private:
  // Slots of storage: MbrNdxRows, but at least one, so that the cursor of a
  // data set of 0 rows has a row of zeros to read.
  int StorageRows() const noexcept { return MbrNdxRows > 0 ? MbrNdxRows : 1; }
  double* InputSlot(int slot) noexcept;
  double* OutputSlot(int slot) noexcept;
  const double* InputSlot(int slot) const noexcept;
  const double* OutputSlot(int slot) const noexcept;
  void CountChange() noexcept;
  // Writes a row's values and (with labels) its labels into `slot`.
  void StoreRow(int slot, const double* inputs, const double* outputs, const TLabelList* labels);
  void CheckRow(int row, const char* location) const;
  void CheckLabels(const char* location) const;
  void CopyRow(int slot, double* inputs, double* outputs) const;

  // Input values, row after row: slot r holds MbrNdxInputs values from
  // r * MbrNdxInputs. Empty when there are no input columns.
  std::vector<double> MbrDyaRtpInputs;
  // Output values, laid out as the inputs.
  std::vector<double> MbrDyaRtpOutputs;
  // One label list per slot; empty unless MbrFlgLabels.
  std::vector<TLabelList> MbrDyaLabels;
  int MbrNdxRows = 0;
  int MbrNdxDataRows = 0;
  int MbrNdxInputs = 0;
  int MbrNdxOutputs = 0;
  bool MbrFlgLabels = false;
  int MbrNdxFirst = 0;
  int MbrNdxLast = 0;
  int MbrNdxChanges = 0;
  int MbrNdxCursor = 0;
  // Selected columns; no value means no selection.
  std::optional<std::vector<int>> MbrDyaInputSel;
  std::optional<std::vector<int>> MbrDyaOutputSel;
};

}  // namespace kohport

#endif
