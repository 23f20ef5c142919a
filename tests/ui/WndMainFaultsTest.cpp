// The main window meeting bad input and failing devices: sessions that cannot be opened, and sound
// devices whose operations fail while recording or playing. Each must end with a message (or none, as
// for a device that stops), the previous state intact and the window ready for the next command.
#include "ui/WndMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"
#include "../platform/Fifotestsupport.h"
#include "Wndmaintestsupport.h"
#include "support/Testfolder.h"
#include "support/Wavewriter.h"
#include "ui/Chartboxes.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using wndtest::kRate;
using wndtest::Voice;
using wndtest::Action;
using wndtest::Child;
using wndtest::WaitUntil;
using wndtest::Samples;
constexpr const char* kFormatError = "ファイル形式に誤りがあります。";
constexpr const char* kReadFailed = "ファイルを読み込むことができませんでした。";

// A 16-bit PCM WAVE file of any rate and channel count, through the program's own writer; each sample
// is repeated on every channel.
void WriteWave(const fs::path& path, uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples) {
  SoundFormat format;
  format.SetKind(PcmSigned);
  format.SetNativeLayout(1);
  format.SetChannels(channels);
  format.SetSampleRate(rate);
  format.SetBitsPerSample(16);
  std::vector<int16_t> frames;
  frames.reserve(samples.size() * channels);
  for (int16_t v : samples) frames.insert(frames.end(), channels, v);
  testsupport::WriteWave(path.string(), format, frames);
}

void WriteText(const fs::path& path, const std::string& text) { testsupport::WriteFile(path, text); }

// What a user sees of a session: the sound, its two analyses, the waveform and the F0 chart.
struct SessionView {
  std::vector<int16_t> sound;
  std::shared_ptr<const FZeroResult> fzero;
  std::vector<FormantValue> track;
  std::vector<WaveRender::PeakType> peaks;
  QImage chart;
};

void ExpectSameSession(const SessionView& before, const SessionView& after, const std::string& what) {
  EXPECT_EQ(after.sound, before.sound) << what;
  EXPECT_EQ(after.fzero, before.fzero) << what;
  ASSERT_EQ(after.track.size(), before.track.size()) << what;
  for (size_t i = 0; i < before.track.size(); ++i) {
    EXPECT_EQ(after.track[i].power, before.track[i].power) << what << " block " << i;
    EXPECT_EQ(after.track[i].f1, before.track[i].f1) << what << " block " << i;
    EXPECT_EQ(after.track[i].f2, before.track[i].f2) << what << " block " << i;
  }
  EXPECT_EQ(after.peaks, before.peaks) << what;
  EXPECT_TRUE(after.chart == before.chart) << what << ": the F0 chart changed";
}

class MainWindowFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndmainfaults");
    fs::create_directories(folder / "regions");
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void TearDown() override { window.reset(); }

  void Open() {
    hooks.showError = [this](const QString& message) { errors.push_back(message.toStdString()); };
    wndtest::InMemoryWindow opened = wndtest::OpenInMemoryWindow(folder, hooks);
    input = std::move(opened.input);
    output = std::move(opened.output);
    window = std::move(opened.window);
  }

  // Neither recording, analysing nor playing, and every message of the last command handled.
  bool Settled() {
    return !window->GetEngine().IsRecording() && !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown() &&
           QApplication::activeModalWidget() == nullptr && !window->GetPlayback().IsPlaying() &&
           !window->GetPlayback().HoldsCopy() && !Child<QTimer>(*window, "tmrPlaying")->isActive();
  }

  void WaitSettled() {
    ASSERT_TRUE(WaitUntil([&] { return Settled(); }));
    QApplication::processEvents();
  }

  // Records `samples` from a stalling input, stops by the user and waits for the analysis.
  void Record(const std::vector<int16_t>& samples) {
    input->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Stall);
    Action(*window, "actStartRecord")->trigger();
    ASSERT_TRUE(window->GetEngine().IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
    Action(*window, "actStopRecord")->trigger();
    WaitSettled();
  }

  // Plays the current sound to its end and returns what the output received.
  std::vector<int16_t> PlayToTheEnd() {
    output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    output->ClearPlayed();
    Action(*window, "actStartPlay")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return Settled(); }));
    QApplication::processEvents();
    return output->PlayedSamples();
  }

  // The recording, then the silent frame that marks its end.
  std::vector<int16_t> PlayedFormOf(std::vector<int16_t> sound) {
    sound.push_back(0);
    return sound;
  }

  SessionView View() {
    return SessionView{Samples(window->GetEngine().GetSound()), window->GetEngine().GetFZeroResult(),
                       *window->GetEngine().GetFormantTrack(), window->GetWavePeaks(), Child<QWidget>(*window, "pbxFZero")->grab().toImage()};
  }

  // Enabled state of record, stop, play, stop play, options, save, open.
  std::vector<bool> Enabled() {
    window->UpdateActions();
    std::vector<bool> states;
    for (QAction* action : {Action(*window, "actStartRecord"), Action(*window, "actStopRecord"), Action(*window, "actStartPlay"), Action(*window, "actStopPlay"),
                            Action(*window, "actOption"), Action(*window, "actSave"), Action(*window, "actLoad")}) {
      states.push_back(action->isEnabled());
    }
    return states;
  }

  std::vector<bool> Idle(bool withSound) { return {true, false, withSound, false, true, true, true}; }

  fs::path folder;
  std::shared_ptr<VirtualWaveIn> input;
  std::shared_ptr<VirtualWaveOut> output;
  // The window asks these; set before or during a test (Forwarding reads them at each question).
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
  std::vector<std::string> errors;
};

