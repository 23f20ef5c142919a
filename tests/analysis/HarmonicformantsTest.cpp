#include "analysis/Harmonicformants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Voices.h"
#include "analysis/Windowfunction.h"

namespace vowelscope {
namespace {

constexpr unsigned kBlock = 275;

// The pitch of each block follows the voice when it jumps by an octave either way at once, from one block
// to the next: the search near the last period must not hold on to the old one.
TEST(HarmonicFormants, PitchFollowsAnOctaveJumpAtOnce) {
  struct {
    double before, after;
  } jumps[] = {{150.0, 300.0}, {300.0, 150.0}, {120.0, 240.0}, {230.0, 115.0}};
  for (const auto& jump : jumps) {
    std::vector<int16_t> samples;
    std::vector<double> truth;
    for (const double f0 : {jump.before, jump.after}) {
      voices::VoiceRecipe recipe;
      recipe.seconds = (20 * kBlock + 0.5) / voices::kRate;  // the jump falls on a block boundary
      recipe.f0Start = recipe.f0End = f0;
      recipe.formants = voices::VowelResonances(voices::Speaker::Woman, 850, 1400);
      const auto voice = voices::Synthesize(recipe);
      samples.insert(samples.end(), voice.samples.begin(), voice.samples.end());
      truth.insert(truth.end(), voice.f0.begin(), voice.f0.end());
    }
    HarmonicFormants analysis;
    ASSERT_TRUE(analysis.Prepare(kBlock));
    int wrong = 0;
    std::vector<double> frame(kBlock);
    double f[4], b[4];
    for (size_t from = kBlock; from + kBlock <= samples.size(); from += kBlock) {
      for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
      analysis.Analyze(frame.data(), 11025.0, 0.98, 500.0, f, b, 4);
      const double expected = truth[from + kBlock / 2];
      wrong += !(std::fabs(analysis.LastPitch() / expected - 1.0) < 0.03);
    }
    EXPECT_EQ(wrong, 0) << jump.before << " -> " << jump.after << " Hz: blocks more than 3 % off the pitch";
  }
}

}  // namespace
}  // namespace vowelscope
