#include "analysis/Formantanalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/Windowfunction.h"
#include "Signals.h"

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
