#pragma once
// Scoped guards that put a canvas back the way a drawing routine found it, the font rotation used for
// vertical axis titles, and the pixel conversion shared by the chart code.

#include <optional>

#include "charts/Canvas.h"

namespace vowelscope {

// Restores the canvas font when it goes out of scope.
class FontReminder {
 public:
  explicit FontReminder(Canvas& canvas) : canvas(canvas), font(canvas.GetFont()) {}
  ~FontReminder() { canvas.SetFont(font); }
  FontReminder(const FontReminder&) = delete;
  FontReminder& operator=(const FontReminder&) = delete;

 private:
  Canvas& canvas;
  Font font;
};

// Restores the canvas pen when it goes out of scope.
class PenReminder {
 public:
  explicit PenReminder(Canvas& canvas) : canvas(canvas), pen(canvas.GetPen()) {}
  ~PenReminder() { canvas.SetPen(pen); }
  PenReminder(const PenReminder&) = delete;
  PenReminder& operator=(const PenReminder&) = delete;

 private:
  Canvas& canvas;
  Pen pen;
};

// Clips the canvas to a rectangle for its lifetime, then puts back the clip that was in force
// before (or none).
class ClipCanvas {
 public:
  ClipCanvas(Canvas& canvas, const Rect& rect) : canvas(canvas), previous(canvas.GetClipRect()) {
    canvas.SetClipRect(rect);
  }
  ~ClipCanvas() { canvas.SetClipRect(previous); }
  ClipCanvas(const ClipCanvas&) = delete;
  ClipCanvas& operator=(const ClipCanvas&) = delete;

 private:
  Canvas& canvas;
  std::optional<Rect> previous;
};

// Turns text and glyphs of the font by angle tenths of a degree counter-clockwise (900: reading
// bottom to top).
void RotateFont(Font& font, int angle);

// Truncates toward zero like a C cast, but saturates far outside any surface (and maps NaN to 0), so
// that values from hand-edited settings or region files cannot make the conversion undefined.
int TruncToPixel(double value);

}  // namespace vowelscope
