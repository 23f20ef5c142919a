#include "charts/Formantchart.h"
#include "charts/Formanttrail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>
#include <tuple>

#include "RecordingCanvas.h"
#include "config/Regionslist.h"

namespace vowelscope {
namespace {

using testing::DrawLog;
using testing::DrawOp;
using testing::RecordingCanvas;
using testing::RecordingImage;

// The main window's formant paint box at its design size: a plot of 780 x 361 pixels.
constexpr int kWidth = 830;
constexpr int kHeight = 395;
constexpr int kPlotW = kWidth - 50;
constexpr int kPlotH = kHeight - 34;

// The view these pixel tables were worked out for: F1 200 ... 800, F2 500 ... 4000.
FormantView NarrowView() {
  FormantView view;
  view.f1Max = 800;
  return view;
}

std::vector<DrawOp> OfKind(const DrawLog& log, DrawOp::Kind kind) {
  std::vector<DrawOp> result;
  for (const DrawOp& op : log) {
    if (op.kind == kind) result.push_back(op);
  }
  return result;
}

const DrawLog& LastBackgroundPaint(const FormantChart& chart) {
  const auto* image = dynamic_cast<const RecordingImage*>(chart.GetBackground());
  EXPECT_NE(image, nullptr);
  EXPECT_FALSE(image->Paints().empty());
  return *image->Paints().back();
}

int BackgroundPaints(const FormantChart& chart) {
  const auto* image = dynamic_cast<const RecordingImage*>(chart.GetBackground());
  return image == nullptr ? 0 : static_cast<int>(image->Paints().size());
}

std::vector<FormantValue> Trail(double f1, double f2) {
  return std::vector<FormantValue>(FormantChart::kTrailLength, FormantValue{60.0, f1, f2});
}

// Texts drawn in the band of the vertical axis (left of the plot) or the horizontal one (above it).
std::vector<std::string> TextsIn(const RecordingCanvas& canvas, bool vertical) {
  std::vector<std::string> result;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Text)) {
    if ((op.from.x < 50) == vertical && (op.from.y < 34) != vertical) result.push_back(op.text);
  }
  return result;
}

TEST(FormantChart, DefaultGridHasOneF1LineAtFiveHundredAndF2LinesEveryFiveHundred) {
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), nullptr);

  const auto lines = OfKind(LastBackgroundPaint(chart), DrawOp::Line);
  ASSERT_EQ(lines.size(), 7u);
  // The vertical axis's grid first: horizontal lines at F2 = 1000 ... 3500, F2 growing upward.
  for (int i = 0; i < 6; ++i) {
    const double f2 = 1000 + 500 * i;
    const int y = kPlotH - static_cast<int>((f2 - 500) / 3500 * kPlotH + 0.5) - 1;
    EXPECT_EQ(lines[i].from, (Point{1, y})) << f2;
    EXPECT_EQ(lines[i].to, (Point{kPlotW - 2, y})) << f2;
    EXPECT_EQ(lines[i].pen.style, PenStyle::Dot);
    EXPECT_EQ(lines[i].pen.color, Color(64, 64, 64));
  }
  EXPECT_EQ(lines[6].from, (Point{390, 1}));  // F1 = 500: 300 / 600 of 780 pixels
  EXPECT_EQ(lines[6].to, (Point{390, kPlotH - 2}));

  const auto fills = OfKind(LastBackgroundPaint(chart), DrawOp::Fill);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].rect, (Rect{0, 0, kPlotW, kPlotH}));
  EXPECT_EQ(fills[0].brush.color, Color(0, 0, 0));

  // The background goes to the plot's corner, inside the plot's clip.
  const auto images = canvas.OfKind(DrawOp::Image);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].from, (Point{50, 34}));
  EXPECT_EQ(images[0].clip, (Rect{50, 34, kWidth, kHeight}));
}

