#pragma once
// The formant chart's display ranges that show a guide set whole: every enabled ellipse inside the
// plot with some room around it, so that a learner's dots near the edge of a vowel stay visible.

#include <optional>

namespace vowelscope {

class Regions;

struct DisplayRanges {
  int f1Min = 0;
  int f1Max = 0;
  int f2Min = 0;
  int f2Max = 0;
};

// The ranges around the enabled regions of `regions`: each ellipse's extent (centre ± semi-axis) plus a
// tenth of the set's span on either side, rounded outward to 50 Hz for F1 and 100 Hz for F2, within the
// options dialog's 0 ... 8000 Hz. Empty when no region is enabled. The turn of a turned ellipse is
// made on screen, so it is not counted beyond the margin.
std::optional<DisplayRanges> FitDisplayRanges(const Regions& regions);

}  // namespace vowelscope
