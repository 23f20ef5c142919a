#include "charts/Axisdrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "charts/Drawutilities.h"
#include "RecordingCanvas.h"

namespace vowelscope {
namespace {

using testing::DrawOp;
using testing::RecordingCanvas;

std::vector<DrawOp> Lines(const RecordingCanvas& canvas) { return canvas.OfKind(DrawOp::Line); }

TEST(ViewScale, LinearMapsEndsRoundsHalfUpAndGuardsAnEmptyRange) {
  struct Case {
    double min, max;
    int length;
    double value;
    int pixel;
  } cases[] = {
      {200, 800, 600, 200, 0},    {200, 800, 600, 800, 600}, {200, 800, 600, 500, 300},
      {0, 10, 5, 1, 1},           // 0.5 rounds up
      {0, 10, 5, -1, 0},          // -0.5 + 0.5 truncates to 0
      {0, 10, 5, -3, -1},         // -1.5 + 0.5 = -1
      {500, 500, 300, 700, 0},    // empty range
      {800, 200, 600, 500, 300},  // inverted range still maps linearly
  };
  for (const Case& c : cases) {
    ViewLinearScale scale;
    scale.SetRange(c.min, c.max);
    scale.SetLength(c.length);
    EXPECT_EQ(scale.ToPixel(c.value), c.pixel) << c.min << ".." << c.max << " value " << c.value;
  }
  ViewLinearScale scale;
  scale.SetRange(200, 800);
  scale.SetLength(600);
  EXPECT_DOUBLE_EQ(scale.ToValue(300), 500.0);
  EXPECT_DOUBLE_EQ(scale.ToValue(0), 200.0);
}

TEST(ViewScale, LogarithmicMapsDecadesEvenly) {
  ViewLogScale scale;
  scale.SetRange(10, 1000);
  scale.SetLength(200);
  EXPECT_EQ(scale.ToPixel(10), 0);
  EXPECT_EQ(scale.ToPixel(100), 100);
  EXPECT_EQ(scale.ToPixel(1000), 200);
  EXPECT_NEAR(scale.ToValue(100), 100.0, 1e-9);
  EXPECT_NEAR(scale.ToValue(150), std::pow(10.0, 2.5), 1e-9);
}

AxisDrawer FormantStyleAxis(AxisPosition position, double min, double max) {
  AxisDrawer drawer;
  drawer.SetPosition(position);
  drawer.SetRange(min, max);
  drawer.SetInterval(100);
  drawer.SetMajorEvery(5);
  drawer.SetMajorTickLength(6);
  drawer.SetMinorTickLength(4);
  drawer.SetMargin(1);
  return drawer;
}

TEST(AxisDrawer, LinearTicksStopBeforeMaximumAndOnlyMultiplesOfMajorEveryAreLabelled) {
  RecordingCanvas canvas;
  AxisDrawer drawer = FormantStyleAxis(AxisPosition::Bottom, 200, 800);
  drawer.DrawAxis(canvas, Rect{50, 0, 650, 34});

  const auto lines = Lines(canvas);
  ASSERT_EQ(lines.size(), 6u);  // 200 ... 700, not 800
  for (size_t i = 0; i < lines.size(); ++i) {
    const int x = 50 + 100 * static_cast<int>(i);
    const bool major = (i == 3);
    EXPECT_EQ(lines[i].from, (Point{x, 1})) << i;
    EXPECT_EQ(lines[i].to, (Point{x, 1 + (major ? 6 : 4)})) << i;
    EXPECT_EQ(lines[i].pen.color, Color(0, 0, 0));
  }
  const auto texts = canvas.OfKind(DrawOp::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "500");
  // Centred on its tick, below it (Bottom hangs from the band's top edge).
  EXPECT_EQ(texts[0].from, (Point{350 - 21 / 2, 1 + 6}));
  EXPECT_EQ(texts[0].backgroundMode, BackgroundMode::Transparent);
  EXPECT_EQ(texts[0].font.size, 10);
  EXPECT_EQ(texts[0].font.name, "TestSans");
}

TEST(AxisDrawer, FirstLinearTickIsTheFirstMultipleOfTheIntervalAtOrAfterMinimum) {
  struct Case {
    double min;
    int firstX;
  } cases[] = {{250, 50 + 50}, {200, 50}, {0, 50}};
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    AxisDrawer drawer = FormantStyleAxis(AxisPosition::Bottom, c.min, c.min + 600);
    drawer.DrawAxis(canvas, Rect{50, 0, 650, 34});
    ASSERT_FALSE(Lines(canvas).empty());
    EXPECT_EQ(Lines(canvas)[0].from.x, c.firstX) << c.min;
  }
}

TEST(AxisDrawer, LabelsAreTruncatedIntegersOrWhatTheFormatterReturns) {
  RecordingCanvas canvas;
  AxisDrawer drawer;
  drawer.SetRange(-3, 3);
  drawer.SetInterval(2.5);
  drawer.DrawAxis(canvas, Rect{0, 0, 600, 40});
  EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"-2", "0", "2"}));

  RecordingCanvas formatted;
  drawer.SetOnFormatLabel([](const AxisDrawer& d, double value) {
    return std::to_string(static_cast<int>(value * 10)) + "/" + std::to_string(static_cast<int>(d.GetMaximum()));
  });
  drawer.DrawAxis(formatted, Rect{0, 0, 600, 40});
  EXPECT_EQ(formatted.Texts(), (std::vector<std::string>{"-25/3", "0/3", "25/3"}));
}

