#include "analysis/Pitchpath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vowelscope {
namespace {

// Frames of candidates given as (lag, correlation) pairs, strongest first; the path's choice per frame.
std::vector<double> ChosenLags(const std::vector<std::vector<PitchCandidate>>& frames, double seconds = 0.01) {
  PitchPath path(11025.0, seconds);
  for (const auto& f : frames) path.Add(f.data(), static_cast<unsigned>(f.size()));
  std::vector<PitchCandidate> chosen;
  path.Finish(chosen);
  std::vector<double> lags;
  for (const auto& c : chosen) lags.push_back(c.lag);
  EXPECT_EQ(path.Frames(), 0u) << "a finished run is empty";
  return lags;
}

TEST(PitchPath, ALoneSubharmonicThatScoresABitHigherDoesNotBreakTheTrack) {
  // 250 Hz (44.1 samples) throughout; in frames 3 and 4 its double scores 0.03 higher.
  std::vector<std::vector<PitchCandidate>> frames(8, {{44.1, 0.95}, {88.2, 0.93}});
  frames[3] = {{88.2, 0.98}, {44.1, 0.95}};
  frames[4] = {{88.2, 0.97}, {44.1, 0.94}};
  for (double lag : ChosenLags(frames)) EXPECT_NEAR(lag, 44.1, 1e-9);
}

TEST(PitchPath, OfTwoNearEqualCandidatesTheHigherFrequencyWins_ButAClearlyBetterLowerOneStays) {
  EXPECT_NEAR(ChosenLags({{{80.0, 0.96}, {40.0, 0.94}}})[0], 40.0, 1e-9) << "an octave premium of 0.04";
  EXPECT_NEAR(ChosenLags({{{80.0, 0.96}, {40.0, 0.70}}})[0], 80.0, 1e-9) << "the half period barely correlates";
}

TEST(PitchPath, GlidesAndRealOctaveChangesAreFollowed) {
  // A glide of an octave over 40 frames (30 cents a frame), each frame also offering the double.
  std::vector<std::vector<PitchCandidate>> glide;
  for (int i = 0; i < 40; ++i) {
    const double lag = 60.0 * std::pow(2.0, -i / 40.0);
    glide.push_back({{2.0 * lag, 0.96}, {lag, 0.95}});
  }
  auto lags = ChosenLags(glide);
  for (int i = 0; i < 40; ++i) EXPECT_NEAR(lags[i], 60.0 * std::pow(2.0, -i / 40.0), 1e-9) << i;
  // A held jump: ten frames at 100 samples, then ten at 50 with no candidate near 100.
  std::vector<std::vector<PitchCandidate>> jump(10, {{100.0, 0.95}});
  jump.resize(20, {{50.0, 0.95}, {150.0, 0.5}});
  lags = ChosenLags(jump);
  EXPECT_NEAR(lags[9], 100.0, 1e-9);
  EXPECT_NEAR(lags[10], 50.0, 1e-9);
}

}  // namespace
}  // namespace vowelscope
