#include "ui/QtCanvas.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "analysis/Fzero.h"
#include "charts/Drawutilities.h"
#include "charts/Formantchart.h"
#include "charts/Fzerochart.h"
#include "ui/Chartimage.h"

namespace vowelscope {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// A white image with a canvas on it; the drawing is finished when End() is called.
class Surface {
 public:
  explicit Surface(int width = 64, int height = 64) : image(width, height, QImage::Format_RGB32) {
    image.fill(Qt::white);
    painter = std::make_unique<QPainter>(&image);
    canvas = std::make_unique<QtCanvas>(*painter);
  }
  Canvas& operator*() { return *canvas; }
  Canvas* operator->() { return canvas.get(); }
  const QImage& End() {
    canvas.reset();
    painter.reset();
    return image;
  }

 private:
  QImage image;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<QtCanvas> canvas;
};

// The bounding box of the pixels that are not white; empty when there are none.
QRect Painted(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != kWhite) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

TEST(QtCanvas, LinesStopBeforeTheirEndPoint) {
  struct Case {
    Point from, to;
    QRect box;
  } cases[] = {
      {{2, 5}, {10, 5}, QRect(QPoint(2, 5), QPoint(9, 5))},
      {{10, 5}, {2, 5}, QRect(QPoint(3, 5), QPoint(10, 5))},
      {{7, 3}, {7, 9}, QRect(QPoint(7, 3), QPoint(7, 8))},  // a tick 6 pixels long
      {{7, 9}, {7, 3}, QRect(QPoint(7, 4), QPoint(7, 9))},
      {{0, 0}, {2, 6}, QRect(QPoint(0, 0), QPoint(2, 5))},
      {{0, 0}, {4, 4}, QRect(QPoint(0, 0), QPoint(3, 3))},
      {{5, 5}, {6, 5}, QRect(QPoint(5, 5), QPoint(5, 5))},
      {{5, 5}, {5, 5}, QRect()},
  };
  for (const Case& c : cases) {
    Surface surface;
    surface->SetPen(Pen{Color(0, 0, 255)});
    surface->MoveTo(c.from.x, c.from.y);
    surface->LineTo(c.to.x, c.to.y);
    const QImage& image = surface.End();
    EXPECT_EQ(Painted(image), c.box) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
    if (!c.box.isEmpty()) {
      EXPECT_EQ(image.pixel(c.box.topLeft()), qRgb(0, 0, 255));
    }
  }
}

TEST(QtCanvas, DottedPenLeavesGapsAndClearPenDrawsNothing) {
  Surface dotted;
  dotted->SetPen(Pen{Color(0, 0, 0), PenMode::Copy, PenStyle::Dot, 1});
  dotted->SetBackgroundMode(BackgroundMode::Transparent);
  dotted->MoveTo(0, 10);
  dotted->LineTo(60, 10);
  const QImage& image = dotted.End();
  int inked = 0;
  for (int x = 0; x < 60; ++x) inked += image.pixel(x, 10) != kWhite;
  EXPECT_GT(inked, 20);
  EXPECT_LT(inked, 40);

  Surface clear;
  clear->SetPen(Pen{Color(0, 0, 0), PenMode::Copy, PenStyle::Clear, 1});
  clear->MoveTo(0, 10);
  clear->LineTo(60, 10);
  EXPECT_TRUE(Painted(clear.End()).isEmpty());
}

TEST(QtCanvas, RectanglesAndEllipsesExcludeTheirRightAndBottomEdges) {
  Surface fill;
  fill->SetBrush(Brush{Color(255, 0, 0)});
  fill->FillRect(Rect{2, 3, 6, 8});
  const QImage& filled = fill.End();
  EXPECT_EQ(Painted(filled), QRect(QPoint(2, 3), QPoint(5, 7)));
  EXPECT_EQ(filled.pixel(2, 3), qRgb(255, 0, 0));

  Surface dot;
  dot->SetPen(Pen{Color(200, 0, 0)});
  dot->SetBrush(Brush{Color(200, 0, 0)});
  dot->Ellipse(Rect{20 - 6, 30 - 6, 20 + 6, 30 + 6});  // a trail dot at (20, 30)
  const QImage& ellipse = dot.End();
  EXPECT_EQ(Painted(ellipse), QRect(14, 24, 12, 12));
  EXPECT_EQ(ellipse.pixel(20, 30), qRgb(200, 0, 0));
  EXPECT_EQ(ellipse.pixel(14, 24), kWhite);  // the corner lies outside the circle
}

TEST(QtCanvas, PolygonIsFilledWithTheBrushAndOutlinedWithThePen) {
  Surface surface;
  surface->SetPen(Pen{Color(0, 0, 255)});
  surface->SetBrush(Brush{Color(0, 255, 0)});
  surface->Polygon({{10, 10}, {50, 10}, {50, 40}, {10, 40}, {10, 10}});
  const QImage& image = surface.End();
  EXPECT_EQ(image.pixel(30, 25), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(10, 25), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(30, 10), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(9, 25), kWhite);
}

TEST(QtCanvas, ClipHidesWhatLiesOutsideUntilItIsRemoved) {
  Surface surface;
  surface->SetBrush(Brush{Color(0, 0, 0)});
  {
    ClipCanvas clip(*surface, Rect{10, 10, 20, 20});
    surface->FillRect(Rect{0, 0, 64, 64});
  }
  surface->FillRect(Rect{40, 40, 42, 42});
  const QImage& image = surface.End();
  EXPECT_EQ(image.pixel(10, 10), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(19, 19), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(20, 20), kWhite);
  EXPECT_EQ(image.pixel(9, 15), kWhite);
  EXPECT_EQ(image.pixel(41, 41), qRgb(0, 0, 0));
}

TEST(QtCanvas, TextIsMeasuredInPointsAtNinetySixDpiAndRotatedTextReadsUpward) {
  Surface plain(200, 200);
  Font font;
  font.name = plain->GetDefaultFontName();
  EXPECT_FALSE(font.name.empty());
  font.size = 9;
  plain->SetFont(font);
  const Size extent = plain->TextExtent("F2(Hz)");
  EXPECT_GE(extent.cy, 12);  // 9 points are 12 pixels
  EXPECT_LT(extent.cy, 20);
  EXPECT_GT(extent.cx, extent.cy);
  plain->SetBackgroundMode(BackgroundMode::Transparent);
  plain->TextOut(50, 60, "F2(Hz)");
  const QRect upright = Painted(plain.End());
  EXPECT_TRUE(QRect(50, 60, extent.cx, extent.cy).contains(upright)) << upright.x() << "," << upright.y();
  EXPECT_GT(upright.width(), upright.height());

  Surface rotated(200, 200);
  RotateFont(font, 900);
  rotated->SetFont(font);
  rotated->SetBackgroundMode(BackgroundMode::Transparent);
  rotated->TextOut(50, 120, "F2(Hz)");  // turns about its top-left corner: x 50 ... 50 + H, y 120 - W ... 120
  const QRect upward = Painted(rotated.End());
  EXPECT_TRUE(QRect(50, 120 - extent.cx, extent.cy, extent.cx).adjusted(-1, -1, 1, 1).contains(upward))
      << upward.x() << "," << upward.y() << " " << upward.width() << "x" << upward.height();
  EXPECT_GT(upward.height(), upward.width());

  // The text colour is the font's, not the pen's; the pen is back for the next line.
  Surface coloured(200, 60);
  font.escapement = font.orientation = 0;
  font.color = Color(0, 0, 255);
  font.size = 20;
  coloured->SetFont(font);
  coloured->SetPen(Pen{Color(255, 0, 0)});
  coloured->SetBackgroundMode(BackgroundMode::Transparent);
  coloured->TextOut(5, 5, "III");
  coloured->MoveTo(0, 55);
  coloured->LineTo(10, 55);
  const QImage& image = coloured.End();
  bool blue = false;
  for (int y = 0; y < 50 && !blue; ++y) {
    for (int x = 0; x < 200 && !blue; ++x) blue = image.pixel(x, y) == qRgb(0, 0, 255);
  }
  EXPECT_TRUE(blue);
  EXPECT_EQ(image.pixel(0, 55), qRgb(255, 0, 0));
}

TEST(QtCanvas, JapaneseTextHasGlyphs) {
  Surface surface(200, 60);
  Font font;
  font.size = 12;
  surface->SetFont(font);
  surface->SetBackgroundMode(BackgroundMode::Transparent);
  EXPECT_GT(surface->TextExtent("日本語 男性").cx, 40);
  surface->TextOut(2, 2, "日本語 男性");
  EXPECT_GT(Painted(surface.End()).width(), 40);
}

TEST(QtCanvas, OffScreenImageIsDrawnWhereAsked) {
  Surface surface;
  std::unique_ptr<CanvasImage> image = surface->CreateImage(8, 4);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 8);
  EXPECT_EQ(image->Height(), 4);
  {
    std::unique_ptr<Canvas> canvas = image->CreateCanvas();
    canvas->SetBrush(Brush{Color(0, 128, 0)});
    canvas->FillRect(Rect{0, 0, 8, 4});
  }
  surface->DrawImage(10, 20, *image);
  const QImage& result = surface.End();
  EXPECT_EQ(Painted(result), QRect(10, 20, 8, 4));
  EXPECT_EQ(result.pixel(17, 23), qRgb(0, 128, 0));

