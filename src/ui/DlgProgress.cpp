#include "ui/DlgProgress.h"

#include "base/Callback.h"
#include "ui/Dialogfont.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace vowelscope {

TfrmProgress::TfrmProgress(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmProgress"));
  setFont(DialogFont(8));
  setModal(true);
  setFixedSize(340, 96);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Bevel1->setLineWidth(2);
  Bevel1->setGeometry(0, 0, 340, 96);

  Label1 = new QLabel(QStringLiteral("分析中..."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(28, 20);

  pbrProgress = new QProgressBar(this);
  pbrProgress->setObjectName(QStringLiteral("pbrProgress"));
  pbrProgress->setGeometry(28, 48, 282, 21);
  pbrProgress->setRange(0, BarMaximum);
  pbrProgress->setValue(0);
  pbrProgress->setTextVisible(false);
}

TfrmProgress::~TfrmProgress() = default;

int TfrmProgress::BarPosition(const ProgressCallbackParams& params) {
  const int64_t range = static_cast<int64_t>(params.maximum) - params.minimum;
  if (range <= 0) return 0;
  const int64_t value = static_cast<int64_t>(BarMaximum) * params.position / range;
  return static_cast<int>(std::clamp<int64_t>(value, 0, BarMaximum));
}

void TfrmProgress::SetPosition(int position) { pbrProgress->setValue(std::clamp(position, 0, BarMaximum)); }

void TfrmProgress::Finish() {
  finished = true;
  if (isVisible()) done(QDialog::Accepted);
}

void TfrmProgress::reject() {
  // Esc and the window manager's close do not end the analysis box.
}

void TfrmProgress::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (finished) {
    // The analysis ended before the box appeared: close it as soon as its modal loop runs.
    QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
  }
}

void TfrmProgress::closeEvent(QCloseEvent* event) {
  if (finished) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

}  // namespace vowelscope
