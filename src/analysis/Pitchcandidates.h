#pragma once
// The peaks of one frame's lag correlation curve, each refined between whole lags. A voice's period is
// rarely a whole number of samples: at 11025 Hz a 272 Hz voice repeats every 40.5 samples, and at lag 40
// or 41 its upper harmonics are half a sample out of step, which costs them most of their correlation,
// while twice the period (81 samples) lines up and looks better. Comparing peaks at their true lag and
// height removes that bias. The curve is band-limited like the sound it comes from, so its values
// between whole lags follow from the neighbouring whole lags by windowed-sinc interpolation; around each
// peak it is interpolated at quarter lags (fixed kernels), and a parabola through the highest quarter
// lag and its two neighbours gives the peak's lag and height. A parabola through the whole lags alone
// would misplace and underestimate exactly the narrow peaks of voices rich in upper harmonics. Peaks
// too near the ends of the curve for the interpolation keep the parabola through their whole lags.
// Runs on the worker thread of the F0 pass.

#include <array>

namespace vowelscope {

struct PitchCandidate {
  double lag = 0.0;          // samples, between whole lags
  double correlation = 0.0;  // interpolated height of the peak, at most 1
};

class PitchCandidateFinder {
 public:
  static constexpr unsigned kMaxCandidates = 6;
  static constexpr unsigned kHalfWidth = 6;  // whole lags on each side that the interpolation reads
  using Candidates = std::array<PitchCandidate, kMaxCandidates>;

  // The curve holds lags curveFrom .. curveFrom + curveCount - 1. Peaks are looked for at the whole lags
  // around [shortest, longest] (the periods of the frequencies asked for) inside the curve, and those
  // whose refined lag falls outside it are dropped.
  PitchCandidateFinder(unsigned curveFrom, unsigned curveCount, double shortest, double longest);

  // The strongest peaks of the searched lags that reach `floor`, refined, strongest first (with a small
  // premium per octave toward shorter lags); returns how many (none for a flat or falling curve, such as
  // silence).
  unsigned Find(const double* curve, double floor, Candidates& out) const;

  // The interpolated curve at a quarter lag (lag + quarter / 4, quarter 0 .. 3), exposed for tests;
  // at the whole lag where the curve does not reach far enough on either side.
  double Interpolate(const double* curve, unsigned lag, unsigned quarter) const;

 private:
  PitchCandidate Refine(const double* curve, unsigned index) const;
  double AtQuarter(const double* curve, unsigned index, unsigned quarter) const;

  unsigned curveFrom;
  unsigned curveCount;
  unsigned searchFrom;
  unsigned searchTo;
  double shortest;
  double longest;
  // Interpolation weights for the quarter lags 1 .. 3, over the whole lags -kHalfWidth + 1 .. kHalfWidth.
  std::array<std::array<double, 2 * kHalfWidth>, 3> kernels;
};

}  // namespace vowelscope
