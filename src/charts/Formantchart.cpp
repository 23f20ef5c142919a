#include "charts/Formantchart.h"

#include <string>


#include "charts/Axisdrawer.h"
#include "charts/Drawutilities.h"
#include "charts/Guideellipse.h"
#include "config/Regionslist.h"
#include "config/Settings.h"

namespace vowelscope {

namespace {

const Color kAxisGrey(128, 128, 128);
const Color kGridGrey(64, 64, 64);
// The whole take's dots: a dim blue-grey, apart from the red trail and the guides' colours.
const Color kWholeTakeColor(110, 140, 180);
constexpr int kWholeTakeDot = 3;  // pixels a side; also the cell that holds at most one dot
constexpr int kDotRadius = 6;
// Guide ellipses are filled at this opacity so that overlapping ones stay readable; outlines are solid.
constexpr int kGuideFillAlpha = 110;
constexpr int kGuideCaptionSize = 10;
// Beside a target the other guides fade to a trace of their colour, the target itself stands out.
constexpr int kTargetFillAlpha = 170;
constexpr int kTargetPenWidth = 3;
constexpr int kDimmedFillAlpha = 35;
constexpr int kMarkRadius = 5;
const Color kMarkColor(255, 255, 255);

Color Dimmed(Color c) { return Color(c.r * 2 / 5, c.g * 2 / 5, c.b * 2 / 5); }

// How a region is drawn: its own colour, or bolder as the target, or dimmed beside a target.
struct GuideLook {
  Color outline;
  Color fill;
  Color caption;
  int penWidth;
};

// A caption colour of the region's own hue, light enough to read on its fill and on black.
Color CaptionColor(Color region) {
  auto lift = [](int c) { return c + (255 - c) * 3 / 5; };
  return Color(lift(region.r), lift(region.g), lift(region.b));
}

// Which formant lies on which axis, and the pixels each formant's range spans.
struct Axes {
  double hMin, hMax, vMin, vMax;
  bool hReverse, vReverse;
  int lenF1, lenF2;
};

Axes AxesOf(const FormantView& view, int width, int height) {
  if (view.swapXY) {
    return Axes{view.f2Min, view.f2Max, view.f1Min, view.f1Max, view.f2Reverse, view.f1Reverse, height, width};
  }
  return Axes{view.f1Min, view.f1Max, view.f2Min, view.f2Max, view.f1Reverse, view.f2Reverse, width, height};
}

GuideLook LookOf(Color color, int index, int target) {
  if (target < 0) return GuideLook{color, color.WithAlpha(kGuideFillAlpha), CaptionColor(color), 1};
  if (index == target) return GuideLook{color, color.WithAlpha(kTargetFillAlpha), CaptionColor(color), kTargetPenWidth};
  const Color dim = Dimmed(color);
  return GuideLook{dim, color.WithAlpha(kDimmedFillAlpha), CaptionColor(dim), 1};
}

}  // namespace

FormantView FormantView::FromSettings(const Settings& settings) {
  FormantView view;
  view.f1Min = settings.GetF1DisplayMin();
  view.f1Max = settings.GetF1DisplayMax();
  view.f2Min = settings.GetF2DisplayMin();
  view.f2Max = settings.GetF2DisplayMax();
  view.swapXY = settings.GetSwapXY();
  view.f1Reverse = settings.GetF1Reverse();
  view.f2Reverse = settings.GetF2Reverse();
  return view;
}

bool FormantView::Map(double f1, double f2, int width, int height, Point& point) const {
  if (IsEmpty()) return false;
  const Axes axes = AxesOf(*this, width, height);
  int a = TruncToPixel((f1 - f1Min) / (f1Max - f1Min) * axes.lenF1);
  int b = TruncToPixel((f2 - f2Min) / (f2Max - f2Min) * axes.lenF2);
  if (f1Reverse) a = axes.lenF1 - a;
  if (f2Reverse) b = axes.lenF2 - b;
  if (swapXY) std::swap(a, b);
  point = Point{a, height - b};
  return true;
}

void FormantChart::Paint(Canvas& canvas, int width, int height, const std::vector<FormantValue>& trail,
                         const Settings& settings, const Regions* regions) {
  Paint(canvas, width, height, trail, FormantView::FromSettings(settings), regions);
}

void FormantChart::Paint(Canvas& canvas, int width, int height, const std::vector<FormantValue>& trail,
                         const FormantView& view, const Regions* regions) {
  canvas.SetBrush(Brush{canvas.GetButtonFaceColor(), BrushStyle::Solid});
  canvas.FillRect(Rect{0, 0, width, height});

  const Rect plot{kPlotLeft, kPlotTop, width, height};
  if (plot.Width() > 0 && plot.Height() > 0) {
    ClipCanvas clip(canvas, plot);
    if (backgroundStale || !backgroundBitmap || backgroundBitmap->Width() != plot.Width() ||
        backgroundBitmap->Height() != plot.Height() || !(backgroundView == view) || backgroundRegions != regions) {
      BuildFormantBackground(canvas, plot.Width(), plot.Height(), view, regions);
    }
    if (backgroundBitmap) canvas.DrawImage(plot.left, plot.top, *backgroundBitmap);
    DrawTrail(canvas, plot, trail, view);
    // Open rings over the trail: the live dots stay visible through them, and none hides an attempt.
    DrawMarks(canvas, plot, view);
  }
  DrawAxes(canvas, width, height, view);
}

void FormantChart::BuildFormantBackground(Canvas& canvas, int width, int height, const FormantView& view,
                                          const Regions* regions) {
  backgroundStale = false;
  backgroundView = view;
  backgroundRegions = regions;
  if (!backgroundBitmap || backgroundBitmap->Width() != width || backgroundBitmap->Height() != height) {
    backgroundBitmap = canvas.CreateImage(width, height);
  }
  if (!backgroundBitmap) return;
  const std::unique_ptr<Canvas> target = backgroundBitmap->CreateCanvas();
  if (!target) return;
  Canvas& image = *target;

  image.SetBrush(Brush{Color(0, 0, 0), BrushStyle::Solid});
  image.FillRect(Rect{0, 0, width, height});

  const Axes axes = AxesOf(view, width, height);
  AxisDrawer grid;
  grid.SetGridColor(kGridGrey);
  grid.SetGridStyle(PenStyle::Dot);
  grid.SetInterval(100);
  grid.SetMajorEvery(5);
  grid.SetPosition(AxisPosition::Left);
  grid.SetRange(axes.vMin, axes.vMax);
  grid.SetReversed(!axes.vReverse);
  grid.DrawGrid(image, Rect{0, 0, width, height});
  grid.SetPosition(AxisPosition::Top);
  grid.SetRange(axes.hMin, axes.hMax);
  grid.SetReversed(axes.hReverse);
  grid.DrawGrid(image, Rect{0, 0, width, height});

  if (regions == nullptr || view.IsEmpty()) {
    DrawWholeTake(image, width, height, view);
    return;
  }
  for (int i = 0; i < regions->GetRegionCount(); ++i) {
    const FrequencyRegion* region = regions->GetRegion(i);
    if (region == nullptr || !region->Enabled) continue;
    const GuideLook look = LookOf(Color::FromColorRef(region->Color), i, targetRegion);
    image.SetPen(Pen{look.outline, PenMode::Copy, PenStyle::Solid, look.penWidth});
    image.SetBrush(Brush{look.fill, BrushStyle::Solid});

    GuideEllipse ellipse;
    GuideEllipse::Make(*region, view, width, height, ellipse);
    image.Polygon(ellipse.Outline());
  }
  DrawWholeTake(image, width, height, view);
  DrawCaptions(image, width, height, view, *regions);
}

void FormantChart::SetWholeTake(const std::vector<FormantValue>& track, double threshold) {
  if (track.empty() && wholeTake.empty()) return;
  wholeTake.clear();
  for (const FormantValue& value : track) {
    if (value.f1 > 0.0 && value.f2 > 0.0 && value.power >= threshold) {
      wholeTake.push_back(TakePoint{static_cast<float>(value.f1), static_cast<float>(value.f2)});
    }
  }
  wholeTake.shrink_to_fit();
  backgroundStale = true;
}

void FormantChart::DrawWholeTake(Canvas& image, int width, int height, const FormantView& view) const {
  // Into the cached background, so a paint costs nothing more, and one dot per 3 x 3 cell, so even
  // a two-hour take (288,000 blocks) draws no more dots than the plot has cells, most of them once.
  // Over the guides' fills, which would tint the held vowels out of sight, and under their names.
  if (wholeTake.empty() || view.IsEmpty() || width <= 0 || height <= 0) return;
  const int columns = (width + kWholeTakeDot - 1) / kWholeTakeDot;
  const int rows = (height + kWholeTakeDot - 1) / kWholeTakeDot;
  std::vector<bool> drawn(static_cast<size_t>(columns) * static_cast<size_t>(rows), false);
  image.SetBrush(Brush{kWholeTakeColor, BrushStyle::Solid});
  for (const TakePoint& point : wholeTake) {
    Point pixel;
    if (!view.Map(point.f1, point.f2, width, height, pixel)) return;
    if (pixel.x < 0 || pixel.y < 0 || pixel.x >= width || pixel.y >= height) continue;
    const int column = pixel.x / kWholeTakeDot;
    const int row = pixel.y / kWholeTakeDot;
    const size_t cell = static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column);
    if (drawn[cell]) continue;
    drawn[cell] = true;
    const int x = column * kWholeTakeDot;
    const int y = row * kWholeTakeDot;
    image.FillRect(Rect{x, y, x + kWholeTakeDot, y + kWholeTakeDot});
  }
}