TEST(AxisDrawer, LabelReachingTheBandEdgeExactlyIsDropped) {
  // A one-letter label is 7 x 13 pixels; a Bottom label starts 1 pixel below the band top (tick length 1).
  struct Case {
    int right, bottom;
    double interval;
    bool drawn;
  } cases[] = {
      {100, 20, 95, true},   // label ends one pixel inside the right edge
      {100, 20, 96, false},  // label's right edge == band right
      {100, 14, 95, false},  // label's bottom == band bottom
      {100, 15, 95, true},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    AxisDrawer drawer;
    drawer.SetRange(0, c.right);
    drawer.SetInterval(c.interval);
    drawer.SetOnFormatLabel([](const AxisDrawer&, double) { return std::string("x"); });
    drawer.DrawAxis(canvas, Rect{0, 0, c.right, c.bottom});
    // The tick at 0 always sticks out on the left; only the second one can be drawn.
    EXPECT_EQ(canvas.Texts().size(), c.drawn ? 1u : 0u) << c.right << "x" << c.bottom << " " << c.interval;
    EXPECT_EQ(Lines(canvas).size(), 2u);
  }
}

TEST(AxisDrawer, ReversedVerticalAxisCountsFromTheFarEndMinusTheLineWidth) {
  RecordingCanvas canvas;
  AxisDrawer drawer;
  drawer.SetPosition(AxisPosition::Left);
  drawer.SetRange(0, 100);
  drawer.SetInterval(50);
  drawer.SetReversed(true);
  drawer.SetLineWidth(2);
  drawer.SetMajorTickLength(5);
  drawer.SetMargin(1);
  drawer.DrawAxis(canvas, Rect{0, 10, 40, 110});
  const auto lines = Lines(canvas);
  ASSERT_EQ(lines.size(), 2u);
  // Minimum at A1 - LineWidth; ticks hang from the band's right edge.
  EXPECT_EQ(lines[0].from, (Point{40 - 1 - 5, 110 - 0 - 2}));
  EXPECT_EQ(lines[0].to, (Point{40 - 1, 110 - 0 - 2}));
  EXPECT_EQ(lines[1].from.y, 110 - 50 - 2);
  EXPECT_EQ(lines[0].pen.width, 2);
  // The label of 50 is left of its tick and centred on it vertically (extent 14 x 13).
  const auto texts = canvas.OfKind(DrawOp::Text);
  ASSERT_EQ(texts.size(), 1u);  // the label of 0 would end below the band
  EXPECT_EQ(texts[0].text, "50");
  EXPECT_EQ(texts[0].from, (Point{40 - 1 - 5 - 14, 58 - 13 / 2}));
}

