#include "analysis/Lagcorrelation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// VOWELSCOPE_PORTABLE_ONLY builds without the AVX2 path (the tests check both paths).
#if !defined(VOWELSCOPE_PORTABLE_ONLY) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VOWELSCOPE_AVX2_PATH 1
#endif

namespace vowelscope {

namespace {

// The sums are exact for 16-bit frames: the samples are integers, every product and every sum of up to
// 366 of them is an integer below 2^53, so the order of the additions does not matter and the lag sums
// below equal the one-pass sums of the definition bit for bit. The last steps are correctly rounded
// in the vector units too, so both paths give the same correlations.

// Sum of x[k] * x[k + lag] for k < N - lag, for every lag in lo .. hi - 1, into sxy[lag - lo].
// Four lags share each pass over the frame, so a sample is loaded once for four products.
void LagSumsPortable(const double* x, unsigned N, unsigned lo, unsigned hi, double* sxy) {
  unsigned lag = lo;
  for (; lag + 4 <= hi; lag += 4) {
    const unsigned n = N - lag - 3;  // terms the four lags have in common
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, t0 = 0.0, t1 = 0.0, t2 = 0.0, t3 = 0.0;
    unsigned j = 0;
    for (; j + 2 <= n; j += 2) {
      const double u = x[j], v = x[j + 1];
      const double* y = x + j + lag;
      s0 += u * y[0];
      s1 += u * y[1];
      s2 += u * y[2];
      s3 += u * y[3];
      t0 += v * y[1];
      t1 += v * y[2];
      t2 += v * y[3];
      t3 += v * y[4];
    }
    for (; j < n; ++j) {
      const double u = x[j];
      const double* y = x + j + lag;
      s0 += u * y[0];
      s1 += u * y[1];
      s2 += u * y[2];
      s3 += u * y[3];
    }
    // Lag + q has 3 - q terms beyond the common ones.
    const double* y = x + n + lag;
    double* out = sxy + (lag - lo);
    out[0] = s0 + t0 + x[n] * y[0] + x[n + 1] * y[1] + x[n + 2] * y[2];
    out[1] = s1 + t1 + x[n] * y[1] + x[n + 1] * y[2];
    out[2] = s2 + t2 + x[n] * y[2];
    out[3] = s3 + t3;
  }
  for (; lag < hi; ++lag) {
    double s = 0.0;
    for (unsigned k = 0; k + lag < N; ++k) s += x[k] * x[k + lag];
    sxy[lag - lo] = s;
  }
}

// The per-lag sums the correlation needs, in arrays indexed by lag - lagMin, and the result.
struct LagScratch {
  const double* n;  // N - lag
  double* sx;
  double* sy;
  double* sxx;
  double* syy;
  double* sxy;
  double* correlation;
  unsigned count;
};

// Pearson correlation lag by lag; 0 when either side is constant. In the form n Sxy - Sx Sy over the
// square root of (n Sxx - Sx^2)(n Syy - Sy^2): for 16-bit frames the three differences are exact
// integers, so only the last product, the root and the division round.
void CorrelationsPortable(const LagScratch& s) {
  for (unsigned i = 0; i < s.count; ++i) {
    const double n = s.n[i];
    const double cx = n * s.sxx[i] - s.sx[i] * s.sx[i];
    const double cy = n * s.syy[i] - s.sy[i] * s.sy[i];
    const double cxy = n * s.sxy[i] - s.sx[i] * s.sy[i];
    s.correlation[i] = cx > 0.0 && cy > 0.0 ? cxy / std::sqrt(cx * cy) : 0.0;
  }
}

#ifdef VOWELSCOPE_AVX2_PATH

// The same two steps four doubles at a time, chosen at run time on processors with AVX2 and FMA. A
// fused multiply-add changes nothing here: product and sum are exact either way.

// Lags lag .. lag + 4 * V - 1 in V vectors of four; each of the four unrolled samples has its own
// accumulators so that the additions do not wait for one another.
template <int V>
__attribute__((target("avx2,fma"), always_inline)) inline void LagBlockAvx2(const double* x, unsigned N, unsigned lag,
                                                                            double* out) {
  constexpr unsigned width = 4 * V;
  const unsigned n = N - lag - (width - 1);  // terms all lags of the block have
  __m256d acc[4][V];
  for (auto& row : acc) {
    for (auto& a : row) a = _mm256_setzero_pd();
  }
  unsigned j = 0;
  for (; j + 4 <= n; j += 4) {
#pragma GCC unroll 4
    for (unsigned u = 0; u < 4; ++u) {
      const __m256d sample = _mm256_broadcast_sd(x + j + u);
      const double* y = x + j + u + lag;
#pragma GCC unroll 2
      for (int v = 0; v < V; ++v) acc[u][v] = _mm256_fmadd_pd(sample, _mm256_loadu_pd(y + 4 * v), acc[u][v]);
    }
  }
  for (; j < n; ++j) {
    const __m256d sample = _mm256_broadcast_sd(x + j);
    for (int v = 0; v < V; ++v) acc[0][v] = _mm256_fmadd_pd(sample, _mm256_loadu_pd(x + j + lag + 4 * v), acc[0][v]);
  }
  double sums[width];
  for (int v = 0; v < V; ++v) {
    _mm256_storeu_pd(sums + 4 * v,
                     _mm256_add_pd(_mm256_add_pd(acc[0][v], acc[1][v]), _mm256_add_pd(acc[2][v], acc[3][v])));
  }
  // Lag + q has width - 1 - q terms beyond the common ones.
  for (unsigned q = 0; q < width; ++q) {
    double s = sums[q];
    for (unsigned k = n; k + lag + q < N; ++k) s += x[k] * x[k + lag + q];
    out[q] = s;
  }
}

__attribute__((target("avx2,fma"))) void LagSumsAvx2(const double* x, unsigned N, unsigned lo, unsigned hi,
                                                     double* sxy) {
  unsigned lag = lo;
  for (; lag + 8 <= hi; lag += 8) LagBlockAvx2<2>(x, N, lag, sxy + (lag - lo));
  for (; lag + 4 <= hi; lag += 4) LagBlockAvx2<1>(x, N, lag, sxy + (lag - lo));
  LagSumsPortable(x, N, lag, hi, sxy + (lag - lo));
}

// Without FMA in its target, so that no multiply and add of the definition is fused.
__attribute__((target("avx2"))) void CorrelationsAvx2(const LagScratch& s) {
  const __m256d zero = _mm256_setzero_pd();
  unsigned i = 0;
  for (; i + 4 <= s.count; i += 4) {
    const __m256d n = _mm256_loadu_pd(s.n + i);
    const __m256d sx = _mm256_loadu_pd(s.sx + i);
    const __m256d sy = _mm256_loadu_pd(s.sy + i);
    const __m256d cx = _mm256_sub_pd(_mm256_mul_pd(n, _mm256_loadu_pd(s.sxx + i)), _mm256_mul_pd(sx, sx));
    const __m256d cy = _mm256_sub_pd(_mm256_mul_pd(n, _mm256_loadu_pd(s.syy + i)), _mm256_mul_pd(sy, sy));
    const __m256d cxy = _mm256_sub_pd(_mm256_mul_pd(n, _mm256_loadu_pd(s.sxy + i)), _mm256_mul_pd(sx, sy));
    const __m256d q = _mm256_div_pd(cxy, _mm256_sqrt_pd(_mm256_mul_pd(cx, cy)));
    // Both sides must vary; the comparisons are false for NaN too.
    const __m256d varies = _mm256_and_pd(_mm256_cmp_pd(cx, zero, _CMP_GT_OQ), _mm256_cmp_pd(cy, zero, _CMP_GT_OQ));
    _mm256_storeu_pd(s.correlation + i, _mm256_and_pd(q, varies));
  }
  LagScratch rest = s;
  rest.n += i;
  rest.sx += i;
  rest.sy += i;
  rest.sxx += i;
  rest.syy += i;
  rest.sxy += i;
  rest.correlation += i;
  rest.count -= i;
  CorrelationsPortable(rest);
}

// The products of sixteen samples from x with those `lag` .. lag + 3 later, added in pairs into the
// 32-bit lanes of the four lags' sums. Lags beyond a block's last read zeros past the frame's end at
// worst; their sums are dropped.
__attribute__((target("avx2"), always_inline)) inline void MaddStep(const int16_t* x, unsigned lag, __m256i* narrow) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
  for (unsigned q = 0; q < 4; ++q) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + lag + q));
    narrow[q] = _mm256_add_epi32(narrow[q], _mm256_madd_epi16(a, b));
  }
}

