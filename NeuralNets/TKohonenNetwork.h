// TKohonenNetwork: a self-organising map. Layer 0 has no neurons, layer 1 is
// the input layer (one neuron per input, "linear"), layer 2 holds the map
// units ("linear"); the only real block is the fully connected block from
// layer 1 to layer 2, whose row u holds unit u's weight vector
// (index_weights[u][i] is the weight from input i). Units are numbered in
// row-major order of their grid coordinates (the last coordinate fastest).
// The map owns its dimension array besides what every network owns.
//
// Recall and labelling (declared in the marked sections below, implemented in
// KohonenRecall.cpp) run the map over data sets without changing it. Data
// sets they return belong to the caller; data sets and accumulators they are
// given stay the caller's, only their reading cursor moves.
#ifndef KOHPORT_NEURALNETS_TKOHONENNETWORK_H
#define KOHPORT_NEURALNETS_TKOHONENNETWORK_H

#include <memory>
#include <vector>

#include "DataObject/Data.h"
#include "KQmessage/KQML.h"
#include "NeuralNets/TConnectedNetwork.h"

namespace kohport {

class TErrorAccumulator;

class TKohonenNetwork : public TConnectedNetwork {
 public:
  // A complete map of n_inputs inputs on a grid of n_dimensions sizes (copied),
  // every weight 0.0. Layer 2 has the product of the sizes as units (1 when
  // there are no dimensions). Counts must not be negative and the product
  // must fit a signed 32-bit count (assertions); so must n_inputs x units
  // (TBasicConnections::SizeFits), which readers check before.
  TKohonenNetwork(int n_inputs, int n_dimensions, const int* sizes);
  // Three empty layer slots and no dimensions, for the network file reader.
  TKohonenNetwork();
  TKohonenNetwork(const TKohonenNetwork& x) = default;
  TKohonenNetwork& operator=(const TKohonenNetwork& x) = default;
  ~TKohonenNetwork() override;

  // Randomizes the block from layer 1 to layer 2 only.
  void RandomizeWeights(double low, double high) override;
  // BestMatch(inputs, outputs): outputs receive the winner's weights; returns
  // the winner's index. The layers' values are not computed.
  int Evaluate(const double* inputs, double* outputs) override;
  const char* GetNetworkType() const override;

  int GetNumDimensions() const noexcept { return n_dimensions; }
  // Copies the n_dimensions sizes; nothing when there are none.
  void GetDimensions(int* parameters) const;
  // Replaces the sizes by copies of parameters[0..count-1]; layer 2 is not
  // resized.
  void SetDimensions(int count, const int* parameters);
  // Row-major index of n_dimensions coordinates (not checked against the
  // sizes). Requires dimensions (assertion "dims != 0").
  int CoordinatesToIndex(const int* coords) const;
  // The n_dimensions coordinates of unit `index` into coords. Requires
  // dimensions ("dims != 0") and sizes above 0 from the second one on.
  void IndexToCoordinates(int* coords, int index) const;

  // The unit nearest to `input` (one double per input) in squared Euclidean
  // distance: each unit's sum over the inputs in order, every difference,
  // square and addition rounded on its own; units compared in index order
  // with strict <, so the lowest index wins a tie. Units whose distance is
  // not a number never win; a finite or infinite distance always can.
  // Copies the winner's weights into `weights` and returns its index.
  // Throws TException ("Bad Parameter", "TKohonenNetwork::BestMatch") when
  // the map has no units, no weights from inputs to units, or when no
  // unit's distance is a number.
  int BestMatch(const double* input, double* weights);
  // The best match of `rows` inputs at once, the hot path of recall over data
  // sets: row r's inputs start at inputs + r*stride (stride at least the
  // number of inputs when rows > 1), and winners[r] receives row r's unit
  // index, the same index BestMatch returns for that row. The weights are
  // repacked once per call (nothing is cached, so weight edits between calls
  // are always seen) and matched with the widest vector instructions the
  // processor offers, bit-identical to BestMatch. Throws the exceptions of
  // BestMatch (the row's number in the message when no unit's distance is a
  // number) before it writes any winner. rows == 0 does nothing.
  void BestMatchBatch(const double* inputs, int rows, int stride, int* winners) const;

  // ---- Recall and labelling over data sets (KohonenRecall.cpp) ----------
  //
  // Each operation rewinds the data set `in` and reads GetNumRows() rows from
  // it with GetNextRow (the ring's capacity: a data set not yet full is read
  // round again from its oldest row). The winner of each row is the unit
  // BestMatch would choose. Every operation throws TException, category "Bad
  // Parameter", location "TKohonenNetwork::<Operation>", before reading any
  // row when `in` (or `err`) is null or when the rows of `in`, under its
  // column selection, do not deliver exactly n input values, n being the
  // number of map inputs. BestMatch's refusals and the data set's exceptions
  // pass through unchanged.

  // A new data set of in's GetNumRows() rows: each row's inputs, and as its
  // n outputs the weight vector of the row's winner. No labels.
  std::unique_ptr<Data> RecallData(Data* in) const;

