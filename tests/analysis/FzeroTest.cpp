#include "analysis/Fzero.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/Soundstreamwindowing.h"
#include "Fzeroreference.h"
#include "Signals.h"
#include "Voices.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using testsignals::MonoFormat;

constexpr double kRate = 11025.0;

// Collects progress reports.
struct ProgressLog {
  std::vector<ProgressCallbackParams> reports;
  void OnProgress(ProgressCallbackParams& p) { reports.push_back(p); }
};

// The analyzer with the settings' defaults: 60 .. 1000 Hz, 10 ms (lags 11 .. 182, frames of 366).
std::unique_ptr<FZeroAnalyzer> DefaultAnalyzer() {
  auto analyzer = std::make_unique<FZeroAnalyzer>();
  analyzer->SetFrameShift(0.01);
  analyzer->SetMinFrequency(60);
  analyzer->SetMaxFrequency(1000);
  return analyzer;
}

std::unique_ptr<FZeroResult> AnalyzeSamples(FZeroAnalyzer& analyzer, std::vector<int16_t>& samples,
                                            unsigned start = 0, unsigned count = 0) {
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
  return analyzer.Analyze(view, start, count);
}

TEST(FZeroAnalyzer, SineOf200HzReadsItsTrueFrequency_NotTheNearestWholeLag) {
  // The period is 55.125 samples; the nearest whole lag would read 200.45 Hz.
  auto samples = testsignals::Sine(200.0, 10000.0, 11025);
  auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 101u);
  EXPECT_EQ(result->frameShift, 0.01);
  // Frames that lie wholly inside the sound (the first two and the last two are padded).
  for (size_t i = 2; i + 2 < result->values.size(); ++i) {
    const FZeroValue& v = result->values[i];
    EXPECT_NEAR(v.frequency, 200.0, 0.02) << "Hz, frame " << i;
    EXPECT_NEAR(v.score, 1.016, 0.002) << "correlation 1 + 0.00008 per Hz, frame " << i;
    // 366 samples hold 6.6 periods, so the mean square wanders by up to 2 % around a^2 / 2.
    EXPECT_NEAR(v.power, 10.0 * std::log10(10000.0 * 10000.0 / 2.0), 0.1) << "dB, frame " << i;
  }
}

TEST(FZeroAnalyzer, PulseTrainsOfWholePeriodsKeepTheirWholeLag_NotAMultipleOfIt) {
  // Periods of about 100, 150 and 220 Hz: the whole-lag answer was right, and the refinement keeps it.
  for (unsigned period : {110u, 74u, 50u}) {
    auto samples = testsignals::PulseTrain(period, 20000, 5512, 7);
    auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
    ASSERT_NE(result, nullptr);
    for (size_t i = 2; i + 2 < result->values.size(); ++i) {
      EXPECT_NEAR(result->values[i].frequency, kRate / period, 0.01) << "Hz, frame " << i;
    }
  }
}

TEST(FZeroAnalyzer, SilenceCorrelatesWithNothing_TheTopOfTheRangeWinsWithItsBiasAlone) {
  std::vector<int16_t> samples(2000, 0);
  auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
  ASSERT_NE(result, nullptr);
  // The shortest lag, 11, stands for 1002.27 Hz, above the 1000 Hz asked for: the answer stays in range.
  for (const FZeroValue& v : result->values) {
    EXPECT_EQ(v.frequency, 1000.0f);
    EXPECT_EQ(v.score, static_cast<float>(1000.0 * 0.00008));
    EXPECT_EQ(v.power, 0.0f);
  }
  // A constant offset is no more correlated than silence, but has power.
  std::vector<int16_t> constant(2000, 500);
  result = AnalyzeSamples(*DefaultAnalyzer(), constant);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->values[5].frequency, 1000.0f);
  EXPECT_NEAR(result->values[5].power, 20.0 * std::log10(500.0), 1e-4);
}

// The analyzer beside the whole-lag search of the direct formula over the same frames: where the whole lag
// was already the period (the frame's truth within half a lag of it), the analyzer stays within one lag of
// it, and the power is the same.
void ExpectWholeLagAnswersKept(std::vector<int16_t>& samples, const std::vector<float>& truth, const char* name) {
  FZeroAnalyzer analyzer;
  analyzer.SetMinFrequency(60);
  analyzer.SetMaxFrequency(1000);
  auto result = AnalyzeSamples(analyzer, samples);
  ASSERT_NE(result, nullptr) << name;

  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
  SoundStreamWindowing windowing(view);
  windowing.SetShift(110);
  windowing.SetWindowLength(366);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(0, 0, frames));
  ASSERT_EQ(result->values.size(), frames) << name;
  unsigned kept = 0;
  for (unsigned i = 0; i < frames; ++i) {
    const double* x = nullptr;
    ASSERT_TRUE(windowing.Next(x));
    const FZeroValue expected = reference::Frame(x, 366, 11, 183, kRate);
    const FZeroValue& got = result->values[i];
    EXPECT_NEAR(got.power, expected.power, 1e-4) << name << " frame " << i;
    const double period = kRate / truth[std::min<size_t>(i * 110, truth.size() - 1)];
    if (i < 2 || i + 2 >= frames || std::fabs(kRate / expected.frequency - period) > 0.5) continue;
    ++kept;
    EXPECT_NEAR(kRate / got.frequency, kRate / expected.frequency, 1.0) << name << " lag, frame " << i;
  }
  EXPECT_GT(kept, frames / 2) << name << ": most whole-lag answers were right";
}

