#include "NeuralNets/TKohonenNetwork.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>

#include "NeuralNets/BestMatchKernels.h"
#include "NeuralNets/Dimensions.h"
#include "NeuralNets/TConnectedConnections.h"
#include "common/Assert.h"
#include "common/TException.h"

namespace kohport {

namespace {

[[noreturn]] void RefuseMatch(const char* message) {
  throw TException(message, "Bad Parameter", "TKohonenNetwork::BestMatch", nullptr);
}

}  // namespace

TKohonenNetwork::TKohonenNetwork(int n_inputs, int n_dims, const int* sizes) {
  KOH_ASSERT(n_inputs >= 0, "n_inputs>=0");
  KOH_ASSERT(n_dims >= 0, "n_dimensions>=0");
  KOH_ASSERT(n_dims == 0 || sizes != nullptr, "parameters != NULL");
  long long units = 1;
  for (int k = 0; k < n_dims; ++k) {
    KOH_ASSERT(sizes[k] >= 0, "sizes[k]>=0");
    units *= sizes[k];
    KOH_ASSERT(units <= INT_MAX, "number of map units fits int");
  }
  Init(3);
  layers[0].reset(new TSimpleLayer(this, 0, 0));
  layers[1].reset(new TSimpleInputLayer(this, 1, n_inputs));
  layers[2].reset(new TSimpleLayer(this, 2, static_cast<int>(units)));
  layers[0]->SetActFunction(ActError);
  layers[1]->SetActFunction(ActLinear);
  layers[2]->SetActFunction(ActLinear);
  Connect(1, 2);
  inLayer = 1;
  outLayer = 2;
  SetDimensions(n_dims, sizes);
}

TKohonenNetwork::TKohonenNetwork() {
  Init(3);
}

TKohonenNetwork::~TKohonenNetwork() = default;

void TKohonenNetwork::RandomizeWeights(double low, double high) {
  priv_conns_index[2][1]->RandomizeWeights(low, high);
}

int TKohonenNetwork::Evaluate(const double* inputs, double* outputs) {
  return BestMatch(inputs, outputs);
}

const char* TKohonenNetwork::GetNetworkType() const {
  return "Kohonen";
}

void TKohonenNetwork::GetDimensions(int* parameters) const {
  detail::GetDimensions(n_dimensions, dimensions, parameters);
}

void TKohonenNetwork::SetDimensions(int count, const int* parameters) {
  detail::SetDimensions(n_dimensions, dimensions, count, parameters);
}

int TKohonenNetwork::CoordinatesToIndex(const int* coords) const {
  KOH_ASSERT(n_dimensions != 0, "dims != 0");
  std::vector<int> sizes(static_cast<std::size_t>(n_dimensions));
  GetDimensions(sizes.data());
  return kohport::CoordinatesToIndex(n_dimensions, sizes.data(), coords);
}

void TKohonenNetwork::IndexToCoordinates(int* coords, int index) const {
  KOH_ASSERT(n_dimensions != 0, "dims != 0");
  for (int k = n_dimensions - 1; k > 0; --k) {
    KOH_ASSERT(dimensions[k] > 0, "dimensions[k] > 0");
    coords[k] = index % dimensions[k];
    index /= dimensions[k];
  }
  coords[0] = index;
}

int CoordinatesToIndex(int dimnumber, const int* sizes, const int* coords) {
  KOH_ASSERT(dimnumber > 0, "dims != 0");
  // Unsigned arithmetic wraps instead of overflowing for coordinates outside
  // the grid; inside it the result is the exact index.
  unsigned int index = static_cast<unsigned int>(coords[0]);
  for (int k = 1; k < dimnumber; ++k)
    index = index * static_cast<unsigned int>(sizes[k]) + static_cast<unsigned int>(coords[k]);
  return static_cast<int>(index);
}

// The map-level refusals shared by BestMatch and BestMatchBatch; returns the
// weight rows of the block from layer 1 to layer 2.
double* const* TKohonenNetwork::MatchRows() const {
  if (layers[2]->numNeurons == 0) RefuseMatch("The map has no units to match the input against");
  double* const* rows = priv_conns_index[2][1]->GetWeightRows();
  if (rows == nullptr) RefuseMatch("The map has no weights from its inputs to its units");
  return rows;
}

int TKohonenNetwork::BestMatch(const double* input, double* weights) {
  double* const* rows = MatchRows();
  const int n = layers[1]->numNeurons;
  const int bestsofar =
      detail::BestMatchOne(detail::WidestMatchKernel(), rows, layers[2]->numNeurons, n, input);
  if (bestsofar < 0) RefuseMatch("No map unit is at a measurable distance from the input");
  KOH_ASSERT(bestsofar >= 0, "bestsofar >= 0");
  const double* winner = rows[bestsofar];
  std::copy(winner, winner + n, weights);
  return bestsofar;
}

void TKohonenNetwork::BestMatchBatch(const double* inputs, int rows, int stride,
                                     int* winners) const {
  KOH_ASSERT(rows >= 0, "rows>=0");
  if (rows == 0) return;
  const int n = layers[1]->numNeurons;
  KOH_ASSERT(inputs != nullptr && winners != nullptr, "inputs != NULL && winners != NULL");
  KOH_ASSERT(rows == 1 || stride >= n, "stride>=number of inputs");
  double* const* weightRows = MatchRows();
  const int units = layers[2]->numNeurons;
  const detail::MatchKernel kernel = detail::WidestMatchKernel();
  std::vector<int> found(static_cast<std::size_t>(rows));
  // Repacking costs about as much as one match; a few rows are cheaper
  // matched straight from the weight rows.
  if (rows < 4) {
    for (int r = 0; r < rows; ++r)
      found[r] = detail::BestMatchOne(kernel, weightRows, units, n,
                                      inputs + static_cast<std::ptrdiff_t>(r) * stride);
  } else {
    detail::BestMatchRows(kernel, weightRows, units, n, inputs, rows, stride, found.data());
  }
  for (int r = 0; r < rows; ++r) {
    if (found[r] < 0)
      RefuseMatch(
          ("No map unit is at a measurable distance from input row " + std::to_string(r)).c_str());
  }
  std::copy(found.begin(), found.end(), winners);
}

}  // namespace kohport
