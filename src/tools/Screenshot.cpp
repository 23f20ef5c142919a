#include "ui/Demo.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "ui/WndMain.h"

namespace vowelscope {

namespace {

constexpr int kSettleMs = 800;   // the window is shown and laid out before recording starts
constexpr int kPollMs = 100;
constexpr int kGiveUpMs = 60000;

void Finish(TfrmMain& window, const QString& picture) {
  window.repaint();
  if (!picture.isEmpty()) {
    if (!window.grab().save(picture, "PNG")) std::fprintf(stderr, "could not write %s\n", qPrintable(picture));
  }
  QApplication::quit();
}

}  // namespace

void StartDemoIfAsked(TfrmMain& window) {
  bool ok = false;
  const int recordMs = qEnvironmentVariableIntValue("VOWELSCOPE_DEMO_RECORD_MS", &ok);
  if (!ok || recordMs <= 0) return;
  const QString picture = qEnvironmentVariable("VOWELSCOPE_DEMO_SCREENSHOT");

  QTimer::singleShot(kSettleMs, &window, [&window] { window.actStartRecord->trigger(); });
  QTimer::singleShot(kSettleMs + recordMs, &window, [&window, picture] {
    window.actStopRecord->trigger();
    // Polled rather than chained to a message, so that a recording that never started still ends the run.
    auto* poll = new QTimer(&window);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, picture, poll, waited] {
      *waited += kPollMs;
      const bool analysed = window.engine.GetFZeroResult() != nullptr;
      const bool idle = QApplication::activeModalWidget() == nullptr && !window.engine.IsRecording() &&
                        !window.engine.IsAnalysing();
      if ((idle && analysed) || *waited >= kGiveUpMs) {
        poll->stop();
        QTimer::singleShot(300, &window, [&window, picture] { Finish(window, picture); });
      }
    });
    poll->start(kPollMs);
  });
}

}  // namespace vowelscope
