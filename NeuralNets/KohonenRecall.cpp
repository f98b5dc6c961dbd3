// Recall and labelling: a trained map run over data sets.
//
// The best-match search dominates every operation here, so the rows of a
// data set are read through its cursor into one buffer, a large chunk at a
// time, and their winners found by one batch search per chunk (a chunk holds
// every row of all but very large data sets). Scratch storage is allocated
// once per call; nothing is allocated per row except what the result data
// sets and label lists themselves need.
#include <algorithm>
#include <string>
#include <vector>

#include "NeuralNets/TKohonenNetwork.h"
#include "common/Assert.h"
#include "common/Numbers.h"
#include "common/TException.h"

namespace kohport {

namespace {

// Input values gathered per batch search: 8 MB of doubles, so that a data
// set of any size is read in bounded memory while the search runs on long
// stretches of rows.
constexpr int kChunkValues = 1 << 20;

[[noreturn]] void Refuse(const std::string& message, const char* location) {
  throw TException(message.c_str(), "Bad Parameter", location, nullptr);
}

std::string Num(long value) {
  return IntegerText(value);
}

// The checks every operation makes on the data set it reads.
void CheckInput(const Data* in, int n, const char* location) {
  if (in == nullptr) Refuse("No data set given", location);
  if (in->GetNumRowInputs() != n)
    Refuse("Data set rows deliver " + Num(in->GetNumRowInputs()) + " input values, the map has " +
               Num(n) + " inputs",
           location);
}

// LabelMap and MapData also pass an output buffer of n values.
void CheckOutputs(const Data* in, int n, const char* location) {
  if (in->GetNumRowOutputs() > n)
    Refuse("Data set rows deliver " + Num(in->GetNumRowOutputs()) +
               " output values, more than the map's " + Num(n) + " inputs",
           location);
}

// LabelMap and MapData work on the grid: it must exist and cover the units
// exactly, so that every winner has coordinates inside it.
void CheckGrid(const TKohonenNetwork& map, const char* location) {
  if (map.GetNumDimensions() == 0) Refuse("The map has no grid dimensions", location);
  const int units = map.layers[2]->numNeurons;
  long long product = 1;
  for (int k = 0; k < map.GetNumDimensions() && product <= units; ++k)
    product *= std::max(map.dimensions[k], 0);
  if (product != units)
    Refuse("The map's grid sizes do not multiply to its " + Num(units) + " units", location);
}

// Reads GetNumRows() rows of `in` through its cursor, after Rewind, in
// chunks. readRow(inputs, r) reads the next row into `inputs` (r is the row's
// place in its chunk); after each chunk's batch search, visit(inputs, winner,
// r) sees every row of the chunk in reading order.
template <typename ReadRow, typename Visit>
void ReadAndMatch(const TKohonenNetwork& map, Data& in, ReadRow readRow, Visit visit) {
  const int n = map.layers[1]->numNeurons;
  const int total = in.GetNumRows();
  in.Rewind();
  if (total <= 0) return;
  const int chunk = std::min(total, std::max(1, kChunkValues / std::max(n, 1)));
  std::vector<double> inputs(static_cast<std::size_t>(chunk) * static_cast<std::size_t>(n) + 1);
  std::vector<int> winners(static_cast<std::size_t>(chunk));
  for (int done = 0; done < total;) {
    const int rows = std::min(chunk, total - done);
    for (int r = 0; r < rows; ++r) readRow(inputs.data() + static_cast<std::size_t>(r) * n, r);
    map.BestMatchBatch(inputs.data(), rows, n, winners.data());
    for (int r = 0; r < rows; ++r)
      visit(static_cast<const double*>(inputs.data() + static_cast<std::size_t>(r) * n),
            winners[static_cast<std::size_t>(r)], r);
    done += rows;
  }
}

// The weight vector of every unit, row u for unit u.
double* const* UnitWeights(const TKohonenNetwork& map) {
  return map.priv_conns_index[2][1]->GetWeightRows();
}

}  // namespace

std::unique_ptr<Data> TKohonenNetwork::RecallData(Data* in) const {
  static const char* const kWhere = "TKohonenNetwork::RecallData";
  const int n = layers[1]->numNeurons;
  CheckInput(in, n, kWhere);
  auto result = std::make_unique<Data>(in->GetNumRows(), n, n, false);
  double* const* units = UnitWeights(*this);
  ReadAndMatch(
      *this, *in, [&](double* inputs, int) { in->GetNextRow(inputs, nullptr, nullptr); },
      [&](const double* inputs, int winner, int) {
        result->AppendRow(inputs, units[winner], nullptr);
      });
  return result;
}

double TKohonenNetwork::TestData(Data* in, TErrorAccumulator* err) const {
  static const char* const kWhere = "TKohonenNetwork::TestData";
  const int n = layers[1]->numNeurons;
  if (in == nullptr) Refuse("No data set given", kWhere);
  if (err == nullptr) Refuse("No error accumulator given", kWhere);
  CheckInput(in, n, kWhere);
  double* const* units = UnitWeights(*this);
  ReadAndMatch(
      *this, *in, [&](double* inputs, int) { in->GetNextRow(inputs, nullptr, nullptr); },
      [&](const double* inputs, int winner, int) { err->Accumulate(inputs, units[winner]); });
  return err->GetResult();
}

std::unique_ptr<Data> TKohonenNetwork::LabelMap(Data* in,
                                                std::unique_ptr<TKQstructure> params) const {
  static const char* const kWhere = "TKohonenNetwork::LabelMap";
  params.reset();
  const int n = layers[1]->numNeurons;
  CheckInput(in, n, kWhere);
  CheckOutputs(in, n, kWhere);
  if (!in->HasLabels()) Refuse("Data set has no labels", kWhere);
  if (in->HasInputSelection() || in->HasOutputSelection())
    Refuse("Data set has a column selection", kWhere);
  CheckGrid(*this, kWhere);

  const int units = layers[2]->numNeurons;
  std::vector<TLabelList> lists(static_cast<std::size_t>(units));
  std::vector<double> outputs(static_cast<std::size_t>(n) + 1);
  // The first label of each row of a chunk, copied as it is read (a data set
  // may reuse its label storage from one read to the next): the names one
  // after another, each ended by '\0'.
  std::string names;
  std::vector<std::size_t> nameAt;
  std::vector<double> values;
  ReadAndMatch(
      *this, *in,
      [&](double* inputs, int r) {
        if (r == 0) {
          names.clear();
          nameAt.clear();
          values.clear();
        }
        const TLabelList* labels = nullptr;
        in->GetNextRow(inputs, outputs.data(), &labels);
        if (labels == nullptr || labels->GetCount() == 0)
          Refuse("Data set row " + Num(in->GetCursor()) + " has no label", kWhere);
        const TLabel& first = labels->GetLabel(0);
        nameAt.push_back(names.size());
        names.append(first.name.c_str());
        names.push_back('\0');
        values.push_back(first.value);
      },
      [&](const double*, int winner, int r) {
        lists[static_cast<std::size_t>(winner)].AddLabel(names.c_str() + nameAt[r], values[r]);
      });

  // Units in index order are the grid's coordinates counted as an odometer,
  // the last coordinate fastest.
  const int d = n_dimensions;
  auto result = std::make_unique<Data>(units, d, 0, true);
  std::vector<int> coords(static_cast<std::size_t>(d), 0);
  std::vector<double> place(static_cast<std::size_t>(d), 0.0);
  for (int k = 0; k < units; ++k) {
    std::copy(coords.begin(), coords.end(), place.begin());
    result->AppendRow(place.data(), nullptr, &lists[static_cast<std::size_t>(k)]);
    for (int j = d - 1; j >= 0; --j) {
      if (++coords[j] < dimensions[j] || j == 0) break;
      coords[j] = 0;
    }
  }
  return result;
}

std::unique_ptr<Data> TKohonenNetwork::MapData(Data* in,
                                               std::unique_ptr<TKQstructure> params) const {
  static const char* const kWhere = "TKohonenNetwork::MapData";
  params.reset();
  const int n = layers[1]->numNeurons;
  CheckInput(in, n, kWhere);
  CheckOutputs(in, n, kWhere);
  CheckGrid(*this, kWhere);

  const int d = n_dimensions;
  auto result = std::make_unique<Data>(in->GetNumRows(), n, d, false);
  std::vector<double> outputs(static_cast<std::size_t>(n) + 1);
  std::vector<int> coords(static_cast<std::size_t>(d));
  std::vector<double> place(static_cast<std::size_t>(d));
  ReadAndMatch(
      *this, *in, [&](double* inputs, int) { in->GetNextRow(inputs, outputs.data(), nullptr); },
      [&](const double* inputs, int winner, int) {
        IndexToCoordinates(coords.data(), winner);
        std::copy(coords.begin(), coords.end(), place.begin());
        result->AppendRow(inputs, place.data(), nullptr);
      });
  return result;
}

// ---- TMeanSquaredQuantizationError ----------------------------------------

TMeanSquaredQuantizationError::TMeanSquaredQuantizationError(int n_inputs) : n(n_inputs) {
  KOH_ASSERT(n_inputs >= 0, "n_inputs >= 0");
}

void TMeanSquaredQuantizationError::Accumulate(const double* input, const double* answer) {
  double d = 0.0;
  for (int j = 0; j < n; ++j) {
    const double e = input[j] - answer[j];
    d = d + e * e;
  }
  sum = sum + d;
  ++count;
}

double TMeanSquaredQuantizationError::GetResult() const {
  return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

void TMeanSquaredQuantizationError::Reset() noexcept {
  sum = 0.0;
  count = 0;
}

// ---- Labelled maps --------------------------------------------------------

void GetMapDimensions(const Data* Map, int* sizes) {
  static const char* const kWhere = "GetMapDimensions";
  if (Map == nullptr) Refuse("No labelled map given", kWhere);
  const int d = Map->GetNumInputs();
  if (d <= 0) Refuse("The labelled map has no coordinate columns", kWhere);
  KOH_ASSERT(sizes != nullptr, "sizes != NULL");
  const int rows = Map->GetNumRows();
  int stride = 1;
  for (int j = d - 2; j >= 0; --j) {
    int row = 0;
    int steps = 0;
    // A row beyond the last is read as GetNumRows(), which is never valid:
    // the data set refuses it, and the running index cannot overflow.
    do {
      row = row < rows - stride ? row + stride : rows;
      ++steps;
    } while (Map->GetInputDatum(row, j) == 0.0);
    sizes[j + 1] = steps;
    stride = row;
  }
  sizes[0] = rows / stride;
}

std::unique_ptr<Data> LookupLabels(Data* coords, Data* Map) {
  static const char* const kWhere = "LookupLabels";
  if (coords == nullptr) Refuse("No coordinates data set given", kWhere);
  if (Map == nullptr) Refuse("No labelled map given", kWhere);
  if (Map->GetNumInputs() <= 0) Refuse("The labelled map has no coordinate columns", kWhere);
  const int dimnumber = Map->GetNumInputs();
  std::vector<int> sizes(static_cast<std::size_t>(dimnumber));
  GetMapDimensions(Map, sizes.data());
  return LookupLabels(coords, Map, dimnumber, sizes.data());
}

std::unique_ptr<Data> LookupLabels(Data* coords, Data* Map, int dimnumber, const int* sizes) {
  static const char* const kWhere = "LookupLabels";
  if (coords == nullptr) Refuse("No coordinates data set given", kWhere);
  if (Map == nullptr) Refuse("No labelled map given", kWhere);
  const int dimnum = coords->GetNumOutputs();
  if (Map->GetNumInputs() != dimnum)
    Refuse("The labelled map has " + Num(Map->GetNumInputs()) +
               " coordinate columns, the coordinates data set " + Num(dimnum) + " outputs",
           kWhere);
  if (dimnum != dimnumber)
    Refuse("The coordinates data set has " + Num(dimnum) + " outputs, the grid " + Num(dimnumber) +
               " dimensions",
           kWhere);
  if (dimnumber <= 0) Refuse("The grid has no dimensions", kWhere);
  if (coords->GetNumRowOutputs() != dimnum)
    Refuse("The coordinates data set's rows deliver " + Num(coords->GetNumRowOutputs()) +
               " output values, not " + Num(dimnum),
           kWhere);
  KOH_ASSERT(sizes != nullptr, "sizes != NULL");

  const int total = coords->GetNumRows();
  auto result = std::make_unique<Data>(total, 0, 0, true);
  coords->Rewind();
  Map->Rewind();
  std::vector<double> inputs(
      static_cast<std::size_t>(std::max(coords->GetNumRowInputs(), coords->GetNumInputs())) + 1);
  std::vector<double> outputs(static_cast<std::size_t>(dimnum));
  std::vector<int> place(static_cast<std::size_t>(dimnum));
  for (int r = 0; r < total; ++r) {
    coords->GetNextRow(inputs.data(), outputs.data(), nullptr);
    for (int j = 0; j < dimnum; ++j) {
      const double c = outputs[static_cast<std::size_t>(j)];
      // Truncation toward zero is defined only for values that fit an int.
      if (!(c > -2147483649.0 && c < 2147483648.0))
        Refuse("Coordinate " + GeneralText(c, 17) + " in coordinates row " +
                   Num(coords->GetCursor()) + " is not a grid index",
               kWhere);
      place[static_cast<std::size_t>(j)] = static_cast<int>(c);
    }
    const int unit = CoordinatesToIndex(dimnumber, sizes, place.data());
    result->AppendRow(nullptr, nullptr, Map->GetLabels(unit));
  }
  return result;
}

}  // namespace kohport
