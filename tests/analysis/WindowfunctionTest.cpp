#include "analysis/Windowfunction.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/Mathutilities.h"

namespace vowelscope {
namespace {

struct NamedWindow {
  const char* name;
  unsigned type;
};
const NamedWindow kWindows[] = {{"Hann", 1}, {"Hamming", 2}, {"Blackman", 3}, {"Triangular", 4}, {"Sinc", 5}};

TEST(WindowFunction, LookupGivesTheFunctionOfEachNumber_AndNoneForRectangularOrUnknown) {
  EXPECT_EQ(GetWindowFunction(0), nullptr);
  EXPECT_EQ(GetWindowFunction(1), &Hann);
  EXPECT_EQ(GetWindowFunction(2), &Hamming);
  EXPECT_EQ(GetWindowFunction(3), &Blackman);
  EXPECT_EQ(GetWindowFunction(4), &Triangular);
  EXPECT_EQ(GetWindowFunction(5), &Sinc);
  EXPECT_EQ(GetWindowFunction(6), nullptr);
  EXPECT_EQ(GetWindowFunction(0xffffffffu), nullptr);
}

TEST(WindowFunction, EveryFunctionIsZeroOutsideTheWindow_AndForAnEmptyWindow) {
  for (const auto& w : kWindows) {
    WindowFunction f = GetWindowFunction(w.type);
    for (int N : {0, 1, 2, 5, 275}) {
      EXPECT_EQ(f(-1, N), 0.0) << w.name << " N=" << N;
      EXPECT_EQ(f(N, N), 0.0) << w.name << " N=" << N;
    }
    EXPECT_EQ(f(0, 0), 0.0) << w.name;
  }
}

TEST(WindowFunction, WindowsTooShortToTaperWeightEverySampleOne_InsteadOfDividingByZero) {
  for (const auto& w : kWindows) {
    WindowFunction f = GetWindowFunction(w.type);
    EXPECT_EQ(f(0, 1), 1.0) << w.name;
  }
  EXPECT_EQ(Triangular(0, 2), 1.0);
  EXPECT_EQ(Triangular(1, 2), 1.0);
  // The other windows are defined at N = 2 (both ends of the taper).
  EXPECT_NEAR(Hann(0, 2), 0.0, 1e-15);
  EXPECT_NEAR(Hann(1, 2), 0.0, 1e-15);
  EXPECT_NEAR(Hamming(1, 2), 0.08, 1e-15);
}

TEST(WindowFunction, FormulasAtKnownPoints) {
  // Hann and Hamming: zero (0.08) at both ends, one at the middle of an odd window.
  EXPECT_EQ(Hann(0, 275), 0.0);
  EXPECT_NEAR(Hann(274, 275), 0.0, 1e-15);
  EXPECT_NEAR(Hann(137, 275), 1.0, 1e-15);
  EXPECT_NEAR(Hann(68, 275), 0.5 - 0.5 * std::cos(2.0 * M_PI * 68 / 274), 1e-15);
  EXPECT_NEAR(Hamming(0, 11), 0.08, 1e-15);
  EXPECT_NEAR(Hamming(5, 11), 1.0, 1e-15);
  EXPECT_NEAR(Blackman(0, 11), 0.0, 1e-15);
  EXPECT_NEAR(Blackman(5, 11), 1.0, 1e-15);
  // Sinc: 1 at the middle of an odd N, sin(pi)/pi = 0 at the ends.
  EXPECT_EQ(Sinc(5, 11), 1.0);
  EXPECT_NEAR(Sinc(0, 11), 0.0, 1e-15);
  EXPECT_NEAR(Sinc(8, 11), std::sin(0.6 * M_PI) / (0.6 * M_PI), 1e-15);
}

TEST(WindowFunction, TriangleUsesTheIntegerHalfWidth_SoEvenLengthsEndBelowZero) {
  const double odd[] = {0.0, 0.5, 1.0, 0.5, 0.0};
  for (int n = 0; n < 5; ++n) EXPECT_EQ(Triangular(n, 5), odd[n]) << n;
  const double even[] = {0.0, 1.0, 0.0, -1.0};
  for (int n = 0; n < 4; ++n) EXPECT_EQ(Triangular(n, 4), even[n]) << n;
  EXPECT_EQ(Triangular(1, 3), 1.0);
}

TEST(Round, RoundsHalvesUp) {
  EXPECT_EQ(Round(0.0), 0.0);
  EXPECT_EQ(Round(0.49999), 0.0);
  EXPECT_EQ(Round(0.5), 1.0);
  EXPECT_EQ(Round(2.5), 3.0);
  EXPECT_EQ(Round(1234.7), 1235.0);
}

}  // namespace
}  // namespace vowelscope
