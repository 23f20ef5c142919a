#pragma once
// A canvas that draws nothing and records every drawing operation with the state it was drawn in,
// so that tests can assert where ticks, labels, dots and ellipses went. Text is measured as 7 pixels
// per byte and (point size + 3) pixels high.

#include <memory>
#include <string>
#include <vector>

#include "charts/Canvas.h"

namespace vowelscope::testing {

struct DrawOp {
  enum Kind { Line, Text, Fill, PolygonShape, EllipseShape, Image };
  Kind kind = Line;
  Point from;  // Line: start; Text, Image: top-left corner
  Point to;    // Line: end (not painted)
  Rect rect;   // Fill, EllipseShape
  std::vector<Point> points;
  std::string text;
  const CanvasImage* image = nullptr;
  Pen pen;
  Brush brush;
  Font font;
  BackgroundMode backgroundMode = BackgroundMode::Opaque;
  std::optional<Rect> clip;
};

using DrawLog = std::vector<DrawOp>;

class RecordingCanvas : public Canvas {
 public:
  explicit RecordingCanvas(std::shared_ptr<DrawLog> log = std::make_shared<DrawLog>()) : log(std::move(log)) {}

  const DrawLog& Ops() const { return *log; }
  std::vector<DrawOp> OfKind(DrawOp::Kind kind) const {
    std::vector<DrawOp> result;
    for (const DrawOp& op : *log) {
      if (op.kind == kind) result.push_back(op);
    }
    return result;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> result;
    for (const DrawOp& op : *log) {
      if (op.kind == DrawOp::Text) result.push_back(op.text);
    }
    return result;
  }
  void Clear() { log->clear(); }
  int ImagesCreated() const { return imagesCreated; }

  void TextOut(int x, int y, const std::string& text) override {
    DrawOp op = Make(DrawOp::Text);
    op.from = Point{x, y};
    op.text = text;
    log->push_back(op);
  }
  Size TextExtent(const std::string& text) override {
    return Size{7 * static_cast<int>(text.size()), GetFont().size + 3};
  }
  void FillRect(const Rect& rect) override {
    DrawOp op = Make(DrawOp::Fill);
    op.rect = rect;
    log->push_back(op);
  }
  void Polygon(const std::vector<Point>& points) override {
    DrawOp op = Make(DrawOp::PolygonShape);
    op.points = points;
    log->push_back(op);
  }
  void Ellipse(const Rect& rect) override {
    DrawOp op = Make(DrawOp::EllipseShape);
    op.rect = rect;
    log->push_back(op);
  }
  void DrawImage(int x, int y, const CanvasImage& image) override {
    DrawOp op = Make(DrawOp::Image);
    op.from = Point{x, y};
    op.image = &image;
    log->push_back(op);
  }
  std::unique_ptr<CanvasImage> CreateImage(int width, int height) override;
  std::string GetDefaultFontName() const override { return "TestSans"; }
  Color GetButtonFaceColor() const override { return Color(240, 240, 240); }

 protected:
  void DrawLine(Point from, Point to) override {
    DrawOp op = Make(DrawOp::Line);
    op.from = from;
    op.to = to;
    log->push_back(op);
  }

 private:
  DrawOp Make(DrawOp::Kind kind) const {
    DrawOp op;
    op.kind = kind;
    op.pen = GetPen();
    op.brush = GetBrush();
    op.font = GetFont();
    op.backgroundMode = GetBackgroundMode();
    op.clip = GetClipRect();
    return op;
  }

  std::shared_ptr<DrawLog> log;
  int imagesCreated = 0;
};

// An image whose every painting session is recorded in a log of its own.
class RecordingImage : public CanvasImage {
 public:
  RecordingImage(int width, int height) : width(width), height(height) {}
  int Width() const override { return width; }
  int Height() const override { return height; }
  std::unique_ptr<Canvas> CreateCanvas() override {
    paints.push_back(std::make_shared<DrawLog>());
    return std::make_unique<RecordingCanvas>(paints.back());
  }
  // One log per CreateCanvas call, oldest first.
  const std::vector<std::shared_ptr<DrawLog>>& Paints() const { return paints; }

 private:
  int width;
  int height;
  std::vector<std::shared_ptr<DrawLog>> paints;
};

inline std::unique_ptr<CanvasImage> RecordingCanvas::CreateImage(int width, int height) {
  ++imagesCreated;
  return std::make_unique<RecordingImage>(width, height);
}

}  // namespace vowelscope::testing