// Moves the four lags' 32-bit sums into their 64-bit sums.
__attribute__((target("avx2"), always_inline)) inline void FlushNarrow(__m256i* narrow, __m256i* wide) {
  for (unsigned q = 0; q < 4; ++q) {
    wide[q] = _mm256_add_epi64(wide[q], _mm256_cvtepi32_epi64(_mm256_castsi256_si128(narrow[q])));
    wide[q] = _mm256_add_epi64(wide[q], _mm256_cvtepi32_epi64(_mm256_extracti128_si256(narrow[q], 1)));
    narrow[q] = _mm256_setzero_si256();
  }
}

// Frames of 16-bit samples in 16-bit lanes: one multiply-add instruction takes sixteen products and
// adds them in pairs into eight 32-bit lanes. A pair stays below 2^31 unless all four samples are
// -32768, which the caller rules out; up to `flushEvery` instructions' pairs are added in 32-bit lanes
// (as many as the frame's peak allows without overflow) before they move into 64-bit sums. Every sum
// is exact, so the results equal those of the double path bit for bit. x holds N samples followed by
// at least 16 zeros; four lags share each load of x[k].
__attribute__((target("avx2"))) void LagSumsAvx2Int16(const int16_t* x, unsigned N, unsigned lo, unsigned hi,
                                                      unsigned flushEvery, double* sxy) {
  unsigned lag = lo;
  for (; lag < hi; lag += 4) {
    const unsigned lanes = hi - lag < 4 ? hi - lag : 4;
    const unsigned n = N - lag;  // terms of the block's first lag, which has the most
    __m256i wide[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                       _mm256_setzero_si256()};
    __m256i narrow[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                         _mm256_setzero_si256()};
    unsigned k = 0;
    if (flushEvery == 8) {
      // The usual case, a frame below a third of full scale: eight steps without counting between flushes.
      for (; k + 8 * 16 <= n; k += 8 * 16) {
#pragma GCC unroll 8
        for (unsigned u = 0; u < 8; ++u) MaddStep(x + k + 16 * u, lag, narrow);
        FlushNarrow(narrow, wide);
      }
    }
    unsigned pending = 0;
    for (; k < n; k += 16) {
      MaddStep(x + k, lag, narrow);
      if (++pending == flushEvery) {
        FlushNarrow(narrow, wide);
        pending = 0;
      }
    }
    for (unsigned q = 0; q < lanes; ++q) {
      wide[q] = _mm256_add_epi64(wide[q], _mm256_cvtepi32_epi64(_mm256_castsi256_si128(narrow[q])));
      wide[q] = _mm256_add_epi64(wide[q], _mm256_cvtepi32_epi64(_mm256_extracti128_si256(narrow[q], 1)));
      alignas(32) int64_t parts[4];
      _mm256_store_si256(reinterpret_cast<__m256i*>(parts), wide[q]);
      sxy[lag - lo + q] = static_cast<double>(parts[0] + parts[1] + parts[2] + parts[3]);
    }
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

#endif

// The frame as 16-bit samples, when every value is a whole number within -32767 .. 32767 (a frame of
// 16-bit sound without -32768); the largest magnitude in `peak`.
bool ToInt16Portable(const double* x, unsigned N, int16_t* out, int& peak) {
  peak = 0;
  for (unsigned k = 0; k < N; ++k) {
    const double v = x[k];
    if (!(v >= -32767.0 && v <= 32767.0)) return false;
    const int i = static_cast<int>(v);
    if (i != v) return false;
    out[k] = static_cast<int16_t>(i);
    peak = std::max(peak, i < 0 ? -i : i);
  }
  return true;
}

#ifdef VOWELSCOPE_AVX2_PATH
// The same four samples at a time: a value is taken when it lies in the range and truncating it to an
// integer gives it back, as above.
__attribute__((target("avx2"))) bool ToInt16Avx2(const double* x, unsigned N, int16_t* out, int& peak) {
  const __m256d lowest = _mm256_set1_pd(-32767.0);
  const __m256d highest = _mm256_set1_pd(32767.0);
  __m128i peaks = _mm_setzero_si128();
  unsigned k = 0;
  for (; k + 4 <= N; k += 4) {
    const __m256d v = _mm256_loadu_pd(x + k);
    const __m128i whole = _mm256_cvttpd_epi32(v);
    const __m256d taken = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(v, lowest, _CMP_GE_OQ), _mm256_cmp_pd(v, highest, _CMP_LE_OQ)),
        _mm256_cmp_pd(_mm256_cvtepi32_pd(whole), v, _CMP_EQ_OQ));
    if (_mm256_movemask_pd(taken) != 0xF) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(whole, whole));
    peaks = _mm_max_epi32(peaks, _mm_abs_epi32(whole));
  }
  alignas(16) int32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), peaks);
  int rest = 0;
  if (!ToInt16Portable(x + k, N - k, out + k, rest)) return false;
  peak = std::max({lanes[0], lanes[1], lanes[2], lanes[3], rest});
  return true;
}
#endif

