#pragma once
// The small widgets of the main window that draw themselves: paint boxes whose picture comes from the
// window's paint handlers, and the level panel with its fixed scale beside the stretching meter.

#include <QFrame>
#include <QWidget>

#include <functional>
#include <iterator>

class QLabel;
class QProgressBar;

namespace vowelscope {

// A widget that paints only through its handler. It covers its whole area, so the toolkit need not
// erase it first.
class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  using PaintHandler = std::function<void(QPainter&)>;

  explicit TPaintBox(QWidget* parent = nullptr);
  void SetOnPaint(PaintHandler handler) { onPaint = std::move(handler); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PaintHandler onPaint;
};

// A frame that reports its resizes (the F0 chart rebuilds its waveform for a new width).
class TResizePanel : public QFrame {
  Q_OBJECT

 public:
  explicit TResizePanel(QWidget* parent = nullptr) : QFrame(parent) {}
  void SetOnResize(std::function<void()> handler) { onResize = std::move(handler); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::function<void()> onResize;
};

// The level meter's panel: the vertical bar (0 to 90 dB) follows the panel's height, and the scale
// labels and their marks are placed from the bar's geometry at every size, so they always read true.
class TLevelPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 80;
  static constexpr int kMaximum = 90;

  explicit TLevelPanel(QWidget* parent = nullptr);

  // A bar value for a power in dB: truncated and kept within 0 ... 90 (also for -inf and NaN).
  static int LevelOf(double power);
  // Moves the bar (on the user-interface thread: the window hands levels over in its messages).
  void SetLevel(int value);

  // The scale's values, top to bottom.
  static constexpr int kScaleValues[] = {80, 60, 40, 20, 0};

  // The panel's y at which the bar's fill ends for `value` dB; the scale's labels are centred there.
  int ValueY(int value) const;

  QProgressBar* pbrLevel = nullptr;
  QLabel* scaleLabels[std::size(kScaleValues)] = {};

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void PlaceScale();
};

}  // namespace vowelscope
