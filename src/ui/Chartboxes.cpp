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

struct ScaleLabel {
  const char* text;
  int left;
  int top;
};

constexpr ScaleLabel kScaleLabels[] = {{"80", 63, 50}, {"60", 63, 134}, {"40", 63, 220}, {"20", 63, 304}, {"0", 66, 383}};
constexpr int kMarkX = 52;
constexpr int kMarkLength = 5;
constexpr int kMarkYs[] = {57, 141, 227, 311};

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
  for (const ScaleLabel& label : kScaleLabels) {
    auto* text = new QLabel(QString::fromLatin1(label.text), this);
    text->move(label.left, label.top);
  }
}

int TLevelPanel::LevelOf(double power) {
  if (std::isnan(power)) return 0;
  return static_cast<int>(std::clamp(std::trunc(power), 0.0, static_cast<double>(kMaximum)));
}

void TLevelPanel::PostPosition(int value) {
  // The bar ignores values outside its range, so they are brought into it here.
  QMetaObject::invokeMethod(pbrLevel, "setValue", Qt::QueuedConnection, Q_ARG(int, std::clamp(value, 0, kMaximum)));
}

void TLevelPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // 4 pixels above the bar and 2 below it, as at the design height of 397.
  pbrLevel->setGeometry(8, 4, 40, std::max(0, event->size().height() - 6));
}

void TLevelPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(kScaleGrey);
  for (int y : kMarkYs) painter.drawLine(kMarkX, y, kMarkX + kMarkLength - 1, y);
}

}  // namespace vowelscope
