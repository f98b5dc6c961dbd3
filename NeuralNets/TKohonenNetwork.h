// TKohonenNetwork: a self-organising map. Layer 0 has no neurons, layer 1 is
// the input layer (one neuron per input, "linear"), layer 2 holds the map
// units ("linear"); the only real block is the fully connected block from
// layer 1 to layer 2, whose row u holds unit u's weight vector
// (index_weights[u][i] is the weight from input i). Units are numbered in
// row-major order of their grid coordinates (the last coordinate fastest).
// The map owns its dimension array besides what every network owns.
#ifndef KOHPORT_NEURALNETS_TKOHONENNETWORK_H
#define KOHPORT_NEURALNETS_TKOHONENNETWORK_H

#include <vector>

#include "NeuralNets/TConnectedNetwork.h"

namespace kohport {

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

}  // namespace kohport

#endif