bool ToInt16(const double* x, unsigned N, int16_t* out, int& peak) {
#ifdef VOWELSCOPE_AVX2_PATH
  if (HasAvx2()) return ToInt16Avx2(x, N, out, peak);
#endif
  return ToInt16Portable(x, N, out, peak);
}

// samples16 is the frame as 16-bit samples followed by zeros, or null when it is none.
void LagSums(const double* x, unsigned N, unsigned lo, unsigned hi, const int16_t* samples16, int peak, double* sxy) {
#ifdef VOWELSCOPE_AVX2_PATH
  if (HasAvx2()) {
    if (samples16 != nullptr) {
      // As many multiply-adds in 32-bit lanes as cannot overflow: each adds at most 2 * peak^2.
      const int64_t pair = 2 * static_cast<int64_t>(peak) * peak;
      const int64_t fits = pair > 0 ? INT32_MAX / pair : 8;
      return LagSumsAvx2Int16(samples16, N, lo, hi, static_cast<unsigned>(std::clamp<int64_t>(fits, 1, 8)), sxy);
    }
    return LagSumsAvx2(x, N, lo, hi, sxy);
  }
#else
  (void)samples16;
  (void)peak;
#endif
  LagSumsPortable(x, N, lo, hi, sxy);
}

void Correlations(const LagScratch& s) {
#ifdef VOWELSCOPE_AVX2_PATH
  if (HasAvx2()) return CorrelationsAvx2(s);
#endif
  CorrelationsPortable(s);
}

}  // namespace

