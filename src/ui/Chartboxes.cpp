#include "ui/Chartboxes.h"

#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QProgressBar>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace vowelscope {

namespace {

const QColor kScaleGrey(128, 128, 128);

constexpr int kMarkX = 52;
constexpr int kMarkLength = 5;
constexpr int kLabelRight = 78;  // labels are right-aligned here, beside the marks
constexpr int kBarFrame = 2;     // the bar's frame, inside which its fill moves

}  // namespace

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (onPaint) onPaint(painter);
}

void TResizePanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (onResize) onResize();
}

TLevelPanel::TLevelPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnlLevel"));
  setFixedWidth(kWidth);
  pbrLevel = new QProgressBar(this);
  pbrLevel->setObjectName(QStringLiteral("pbrLevel"));
  pbrLevel->setOrientation(Qt::Vertical);
  pbrLevel->setRange(0, kMaximum);
  pbrLevel->setValue(0);
  pbrLevel->setTextVisible(false);
  pbrLevel->setGeometry(8, 4, 40, 391);

  QPalette grey = palette();
  grey.setColor(QPalette::WindowText, kScaleGrey);
  auto* unit = new QLabel(QStringLiteral("(dB)"), this);
  unit->setPalette(grey);
  unit->move(56, 4);
  for (size_t i = 0; i < std::size(kScaleValues); ++i) {
    scaleLabels[i] = new QLabel(QString::number(kScaleValues[i]), this);
    scaleLabels[i]->adjustSize();
  }
  PlaceScale();
}

int TLevelPanel::ValueY(int value) const {
  // The fill's top for `value`: the bar's inside spans 0 dB at its bottom to 90 dB at its top.
  const QRect bar = pbrLevel->geometry();
  const int inside = std::max(0, bar.height() - 2 * kBarFrame);
  const double share = 1.0 - std::clamp(value, 0, kMaximum) / static_cast<double>(kMaximum);
  return bar.top() + kBarFrame + static_cast<int>(std::lround(share * inside));
}

void TLevelPanel::PlaceScale() {
  for (size_t i = 0; i < std::size(kScaleValues); ++i) {
    QLabel* label = scaleLabels[i];
    label->move(kLabelRight - label->width(), ValueY(kScaleValues[i]) - label->height() / 2);
  }
  update();
}

int TLevelPanel::LevelOf(double power) {
  if (std::isnan(power)) return 0;
  return static_cast<int>(std::clamp(std::trunc(power), 0.0, static_cast<double>(kMaximum)));
}

void TLevelPanel::SetLevel(int value) {
  // The bar ignores values outside its range, so they are brought into it here.
  pbrLevel->setValue(std::clamp(value, 0, kMaximum));
}

void TLevelPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // 4 pixels above the bar and 2 below it, as at the design height of 397.
  pbrLevel->setGeometry(8, 4, 40, std::max(0, event->size().height() - 6));
  PlaceScale();
}

void TLevelPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(kScaleGrey);
  for (int value : kScaleValues) {
    if (value == 0) continue;  // the bar's own bottom edge marks 0
    const int y = ValueY(value);
    painter.drawLine(kMarkX, y, kMarkX + kMarkLength - 1, y);
  }
}

}  // namespace vowelscope
