#include "analysis/Fzero.h"

#include <cmath>
#include <new>

#include "analysis/Mathutilities.h"
#include "analysis/Soundstreamwindowing.h"
#include "sound/Soundstream.h"

// VOWELSCOPE_PORTABLE_ONLY builds without the AVX2 path (the tests check both paths).
#if !defined(VOWELSCOPE_PORTABLE_ONLY) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VOWELSCOPE_AVX2_PATH 1
#endif

namespace vowelscope {

namespace {

constexpr double kHighFrequencyBias = 0.00008;  // score added per Hz of the candidate

// Everything here is exact for 16-bit frames: the samples are integers, every product and every sum of
// up to 366 of them is an integer below 2^53, so the order of the additions does not matter and the
// lag sums below equal the one-pass sums of the definition bit for bit. The division, square root and
// comparison steps are done in the order of the definition (and are correctly rounded in the vector
// units too), so the scores are identical as well.

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

// The per-lag sums the correlation needs, in arrays indexed by lag - lagMin, and the scores.
struct LagScratch {
  const double* n;        // N - lag
  const double* nMinus1;  // N - lag - 1
  const double* bias;     // frequency * 0.00008
  double* sx;
  double* sy;
  double* sxx;
  double* syy;
  double* sxy;
  double* score;
  unsigned count;
};

// Pearson correlation plus the frequency bias, lag by lag; 0 correlation when either side is constant.
void ScoresPortable(const LagScratch& s) {
  for (unsigned i = 0; i < s.count; ++i) {
    const double n = s.n[i];
    const double mx = s.sx[i] / n;
    const double my = s.sy[i] / n;
    const double vx = (s.sxx[i] - n * mx * mx) / s.nMinus1[i];
    const double vy = (s.syy[i] - n * my * my) / s.nMinus1[i];
    const double dx = vx > 0.0 ? std::sqrt(vx) : 0.0;
    const double dy = vy > 0.0 ? std::sqrt(vy) : 0.0;
    const double r = dx * dy == 0.0 ? 0.0 : (s.sxy[i] - n * mx * my) / (s.nMinus1[i] * dx * dy);
    s.score[i] = s.bias[i] + r;
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
__attribute__((target("avx2"))) void ScoresAvx2(const LagScratch& s) {
  const __m256d zero = _mm256_setzero_pd();
  unsigned i = 0;
  for (; i + 4 <= s.count; i += 4) {
    const __m256d n = _mm256_loadu_pd(s.n + i);
    const __m256d nMinus1 = _mm256_loadu_pd(s.nMinus1 + i);
    const __m256d mx = _mm256_div_pd(_mm256_loadu_pd(s.sx + i), n);
    const __m256d my = _mm256_div_pd(_mm256_loadu_pd(s.sy + i), n);
    const __m256d vx =
        _mm256_div_pd(_mm256_sub_pd(_mm256_loadu_pd(s.sxx + i), _mm256_mul_pd(_mm256_mul_pd(n, mx), mx)), nMinus1);
    const __m256d vy =
        _mm256_div_pd(_mm256_sub_pd(_mm256_loadu_pd(s.syy + i), _mm256_mul_pd(_mm256_mul_pd(n, my), my)), nMinus1);
    // max(v, 0) is v when v > 0 and 0 otherwise (also for NaN), as the definition's test.
    const __m256d dx = _mm256_sqrt_pd(_mm256_max_pd(vx, zero));
    const __m256d dy = _mm256_sqrt_pd(_mm256_max_pd(vy, zero));
    const __m256d covariance = _mm256_sub_pd(_mm256_loadu_pd(s.sxy + i), _mm256_mul_pd(_mm256_mul_pd(n, mx), my));
    const __m256d q = _mm256_div_pd(covariance, _mm256_mul_pd(_mm256_mul_pd(nMinus1, dx), dy));
    const __m256d constant = _mm256_cmp_pd(_mm256_mul_pd(dx, dy), zero, _CMP_EQ_OQ);
    const __m256d r = _mm256_blendv_pd(q, zero, constant);
    _mm256_storeu_pd(s.score + i, _mm256_add_pd(_mm256_loadu_pd(s.bias + i), r));
  }
  LagScratch rest = s;
  rest.n += i;
  rest.nMinus1 += i;
  rest.bias += i;
  rest.sx += i;
  rest.sy += i;
  rest.sxx += i;
  rest.syy += i;
  rest.sxy += i;
  rest.score += i;
  rest.count -= i;
  ScoresPortable(rest);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

#endif

void LagSums(const double* x, unsigned N, unsigned lo, unsigned hi, double* sxy) {
#ifdef VOWELSCOPE_AVX2_PATH
  if (HasAvx2()) return LagSumsAvx2(x, N, lo, hi, sxy);
#endif
  LagSumsPortable(x, N, lo, hi, sxy);
}

void Scores(const LagScratch& s) {
#ifdef VOWELSCOPE_AVX2_PATH
  if (HasAvx2()) return ScoresAvx2(s);
#endif
  ScoresPortable(s);
}

// Work arrays of one Analyze call: per-lag constants and per-frame sums.
struct FrameWork {
  FrameWork(unsigned N, unsigned lagMin, unsigned lagMax, double rate)
      : count(lagMax - lagMin), prefix(N + 1), prefixSquares(N + 1), constants(4 * count), sums(6 * count) {
    for (unsigned i = 0; i < count; ++i) {
      const unsigned lag = lagMin + i;
      n()[i] = N - lag;
      nMinus1()[i] = N - lag - 1.0;
      frequency()[i] = rate / lag;
      bias()[i] = frequency()[i] * kHighFrequencyBias;
    }
  }

  double* n() { return constants.data(); }
  double* nMinus1() { return constants.data() + count; }
  double* frequency() { return constants.data() + 2 * count; }
  double* bias() { return constants.data() + 3 * count; }

  LagScratch Scratch() {
    double* s = sums.data();
    return {n(), nMinus1(), bias(), s, s + count, s + 2 * count, s + 3 * count, s + 4 * count, s + 5 * count, count};
  }

  unsigned count;
  std::vector<double> prefix;         // prefix[k] = x[0] + ... + x[k - 1]
  std::vector<double> prefixSquares;  // the same for x^2
  std::vector<double> constants;
  std::vector<double> sums;
};

}  // namespace

std::unique_ptr<FZeroResult> FZeroAnalyzer::Analyze(SoundStream& source, unsigned start, unsigned count) {
  if (minFrequency <= 0 || maxFrequency <= 0 || maxFrequency < minFrequency) return nullptr;

  const SoundFormat& format = source.GetFormat();
  const unsigned fs = format.GetSampleRate();
  const unsigned hop = SecondsToFramesClamped(format, frameShift);
  if (hop == 0) return nullptr;
  unsigned lagMin = fs / static_cast<unsigned>(maxFrequency);
  const unsigned lagMax = fs / static_cast<unsigned>(minFrequency);
  if (lagMax > 0x3fffffffu) return nullptr;  // the frame of 2 * lagMax samples must stay countable
  if (lagMin == 0) lagMin = 1;               // a lag of 0 compares the frame with itself
  if (lagMin >= lagMax) return nullptr;
  const unsigned N = 2 * lagMax;

  SoundStreamWindowing windowing(source);
  windowing.SetShift(hop);
  windowing.SetWindowLength(N);
  windowing.SetWindowType(0);
  unsigned frames = 0;
  if (!windowing.Begin(start, count, frames) || frames == 0) return nullptr;

  std::unique_ptr<FZeroResult> result;
  std::unique_ptr<FrameWork> work;
  try {
    result = std::make_unique<FZeroResult>(frameShift, frames);
    work = std::make_unique<FrameWork>(N, lagMin, lagMax, static_cast<double>(fs));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  LagScratch scratch = work->Scratch();
  double* prefix = work->prefix.data();
  double* prefixSquares = work->prefixSquares.data();
  const double* frequency = work->frequency();

  ProgressCallbackParams report;
  report.minimum = 0;
  report.maximum = static_cast<int32_t>(frames);
  for (unsigned i = 0; i < frames; ++i) {
    report.position = static_cast<int32_t>(i);
    progress.Notify(report);

    const double* x = nullptr;
    if (!windowing.Next(x)) return nullptr;

    // With prefix sums the sums of x and x^2 over either side of any lag are one subtraction each.
    prefix[0] = 0.0;
    prefixSquares[0] = 0.0;
    for (unsigned k = 0; k < N; ++k) {
      prefix[k + 1] = prefix[k] + x[k];
      prefixSquares[k + 1] = prefixSquares[k] + x[k] * x[k];
    }
    const double energy = prefixSquares[N];
    const double power = energy > 0.0 ? 10.0 * std::log10(energy / N) : 0.0;

    for (unsigned j = 0; j < scratch.count; ++j) {
      const unsigned lag = lagMin + j;
      scratch.sx[j] = prefix[N - lag];
      scratch.sy[j] = prefix[N] - prefix[lag];
      scratch.sxx[j] = prefixSquares[N - lag];
      scratch.syy[j] = prefixSquares[N] - prefixSquares[lag];
    }
    LagSums(x, N, lagMin, lagMax, scratch.sxy);
    Scores(scratch);

    // Strictly greater: of equal scores the shortest lag (the highest frequency) wins.
    double best = -10.0;
    double f0 = 0.0;
    for (unsigned j = 0; j < scratch.count; ++j) {
      if (scratch.score[j] > best) {
        best = scratch.score[j];
        f0 = frequency[j];
      }
    }
    result->values[i] = {static_cast<float>(f0), static_cast<float>(best), static_cast<float>(power)};
  }

  report.position = static_cast<int32_t>(frames);
  progress.Notify(report);
  windowing.End();
  return result;
}

}  // namespace vowelscope
