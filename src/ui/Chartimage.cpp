#include "ui/Chartimage.h"

#include <QPainter>
#include <QString>

#include "ui/QtCanvas.h"

namespace vowelscope {

QImage RenderFormantChartImage(FormantChart& chart, QSize size, const std::vector<FormantValue>& trail,
                               const FormantView& view, const Regions* regions) {
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return image;
  QPainter painter(&image);
  QtCanvas canvas(painter);
  chart.Paint(canvas, size.width(), size.height(), trail, view, regions);
  return image;
}

QImage RenderFZeroChartImage(QSize size, const std::vector<WaveRender::PeakType>& peaks, const FZeroResult* result,
                             const FZeroView& view) {
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return image;
  QPainter painter(&image);
  QtCanvas canvas(painter);
  FZeroChart::Paint(canvas, size.width(), size.height(), peaks, result, view);
  return image;
}

bool SaveChartPng(const QImage& image, const std::string& path) {
  return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}

}  // namespace vowelscope