TEST(FormantChart, DefaultAxesTickEveryHundredAndDropTheLabelThatWouldStickOut) {
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), nullptr);

  std::vector<DrawOp> vertical, horizontal;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Line)) (op.from.y >= 34 ? vertical : horizontal).push_back(op);

  ASSERT_EQ(horizontal.size(), 6u);  // 200 ... 700
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(horizontal[i].from.x, 50 + (100 * i) * kPlotW / 600) << i;
    EXPECT_EQ(horizontal[i].to.y - horizontal[i].from.y, i == 3 ? 6 : 4);
    EXPECT_EQ(horizontal[i].pen.color, Color(128, 128, 128));
  }
  EXPECT_EQ(TextsIn(canvas, false), (std::vector<std::string>{"500", "F1(Hz)"}));

  ASSERT_EQ(vertical.size(), 35u);  // 500 ... 3900
  EXPECT_EQ(vertical.front().from.y, kHeight - 1);  // the tick at 500 sits on the band's bottom edge
  EXPECT_EQ(TextsIn(canvas, true),
            (std::vector<std::string>{"1000", "1500", "2000", "2500", "3000", "3500", "F2(Hz)"}));

  const auto texts = canvas.OfKind(DrawOp::Text);
  for (const DrawOp& op : texts) {
    const bool title = op.text.front() == 'F';
    EXPECT_EQ(op.font.color, title ? Color(128, 128, 128) : Color(0, 0, 0)) << op.text;
    EXPECT_EQ(op.font.size, 9);
    EXPECT_EQ(op.font.name, "TestSans");
    EXPECT_FALSE(op.clip.has_value()) << "axes are drawn after the plot's clip is removed";
  }
}

TEST(FormantChart, TrailIsDrawnOldestFirstWithRedFadingBySixPerEntry) {
  RecordingCanvas canvas;
  FormantChart chart;
  std::vector<FormantValue> trail = Trail(500, 2000);
  trail[39] = FormantValue{};  // a silent frame: at (0, 0) Hz, outside the plot
  chart.Paint(canvas, kWidth, kHeight, trail, NarrowView(), nullptr);

  const auto dots = canvas.OfKind(DrawOp::EllipseShape);
  ASSERT_EQ(dots.size(), 40u);
  for (int k = 0; k < 40; ++k) {
    const int i = 39 - k;
    EXPECT_EQ(dots[k].brush.color, Color(255 - 6 * i, 0, 0)) << i;
    EXPECT_EQ(dots[k].pen.color, dots[k].brush.color);
    EXPECT_EQ(dots[k].clip, (Rect{50, 34, kWidth, kHeight}));
  }
  EXPECT_EQ(dots.back().brush.color.r, 255);
  EXPECT_EQ(dots.front().brush.color.r, 21);
  // F1 500 is 300/600 of the width; F2 2000 is 1500/3500 of the height, measured upward.
  const int x = 50 + 390;
  const int y = 34 + kPlotH - static_cast<int>(1500.0 / 3500.0 * kPlotH);
  EXPECT_EQ(dots.back().rect, (Rect{x - 6, y - 6, x + 6, y + 6}));
  // The silent entry maps left of and below the plot and is hidden by the clip.
  const Rect silent = dots.front().rect;
  EXPECT_LT(silent.right, 50);
  EXPECT_GT(silent.top, kHeight);
}

TEST(FormantView, MapAppliesReverseThenSwap) {
  struct Case {
    bool swap, f1Reverse, f2Reverse;
    Point expected;
  } cases[] = {
      // (F1 350, F2 1200) in a 600 x 350 plot: F1 at 150/600, F2 at 700/3500.
      {false, false, false, Point{150, 350 - 70}},
      {false, true, false, Point{600 - 150, 350 - 70}},
      {false, false, true, Point{150, 70}},
      // Swapped: F1 runs up the 350 pixels, F2 across the 600.
      {true, false, false, Point{120, 350 - 87}},
      {true, true, false, Point{120, 87}},
      {true, false, true, Point{600 - 120, 350 - 87}},
  };
  for (const Case& c : cases) {
    FormantView view = NarrowView();
    view.swapXY = c.swap;
    view.f1Reverse = c.f1Reverse;
    view.f2Reverse = c.f2Reverse;
    Point point;
    ASSERT_TRUE(view.Map(350, 1200, 600, 350, point));
    EXPECT_EQ(point, c.expected) << c.swap << c.f1Reverse << c.f2Reverse;
  }
  FormantView empty = NarrowView();
  empty.f2Max = empty.f2Min;
  Point point{7, 7};
  EXPECT_FALSE(empty.Map(350, 1200, 600, 350, point));
  EXPECT_EQ(point, (Point{7, 7}));
}