TEST(FZeroAnalyzer, FramesWhoseWholeLagWasRightKeepItWithinTheRefinement) {
  for (double f0 : {95.0, 130.0, 210.0}) {
    voices::VoiceRecipe recipe;
    recipe.seconds = 1.0;
    recipe.f0Start = f0;
    recipe.f0End = f0;
    recipe.formants = voices::VowelResonances(voices::Speaker::Man, 700, 1200);
    auto voice = voices::Synthesize(recipe);
    ExpectWholeLagAnswersKept(voice.samples, voice.f0, f0 < 100 ? "95 Hz" : f0 < 200 ? "130 Hz" : "210 Hz");
  }
}

TEST(FZeroAnalyzer, SilenceNoiseAndFricativesStayBelowTheChartsThreshold) {
  std::vector<int16_t> silence(11025, 0);
  const struct {
    const char* name;
    std::vector<int16_t> samples;
  } cases[] = {{"silence", silence},
               {"loud white noise", voices::WhiteNoise(2.0, 8000.0)},
               {"quiet white noise", voices::WhiteNoise(2.0, 300.0, 3)},
               {"fricative burst", voices::FricativeBurst(1.0, 12000.0)},
               {"low fricative burst", voices::FricativeBurst(1.0, 12000.0, 2500.0, 5)}};
  for (auto c : cases) {
    auto result = AnalyzeSamples(*DefaultAnalyzer(), c.samples);
    ASSERT_NE(result, nullptr) << c.name;
    for (size_t i = 0; i < result->values.size(); ++i) {
      EXPECT_LT(result->values[i].score, 0.7f) << c.name << " frame " << i;
    }
  }
}

TEST(FZeroAnalyzer, OneValuePerHopOfTheStretch_WithProgressBeforeEachFrameAndAtTheEnd) {
  auto samples = testsignals::Sine(150.0, 8000.0, 5000);
  auto analyzer = DefaultAnalyzer();
  ProgressLog log;
  analyzer->AddProgressCallback(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
  auto result = AnalyzeSamples(*analyzer, samples, 1200, 1000);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 10u);
  ASSERT_EQ(log.reports.size(), 11u);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(log.reports[i].minimum, 0);
    EXPECT_EQ(log.reports[i].maximum, 10);
    EXPECT_EQ(log.reports[i].position, i);
  }
}

