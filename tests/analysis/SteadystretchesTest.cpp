#include "analysis/Steadystretches.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Formanttrack.h"
#include "Voices.h"

namespace vowelscope {
namespace {

using formanttest::BlockTrack;

void Append(std::vector<int16_t>& to, const std::vector<int16_t>& samples) { to.insert(to.end(), samples.begin(), samples.end()); }

TEST(SteadyStretches, FiveHeldVowelsGiveFiveStretchesNearTheirFormants) {
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman}) {
    const auto vowels = voices::JapaneseVowels(speaker);
    const auto stretches = SteadyStretchFinder::Find(BlockTrack(voices::HeldVowels(speaker, 0.6)));
    ASSERT_EQ(stretches.size(), vowels.size()) << voices::SpeakerName(speaker);
    for (size_t i = 0; i < vowels.size(); ++i) {
      EXPECT_GE(stretches[i].count, 16u) << "blocks of " << vowels[i].name << ", 0.6 s held";
      EXPECT_NEAR(stretches[i].f1, vowels[i].f1, 0.15 * vowels[i].f1) << "Hz (15 %), F1 of " << vowels[i].name;
      EXPECT_NEAR(stretches[i].f2, vowels[i].f2, 0.10 * vowels[i].f2) << "Hz (10 %), F2 of " << vowels[i].name;
    }
  }
}

TEST(SteadyStretches, GlidesShortVowelsAndSilenceHaveNoSteadyStretch) {
  // Speech that never holds a vowel for 200 ms: glides from vowel to vowel, 150 ms vowels between pauses.
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Man);
  std::vector<int16_t> take(2205, 0);
  for (size_t i = 0; i + 1 < vowels.size(); ++i) {
    Append(take, voices::Synthesize(voices::VowelGlide(voices::Speaker::Man, vowels[i], vowels[i + 1], 0.5)).samples);
    voices::VoiceRecipe recipe;
    recipe.seconds = 0.15;
    recipe.formants = voices::VowelResonances(voices::Speaker::Man, vowels[i].f1, vowels[i].f2);
    Append(take, voices::Synthesize(recipe).samples);
    Append(take, std::vector<int16_t>(1100, 0));
  }
  EXPECT_TRUE(SteadyStretchFinder::Find(BlockTrack(take)).empty());
  EXPECT_TRUE(SteadyStretchFinder::Find(BlockTrack(std::vector<int16_t>(11025, 0))).empty());
  EXPECT_TRUE(SteadyStretchFinder::Find({}).empty());
}

TEST(SteadyStretches, AStretchEndsAtAnUnvoicedBlockAndWhereTheFormantsMoveAway) {
  std::vector<FormantValue> track;
  for (int i = 0; i < 10; ++i) track.push_back({60.0, 700.0 + (i % 2) * 20.0, 1200.0});  // steady
  track.push_back({20.0, 0.0, 0.0});                                                 // a gap
  for (int i = 0; i < 9; ++i) track.push_back({60.0, 300.0, 2300.0});               // steady
  for (int i = 0; i < 9; ++i) track.push_back({60.0, 500.0, 1800.0});               // a jump: another
  const auto stretches = SteadyStretchFinder::Find(track);
  ASSERT_EQ(stretches.size(), 3u);
  EXPECT_EQ(stretches[0].first, 0u);
  EXPECT_EQ(stretches[0].count, 10u);
  EXPECT_DOUBLE_EQ(stretches[0].f1, 710.0);
  EXPECT_EQ(stretches[1].first, 11u);
  EXPECT_EQ(stretches[1].count, 9u);
  EXPECT_EQ(stretches[2].first, 20u);
  EXPECT_DOUBLE_EQ(stretches[2].f2, 1800.0);
}

}  // namespace
}  // namespace vowelscope
