#include "analysis/Formantanalyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/Windowfunction.h"
#include "Formanttrack.h"
#include "Signals.h"
#include "Voices.h"

namespace vowelscope {
namespace {

using testsignals::Formant;

constexpr unsigned kBlock = 275;

// The analyzer as the live path configures it: 11025 Hz, order 16, 500 Hz, 0.98.
class FormantAnalyzerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    analyzer.SetSampleRate(11025);
    analyzer.SetOrder(16);
    analyzer.SetMaxBandwidth(500.0);
    analyzer.SetPreEmphasis(0.98);
    ASSERT_TRUE(analyzer.Prepare(kBlock));
  }

  // Hann-weighted block of samples starting at `from`.
  static std::vector<double> Block(const std::vector<int16_t>& samples, unsigned from) {
    std::vector<double> frame(kBlock);
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
    return frame;
  }

  FormantAnalyzer analyzer;
  double power = 0.0;
  double frequencies[8] = {};
  double bandwidths[8] = {};
};

TEST_F(FormantAnalyzerTest, SyntheticVowelsGiveTheirResonancesAsF1AndF2) {
  struct {
    const char* name;
    Formant f1, f2;
  } vowels[] = {
      {"a", {700, 80}, {1200, 100}},
      {"i", {300, 60}, {2300, 120}},
      {"u", {350, 60}, {900, 90}},
  };
  for (const auto& v : vowels) {
    auto samples = testsignals::Vowel(120.0, {v.f1, v.f2}, 11025);
    for (unsigned from : {2750u, 5500u, 8250u}) {
      auto frame = Block(samples, from);
      ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
      EXPECT_NEAR(frequencies[0], v.f1.frequency, 0.05 * v.f1.frequency) << v.name << " F1 Hz at " << from;
      EXPECT_NEAR(frequencies[1], v.f2.frequency, 0.05 * v.f2.frequency) << v.name << " F2 Hz at " << from;
      EXPECT_GT(power, 40.0) << v.name;
      EXPECT_LT(power, 90.3) << v.name;
    }
  }
}

TEST_F(FormantAnalyzerTest, PowerIsTheMeanSquareOfThePreEmphasisedFrameInDecibels) {
  // A constant frame of 100: after pre-emphasis the first sample stays 100, the rest are 2.
  std::vector<double> frame(kBlock, 100.0);
  ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
  const double meanSquare = (100.0 * 100.0 + 274 * 2.0 * 2.0) / kBlock;
  EXPECT_NEAR(power, 10.0 * std::log10(meanSquare), 1e-9);
}

TEST_F(FormantAnalyzerTest, SilenceGivesPowerZeroAndNoFormants) {
  std::vector<double> frame(kBlock, 0.0);
  frequencies[0] = frequencies[1] = bandwidths[0] = 99.0;
  ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
  EXPECT_EQ(power, 0.0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(frequencies[i], 0.0) << i;
    EXPECT_EQ(bandwidths[i], 0.0) << i;
  }
}

TEST_F(FormantAnalyzerTest, TheBandwidthLimitIsStrict_AndMissingFormantsAreZero) {
  // One vowel, analysed with limits just around the bandwidth its F1 came out with.
  auto samples = testsignals::Vowel(120.0, {{700, 80}, {1200, 100}}, 11025);
  auto frame = Block(samples, 5500);
  ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
  const double f1 = frequencies[0], b1 = bandwidths[0];
  ASSERT_GT(b1, 1.0);

  analyzer.SetMaxBandwidth(b1);
  ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
  EXPECT_NE(frequencies[0], f1) << "a bandwidth equal to the limit is not a formant";

  analyzer.SetMaxBandwidth(std::nextafter(b1, 1e9));
  ASSERT_TRUE(analyzer.Analyze(frame.data(), power, frequencies, bandwidths));
  EXPECT_EQ(frequencies[0], f1);
  EXPECT_EQ(bandwidths[0], b1);
  EXPECT_EQ(frequencies[1], 0.0) << "F2 is wider than the limit: only one formant qualifies";
  EXPECT_EQ(bandwidths[1], 0.0);
}