TEST(FZeroAnalyzer, RefusesWhatItCannotAnalyse_WithoutReportingProgress) {
  struct {
    const char* name;
    double shift;
    int minHz, maxHz;
    SoundFormat format;
    unsigned start;
  } cases[] = {
      {"minimum 0", 0.01, 0, 1000, MonoFormat(), 0},
      {"maximum 0", 0.01, 60, 0, MonoFormat(), 0},
      {"negative minimum", 0.01, -5, 1000, MonoFormat(), 0},
      {"maximum below minimum", 0.01, 500, 400, MonoFormat(), 0},
      {"no whole lag between the limits (both give lag 11)", 0.01, 1000, 1001, MonoFormat(), 0},
      {"equal limits", 0.01, 200, 200, MonoFormat(), 0},
      {"hop below one sample", 0.00005, 60, 1000, MonoFormat(), 0},
      {"no hop", 0.0, 60, 1000, MonoFormat(), 0},
      {"negative hop", -0.01, 60, 1000, MonoFormat(), 0},
      {"24-bit source", 0.01, 60, 1000, MonoFormat(PcmSigned, 24), 0},
      {"stretch without frames", 0.01, 60, 1000, MonoFormat(), 2000},
  };
  for (const auto& c : cases) {
    std::vector<int32_t> memory(2000, 1000);
    SoundMemoryStream view(memory.data(), 2000, c.format);
    FZeroAnalyzer analyzer;
    analyzer.SetFrameShift(c.shift);
    analyzer.SetMinFrequency(c.minHz);
    analyzer.SetMaxFrequency(c.maxHz);
    ProgressLog log;
    analyzer.AddProgressCallback(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
    EXPECT_EQ(analyzer.Analyze(view, c.start, 0), nullptr) << c.name;
    EXPECT_TRUE(log.reports.empty()) << c.name;
  }
}

TEST(FZeroAnalyzer, MaximumAboveTheSampleRateSearchesFromLagOne) {
  auto samples = testsignals::Sine(200.0, 10000.0, 3000);
  FZeroAnalyzer analyzer;
  analyzer.SetMinFrequency(100);
  analyzer.SetMaxFrequency(20000);
  auto result = AnalyzeSamples(analyzer, samples);
  ASSERT_NE(result, nullptr);
  for (const FZeroValue& v : result->values) {
    EXPECT_LE(v.frequency, kRate) << "no lag of 0 (an infinite frequency)";
    EXPECT_LT(v.score, 2.0f);
  }
}


// Voices with known truth: five vowels of 0.8 s, gliding up four semitones with 30 cents of vibrato,
// 0.5 % jitter and 4 % shimmer. Over the frames wholly inside the sound that the chart would draw
// (score >= 0.7): at most 1 % more than 20 % off (gross), at most 0.5 % at half the truth, and a median
// error of at most 5 cents; at least 95 % of the frames are drawn.
TEST(FZeroAnalyzer, VoicesFrom70To500HzAreTrackedWithoutOctaveErrors) {
  for (double f0 : {70.0, 110.0, 140.0, 175.0, 220.0, 260.0, 300.0, 360.0, 430.0, 500.0}) {
    voices::Voice voice = voices::RisingVowels(f0, 0.8, static_cast<unsigned>(f0));
    std::vector<int16_t>& samples = voice.samples;
    const std::vector<float>& truth = voice.f0;
    auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
    ASSERT_NE(result, nullptr);
    unsigned inside = 0, drawn = 0, gross = 0, halved = 0;
    std::vector<double> cents;
    for (size_t i = 2; i + 2 < result->values.size(); ++i) {
      ++inside;
      const FZeroValue& v = result->values[i];
      if (v.score < 0.7f) continue;
      ++drawn;
      const double ratio = v.frequency / truth[std::min(i * 110, truth.size() - 1)];
      if (std::fabs(ratio - 1.0) > 0.2) {
        ++gross;
        if (ratio > 0.4 && ratio < 0.6) ++halved;
      } else {
        cents.push_back(std::fabs(1200.0 * std::log2(ratio)));
      }
    }
    ASSERT_FALSE(cents.empty()) << f0 << " Hz";
    std::nth_element(cents.begin(), cents.begin() + cents.size() / 2, cents.end());
    EXPECT_GE(100.0 * drawn / inside, 95.0) << "% of frames drawn, " << f0 << " Hz";
    EXPECT_LE(100.0 * gross / drawn, 1.0) << "% gross errors, " << f0 << " Hz";
    EXPECT_LE(100.0 * halved / drawn, 0.5) << "% halved, " << f0 << " Hz";
    EXPECT_LE(cents[cents.size() / 2], 5.0) << "median cents, " << f0 << " Hz";
  }
}

TEST(FZeroAnalyzer, TheFrequencyRangeBoundsTheAnswer) {
  // A 330 Hz voice searched between 150 and 300 Hz, and a 250 Hz voice between 251 and 400 Hz: every
  // frequency stays inside the range, however the peaks are refined.
  const struct {
    double f0;
    int minHz, maxHz;
  } cases[] = {{330.0, 150, 300}, {250.0, 251, 400}, {200.0, 199, 201}};
  for (const auto& c : cases) {
    voices::VoiceRecipe recipe;
    recipe.seconds = 0.5;
    recipe.f0Start = c.f0;
    recipe.f0End = c.f0;
    recipe.formants = voices::VowelResonances(voices::Speaker::Woman, 850, 1400);
    auto voice = voices::Synthesize(recipe);
    FZeroAnalyzer analyzer;
    analyzer.SetMinFrequency(c.minHz);
    analyzer.SetMaxFrequency(c.maxHz);
    auto result = AnalyzeSamples(analyzer, voice.samples);
    ASSERT_NE(result, nullptr) << c.f0;
    for (size_t i = 2; i + 2 < result->values.size(); ++i) {
      const FZeroValue& v = result->values[i];
      if (v.score < 0.7f) continue;
      EXPECT_GE(v.frequency, c.minHz - 0.01) << c.f0 << " Hz, frame " << i;
      EXPECT_LE(v.frequency, c.maxHz + 0.01) << c.f0 << " Hz, frame " << i;
    }
  }
}

}  // namespace
}  // namespace vowelscope
