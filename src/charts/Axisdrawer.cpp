#include "charts/Axisdrawer.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "charts/Drawutilities.h"

namespace vowelscope {

double ViewLinearScale::ToValue(int pixel) const {
  return minimum + static_cast<double>(pixel) / static_cast<double>(length) * (maximum - minimum);
}

int ViewLinearScale::ToPixel(double value) const {
  const double range = maximum - minimum;
  if (range == 0.0) return 0;
  return TruncToPixel((value - minimum) / range * length + 0.5);
}

double ViewLogScale::ToValue(int pixel) const {
  const double lo = std::log10(minimum);
  const double hi = std::log10(maximum);
  return std::pow(10.0, lo + static_cast<double>(pixel) / static_cast<double>(length) * (hi - lo));
}

int ViewLogScale::ToPixel(double value) const {
  const double lo = std::log10(minimum);
  const double hi = std::log10(maximum);
  return TruncToPixel((std::log10(value) - lo) / (hi - lo) * length + 0.5);
}

namespace {

// What a value of the enumeration is, so that ticks and grid lines can style it.
enum class TickKind { Linear, BelowDecade, Decade, InDecade };

long long TruncToIndex(double value) {
  constexpr double limit = 9.0e18;
  if (std::isnan(value)) return 0;
  if (value >= limit) return static_cast<long long>(limit);
  if (value <= -limit) return -static_cast<long long>(limit);
  return static_cast<long long>(value);
}

}  // namespace

struct AxisDrawer::Frame {
  int a0 = 0;  // along range
  int a1 = 0;
  int c0 = 0;  // across range
  int c1 = 0;
  std::unique_ptr<ViewScale> scale;
};

AxisDrawer::Frame AxisDrawer::MakeFrame(const Rect& rect) const {
  // Vertical axes work on the rectangle with x and y exchanged.
  Frame frame = IsVertical() ? Frame{rect.top, rect.bottom, rect.left, rect.right, nullptr}
                             : Frame{rect.left, rect.right, rect.top, rect.bottom, nullptr};
  if (logarithmic) {
    frame.scale = std::make_unique<ViewLogScale>();
  } else {
    frame.scale = std::make_unique<ViewLinearScale>();
  }
  frame.scale->SetRange(minimum, maximum);
  frame.scale->SetLength(frame.a1 - frame.a0);
  return frame;
}

bool AxisDrawer::CanEnumerate() const {
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(interval)) return false;
  if (minimum == maximum) return false;
  if (logarithmic) return minimum > 0.0 && interval > 1.0;
  // More ticks than this cannot be told apart on any screen; refuse rather than loop for ages.
  constexpr double maxTicks = 1.0e6;
  return interval > 0.0 && (maximum - minimum) / interval <= maxTicks;
}

int AxisDrawer::AlongPosition(const Frame& frame, double value) const {
  const int offset = frame.scale->ToPixel(value);
  return reversed ? frame.a1 - offset - lineWidth : frame.a0 + offset;
}

Point AxisDrawer::ToScreen(int along, int across) const {
  return IsVertical() ? Point{across, along} : Point{along, across};
}

std::string AxisDrawer::LabelText(double value) const {
  if (onFormatLabel) return onFormatLabel(*this, value);
  char text[32];
  std::snprintf(text, sizeof text, "%lld", TruncToIndex(value));
  return text;
}

namespace {

// Calls visit(value, major, kind) for every tick value of the axis, in drawing order.
template <typename Visit>
void EnumerateTicks(bool logarithmic, double minimum, double maximum, double interval, int majorEvery,
                    Visit visit) {
  const auto isMajor = [majorEvery](long long index) { return majorEvery > 0 && index % majorEvery == 0; };
  if (!logarithmic) {
    long long k = TruncToIndex(std::ceil(minimum / interval));
    double v = static_cast<double>(k) * interval;
    while (v < maximum) {
      visit(v, isMajor(k), TickKind::Linear);
      const double next = v + interval;
      if (next == v) break;  // the interval vanishes next to v: the loop could never end
      ++k;
      v = next;
    }
    return;
  }
  const double base = interval;
  const long long e = TruncToIndex(std::ceil(std::log(minimum) / std::log(base)));
  const double first = std::pow(base, static_cast<double>(e));
  for (long long g = TruncToIndex(base - 1.0); g >= 1 && g * first / base > minimum; --g) {
    visit(g * first / base, isMajor(g), TickKind::BelowDecade);
  }
  for (double d = first; d < maximum; d *= base) {
    visit(d, true, TickKind::Decade);
    for (long long i = 2; i < base && i * d < maximum; ++i) visit(i * d, isMajor(i), TickKind::InDecade);
  }
}

}  // namespace