void FormantChart::DrawCaptions(Canvas& image, int width, int height, const FormantView& view,
                                const Regions& regions) const {
  // After every ellipse, so that no later ellipse covers an earlier one's name.
  Font font;
  font.name = image.GetDefaultFontName();
  font.size = kGuideCaptionSize;
  font.style = FontBold;
  image.SetBackgroundMode(BackgroundMode::Transparent);
  for (int i = 0; i < regions.GetRegionCount(); ++i) {
    const FrequencyRegion* region = regions.GetRegion(i);
    if (region == nullptr || !region->Enabled || region->Caption.empty()) continue;
    Point centre;
    view.Map(region->F1Center, region->F2Center, width, height, centre);
    font.color = LookOf(Color::FromColorRef(region->Color), i, targetRegion).caption;
    image.SetFont(font);
    const Size extent = image.TextExtent(region->Caption);
    image.TextOut(centre.x - extent.cx / 2, centre.y - extent.cy / 2, region->Caption);
  }
}

void FormantChart::SetTarget(int regionIndex) {
  if (regionIndex < 0) regionIndex = -1;
  if (regionIndex == targetRegion) return;
  targetRegion = regionIndex;
  backgroundStale = true;
}

void FormantChart::DrawMarks(Canvas& canvas, const Rect& plot, const FormantView& view) const {
  if (marks.empty() || view.IsEmpty()) return;
  // A ring with its number, open so that the guide under it stays readable.
  Font font;
  font.name = canvas.GetDefaultFontName();
  font.size = 8;
  font.color = kMarkColor;
  canvas.SetFont(font);
  canvas.SetBackgroundMode(BackgroundMode::Transparent);
  canvas.SetPen(Pen{kMarkColor, PenMode::Copy, PenStyle::Solid, 2});
  canvas.SetBrush(Brush{kMarkColor, BrushStyle::Clear});
  for (const FormantMark& mark : marks) {
    Point point;
    if (!(mark.f1 > 0.0) || !(mark.f2 > 0.0) || !view.Map(mark.f1, mark.f2, plot.Width(), plot.Height(), point)) {
      continue;
    }
    const int x = plot.left + point.x;
    const int y = plot.top + point.y;
    canvas.Ellipse(Rect{x - kMarkRadius, y - kMarkRadius, x + kMarkRadius, y + kMarkRadius});
    const std::string number = std::to_string(mark.number);
    canvas.TextOut(x + kMarkRadius + 1, y - kMarkRadius - canvas.TextExtent(number).cy / 2, number);
  }
}

