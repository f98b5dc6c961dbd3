// Internal helpers for the shape arrays that layers and Kohonen maps keep as
// `n_dimensions` plus `dimensions`: both answer GetDimensions and
// SetDimensions with the same rules and the same assertion texts.
#ifndef KOHPORT_NEURALNETS_DIMENSIONS_H
#define KOHPORT_NEURALNETS_DIMENSIONS_H

#include <algorithm>
#include <vector>

#include "common/Assert.h"

namespace kohport::detail {

// Copies the n_dimensions sizes to `parameters`; nothing when there are none.
inline void GetDimensions(int n_dimensions, const std::vector<int>& dimensions, int* parameters) {
  if (n_dimensions == 0) return;
  KOH_ASSERT(parameters != nullptr, "parameters != NULL");
  KOH_ASSERT(static_cast<int>(dimensions.size()) >= n_dimensions, "dimensions != NULL");
  std::copy(dimensions.begin(), dimensions.begin() + n_dimensions, parameters);
}

// Replaces the sizes by copies of the first `count` of `parameters`.
inline void SetDimensions(int& n_dimensions, std::vector<int>& dimensions, int count,
                          const int* parameters) {
  KOH_ASSERT(count >= 0, "count>=0");
  std::vector<int> fresh;
  if (count > 0) {
    KOH_ASSERT(parameters != nullptr, "parameters != NULL");
    fresh.assign(parameters, parameters + count);
  }
  dimensions.swap(fresh);
  n_dimensions = count;
}

}  // namespace kohport::detail

#endif
