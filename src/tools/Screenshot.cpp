// vowelscope-screenshot: pictures of the main window for the README.
//
//   vowelscope-screenshot RECORD-MS OUTPUT.png
//     The window on the default sound devices: records RECORD-MS milliseconds from the default input,
//     waits for the F0 analysis, plays the take back and saves a picture a moment into the playback, so
//     that the trail is lit. scripts/screenshot plays a voice into the test sound server while this
//     runs; the program itself never takes part in it.
//   vowelscope-screenshot [--settings FILE] [--regions FOLDER] --play WAVE SECONDS OUTPUT.png
//     The window with the given settings file and guide folder, on in-memory sound devices: analyses
//     WAVE as the take, plays it up to SECONDS and saves the picture there, the same every run.
//   vowelscope-screenshot [--settings FILE] [--regions FOLDER] --record WAVE SECONDS OUTPUT.png
//     The same, but WAVE is what the in-memory input hears: the window records it and the picture is
//     saved SECONDS into the recording, while the live trail and pitch are still running.
//   --target CAPTION (with --play or --record) picks the practice target; --guide SPEAKER:V1,V2,…
//     (with --play) makes a guide set from the analysed take with the guide command, naming its steady
//     stretches V1, V2, … in order, and shows the take over that set.
//   --target CAPTION (with either): the guide of that caption is the practice target from the start.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"
#include "sound/Soundimport.h"
#include "ui/DlgGuide.h"
#include "ui/WndMain.h"
#include "ui/icons/Toolicons.h"

namespace {

using vowelscope::TfrmMain;

constexpr int kSettleMs = 800;  // the window is shown and laid out before recording starts
constexpr int kPollMs = 100;
constexpr int kGiveUpMs = 60000;
constexpr int kPlayBeforePictureMs = 1500;
constexpr int kTrailSettleMs = 300;  // the playback timer has set the trail for the position

// The window's commands are its actions, found by the names they are made with.
void TriggerAction(TfrmMain& window, const char* name) {
  if (QAction* action = window.findChild<QAction*>(QString::fromLatin1(name))) action->trigger();
}

// Saves the picture and ends the program; the exit status says whether a picture of an analysed take
// was written.
void SavePicture(TfrmMain& window, const QString& picture, bool analysed) {
  window.repaint();
  const bool saved = window.grab().save(picture, "PNG");
  if (!saved) std::fprintf(stderr, "could not write %s\n", qPrintable(picture));
  if (!analysed) std::fprintf(stderr, "the take was not analysed in time\n");
  QApplication::exit(saved && analysed ? 0 : 1);
}

// Stops the recording after `recordMs`, waits until the analysis has finished (or gives up), plays the
// take and saves the picture during the playback.
void RecordScript(TfrmMain& window, int recordMs, const QString& picture) {
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
      if (analysed) TriggerAction(window, "actStartPlay");
      QTimer::singleShot(kPlayBeforePictureMs, &window,
                         [&window, picture, analysed] { SavePicture(window, picture, analysed); });
    });
    poll->start(kPollMs);
  });
}

