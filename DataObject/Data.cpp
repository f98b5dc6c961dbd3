#include "DataObject/Data.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>

#include "common/Assert.h"
#include "common/TException.h"

namespace kohport {

namespace {

constexpr const char* kBadParameter = "Bad Parameter";

[[noreturn]] void Refuse(const char* message, const char* location) {
  throw TException(message, kBadParameter, location, nullptr);
}

// Element count of `rows` rows of `columns` values, refused when it cannot be
// represented in one vector. Both counts are non-negative ints, so their
// product fits in 64 bits before the comparison.
std::size_t StorageSize(int rows, int columns) {
  const unsigned long long n =
      static_cast<unsigned long long>(rows) * static_cast<unsigned long long>(columns);
  if (n > std::vector<double>().max_size()) Refuse("Data Set Too Large", "Data::Data");
  return static_cast<std::size_t>(n);
}

void CheckColumns(int count, const int* columns, int limit, const char* columnMessage,
                  const char* location) {
  if (count < 0) Refuse("Invalid Column Count", location);
  KOH_ASSERT(count == 0 || columns != nullptr);
  for (int i = 0; i < count; ++i) {
    if (columns[i] < 0 || columns[i] >= limit) Refuse(columnMessage, location);
  }
}

std::optional<std::vector<int>> CopySelection(int count, const int* columns) {
  if (columns == nullptr) return std::nullopt;
  return std::vector<int>(columns, columns + count);
}

}  // namespace

bool operator==(const TLabel& a, const TLabel& b) {
  return a.value == b.value && a.name == b.name;
}

TLabelList::TLabelList(const char* name, double value) {
  KOH_ASSERT(name != nullptr);
  labels.emplace_back(name, value);
}

void TLabelList::AddLabel(const char* name, double value) {
  KOH_ASSERT(name != nullptr);
  for (TLabel& label : labels) {
    if (label.name == name) {
      label.value += value;
      return;
    }
  }
  labels.emplace_back(name, value);
}

const TLabel& TLabelList::GetLabel(int i) const {
  KOH_ASSERT(i >= 0 && i < GetCount());
  return labels[static_cast<std::size_t>(i)];
}

Data::Data(int rows, int inputs, int outputs, bool labels)
    : MbrNdxRows(rows), MbrNdxInputs(inputs), MbrNdxOutputs(outputs), MbrFlgLabels(labels) {
  if (rows < 0) Refuse("Invalid Number of Rows", "Data::Data");
  if (inputs < 0) Refuse("Invalid Number of Inputs", "Data::Data");
  if (outputs < 0) Refuse("Invalid Number of Outputs", "Data::Data");
  const int slots = StorageRows();
  const std::size_t inputValues = StorageSize(slots, inputs);
  const std::size_t outputValues = StorageSize(slots, outputs);
  try {
    MbrDyaRtpInputs.assign(inputValues, 0.0);
    MbrDyaRtpOutputs.assign(outputValues, 0.0);
    if (labels) MbrDyaLabels.resize(static_cast<std::size_t>(slots));
  } catch (const std::bad_alloc&) {
    Refuse("Not Enough Memory For Data Set", "Data::Data");
  } catch (const std::length_error&) {
    Refuse("Data Set Too Large", "Data::Data");
  }
}

bool Data::IsValidRow(int row) const noexcept {
  if (row < 0 || row >= MbrNdxRows) return false;
  if (MbrNdxLast >= MbrNdxFirst) return row >= MbrNdxFirst && row <= MbrNdxLast;
  return row >= MbrNdxFirst || row <= MbrNdxLast;
}

double* Data::InputSlot(int slot) noexcept {
  return MbrDyaRtpInputs.data() + static_cast<std::size_t>(slot) * MbrNdxInputs;
}
double* Data::OutputSlot(int slot) noexcept {
  return MbrDyaRtpOutputs.data() + static_cast<std::size_t>(slot) * MbrNdxOutputs;
}
const double* Data::InputSlot(int slot) const noexcept {
  return MbrDyaRtpInputs.data() + static_cast<std::size_t>(slot) * MbrNdxInputs;
}
const double* Data::OutputSlot(int slot) const noexcept {
  return MbrDyaRtpOutputs.data() + static_cast<std::size_t>(slot) * MbrNdxOutputs;
}

void Data::CountChange() noexcept {
  // Unsigned arithmetic, so that the counter wraps instead of overflowing.
  MbrNdxChanges = static_cast<int>(static_cast<unsigned>(MbrNdxChanges) + 1u);
}

void Data::CheckRow(int row, const char* location) const {
  if (!IsValidRow(row)) Refuse("Invalid Data Row", location);
}

void Data::CheckLabels(const char* location) const {
  if (!MbrFlgLabels) Refuse("Data Set Has No Labels", location);
}

double Data::GetInputDatum(int row, int column) const {
  CheckRow(row, "Data::GetInputDatum");
  if (column < 0 || column >= MbrNdxInputs)
    Refuse("Invalid Input Data Column", "Data::GetInputDatum");
  return InputSlot(row)[column];
}

double Data::GetOutputDatum(int row, int column) const {
  CheckRow(row, "Data::GetOutputDatum");
  if (column < 0 || column >= MbrNdxOutputs)
    Refuse("Invalid Output Data Column", "Data::GetOutputDatum");
  return OutputSlot(row)[column];
}

void Data::SetInputDatum(int row, int column, double value) {
  CheckRow(row, "Data::SetInputDatum");
  if (column < 0 || column >= MbrNdxInputs)
    Refuse("Invalid Input Data Column", "Data::SetInputDatum");
  InputSlot(row)[column] = value;
  CountChange();
}

void Data::SetOutputDatum(int row, int column, double value) {
  CheckRow(row, "Data::SetOutputDatum");
  if (column < 0 || column >= MbrNdxOutputs)
    Refuse("Invalid Output Data Column", "Data::SetOutputDatum");
  OutputSlot(row)[column] = value;
  CountChange();
}

const TLabelList* Data::GetLabels(int row) const {
  CheckRow(row, "Data::GetLabels");
  return MbrFlgLabels ? &MbrDyaLabels[static_cast<std::size_t>(row)] : nullptr;
}

void Data::SetLabels(int row, const TLabelList* labels) {
  CheckRow(row, "Data::SetLabels");
  CheckLabels("Data::SetLabels");
  // Copy first: `labels` may be this row's own list.
  TLabelList copy = labels ? *labels : TLabelList();
  MbrDyaLabels[static_cast<std::size_t>(row)] = std::move(copy);
  CountChange();
}

void Data::ClearLabels(int row) {
  CheckRow(row, "Data::ClearLabels");
  CheckLabels("Data::ClearLabels");
  MbrDyaLabels[static_cast<std::size_t>(row)].Clear();
  CountChange();
}

void Data::AppendLabel(int row, double value, const char* name) {
  CheckRow(row, "Data::AppendLabel");
  CheckLabels("Data::AppendLabel");
  MbrDyaLabels[static_cast<std::size_t>(row)].AddLabel(name, value);
  CountChange();
}

void Data::StoreRow(int slot, const double* inputs, const double* outputs,
                    const TLabelList* labels) {
  if (inputs && MbrNdxInputs > 0) std::copy_n(inputs, MbrNdxInputs, InputSlot(slot));
  if (outputs && MbrNdxOutputs > 0) std::copy_n(outputs, MbrNdxOutputs, OutputSlot(slot));
  if (MbrFlgLabels) {
    TLabelList copy = labels ? *labels : TLabelList();
    MbrDyaLabels[static_cast<std::size_t>(slot)] = std::move(copy);
  }
}

void Data::SetRow(int row, const double* inputs, const double* outputs, const TLabelList* labels) {
  CheckRow(row, "Data::SetRow");
  StoreRow(row, inputs, outputs, labels);
  CountChange();
}

void Data::AppendRow(const double* inputs, const double* outputs, const TLabelList* labels) {
  KOH_ASSERT(MbrNdxDataRows <= MbrNdxRows, "MbrNdxDataRows <= MbrNdxRows");
  // The label copy is the only step that can fail; take it before the ring moves.
  TLabelList copy = (MbrFlgLabels && labels) ? *labels : TLabelList();
  CountChange();
  if (MbrNdxRows == 0) return;  // no room for any row
  int slot;
  if (MbrNdxDataRows == 0) {
    slot = 0;
    MbrNdxDataRows = 1;
  } else if (MbrNdxDataRows < MbrNdxRows) {
    slot = MbrNdxDataRows;
    ++MbrNdxDataRows;
    MbrNdxLast = MbrNdxDataRows - 1;
  } else {
    MbrNdxFirst = (MbrNdxFirst + 1) % MbrNdxRows;
    MbrNdxLast = (MbrNdxLast + 1) % MbrNdxRows;
    slot = MbrNdxLast;
  }
  StoreRow(slot, inputs, outputs, nullptr);
  if (MbrFlgLabels) MbrDyaLabels[static_cast<std::size_t>(slot)] = std::move(copy);
}

void Data::AppendRows(int count, const double* const* inputs, const double* const* outputs,
                      const TLabelList* labels) {
  for (int i = 0; i < count; ++i) {
    AppendRow(inputs ? inputs[i] : nullptr, outputs ? outputs[i] : nullptr,
              labels ? &labels[i] : nullptr);
  }
}

void Data::GetInputRow(int row, double* values) const {
  CheckRow(row, "Data::GetInputRow");
  if (MbrNdxInputs == 0) return;
  KOH_ASSERT(values != nullptr);
  std::copy_n(InputSlot(row), MbrNdxInputs, values);
}

void Data::GetOutputRow(int row, double* values) const {
  CheckRow(row, "Data::GetOutputRow");
  if (MbrNdxOutputs == 0) return;
  KOH_ASSERT(values != nullptr);
  std::copy_n(OutputSlot(row), MbrNdxOutputs, values);
}

void Data::GetInputRow(int row, double* values, int count, const int* columns) const {
  CheckRow(row, "Data::GetInputRow");
  CheckColumns(count, columns, MbrNdxInputs, "Invalid Input Data Column", "Data::GetInputRow");
  if (count == 0) return;
  KOH_ASSERT(values != nullptr);
  const double* src = InputSlot(row);
  for (int i = 0; i < count; ++i) values[i] = src[columns[i]];
}

void Data::GetOutputRow(int row, double* values, int count, const int* columns) const {
  CheckRow(row, "Data::GetOutputRow");
  CheckColumns(count, columns, MbrNdxOutputs, "Invalid Output Data Column", "Data::GetOutputRow");
  if (count == 0) return;
  KOH_ASSERT(values != nullptr);
  const double* src = OutputSlot(row);
  for (int i = 0; i < count; ++i) values[i] = src[columns[i]];
}

int Data::GetBlock(double* const* inputs, double* const* outputs, int fromRow, int toRow) const {
  if (!IsValidRow(fromRow)) Refuse("Data Block Fault", "Data::GetBlock");
  if (toRow > MbrNdxLast) toRow = MbrNdxLast;
  int count = 0;
  // fromRow is valid, and every slot from it up to MbrNdxLast holds data.
  for (int row = fromRow; row <= toRow; ++row, ++count) {
    if (inputs) GetInputRow(row, inputs[count]);
    if (outputs) GetOutputRow(row, outputs[count]);
  }
  return count;
}

std::unique_ptr<Data> Data::Clone() const {
  try {
    return std::unique_ptr<Data>(new Data(*this));
  } catch (const std::bad_alloc&) {
    Refuse("Not Enough Memory For Data Set", "Data::Clone");
  }
}

void Data::SetInputSelection(int count, const int* columns) {
  if (columns) {
    CheckColumns(count, columns, MbrNdxInputs, "Invalid Input Data Column",
                 "Data::SetInputSelection");
  }
  MbrDyaInputSel = CopySelection(count, columns);
}

void Data::SetSelection(int inputCount, const int* inputColumns, int outputCount,
                        const int* outputColumns) {
  if (inputColumns) {
    CheckColumns(inputCount, inputColumns, MbrNdxInputs, "Invalid Input Data Column",
                 "Data::SetSelection");
  }
  if (outputColumns) {
    CheckColumns(outputCount, outputColumns, MbrNdxOutputs, "Invalid Output Data Column",
                 "Data::SetSelection");
  }
  std::optional<std::vector<int>> in = CopySelection(inputCount, inputColumns);
  std::optional<std::vector<int>> out = CopySelection(outputCount, outputColumns);
  MbrDyaInputSel = std::move(in);
  MbrDyaOutputSel = std::move(out);
}

int Data::GetNumInputSel() const noexcept {
  return MbrDyaInputSel ? static_cast<int>(MbrDyaInputSel->size()) : 0;
}

int Data::GetNumOutputSel() const noexcept {
  return MbrDyaOutputSel ? static_cast<int>(MbrDyaOutputSel->size()) : 0;
}

int Data::GetNumRowInputs() const noexcept {
  return MbrDyaInputSel ? GetNumInputSel() : MbrNdxInputs;
}

int Data::GetNumRowOutputs() const noexcept {
  return (MbrDyaInputSel && MbrDyaOutputSel) ? GetNumOutputSel() : MbrNdxOutputs;
}

void Data::MoveCursor(int step) noexcept {
  if (MbrNdxDataRows <= 1) {
    MbrNdxCursor = MbrNdxFirst;
    return;
  }
  // Work with the cursor's place in ring order (0 = oldest row), in 64 bits
  // so that no step can overflow.
  const long long rows = MbrNdxRows;
  const long long held = MbrNdxDataRows;
  long long place = (MbrNdxCursor - MbrNdxFirst + rows) % rows;
  place = ((place + step) % held + held) % held;
  MbrNdxCursor = static_cast<int>((MbrNdxFirst + place) % rows);
}

void Data::CopyRow(int slot, double* inputs, double* outputs) const {
  const double* in = InputSlot(slot);
  const double* out = OutputSlot(slot);
  if (!MbrDyaInputSel) {
    if (inputs && MbrNdxInputs > 0) std::copy_n(in, MbrNdxInputs, inputs);
    if (outputs && MbrNdxOutputs > 0) std::copy_n(out, MbrNdxOutputs, outputs);
    return;
  }
  if (inputs) {
    for (std::size_t i = 0; i < MbrDyaInputSel->size(); ++i) inputs[i] = in[(*MbrDyaInputSel)[i]];
  }
  if (!outputs) return;
  if (MbrDyaOutputSel) {
    for (std::size_t i = 0; i < MbrDyaOutputSel->size(); ++i)
      outputs[i] = out[(*MbrDyaOutputSel)[i]];
  } else if (MbrNdxOutputs > 0) {
    std::copy_n(out, MbrNdxOutputs, outputs);
  }
}

void Data::GetCurrentRow(double* inputs, double* outputs, const TLabelList** labels) const {
  CopyRow(MbrNdxCursor, inputs, outputs);
  if (labels) {
    *labels = MbrFlgLabels ? &MbrDyaLabels[static_cast<std::size_t>(MbrNdxCursor)] : nullptr;
  }
}

void Data::GetNextRow(double* inputs, double* outputs, const TLabelList** labels) {
  MoveCursor(+1);
  GetCurrentRow(inputs, outputs, labels);
}

void Data::GetPreviousRow(double* inputs, double* outputs) {
  MoveCursor(-1);
  GetCurrentRow(inputs, outputs, nullptr);
}

const double* Data::InputRowPtr(int row) const {
  KOH_ASSERT(IsValidRow(row) && MbrNdxInputs > 0);
  return InputSlot(row);
}

const double* Data::OutputRowPtr(int row) const {
  KOH_ASSERT(IsValidRow(row) && MbrNdxOutputs > 0);
  return OutputSlot(row);
}

}  // namespace kohport