TEST(FormantAnalyzer, UnpreparedOrChangedOrderReportsNothing) {
  FormantAnalyzer analyzer;
  std::vector<double> frame(kBlock, 1000.0);
  double power = 5.0, f[8], b[8];
  std::fill(f, f + 8, 7.0);
  EXPECT_FALSE(analyzer.Analyze(frame.data(), power, f, b));
  EXPECT_EQ(power, 0.0);
  EXPECT_EQ(f[0], 0.0);

  ASSERT_TRUE(analyzer.Prepare(kBlock));
  analyzer.SetOrder(18);  // the arrays are sized for 16
  EXPECT_FALSE(analyzer.Analyze(frame.data(), power, f, b));
  analyzer.SetOrder(16);
  EXPECT_TRUE(analyzer.Analyze(frame.data(), power, f, b));
  analyzer.Release();
  EXPECT_FALSE(analyzer.Analyze(frame.data(), power, f, b));

  analyzer.SetOrder(-1);
  EXPECT_FALSE(analyzer.Prepare(kBlock));
}

TEST(FormantAnalyzer, OrderZeroReportsPowerOnly) {
  FormantAnalyzer analyzer;
  analyzer.SetSampleRate(11025);
  analyzer.SetOrder(0);
  ASSERT_TRUE(analyzer.Prepare(kBlock));
  std::vector<double> frame(kBlock, 0.0);
  frame[10] = 1000.0;
  double power = 0.0, f[2] = {9, 9}, b[2] = {9, 9};
  EXPECT_TRUE(analyzer.Analyze(frame.data(), power, f, b));
  EXPECT_GT(power, 0.0);
  EXPECT_EQ(f[0], 9.0) << "an order of 0 has no output entries";
}

}  // namespace
}  // namespace vowelscope

namespace vowelscope {
namespace {

// The automatic analysis as the Engine runs it by default, on the five Japanese vowels of men, women and
// children: the median over a second of 25 ms blocks, against the resonators the voice went through.
TEST(FormantAnalyzerAuto, VowelsOfMenWomenAndChildrenWithinTheirTolerances) {
  FormantAnalyzer analyzer;
  ASSERT_TRUE(formanttest::PrepareAsRecording(analyzer));
  double f1Sum = 0.0, f2Sum = 0.0;
  int vowels = 0;
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    for (const auto& vowel : voices::JapaneseVowels(speaker)) {
      voices::VoiceRecipe recipe;
      recipe.f0Start = recipe.f0End = voices::TypicalF0(speaker);
      recipe.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
      recipe.seed = 3 + vowels;
      const auto voice = voices::Synthesize(recipe);
      std::vector<double> f1s, f2s;
      for (unsigned from = kBlock; from + 2 * kBlock <= voice.samples.size(); from += kBlock) {
        std::vector<double> frame(kBlock);
        for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * voice.samples[from + i];
        double power = 0.0, f[8], b[8];
        ASSERT_TRUE(analyzer.Analyze(frame.data(), power, f, b));
        f1s.push_back(f[0]);
        f2s.push_back(f[1]);
      }
      std::nth_element(f1s.begin(), f1s.begin() + f1s.size() / 2, f1s.end());
      std::nth_element(f2s.begin(), f2s.begin() + f2s.size() / 2, f2s.end());
      const double f1Error = 100.0 * std::fabs(f1s[f1s.size() / 2] / vowel.f1 - 1.0);
      const double f2Error = 100.0 * std::fabs(f2s[f2s.size() / 2] / vowel.f2 - 1.0);
      EXPECT_LE(f1Error, 10.0) << voices::SpeakerName(speaker) << " /" << vowel.name << "/ F1 error in per cent";
      EXPECT_LE(f2Error, 4.0) << voices::SpeakerName(speaker) << " /" << vowel.name << "/ F2 error in per cent";
      f1Sum += f1Error;
      f2Sum += f2Error;
      ++vowels;
    }
  }
  EXPECT_LE(f1Sum / vowels, 4.0) << "mean F1 error in per cent";
  EXPECT_LE(f2Sum / vowels, 1.5) << "mean F2 error in per cent";
}

// A 2-second /a/ -> /i/ glide of each speaker, the pitch rising by 10 %: the track follows the resonators
// block by block and does not jump between analyses (a jump: F1 or F2 more than 15 % from the last block).
TEST(FormantAnalyzerAuto, AVowelGlideIsFollowedWithoutJumps) {
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    FormantAnalyzer analyzer;
    analyzer.SetSampleRate(11025);
    analyzer.SetOrder(16);
    analyzer.SetMaxBandwidth(500.0);
    analyzer.SetAutoOrder(true);
    ASSERT_TRUE(analyzer.Prepare(kBlock));
    const auto vowels = voices::JapaneseVowels(speaker);
    voices::VoiceRecipe recipe = voices::VowelGlide(speaker, vowels[0], vowels[1], 2.0);
    recipe.seed = 5;
    const auto voice = voices::Synthesize(recipe);
    int jumps = 0;
    double last1 = 0.0, last2 = 0.0;
    for (unsigned from = kBlock; from + kBlock <= voice.samples.size(); from += kBlock) {
      std::vector<double> frame(kBlock);
      for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * voice.samples[from + i];
      double power = 0.0, f[8], b[8];
      ASSERT_TRUE(analyzer.Analyze(frame.data(), power, f, b));
      const double centre = from + kBlock / 2.0;
      EXPECT_NEAR(f[0], voice.F1At(centre), 0.12 * voice.F1At(centre))
          << voices::SpeakerName(speaker) << " F1 Hz (12 %) at " << from;
      EXPECT_NEAR(f[1], voice.F2At(centre), 0.05 * voice.F2At(centre))
          << voices::SpeakerName(speaker) << " F2 Hz (5 %) at " << from;
      if (last1 > 0.0) jumps += std::fabs(f[0] / last1 - 1.0) > 0.15 || std::fabs(f[1] / last2 - 1.0) > 0.15;
      last1 = f[0];
      last2 = f[1];
    }
    EXPECT_LE(jumps, 1) << voices::SpeakerName(speaker) << ": blocks where F1 or F2 moved by more than 15 %";
  }
}

