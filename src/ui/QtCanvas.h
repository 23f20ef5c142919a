#pragma once
// The charts' Canvas on a QPainter, and off-screen chart images on QImage. Lines and shapes are drawn
// without antialiasing so that ticks, grid lines and dots land on whole pixels as the chart code
// computes them; text keeps the toolkit's antialiasing. Fonts are sized as points at 96 dots per inch.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>

#include "charts/Canvas.h"

namespace vowelscope {

class QtCanvas : public Canvas {
 public:
  // Draws through a painter that is active on its device for the lifetime of the canvas.
  explicit QtCanvas(QPainter& painter);
  ~QtCanvas() override;

  void TextOut(int x, int y, const std::string& text) override;
  Size TextExtent(const std::string& text) override;
  void FillRect(const Rect& rect) override;
  void Polygon(const std::vector<Point>& points) override;
  void Ellipse(const Rect& rect) override;
  void DrawImage(int x, int y, const CanvasImage& image) override;
  std::unique_ptr<CanvasImage> CreateImage(int width, int height) override;
  std::string GetDefaultFontName() const override;
  Color GetButtonFaceColor() const override;

  static QColor ToQColor(Color color) { return QColor(color.r, color.g, color.b, color.a); }
  // The QFont a canvas font stands for (without its rotation).
  static QFont ToQFont(const Font& font);

 protected:
  void DrawLine(Point from, Point to) override;
  void ClipChanged() override;

 private:
  // Selects the canvas pen, brush or font into the painter when they differ from what it holds.
  void ApplyPen();
  void ApplyBrush();
  void ApplyFont();
  void ApplyBackground();

  QPainter& painter;
  std::optional<Pen> appliedPen;
  std::optional<Brush> appliedBrush;
  std::optional<Font> appliedFont;
  std::optional<BackgroundMode> appliedMode;
};

// An RGB image the charts can draw into and copy from (the formant chart's cached background, the
// chart pictures written to PNG files).
class QtCanvasImage : public CanvasImage {
 public:
  QtCanvasImage(int width, int height);
  int Width() const override { return image.width(); }
  int Height() const override { return image.height(); }
  std::unique_ptr<Canvas> CreateCanvas() override;

  const QImage& GetImage() const { return image; }
  QImage& GetImage() { return image; }

 private:
  QImage image;
};

}  // namespace vowelscope