// A guide set with two regions, the second disabled.
class GuideSet : public ::testing::Test {
 protected:
  GuideSet() : regions("/nonexistent/guides.ini") {
    FrequencyRegion* a = regions.GetRegion(0);
    a->Enabled = true;
    a->F1Center = 300;
    a->F2Center = 2200;
    a->F1Length = 60;
    a->F2Length = 350;
    a->Angle = 30;
    a->Color = 0x0080FF;  // orange: red 255, green 128
    FrequencyRegion* b = regions.GetRegion(1);
    b->Enabled = false;
    b->F1Center = 700;
    b->F2Center = 1200;
    b->F1Length = 60;
    b->F2Length = 150;
  }
  Regions regions;
};

TEST_F(GuideSet, OnlyEnabledRegionsAreDrawnAsClosedFilledOutlines) {
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const auto polygons = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape);
  ASSERT_EQ(polygons.size(), 1u);
  const DrawOp& outline = polygons[0];
  // A translucent fill, so that an overlapped ellipse stays visible; a solid outline.
  EXPECT_EQ(outline.brush.color.WithAlpha(255), Color(255, 128, 0));
  EXPECT_GT(outline.brush.color.a, 60);
  EXPECT_LT(outline.brush.color.a, 200);
  EXPECT_EQ(outline.pen.color, Color(255, 128, 0));
  EXPECT_EQ(outline.pen.style, PenStyle::Solid);
  ASSERT_GE(outline.points.size(), 361u);
  EXPECT_EQ(outline.points.front(), outline.points.back());

  regions.GetRegion(0)->Enabled = false;
  chart.InvalidateBackground();
  RecordingCanvas again;
  chart.Paint(again, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  EXPECT_TRUE(OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape).empty());
  EXPECT_EQ(OfKind(LastBackgroundPaint(chart), DrawOp::Line).size(), 7u);  // the grid stays
}

std::vector<DrawOp> WholeTakeDots(const DrawLog& log) {
  std::vector<DrawOp> dots;
  for (const DrawOp& op : OfKind(log, DrawOp::Fill)) {
    if (op.brush.color != Color(0, 0, 0)) dots.push_back(op);
  }
  return dots;
}

// The take's voiced blocks as 3 x 3 dots in the background: over the grid and the guides' fills, under
// the guides' names, one per cell however many blocks share it.
TEST_F(GuideSet, WholeTake_IsOneDimDotPerCellOfItsVoicedBlocks_InTheBackgroundOverTheGuides) {
  regions.GetRegion(0)->Caption = "i";
  const std::vector<FormantValue> track = {
      {60.0, 500.0, 1500.0},
      {60.0, 500.2, 1500.2},  // the same cell again
      {34.9, 600.0, 2000.0},  // below the 35 dB threshold
      {35.0, 600.0, 2000.0},  // at it
      {60.0, 0.0, 2000.0},    // no F1
      {60.0, 600.0, 0.0},     // no F2
      {60.0, 950.0, 1500.0},  // off the plot (F1 up to 800 Hz)
  };
  FormantChart chart;
  chart.SetWholeTake(track, 35.0);
  EXPECT_EQ(chart.GetWholeTakeSize(), 4u);
  RecordingCanvas canvas;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const DrawLog& background = LastBackgroundPaint(chart);
  const std::vector<DrawOp> dots = WholeTakeDots(background);
  ASSERT_EQ(dots.size(), 2u);
  for (const auto& [dot, f1, f2] : {std::tuple{dots[0], 500.0, 1500.0}, std::tuple{dots[1], 600.0, 2000.0}}) {
    Point at;
    ASSERT_TRUE(NarrowView().Map(f1, f2, kPlotW, kPlotH, at));
    const int x = at.x / 3 * 3, y = at.y / 3 * 3;
    EXPECT_EQ(dot.rect, (Rect{x, y, x + 3, y + 3})) << f1 << " " << f2;
    // Dim beside the trail's red and the guides' full colours.
    EXPECT_LT(std::max({dot.brush.color.r, dot.brush.color.g, dot.brush.color.b}), 200);
    EXPECT_EQ(dot.brush.color.a, 255);
  }
  size_t lastGridLine = 0, firstDot = background.size(), lastGuide = 0, firstName = background.size();
  for (size_t i = 0; i < background.size(); ++i) {
    const DrawOp& op = background[i];
    if (op.kind == DrawOp::Line) lastGridLine = i;
    if (op.kind == DrawOp::Fill && op.rect == dots[0].rect) firstDot = std::min(firstDot, i);
    if (op.kind == DrawOp::PolygonShape) lastGuide = i;
    if (op.kind == DrawOp::Text) firstName = std::min(firstName, i);
  }
  EXPECT_GT(firstDot, lastGridLine) << "over the grid";
  EXPECT_GT(firstDot, lastGuide) << "over the guides' fills";
  EXPECT_LT(firstDot, firstName) << "under their names";
  ASSERT_LT(firstName, background.size());
  // The paint itself adds nothing: the dots are in the image it copies.
  for (const DrawOp& op : canvas.OfKind(DrawOp::Fill)) EXPECT_NE(op.brush.color, dots[0].brush.color);

  // An empty take rebuilds the background without them.
  chart.SetWholeTake({}, 35.0);
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  EXPECT_EQ(BackgroundPaints(chart), 2);
  EXPECT_TRUE(WholeTakeDots(LastBackgroundPaint(chart)).empty());
}