  Surface empty;
  EXPECT_EQ(empty->CreateImage(0, 0)->CreateCanvas(), nullptr);
}

QRgb PixelOf(Color color) { return qRgb(color.r, color.g, color.b); }

TEST(ChartImage, FormantChartPixelsLandWhereThePainterPutsThem) {
  FormantChart chart;
  const QSize size = DefaultFormantChartSize();
  std::vector<FormantValue> trail(FormantChart::kTrailLength);
  trail[0] = FormantValue{60, 500, 2000};
  FormantView view;
  view.f1Max = 800;  // F1 200 ... 800, F2 500 ... 4000
  const QImage image = RenderFormantChartImage(chart, size, trail, view, nullptr);
  ASSERT_EQ(image.size(), size);

  QtCanvasImage probe(1, 1);
  const QRgb face = PixelOf(probe.CreateCanvas()->GetButtonFaceColor());
  EXPECT_EQ(image.pixel(5, 5), face);
  EXPECT_EQ(image.pixel(size.width() - 1, size.height() - 1), qRgb(0, 0, 0));
  // The newest dot: F1 500 at 390 of 780 pixels, F2 2000 at 154 of 361 up from the bottom.
  EXPECT_EQ(image.pixel(50 + 390, 34 + 361 - 154), qRgb(255, 0, 0));
  // The F1 = 500 grid line is dotted dark grey in the same column.
  int grid = 0;
  for (int y = 40; y < 200; ++y) grid += image.pixel(50 + 390, y) == qRgb(64, 64, 64);
  EXPECT_GT(grid, 40);
}

TEST(ChartImage, FZeroChartShowsVoicedFramesAsRedSquares) {
  FZeroResult result(0.01, 400);
  result.values[100] = FZeroValue{530.0f, 0.9f, 60.0f};
  const QSize size = DefaultFZeroChartSize();
  const QImage image = RenderFZeroChartImage(size, {}, &result, FZeroView{});
  // Frame 100 of 200 per window is column 435; 530 Hz is half-way up the 60 ... 1000 Hz plot.
  const int y = 30 + static_cast<int>(152 - 152 * 470.0 / 940);
  EXPECT_EQ(image.pixel(40 + 435, y), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(40 + 435 - 2, y - 2), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(40 + 435 + 2, y + 2), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(40 + 300, y), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace vowelscope
