#include "analysis/Lpc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/Complexnumber.h"
#include "analysis/Mathutilities.h"
#include "analysis/Windowfunction.h"
#include "Signals.h"

namespace vowelscope {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(ComplexNumber, ArithmeticAndAbs) {
  ComplexNumber a(1.0, 2.0), b(3.0, -4.0);
  auto sum = a + b, difference = a - b, product = a * b, quotient = a / b;
  EXPECT_EQ(sum.re, 4.0);
  EXPECT_EQ(sum.im, -2.0);
  EXPECT_EQ(difference.re, -2.0);
  EXPECT_EQ(difference.im, 6.0);
  EXPECT_EQ(product.re, 11.0);
  EXPECT_EQ(product.im, 2.0);
  EXPECT_DOUBLE_EQ(quotient.re, -0.2);
  EXPECT_DOUBLE_EQ(quotient.im, 0.4);
  EXPECT_EQ(b.Abs(), 5.0);
  EXPECT_EQ(ComplexNumber().Abs(), 0.0);
}

TEST(DotProduct, SumsInOrder_AndIsZeroForNoTerms) {
  const double x[] = {1, 2, 3}, y[] = {4, 5, 6};
  EXPECT_EQ(DotProduct(x, y, 3), 32.0);
  EXPECT_EQ(DotProduct(x, y, 0), 0.0);
  EXPECT_EQ(DotProduct(x, y, -2), 0.0);
}

TEST(PreEmphasis, SubtractsTheScaledPreviousSample_InPlaceToo) {
  double in[] = {1, 1, 1};
  double out[3];
  PreEmphasis(in, out, 0.98, 3);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_NEAR(out[1], 0.02, 1e-15);
  EXPECT_NEAR(out[2], 0.02, 1e-15);

  double same[] = {3, 5, 2, 7};
  PreEmphasis(same, same, 0.5, 4);
  EXPECT_EQ(std::vector<double>(same, same + 4), (std::vector<double>{3, 3.5, -0.5, 6}));

  double copy[3];
  PreEmphasis(in, copy, 0.0, 3);
  EXPECT_EQ(std::vector<double>(copy, copy + 3), (std::vector<double>{1, 1, 1}));
}

TEST(Autocorrelation, NormalisedByTheEnergy_AndAllZeroForSilence) {
  const double x[] = {1, 2, 3, 4};
  double r[3];
  EXPECT_EQ(Autocorrelation(x, 4, 2, r), 30.0);
  EXPECT_EQ(r[0], 1.0);
  EXPECT_DOUBLE_EQ(r[1], 20.0 / 30.0);
  EXPECT_DOUBLE_EQ(r[2], 11.0 / 30.0);

  const double zeros[5] = {};
  double rz[4] = {9, 9, 9, 9};
  EXPECT_EQ(Autocorrelation(zeros, 5, 3, rz), 0.0);
  EXPECT_EQ(std::vector<double>(rz, rz + 4), std::vector<double>(4, 0.0));

  // Lags beyond the frame correlate nothing.
  double rl[5];
  Autocorrelation(x, 4, 4, rl);
  EXPECT_EQ(rl[4], 0.0);
}

TEST(LevinsonDurbin, RecoversAKnownPredictor_AndGivesErrorOneForSilence) {
  // Autocorrelation of an AR(2) process x[n] = 1.2 x[n-1] - 0.5 x[n-2] + e[n] (Yule-Walker):
  // r1 = a1 / (1 - a2), r2 = a1 r1 + a2 with a1 = 1.2, a2 = -0.5.
  const double r1 = 1.2 / 1.5, r2 = 1.2 * r1 - 0.5;
  const double r[] = {1.0, r1, r2, 1.2 * r2 - 0.5 * r1};
  double a[4];
  double e = LevinsonDurbin(r, a, 3);
  EXPECT_EQ(a[0], 1.0);
  EXPECT_NEAR(a[1], -1.2, 1e-12);
  EXPECT_NEAR(a[2], 0.5, 1e-12);
  EXPECT_NEAR(a[3], 0.0, 1e-12);
  EXPECT_NEAR(e, (1.0 - r1 * r1) * (1.0 - 0.25), 1e-12);

  const double silent[5] = {};
  double b[5];
  EXPECT_EQ(LevinsonDurbin(silent, b, 4), 1.0);
  EXPECT_EQ(std::vector<double>(b, b + 5), (std::vector<double>{1, 0, 0, 0, 0}));
}

TEST(LevinsonDurbin, ABreakdownGivesZeroAndClearsThePredictor) {
  // r1 = 1: a perfectly predictable frame leaves no error after the first step.
  const double r[] = {1.0, 1.0, 1.0, 1.0};
  double a[4] = {0, 7, 7, 7};
  EXPECT_EQ(LevinsonDurbin(r, a, 3), 0.0);
  EXPECT_EQ(std::vector<double>(a, a + 4), (std::vector<double>{1, 0, 0, 0}));
}

std::vector<ComplexNumber> Roots(const std::vector<double>& a, bool* ok) {
  const int p = static_cast<int>(a.size()) - 1;
  std::vector<ComplexNumber> guesses(p), roots(p);
  *ok = FindRoots(p, a.data(), guesses.data(), roots.data());
  return roots;
}

std::vector<double> SortedReal(const std::vector<ComplexNumber>& roots) {
  std::vector<double> out;
  for (const auto& z : roots) out.push_back(z.re);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FindRoots, FindsRealRootsOfAnyLeadingCoefficient) {
  struct {
    std::vector<double> a;
    std::vector<double> roots;
  } cases[] = {
      {{1, -3, 2}, {1, 2}},
      {{2, -6, 4}, {1, 2}},  // not monic: the step divides by the leading coefficient
      {{1, -6, 11, -6}, {1, 2, 3}},
      {{1, 0.5, 0, 0}, {-0.5, 0, 0}},  // trailing zeros drop the degree to 1
      {{4, -2}, {0.5}},
  };
  for (const auto& c : cases) {
    bool ok = false;
    auto roots = Roots(c.a, &ok);
    ASSERT_TRUE(ok) << c.a.size();
    auto real = SortedReal(roots);
    for (size_t k = 0; k < real.size(); ++k) EXPECT_NEAR(real[k], c.roots[k], 1e-9) << k;
    for (const auto& z : roots) EXPECT_NEAR(z.im, 0.0, 1e-9);
  }
}

TEST(FindRoots, FindsConjugatePairsOfAResonatorPolynomial) {
  // (z^2 - 2 r cos t z + r^2)(z^2 - 2 s cos u z + s^2) with known poles.
  const double r = 0.95, t = 0.4, s = 0.9, u = 1.3;
  const double b1 = -2 * r * std::cos(t), b2 = r * r, c1 = -2 * s * std::cos(u), c2 = s * s;
  std::vector<double> a = {1, b1 + c1, b2 + c2 + b1 * c1, b1 * c2 + b2 * c1, b2 * c2};
  bool ok = false;
  auto roots = Roots(a, &ok);
  ASSERT_TRUE(ok);
  std::vector<double> angles;
  for (const auto& z : roots) angles.push_back(std::atan2(z.im, z.re));
  std::sort(angles.begin(), angles.end());
  EXPECT_NEAR(angles[0], -u, 1e-9);
  EXPECT_NEAR(angles[1], -t, 1e-9);
  EXPECT_NEAR(angles[2], t, 1e-9);
  EXPECT_NEAR(angles[3], u, 1e-9);
}

TEST(FindRoots, FailsWithoutADegreeOrALeadingCoefficient) {
  bool ok = true;
  Roots({1e-11, 1, 1}, &ok);
  EXPECT_FALSE(ok);
  ComplexNumber g[1], z[1];
  const double a[] = {1};
  EXPECT_FALSE(FindRoots(0, a, g, z));
}

TEST(FindRoots, AllZeroCoefficientsGiveRootsAtZero) {
  bool ok = false;
  auto roots = Roots({1, 0, 0, 0}, &ok);
  EXPECT_TRUE(ok);
  for (const auto& z : roots) EXPECT_EQ(z.Abs(), 0.0);
}

// The iteration one root at a time, as written down: FindRoots must give exactly these roots.
bool ReferenceRoots(int p, const double* a, std::vector<ComplexNumber>& roots) {
  roots.assign(p, ComplexNumber());
  std::vector<ComplexNumber> guesses(p);
  int d = p;
  while (d >= 1 && a[d] == 0.0) --d;
  if (d == 0) d = p;
  double c = std::fabs(a[1] / a[0]);
  for (int i = 2; i <= d; ++i) {
    double v = std::fabs(a[i] / a[0]);
    if (v >= 1e-10) c = std::max(c, std::pow(v, 1.0 / i));
  }
  const double radius = d * c, step = 2.0 * kPi / d;
  for (int k = 0; k < d; ++k) {
    double theta = step * k + step * 0.25;
    guesses[k] = ComplexNumber(radius * std::cos(theta), radius * std::sin(theta));
  }
  for (int pass = 0; pass < 4095; ++pass) {
    for (int k = 0; k < d; ++k) {
      ComplexNumber q(1.0, 0.0);
      for (int j = 0; j < d; ++j) {
        if (j != k) q = q * (guesses[k] - guesses[j]);
      }
      ComplexNumber f(a[0], 0.0);
      for (int i = 1; i <= d; ++i) f = f * guesses[k] + ComplexNumber(a[i], 0.0);
      f = ComplexNumber(f.re / a[0], f.im / a[0]);
      roots[k] = q.Abs() == 0.0 ? guesses[k] - f : guesses[k] - f / q;
    }
    bool converged = true;
    for (int k = 0; k < d && converged; ++k) converged = (roots[k] - guesses[k]).Abs() <= 1e-10;
    for (int k = 0; k < d; ++k) guesses[k] = roots[k];
    if (converged) return true;
  }
  return false;
}

TEST(FindRoots, GivesExactlyTheRootsOfTheOneRootAtATimeIteration) {
  // Prediction polynomials of orders 2 to 16 from vowel and noise frames.
  auto vowel = testsignals::Vowel(120.0, {{700, 80}, {1200, 100}}, 11025);
  auto noise = testsignals::Noise(3000.0, 11025);
  for (int t = 0; t < 60; ++t) {
    const auto& source = t % 2 ? vowel : noise;
    const unsigned from = (t * 977) % (source.size() - 300);
    const int p = 2 + t % 15;
    double frame[275], work[275], r[17], a[17];
    for (int i = 0; i < 275; ++i) frame[i] = Hann(i, 275) * source[from + i];
    PreEmphasisAutocorrelation(frame, work, r, 0.98, p, 275);
    ASSERT_GT(LevinsonDurbin(r, a, p), 0.0);
    std::vector<ComplexNumber> expected, guesses(p), roots(p);
    const bool expectedOk = ReferenceRoots(p, a, expected);
    EXPECT_EQ(FindRoots(p, a, guesses.data(), roots.data()), expectedOk) << "order " << p;
    for (int k = 0; k < p; ++k) {
      EXPECT_EQ(roots[k].re, expected[k].re) << "order " << p << " root " << k;
      EXPECT_EQ(roots[k].im, expected[k].im) << "order " << p << " root " << k;
    }
  }
}

TEST(RootToResonance, AngleGivesFrequencyAndRadiusGivesBandwidth) {
  const double fs = 11025.0;
  const double b = -std::log(0.81) * fs / (2 * kPi);
  struct {
    ComplexNumber z;
    double frequency, bandwidth;
  } cases[] = {
      {{0.0, 0.9}, 2756.25, b},
      {{0.0, -0.9}, 2756.25, b},
      {{0.9 * std::cos(0.4), 0.9 * std::sin(0.4)}, 0.4 * fs / (2 * kPi), b},
      {{-0.9 * std::cos(0.4), 0.9 * std::sin(0.4)}, (kPi - 0.4) * fs / (2 * kPi), b},
      {{-0.9 * std::cos(0.4), -0.9 * std::sin(0.4)}, (kPi - 0.4) * fs / (2 * kPi), b},
      {{0.5, 0.0}, 0, 0},   // real
      {{-0.5, 0.0}, 0, 0},  // real, at half the sample rate
      {{0.0, 0.0}, 0, 0},
      {{1.0, 0.0}, 0, 0},
      {{0.6, 0.8}, 0, 0},  // on the unit circle
      {{1.0, 1.0}, 0, 0},  // outside
  };
  for (const auto& c : cases) {
    Resonance r = RootToResonance(fs, c.z);
    EXPECT_NEAR(r.frequency, c.frequency, 1e-9) << c.z.re << "," << c.z.im;
    EXPECT_NEAR(r.bandwidth, c.bandwidth, 1e-9) << c.z.re << "," << c.z.im;
  }
  EXPECT_NEAR(RootToResonance(fs, {0.0, 0.9}).bandwidth, 369.75, 0.01);
}

TEST(LpcResonances, SortedWithRejectedRootsFirstAndPairsTogether) {
  // Poles at 700 Hz (r = 0.95) and 2000 Hz (r = 0.9) and one real pole at 0.5.
  const double fs = 11025.0;
  auto pair = [&](double hz, double radius) {
    return std::vector<double>{1, -2 * radius * std::cos(2 * kPi * hz / fs), radius * radius};
  };
  auto multiply = [](const std::vector<double>& x, const std::vector<double>& y) {
    std::vector<double> z(x.size() + y.size() - 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
      for (size_t j = 0; j < y.size(); ++j) z[i + j] += x[i] * y[j];
    return z;
  };
  auto a = multiply(multiply(pair(2000, 0.9), pair(700, 0.95)), {1, -0.5});
  double f[5], b[5];
  ASSERT_TRUE(LpcResonances(fs, 5, a.data(), f, b));
  // The real pole may come out with a tiny imaginary part: a resonance far below 1 Hz, which the
  // formant picker rejects.
  EXPECT_LT(f[0], 1e-6);
  EXPECT_NEAR(f[1], 700.0, 1e-6);
  EXPECT_NEAR(f[2], 700.0, 1e-6);
  EXPECT_NEAR(f[3], 2000.0, 1e-6);
  EXPECT_NEAR(f[4], 2000.0, 1e-6);
  EXPECT_NEAR(b[1], -std::log(0.95 * 0.95) * fs / (2 * kPi), 1e-6);
  EXPECT_NEAR(b[3], -std::log(0.81) * fs / (2 * kPi), 1e-6);

  const double bad[] = {0, 1, 1};
  double g[2] = {5, 5}, h[2] = {5, 5};
  EXPECT_FALSE(LpcResonances(fs, 2, bad, g, h));
  EXPECT_EQ(g[0] + g[1] + h[0] + h[1], 0.0);
}

}  // namespace
}  // namespace vowelscope