// Two hours of blocks held around five vowels draw one dot per occupied cell: a few hundred fills
// instead of 288,000, and none in a paint.
TEST(FormantChart, WholeTakeOfTwoHours_DrawsEachOccupiedCellOnce) {
  std::vector<FormantValue> track(288000);
  const double vowels[5][2] = {{750, 1200}, {300, 2300}, {350, 1400}, {500, 1900}, {450, 900}};
  for (size_t i = 0; i < track.size(); ++i) {
    const double* vowel = vowels[(i / 400) % 5];
    // A spread of about +-20 Hz in F1 and +-60 Hz in F2, the same 97 offsets over and over.
    const double step = static_cast<double>(i % 97) / 96.0 - 0.5;
    track[i] = FormantValue{60.0, vowel[0] + 40.0 * step, vowel[1] + 120.0 * std::sin(7.0 * step)};
  }
  FormantChart chart;
  chart.SetWholeTake(track, 35.0);
  ASSERT_EQ(chart.GetWholeTakeSize(), track.size());
  RecordingCanvas canvas;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), nullptr);
  const size_t dots = WholeTakeDots(LastBackgroundPaint(chart)).size();
  EXPECT_GT(dots, 5u);
  EXPECT_LE(dots, 5u * 97u);
  canvas.Clear();
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), nullptr);
  EXPECT_EQ(BackgroundPaints(chart), 1) << "a paint reuses the background";
}

