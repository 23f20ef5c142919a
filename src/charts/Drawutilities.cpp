#include "charts/Drawutilities.h"

#include <cmath>

namespace vowelscope {

void RotateFont(Font& font, int angle) {
  font.escapement = angle;
  font.orientation = angle;
}

int TruncToPixel(double value) {
  // Well beyond any canvas, and far enough from the int limits that adding a plot offset is safe.
  constexpr double limit = 100000000.0;
  if (std::isnan(value)) return 0;
  if (value >= limit) return static_cast<int>(limit);
  if (value <= -limit) return -static_cast<int>(limit);
  return static_cast<int>(value);
}

}  // namespace vowelscope