void FormantChart::DrawTrail(Canvas& canvas, const Rect& plot, const std::vector<FormantValue>& trail,
                             const FormantView& view) const {
  if (trail.empty() || view.IsEmpty()) return;
  const int n = static_cast<int>(trail.size());
  const int step = 255 / n;
  for (int i = n - 1; i >= 0; --i) {  // oldest first, so that newer dots cover older ones
    Point point;
    view.Map(trail[i].f1, trail[i].f2, plot.Width(), plot.Height(), point);
    const int x = plot.left + point.x;
    const int y = plot.top + point.y;
    const Color color(255 - i * step, 0, 0);
    canvas.SetPen(Pen{color, PenMode::Copy, PenStyle::Solid, 1});
    canvas.SetBrush(Brush{color, BrushStyle::Solid});
    canvas.Ellipse(Rect{x - kDotRadius, y - kDotRadius, x + kDotRadius, y + kDotRadius});
  }
}

void FormantChart::DrawAxes(Canvas& canvas, int width, int height, const FormantView& view) const {
  const Axes axes = AxesOf(view, width, height);
  AxisDrawer axis;
  axis.SetTitleColor(kAxisGrey);
  axis.SetTickColor(kAxisGrey);
  axis.SetFontSize(9);
  axis.SetInterval(100);
  axis.SetMajorEvery(5);
  axis.SetMajorTickLength(6);
  axis.SetMinorTickLength(4);
  axis.SetMargin(1);

  axis.SetPosition(AxisPosition::Left);
  axis.SetRange(axes.vMin, axes.vMax);
  axis.SetReversed(!axes.vReverse);
  axis.SetTitle(view.swapXY ? "F1(Hz)" : "F2(Hz)");
  axis.SetTitleOffset(30);
  axis.DrawAxis(canvas, Rect{0, kPlotTop, kPlotLeft, height});

  axis.SetPosition(AxisPosition::Top);
  axis.SetRange(axes.hMin, axes.hMax);
  axis.SetReversed(axes.hReverse);
  axis.SetTitle(view.swapXY ? "F2(Hz)" : "F1(Hz)");
  axis.SetTitleOffset(14);
  axis.DrawAxis(canvas, Rect{kPlotLeft, 0, width, kPlotTop});
}

void FormantChart::AddToTrail(std::vector<FormantValue>& trail, const FormantValue& value) {
  if (trail.empty()) return;
  for (size_t i = trail.size() - 1; i > 0; --i) trail[i] = trail[i - 1];
  trail[0] = value;
}

void FormantChart::SetTrailForPlayback(std::vector<FormantValue>& trail, const std::vector<FormantValue>& track,
                                       uint32_t position) {
  // The block whose centre is nearest to the position.
  const int64_t current = (static_cast<int64_t>(kBlockFrames / 2) + position) / kBlockFrames;
  for (size_t i = 0; i < trail.size(); ++i) {
    const int64_t block = current - static_cast<int64_t>(i);
    trail[i] = (block >= 0 && block < static_cast<int64_t>(track.size())) ? track[static_cast<size_t>(block)]
                                                                          : FormantValue{};
  }
}

}  // namespace vowelscope