// With the automatic order off nothing changes: the same analyzer without the flag gives the same bits.
TEST(FormantAnalyzerAuto, OffIsTheFixedOrderAnalysisBitForBit) {
  FormantAnalyzer fixed, switchedOff;
  for (FormantAnalyzer* a : {&fixed, &switchedOff}) {
    a->SetSampleRate(11025);
    a->SetOrder(16);
    a->SetMaxBandwidth(500.0);
  }
  switchedOff.SetAutoOrder(true);
  switchedOff.SetAutoOrder(false);
  ASSERT_TRUE(fixed.Prepare(kBlock));
  ASSERT_TRUE(switchedOff.Prepare(kBlock));
  voices::VoiceRecipe recipe;
  recipe.f0Start = 290.0;
  recipe.f0End = 200.0;
  recipe.formants = voices::VowelResonances(voices::Speaker::Child, 990, 1584);
  const auto voice = voices::Synthesize(recipe);
  for (unsigned from = 0; from + kBlock <= voice.samples.size(); from += kBlock) {
    std::vector<double> frame(kBlock);
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * voice.samples[from + i];
    double p1 = 0, p2 = 0, f1[8], b1[8], f2[8], b2[8];
    fixed.Analyze(frame.data(), p1, f1, b1);
    switchedOff.Analyze(frame.data(), p2, f2, b2);
    EXPECT_EQ(p1, p2);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f1[i], f2[i]) << "block at " << from;
  }
}

// Silence still gives power 0 and no formants; the power of a voiced block is that of the fixed analysis.
TEST(FormantAnalyzerAuto, SamePowerAndZeroConventionsAsTheFixedAnalysis) {
  FormantAnalyzer fixed, automatic;
  for (FormantAnalyzer* a : {&fixed, &automatic}) a->SetSampleRate(11025);
  automatic.SetAutoOrder(true);
  ASSERT_TRUE(fixed.Prepare(kBlock));
  ASSERT_TRUE(automatic.Prepare(kBlock));
  std::vector<double> silence(kBlock, 0.0);
  double power = 5.0, f[8], b[8];
  std::fill(f, f + 8, 9.0);
  ASSERT_TRUE(automatic.Analyze(silence.data(), power, f, b));
  EXPECT_EQ(power, 0.0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f[i], 0.0) << i;

  voices::VoiceRecipe recipe;
  recipe.formants = voices::VowelResonances(voices::Speaker::Woman, 850, 1400);
  const auto voice = voices::Synthesize(recipe);
  std::vector<double> frame(kBlock);
  for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * voice.samples[2000 + i];
  double fixedPower = 0.0;
  fixed.Analyze(frame.data(), fixedPower, f, b);
  automatic.Analyze(frame.data(), power, f, b);
  EXPECT_NEAR(power, fixedPower, 1e-9) << "dB";
  EXPECT_GT(f[0], 1.0);
  for (int i = 1; i < 8; ++i) {
    if (f[i] != 0.0) {
      EXPECT_GT(f[i], f[i - 1]) << "ascending";
    }
  }
}

}  // namespace
}  // namespace vowelscope
