#include "charts/Guideellipse.h"

#include <cmath>
#include <numbers>

#include "charts/Drawutilities.h"
#include "config/Regionslist.h"

namespace vowelscope {

bool GuideEllipse::Make(const FrequencyRegion& region, const FormantView& view, int width, int height,
                        GuideEllipse& out) {
  Point centre;
  if (!view.Map(region.F1Center, region.F2Center, width, height, centre)) return false;
  // Pixels each formant's range spans: F1 along the width unless the axes are swapped.
  const int lenF1 = view.swapXY ? height : width;
  const int lenF2 = view.swapXY ? width : height;
  const int rF1 = TruncToPixel(region.F1Length / (view.f1Max - view.f1Min) * lenF1);
  const int rF2 = TruncToPixel(region.F2Length / (view.f2Max - view.f2Min) * lenF2);
  const double theta = region.Angle * std::numbers::pi / 180.0;
  out.view = view;
  out.width = width;
  out.height = height;
  out.centre = centre;
  out.rx = view.swapXY ? rF2 : rF1;
  out.ry = view.swapXY ? rF1 : rF2;
  out.cosTheta = std::cos(theta);
  out.sinTheta = std::sin(theta);
  return true;
}

std::vector<Point> GuideEllipse::Outline() const {
  std::vector<Point> outline;
  outline.reserve(362);
  // t is advanced by addition, as the outline has always been traced.
  for (double t = 0.0; t < 2.0 * std::numbers::pi; t += std::numbers::pi / 180.0) {
    const double p = std::cos(t) * rx;
    const double q = std::sin(t) * ry;
    outline.push_back(Point{TruncToPixel(p * cosTheta - q * sinTheta + centre.x),
                            TruncToPixel(p * sinTheta + q * cosTheta + centre.y)});
  }
  outline.push_back(outline.front());
  return outline;
}

bool GuideEllipse::Contains(const FormantValue& value) const {
  if (!(value.f1 > 0.0) || !(value.f2 > 0.0)) return false;
  Point dot;
  if (!view.Map(value.f1, value.f2, width, height, dot)) return false;
  return ContainsPixel(dot);
}

bool GuideEllipse::ContainsPixel(Point pixel) const {
  if (std::fabs(rx) < 1.0 || std::fabs(ry) < 1.0) return false;
  return Reach(pixel) <= 1.0;
}

double GuideEllipse::Reach(Point pixel) const {
  // Undo the turn, then compare with the upright ellipse.
  const double dx = pixel.x - centre.x;
  const double dy = pixel.y - centre.y;
  const double p = dx * cosTheta + dy * sinTheta;
  const double q = -dx * sinTheta + dy * cosTheta;
  return (p / rx) * (p / rx) + (q / ry) * (q / ry);
}

int GuideEllipse::RegionAt(const Regions& regions, const FormantView& view, int width, int height, Point pixel) {
  int found = -1;
  double deepest = 1.0;
  for (int i = 0; i < regions.GetRegionCount(); ++i) {
    const FrequencyRegion* region = regions.GetRegion(i);
    GuideEllipse ellipse;
    if (region == nullptr || !region->Enabled || !Make(*region, view, width, height, ellipse)) continue;
    if (!ellipse.ContainsPixel(pixel)) continue;
    const double reach = ellipse.Reach(pixel);
    if (found < 0 || reach < deepest) {
      found = i;
      deepest = reach;
    }
  }
  return found;
}

}  // namespace vowelscope