// ---------------------------------------------------------------------------------------------------
// Saving over a session

TEST_F(MainWindowFaultsTest, SavingOverAnExistingSession_AsksFirst_WithOrWithoutAnExtension_ForAnyOfItsFiles) {
  Open();
  Record(Voice(0.5, 140));
  const std::string base = (folder / "take1").string();
  const std::string parts[] = {".wav", ".f0", ".fr"};
  struct Case {
    const char* typed;
    const char* existing;  // the one file of the session already there, or none
    bool replace;          // the answer to the question
  };
  const Case cases[] = {{"", ".wav", false}, {"", ".f0", false}, {"", ".fr", false}, {".wav", ".fr", false},
                        {".wav", ".wav", false}, {"", ".wav", true}, {".wav", ".f0", true}, {"", nullptr, false}};
  for (const Case& c : cases) {
    const std::string what = std::string("take1") + c.typed + " over " + (c.existing ? c.existing : "nothing");
    for (const std::string& part : parts) fs::remove(base + part);
    if (c.existing) WriteText(base + c.existing, "an older session");
    std::vector<std::string> questions;
    hooks.askYesNo = [&](const QString& question) {
      questions.push_back(question.toStdString());
      return c.replace;
    };
    hooks.chooseSaveFile = [&] { return QString::fromStdString(base + c.typed); };
    errors.clear();
    Action(*window, "actSave")->trigger();
    EXPECT_TRUE(errors.empty()) << what;
    EXPECT_EQ(questions.size(), c.existing ? 1u : 0u) << what;
    if (!questions.empty()) {
      EXPECT_NE(questions[0].find(std::string("take1") + c.typed), std::string::npos) << questions[0];
    }
    const bool written = c.existing == nullptr || c.replace;
    for (const std::string& part : parts) {
      const bool kept = c.existing != nullptr && part == c.existing && !c.replace;
      EXPECT_EQ(fs::exists(base + part), written || kept) << what << ", " << part;
      if (kept) {
        EXPECT_EQ(fs::file_size(base + part), std::string("an older session").size()) << what;
      }
    }
    EXPECT_EQ(window->IsTakeUnsaved(), !written) << what;
  }
}

// ---------------------------------------------------------------------------------------------------
// Sessions that cannot be opened

// A good session of another voice: 0.5 s at 200 Hz, 12 F0 frames, 20 formant blocks.
struct OtherSession {
  std::vector<int16_t> sound = Voice(0.5, 200, 300, 2200);
  std::string f0;
  std::string fr;

  OtherSession() {
    for (int i = 0; i < 12; ++i) f0 += std::to_string(i * 10) + "\t200.000\t60.000\t0.900\r\n";
    for (int i = 0; i < 20; ++i) fr += std::to_string(i * 25) + "\t300.000\t2200.000\t55.000\r\n";
  }