TEST_F(GuideSet, EachEnabledRegionsCaptionIsCentredOnItsEllipse_AfterEveryEllipse) {
  regions.GetRegion(0)->Caption = "i";
  regions.GetRegion(1)->Caption = "a";
  FrequencyRegion* third = regions.GetRegion(2);
  *third = *regions.GetRegion(0);
  third->Caption = "ɯ";
  third->F1Center = 350;
  third->F2Center = 1300;
  third->Color = 0x00FF00;  // green
  RecordingCanvas canvas;
  FormantChart chart;
  const FormantView view = NarrowView();
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), view, &regions);
  const DrawLog& background = LastBackgroundPaint(chart);
  const auto texts = OfKind(background, DrawOp::Text);
  ASSERT_EQ(texts.size(), 2u) << "the disabled /a/ has no caption";
  const int plotWidth = kWidth - FormantChart::kPlotLeft;
  const int plotHeight = kHeight - FormantChart::kPlotTop;
  for (const auto& [text, f1, f2] : {std::tuple{"i", 300, 2200}, std::tuple{"ɯ", 350, 1300}}) {
    const auto found = std::find_if(texts.begin(), texts.end(), [&](const DrawOp& op) { return op.text == text; });
    ASSERT_NE(found, texts.end()) << text;
    Point centre;
    ASSERT_TRUE(view.Map(f1, f2, plotWidth, plotHeight, centre));
    RecordingCanvas measure;
    measure.SetFont(found->font);
    const Size extent = measure.TextExtent(text);
    EXPECT_EQ(found->from, (Point{centre.x - extent.cx / 2, centre.y - extent.cy / 2})) << text;
    EXPECT_EQ(found->backgroundMode, BackgroundMode::Transparent);
    // Lighter than the fill's own colour, in the same hue, so it reads on the fill and on black.
    EXPECT_GT(found->font.color.r + found->font.color.g + found->font.color.b, 255 * 3 / 2) << text;
  }
  EXPECT_EQ(texts[1].font.color.g, 255);
  EXPECT_LT(texts[1].font.color.r, texts[1].font.color.g);
  // No ellipse is drawn over a caption.
  size_t lastPolygon = 0, firstText = background.size();
  for (size_t i = 0; i < background.size(); ++i) {
    if (background[i].kind == DrawOp::PolygonShape) lastPolygon = i;
    if (background[i].kind == DrawOp::Text) firstText = std::min(firstText, i);
  }
  EXPECT_LT(lastPolygon, firstText);
}

// The first outline point lies at angle t = 0: on the ellipse's own horizontal semi-axis, turned by Angle.
void ExpectTurnedBy(const DrawOp& outline, Point centre, double rx, int angleDegrees) {
  const double theta = angleDegrees * std::numbers::pi / 180.0;
  EXPECT_EQ(outline.points[0].x, static_cast<int>(rx * std::cos(theta) + centre.x));
  EXPECT_EQ(outline.points[0].y, static_cast<int>(rx * std::sin(theta) + centre.y));
  // A quarter turn later: the other semi-axis, turned the same way.
  const Point q = outline.points[90];
  EXPECT_NEAR(std::atan2(q.y - centre.y, q.x - centre.x), theta + std::numbers::pi / 2, 0.05);
}

TEST_F(GuideSet, SwapXYExchangesTitlesAndSemiAxesButKeepsTheAngle) {
  FormantView swapped = NarrowView();
  swapped.swapXY = true;
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), swapped, &regions);

  EXPECT_EQ(TextsIn(canvas, true).back(), "F1(Hz)");
  EXPECT_EQ(TextsIn(canvas, false).back(), "F2(Hz)");
  // F2 (500 ... 4000) now runs across 780 pixels and F1 (200 ... 800) up 361.
  const auto polygons = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape);
  ASSERT_EQ(polygons.size(), 1u);
  const Point centre{static_cast<int>(1700.0 / 3500 * kPlotW), kPlotH - static_cast<int>(100.0 / 600 * kPlotH)};
  const double rx = static_cast<int>(350.0 / 3500 * kPlotW);
  ExpectTurnedBy(polygons[0], centre, rx, 30);

  RecordingCanvas plain;
  FormantChart unswapped;
  unswapped.Paint(plain, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const Point plainCentre{static_cast<int>(100.0 / 600 * kPlotW), kPlotH - static_cast<int>(1700.0 / 3500 * kPlotH)};
  ExpectTurnedBy(OfKind(LastBackgroundPaint(unswapped), DrawOp::PolygonShape)[0], plainCentre,
                 static_cast<int>(60.0 / 600 * kPlotW), 30);
}

