#include "analysis/Fzeropass.h"

#include <gtest/gtest.h>

#include <vector>

#include "Signals.h"

namespace vowelscope {
namespace {

using testsignals::MonoFormat;

struct ProgressLog {
  std::vector<ProgressCallbackParams> reports;
  void OnProgress(ProgressCallbackParams& p) { reports.push_back(p); }
};

class FZeroPassTest : public ::testing::Test {
 protected:
  FZeroPassTest() {
    progress.Add(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
  }

  std::shared_ptr<const FZeroResult> Run(const std::vector<int16_t>& samples) {
    return RunFZeroPass(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat(), settings, progress);
  }

  static bool IsZero(const FZeroValue& v) { return v.frequency == 0.0f && v.score == 0.0f && v.power == 0.0f; }

  FZeroPassSettings settings;  // the defaults: 10 ms, 60 .. 1000 Hz, 35 dB
  ProgressLog log;
  ProgressCallbackContainer progress;
};

TEST_F(FZeroPassTest, SilenceGivesAZeroValueForEveryHop_AndNoProgress) {
  std::vector<int16_t> samples(110250, 0);
  auto result = Run(samples);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->frameShift, 0.01);
  ASSERT_EQ(result->values.size(), 1003u);
  for (const auto& v : result->values) EXPECT_TRUE(IsZero(v));
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(FZeroPassTest, OneLoudBlockIsAnalysedWithItsMargins_AndLandsAtItsHopIndex) {
  std::vector<int16_t> samples(11025, 0);
  auto tone = testsignals::Sine(200.0, 8000.0, 275);
  std::copy(tone.begin(), tone.end(), samples.begin() + 2750);
  auto result = Run(samples);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 101u);
  // The stretch 2640 .. 3134 (495 frames) gives 5 values, stored from 2640 / 110 = 24.
  for (size_t i = 0; i < result->values.size(); ++i) {
    EXPECT_EQ(IsZero(result->values[i]), i < 24 || i > 28) << i;
  }
  EXPECT_GT(result->values[26].power, 60.0f);
  EXPECT_NEAR(result->values[26].frequency, 200.0, 1.0) << "Hz: one block of a 200 Hz tone, the frame half in silence";

  // Progress in frames of the whole recording: 24 .. 28 before each frame, 29 at the end.
  ASSERT_EQ(log.reports.size(), 6u);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(log.reports[k].minimum, 0);
    EXPECT_EQ(log.reports[k].maximum, 101);
    EXPECT_EQ(log.reports[k].position, 24 + k);
  }
}

TEST_F(FZeroPassTest, ABlockStartsAStretchFromTheThresholdOn) {
  // Mean squares of 3163 (35.0007 dB) and 3162 (34.9993 dB) against the default threshold of 35 dB.
  struct Part {
    int16_t value;
    unsigned count;
  };
  struct {
    const char* name;
    std::vector<Part> parts;
    bool analysed;
  } cases[] = {
      {"mean square 3163", {{55, 209}, {60, 66}}, true},
      {"mean square 3162", {{50, 25}, {51, 110}, {61, 140}}, false},
  };
  for (const auto& c : cases) {
    std::vector<int16_t> samples(5500, 0);
    unsigned at = 2750;
    for (const Part& part : c.parts) {
      for (unsigned i = 0; i < part.count; ++i, ++at) samples[at] = at % 2 ? part.value : -part.value;
    }
    auto result = Run(samples);
    ASSERT_NE(result, nullptr) << c.name;
    EXPECT_EQ(!IsZero(result->values[26]), c.analysed) << c.name;
  }
}

TEST_F(FZeroPassTest, StretchesAreAnalysedWhereTheyLie) {
  // 200 Hz from 1.0 s to 1.5 s and 150 Hz from 3.0 s to the end.
  std::vector<int16_t> samples(4 * 11025, 0);
  auto first = testsignals::Sine(200.0, 6000.0, 5512);
  auto second = testsignals::Sine(147.0, 6000.0, 11025);
  std::copy(first.begin(), first.end(), samples.begin() + 11025);
  std::copy(second.begin(), second.end(), samples.begin() + 3 * 11025);
  auto result = Run(samples);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 401u);
  EXPECT_TRUE(IsZero(result->values[50]));
  EXPECT_NEAR(result->values[125].frequency, 200.0, 0.05) << "Hz";
  EXPECT_TRUE(IsZero(result->values[200]));
  EXPECT_NEAR(result->values[350].frequency, 147.0, 0.05) << "Hz";
  EXPECT_FALSE(IsZero(result->values[400])) << "the last stretch runs to the end";
  int32_t maximum = log.reports.front().maximum;
  for (const auto& r : log.reports) EXPECT_EQ(r.maximum, maximum);
}

TEST_F(FZeroPassTest, AnInvalidRangeEndsThePassWithAZeroResult) {
  settings.minFrequency = 500;
  settings.maxFrequency = 400;
  auto samples = testsignals::Sine(200.0, 8000.0, 11025);
  auto result = Run(samples);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 101u);
  for (const auto& v : result->values) EXPECT_TRUE(IsZero(v));
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(FZeroPassTest, AFrameShiftOfNoSampleGivesAResultWithoutValues) {
  auto samples = testsignals::Sine(200.0, 8000.0, 11025);
  for (int shift : {0, -10}) {
    settings.frameShift = shift;
    auto result = Run(samples);
    ASSERT_NE(result, nullptr) << shift;
    EXPECT_TRUE(result->values.empty()) << shift;
  }
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(FZeroPassTest, AnEmptyRecordingGivesAnEmptyResult) {
  auto result = RunFZeroPass(nullptr, 0, MonoFormat(), settings, progress);
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(result->values.empty());
  std::vector<int16_t> one(1, 20000);
  result = Run(one);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->values.size(), 1u);
}

TEST_F(FZeroPassTest, OtherFrameShiftsSetTheHopAndTheResultsShift) {
  settings.frameShift = 25;  // 275 frames
  auto samples = testsignals::Sine(200.0, 8000.0, 11025);
  auto result = Run(samples);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->frameShift, 0.025);
  ASSERT_EQ(result->values.size(), 41u);  // 11025 / 275 rounded up
  EXPECT_NEAR(result->values[20].frequency, 200.0, 0.05) << "Hz";
}

}  // namespace
}  // namespace vowelscope
