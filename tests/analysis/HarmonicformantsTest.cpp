#include "analysis/Harmonicformants.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Median F1 and F2 of a second of voice, block by block as the recording runs it (pre-emphasis 0.98).
struct Medians {
  double f1, f2;
};
Medians MedianFormants(const std::vector<int16_t>& samples, bool followTilt) {
  HarmonicFormants analysis;
  EXPECT_TRUE(analysis.Prepare(kBlock));
  analysis.SetFollowTilt(followTilt);
  std::vector<double> f1s, f2s, frame(kBlock);
  for (size_t from = kBlock; from + kBlock <= samples.size(); from += kBlock) {
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
    double f[8], b[8];
    analysis.Analyze(frame.data(), 11025.0, 0.98, 500.0, f, b, 8);
    f1s.push_back(f[0]);
    f2s.push_back(f[1]);
  }
  std::nth_element(f1s.begin(), f1s.begin() + f1s.size() / 2, f1s.end());
  std::nth_element(f2s.begin(), f2s.begin() + f2s.size() / 2, f2s.end());
  return {f1s[f1s.size() / 2], f2s[f2s.size() / 2]};
}

// A man's five vowels recorded darker or brighter by 6 dB per octave read as the usual voice does: the low
// path follows the recording's slope (with the lift fixed, a brighter man's low F1 read 16 % high on
// average). At the usual slope the lift stays what it was.
TEST(HarmonicFormants, AMansVowelsAreRightAtAnySpectralSlope) {
  struct {
    double tilt, f1Mean, f1Worst, f2Mean, f2Worst;  // per cent
  } cases[] = {{-6.0, 4.0, 8.0, 1.5, 4.0}, {0.0, 4.0, 8.0, 1.5, 4.0}, {6.0, 4.0, 8.0, 1.5, 4.0}};
  for (const auto& c : cases) {
    double f1Sum = 0.0, f2Sum = 0.0;
    unsigned seed = 3;
    const auto vowels = voices::JapaneseVowels(voices::Speaker::Man);
    for (const auto& vowel : vowels) {
      voices::VoiceRecipe recipe;
      recipe.f0Start = recipe.f0End = voices::TypicalF0(voices::Speaker::Man);
      recipe.formants = voices::VowelResonances(voices::Speaker::Man, vowel.f1, vowel.f2);
      recipe.tilt = c.tilt;
      recipe.seed = seed++;
      const auto samples = voices::Synthesize(recipe).samples;
      const Medians m = MedianFormants(samples, true);
      const double f1Error = 100.0 * std::fabs(m.f1 / vowel.f1 - 1.0);
      const double f2Error = 100.0 * std::fabs(m.f2 / vowel.f2 - 1.0);
      EXPECT_LE(f1Error, c.f1Worst) << c.tilt << " dB/octave /" << vowel.name << "/ F1 error in per cent";
      EXPECT_LE(f2Error, c.f2Worst) << c.tilt << " dB/octave /" << vowel.name << "/ F2 error in per cent";
      f1Sum += f1Error;
      f2Sum += f2Error;
      if (c.tilt == 0.0) {
        const Medians fixedLift = MedianFormants(samples, false);
        EXPECT_NEAR(m.f1, fixedLift.f1, 0.005 * fixedLift.f1) << "/" << vowel.name << "/ F1 Hz at the usual slope";
        EXPECT_NEAR(m.f2, fixedLift.f2, 0.005 * fixedLift.f2) << "/" << vowel.name << "/ F2 Hz at the usual slope";
      }
    }
    EXPECT_LE(f1Sum / vowels.size(), c.f1Mean) << c.tilt << " dB/octave: mean F1 error in per cent";
    EXPECT_LE(f2Sum / vowels.size(), c.f2Mean) << c.tilt << " dB/octave: mean F2 error in per cent";
  }
}

}  // namespace
}  // namespace vowelscope
