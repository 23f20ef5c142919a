#include "ui/icons/Toolicons.h"

#include <QPainter>
#include <QPainterPath>

namespace vowelscope {

namespace {

constexpr int kToolSize = 22;

// Disabled pictures keep their shapes in light greys, as a toolkit's own disabled images do.
QColor Shade(const QColor& colour, bool enabled) {
  if (enabled) return colour;
  const int grey = 150 + qGray(colour.rgb()) * 90 / 255;
  return QColor(grey, grey, grey);
}

void DrawStopSquare(QPainter& p, const QColor& rim, bool enabled) {
  p.setPen(QPen(Shade(rim, enabled), 2));
  p.setBrush(Shade(QColor(40, 40, 40), enabled));
  p.drawRoundedRect(QRectF(5, 5, 12, 12), 1.5, 1.5);
}

}  // namespace

QPixmap ToolPixmap(ToolImage image, bool enabled, qreal devicePixelRatio) {
  QPixmap pixmap(QSize(kToolSize, kToolSize) * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (image) {
    case ToolImage::StartRecord: {
      QRadialGradient fill(QPointF(9, 8), 9);
      fill.setColorAt(0, Shade(QColor(255, 120, 110), enabled));
      fill.setColorAt(1, Shade(QColor(200, 20, 20), enabled));
      p.setPen(QPen(Shade(QColor(120, 0, 0), enabled), 1.2));
      p.setBrush(fill);
      p.drawEllipse(QRectF(3.5, 3.5, 15, 15));
      break;
    }
    case ToolImage::StopRecord:
      DrawStopSquare(p, QColor(210, 30, 30), enabled);
      break;
    case ToolImage::StartPlay: {
      QPainterPath triangle;
      triangle.moveTo(6, 3.5);
      triangle.lineTo(18.5, 11);
      triangle.lineTo(6, 18.5);
      triangle.closeSubpath();
      QLinearGradient fill(QPointF(6, 4), QPointF(6, 18));
      fill.setColorAt(0, Shade(QColor(110, 210, 110), enabled));
      fill.setColorAt(1, Shade(QColor(20, 140, 40), enabled));
      p.setPen(QPen(Shade(QColor(0, 80, 10), enabled), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(fill);
      p.drawPath(triangle);
      break;
    }
    case ToolImage::StopPlay:
      DrawStopSquare(p, QColor(30, 150, 50), enabled);
      break;
  }
  return pixmap;
}

QIcon ToolIcon(ToolImage image) {
  QIcon icon;
  for (qreal ratio : {1.0, 2.0}) {
    icon.addPixmap(ToolPixmap(image, true, ratio), QIcon::Normal);
    icon.addPixmap(ToolPixmap(image, false, ratio), QIcon::Disabled);
  }
  return icon;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(40, 60, 90), 2));
    p.setBrush(QColor(250, 250, 245));
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 170, 230, 170));
    p.drawEllipse(QRectF(10, 12, 24, 16));
    p.setBrush(QColor(130, 210, 140, 170));
    p.drawEllipse(QRectF(28, 32, 26, 18));
    p.setBrush(QColor(220, 30, 30));
    const QPointF trail[] = {{20, 20}, {26, 26}, {32, 32}, {38, 38}, {43, 41}};
    qreal radius = 4.0;
    for (const QPointF& dot : trail) {
      p.drawEllipse(dot, radius, radius);
      radius -= 0.5;
    }
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vowelscope