  // Accumulate(inputs, winner's weights) of `err` for every row read from
  // `in`, in reading order; returns err->GetResult(). The two arrays passed
  // are valid during the call only.
  double TestData(Data* in, TErrorAccumulator* err) const;

  // A labelled map: one row per unit, in unit-index order, whose inputs are
  // the unit's grid coordinates and whose labels are those the unit
  // collected: for every row read from `in`, the row's first label is added
  // (TLabelList::AddLabel, so equal names sum their values) to its winner's
  // list. Units won by no row have empty lists. `params` is destroyed on
  // entry; nothing is read from it. Besides the common refusals, throws when
  // `in` has no labels, has a column selection, delivers more than n output
  // values per row, or holds a row without a label, and when the map has no
  // grid dimensions or its grid sizes do not multiply to its unit count.
  std::unique_ptr<Data> LabelMap(Data* in, std::unique_ptr<TKQstructure> params) const;

  // A new data set of in's GetNumRows() rows: each row's inputs, and as its
  // outputs the grid coordinates of the row's winner. `params` is destroyed
  // on entry; nothing is read from it. Besides the common refusals, throws
  // when `in` delivers more than n output values per row and when the map
  // has no grid dimensions or its grid sizes do not multiply to its unit
  // count.
  std::unique_ptr<Data> MapData(Data* in, std::unique_ptr<TKQstructure> params) const;

  // ---- end of recall and labelling ---------------------------------------

  int n_dimensions = 0;
  std::vector<int> dimensions;  // n_dimensions sizes

 private:
  double* const* MatchRows() const;
};

// Row-major index of `coords` on a grid of `dimnumber` sizes: start from
// coordinate 0, then for each further dimension multiply by its size and add
// its coordinate. dimnumber must be above 0 (assertion "dims != 0"). The
// result is meaningful for coordinates inside the sizes; callers check them.
int CoordinatesToIndex(int dimnumber, const int* sizes, const int* coords);

// ---- Recall and labelling over data sets (KohonenRecall.cpp) ------------

// An error measure over a data set, fed by TKohonenNetwork::TestData. Slot
// order: the destructor (not used by TestData: the caller owns the
// accumulator), Accumulate, GetResult.
class TErrorAccumulator {
 public:
  virtual ~TErrorAccumulator() = default;
  // One input vector and the map's answer to it (the winner's weights), n
  // doubles each.
  virtual void Accumulate(const double* input, const double* answer) = 0;
  // The measure over everything accumulated so far.
  virtual double GetResult() const = 0;
};

// Mean squared quantization error: the mean, over the accumulated rows, of
// the squared Euclidean distance between input and answer (each row's sum
// over the inputs in order). GetResult is 0.0 before anything is accumulated.
// Accumulating goes on across TestData calls until Reset.
class TMeanSquaredQuantizationError : public TErrorAccumulator {
 public:
  // For vectors of n_inputs values; n_inputs must not be negative (assertion).
  explicit TMeanSquaredQuantizationError(int n_inputs);
  void Accumulate(const double* input, const double* answer) override;
  double GetResult() const override;
  long long GetNumAccumulated() const noexcept { return count; }
  void Reset() noexcept;

 private:
  int n;
  double sum = 0.0;
  long long count = 0;
};

// The labels found at given grid positions: a new data set with one row per
// row of `coords` (GetNumRows() rows, read sequentially after Rewind, as is
// `Map`), no value columns, and labels: a copy of the labels of the unit
// whose coordinates are the row's output values, each truncated toward zero.
// `Map` is a labelled map (the shape LabelMap returns, or one of the same
// layout); this form takes its grid sizes from GetMapDimensions(Map).
// Throws TException ("Bad Parameter", "LookupLabels") when a data set is
// null, when `Map` has no coordinate columns, when the output count of
// `coords` differs from the input count of `Map` (or from `dimnumber`, or its
// rows deliver another number of outputs under a column selection), and when
// a coordinate is not a number within the range of int. Coordinates that
// name no row of `Map` raise Data's "Invalid Data Row"; coordinates are not
// checked against the sizes otherwise.
std::unique_ptr<Data> LookupLabels(Data* coords, Data* Map);
// The same on a grid of `dimnumber` sizes given by the caller (`sizes` holds
// dimnumber values; assertion when null).
std::unique_ptr<Data> LookupLabels(Data* coords, Data* Map, int dimnumber, const int* sizes);

// The grid sizes of a labelled map, one per coordinate column of `Map`
// (GetNumInputs()), into `sizes`: for each column but the first, from the
// last, the number of strides to the first row where that column becomes
// non-zero, that row being the next stride; the first size is the row count
// divided by the final stride. A grid whose dimension other than the last has
// size 1 cannot be measured this way and raises Data's "Invalid Data Row"
// (location "Data::GetInputDatum"). Throws TException ("Bad Parameter",
// "GetMapDimensions") when `Map` is null or has no coordinate columns.
// Requires `sizes` non-null (assertion).
void GetMapDimensions(const Data* Map, int* sizes);

// ---- end of recall and labelling -----------------------------------------

}  // namespace kohport

#endif
