#include "analysis/Ellipsefit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Formanttrack.h"

namespace vowelscope {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

using formanttest::NormalCloud;

TEST(EllipseFit, RecoversCentreAxesAndAngleOfAKnownCovariance) {
  const struct {
    double f1, f2, along, across, degrees;
  } cases[] = {
      {750, 1200, 60, 20, 30},  {300, 2300, 40, 15, -60}, {500, 1700, 80, 30, 0},
      {450, 900, 100, 25, 89},  {850, 1400, 50, 25, -10},
  };
  unsigned seed = 1;
  for (const auto& c : cases) {
    const FittedEllipse e = FitEllipse(NormalCloud(c.f1, c.f2, c.along, c.across, c.degrees, seed++));
    const double angleError = std::remainder(e.angle / kDegree - c.degrees, 180.0);
    // 20000 points: the sample spread is within 1 % of the true one, the mean within a few Hz.
    EXPECT_NEAR(e.f1, c.f1, 2.0) << "Hz, centre F1 of the cloud at " << c.degrees << " degrees";
    EXPECT_NEAR(e.f2, c.f2, 2.0) << "Hz, centre F2";
    EXPECT_NEAR(e.major, 2.0 * c.along, 0.02 * 2.0 * c.along) << "Hz (2 %), major semi-axis = 2 sd";
    EXPECT_NEAR(e.minor, 2.0 * c.across, 0.02 * 2.0 * c.across) << "Hz (2 %), minor semi-axis = 2 sd";
    EXPECT_NEAR(angleError, 0.0, 1.0) << "degrees of the major axis, cloud at " << c.degrees;
    EXPECT_GT(e.angle, -std::numbers::pi / 2);
    EXPECT_LE(e.angle, std::numbers::pi / 2);
    EXPECT_EQ(e.count, 20000u);
  }
}

TEST(EllipseFit, OnePointHasNoSpread_AndNoPointsGiveNothing) {
  const FittedEllipse one = FitEllipse({{500.0, 1500.0}});
  EXPECT_EQ(one.f1, 500.0);
  EXPECT_EQ(one.f2, 1500.0);
  EXPECT_EQ(one.major, 0.0);
  EXPECT_EQ(one.minor, 0.0);
  EXPECT_EQ(one.count, 1u);
  EXPECT_EQ(FitEllipse({}).count, 0u);
  // Points on a line: no spread across it.
  const FittedEllipse line = FitEllipse({{400, 1000}, {500, 1100}, {600, 1200}});
  EXPECT_NEAR(line.minor, 0.0, 1e-6);
  EXPECT_NEAR(line.angle / kDegree, 45.0, 1e-9);
}

}  // namespace
}  // namespace vowelscope
