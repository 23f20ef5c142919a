#include "analysis/Pitchcandidates.h"

#include <algorithm>
#include <cmath>

namespace vowelscope {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kHalf = static_cast<int>(PitchCandidateFinder::kHalfWidth);
constexpr double kNetDepth = 0.4;        // peaks this far below the highest whole-lag value are not refined
constexpr double kRankPerOctave = 0.04;  // of two refined peaks, the shorter lag ranks this much higher
constexpr unsigned kMaxPeaks = 64;
constexpr double kBroadPeak = 0.1;       // second difference of a peak below which its whole lags place it       // peaks looked at, shortest lags first (a curve has one per period)

// Where the parabola through three whole lags peaks, relative to the middle one, within half a lag.
double ParabolaOffset(double left, double middle, double right) {
  const double curvature = left - 2.0 * middle + right;
  if (!(curvature < 0.0)) return 0.0;
  return std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
}

}  // namespace

PitchCandidateFinder::PitchCandidateFinder(unsigned curveFrom, unsigned curveCount, double shortest, double longest)
    : curveFrom(curveFrom),
      curveCount(curveCount),
      searchFrom(std::max(static_cast<unsigned>(std::floor(shortest)), curveFrom + 1)),
      searchTo(std::min(static_cast<unsigned>(std::ceil(longest)), curveFrom + curveCount - 2)),
      shortest(shortest),
      longest(std::max(shortest, longest)) {
  // Hann-windowed sinc: the tap at distance u weighs sin(pi u) / (pi u) * (1 + cos(pi u / kHalfWidth)) / 2,
  // normalised so that a flat curve stays flat.
  for (unsigned q = 1; q <= 3; ++q) {
    const double d = q * 0.25;
    double total = 0.0;
    for (int m = -kHalf + 1; m <= kHalf; ++m) {
      const double u = d - m;
      const double w = std::sin(kPi * u) / (kPi * u) * (0.5 + 0.5 * std::cos(kPi * u / kHalf));
      kernels[q - 1][m + kHalf - 1] = w;
      total += w;
    }
    for (double& w : kernels[q - 1]) w /= total;
  }
}

double PitchCandidateFinder::AtQuarter(const double* curve, unsigned index, unsigned quarter) const {
  if (quarter == 0) return curve[index];
  const double* r = curve + index - (kHalf - 1);
  const auto& k = kernels[quarter - 1];
  double sum = 0.0;
  for (unsigned t = 0; t < 2 * kHalfWidth; ++t) sum += k[t] * r[t];
  return sum;
}

double PitchCandidateFinder::Interpolate(const double* curve, unsigned lag, unsigned quarter) const {
  const unsigned index = lag - curveFrom;
  if (index + 1 < kHalfWidth || index + kHalfWidth >= curveCount) return curve[index];
  return AtQuarter(curve, index, quarter % 4);
}

PitchCandidate PitchCandidateFinder::Refine(const double* curve, unsigned index) const {
  const double* r = curve;
  // A broad peak (little curvature over its whole lags, as of a sine or a voice without strong upper
  // harmonics) is placed best by the parabola through its whole lags; the interpolation's own error, a
  // few parts in 10^5 of the curve, would move the vertex of so flat a peak by hundredths of a lag.
  const double step = ParabolaOffset(r[index - 1], r[index], r[index + 1]);
  double offset = step;
  double height = r[index] + 0.25 * (r[index + 1] - r[index - 1]) * step;
  const double bend = 2.0 * r[index] - r[index - 1] - r[index + 1];
  if (bend > kBroadPeak && index >= kHalfWidth && index + kHalfWidth + 1 < curveCount) {
    // Quarter lags from index - 1 to index + 1: v[k] at index - 1 + k / 4.
    double v[9];
    for (unsigned k = 0; k < 9; ++k) v[k] = AtQuarter(r, index - 1 + k / 4, k % 4);
    unsigned top = 4;
    for (unsigned k = 1; k < 8; ++k) {
      if (v[k] > v[top]) top = k;
    }
    const double quarter = ParabolaOffset(v[top - 1], v[top], v[top + 1]);
    offset = (static_cast<double>(top) - 4.0 + quarter) * 0.25;
    height = v[top] + 0.25 * (v[top + 1] - v[top - 1]) * quarter;
  }
  height = std::max(height, r[index]);
  return {curveFrom + index + offset, std::min(height, 1.0)};
}

unsigned PitchCandidateFinder::Find(const double* curve, double floor, Candidates& out) const {
  const double* r = curve;
  // Every peak that comes near the highest one is refined: the true period seen out of step can sit a
  // few hundredths below its own multiples, which line up better. Of the refined peaks the strongest
  // are kept, of near-equal ones the shorter lag.
  unsigned peaks[kMaxPeaks];
  unsigned peakCount = 0;
  double highest = floor;
  for (unsigned j = searchFrom - curveFrom, last = searchTo - curveFrom; j <= last; ++j) {
    if (r[j] >= floor && r[j] > r[j - 1] && r[j] >= r[j + 1]) {
      highest = std::max(highest, r[j]);
      if (peakCount < kMaxPeaks) peaks[peakCount++] = j;
    }
  }
  const double net = highest - kNetDepth;
  unsigned n = 0;
  double ranks[kMaxCandidates];
  for (unsigned p = 0; p < peakCount; ++p) {
    const unsigned j = peaks[p];
    if (r[j] < net) continue;
    const PitchCandidate c = Refine(r, j);
    if (c.lag < shortest || c.lag > longest) continue;  // a peak just outside the frequencies asked for
    const double rank = c.correlation - kRankPerOctave * std::log2(c.lag);
    unsigned k = n;
    if (n < kMaxCandidates) {
      ++n;
    } else if (rank <= ranks[n - 1]) {
      continue;
    } else {
      k = n - 1;
    }
    for (; k > 0 && rank > ranks[k - 1]; --k) {
      out[k] = out[k - 1];
      ranks[k] = ranks[k - 1];
    }
    out[k] = c;
    ranks[k] = rank;
  }
  return n;
}

}  // namespace vowelscope