void AxisDrawer::DrawAxis(Canvas& canvas, const Rect& band) const {
  FontReminder fontReminder(canvas);
  PenReminder penReminder(canvas);

  const Frame frame = MakeFrame(band);

  canvas.SetPen(Pen{tickColor, PenMode::Copy, PenStyle::Solid, lineWidth});
  Font font;
  font.name = canvas.GetDefaultFontName();
  font.color = labelColor;
  font.size = fontSize;
  canvas.SetFont(font);
  const BackgroundMode previousMode = canvas.GetBackgroundMode();
  canvas.SetBackgroundMode(BackgroundMode::Transparent);

  if (CanEnumerate()) {
    EnumerateTicks(logarithmic, minimum, maximum, interval, majorEvery,
                   [&](double value, bool major, TickKind) { DrawTick(canvas, frame, band, value, major); });
  }
  if (!title.empty()) DrawTitle(canvas, frame);

  canvas.SetBackgroundMode(previousMode);
}

void AxisDrawer::DrawTick(Canvas& canvas, const Frame& frame, const Rect& band, double value, bool major) const {
  const int length = major ? majorTickLength : minorTickLength;
  std::string label;
  Size extent;
  if (major) {
    label = LabelText(value);
    extent = canvas.TextExtent(label);
  }
  const int alongSize = IsVertical() ? extent.cy : extent.cx;
  const int acrossSize = IsVertical() ? extent.cx : extent.cy;

  const int p = AlongPosition(frame, value);
  int tickFrom, tickTo, labelAcross;
  if (IsAnchoredAtStart()) {
    tickFrom = frame.c0 + margin;
    tickTo = frame.c0 + margin + length;
    labelAcross = frame.c0 + margin + length + labelGap;
  } else {
    tickFrom = frame.c1 - margin - length;
    tickTo = frame.c1 - margin;
    labelAcross = frame.c1 - margin - length - acrossSize - labelGap;
  }
  const int labelAlong = p - alongSize / 2;

  const Point from = ToScreen(p, tickFrom);
  const Point to = ToScreen(p, tickTo);
  canvas.MoveTo(from.x, from.y);
  canvas.LineTo(to.x, to.y);

  if (!major) return;
  const Point corner = ToScreen(labelAlong, labelAcross);
  if (corner.x >= band.left && corner.x + extent.cx < band.right && corner.y >= band.top &&
      corner.y + extent.cy < band.bottom) {
    canvas.TextOut(corner.x, corner.y, label);
  }
}

void AxisDrawer::DrawTitle(Canvas& canvas, const Frame& frame) const {
  Font font = canvas.GetFont();
  font.color = titleColor;
  canvas.SetFont(font);
  const Size extent = canvas.TextExtent(title);
  const int along = (frame.a0 + frame.a1 - extent.cx) / 2;
  const int across = IsAnchoredAtStart() ? frame.c0 + titleOffset + majorTickLength
                                         : frame.c1 - titleOffset - majorTickLength - extent.cy;
  if (!IsVertical()) {
    canvas.TextOut(along, across, title);
    return;
  }
  // Rotated text turns about its top-left corner, so the start moves down by the text's width.
  RotateFont(font, 900);
  canvas.SetFont(font);
  canvas.TextOut(across, along + extent.cx, title);
}

void AxisDrawer::DrawGrid(Canvas& canvas, const Rect& plot) const {
  FontReminder fontReminder(canvas);
  PenReminder penReminder(canvas);

  const Frame frame = MakeFrame(plot);

  const Pen gridPen{gridColor, PenMode::Copy, gridStyle, lineWidth};
  Pen minorPen = gridPen;
  minorPen.style = minorGridStyle;
  canvas.SetPen(gridPen);
  Font font;
  font.name = canvas.GetDefaultFontName();
  font.color = labelColor;
  font.size = fontSize;
  canvas.SetFont(font);

  if (!CanEnumerate()) return;
  EnumerateTicks(logarithmic, minimum, maximum, interval, majorEvery,
                 [&](double value, bool major, TickKind kind) {
                   switch (kind) {
                     case TickKind::Linear:
                       if (major && value != minimum) DrawGridLine(canvas, frame, value);
                       break;
                     case TickKind::Decade:
                       if (value != minimum) {
                         canvas.SetPen(gridPen);
                         DrawGridLine(canvas, frame, value);
                       }
                       break;
                     case TickKind::BelowDecade:
                     case TickKind::InDecade:
                       canvas.SetPen(minorPen);
                       DrawGridLine(canvas, frame, value);
                       break;
                   }
                 });
}

void AxisDrawer::DrawGridLine(Canvas& canvas, const Frame& frame, double value) const {
  const int p = AlongPosition(frame, value);
  const Point from = ToScreen(p, frame.c0 + lineWidth);
  const Point to = ToScreen(p, frame.c1 - 2 * lineWidth);
  canvas.MoveTo(from.x, from.y);
  canvas.LineTo(to.x, to.y);
}

}  // namespace vowelscope
