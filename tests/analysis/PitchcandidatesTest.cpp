#include "analysis/Pitchcandidates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vowelscope {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The correlation curve of a voice whose period is `period` samples and whose first `harmonics`
// harmonics are equally strong (as where formants lift the upper ones), so the peaks are narrow, at
// every multiple of the period, each a little lower. Lags 1 .. 199.
double HarmonicCurveAt(double lag, double period, int harmonics) {
  double sum = 0.0;
  for (int h = 1; h <= harmonics; ++h) sum += std::cos(2.0 * kPi * h * lag / period);
  return sum / harmonics * std::pow(0.995, lag / period);
}

std::vector<double> HarmonicCurve(double period, int harmonics) {
  std::vector<double> curve(199);
  for (size_t i = 0; i < curve.size(); ++i) curve[i] = HarmonicCurveAt(i + 1.0, period, harmonics);
  return curve;
}

TEST(PitchCandidateFinder, APeriodHalfASampleOutOfStepIsFoundAtItsTrueLagAndHeight) {
  // 40.5 samples (272 Hz at 11025 Hz): at lags 40 and 41 the curve is far below its peak, while 81, twice
  // the period, lines up. Refined, the true period is the strongest candidate.
  auto curve = HarmonicCurve(40.5, 16);
  ASSERT_LT(std::max(curve[39], curve[40]) + 0.1, curve[80]) << "the whole lags alone favour the double";
  PitchCandidateFinder finder(1, 199, 11.025, 183.75);
  PitchCandidateFinder::Candidates found;
  const unsigned n = finder.Find(curve.data(), 0.2, found);
  ASSERT_GE(n, 2u);
  EXPECT_NEAR(found[0].lag, 40.5, 0.02);
  EXPECT_NEAR(found[0].correlation, 0.995, 0.01);
  EXPECT_NEAR(found[1].lag, 81.0, 0.02);
}

TEST(PitchCandidateFinder, QuarterLagsFollowTheCurveAndBroadPeaksKeepTheirParabola) {
  // A slow cosine (a sine's curve) peaking at 55.125: the whole-lag parabola places it to 0.01 of a lag.
  std::vector<double> curve(199);
  for (size_t i = 0; i < curve.size(); ++i) curve[i] = std::cos(2.0 * kPi * ((i + 1.0) - 55.125) / 55.125);
  PitchCandidateFinder finder(1, 199, 11.025, 183.75);
  PitchCandidateFinder::Candidates found;
  ASSERT_GE(finder.Find(curve.data(), 0.2, found), 1u);
  EXPECT_NEAR(found[0].lag, 55.125, 0.01);
  EXPECT_NEAR(found[0].correlation, 1.0, 1e-4);
  // A sharp curve between whole lags, within a few thousandths.
  auto sharp = HarmonicCurve(33.3, 10);
  for (unsigned lag : {30u, 33u, 64u}) {
    for (unsigned q = 1; q < 4; ++q) {
      EXPECT_NEAR(finder.Interpolate(sharp.data(), lag, q), HarmonicCurveAt(lag + q * 0.25, 33.3, 10), 0.005)
          << lag << " + " << q << "/4";
    }
  }
}

TEST(PitchCandidateFinder, NoPeaks_OrPeaksOutsideTheRange_GiveNoCandidate) {
  PitchCandidateFinder::Candidates found;
  std::vector<double> flat(199, 0.0);
  std::vector<double> falling(199);
  for (size_t i = 0; i < falling.size(); ++i) falling[i] = 1.0 - i * 0.01;
  PitchCandidateFinder wide(1, 199, 11.025, 183.75);
  EXPECT_EQ(wide.Find(flat.data(), 0.2, found), 0u) << "silence";
  EXPECT_EQ(wide.Find(falling.data(), 0.2, found), 0u) << "a curve without a peak";
  // Peaks at 40.5 and its multiples, searched only between 50 and 75 samples: none lies there.
  auto curve = HarmonicCurve(40.5, 16);
  PitchCandidateFinder narrow(1, 199, 50.0, 75.0);
  EXPECT_EQ(narrow.Find(curve.data(), 0.2, found), 0u);
  // Peaks below the floor are not candidates.
  EXPECT_EQ(wide.Find(curve.data(), 1.5, found), 0u);
}

}  // namespace
}  // namespace vowelscope