TEST_F(GuideSet, F1ReverseMirrorsDotsCentresAndLabelsAndGridFollowsTheTicks) {
  struct Seen {
    int dotX, outlineFirstX, labelX, tickX, gridX;
  };
  const auto paint = [this](bool reverse) {
    FormantView view = NarrowView();
    view.f1Reverse = reverse;
    regions.GetRegion(0)->Angle = 0;
    RecordingCanvas canvas;
    FormantChart chart;
    chart.Paint(canvas, kWidth, kHeight, Trail(350, 2000), view, &regions);
    Seen seen{};
    seen.dotX = canvas.OfKind(DrawOp::EllipseShape).back().rect.left + 6;
    seen.outlineFirstX = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape)[0].points[0].x;
    for (const DrawOp& op : canvas.OfKind(DrawOp::Text)) {
      if (op.text == "500") seen.labelX = op.from.x + 21 / 2;
    }
    for (const DrawOp& op : canvas.OfKind(DrawOp::Line)) {
      if (op.from.y < 34 && op.to.y - op.from.y == 6) seen.tickX = op.from.x;
    }
    seen.gridX = 50 + OfKind(LastBackgroundPaint(chart), DrawOp::Line).back().from.x;
    return seen;
  };
  const Seen normal = paint(false);
  const Seen mirrored = paint(true);
  // 350 Hz is 150 / 600 of the 780-pixel plot from the left, or from the right when reversed.
  EXPECT_EQ(normal.dotX, 50 + 195);
  EXPECT_EQ(mirrored.dotX, 50 + kPlotW - 195);
  // The outline's rightmost point (t = 0) is centre + 78 px; mirrored the centre moves, the shape does not.
  EXPECT_EQ(normal.outlineFirstX, 130 + 78);
  EXPECT_EQ(mirrored.outlineFirstX, kPlotW - 130 + 78);
  EXPECT_EQ(normal.labelX, 50 + 390);
  EXPECT_EQ(mirrored.labelX, kWidth - 390 - 1);
  EXPECT_EQ(normal.gridX, normal.tickX);
  EXPECT_EQ(mirrored.gridX, mirrored.tickX);
}

TEST_F(GuideSet, EmptyRangeDrawsPlotGridAndAxesWithoutTrailOrGuides) {
  FormantView view = NarrowView();
  view.f1Max = view.f1Min;
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(500, 2000), view, &regions);
  EXPECT_TRUE(canvas.OfKind(DrawOp::EllipseShape).empty());
  EXPECT_TRUE(OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape).empty());
  EXPECT_EQ(OfKind(LastBackgroundPaint(chart), DrawOp::Line).size(), 6u);  // the F2 grid only
  EXPECT_EQ(TextsIn(canvas, false), (std::vector<std::string>{"F1(Hz)"}));
  EXPECT_EQ(canvas.OfKind(DrawOp::Image).size(), 1u);
}

TEST(FormantChart, InvertedRangeHasNoTicksAndMirrorsTheDots) {
  FormantView view = NarrowView();
  std::swap(view.f1Min, view.f1Max);  // 800 ... 200
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(350, 2000), view, nullptr);
  EXPECT_EQ(TextsIn(canvas, false), (std::vector<std::string>{"F1(Hz)"}));
  for (const DrawOp& op : canvas.OfKind(DrawOp::Line)) EXPECT_GE(op.from.y, 34) << "no F1 tick";
  EXPECT_EQ(canvas.OfKind(DrawOp::EllipseShape).back().rect.left + 6, 50 + 585);  // 450 / 600 of 780
}

TEST(FormantChart, BackgroundIsRebuiltOncePerSizeOrChangeAndReusedOtherwise) {
  RecordingCanvas canvas;
  FormantChart chart;
  const auto trail = Trail(500, 2000);
  Regions other("/nonexistent/other.ini");
  struct Step {
    int width, height;
    FormantView view = NarrowView();
    const Regions* regions;
    bool invalidate;
    int imagesCreated, paints;
  };
  FormantView swapped = NarrowView();
  swapped.swapXY = true;
  const Step steps[] = {
      {kWidth, kHeight, NarrowView(), nullptr, false, 1, 1},  // first paint builds it
      {kWidth, kHeight, NarrowView(), nullptr, false, 1, 1},  // same size: reused
      {kWidth, kHeight, NarrowView(), nullptr, false, 1, 1},
      {900, 500, NarrowView(), nullptr, false, 2, 1},      // new size: a new image
      {900, 500, NarrowView(), nullptr, false, 2, 1},
      {900, 500, NarrowView(), nullptr, true, 2, 2},       // marked out of date: redrawn in place
      {900, 500, swapped, nullptr, false, 2, 3},            // other settings
      {900, 500, swapped, &other, false, 2, 4},             // another guide set
      {900, 500, swapped, &other, false, 2, 4},
  };
  for (const Step& step : steps) {
    if (step.invalidate) chart.InvalidateBackground();
    chart.Paint(canvas, step.width, step.height, trail, step.view, step.regions);
    EXPECT_EQ(canvas.ImagesCreated(), step.imagesCreated) << step.width << " " << step.invalidate;
    EXPECT_EQ(BackgroundPaints(chart), step.paints) << step.width << " " << step.invalidate;
    EXPECT_EQ(chart.GetBackground()->Width(), step.width - 50);
    EXPECT_EQ(chart.GetBackground()->Height(), step.height - 34);
  }
}

