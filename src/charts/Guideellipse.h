#pragma once
// A guide region's ellipse in the pixels of a formant plot, exactly as the chart draws it: the centre is
// the region's centre mapped like any measurement, the semi-axes are F1Length and F2Length scaled to
// the pixels their formant's range spans, and the ellipse is then turned by Angle in screen pixels
// (positive clockwise, since screen y grows downward). Whether a measurement lies inside is asked of
// the same geometry, at the pixel the chart draws its dot, so a dot seen inside an outline counts as
// inside; the answer therefore depends on the view and the plot size, as the picture does.

#include <vector>

#include "analysis/Formantvalue.h"
#include "charts/Canvas.h"
#include "charts/Formantchart.h"

namespace vowelscope {

struct FrequencyRegion;
class Regions;

class GuideEllipse {
 public:
  GuideEllipse() = default;
  // The region in a plot of width x height; false (and the ellipse left as it was) for an empty view.
  static bool Make(const FrequencyRegion& region, const FormantView& view, int width, int height, GuideEllipse& out);

  // The closed outline the chart fills and strokes: 360 points a degree apart, then the first again.
  std::vector<Point> Outline() const;
  // True when the value's dot lies inside the ellipse or on it; a value without both formants, or an
  // ellipse less than a pixel across either axis, contains nothing.
  bool Contains(const FormantValue& value) const;
  // The same question for a pixel of the plot (a click), with the same rule for thin ellipses.
  bool ContainsPixel(Point pixel) const;
  // How far out the pixel lies: 1 on the outline, below 1 inside. A click where ellipses overlap goes to
  // the one it is deepest inside.
  double Reach(Point pixel) const;

  Point Centre() const { return centre; }

  // The enabled region of the set whose ellipse holds a pixel of a plot of width x height (a click);
  // where ellipses overlap, the one the pixel lies deepest inside; -1 when none holds it.
  static int RegionAt(const Regions& regions, const FormantView& view, int width, int height, Point pixel);

 private:
  FormantView view;  // kept so that Contains maps a value as the chart maps its dot
  int width = 0;
  int height = 0;
  Point centre{0, 0};
  double rx = 0.0;  // pixels along screen x before the turn
  double ry = 0.0;  // pixels along screen y before the turn
  double cosTheta = 1.0;
  double sinTheta = 0.0;
};

}  // namespace vowelscope
