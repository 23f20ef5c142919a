#pragma once
// The F0 frame computed the slow, obvious way: every lag's five sums from scratch in one pass, as the
// correlation is defined. The analyzer must give exactly these values for 16-bit frames.

#include <cmath>

#include "analysis/Fzero.h"

namespace vowelscope::reference {

inline double Correlation(const double* x, const double* y, int n) {
  double sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int k = 0; k < n; ++k) {
    sx += x[k];
    sy += y[k];
    sxx += x[k] * x[k];
    syy += y[k] * y[k];
    sxy += x[k] * y[k];
  }
  double mx = sx / n;
  double my = sy / n;
  double vx = (sxx - n * mx * mx) / (n - 1);
  double vy = (syy - n * my * my) / (n - 1);
  double dx = vx > 0.0 ? std::sqrt(vx) : 0.0;
  double dy = vy > 0.0 ? std::sqrt(vy) : 0.0;
  if (dx * dy == 0.0) return 0.0;
  return (sxy - n * mx * my) / ((n - 1) * dx * dy);
}

// x holds N = 2 * lagMax values.
inline FZeroValue Frame(const double* x, int N, int lagMin, int lagMax, double fs) {
  double s = 0.0;
  for (int k = 0; k < N; ++k) s += x[k] * x[k];
  double power = s > 0.0 ? 10.0 * std::log10(s / N) : 0.0;
  double best = -10.0;
  double frequency = 0.0;
  for (int lag = lagMin; lag < lagMax; ++lag) {
    double r = Correlation(x, x + lag, N - lag);
    double f = fs / lag;
    double w = f * 0.00008 + r;
    if (w > best) {
      best = w;
      frequency = f;
    }
  }
  return {static_cast<float>(frequency), static_cast<float>(best), static_cast<float>(power)};
}

}  // namespace vowelscope::reference
