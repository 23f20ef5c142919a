#include "analysis/Fzero.h"

#include <gtest/gtest.h>

#include <vector>

#include "analysis/Soundstreamwindowing.h"
#include "Fzeroreference.h"
#include "Signals.h"
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

TEST(FZeroAnalyzer, SineOf200HzGivesTheNearestWholeLag) {
  auto samples = testsignals::Sine(200.0, 10000.0, 11025);
  auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->values.size(), 101u);
  EXPECT_EQ(result->frameShift, 0.01);
  // Frames that lie wholly inside the sound (the first two and the last two are padded).
  for (size_t i = 2; i + 2 < result->values.size(); ++i) {
    const FZeroValue& v = result->values[i];
    EXPECT_NEAR(v.frequency, kRate / 55.0, 0.001) << "Hz, frame " << i;  // 200.45 Hz
    EXPECT_NEAR(v.score, 1.016, 0.002) << "frame " << i;
    // 366 samples hold 6.6 periods, so the mean square wanders by up to 2 % around a^2 / 2.
    EXPECT_NEAR(v.power, 10.0 * std::log10(10000.0 * 10000.0 / 2.0), 0.1) << "dB, frame " << i;
  }
}

TEST(FZeroAnalyzer, PulseTrainsGiveTheirExactPeriod_NotAMultipleOfIt) {
  // Periods of about 100, 150 and 220 Hz; twice the period correlates as well, and the bias toward
  // higher frequencies must pick the period itself.
  for (unsigned period : {110u, 74u, 50u}) {
    auto samples = testsignals::PulseTrain(period, 20000, 5512, 7);
    auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
    ASSERT_NE(result, nullptr);
    for (size_t i = 2; i + 2 < result->values.size(); ++i) {
      EXPECT_EQ(result->values[i].frequency, static_cast<float>(kRate / period))
          << "expected " << kRate / period << " Hz, frame " << i;
    }
  }
}

TEST(FZeroAnalyzer, SilenceCorrelatesWithNothing_TheShortestLagWinsWithItsBiasAlone) {
  std::vector<int16_t> samples(2000, 0);
  auto result = AnalyzeSamples(*DefaultAnalyzer(), samples);
  ASSERT_NE(result, nullptr);
  const double frequency = kRate / 11;  // 1002.27 Hz
  for (const FZeroValue& v : result->values) {
    EXPECT_EQ(v.frequency, static_cast<float>(frequency));
    EXPECT_EQ(v.score, static_cast<float>(frequency * 0.00008));
    EXPECT_EQ(v.power, 0.0f);
  }
  // A constant offset is no more correlated than silence, but has power.
  std::vector<int16_t> constant(2000, 500);
  result = AnalyzeSamples(*DefaultAnalyzer(), constant);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->values[5].frequency, static_cast<float>(frequency));
  EXPECT_NEAR(result->values[5].power, 20.0 * std::log10(500.0), 1e-4);
}

// Every frame, computed by the analyzer and by the direct formula over the same frames.
void ExpectSameAsDirectFormula(std::vector<int16_t>& samples, int minHz, int maxHz, const char* name) {
  FZeroAnalyzer analyzer;
  analyzer.SetMinFrequency(minHz);
  analyzer.SetMaxFrequency(maxHz);
  auto result = AnalyzeSamples(analyzer, samples);
  ASSERT_NE(result, nullptr) << name;

  const int lagMin = std::max(1, static_cast<int>(kRate) / maxHz);
  const int lagMax = static_cast<int>(kRate) / minHz;
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
  SoundStreamWindowing windowing(view);
  windowing.SetShift(110);
  windowing.SetWindowLength(2 * lagMax);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(0, 0, frames));
  ASSERT_EQ(result->values.size(), frames) << name;
  for (unsigned i = 0; i < frames; ++i) {
    const double* x = nullptr;
    ASSERT_TRUE(windowing.Next(x));
    FZeroValue expected = reference::Frame(x, 2 * lagMax, lagMin, lagMax, kRate);
    const FZeroValue& got = result->values[i];
    EXPECT_EQ(got.frequency, expected.frequency) << name << " frame " << i;
    EXPECT_EQ(got.score, expected.score) << name << " frame " << i;
    EXPECT_EQ(got.power, expected.power) << name << " frame " << i;
  }
}

TEST(FZeroAnalyzer, EveryFrameEqualsTheDirectFormulaBitForBit) {
  auto voiced = testsignals::Vowel(130.0, {{700, 80}, {1200, 100}}, 22050, 30000.0);
  auto noise = testsignals::Noise(32767.0, 22050);
  std::vector<int16_t> silence(5000, 0);
  std::vector<int16_t> extremes(5000);
  for (size_t i = 0; i < extremes.size(); ++i) extremes[i] = (i * 7919 % 13) < 6 ? -32768 : 32767;
  ExpectSameAsDirectFormula(voiced, 60, 1000, "voiced");
  ExpectSameAsDirectFormula(noise, 60, 1000, "noise");
  ExpectSameAsDirectFormula(silence, 60, 1000, "silence");
  ExpectSameAsDirectFormula(extremes, 60, 1000, "full-scale extremes");
  ExpectSameAsDirectFormula(voiced, 50, 8000, "voiced, lags 1 .. 219");
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

}  // namespace
}  // namespace vowelscope
