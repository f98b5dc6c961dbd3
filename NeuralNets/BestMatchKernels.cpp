#include "NeuralNets/BestMatchKernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/Assert.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define KOHPORT_MATCH_X86 1
#include <immintrin.h>
#endif

namespace kohport::detail {

namespace {

constexpr int kLanes = 8;
constexpr int kMaxWidth = 8;

// The running winner of one input: a unit replaces it when its distance is
// strictly smaller, or, while there is none, when its distance is a number.
inline void Consider(double d, int unit, double& best, int& winner) {
  if (winner < 0 ? !std::isnan(d) : d < best) {
    best = d;
    winner = unit;
  }
}

// One unit's squared distance, as the definition reads.
inline double Distance(const double* w, const double* input, int n) {
  double d = 0.0;
  for (int j = 0; j < n; ++j) {
    const double e = input[j] - w[j];
    d = d + e * e;
  }
  return d;
}

// Four units side by side, each with its own sum in input order; units
// [first, units) of the rows.
int ScalarOne(const double* const* rows, int first, int units, int n, const double* input,
              double& best, int winner) {
  int i = first;
  for (; i + 4 <= units; i += 4) {
    const double* w0 = rows[i];
    const double* w1 = rows[i + 1];
    const double* w2 = rows[i + 2];
    const double* w3 = rows[i + 3];
    double d0 = 0.0, d1 = 0.0, d2 = 0.0, d3 = 0.0;
    for (int j = 0; j < n; ++j) {
      const double x = input[j];
      const double e0 = x - w0[j];
      const double e1 = x - w1[j];
      const double e2 = x - w2[j];
      const double e3 = x - w3[j];
      d0 = d0 + e0 * e0;
      d1 = d1 + e1 * e1;
      d2 = d2 + e2 * e2;
      d3 = d3 + e3 * e3;
    }
    Consider(d0, i, best, winner);
    Consider(d1, i + 1, best, winner);
    Consider(d2, i + 2, best, winner);
    Consider(d3, i + 3, best, winner);
  }
  for (; i < units; ++i) Consider(Distance(rows[i], input, n), i, best, winner);
  return winner;
}

// ---------------------------------------------------------------------------
// Tiles: R inputs against one packed block of 8 units. `block` holds n groups
// of 8 weights (input j of lanes 0..7); lanes at or above `lanes` are padding
// and never considered.

inline void ConsiderLanes(const double* d, int lanes, int base, double& best, int& winner) {
  for (int l = 0; l < lanes; ++l) Consider(d[l], base + l, best, winner);
}

template <int R>
void TilePortable(const double* block, int n, const double* const* in, double* best, int* winner,
                  int base, int lanes) {
  double acc[R][kLanes] = {};
  for (int j = 0; j < n; ++j) {
    const double* w = block + static_cast<std::size_t>(j) * kLanes;
    for (int r = 0; r < R; ++r) {
      const double x = in[r][j];
      for (int l = 0; l < kLanes; ++l) {
        const double e = x - w[l];
        acc[r][l] = acc[r][l] + e * e;
      }
    }
  }
  for (int r = 0; r < R; ++r) ConsiderLanes(acc[r], lanes, base, best[r], winner[r]);
}

#if defined(KOHPORT_MATCH_X86) && defined(__SSE2__)
#define KOHPORT_MATCH_SSE2 1

template <int R>
void TileSse2(const double* block, int n, const double* const* in, double* best, int* winner,
              int base, int lanes) {
  __m128d acc[R][4];
  for (int r = 0; r < R; ++r)
    for (int k = 0; k < 4; ++k) acc[r][k] = _mm_setzero_pd();
  for (int j = 0; j < n; ++j) {
    const double* w = block + static_cast<std::size_t>(j) * kLanes;
    const __m128d w0 = _mm_loadu_pd(w);
    const __m128d w1 = _mm_loadu_pd(w + 2);
    const __m128d w2 = _mm_loadu_pd(w + 4);
    const __m128d w3 = _mm_loadu_pd(w + 6);
    for (int r = 0; r < R; ++r) {
      const __m128d x = _mm_set1_pd(in[r][j]);
      const __m128d e0 = _mm_sub_pd(x, w0);
      const __m128d e1 = _mm_sub_pd(x, w1);
      const __m128d e2 = _mm_sub_pd(x, w2);
      const __m128d e3 = _mm_sub_pd(x, w3);
      acc[r][0] = _mm_add_pd(acc[r][0], _mm_mul_pd(e0, e0));
      acc[r][1] = _mm_add_pd(acc[r][1], _mm_mul_pd(e1, e1));
      acc[r][2] = _mm_add_pd(acc[r][2], _mm_mul_pd(e2, e2));
      acc[r][3] = _mm_add_pd(acc[r][3], _mm_mul_pd(e3, e3));
    }
  }
  for (int r = 0; r < R; ++r) {
    if (winner[r] >= 0) {
      // Nothing to do unless some lane is strictly below the running best
      // (a comparison with a NaN lane is false, as in Consider).
      const __m128d b = _mm_set1_pd(best[r]);
      const int below = _mm_movemask_pd(_mm_cmplt_pd(acc[r][0], b)) |
                        _mm_movemask_pd(_mm_cmplt_pd(acc[r][1], b)) |
                        _mm_movemask_pd(_mm_cmplt_pd(acc[r][2], b)) |
                        _mm_movemask_pd(_mm_cmplt_pd(acc[r][3], b));
      if (below == 0) continue;
    }
    double d[kLanes];
    for (int k = 0; k < 4; ++k) _mm_storeu_pd(d + 2 * k, acc[r][k]);
    ConsiderLanes(d, lanes, base, best[r], winner[r]);
  }
}
#endif

#if defined(KOHPORT_MATCH_X86)
#define KOHPORT_MATCH_AVX2 1
// AVX2 without FMA: the target attribute enables only the wider registers;
// every product is rounded before it is added.
#define KOHPORT_AVX2 __attribute__((target("avx2")))

template <int R>
KOHPORT_AVX2 void TileAvx2(const double* block, int n, const double* const* in, double* best,
                           int* winner, int base, int lanes) {
  __m256d lo[R], hi[R];
  for (int r = 0; r < R; ++r) lo[r] = hi[r] = _mm256_setzero_pd();
  for (int j = 0; j < n; ++j) {
    const double* w = block + static_cast<std::size_t>(j) * kLanes;
    const __m256d w0 = _mm256_loadu_pd(w);
    const __m256d w1 = _mm256_loadu_pd(w + 4);
    for (int r = 0; r < R; ++r) {
      const __m256d x = _mm256_broadcast_sd(in[r] + j);
      const __m256d e0 = _mm256_sub_pd(x, w0);
      const __m256d e1 = _mm256_sub_pd(x, w1);
      lo[r] = _mm256_add_pd(lo[r], _mm256_mul_pd(e0, e0));
      hi[r] = _mm256_add_pd(hi[r], _mm256_mul_pd(e1, e1));
    }
  }
  for (int r = 0; r < R; ++r) {
    if (winner[r] >= 0) {
      const __m256d b = _mm256_set1_pd(best[r]);
      const int below = _mm256_movemask_pd(_mm256_cmp_pd(lo[r], b, _CMP_LT_OQ)) |
                        _mm256_movemask_pd(_mm256_cmp_pd(hi[r], b, _CMP_LT_OQ));
      if (below == 0) continue;
    }
    double d[kLanes];
    _mm256_storeu_pd(d, lo[r]);
    _mm256_storeu_pd(d + 4, hi[r]);
    ConsiderLanes(d, lanes, base, best[r], winner[r]);
  }
}

// Single input: 8 units straight from their rows, four inputs at a time
// turned from four rows into four lane vectors (a 4 x 4 transpose), so no
// repacking is needed. Units [0, units rounded down to 8) only.
KOHPORT_AVX2 int OneAvx2(const double* const* rows, int units, int n, const double* input,
                         double& best, int winner) {
  const int whole = units - units % kLanes;
  const int nj = n - n % 4;
  for (int i = 0; i < whole; i += kLanes) {
    const double* const* w = rows + i;
    __m256d lo = _mm256_setzero_pd();
    __m256d hi = _mm256_setzero_pd();
    for (int j = 0; j < nj; j += 4) {
      __m256d col[2][4];
      for (int h = 0; h < 2; ++h) {
        const __m256d a = _mm256_loadu_pd(w[4 * h] + j);
        const __m256d b = _mm256_loadu_pd(w[4 * h + 1] + j);
        const __m256d c = _mm256_loadu_pd(w[4 * h + 2] + j);
        const __m256d d = _mm256_loadu_pd(w[4 * h + 3] + j);
        const __m256d ab0 = _mm256_unpacklo_pd(a, b);
        const __m256d ab1 = _mm256_unpackhi_pd(a, b);
        const __m256d cd0 = _mm256_unpacklo_pd(c, d);
        const __m256d cd1 = _mm256_unpackhi_pd(c, d);
        col[h][0] = _mm256_permute2f128_pd(ab0, cd0, 0x20);
        col[h][1] = _mm256_permute2f128_pd(ab1, cd1, 0x20);
        col[h][2] = _mm256_permute2f128_pd(ab0, cd0, 0x31);
        col[h][3] = _mm256_permute2f128_pd(ab1, cd1, 0x31);
      }
      for (int k = 0; k < 4; ++k) {
        const __m256d x = _mm256_broadcast_sd(input + j + k);
        const __m256d e0 = _mm256_sub_pd(x, col[0][k]);
        const __m256d e1 = _mm256_sub_pd(x, col[1][k]);
        lo = _mm256_add_pd(lo, _mm256_mul_pd(e0, e0));
        hi = _mm256_add_pd(hi, _mm256_mul_pd(e1, e1));
      }
    }
    double d[kLanes];
    _mm256_storeu_pd(d, lo);
    _mm256_storeu_pd(d + 4, hi);
    for (int l = 0; l < kLanes; ++l) {
      // The last inputs continue each lane's sum in order.
      for (int j = nj; j < n; ++j) {
        const double e = input[j] - w[l][j];
        d[l] = d[l] + e * e;
      }
      Consider(d[l], i + l, best, winner);
    }
  }
  return winner;
}

// AVX-512 without FMA: one register holds a whole block's lane group.
#define KOHPORT_AVX512 __attribute__((target("avx512f")))

template <int R>
KOHPORT_AVX512 void TileAvx512(const double* block, int n, const double* const* in, double* best,
                               int* winner, int base, int lanes) {
  __m512d acc[R];
  for (int r = 0; r < R; ++r) acc[r] = _mm512_setzero_pd();
  for (int j = 0; j < n; ++j) {
    const __m512d w = _mm512_loadu_pd(block + static_cast<std::size_t>(j) * kLanes);
    for (int r = 0; r < R; ++r) {
      const __m512d e = _mm512_sub_pd(_mm512_set1_pd(in[r][j]), w);
      acc[r] = _mm512_add_pd(acc[r], _mm512_mul_pd(e, e));
    }
  }
  for (int r = 0; r < R; ++r) {
    if (winner[r] >= 0 && _mm512_cmp_pd_mask(acc[r], _mm512_set1_pd(best[r]), _CMP_LT_OQ) == 0)
      continue;
    double d[kLanes];
    _mm512_storeu_pd(d, acc[r]);
    ConsiderLanes(d, lanes, base, best[r], winner[r]);
  }
}
#endif

using TileFn = void (*)(const double*, int, const double* const*, double*, int*, int, int);

struct Tiles {
  int width;      // inputs per wide tile, at most kMaxWidth
  TileFn wide;    // `width` inputs at a time
  TileFn single;  // one input, for the rows left over
};

Tiles TilesFor(MatchKernel kernel) {
  switch (kernel) {
#if defined(KOHPORT_MATCH_AVX2)
    case MatchKernel::kAvx512:
      return {8, TileAvx512<8>, TileAvx512<1>};
    case MatchKernel::kAvx2:
      return {4, TileAvx2<4>, TileAvx2<1>};
#endif
#if defined(KOHPORT_MATCH_SSE2)
    case MatchKernel::kSse2:
      return {2, TileSse2<2>, TileSse2<1>};
#endif
    default:
      return {2, TilePortable<2>, TilePortable<1>};
  }
}

bool Detect(MatchKernel kernel) {
#if defined(KOHPORT_MATCH_AVX2)
  __builtin_cpu_init();
  if (kernel == MatchKernel::kAvx512) return __builtin_cpu_supports("avx512f") != 0;
  return __builtin_cpu_supports("avx2") != 0;
#else
  static_cast<void>(kernel);
  return false;
#endif
}

}  // namespace

const char* MatchKernelName(MatchKernel kernel) {
  switch (kernel) {
    case MatchKernel::kAvx512:
      return "avx512";
    case MatchKernel::kAvx2:
      return "avx2";
    case MatchKernel::kSse2:
      return "sse2";
    case MatchKernel::kPortable:
      break;
  }
  return "portable";
}

bool MatchKernelSupported(MatchKernel kernel) {
  switch (kernel) {
    case MatchKernel::kPortable:
      return true;
    case MatchKernel::kSse2:
#if defined(KOHPORT_MATCH_SSE2)
      return true;
#else
      return false;
#endif
    case MatchKernel::kAvx2: {
      static const bool avx2 = Detect(MatchKernel::kAvx2);
      return avx2;
    }
    case MatchKernel::kAvx512: {
      static const bool avx512 = Detect(MatchKernel::kAvx512);
      return avx512;
    }
  }
  return false;
}

std::vector<MatchKernel> SupportedMatchKernels() {
  std::vector<MatchKernel> kernels;
  for (MatchKernel k :
       {MatchKernel::kPortable, MatchKernel::kSse2, MatchKernel::kAvx2, MatchKernel::kAvx512})
    if (MatchKernelSupported(k)) kernels.push_back(k);
  return kernels;
}

MatchKernel WidestMatchKernel() {
  static const MatchKernel widest = SupportedMatchKernels().back();
  return widest;
}

int BestMatchOne(MatchKernel kernel, const double* const* weightRows, int units, int n,
                 const double* input) {
  KOH_ASSERT(MatchKernelSupported(kernel), "best-match kernel supported");
  double best = 0.0;
  int winner = -1;
  int done = 0;
#if defined(KOHPORT_MATCH_AVX2)
  if (kernel == MatchKernel::kAvx2 || kernel == MatchKernel::kAvx512) {
    winner = OneAvx2(weightRows, units, n, input, best, winner);
    done = units - units % kLanes;
  }
#endif
  return ScalarOne(weightRows, done, units, n, input, best, winner);
}

void BestMatchRows(MatchKernel kernel, const double* const* weightRows, int units, int n,
                   const double* inputs, int rows, int stride, int* winners) {
  KOH_ASSERT(MatchKernelSupported(kernel), "best-match kernel supported");
  KOH_ASSERT(units >= 0 && n >= 0 && rows >= 0, "units>=0 && n>=0 && rows>=0");
  KOH_ASSERT(rows <= 1 || stride >= n, "stride>=n");
  if (rows == 0) return;
  const int blocks = (units + kLanes - 1) / kLanes;
  const std::size_t blockSize = static_cast<std::size_t>(n) * kLanes;
  std::vector<double> packed(static_cast<std::size_t>(blocks) * blockSize, 0.0);
  for (int u = 0; u < units && n > 0; ++u) {
    double* lane = packed.data() + static_cast<std::size_t>(u / kLanes) * blockSize + u % kLanes;
    const double* w = weightRows[u];
    for (int j = 0; j < n; ++j) lane[static_cast<std::size_t>(j) * kLanes] = w[j];
  }

  std::vector<double> best(static_cast<std::size_t>(rows), 0.0);
  std::fill(winners, winners + rows, -1);
  const Tiles tiles = TilesFor(kernel);
  // A run of blocks of about 256 KiB stays in the second-level cache while
  // every row is matched against it.
  const int run = std::max(1, 4096 / std::max(n, 1));
  const double* in[kMaxWidth];
  for (int b0 = 0; b0 < blocks; b0 += run) {
    const int b1 = std::min(blocks, b0 + run);
    for (int r = 0; r < rows;) {
      const bool wide = rows - r >= tiles.width;
      const int count = wide ? tiles.width : 1;
      const TileFn tile = wide ? tiles.wide : tiles.single;
      for (int k = 0; k < count; ++k) in[k] = inputs + static_cast<std::ptrdiff_t>(r + k) * stride;
      for (int b = b0; b < b1; ++b) {
        const int base = b * kLanes;
        tile(packed.data() + static_cast<std::size_t>(b) * blockSize, n, in, &best[r], winners + r,
             base, std::min(kLanes, units - base));
      }
      r += count;
    }
  }
}

}  // namespace kohport::detail