TEST(FormantChart, TinyWindowDrawsOnlyWhatFits) {
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, 50, 34, Trail(500, 2000), NarrowView(), nullptr);  // no plot at all
  EXPECT_TRUE(canvas.OfKind(DrawOp::EllipseShape).empty());
  EXPECT_EQ(canvas.ImagesCreated(), 0);
  EXPECT_FALSE(canvas.GetClipRect().has_value());
}

TEST(FormantTrail, NewValueGoesToTheFrontAndTheOldestIsDropped) {
  std::vector<FormantValue> trail(FormantChart::kTrailLength);
  for (int i = 0; i < 45; ++i) FormantChart::AddToTrail(trail, FormantValue{1.0 * i, 100.0 + i, 1000.0 + i});
  ASSERT_EQ(trail.size(), 40u);
  EXPECT_EQ(trail[0].f1, 144.0);
  EXPECT_EQ(trail[39].f1, 105.0);
  EXPECT_EQ(trail[39].power, 5.0);
}

TEST(FormantTrail, PlaybackTrailEndsAtTheBlockNearestThePosition) {
  std::vector<FormantValue> track(50);
  for (int k = 0; k < 50; ++k) track[k] = FormantValue{40.0 + k, 300.0 + k, 2000.0 + k};
  struct Case {
    uint32_t position;
    int block;
  } cases[] = {{0, 0}, {137, 0}, {138, 1}, {275 * 45, 45}, {275 * 60, 60}};
  for (const Case& c : cases) {
    std::vector<FormantValue> trail(FormantChart::kTrailLength, FormantValue{1, 1, 1});
    FormantChart::SetTrailForPlayback(trail, track, c.position);
    for (int i = 0; i < 40; ++i) {
      const int block = c.block - i;
      const double expected = (block >= 0 && block < 50) ? 300.0 + block : 0.0;
      EXPECT_EQ(trail[i].f1, expected) << c.position << " entry " << i;
      if (expected == 0.0) {
        EXPECT_EQ(trail[i].power, 0.0);
      }
    }
  }
}


TEST(FormantTrail, TheNewestFirst_FadingOutAndClearing) {
  FormantTrail trail(4);
  EXPECT_TRUE(trail.IsEmpty());
  for (int i = 1; i <= 5; ++i) trail.Add(FormantValue{50.0 + i, 100.0 * i, 1000.0 + i});
  auto values = trail.Snapshot();
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].f1, 500.0);
  EXPECT_EQ(values[3].f1, 200.0) << "the oldest kept; the first one dropped";
  EXPECT_EQ(trail.Newest().power, 55.0);
  // After the recording the trail fades block by block instead of staying lit.
  for (int i = 0; i < 3; ++i) trail.Fade();
  EXPECT_FALSE(trail.IsEmpty());
  EXPECT_EQ(trail.Snapshot()[3].f1, 500.0);
  trail.Fade();
  EXPECT_TRUE(trail.IsEmpty());
  trail.SetForPlayback({{60, 700, 1200}, {60, 710, 1210}}, 300);
  EXPECT_EQ(trail.Newest().f1, 710.0);
  trail.Clear();
  EXPECT_TRUE(trail.IsEmpty());
}

TEST(FormantTrail, ASnapshotWhileTheCaptureThreadAdds_IsAlwaysOneWholeTrail) {
  FormantTrail trail(FormantChart::kTrailLength);
  std::thread capture([&] {
    for (int i = 1; i <= 20000; ++i) trail.Add(FormantValue{0, static_cast<double>(i), 0});
  });
  for (int k = 0; k < 2000; ++k) {
    const auto values = trail.Snapshot();
    // Consecutive measurements, newest first: never half of one shift and half of the next.
    for (size_t i = 1; i < values.size() && values[i].f1 != 0; ++i) {
      ASSERT_EQ(values[i].f1, values[i - 1].f1 - 1) << "snapshot " << k << " at " << i;
    }
  }
  capture.join();
  EXPECT_EQ(trail.Newest().f1, 20000.0);
}

