#include "analysis/Livepitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Voices.h"
#include "analysis/Notename.h"

namespace vowelscope {
namespace {

constexpr unsigned kBlock = 275;

// The settings' defaults: 60 .. 1000 Hz, 35 dB.
void PrepareDefault(LivePitch& pitch) { ASSERT_TRUE(pitch.Prepare(11025, kBlock, 60, 1000, 35.0)); }

// One value per whole block, as the capture thread would deliver them.
std::vector<FZeroValue> Feed(LivePitch& pitch, const std::vector<int16_t>& samples) {
  std::vector<FZeroValue> values;
  for (size_t from = 0; from + kBlock <= samples.size(); from += kBlock) {
    values.push_back(pitch.Next(samples.data() + from, kBlock));
  }
  return values;
}

double Cents(double frequency, double truth) { return 1200.0 * std::log2(frequency / truth); }

struct GlideCase {
  voices::Speaker speaker;
  double semitones;  // of the glide over its second
};

class LivePitchGlide : public ::testing::TestWithParam<GlideCase> {};

TEST_P(LivePitchGlide, EveryBlockFromTheThirdReadsTheGlideWithin20Cents) {
  const GlideCase c = GetParam();
  voices::VoiceRecipe recipe;
  recipe.seconds = 1.0;
  recipe.f0Start = voices::TypicalF0(c.speaker);
  recipe.f0End = recipe.f0Start * std::pow(2.0, c.semitones / 12.0);
  recipe.formants = voices::VowelResonances(c.speaker, 750, 1190);
  const voices::Voice voice = voices::Synthesize(recipe);

  LivePitch pitch;
  PrepareDefault(pitch);
  const auto values = Feed(pitch, voice.samples);
  double worst = 0.0;
  for (size_t k = 2; k < values.size(); ++k) {
    // The value stands for the frame that ends with block k.
    const double centre = (k + 1) * kBlock - pitch.FrameLength() / 2.0;
    ASSERT_GT(values[k].frequency, 0.0f) << "block " << k << " unvoiced";
    worst = std::max(worst, std::fabs(Cents(values[k].frequency, voice.F0At(centre))));
  }
  EXPECT_LT(worst, 20.0) << "cents, worst block of " << voices::SpeakerName(c.speaker);
}

INSTANTIATE_TEST_SUITE_P(Speakers, LivePitchGlide,
                         ::testing::Values(GlideCase{voices::Speaker::Man, 7.0}, GlideCase{voices::Speaker::Woman, -5.0},
                                           GlideCase{voices::Speaker::Child, 4.0}));

TEST(LivePitch, AJumpOfAFifthIsReadWithin20CentsByTheThirdBlockAfterIt) {
  // A held note, then at once a fifth higher: the continuity rule must not hold on to the old pitch.
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    voices::VoiceRecipe recipe;
    recipe.seconds = 0.5;
    recipe.f0Start = recipe.f0End = voices::TypicalF0(speaker);
    recipe.formants = voices::VowelResonances(speaker, 480, 1900);
    std::vector<int16_t> samples = voices::Synthesize(recipe).samples;
    samples.resize(20 * kBlock);
    recipe.f0Start = recipe.f0End = recipe.f0Start * 1.5;
    recipe.seed = 2;
    const auto second = voices::Synthesize(recipe).samples;
    samples.insert(samples.end(), second.begin(), second.end());

    LivePitch pitch;
  PrepareDefault(pitch);
    const auto values = Feed(pitch, samples);
    for (size_t k = 22; k < values.size(); ++k) {
      EXPECT_NEAR(Cents(values[k].frequency, recipe.f0Start), 0.0, 20.0)
          << "cents, block " << k - 20 << " after the jump, " << voices::SpeakerName(speaker);
    }
  }
}

TEST(LivePitch, SilenceNoiseAndAFricativeAreUnvoiced) {
  const std::vector<std::vector<int16_t>> sounds = {
      std::vector<int16_t>(11025, 0), voices::WhiteNoise(1.0, 3000.0), voices::FricativeBurst(1.0, 8000.0)};
  for (size_t s = 0; s < sounds.size(); ++s) {
    LivePitch pitch;
  PrepareDefault(pitch);
    const auto values = Feed(pitch, sounds[s]);
    for (size_t k = 0; k < values.size(); ++k) {
      EXPECT_EQ(values[k].frequency, 0.0f) << "sound " << s << ", block " << k;
    }
  }
}

TEST(LivePitch, AQuietVoiceBelowThePowerThresholdIsUnvoiced) {
  voices::VoiceRecipe recipe;
  recipe.formants = voices::VowelResonances(voices::Speaker::Man, 750, 1190);
  recipe.peak = 40.0;  // about 25 dB on the 16-bit scale
  LivePitch pitch;
  PrepareDefault(pitch);
  for (const FZeroValue& v : Feed(pitch, voices::Synthesize(recipe).samples)) EXPECT_EQ(v.frequency, 0.0f);
}

TEST(LivePitch, ARangeWithoutAWholeLagGivesOnlyUnvoicedBlocks) {
  LivePitch pitch;
  EXPECT_FALSE(pitch.Prepare(11025, kBlock, 8000, 8000, 35.0));
  const std::vector<int16_t> block(kBlock, 1000);
  EXPECT_EQ(pitch.Next(block.data(), kBlock).frequency, 0.0f);
}

TEST(NoteName, NamesTheNearestNoteWithItsCents) {
  const struct {
    double hertz;
    const char* name;
  } cases[] = {
      {440.0, "A4 +0"},        {220.0 * std::pow(2.0, 12.0 / 1200.0), "A3 +12"},
      {261.6256, "C4 +0"},     {277.1826, "C#4 +0"},
      {27.5, "A0 +0"},         {16.3516, "C0 +0"},
      {440.0 * std::pow(2.0, -30.0 / 1200.0), "A4 -30"},
      {440.0 * std::pow(2.0, 60.0 / 1200.0), "A#4 -40"},  // nearer A# than A
      {123.4708, "B2 +0"},     {4186.009, "C8 +0"},
  };
  for (const auto& c : cases) EXPECT_EQ(NoteName(c.hertz), c.name) << c.hertz << " Hz";
}

TEST(NoteName, UnvoicedAndOutOfRangeFrequenciesHaveNoName) {
  for (const double hertz : {0.0, -440.0, 10.0, 30000.0, std::nan(""), static_cast<double>(INFINITY)}) {
    EXPECT_EQ(NoteName(hertz), "") << hertz << " Hz";
  }
}

}  // namespace
}  // namespace vowelscope
