#include "analysis/Lagcorrelation.h"

#include <gtest/gtest.h>

#include <vector>

#include "Fzeroreference.h"
#include "Signals.h"

namespace vowelscope {
namespace {

// The curve against the correlation coefficient summed from scratch for every lag, on frames of voice
// (loud and quiet, which the 16-bit path sums in different steps), noise, silence and full-scale
// extremes (-32768 takes the double path). With 16-bit samples the sums are exact, so only the final
// root and division may round differently.
TEST(LagCorrelation, EveryLagEqualsTheDirectFormula) {
  std::vector<int16_t> extremes(366);
  for (size_t i = 0; i < extremes.size(); ++i) extremes[i] = (i * 7919 % 13) < 6 ? -32768 : 32767;
  const struct {
    const char* name;
    std::vector<int16_t> samples;
    unsigned lagMin, lagMax;
  } cases[] = {
      {"voiced", testsignals::Vowel(130.0, {{700, 80}, {1200, 100}}, 366, 30000.0), 5, 190},
      {"noise", testsignals::Noise(32767.0, 366), 11, 183},
      {"silence", std::vector<int16_t>(366, 0), 11, 183},
      {"constant", std::vector<int16_t>(366, 500), 11, 183},
      {"full-scale extremes", extremes, 1, 183},
      {"odd lag count", testsignals::Vowel(230.0, {{850, 80}, {1400, 100}}, 366), 3, 182},
      {"full scale without -32768", testsignals::Vowel(180.0, {{500, 80}, {1900, 100}}, 366, 32767.0), 2, 183},
      {"quiet voice", testsignals::Vowel(300.0, {{990, 80}, {1584, 100}}, 366, 3000.0), 5, 190},
  };
  for (const auto& c : cases) {
    std::vector<double> x(c.samples.begin(), c.samples.end());
    LagCorrelation lags(366, c.lagMin, c.lagMax);
    std::vector<double> curve(lags.LagCount());
    double energy = lags.Compute(x.data(), curve.data());
    double squares = 0.0;
    for (double v : x) squares += v * v;
    EXPECT_EQ(energy, squares) << c.name;
    for (unsigned lag = c.lagMin; lag < c.lagMax; ++lag) {
      const double expected = reference::Correlation(x.data(), x.data() + lag, 366 - static_cast<int>(lag));
      EXPECT_NEAR(curve[lag - c.lagMin], expected, 1e-12) << c.name << ", lag " << lag;
    }
  }
}

// A frame that is not 16-bit sound throughout (a fraction or a value beyond the 16-bit range anywhere,
// in the part taken four at a time or in the last samples) is summed in doubles and still matches.
TEST(LagCorrelation, FramesNotOf16BitSamples_MatchTheDirectFormula) {
  const std::vector<int16_t> voice = testsignals::Vowel(200.0, {{520, 80}, {2200, 100}}, 366, 12000.0);
  const struct {
    const char* name;
    size_t at;
    double value;
  } cases[] = {
      {"fraction at the start", 0, 0.25},
      {"fraction in the middle", 181, -1234.5},
      {"fraction in the last samples", 365, 3.75},
      {"beyond the range", 100, 40000.0},
      {"below the range in the last samples", 364, -32768.0},
  };
  for (const auto& c : cases) {
    std::vector<double> x(voice.begin(), voice.end());
    x[c.at] = c.value;
    LagCorrelation lags(366, 5, 190);
    std::vector<double> curve(lags.LagCount());
    const double energy = lags.Compute(x.data(), curve.data());
    double squares = 0.0;
    for (double v : x) squares += v * v;
    EXPECT_NEAR(energy, squares, 1e-9 * squares) << c.name;
    for (unsigned lag = 5; lag < 190; ++lag) {
      const double expected = reference::Correlation(x.data(), x.data() + lag, 366 - static_cast<int>(lag));
      EXPECT_NEAR(curve[lag - 5], expected, 1e-12) << c.name << ", lag " << lag;
    }
  }
}

}  // namespace
}  // namespace vowelscope
