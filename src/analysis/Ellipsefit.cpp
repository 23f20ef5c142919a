#include "analysis/Ellipsefit.h"

#include <algorithm>
#include <cmath>

namespace vowelscope {

FittedEllipse FitEllipse(const std::vector<FormantPoint>& points, double deviations) {
  FittedEllipse e;
  if (points.empty()) return e;
  const double n = static_cast<double>(points.size());
  for (const FormantPoint& p : points) {
    e.f1 += p.f1;
    e.f2 += p.f2;
  }
  e.f1 /= n;
  e.f2 /= n;
  // Deviations from the mean, so that the covariance of a cloud far from the origin keeps its digits.
  double s11 = 0.0, s22 = 0.0, s12 = 0.0;
  for (const FormantPoint& p : points) {
    const double a = p.f1 - e.f1;
    const double b = p.f2 - e.f2;
    s11 += a * a;
    s22 += b * b;
    s12 += a * b;
  }
  s11 /= n;
  s22 /= n;
  s12 /= n;
  // Eigenvalues of the symmetric 2x2 covariance, and the direction of the larger one.
  const double mean = 0.5 * (s11 + s22);
  const double half = std::sqrt(0.25 * (s11 - s22) * (s11 - s22) + s12 * s12);
  e.major = deviations * std::sqrt(std::max(0.0, mean + half));
  e.minor = deviations * std::sqrt(std::max(0.0, mean - half));
  e.angle = 0.5 * std::atan2(2.0 * s12, s11 - s22);
  e.count = static_cast<unsigned>(points.size());
  return e;
}

}  // namespace vowelscope