  void Write(const fs::path& base) const {
    WriteWave(base.string() + ".wav", kRate, 1, sound);
    WriteText(base.string() + ".f0", f0);
    WriteText(base.string() + ".fr", fr);
  }
};

TEST_F(MainWindowFaultsTest, OpeningABadSession_SaysWhy_AndKeepsThePreviousSessionShownAndPlayable) {
  Open();
  Record(Voice(1.0, 140));
  ASSERT_TRUE(errors.empty());
  const SessionView previous = View();
  ASSERT_NE(previous.fzero, nullptr);
  ASSERT_FALSE(previous.peaks.empty());
  ASSERT_FALSE(previous.track.empty());

  const OtherSession other;
  // Files the test removes are still reported as there: they vanish between the check and the reading.
  std::vector<std::string> vanished;
  hooks.fileExists = [&](const std::string& name) {
    for (const std::string& gone : vanished) {
      if (name == gone) return true;
    }
    return fs::exists(name);
  };

  struct Case {
    const char* what;
    std::function<void(const std::string& base)> spoil;
    const char* message;
    const char* pipe = nullptr;  // the extension of the file that is a named pipe
  };
  const Case cases[] = {
      {"44.1 kHz stereo .wav", [&](const std::string& b) { WriteWave(b + ".wav", 44100, 2, other.sound); }, kFormatError},
      {"11025 Hz stereo .wav", [&](const std::string& b) { WriteWave(b + ".wav", kRate, 2, other.sound); }, kFormatError},
      {"44.1 kHz mono .wav", [&](const std::string& b) { WriteWave(b + ".wav", 44100, 1, other.sound); }, kFormatError},
      {"not a WAVE file", [&](const std::string& b) { WriteText(b + ".wav", "0\t1\t2\t3\r\n"); }, kFormatError},
      {".f0 line of three fields",
       [&](const std::string& b) { WriteText(b + ".f0", other.f0 + "120\t200.000\t60.000\r\n" + other.f0); }, kFormatError},
      {".fr line of three fields",
       [&](const std::string& b) { WriteText(b + ".fr", "0\t300.000\t2200.000\r\n" + other.fr); }, kFormatError},
      {".wav vanished", [&](const std::string& b) { fs::remove(b + ".wav"); vanished.push_back(b + ".wav"); }, kFormatError},
      {".f0 vanished", [&](const std::string& b) { fs::remove(b + ".f0"); vanished.push_back(b + ".f0"); }, kReadFailed},
      {".fr vanished", [&](const std::string& b) { fs::remove(b + ".fr"); vanished.push_back(b + ".fr"); }, kReadFailed},
  };
  // A named pipe in place of any of the three blocked the window in its open for ever.
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const char* extension : {".wav", ".f0", ".fr"}) {
    all.push_back({extension, [extension](const std::string& b) {
                     fs::remove(b + extension);
                     ASSERT_TRUE(fifotest::MakeFifo(b + extension));
                   }, kFormatError, extension});
  }
  int n = 0;
  for (const Case& c : all) {
    const std::string base = (folder / ("bad" + std::to_string(n++))).string();
    other.Write(base);
    c.spoil(base);
    hooks.chooseOpenFile = [&] { return QString::fromStdString(base + ".wav"); };
    errors.clear();
    // The F0 chart as it is now: an earlier playback may have scrolled it.
    const SessionView before = View();
    {
      fifotest::FifoWatchdog watchdog(base + (c.pipe != nullptr ? c.pipe : ".none"));
      Action(*window, "actLoad")->trigger();
      EXPECT_FALSE(watchdog.Fired()) << c.what << ": the open blocked on a named pipe";
    }
    QApplication::processEvents();
    EXPECT_EQ(errors, std::vector<std::string>{c.message}) << c.what;
    ExpectSameSession(before, View(), c.what);
    ExpectSameSession(previous, before, std::string(c.what) + " (data)");
    EXPECT_EQ(Enabled(), Idle(true)) << c.what;
    EXPECT_EQ(PlayToTheEnd(), PlayedFormOf(previous.sound)) << c.what;
  }

  // The same files unspoilt open, so each case above failed by its one fault alone.
  const std::string base = (folder / "good").string();
  other.Write(base);
  hooks.chooseOpenFile = [&] { return QString::fromStdString(base + ".wav"); };
  errors.clear();
  Action(*window, "actLoad")->trigger();
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Samples(window->GetEngine().GetSound()), other.sound);
  ASSERT_NE(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_EQ(window->GetEngine().GetFZeroResult()->values.size(), 12u);
  EXPECT_EQ(window->GetEngine().GetFormantTrack()->size(), 20u);
  EXPECT_NE(window->GetWavePeaks(), previous.peaks);
}

