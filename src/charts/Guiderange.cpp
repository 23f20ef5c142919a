#include "charts/Guiderange.h"

#include <algorithm>
#include <cmath>

#include "config/Regionslist.h"

namespace vowelscope {

namespace {

constexpr double kMarginOfSpan = 0.1;
constexpr int kF1Step = 50;   // Hz
constexpr int kF2Step = 100;  // Hz
constexpr int kHighest = 8000;  // Hz, the options dialog's limit

struct Span {
  double low = 0;
  double high = 0;
  bool empty = true;

  void Add(double centre, double semiAxis) {
    const double reach = std::abs(semiAxis);
    low = empty ? centre - reach : std::min(low, centre - reach);
    high = empty ? centre + reach : std::max(high, centre + reach);
    empty = false;
  }

  // The span with its margin, rounded outward to `step` and kept within 0 ... kHighest.
  void Into(int step, int& min, int& max) const {
    const double margin = std::max((high - low) * kMarginOfSpan, static_cast<double>(step));
    min = std::clamp(static_cast<int>(std::floor((low - margin) / step)) * step, 0, kHighest - step);
    max = std::clamp(static_cast<int>(std::ceil((high + margin) / step)) * step, min + step, kHighest);
  }
};

}  // namespace

std::optional<DisplayRanges> FitDisplayRanges(const Regions& regions) {
  Span f1;
  Span f2;
  for (int i = 0; i < regions.GetRegionCount(); ++i) {
    const FrequencyRegion* region = regions.GetRegion(i);
    if (region == nullptr || !region->Enabled) continue;
    f1.Add(region->F1Center, region->F1Length);
    f2.Add(region->F2Center, region->F2Length);
  }
  if (f1.empty) return std::nullopt;
  DisplayRanges ranges;
  f1.Into(kF1Step, ranges.f1Min, ranges.f1Max);
  f2.Into(kF2Step, ranges.f2Min, ranges.f2Max);
  return ranges;
}

}  // namespace vowelscope