LagCorrelation::LagCorrelation(unsigned N, unsigned lagMin, unsigned lagMax)
    : N(N),
      lagMin(lagMin),
      count(lagMax - lagMin),
      prefix(N + 1),
      prefixSquares(N + 1),
      work(6 * count),
      samples16(N + kZeroTail, 0) {
  for (unsigned i = 0; i < count; ++i) work[i] = N - (lagMin + i);
}

double LagCorrelation::Compute(const double* x, double* correlation) {
  // With prefix sums the sums of x and x^2 over either side of any lag are one subtraction each.
  int peak = 0;
  const bool whole = ToInt16(x, N, samples16.data(), peak);
  prefix[0] = 0.0;
  prefixSquares[0] = 0.0;
  // Below 2^22 samples every sum of squares stays below 2^52, exact in doubles too.
  if (whole && N < (1u << 22)) {
    // Integer sums, equal to the sums of doubles below, without waiting on a floating-point add per
    // sample.
    int64_t sum = 0;
    int64_t squares = 0;
    for (unsigned k = 0; k < N; ++k) {
      const int32_t v = samples16[k];
      sum += v;
      squares += v * v;
      prefix[k + 1] = static_cast<double>(sum);
      prefixSquares[k + 1] = static_cast<double>(squares);
    }
  } else {
    for (unsigned k = 0; k < N; ++k) {
      prefix[k + 1] = prefix[k] + x[k];
      prefixSquares[k + 1] = prefixSquares[k] + x[k] * x[k];
    }
  }
  double* s = work.data() + count;
  LagScratch scratch{work.data(), s, s + count, s + 2 * count, s + 3 * count, s + 4 * count, correlation, count};
  for (unsigned j = 0; j < count; ++j) {
    const unsigned lag = lagMin + j;
    scratch.sx[j] = prefix[N - lag];
    scratch.sy[j] = prefix[N] - prefix[lag];
    scratch.sxx[j] = prefixSquares[N - lag];
    scratch.syy[j] = prefixSquares[N] - prefixSquares[lag];
  }
  LagSums(x, N, lagMin, lagMin + count, whole ? samples16.data() : nullptr, peak, scratch.sxy);
  Correlations(scratch);
  return prefixSquares[N];
}

}  // namespace vowelscope