// ---------------------------------------------------------------------------------------------------
// Failing sound devices

struct DeviceFault {
  const char* what;
  WaveOperation op;
  unsigned skip;   // calls that still succeed first
  unsigned count;  // calls that fail then
  bool userStops;  // the fault does not end the capture or playback by itself: the user stops it
};

TEST_F(MainWindowFaultsTest, AnInputDeviceThatFails_EndsTheRecording_KeepsWhatWasRecorded_AndTheNextOneWorks) {
  // The capture re-prepares and re-queues one buffer per 25 ms block; position and reset are first
  // asked for when the user stops.
  const DeviceFault faults[] = {
      {"open", WaveOperation::Open, 0, 1, false},
      {"start", WaveOperation::Start, 0, 1, false},
      {"first prepare", WaveOperation::Prepare, 0, 1, false},
      {"prepare while recording", WaveOperation::Prepare, 20, 1, false},
      {"first queue", WaveOperation::Queue, 0, 1, false},
      {"queue while recording", WaveOperation::Queue, 20, 1, false},
      {"unprepare while recording", WaveOperation::Unprepare, 10, 1, true},
      {"position at the stop", WaveOperation::Position, 0, 1, true},
      {"every position", WaveOperation::Position, 0, 1000, true},
      {"reset", WaveOperation::Reset, 0, 1, true},
      {"close", WaveOperation::Close, 0, 1, true},
  };
  const std::vector<int16_t> voice = Voice(1.0, 140);
  const std::vector<int16_t> next = Voice(0.4, 220, 300, 2200);
  for (const DeviceFault& f : faults) {
    SCOPED_TRACE(f.what);
    Open();
    errors.clear();
    // The voice, then silence for as long as the recording runs, at four times real time.
    input->SetSourceSamples(voice, VirtualWaveIn::AtEnd::Silence);
    input->SetSpeed(4);
    input->InjectFailure(f.op, f.skip, f.count);
    const unsigned callsBefore = input->CallCount(f.op);
    Action(*window, "actStartRecord")->trigger();
    // A device that fails once the capture runs ends it without a message, as when it stops delivering.
    const std::vector<std::string> reported =
        f.op == WaveOperation::Open ? std::vector<std::string>{TfrmMain::kRecordStartFailed} : std::vector<std::string>{};
    if (f.op != WaveOperation::Open) {
      ASSERT_TRUE(WaitUntil([&] { return !window->GetEngine().IsRecording() || input->SourceLeft() == 0; }));
      if (f.userStops) {
        EXPECT_TRUE(window->GetEngine().IsRecording());
        Action(*window, "actStopRecord")->trigger();
      }
    }
    WaitSettled();
    EXPECT_GT(input->CallCount(f.op) - callsBefore, f.skip) << "the failure was never reached";
    EXPECT_EQ(errors, reported);
    EXPECT_FALSE(input->IsOpen());

    // What was captured before the fault stays, in order: a beginning of the voice (and the silence
    // after it).
    const std::vector<int16_t> kept = Samples(window->GetEngine().GetSound());
    for (size_t i = 0; i < kept.size(); ++i) {
      ASSERT_EQ(kept[i], i < voice.size() ? voice[i] : 0) << "sample " << i;
    }
    if (f.userStops) {
      EXPECT_GE(kept.size(), voice.size() / 2);
    } else if (f.skip > 0) {
      // Ended by itself part way through the voice.
      EXPECT_GE(kept.size(), f.skip / 2 * 275u);
      EXPECT_LT(kept.size(), voice.size());
    } else {
      EXPECT_TRUE(kept.empty());
    }
    EXPECT_EQ(window->GetEngine().GetFormantTrack()->size(), (kept.size() + 274) / 275);
    EXPECT_EQ(Enabled(), Idle(!kept.empty()));
    if (!kept.empty()) {
      EXPECT_EQ(PlayToTheEnd(), PlayedFormOf(kept));
    }

    input->ClearFailures();
    errors.clear();
    Record(next);
    EXPECT_TRUE(errors.empty());
    const std::vector<int16_t> second = Samples(window->GetEngine().GetSound());
    EXPECT_GE(second.size(), next.size() / 2);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), next.begin()));
    EXPECT_NE(window->GetEngine().GetFZeroResult(), nullptr);
    EXPECT_EQ(Enabled(), Idle(true));
    EXPECT_EQ(PlayToTheEnd(), PlayedFormOf(second));
    window.reset();
  }
}

