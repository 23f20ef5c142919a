#include "ui/QtCanvas.h"

#include "ui/Filetext.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QPolygon>
#include <QString>
#include <cstdlib>

namespace vowelscope {

namespace {

// The dash patterns of the classic cosmetic pen styles, in pixels.
QList<qreal> DashPattern(PenStyle style) {
  switch (style) {
    case PenStyle::Dash: return {18, 6};
    case PenStyle::Dot: return {3, 3};
    case PenStyle::DashDot: return {9, 6, 3, 6};
    case PenStyle::DashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

// A canvas with its own painter on an image; the painting ends with the canvas.
class ImagePainter {
 protected:
  explicit ImagePainter(QImage& image) : painter(&image) {}
  QPainter painter;
};

class QtImageCanvas : private ImagePainter, public QtCanvas {
 public:
  explicit QtImageCanvas(QImage& image) : ImagePainter(image), QtCanvas(ImagePainter::painter) {}
};

}  // namespace

QtCanvas::QtCanvas(QPainter& painter) : painter(painter) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
}

QtCanvas::~QtCanvas() { painter.setClipping(false); }

QFont QtCanvas::ToQFont(const Font& font) {
  QFont result = font.name.empty() ? QGuiApplication::font() : QFont(QString::fromStdString(font.name));
  // Points at 96 dots per inch, rounded as the classic toolkits do.
  result.setPixelSize(std::max(1, (std::abs(font.size) * 96 + 36) / 72));
  if (font.pitch == FontPitch::Fixed) {
    result.setFixedPitch(true);
    result.setStyleHint(QFont::Monospace);
  }
  result.setBold((font.style & FontBold) != 0);
  result.setItalic((font.style & FontItalic) != 0);
  result.setUnderline((font.style & FontUnderline) != 0);
  result.setStrikeOut((font.style & FontStrikeOut) != 0);
  return result;
}

void QtCanvas::ApplyPen() {
  const Pen& pen = GetPen();
  if (appliedPen && *appliedPen == pen) return;
  if (pen.style == PenStyle::Clear) {
    painter.setPen(Qt::NoPen);
  } else {
    QPen qpen(ToQColor(pen.color));
    qpen.setWidth(pen.width <= 1 ? 0 : pen.width);  // width 0: cosmetic, one pixel at any scale
    qpen.setCapStyle(pen.width <= 1 ? Qt::FlatCap : Qt::RoundCap);
    qpen.setJoinStyle(Qt::RoundJoin);
    if (pen.style != PenStyle::Solid) qpen.setDashPattern(DashPattern(pen.style));
    painter.setPen(qpen);
  }
  painter.setCompositionMode(pen.mode == PenMode::Xor ? QPainter::RasterOp_SourceXorDestination
                                                      : QPainter::CompositionMode_SourceOver);
  appliedPen = pen;
}

void QtCanvas::ApplyBrush() {
  const Brush& brush = GetBrush();
  if (appliedBrush && *appliedBrush == brush) return;
  if (brush.style == BrushStyle::Clear) {
    painter.setBrush(Qt::NoBrush);
  } else {
    painter.setBrush(ToQColor(brush.color));
  }
  appliedBrush = brush;
  appliedMode.reset();  // the background colour follows the brush
}

void QtCanvas::ApplyFont() {
  const Font& font = GetFont();
  if (appliedFont && appliedFont->name == font.name && appliedFont->size == font.size &&
      appliedFont->pitch == font.pitch && appliedFont->style == font.style) {
    return;
  }
  painter.setFont(ToQFont(font));
  appliedFont = font;
}

void QtCanvas::ApplyBackground() {
  ApplyBrush();
  const BackgroundMode mode = GetBackgroundMode();
  if (appliedMode && *appliedMode == mode) return;
  const bool opaque = mode == BackgroundMode::Opaque && GetBrush().style == BrushStyle::Solid;
  painter.setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
  painter.setBackground(ToQColor(GetBrush().color));
  appliedMode = mode;
}

void QtCanvas::DrawLine(Point from, Point to) {
  if (from == to || GetPen().style == PenStyle::Clear) return;
  ApplyPen();
  ApplyBackground();
  if (GetPen().width > 1) {
    painter.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
    return;
  }
  // Paint from the start up to, not including, the end point. Qt's aliased cosmetic lines leave out
  // the pixel furthest right (or, for steep lines, lowest) whichever way they run, so the line is drawn
  // to the last pixel wanted and that pixel is painted on its own when Qt would leave it out.
  const int dx = to.x - from.x;
  const int dy = to.y - from.y;
  const int steps = std::max(std::abs(dx), std::abs(dy));
  const QPoint start(from.x, from.y);
  if (steps == 1) {
    painter.drawPoint(start);
    return;
  }
  const double scale = static_cast<double>(steps - 1) / steps;
  const QPoint last(from.x + static_cast<int>(std::lround(dx * scale)), from.y + static_cast<int>(std::lround(dy * scale)));
  painter.drawLine(start, last);
  if (GetPen().style == PenStyle::Solid) {
    const bool flat = std::abs(dx) >= std::abs(dy);
    const bool startDropped = flat ? start.x() > last.x() : start.y() > last.y();
    painter.drawPoint(startDropped ? start : last);
  }
}

void QtCanvas::TextOut(int x, int y, const std::string& text) {
  ApplyFont();
  ApplyBackground();
  const Font& font = GetFont();
  // Text is drawn with the pen colour; the line pen is selected again at the next line.
  painter.setPen(ToQColor(font.color));
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  appliedPen.reset();
  const QString string = FileTextToDisplay(text);
  const int ascent = painter.fontMetrics().ascent();
  if (font.escapement == 0) {
    painter.drawText(QPoint(x, y + ascent), string);
    return;
  }
  // Rotated text turns about its top-left corner.
  painter.save();
  painter.translate(x, y);
  painter.rotate(-font.escapement / 10.0);
  painter.drawText(QPoint(0, ascent), string);
  painter.restore();
}

Size QtCanvas::TextExtent(const std::string& text) {
  ApplyFont();
  const QFontMetrics metrics = painter.fontMetrics();
  const QString string = FileTextToDisplay(text);
  return Size{metrics.horizontalAdvance(string), metrics.height()};
}

void QtCanvas::FillRect(const Rect& rect) {
  if (rect.Width() <= 0 || rect.Height() <= 0 || GetBrush().style == BrushStyle::Clear) return;
  painter.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ToQColor(GetBrush().color));
}

void QtCanvas::Polygon(const std::vector<Point>& points) {
  if (points.empty()) return;
  ApplyPen();
  ApplyBrush();
  QPolygon polygon(static_cast<qsizetype>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
  painter.drawPolygon(polygon, Qt::OddEvenFill);
}

void QtCanvas::Ellipse(const Rect& rect) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  ApplyPen();
  ApplyBrush();
  // The outline of a one-pixel pen lies on the rectangle, whose right and bottom edges are excluded.
  painter.drawEllipse(QRect(rect.left, rect.top, rect.Width() - 1, rect.Height() - 1));
}

void QtCanvas::DrawImage(int x, int y, const CanvasImage& image) {
  const auto* qtImage = dynamic_cast<const QtCanvasImage*>(&image);
  if (qtImage == nullptr) return;  // an image of another kind of canvas cannot be copied here
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  appliedPen.reset();
  painter.drawImage(QPoint(x, y), qtImage->GetImage());
}

std::unique_ptr<CanvasImage> QtCanvas::CreateImage(int width, int height) {
  return std::make_unique<QtCanvasImage>(width, height);
}

std::string QtCanvas::GetDefaultFontName() const { return QGuiApplication::font().family().toStdString(); }

Color QtCanvas::GetButtonFaceColor() const {
  const QColor color = QGuiApplication::palette().color(QPalette::Button);
  return Color(color.red(), color.green(), color.blue());
}

void QtCanvas::ClipChanged() {
  const std::optional<Rect>& clip = GetClipRect();
  if (clip) {
    painter.setClipRect(QRect(clip->left, clip->top, clip->Width(), clip->Height()));
  } else {
    painter.setClipping(false);
  }
}

QtCanvasImage::QtCanvasImage(int width, int height)
    : image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image.fill(Qt::black);
}

std::unique_ptr<Canvas> QtCanvasImage::CreateCanvas() {
  if (image.isNull()) return nullptr;
  return std::make_unique<QtImageCanvas>(image);
}

}  // namespace vowelscope
