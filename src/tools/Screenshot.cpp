// vowelscope-screenshot RECORD-MS OUTPUT.png: the main window as a user sees it after a recording. It
// starts the window on the default sound devices, records RECORD-MS milliseconds from the default input,
// waits for the F0 analysis and saves a picture of the window. scripts/screenshot plays a voice into the
// test sound server while this runs; the program itself never takes part in it.
#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/WndMain.h"
#include "ui/icons/Toolicons.h"

namespace {

using vowelscope::TfrmMain;

constexpr int kSettleMs = 800;  // the window is shown and laid out before recording starts
constexpr int kPollMs = 100;
constexpr int kGiveUpMs = 60000;

// The window's commands are its actions, found by the names they are made with.
void TriggerAction(TfrmMain& window, const char* name) {
  if (QAction* action = window.findChild<QAction*>(QString::fromLatin1(name))) action->trigger();
}

// Stops the recording after `recordMs`, then waits until the analysis has finished (or gives up) and
// saves the picture; the exit status says whether a picture of an analysed take was written.
void Script(TfrmMain& window, int recordMs, const QString& picture) {
  QTimer::singleShot(kSettleMs, &window, [&window] { TriggerAction(window, "actStartRecord"); });
  QTimer::singleShot(kSettleMs + recordMs, &window, [&window, picture] {
    TriggerAction(window, "actStopRecord");
    // Polled rather than chained to a message, so that a recording that never started still ends the run.
    auto* poll = new QTimer(&window);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, picture, poll, waited] {
      *waited += kPollMs;
      const bool analysed = window.GetEngine().GetFZeroResult() != nullptr;
      const bool idle = QApplication::activeModalWidget() == nullptr && !window.GetEngine().IsRecording() &&
                        !window.GetEngine().IsAnalysing();
      if (!(idle && analysed) && *waited < kGiveUpMs) return;
      poll->stop();
      QTimer::singleShot(300, &window, [&window, picture, analysed] {
        window.repaint();
        const bool saved = window.grab().save(picture, "PNG");
        if (!saved) std::fprintf(stderr, "could not write %s\n", qPrintable(picture));
        if (!analysed) std::fprintf(stderr, "the recording was not analysed in time\n");
        QApplication::exit(saved && analysed ? 0 : 1);
      });
    });
    poll->start(kPollMs);
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vowelscope"));
  QApplication::setWindowIcon(vowelscope::ApplicationIcon());
  const int recordMs = argc == 3 ? std::atoi(argv[1]) : 0;
  if (recordMs <= 0) {
    std::fprintf(stderr, "usage: vowelscope-screenshot RECORD-MS OUTPUT.png\n");
    return 2;
  }
  TfrmMain window;
  window.show();
  Script(window, recordMs, QString::fromLocal8Bit(argv[2]));
  return QApplication::exec();
}
