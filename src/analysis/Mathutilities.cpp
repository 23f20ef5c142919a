#include "analysis/Mathutilities.h"

#include <cmath>
#include <limits>

#include "sound/Soundformat.h"

namespace vowelscope {

double Round(double x) { return std::floor(x + 0.5); }

double DotProduct(const double* x, const double* y, int n) {
  double sum = 0.0;
  for (int k = 0; k < n; ++k) sum += x[k] * y[k];
  return sum;
}

unsigned SecondsToFramesClamped(const SoundFormat& format, double seconds) {
  const double frames = static_cast<double>(format.GetSampleRate()) * seconds;
  if (!(frames > 0.0)) return 0;
  if (frames >= static_cast<double>(std::numeric_limits<unsigned>::max())) return std::numeric_limits<unsigned>::max();
  return format.SecondsToFrames(seconds);
}

}  // namespace vowelscope