TEST(AxisDrawer, TitleIsCentredAndVerticalTitlesAreRotatedToReadUpward) {
  struct Case {
    AxisPosition position;
    Rect band;
    Point corner;
    int escapement;
  } cases[] = {
      // W = 42, H = 12 (9 points), offset 30 / tick 6.
      {AxisPosition::Left, Rect{0, 34, 50, 434}, Point{50 - 30 - 6 - 12, (34 + 434 - 42) / 2 + 42}, 900},
      {AxisPosition::Right, Rect{0, 34, 50, 434}, Point{0 + 30 + 6, (34 + 434 - 42) / 2 + 42}, 900},
      {AxisPosition::Top, Rect{50, 0, 850, 34}, Point{(50 + 850 - 42) / 2, 34 - 30 - 6 - 12}, 0},
      {AxisPosition::Bottom, Rect{50, 0, 850, 34}, Point{(50 + 850 - 42) / 2, 0 + 30 + 6}, 0},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    Font before;
    before.name = "Other";
    before.size = 20;
    canvas.SetFont(before);
    const Pen pen{Color(1, 2, 3), PenMode::Copy, PenStyle::Dash, 3};
    canvas.SetPen(pen);

    AxisDrawer drawer;
    drawer.SetPosition(c.position);
    drawer.SetRange(0, 0);
    drawer.SetTitle("F2(Hz)");
    drawer.SetTitleOffset(30);
    drawer.SetMajorTickLength(6);
    drawer.SetFontSize(9);
    drawer.SetTitleColor(Color(128, 128, 128));
    drawer.DrawAxis(canvas, c.band);

    const auto texts = canvas.OfKind(DrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].from, c.corner) << static_cast<int>(c.position);
    EXPECT_EQ(texts[0].font.escapement, c.escapement);
    EXPECT_EQ(texts[0].font.orientation, c.escapement);
    EXPECT_EQ(texts[0].font.color, Color(128, 128, 128));
    // Font, pen and background mode come back as they were.
    EXPECT_EQ(canvas.GetFont(), before);
    EXPECT_EQ(canvas.GetPen(), pen);
    EXPECT_EQ(canvas.GetBackgroundMode(), BackgroundMode::Opaque);
  }
}

TEST(AxisDrawer, LogarithmicTicksFillTheDecadesAndDecadesAreAlwaysMajor) {
  RecordingCanvas canvas;
  AxisDrawer drawer;
  drawer.SetLogarithmic(true);
  drawer.SetRange(50, 5000);
  drawer.SetInterval(10);
  drawer.SetMajorEvery(5);
  drawer.SetMajorTickLength(6);
  drawer.SetMinorTickLength(3);
  drawer.DrawAxis(canvas, Rect{0, 0, 400, 40});

  const std::vector<double> values = {90,  80,  70,  60,  100,  200,  300,  400,  500,
                                      600, 700, 800, 900, 1000, 2000, 3000, 4000};
  ViewLogScale scale;
  scale.SetRange(50, 5000);
  scale.SetLength(400);
  const auto lines = Lines(canvas);
  ASSERT_EQ(lines.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const bool major = values[i] == 100 || values[i] == 500 || values[i] == 1000;
    EXPECT_EQ(lines[i].from.x, scale.ToPixel(values[i])) << values[i];
    EXPECT_EQ(lines[i].to.y - lines[i].from.y, major ? 6 : 3) << values[i];
  }
  EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"100", "500", "1000"}));

  RecordingCanvas grid;
  drawer.DrawGrid(grid, Rect{0, 0, 400, 300});
  const auto gridLines = Lines(grid);
  ASSERT_EQ(gridLines.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const bool decade = values[i] == 100 || values[i] == 1000;
    EXPECT_EQ(gridLines[i].pen.style, decade ? PenStyle::Solid : PenStyle::Dot) << values[i];
  }
}

TEST(AxisDrawer, LinearGridDrawsMajorValuesOnlyAndNotTheStartingEdge) {
  RecordingCanvas canvas;
  AxisDrawer drawer = FormantStyleAxis(AxisPosition::Left, 500, 4000);
  drawer.SetReversed(true);
  drawer.SetGridColor(Color(64, 64, 64));
  drawer.SetGridStyle(PenStyle::Dot);
  drawer.DrawGrid(canvas, Rect{0, 0, 300, 350});
  const auto lines = Lines(canvas);
  ASSERT_EQ(lines.size(), 6u);  // 1000 ... 3500; 500 is the minimum
  for (size_t i = 0; i < lines.size(); ++i) {
    const int value = 1000 + 500 * static_cast<int>(i);
    const int y = 350 - (value - 500) / 10 - 1;
    EXPECT_EQ(lines[i].from, (Point{1, y})) << value;
    EXPECT_EQ(lines[i].to, (Point{300 - 2, y})) << value;
    EXPECT_EQ(lines[i].pen.style, PenStyle::Dot);
    EXPECT_EQ(lines[i].pen.color, Color(64, 64, 64));
  }

  RecordingCanvas fromZero;
  AxisDrawer zero = FormantStyleAxis(AxisPosition::Top, 0, 1000);
  zero.DrawGrid(fromZero, Rect{0, 0, 1000, 100});
  ASSERT_EQ(Lines(fromZero).size(), 1u);  // 500 only; no line at 0
  EXPECT_EQ(Lines(fromZero)[0].from, (Point{500, 1}));
  EXPECT_EQ(Lines(fromZero)[0].to, (Point{500, 100 - 2}));

  RecordingCanvas axisFromZero;
  zero.DrawAxis(axisFromZero, Rect{0, 0, 1000, 34});
  EXPECT_EQ(Lines(axisFromZero).front().from.x, 0);  // the tick at 0 itself is drawn
}

