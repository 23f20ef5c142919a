#pragma once
// The ellipse that describes a cloud of (F1, F2) measurements: centred on their mean, its axes along the
// principal axes of their covariance, each semi-axis a number of standard deviations along that axis
// (two: about 86 % of a normal cloud lies inside). Everything is in Hz of the plane with F1 as the first
// coordinate and F2 as the second.

#include <vector>

namespace vowelscope {

struct FormantPoint {
  double f1 = 0.0;  // Hz
  double f2 = 0.0;
};

struct FittedEllipse {
  double f1 = 0.0;  // Hz, centre
  double f2 = 0.0;
  double major = 0.0;  // Hz, semi-axis along the direction of the largest spread
  double minor = 0.0;  // Hz, semi-axis across it
  // Radians from the +F1 direction toward +F2 to the major axis, in (-pi/2, pi/2].
  double angle = 0.0;
  unsigned count = 0;  // points fitted
};

// The fit of the points at `deviations` standard deviations (population spread, so one point gives
// zero axes). A cloud without points gives count 0 and zeros.
FittedEllipse FitEllipse(const std::vector<FormantPoint>& points, double deviations = 2.0);

}  // namespace vowelscope
