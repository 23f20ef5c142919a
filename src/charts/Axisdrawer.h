#pragma once
// Value-to-pixel scales and the drawer of one chart axis: ticks with numeric labels and a title in a
// band beside the plot, or the matching grid lines across the plot. A drawer is a short-lived value:
// the charts build one on the stack per axis, set a few of its settings and draw once.

#include <functional>
#include <string>

#include "charts/Canvas.h"

namespace vowelscope {

// Maps values to pixel offsets 0 ... length along one axis.
class ViewScale {
 public:
  virtual ~ViewScale() = default;
  virtual double ToValue(int pixel) const = 0;
  virtual int ToPixel(double value) const = 0;

  int GetLength() const { return length; }
  void SetLength(int value) { length = value; }
  double GetMinimum() const { return minimum; }
  double GetMaximum() const { return maximum; }
  void SetRange(double min, double max) {
    minimum = min;
    maximum = max;
  }

 protected:
  int length = 0;
  double minimum = 0.0;
  double maximum = 0.0;
};

class ViewLinearScale : public ViewScale {
 public:
  double ToValue(int pixel) const override;
  // 0 for an empty range; otherwise rounded half up (for offsets at or after the start).
  int ToPixel(double value) const override;
};

// Decimal logarithms; minimum, maximum and the values must be positive.
class ViewLogScale : public ViewScale {
 public:
  double ToValue(int pixel) const override;
  int ToPixel(double value) const override;
};

// Where the axis band lies relative to the plot; the ticks hang from the band edge next to the plot.
enum class AxisPosition { Bottom = 0, Top = 1, Left = 2, Right = 3 };

class AxisDrawer {
 public:
  using FormatLabel = std::function<std::string(const AxisDrawer& drawer, double value)>;

  AxisDrawer() = default;
  virtual ~AxisDrawer() = default;

  void SetLogarithmic(bool value) { logarithmic = value; }
  void SetRange(double min, double max) {
    minimum = min;
    maximum = max;
  }
  void SetPosition(AxisPosition value) { position = value; }
  // Linear: distance between ticks in value units. Logarithmic: the base of the decades.
  void SetInterval(double value) { interval = value; }
  // Ticks whose index is a multiple of this are major: longer, labelled, and the linear grid lines.
  void SetMajorEvery(int value) { majorEvery = value; }
  void SetMinorTickLength(int value) { minorTickLength = value; }
  void SetMajorTickLength(int value) { majorTickLength = value; }
  void SetLabelGap(int value) { labelGap = value; }
  // Values start at the far end of the band; a vertical axis growing upward needs this.
  void SetReversed(bool value) { reversed = value; }
  void SetTitle(const std::string& value) { title = value; }
  void SetTitleOffset(int value) { titleOffset = value; }
  void SetLineWidth(int value) { lineWidth = value; }
  void SetFontSize(int value) { fontSize = value; }
  void SetOnFormatLabel(FormatLabel value) { onFormatLabel = std::move(value); }
  void SetTickColor(Color value) { tickColor = value; }
  void SetGridColor(Color value) { gridColor = value; }
  void SetLabelColor(Color value) { labelColor = value; }
  void SetTitleColor(Color value) { titleColor = value; }
  void SetMargin(int value) { margin = value; }
  void SetGridStyle(PenStyle value) { gridStyle = value; }
  void SetMinorGridStyle(PenStyle value) { minorGridStyle = value; }

  double GetMinimum() const { return minimum; }
  double GetMaximum() const { return maximum; }

  // Ticks, labels and title into the band beside the plot. Labels that would not lie wholly inside
  // the band are left out, never clipped or shifted.
  void DrawAxis(Canvas& canvas, const Rect& band) const;
  // The grid lines of this axis across the plot (horizontal lines for a vertical axis).
  void DrawGrid(Canvas& canvas, const Rect& plot) const;

 private:
  struct Frame;  // the rectangle in along/across coordinates and the scale

  bool IsVertical() const { return position == AxisPosition::Left || position == AxisPosition::Right; }
  bool IsAnchoredAtStart() const { return position == AxisPosition::Bottom || position == AxisPosition::Right; }
  Frame MakeFrame(const Rect& rect) const;
  bool CanEnumerate() const;
  int AlongPosition(const Frame& frame, double value) const;
  Point ToScreen(int along, int across) const;
  void DrawTick(Canvas& canvas, const Frame& frame, const Rect& band, double value, bool major) const;
  void DrawGridLine(Canvas& canvas, const Frame& frame, double value) const;
  void DrawTitle(Canvas& canvas, const Frame& frame) const;
  std::string LabelText(double value) const;

  bool logarithmic = false;
  double minimum = 0.0;
  double maximum = 0.0;
  AxisPosition position = AxisPosition::Bottom;
  double interval = 1.0;
  int majorEvery = 1;
  int minorTickLength = 1;
  int majorTickLength = 1;
  int labelGap = 0;
  bool reversed = false;
  std::string title;
  int titleOffset = 10;
  int lineWidth = 1;
  int fontSize = 10;
  FormatLabel onFormatLabel;
  Color tickColor{0, 0, 0};
  Color gridColor{192, 192, 192};
  Color labelColor{0, 0, 0};
  Color titleColor{0, 0, 0};
  int margin = 0;
  PenStyle gridStyle = PenStyle::Solid;
  PenStyle minorGridStyle = PenStyle::Dot;
};

}  // namespace vowelscope