TEST_F(MainWindowFaultsTest, AnOutputDeviceThatFails_EndsThePlayback_KeepsTheRecording_AndTheNextOneWorks) {
  // 2.5 s play as three one-second buffers (the last one half full); the end marker is prepared and
  // queued as the first buffer comes back.
  const DeviceFault faults[] = {
      {"open", WaveOperation::Open, 0, 1, false},
      {"first prepare", WaveOperation::Prepare, 0, 1, false},
      {"prepare while playing", WaveOperation::Prepare, 3, 1, false},
      {"first queue", WaveOperation::Queue, 0, 1, false},
      {"queue while playing", WaveOperation::Queue, 3, 1, false},
      {"unprepare while playing", WaveOperation::Unprepare, 0, 1, false},
      {"every position", WaveOperation::Position, 0, 1000, false},
      {"reset at the stop", WaveOperation::Reset, 0, 1, true},
      {"close", WaveOperation::Close, 0, 1, true},
  };
  Open();
  Record(Voice(2.5, 140));
  ASSERT_TRUE(errors.empty());
  const SessionView recorded = View();
  ASSERT_GT(recorded.sound.size(), 2u * kRate);

  for (const DeviceFault& f : faults) {
    SCOPED_TRACE(f.what);
    errors.clear();
    // Eight times real time, or stepped by hand when the user is to stop part way.
    if (f.userStops) {
      output->SetManual();
    } else {
      output->SetSpeed(8);
    }
    output->InjectFailure(f.op, f.skip, f.count);
    output->ClearPlayed();
    const unsigned callsBefore = output->CallCount(f.op);
    Action(*window, "actStartPlay")->trigger();
    const std::vector<std::string> reported =
        f.op == WaveOperation::Open ? std::vector<std::string>{TfrmMain::kPlayStartFailed} : std::vector<std::string>{};
    if (f.op == WaveOperation::Open) {
      EXPECT_FALSE(window->GetPlayback().HoldsCopy());
    } else if (f.userStops) {
      ASSERT_TRUE(WaitUntil([&] { return Child<QTimer>(*window, "tmrPlaying")->isActive(); }));
      output->Step(kRate / 2);
      ASSERT_TRUE(WaitUntil([&] { return window->GetPlayback().GetPosition() > 0; }));
      Action(*window, "actStopPlay")->trigger();
    }
    WaitSettled();
    EXPECT_GT(output->CallCount(f.op) - callsBefore, f.skip) << "the failure was never reached";
    EXPECT_EQ(errors, reported);
    // What did play before the failure is the beginning of the recording.
    const std::vector<int16_t> played = output->PlayedSamples();
    EXPECT_LE(played.size(), recorded.sound.size() + 1);
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + std::min(played.size(), recorded.sound.size()),
                           recorded.sound.begin()));
    EXPECT_FALSE(output->IsOpen());
    EXPECT_EQ(output->QueuedCount(), 0u);
    EXPECT_EQ(Enabled(), Idle(true));
    EXPECT_EQ(Samples(window->GetEngine().GetSound()), recorded.sound);
    EXPECT_EQ(window->GetEngine().GetFZeroResult(), recorded.fzero);

    output->ClearFailures();
    EXPECT_EQ(PlayToTheEnd(), PlayedFormOf(recorded.sound));
    EXPECT_EQ(Enabled(), Idle(true));
  }

  // And recording still works after all that.
  const std::vector<int16_t> next = Voice(0.4, 220);
  Record(next);
  const std::vector<int16_t> second = Samples(window->GetEngine().GetSound());
  EXPECT_GE(second.size(), next.size() / 2);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), next.begin()));
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace vowelscope