TEST_F(GuideSet, ATargetIsDrawnBolderAndEveryOtherGuideDimmed_UntilTheTargetIsCleared) {
  FrequencyRegion* b = regions.GetRegion(1);
  b->Enabled = true;
  b->Color = 0xFF8000;  // blue 255, green 128
  RecordingCanvas canvas;
  FormantChart chart;
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const auto plain = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape);
  ASSERT_EQ(plain.size(), 2u);

  chart.SetTarget(1);
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const auto aimed = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape);
  ASSERT_EQ(aimed.size(), 2u);
  // The target: its own outline colour, a wider pen, a denser fill.
  EXPECT_EQ(aimed[1].pen.color, Color(0, 128, 255));
  EXPECT_GT(aimed[1].pen.width, plain[1].pen.width);
  EXPECT_GT(aimed[1].brush.color.a, plain[1].brush.color.a);
  // The other guide: a darker outline and a fainter fill, in the same place.
  EXPECT_LT(aimed[0].pen.color.r, plain[0].pen.color.r);
  EXPECT_LT(aimed[0].brush.color.a, plain[0].brush.color.a);
  EXPECT_EQ(aimed[0].points, plain[0].points);

  chart.SetTarget(-1);
  chart.Paint(canvas, kWidth, kHeight, Trail(0, 0), NarrowView(), &regions);
  const auto cleared = OfKind(LastBackgroundPaint(chart), DrawOp::PolygonShape);
  ASSERT_EQ(cleared.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(cleared[i].pen.color, plain[i].pen.color);
    EXPECT_EQ(cleared[i].brush.color.a, plain[i].brush.color.a);
  }
}

TEST(FormantChart, MarksAreNumberedRingsAtTheirFormants_OverTheGuidesAndTheTrail) {
  RecordingCanvas canvas;
  FormantChart chart;
  chart.SetMarks({FormantMark{500, 2250, 1}, FormantMark{0, 0, 2}, FormantMark{350, 1200, 3}});
  std::vector<FormantValue> trail = Trail(0, 0);
  trail[0] = FormantValue{60.0, 600, 1500};
  chart.Paint(canvas, kWidth, kHeight, trail, NarrowView(), nullptr);
  // A mark without formants has no place on the chart.
  const std::vector<std::string> texts = canvas.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "1"), texts.end());
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "2"), texts.end());
  std::vector<DrawOp> rings;
  size_t firstRing = 0, lastDot = 0, image = 0;
  for (size_t i = 0; i < canvas.Ops().size(); ++i) {
    const DrawOp& op = canvas.Ops()[i];
    if (op.kind == DrawOp::Image) image = i;
    if (op.kind != DrawOp::EllipseShape) continue;
    if (op.brush.style == BrushStyle::Clear) {
      if (rings.empty()) firstRing = i;
      rings.push_back(op);
    } else {
      lastDot = i;
    }
  }
  ASSERT_EQ(rings.size(), 2u);
  Point centre;
  ASSERT_TRUE(NarrowView().Map(500, 2250, kPlotW, kPlotH, centre));
  EXPECT_EQ(rings[0].rect.left + rings[0].rect.right, 2 * (50 + centre.x));
  EXPECT_EQ(rings[0].rect.top + rings[0].rect.bottom, 2 * (34 + centre.y));
  EXPECT_GT(firstRing, image);
  EXPECT_GT(firstRing, lastDot);

  chart.SetMarks({});
  canvas.Clear();
  chart.Paint(canvas, kWidth, kHeight, trail, NarrowView(), nullptr);
  for (const DrawOp& op : canvas.OfKind(DrawOp::EllipseShape)) EXPECT_NE(op.brush.style, BrushStyle::Clear);
}

}  // namespace
}  // namespace vowelscope
