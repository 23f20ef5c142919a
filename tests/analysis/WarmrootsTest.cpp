#include "analysis/Warmroots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Rootpolynomials.h"
#include "Voices.h"
#include "analysis/Lpc.h"
#include "analysis/Windowfunction.h"

namespace vowelscope {
namespace {

constexpr unsigned kBlock = 275;
constexpr double kRate = 11025.0;
constexpr double kPi = 3.14159265358979323846;

// The prediction polynomials of order p of every 25 ms block of a voice, pre-emphasised as the live
// path does.
std::vector<std::vector<double>> Polynomials(const std::vector<int16_t>& samples, int p) {
  std::vector<std::vector<double>> out;
  std::vector<double> frame(kBlock), work(kBlock), r(p + 1);
  for (size_t from = 0; from + kBlock <= samples.size(); from += kBlock) {
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
    std::vector<double> a(p + 1);
    PreEmphasisAutocorrelation(frame.data(), work.data(), r.data(), 0.98, p, kBlock);
    if (LevinsonDurbin(r.data(), a.data(), p) > 0.0) out.push_back(a);
  }
  return out;
}

// Frequency and bandwidth of every root that can be a formant (above 1 Hz), sorted as LpcResonances
// sorts them. A real root is left out: a search may leave it 1e-17 off the axis, which makes a
// resonance of a fraction of a hertz that no analysis takes.
std::vector<Resonance> Sorted(const std::vector<ComplexNumber>& roots) {
  std::vector<Resonance> out;
  for (const auto& z : roots) {
    const Resonance r = RootToResonance(kRate, z);
    if (r.frequency > 1.0) out.push_back(r);
  }
  std::sort(out.begin(), out.end(), [](const Resonance& l, const Resonance& r) {
    return l.frequency < r.frequency || (l.frequency == r.frequency && l.bandwidth < r.bandwidth);
  });
  return out;
}

// Blocks of men's, women's and children's vowels and glides between them, one after the other as a
// recording brings them, at the orders the analyses use.
TEST(WarmRoots, AgreeWithTheStandardSearchWithinAHundredthOfAHertzOnVoiceFrames) {
  std::vector<int16_t> voice;
  unsigned seed = 1;
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    const auto vowels = voices::JapaneseVowels(speaker);
    for (size_t v = 0; v < vowels.size(); ++v) {
      voices::VoiceRecipe recipe;
      recipe.seconds = 0.3;
      recipe.f0Start = voices::TypicalF0(speaker);
      recipe.f0End = recipe.f0Start * 1.2;
      recipe.formants = voices::VowelResonances(speaker, vowels[v].f1, vowels[v].f2);
      const auto& next = vowels[(v + 1) % vowels.size()];
      recipe.formantsEnd = voices::VowelResonances(speaker, next.f1, next.f2);
      recipe.seed = seed++;
      const auto s = voices::Synthesize(recipe);
      voice.insert(voice.end(), s.samples.begin(), s.samples.end());
    }
  }
  for (const int p : {9, 14, 16}) {
    WarmRoots finder;
    ASSERT_TRUE(finder.Prepare(16));
    std::vector<ComplexNumber> warm(p), guesses(p), standard(p);
    int compared = 0, fallbacks = 0;
    for (const auto& a : Polynomials(voice, p)) {
      const bool found = finder.Find(p, a.data(), warm.data());
      fallbacks += finder.LastFellBack();
      if (!FindRoots(p, a.data(), guesses.data(), standard.data())) continue;
      ASSERT_TRUE(found) << "order " << p;
      for (const auto& z : standard) {
        double nearest = 1e30;
        for (const auto& w : warm) nearest = std::min(nearest, (z - w).Abs());
        ASSERT_LT(nearest, 1e-8) << "order " << p;
      }
      const auto expected = Sorted(standard), actual = Sorted(warm);
      ASSERT_EQ(actual.size(), expected.size()) << "order " << p;
      for (size_t k = 0; k < expected.size(); ++k) {
        ASSERT_NEAR(actual[k].frequency, expected[k].frequency, 0.01) << "Hz, order " << p << ", root " << k;
        ASSERT_NEAR(actual[k].bandwidth, expected[k].bandwidth, 0.01) << "Hz, order " << p << ", root " << k;
      }
      ++compared;
    }
    EXPECT_GT(compared, 150) << "order " << p;
    EXPECT_EQ(fallbacks, 0) << "order " << p << ": the iteration converged by itself on every voice frame";
  }
}

TEST(WarmRoots, AStartFromAnUnrelatedPolynomialStillFindsItsRoots) {
  // Two resonators far apart in turn: each warm start is the other polynomial's roots.
  auto resonator = [](double f, double b) {
    const double radius = std::exp(-kPi * b / kRate), angle = 2.0 * kPi * f / kRate;
    return std::vector<double>{1.0, -2.0 * radius * std::cos(angle), radius * radius};
  };
  auto times = [](const std::vector<double>& x, const std::vector<double>& y) {
    std::vector<double> out(x.size() + y.size() - 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
      for (size_t j = 0; j < y.size(); ++j) out[i + j] += x[i] * y[j];
    return out;
  };
  const auto low = times(resonator(300, 60), resonator(2300, 120));
  const auto high = times(resonator(1000, 200), resonator(4000, 300));
  WarmRoots finder;
  ASSERT_TRUE(finder.Prepare(4));
  ComplexNumber roots[4];
  for (int round = 0; round < 3; ++round) {
    for (const auto* a : {&low, &high}) {
      ASSERT_TRUE(finder.Find(4, a->data(), roots));
      std::vector<double> found;
      for (const auto& z : roots) {
        if (z.im > 0.0) found.push_back(RootToResonance(kRate, z).frequency);
      }
      std::sort(found.begin(), found.end());
      ASSERT_EQ(found.size(), 2u);
      EXPECT_NEAR(found[0], a == &low ? 300.0 : 1000.0, 1e-6) << "Hz";
      EXPECT_NEAR(found[1], a == &low ? 2300.0 : 4000.0, 1e-6) << "Hz";
    }
  }
}

TEST(WarmRoots, DegeneratePolynomialsAreLeftToTheStandardSearch) {
  WarmRoots finder;
  ASSERT_TRUE(finder.Prepare(16));
  ComplexNumber roots[16];

  // A trailing zero: a root at 0, as FindRoots gives it.
  const double trailing[] = {1.0, 0.5, 0.0, 0.0};
  ASSERT_TRUE(finder.Find(3, trailing, roots));
  EXPECT_EQ(roots[0].re, -0.5);
  EXPECT_EQ(roots[1].re, 0.0);
  EXPECT_EQ(roots[2].re, 0.0);

  // (z - 0.5)^16: a root of multiplicity 16 that no iteration pins down to 1e-10; not found.
  const std::vector<double> a = testpolynomials::MultipleRoot(0.5, 16);
  EXPECT_FALSE(finder.Find(16, a.data(), roots));
  EXPECT_TRUE(finder.LastFellBack());

  // Orders beyond what was prepared, or without a leading coefficient, find nothing.
  const double none[] = {0.0, 1.0, 1.0};
  EXPECT_FALSE(finder.Find(2, none, roots));
  EXPECT_FALSE(finder.Find(17, a.data(), roots));
  WarmRoots unprepared;
  EXPECT_FALSE(unprepared.Find(2, trailing, roots));
}

}  // namespace
}  // namespace vowelscope
