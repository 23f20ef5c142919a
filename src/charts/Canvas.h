#pragma once
// The drawing surface the charts paint on. It follows the device-context model the chart code was
// written for: the canvas holds a current pen, brush, font, background mode, clip rectangle and pen
// position, and the drawing operations use whatever is current. Rectangles exclude their right and
// bottom edges, and a line never paints its end point, so that consecutive segments meet exactly.
// The window side supplies the implementation (ui/QtCanvas); tests use a recording canvas.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vowelscope {

struct Color {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 255;  // opacity: 255 covers what lies below, less blends with it

  constexpr Color() = default;
  constexpr Color(int red, int green, int blue, int alpha = 255)
      : r(static_cast<uint8_t>(red)), g(static_cast<uint8_t>(green)), b(static_cast<uint8_t>(blue)),
        a(static_cast<uint8_t>(alpha)) {}
  constexpr Color WithAlpha(int alpha) const { return Color(r, g, b, alpha); }
  // A colour value as stored in the region files: red in bits 0-7, green 8-15, blue 16-23.
  static constexpr Color FromColorRef(int value) {
    return Color(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
  }
  friend constexpr bool operator==(const Color&, const Color&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  friend constexpr bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };
enum class PenMode { Copy, Xor };

struct Pen {
  Color color;
  PenMode mode = PenMode::Copy;
  PenStyle style = PenStyle::Solid;
  int width = 1;
  friend bool operator==(const Pen&, const Pen&) = default;
};

enum class BrushStyle { Solid, Clear };

struct Brush {
  Color color{255, 255, 255};
  BrushStyle style = BrushStyle::Solid;
  friend bool operator==(const Brush&, const Brush&) = default;
};

enum class FontPitch { Default, Fixed, Variable };

// Style flags of a font, or-ed together.
enum FontStyle : unsigned {
  FontBold = 1,
  FontItalic = 2,
  FontUnderline = 4,
  FontStrikeOut = 8,
};

struct Font {
  std::string name;  // face name; empty means the toolkit's default face
  Color color;       // text colour
  int size = 8;      // points at 96 dots per inch
  FontPitch pitch = FontPitch::Default;
  unsigned style = 0;
  int escapement = 0;   // text direction, tenths of a degree counter-clockwise
  int orientation = 0;  // glyph rotation, tenths of a degree counter-clockwise
  friend bool operator==(const Font&, const Font&) = default;
};

// Whether text and the gaps of styled lines are backed with the brush colour.
enum class BackgroundMode { Opaque, Transparent };

class Canvas;

// An off-screen image with its own canvas, for parts of a chart that are drawn once and copied often.
class CanvasImage {
 public:
  virtual ~CanvasImage() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // A canvas drawing into this image; the drawing is complete when the canvas is destroyed.
  virtual std::unique_ptr<Canvas> CreateCanvas() = 0;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  const Pen& GetPen() const { return pen; }
  void SetPen(const Pen& value) { pen = value; }
  const Brush& GetBrush() const { return brush; }
  void SetBrush(const Brush& value) { brush = value; }
  const Font& GetFont() const { return font; }
  void SetFont(const Font& value) { font = value; }
  BackgroundMode GetBackgroundMode() const { return backgroundMode; }
  void SetBackgroundMode(BackgroundMode value) { backgroundMode = value; }

  // The clip rectangle in force, or none when the whole surface may be painted.
  const std::optional<Rect>& GetClipRect() const { return clipRect; }
  void SetClipRect(const std::optional<Rect>& value) {
    clipRect = value;
    ClipChanged();
  }

  Point GetPenPosition() const { return penPosition; }
  void MoveTo(int x, int y) { penPosition = Point{x, y}; }
  // Draws from the pen position to (x, y), without the end point, and moves the pen there.
  void LineTo(int x, int y) {
    DrawLine(penPosition, Point{x, y});
    penPosition = Point{x, y};
  }

  // Text with its top-left corner at (x, y), in the font's colour and direction.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // Width and height of the text in the current font, unrotated.
  virtual Size TextExtent(const std::string& text) = 0;
  // Fills the rectangle with the brush colour; the pen plays no part.
  virtual void FillRect(const Rect& rect) = 0;
  // A closed polygon: interior in the brush, outline in the pen.
  virtual void Polygon(const std::vector<Point>& points) = 0;
  // The ellipse inscribed in the rectangle: interior in the brush, outline in the pen.
  virtual void Ellipse(const Rect& rect) = 0;
  // Copies the whole image with its top-left corner at (x, y).
  virtual void DrawImage(int x, int y, const CanvasImage& image) = 0;
  // A new image of the given size that this canvas can draw; its content is undefined until painted.
  virtual std::unique_ptr<CanvasImage> CreateImage(int width, int height) = 0;

  // The toolkit's default font face, used for the chart labels.
  virtual std::string GetDefaultFontName() const = 0;
  // The face colour of push buttons, which the charts use as the colour around their plots.
  virtual Color GetButtonFaceColor() const = 0;

 protected:
  Canvas() { font.color = Color(0, 0, 0); }
  virtual void DrawLine(Point from, Point to) = 0;
  virtual void ClipChanged() {}

 private:
  Pen pen;
  Brush brush;
  Font font;
  BackgroundMode backgroundMode = BackgroundMode::Opaque;
  std::optional<Rect> clipRect;
  Point penPosition;
};

}  // namespace vowelscope