// Analyses the file (the window's own command, which shows its progress box until done), plays it on
// the in-memory output up to `frames` and saves the picture there.
void PlayScript(TfrmMain& window, vowelscope::VirtualWaveOut& output, unsigned frames, const QString& picture,
                bool makeGuide) {
  QTimer::singleShot(kSettleMs, &window, [&window, &output, frames, picture, makeGuide] {
    TriggerAction(window, "actAnalyseFile");
    const bool analysed = window.GetEngine().GetFZeroResult() != nullptr;
    window.UpdateActions();
    if (makeGuide) TriggerAction(window, "actMakeGuide");
    TriggerAction(window, "actStartPlay");
    // A step moves the device by what it holds at most: step on, letting the playback fill it, until the
    // position is reached or the playback ends.
    QElapsedTimer clock;
    clock.start();
    for (unsigned moved = 0; moved < frames && window.GetPlayback().IsPlaying() && clock.elapsed() < kGiveUpMs;) {
      const unsigned step = output.Step(frames - moved);
      moved += step;
      if (step == 0) QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QTimer::singleShot(kTrailSettleMs, &window, [&window, picture, analysed] { SavePicture(window, picture, analysed); });
  });
}

// Records from the in-memory input, stepping it by a block at a time and letting the window handle what
// each block posted, and saves the picture `frames` into the recording, before it is stopped.
void RecordLiveScript(TfrmMain& window, vowelscope::VirtualWaveIn& input, unsigned frames, const QString& picture) {
  QTimer::singleShot(kSettleMs, &window, [&window, &input, frames, picture] {
    TriggerAction(window, "actStartRecord");
    const bool recording = window.GetEngine().IsRecording();
    constexpr unsigned kBlock = 275;
    QElapsedTimer clock;
    clock.start();
    for (unsigned moved = 0; recording && moved < frames && clock.elapsed() < kGiveUpMs;) {
      const unsigned step = input.Step(std::min(kBlock, frames - moved));
      moved += step;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // The window ends the recording when it closes.
    QTimer::singleShot(kTrailSettleMs, &window,
                       [&window, picture, recording] { SavePicture(window, picture, recording); });
  });
}

// Picks the target as the user would, from the list beside the guide selector.
void PickTarget(TfrmMain& window, const std::string& caption) {
  auto* targets = window.findChild<QComboBox*>(QStringLiteral("cbxTarget"));
  const int index = targets != nullptr ? targets->findText(QString::fromUtf8(caption.c_str())) : -1;
  if (index < 0) {
    std::fprintf(stderr, "no target %s in the guide set\n", caption.c_str());
    return;
  }
  targets->setCurrentIndex(index);
  emit targets->activated(index);
}

// Answers the guide box as a user would: the stretches named in order (any beyond the names are left
// out) and the speaker given; the stretches found go to the terminal.
bool FillGuide(vowelscope::TfrmGuide& dialog, const std::string& guide) {
  const size_t colon = guide.find(':');
  const QString speaker = QString::fromUtf8(guide.substr(0, colon).c_str());
  const QStringList names =
      colon == std::string::npos ? QStringList() : QString::fromUtf8(guide.substr(colon + 1).c_str()).split(',');
  const auto& stretches = dialog.Stretches();
  for (int row = 0; row < static_cast<int>(stretches.size()); ++row) {
    const QString name = row < names.size() ? names[row] : QString();
    std::fprintf(stderr, "stretch %d: F1 %.0f Hz, F2 %.0f Hz -> %s\n", row + 1, stretches[row].f1,
                 stretches[row].f2, qPrintable(name));
    dialog.LabelBox(row)->setCurrentText(name);
  }
  dialog.edtSpeaker->setText(speaker);
  dialog.accept();
  return dialog.result() == QDialog::Accepted;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vowelscope-screenshot RECORD-MS OUTPUT.png\n"
               "       vowelscope-screenshot [--settings FILE] [--regions FOLDER] --play WAVE SECONDS OUTPUT.png\n"
               "       vowelscope-screenshot [--settings FILE] [--regions FOLDER] --record WAVE SECONDS OUTPUT.png\n"
               "       (with --play or --record: --target CAPTION picks the practice target;\n"
               "        with --play: --guide SPEAKER:V1,V2,... makes a guide set from the take)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vowelscope"));
  QApplication::setWindowIcon(vowelscope::ApplicationIcon());

  TfrmMain::Environment environment;
  std::string wave;
  bool live = false;
  std::string target;
  std::string guide;
  double seconds = 0;
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (std::strcmp(argv[i], "--settings") == 0) {
      environment.settingsFile = argv[i + 1];
    } else if (std::strcmp(argv[i], "--regions") == 0) {
      environment.regionsFolder = argv[i + 1];
    } else if (std::strcmp(argv[i], "--target") == 0) {
      target = argv[i + 1];
    } else if (std::strcmp(argv[i], "--guide") == 0) {
      guide = argv[i + 1];
    } else if ((std::strcmp(argv[i], "--play") == 0 || std::strcmp(argv[i], "--record") == 0) && i + 2 < argc) {
      live = std::strcmp(argv[i], "--record") == 0;
      wave = argv[i + 1];
      seconds = std::atof(argv[i + 2]);
      ++i;
    } else {
      return Usage();
    }
  }
  // After the options: RECORD-MS and OUTPUT when recording, OUTPUT alone when playing a file.
  const int positional = wave.empty() ? 2 : 1;
  if (argc - i != positional) return Usage();
  const QString picture = QString::fromLocal8Bit(argv[argc - 1]);

  if (wave.empty()) {
    const int recordMs = std::atoi(argv[i]);
    if (recordMs <= 0 || environment.settingsFile || environment.regionsFolder || !target.empty() || !guide.empty())
      return Usage();
    TfrmMain window;
    window.show();
    RecordScript(window, recordMs, picture);
    return QApplication::exec();
  }

  if (seconds <= 0) return Usage();
  const unsigned frames = static_cast<unsigned>(seconds * vowelscope::Engine::GetSoundFormat().GetSampleRate());
  if (live) {
    if (!guide.empty()) return Usage();
    vowelscope::SoundImport import;
    vowelscope::SoundMemoryStream sound(vowelscope::Engine::GetSoundFormat());
    const auto status =
        vowelscope::ImportSoundFile(wave, vowelscope::Engine::GetSoundFormat().GetSampleRate(), import, sound);
    if (status != vowelscope::SoundImportStatus::Ok) {
      std::fprintf(stderr, "%s\n", vowelscope::SoundImportMessage(status, wave).c_str());
      return 1;
    }
    auto input = std::make_shared<vowelscope::VirtualWaveIn>();
    input->SetManual();
    const auto* samples = reinterpret_cast<const int16_t*>(sound.GetData());
    input->SetSourceSamples(std::vector<int16_t>(samples, samples + sound.GetLength()),
                            vowelscope::VirtualWaveIn::AtEnd::Silence);
    environment.input = input;
    environment.output = std::make_shared<vowelscope::VirtualWaveOut>();
    TfrmMain window(std::move(environment));
    window.show();
    if (!target.empty()) PickTarget(window, target);
    RecordLiveScript(window, *input, frames, picture);
    return QApplication::exec();
  }
  environment.input = std::make_shared<vowelscope::VirtualWaveIn>();
  auto output = std::make_shared<vowelscope::VirtualWaveOut>();
  output->SetManual();
  environment.output = output;
  environment.hooks.chooseAudioFile = [wave] { return QString::fromLocal8Bit(wave.c_str()); };
  environment.hooks.showError = [](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); };
  if (!guide.empty()) environment.hooks.runGuide = [guide](vowelscope::TfrmGuide& dialog) { return FillGuide(dialog, guide); };
  TfrmMain window(std::move(environment));
  window.show();
  if (!target.empty()) PickTarget(window, target);
  PlayScript(window, *output, frames, picture, !guide.empty());
  return QApplication::exec();
}