TEST(AxisDrawer, DegenerateRangesAndIntervalsDrawNoTicksButKeepTheTitle) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    bool log;
    double min, max, interval;
    int majorEvery;
  } cases[] = {
      {false, 500, 500, 100, 5},  // empty range
      {false, 0, 100, 0, 1},      // would never reach the maximum
      {false, 0, 100, -5, 1},
      {false, 0, 100, nan, 1},
      {false, 0, 1e300, 1e-300, 1},  // finite, but far more ticks than pixels
      {true, 50, 50, 10, 1},
      {true, 0, 100, 10, 1},  // log of 0
      {true, 10, 100, 1, 1},  // a base of 1 has no decades
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    AxisDrawer drawer;
    drawer.SetLogarithmic(c.log);
    drawer.SetRange(c.min, c.max);
    drawer.SetInterval(c.interval);
    drawer.SetMajorEvery(c.majorEvery);
    drawer.SetTitle("t");
    drawer.DrawAxis(canvas, Rect{0, 0, 300, 40});
    drawer.DrawGrid(canvas, Rect{0, 0, 300, 300});
    EXPECT_TRUE(Lines(canvas).empty()) << c.log << " " << c.min << ".." << c.max << " / " << c.interval;
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"t"}));
  }
}

TEST(AxisDrawer, ZeroMajorEveryMakesEveryTickMinor) {
  RecordingCanvas canvas;
  AxisDrawer drawer = FormantStyleAxis(AxisPosition::Bottom, 0, 1000);
  drawer.SetMajorEvery(0);
  drawer.DrawAxis(canvas, Rect{0, 0, 1000, 34});
  drawer.DrawGrid(canvas, Rect{0, 0, 1000, 300});
  EXPECT_EQ(Lines(canvas).size(), 10u);  // ticks only, no grid line
  EXPECT_TRUE(canvas.Texts().empty());
}

TEST(DrawUtilities, GuardsPutBackFontPenAndClip) {
  RecordingCanvas canvas;
  const Rect outer{0, 0, 100, 100};
  {
    ClipCanvas first(canvas, outer);
    EXPECT_EQ(canvas.GetClipRect(), outer);
    {
      ClipCanvas second(canvas, Rect{10, 10, 20, 20});
      EXPECT_EQ(canvas.GetClipRect(), (Rect{10, 10, 20, 20}));
    }
    EXPECT_EQ(canvas.GetClipRect(), outer);
  }
  EXPECT_FALSE(canvas.GetClipRect().has_value());

  const Font font = canvas.GetFont();
  const Pen pen = canvas.GetPen();
  {
    FontReminder fontReminder(canvas);
    PenReminder penReminder(canvas);
    Font rotated = font;
    RotateFont(rotated, 900);
    EXPECT_EQ(rotated.escapement, 900);
    EXPECT_EQ(rotated.orientation, 900);
    canvas.SetFont(rotated);
    canvas.SetPen(Pen{Color(9, 9, 9), PenMode::Xor, PenStyle::Dot, 4});
  }
  EXPECT_EQ(canvas.GetFont(), font);
  EXPECT_EQ(canvas.GetPen(), pen);
}

TEST(DrawUtilities, TruncToPixelTruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(TruncToPixel(2.9), 2);
  EXPECT_EQ(TruncToPixel(-2.9), -2);
  EXPECT_EQ(TruncToPixel(1e30), 100000000);
  EXPECT_EQ(TruncToPixel(-1e30), -100000000);
  EXPECT_EQ(TruncToPixel(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace vowelscope
