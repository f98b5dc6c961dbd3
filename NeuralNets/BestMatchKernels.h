// Internal: the loops behind TKohonenNetwork::BestMatch and BestMatchBatch.
//
// Every kernel computes each unit's squared distance exactly as the scalar
// definition does: a sum started at 0.0 and taken over the inputs in order,
// every difference, square and addition rounded on its own (no fused
// multiply-add, no reordered or pairwise sums). The vector kernels only put
// several units (lanes) side by side. Units are then compared in index
// order with strict <; a unit whose distance is not a number never wins.
// So every kernel gives the same winner, bit for bit.
#ifndef KOHPORT_NEURALNETS_BESTMATCHKERNELS_H
#define KOHPORT_NEURALNETS_BESTMATCHKERNELS_H

#include <vector>

namespace kohport::detail {

enum class MatchKernel { kPortable, kSse2, kAvx2, kAvx512 };

// "portable", "sse2", "avx2" or "avx512".
const char* MatchKernelName(MatchKernel kernel);
// Whether this build and this processor can run the kernel.
bool MatchKernelSupported(MatchKernel kernel);
// The kernels this build and processor can run, narrowest first.
std::vector<MatchKernel> SupportedMatchKernels();
// The widest supported kernel; decided once per process.
MatchKernel WidestMatchKernel();

// The best-matching unit for one input: `weightRows` holds `units` rows of
// `n` weights (row u is unit u). Returns -1 when no unit's distance is a
// number (or units is 0). A kernel that is not supported fails an assertion.
int BestMatchOne(MatchKernel kernel, const double* const* weightRows, int units, int n,
                 const double* input);

// The same for `rows` inputs: input r is inputs[r*stride .. r*stride+n-1],
// its winner (or -1) goes to winners[r]. The weights are first repacked as
// [block of 8 units][input][lane], so that one vector load brings the same
// input's weight for 8 units; rows are then matched against a cache-sized
// run of blocks at a time, each row keeping its own running winner across
// the runs in unit order. stride >= n when rows > 1.
void BestMatchRows(MatchKernel kernel, const double* const* weightRows, int units, int n,
                   const double* inputs, int rows, int stride, int* winners);

}  // namespace kohport::detail

#endif
