#include "analysis/Fzero.h"

#include <cmath>
#include <new>

#include "analysis/Mathutilities.h"
#include "analysis/Soundstreamwindowing.h"
#include "sound/Soundstream.h"

namespace vowelscope {

namespace {

constexpr double kHighFrequencyBias = 0.00008;  // score added per Hz of the candidate

// Sum of a[k] * b[k] with eight independent partial sums, so the additions overlap in the pipeline.
// The order differs from a left-to-right sum, which is harmless here: the frames of 16-bit sound hold
// integers whose products and sums stay exact in double.
double UnrolledDot(const double* a, const double* b, unsigned n) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0;
  unsigned k = 0;
  for (; k + 8 <= n; k += 8) {
    s0 += a[k] * b[k];
    s1 += a[k + 1] * b[k + 1];
    s2 += a[k + 2] * b[k + 2];
    s3 += a[k + 3] * b[k + 3];
    s4 += a[k + 4] * b[k + 4];
    s5 += a[k + 5] * b[k + 5];
    s6 += a[k + 6] * b[k + 6];
    s7 += a[k + 7] * b[k + 7];
  }
  for (; k < n; ++k) s0 += a[k] * b[k];
  return ((s0 + s1) + (s2 + s3)) + ((s4 + s5) + (s6 + s7));
}

// Pearson correlation of n pairs from their sums; 0 when either side is constant.
double CorrelationFromSums(double n, double sx, double sy, double sxx, double syy, double sxy) {
  double mx = sx / n;
  double my = sy / n;
  double vx = (sxx - n * mx * mx) / (n - 1.0);
  double vy = (syy - n * my * my) / (n - 1.0);
  double dx = vx > 0.0 ? std::sqrt(vx) : 0.0;
  double dy = vy > 0.0 ? std::sqrt(vy) : 0.0;
  if (dx * dy == 0.0) return 0.0;
  return (sxy - n * mx * my) / ((n - 1.0) * dx * dy);
}

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
  if (lagMin == 0) lagMin = 1;  // a lag of 0 compares the frame with itself
  if (lagMin >= lagMax) return nullptr;
  const unsigned N = 2 * lagMax;

  SoundStreamWindowing windowing(source);
  windowing.SetShift(hop);
  windowing.SetWindowLength(N);
  windowing.SetWindowType(0);
  unsigned frames = 0;
  if (!windowing.Begin(start, count, frames) || frames == 0) return nullptr;

  std::unique_ptr<FZeroResult> result;
  std::vector<double> sums, squares;
  try {
    result = std::make_unique<FZeroResult>(frameShift, frames);
    sums.resize(N + 1);
    squares.resize(N + 1);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }

  const double rate = fs;
  ProgressCallbackParams report;
  report.minimum = 0;
  report.maximum = static_cast<int32_t>(frames);
  for (unsigned i = 0; i < frames; ++i) {
    report.position = static_cast<int32_t>(i);
    progress.Notify(report);

    const double* x = nullptr;
    if (!windowing.Next(x)) return nullptr;

    // Prefix sums: the sums of x and x^2 over any stretch of the frame are one subtraction each.
    sums[0] = 0.0;
    squares[0] = 0.0;
    for (unsigned k = 0; k < N; ++k) {
      sums[k + 1] = sums[k] + x[k];
      squares[k + 1] = squares[k] + x[k] * x[k];
    }
    const double energy = squares[N];
    const double power = energy > 0.0 ? 10.0 * std::log10(energy / N) : 0.0;

    double best = -10.0;
    double frequency = 0.0;
    for (unsigned lag = lagMin; lag < lagMax; ++lag) {
      const unsigned n = N - lag;
      double r = CorrelationFromSums(n, sums[n], sums[N] - sums[lag], squares[n], squares[N] - squares[lag],
                                     UnrolledDot(x, x + lag, n));
      double f = rate / lag;
      double w = f * kHighFrequencyBias + r;
      if (w > best) {  // strictly: of equal scores the shortest lag wins
        best = w;
        frequency = f;
      }
    }
    result->values[i] = {static_cast<float>(frequency), static_cast<float>(best), static_cast<float>(power)};
  }

  report.position = static_cast<int32_t>(frames);
  progress.Notify(report);
  windowing.End();
  return result;
}

}  // namespace vowelscope
