#pragma once
// What the window tests share: a synthetic voice to record, a wait that keeps the event loop running, the
// window's controls by their object names, hooks that answer the window's questions from the test, and
// the window itself on in-memory sound devices.

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "base/Fileutilities.h"
#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"
#include "ui/WndMain.h"

namespace vowelscope::wndtest {

constexpr int kRate = 11025;

// A vowel-like voice: a pulse train at `pitch` Hz through resonators at `f1` and `f2`.
inline std::vector<int16_t> Voice(double seconds, double pitch, double f1 = 700, double f2 = 1200) {
  const size_t n = static_cast<size_t>(seconds * kRate);
  std::vector<double> x(n, 0.0);
  for (size_t pulse = 0;; ++pulse) {
    const auto at = static_cast<size_t>(pulse * kRate / pitch);
    if (at >= n) break;
    x[at] = 1.0;
  }
  for (double f : {f1, f2}) {
    const double r = std::exp(-M_PI * 90.0 / kRate);
    const double c1 = 2 * r * std::cos(2 * M_PI * f / kRate);
    const double c2 = -r * r;
    double y1 = 0, y2 = 0;
    for (double& v : x) {
      const double y = v * (1 - c1 - c2) + c1 * y1 + c2 * y2;
      y2 = y1;
      y1 = y;
      v = y;
    }
  }
  double peak = 1e-9;
  for (double v : x) peak = std::max(peak, std::abs(v));
  std::vector<int16_t> samples(n);
  for (size_t i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(x[i] / peak * 12000);
  return samples;
}

// The take's samples, to compare a take before and after a command.
inline std::vector<int16_t> Samples(const SoundMemoryStream* sound) {
  const auto* data = reinterpret_cast<const int16_t*>(sound->GetData());
  return std::vector<int16_t>(data, data + sound->GetLength());
}

// Processes events until `done` holds; false after `limitMs`.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A control or action of the window, by the object name it is made with.
template <typename T>
T* Child(const QObject& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << "the window has no " << name;
  return child;
}

inline QAction* Action(const QObject& window, const char* name) { return Child<QAction>(window, name); }

// The pixels of exactly `colour` in a control's picture, in its columns from `first` up to `end` (to the
// right edge when `end` is negative): how the tests count what a chart drew.
inline int ColourPixels(QWidget& control, const QColor& colour, int first = 0, int end = -1) {
  const QImage image = control.grab().toImage();
  const int last = end < 0 ? image.width() : std::min(end, image.width());
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = std::max(first, 0); x < last; ++x) count += image.pixelColor(x, y) == colour ? 1 : 0;
  }
  return count;
}

// Hooks for the window that ask `answers` at each question, so that a test may set or change an answer
// after the window is made. Unanswered: no file is chosen, errors are dropped, questions get "no", an
// unsaved take is dropped, files exist as the file system says, and the guide box is cancelled.
inline TfrmMain::Hooks Forwarding(TfrmMain::Hooks& answers) {
  TfrmMain::Hooks hooks;
  hooks.chooseSaveFile = [&answers] { return answers.chooseSaveFile ? answers.chooseSaveFile() : QString(); };
  hooks.chooseOpenFile = [&answers] { return answers.chooseOpenFile ? answers.chooseOpenFile() : QString(); };
  hooks.chooseAudioFile = [&answers] { return answers.chooseAudioFile ? answers.chooseAudioFile() : QString(); };
  hooks.showError = [&answers](const QString& message) {
    if (answers.showError) answers.showError(message);
  };
  hooks.askYesNo = [&answers](const QString& question) { return answers.askYesNo && answers.askYesNo(question); };
  hooks.askSaveTake = [&answers](const QString& question) {
    return answers.askSaveTake ? answers.askSaveTake(question) : TfrmMain::TakeAnswer::Discard;
  };
  hooks.fileExists = [&answers](const std::string& name) {
    return answers.fileExists ? answers.fileExists(name) : FileExists(name);
  };
  hooks.runGuide = [&answers](TfrmGuide& dialog) { return answers.runGuide && answers.runGuide(dialog); };
  return hooks;
}

// Stops the recording and waits until its analysis has reported and the progress box is gone; false
// when that takes longer than WaitUntil's limit.
inline bool StopRecordAndWaitForTheAnalysis(TfrmMain& window) {
  Action(window, "actStopRecord")->trigger();
  const bool done = WaitUntil([&] {
    return !window.GetEngine().IsAnalysing() && !window.IsAnalysisBoxShown() &&
           QApplication::activeModalWidget() == nullptr;
  });
  QApplication::processEvents();
  return done;
}

// A window on in-memory devices that run as fast as buffers are queued, with Settings.ini and the
// regions folder in `folder` and its questions answered through `answers` (see Forwarding); shown.
struct InMemoryWindow {
  std::shared_ptr<VirtualWaveIn> input;
  std::shared_ptr<VirtualWaveOut> output;
  std::unique_ptr<TfrmMain> window;
};

inline InMemoryWindow OpenInMemoryWindow(const std::filesystem::path& folder, TfrmMain::Hooks& answers) {
  QApplication::setQuitOnLastWindowClosed(false);
  InMemoryWindow opened;
  opened.input = std::make_shared<VirtualWaveIn>();
  opened.input->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  opened.output = std::make_shared<VirtualWaveOut>();
  opened.output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  TfrmMain::Environment environment;
  environment.input = opened.input;
  environment.output = opened.output;
  environment.settingsFile = (folder / "Settings.ini").string();
  environment.regionsFolder = (folder / "regions").string();
  environment.hooks = Forwarding(answers);
  opened.window = std::make_unique<TfrmMain>(std::move(environment));
  opened.window->show();
  QApplication::processEvents();
  return opened;
}

}  // namespace vowelscope::wndtest
