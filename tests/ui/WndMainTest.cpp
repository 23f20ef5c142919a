// The main window driven through its actions on in-memory sound devices: recording, the analysis box,
// playback with its timer, files, guide sets, and which commands are enabled in each state.
#include "ui/WndMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QScrollBar>
#include <QToolBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"
#include "Wndmaintestsupport.h"
#include "support/Testfolder.h"
#include "ui/Chartboxes.h"
#include "ui/DlgProgress.h"
#include "ui/Wndmessages.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using wndtest::kRate;
using wndtest::Voice;
using wndtest::Action;
using wndtest::Child;
using wndtest::WaitUntil;
using wndtest::Samples;
using TakeAnswer = TfrmMain::TakeAnswer;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Sees the analysis box appear and go, however briefly it is shown.
class ProgressWatch : public QObject {
 public:
  ProgressWatch() { QApplication::instance()->installEventFilter(this); }
  ~ProgressWatch() override { QApplication::instance()->removeEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (qobject_cast<TfrmProgress*>(watched) != nullptr) {
      if (event->type() == QEvent::Show) ++shown;
      if (event->type() == QEvent::Hide) ++hidden;
    }
    return false;
  }

  bool Seen() const { return shown > 0; }
  bool Gone() const { return shown > 0 && hidden == shown; }

  int shown = 0;
  int hidden = 0;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndmain");
    fs::create_directories(folder / "regions");
    // Closing a window must not end the test program's application.
    QApplication::setQuitOnLastWindowClosed(false);
    settingsFile = folder / "Settings.ini";
    WriteRegions("01-first.ini", "最初のガイド", 700, 1200);
    WriteRegions("02-second.ini", "二番目のガイド", 300, 2200);
  }

  void TearDown() override { window.reset(); }

  void WriteRegions(const std::string& name, const std::string& caption, int f1, int f2) {
    std::ofstream(folder / "regions" / name, std::ios::binary)
        << "[Information]\nCaption=" << caption << "\n[Region0]\nEnabled=1\nF1Center=" << f1
        << "\nF2Center=" << f2 << "\nF1Length=60\nF2Length=150\nColor=16711680\n";
  }

  void WriteSettings(const std::string& text) { std::ofstream(settingsFile, std::ios::binary) << text; }

  void Open() {
    input = std::make_shared<VirtualWaveIn>();
    input->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    output = std::make_shared<VirtualWaveOut>();
    output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    TfrmMain::Environment environment;
    environment.input = input;
    environment.output = output;
    environment.settingsFile = settingsFile.string();
    environment.regionsFolder = (folder / "regions").string();
    environment.hooks = wndtest::Forwarding(hooks);
    window = std::make_unique<TfrmMain>(std::move(environment));
    hooks.showError = [this](const QString& message) { errors.push_back(message.toStdString()); };
    window->show();
    QApplication::processEvents();
  }

  // Records `samples` (then the input stalls) and stops by the user; returns once the analysis box has
  // come and gone.
  void RecordAndAnalyse(const std::vector<int16_t>& samples, ProgressWatch* watch = nullptr) {
    input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Stall);
    Action(*window, "actStartRecord")->trigger();
    ASSERT_TRUE(window->GetEngine().IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
    Action(*window, "actStopRecord")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
      return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown() &&
             QApplication::activeModalWidget() == nullptr && (watch == nullptr || watch->Gone());
    }));
    QApplication::processEvents();
    window->UpdateActions();
  }

  // Pure red pixels of the F0 chart: its voiced frames.
  int RedDotPixels() { return wndtest::ColourPixels(*Child<QWidget>(*window, "pbxFZero"), QColor(255, 0, 0)); }

  // Enabled state of record, stop, play, stop play, options, save, open, about, exit.
  std::vector<bool> Enabled() {
    window->UpdateActions();
    std::vector<bool> states;
    for (QAction* action : {Action(*window, "actStartRecord"), Action(*window, "actStopRecord"), Action(*window, "actStartPlay"), Action(*window, "actStopPlay"),
                            Action(*window, "actOption"), Action(*window, "actSave"), Action(*window, "actLoad"), Action(*window, "actAbout"), Action(*window, "actExit")}) {
      states.push_back(action->isEnabled());
    }
    return states;
  }

  fs::path folder;
  fs::path settingsFile;
  std::shared_ptr<VirtualWaveIn> input;
  std::shared_ptr<VirtualWaveOut> output;
  // The window asks these; set before or during a test (Forwarding reads them at each question).
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
  std::vector<std::string> errors;
};

TEST_F(MainWindowTest, RecordThenStop_ShowsTheAnalysisBox_ClosesItWhenDone_AndPaintsTheF0Dots) {
  Open();
  EXPECT_EQ(RedDotPixels(), 0);
  ProgressWatch watch;
  RecordAndAnalyse(Voice(1.5, 140), &watch);
  EXPECT_EQ(watch.shown, 1);
  EXPECT_TRUE(watch.Gone());
  EXPECT_TRUE(errors.empty());
  const auto result = window->GetEngine().GetFZeroResult();
  ASSERT_NE(result, nullptr);
  EXPECT_FALSE(result->values.empty());
  EXPECT_FALSE(window->GetWavePeaks().empty());
  EXPECT_GT(RedDotPixels(), 50);
  // The voice, less what the input still held when the stop came (the capture thread may lag behind).
  EXPECT_GT(window->GetEngine().GetSound()->GetLength(), Voice(1.5, 140).size() / 2);
  EXPECT_LE(window->GetEngine().GetSound()->GetLength(), Voice(1.5, 140).size());
  EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty()) << "a stop by the user is no limit";
  const std::vector<FormantValue>& track = *window->GetEngine().GetFormantTrack();
  // One value per delivered block, the last one partial.
  ASSERT_EQ(track.size(), (window->GetEngine().GetSound()->GetLength() + 274) / 275);
  EXPECT_GT(track.back().f1, 0);
}

TEST_F(MainWindowTest, AfterARecording_TheTrailFadesOut_KeepingItsOrderUntilNothingIsLit) {
  Open();
  RecordAndAnalyse(Voice(1.5, 140));
  const std::vector<FormantValue>& track = *window->GetEngine().GetFormantTrack();
  ASSERT_GE(track.size(), 40u);
  // Part way: empty entries in front, then the last blocks of the take, newest first.
  const std::vector<FormantValue> trail = window->GetTrail();
  size_t faded = 0;
  while (faded < trail.size() && trail[faded].f1 == 0 && trail[faded].f2 == 0) ++faded;
  ASSERT_LT(faded, trail.size()) << "faded before it could be seen";
  for (size_t k = faded; k < trail.size(); ++k) {
    EXPECT_DOUBLE_EQ(trail[k].f1, track[track.size() - 1 - (k - faded)].f1) << "entry " << k;
  }
  // 40 blocks of 25 ms: about a second.
  EXPECT_TRUE(WaitUntil([&] {
    const std::vector<FormantValue> now = window->GetTrail();
    return std::all_of(now.begin(), now.end(), [](const FormantValue& v) { return v.f1 == 0 && v.f2 == 0; });
  }, 5000));
  EXPECT_FALSE(Child<QTimer>(*window, "tmrFade")->isActive());
}

TEST_F(MainWindowTest, ANewRecordingOrAnOpenedSession_ClearsTheLastTakesDotsWaveformAndTrail) {
  Open();
  RecordAndAnalyse(Voice(1.0, 140));
  hooks.chooseSaveFile = [&] { return QString::fromStdString((folder / "take1").string()); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(errors.empty());
  const auto lit = [&] {
    const std::vector<FormantValue> trail = window->GetTrail();
    return std::count_if(trail.begin(), trail.end(), [](const FormantValue& v) { return v.f1 > 0; });
  };
  // A playback stopped half way leaves the trail lit where it stopped.
  const auto playHalfWay = [&] {
    output->SetManual();
    Action(*window, "actStartPlay")->trigger();
    output->Step(kRate / 2);
    ASSERT_TRUE(WaitUntil([&] { return lit() > 0; }));
    Action(*window, "actStopPlay")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
      return !window->GetPlayback().IsPlaying() && !window->GetPlayback().HoldsCopy() &&
             !Child<QTimer>(*window, "tmrPlaying")->isActive();
    }));
    window->UpdateActions();
    ASSERT_GT(lit(), 0);
  };
  playHalfWay();
  ASSERT_GT(RedDotPixels(), 50);

  // The input gives nothing yet: what shows is what the start left.
  input->SetSourceSamples({}, VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(window->GetEngine().IsRecording());
  EXPECT_EQ(RedDotPixels(), 0);
  EXPECT_TRUE(window->GetWavePeaks().empty());
  EXPECT_EQ(lit(), 0);
  window->close();  // drops the recording

  window.reset();
  Open();
  hooks.chooseOpenFile = [&] { return QString::fromStdString((folder / "take1.wav").string()); };
  Action(*window, "actLoad")->trigger();
  playHalfWay();
  Action(*window, "actLoad")->trigger();
  ASSERT_TRUE(errors.empty());
  EXPECT_EQ(lit(), 0);
  EXPECT_GT(RedDotPixels(), 50) << "the opened session's own dots";
}

TEST_F(MainWindowTest, ARecordingThatReachesItsLimit_GoesThroughTheSameAnalysis) {
  WriteSettings("[Record]\nMaxRecordMinute=1\n");
  Open();
  std::vector<int16_t> samples = Voice(1.0, 120);
  input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Silence);
  ProgressWatch watch;
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(WaitUntil([&] {
    return watch.Gone() && !window->GetEngine().IsRecording() && !window->GetEngine().IsAnalysing() &&
           !window->IsAnalysisBoxShown() && QApplication::activeModalWidget() == nullptr;
  }));
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), 60u * kRate);
  EXPECT_NE(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_EQ(window->statusBar()->currentMessage(), QString::fromUtf8(TfrmMain::kRecordLimitReached));
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, AnAnalysisThatEndsBeforeTheBoxIsShown_ClosesItAtOnce) {
  Open();
  input->SetSourceSamples(Voice(0.3, 140), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
  Action(*window, "actStopRecord")->trigger();
  // Both messages are queued before the window gets to either of them.
  while (window->GetEngine().IsAnalysing()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ProgressWatch watch;
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitUntil([&] { return watch.Gone() && QApplication::activeModalWidget() == nullptr; }, 10000));
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_FALSE(window->IsAnalysisBoxShown());
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, AnAnalysisThatCannotRun_ClosesTheBoxAndSaysSo) {
  Open();
  input->SetSourceSamples(Voice(0.3, 140), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
  Action(*window, "actStopRecord")->trigger();
  // The report an Engine gives when its worker cannot start, ahead of the real one.
  QCoreApplication::postEvent(window.get(), new TMessageEvent(UM_ANALYSIS_DONE, 0));
  ProgressWatch watch;
  ASSERT_TRUE(WaitUntil([&] { return watch.Gone() && !errors.empty() && QApplication::activeModalWidget() == nullptr; }));
  EXPECT_EQ(errors, std::vector<std::string>{TfrmMain::kAnalysisStartFailed});
  ASSERT_TRUE(WaitUntil([&] { return !window->GetEngine().IsAnalysing(); }));
  QApplication::processEvents();
  EXPECT_FALSE(window->IsAnalysisBoxShown());
}

TEST_F(MainWindowTest, ClosingTheWindowWhileRecording_DropsTheRecordingWithoutTheBox) {
  Open();
  input->SetSourceSamples(Voice(0.5, 140), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
  ProgressWatch watch;
  window->close();
  QTest::qWait(200);
  EXPECT_FALSE(watch.Seen());
  EXPECT_FALSE(window->GetEngine().IsRecording());
  EXPECT_FALSE(window->GetEngine().IsAnalysing());
  EXPECT_EQ(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, ARecordingThatCannotStart_IsReported) {
  Open();
  input->InjectFailure(WaveOperation::Open);
  Action(*window, "actStartRecord")->trigger();
  EXPECT_FALSE(window->GetEngine().IsRecording());
  EXPECT_EQ(errors, std::vector<std::string>{TfrmMain::kRecordStartFailed});
  EXPECT_TRUE(Action(*window, "actStartRecord")->isEnabled());
}

TEST_F(MainWindowTest, Playback_RunsTheTimerFromItsStartToItsEnd) {
  Open();
  const std::vector<int16_t> voice = Voice(1.0, 140);
  RecordAndAnalyse(voice);
  output->SetManual();
  Action(*window, "actStartPlay")->trigger();
  EXPECT_FALSE(Child<QTimer>(*window, "tmrPlaying")->isActive());  // not before the output reports its start
  ASSERT_TRUE(WaitUntil([&] { return Child<QTimer>(*window, "tmrPlaying")->isActive(); }));
  EXPECT_TRUE(window->GetPlayback().HoldsCopy());
  output->Step(kRate / 2);
  // The timer rebuilds the trail for the position: half a second in, block 20.
  ASSERT_TRUE(WaitUntil([&] { return window->GetPlayback().GetPosition() > 0; }));
  QTest::qWait(50);
  const std::vector<FormantValue>& track = *window->GetEngine().GetFormantTrack();
  const uint32_t block = (window->GetPlayback().GetPosition() + 137) / 275;
  ASSERT_LT(block, track.size());
  EXPECT_DOUBLE_EQ(window->GetTrail().front().f1, track[block].f1);

  output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  ASSERT_TRUE(WaitUntil([&] { return !Child<QTimer>(*window, "tmrPlaying")->isActive(); }));
  EXPECT_FALSE(window->GetPlayback().HoldsCopy());
  // The whole recording, and the silent end frame.
  EXPECT_EQ(output->PlayedSamples().size(), window->GetEngine().GetSound()->GetLength() + 1);
  EXPECT_TRUE(Action(*window, "actStartPlay")->isEnabled());
}

TEST_F(MainWindowTest, OpeningFilesDuringPlayback_KeepsPlayingThePrivateCopy) {
  Open();
  RecordAndAnalyse(Voice(0.5, 120));
  const std::string base = (folder / "take1").string();
  hooks.chooseSaveFile = [&] { return QString::fromStdString(base + ".wav"); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(errors.empty());

  const uint32_t firstLength = window->GetEngine().GetSound()->GetLength();
  RecordAndAnalyse(Voice(1.0, 200, 300, 2200));
  const SoundMemoryStream* recorded = window->GetEngine().GetSound();
  const auto* samples = reinterpret_cast<const int16_t*>(recorded->GetData());
  const std::vector<int16_t> second(samples, samples + recorded->GetLength());
  output->SetManual();
  Action(*window, "actStartPlay")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Child<QTimer>(*window, "tmrPlaying")->isActive(); }));
  EXPECT_TRUE(Action(*window, "actLoad")->isEnabled());
  hooks.chooseOpenFile = [&] { return QString::fromStdString(base + ".xyz"); };
  Action(*window, "actLoad")->trigger();
  ASSERT_TRUE(errors.empty());
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), firstLength);

  output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  ASSERT_TRUE(WaitUntil([&] { return !Child<QTimer>(*window, "tmrPlaying")->isActive(); }));
  std::vector<int16_t> played = output->PlayedSamples();
  ASSERT_EQ(played.size(), second.size() + 1);
  played.pop_back();
  EXPECT_EQ(played, second);
}

TEST_F(MainWindowTest, OpeningFiles_NamesTheFirstMissingOne) {
  Open();
  RecordAndAnalyse(Voice(0.3, 120));
  const fs::path base = folder / "take1";
  hooks.chooseSaveFile = [&] { return QString::fromStdString(base.string()); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(errors.empty());
  hooks.chooseOpenFile = [&] { return QString::fromStdString(base.string() + ".wav"); };

  // A sound without its analyses is offered for analysis instead, with what is missing; declined here.
  std::vector<std::string> questions;
  hooks.askYesNo = [&](const QString& question) {
    questions.push_back(question.toStdString());
    return false;
  };
  struct Case {
    const char* removed;
    const char* message;
    bool offered;
  };
  const Case cases[] = {{".fr", "FR ファイルが見つかりません。", true},
                        {".f0", "F0 ファイルが見つかりません。", true},
                        {".wav", "WAVE ファイルが見つかりません。", false}};
  for (const Case& c : cases) {
    fs::remove(base.string() + c.removed);
    errors.clear();
    questions.clear();
    Action(*window, "actLoad")->trigger();
    if (c.offered) {
      EXPECT_TRUE(errors.empty()) << c.removed;
      ASSERT_EQ(questions.size(), 1u) << c.removed;
      EXPECT_EQ(questions[0].rfind(c.message, 0), 0u) << questions[0];
    } else {
      EXPECT_EQ(errors, std::vector<std::string>{c.message}) << c.removed;
      EXPECT_TRUE(questions.empty());
    }
  }
}

TEST_F(MainWindowTest, AnUnsavedTake_IsOfferedForSavingBeforeAnyCommandReplacesIt) {
  Open();
  // A saved session for the commands that open one; shorter than the takes, to tell them apart.
  RecordAndAnalyse(Voice(0.3, 200, 300, 2200));
  const std::string other = (folder / "other").string();
  hooks.chooseSaveFile = [&] { return QString::fromStdString(other); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(errors.empty());
  ASSERT_FALSE(window->IsTakeUnsaved());
  const uint32_t otherLength = window->GetEngine().GetSound()->GetLength();
  const QString otherWave = QString::fromStdString(other + ".wav");
  const auto noModal = [] { return WaitUntil([] { return QApplication::activeModalWidget() == nullptr; }); };

  struct Command {
    const char* name;
    std::function<void()> run;
    std::function<bool()> replaced;
  };
  const Command commands[] = {
      {"quit", [&] { window->close(); }, [&] { return !window->isVisible(); }},
      {"record",
       [&] {
         input->SetSourceSamples(Voice(0.3, 120), VirtualWaveIn::AtEnd::Stall);
         Action(*window, "actStartRecord")->trigger();
       },
       [&] { return window->GetEngine().IsRecording(); }},
      {"open",
       [&] {
         hooks.chooseOpenFile = [&] { return otherWave; };
         Action(*window, "actLoad")->trigger();
       },
       [&] { return window->GetEngine().GetSound()->GetLength() == otherLength; }},
      {"analyse",
       [&] {
         hooks.chooseAudioFile = [&] { return otherWave; };
         Action(*window, "actAnalyseFile")->trigger();
         noModal();
       },
       [&] { return window->GetEngine().GetSound()->GetLength() == otherLength; }},
  };
  struct Answer {
    TakeAnswer answer;
    const char* saveAs;  // the name given to the save dialog; empty: the dialog is cancelled
    bool replaced;
  };
  const Answer answers[] = {{TakeAnswer::Cancel, "", false},
                            {TakeAnswer::Save, "", false},
                            {TakeAnswer::Save, "no-such-folder/take", false},
                            {TakeAnswer::Discard, "", true},
                            {TakeAnswer::Save, "take", true}};
  for (const Command& command : commands) {
    for (const Answer& answer : answers) {
      const std::string what = std::string(command.name) + ", answer " + std::to_string(static_cast<int>(answer.answer)) +
                               ", saved as '" + answer.saveAs + "'";
      if (!window->isVisible()) {
        window.reset();
        Open();
      }
      hooks.askSaveTake = nullptr;
      RecordAndAnalyse(Voice(1.0, 140));
      ASSERT_TRUE(window->IsTakeUnsaved()) << what;
      const std::vector<int16_t> take = Samples(window->GetEngine().GetSound());
      for (const char* name : {"take.wav", "take.f0", "take.fr"}) fs::remove(folder / name);
      std::vector<QString> questions;
      hooks.askSaveTake = [&](const QString& question) {
        questions.push_back(question);
        return answer.answer;
      };
      hooks.chooseSaveFile = [&] {
        return *answer.saveAs ? QString::fromStdString((folder / answer.saveAs).string()) : QString();
      };
      errors.clear();

      command.run();
      EXPECT_EQ(questions, std::vector<QString>{QString::fromUtf8(TfrmMain::kAskSaveTake)}) << what;
      EXPECT_EQ(command.replaced(), answer.replaced) << what;
      EXPECT_EQ(errors.size(), std::string(answer.saveAs).find('/') != std::string::npos ? 1u : 0u) << what;
      if (!answer.replaced) {
        EXPECT_TRUE(window->isVisible()) << what;
        EXPECT_EQ(Samples(window->GetEngine().GetSound()), take) << what << ": the take is kept whole";
        EXPECT_TRUE(window->IsTakeUnsaved()) << what;
      }
      if (answer.replaced && *answer.saveAs) {
        EXPECT_TRUE(fs::exists(folder / "take.wav") && fs::exists(folder / "take.f0") && fs::exists(folder / "take.fr"))
            << what;
        EXPECT_GT(fs::file_size(folder / "take.wav"), 2 * take.size()) << what << ": the whole take";
      }
      if (window->GetEngine().IsRecording()) {
        ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
        Action(*window, "actStopRecord")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !window->GetEngine().IsAnalysing(); }));
        noModal();
      }
    }
  }
}

TEST_F(MainWindowTest, Keys_SpaceTogglesPlayback_CtrlSpaceRecording_CtrlSSaves_CtrlOOpens) {
  Open();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  // The keys work wherever the focus is, also on the guide selector.
  Child<QComboBox>(*window, "cbxRegions")->setFocus();
  const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : window.get(), key, modifiers);
    QApplication::processEvents();
  };

  input->SetSourceSamples(Voice(0.5, 140), VirtualWaveIn::AtEnd::Stall);
  press(Qt::Key_Space, Qt::ControlModifier);
  ASSERT_TRUE(window->GetEngine().IsRecording());
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
  press(Qt::Key_Space, Qt::ControlModifier);
  EXPECT_FALSE(window->GetEngine().IsRecording());
  ASSERT_TRUE(WaitUntil([&] {
    return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown() && QApplication::activeModalWidget() == nullptr;
  }));
  window->UpdateActions();
  // The analysis box had the focus; the window gets it back.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  output->SetManual();
  press(Qt::Key_Space, Qt::NoModifier);
  EXPECT_TRUE(window->GetPlayback().IsPlaying());
  press(Qt::Key_Space, Qt::NoModifier);
  EXPECT_FALSE(window->GetPlayback().IsPlaying());
  ASSERT_TRUE(WaitUntil([&] { return !window->GetPlayback().HoldsCopy(); }));
  window->UpdateActions();

  int saveAsked = 0;
  int openAsked = 0;
  hooks.chooseSaveFile = [&] { return ++saveAsked, QString(); };
  hooks.chooseOpenFile = [&] { return ++openAsked, QString(); };
  press(Qt::Key_S, Qt::ControlModifier);
  press(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(saveAsked, 1);
  EXPECT_EQ(openAsked, 1);
  // The standard keys, which the menus show beside the captions.
  EXPECT_EQ(Action(*window, "actSave")->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(Action(*window, "actLoad")->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, TheWindowsSizeTheF0PanelAndTheLastFolder_AreRememberedForTheNextStart) {
  Open();
  window->resize(760, 540);
  QApplication::processEvents();
  QSplitter* splitter = Child<QSplitter>(*window, "splMain");
  const QList<int> sizes = splitter->sizes();
  splitter->setSizes({sizes[0] + sizes[1] - 150, 150});
  QApplication::processEvents();
  fs::create_directories(folder / "takes");
  RecordAndAnalyse(Voice(0.3, 140));
  hooks.chooseSaveFile = [&] { return QString::fromStdString((folder / "takes" / "take1").string()); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(errors.empty());
  EXPECT_EQ(window->GetSettings().GetLastFolder(), (folder / "takes").string());
  window->close();
  const std::string saved = ReadAll(settingsFile);
  for (const std::string& line : std::vector<std::string>{"WindowWidth=760", "WindowHeight=540", "FZeroHeight=150",
                                                           "LastFolder=" + (folder / "takes").string()}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
  }

  window.reset();
  Open();
  EXPECT_EQ(window->size(), QSize(760, 540));
  EXPECT_EQ(Child<QSplitter>(*window, "splMain")->sizes().value(1), 150);
  EXPECT_EQ(window->GetSettings().GetLastFolder(), (folder / "takes").string());
}

TEST_F(MainWindowTest, EveryMenuEntry_HasAnAccessKeyOfItsOwnInItsMenu) {
  Open();
  for (QAction* menu : window->menuBar()->actions()) {
    std::vector<QChar> keys;
    for (const QAction* entry : menu->menu()->actions()) {
      if (entry->isSeparator()) continue;
      const QString text = entry->text();
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      ASSERT_GE(at, 0) << entry->text().toStdString();
      ASSERT_LT(at + 1, text.size());
      const QChar key = text.at(at + 1).toUpper();
      EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 0) << text.toStdString() << " in " << menu->text().toStdString();
      keys.push_back(key);
    }
  }
  EXPECT_TRUE(Action(*window, "actSave")->text().contains(QStringLiteral("(&S)")));
}

TEST_F(MainWindowTest, ATakeShorterThanTheChart_CannotBeScrolledIntoEmptyColumns) {
  Open();
  RecordAndAnalyse(Voice(1.5, 140));
  EXPECT_EQ(Child<QScrollBar>(*window, "sclFZero")->maximum(), 0);
}

TEST_F(MainWindowTest, EnabledCommands_FollowTheState) {
  Open();
  using V = std::vector<bool>;
  //                rec    stop   play   stopP  opt    save   open   about  exit
  EXPECT_EQ(Enabled(), (V{true, false, false, false, true, true, true, true, true})) << "idle, no sound";

  input->SetSourceSamples(Voice(0.5, 140), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  EXPECT_EQ(Enabled(), (V{false, true, false, false, false, false, false, true, true})) << "recording";
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));

  // While the analysis runs, the modal box keeps every command away.
  ProgressWatch watch;
  Action(*window, "actStopRecord")->trigger();
  ASSERT_TRUE(WaitUntil([&] {
    return watch.Gone() && !window->GetEngine().IsAnalysing() && QApplication::activeModalWidget() == nullptr;
  }));
  EXPECT_EQ(Enabled(), (V{true, false, true, false, true, true, true, true, true})) << "idle, with sound";

  output->SetManual();
  Action(*window, "actStartPlay")->trigger();
  EXPECT_EQ(Enabled(), (V{false, false, false, true, true, true, true, true, true})) << "playing";

  Action(*window, "actStopPlay")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !Child<QTimer>(*window, "tmrPlaying")->isActive() && !window->GetPlayback().IsPlaying(); }));
  EXPECT_EQ(Enabled(), (V{true, false, true, false, true, true, true, true, true})) << "after playback";
}

TEST_F(MainWindowTest, TheF0ScrollTrack_MovesByTheLargeChange_WhileTheThumbShowsAPage) {
  Open();
  RecordAndAnalyse(Voice(8.0, 140));
  QScrollBar* bar = Child<QScrollBar>(*window, "sclFZero");
  ASSERT_GT(bar->pageStep(), TfrmMain::kFZeroLargeChange) << "the thumb is one chart width of columns";
  ASSERT_GT(bar->maximum(), 3 * TfrmMain::kFZeroLargeChange);
  bar->setValue(0);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(bar->value(), TfrmMain::kFZeroLargeChange);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(bar->value(), TfrmMain::kFZeroLargeChange);
  bar->setValue(bar->maximum() - 10);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(bar->value(), bar->maximum()) << "the end stops it";
}

TEST_F(MainWindowTest, TheToolbarGapBetweenRecordingAndPlayback_IsEightPixels) {
  Open();
  const QWidget* stop = Child<QToolBar>(*window, "tbTools")->widgetForAction(Action(*window, "actStopRecord"));
  const QWidget* play = Child<QToolBar>(*window, "tbTools")->widgetForAction(Action(*window, "actStartPlay"));
  ASSERT_NE(stop, nullptr);
  ASSERT_NE(play, nullptr);
  const int spacing = Child<QToolBar>(*window, "tbTools")->layout()->spacing();
  EXPECT_EQ(play->x() - (stop->x() + stop->width()), 8 + 2 * spacing);
}

TEST_F(MainWindowTest, GuideSets_TheStoredOneIsSelected_APickIsSaved) {
  WriteSettings("[Formant]\nOrder=20\n[Regions]\nCurrentRegions=二番目のガイド\n");
  Open();
  ASSERT_EQ(Child<QComboBox>(*window, "cbxRegions")->count(), 2);
  EXPECT_EQ(Child<QComboBox>(*window, "cbxRegions")->currentIndex(), 1);
  EXPECT_EQ(window->GetSelectedRegions(), 1);

  Child<QComboBox>(*window, "cbxRegions")->setCurrentIndex(0);
  emit Child<QComboBox>(*window, "cbxRegions")->activated(0);
  EXPECT_EQ(window->GetSelectedRegions(), 0);
  const std::string saved = ReadAll(settingsFile);
  EXPECT_NE(saved.find("CurrentRegions=最初のガイド"), std::string::npos) << saved;
  // The whole file is written, with what was loaded.
  EXPECT_NE(saved.find("Order=20"), std::string::npos);
  EXPECT_NE(saved.find("[View]"), std::string::npos);
  EXPECT_EQ(Child<QLabel>(*window, "sbrStatus")->text(), QStringLiteral("最大録音時間: 15 分"));
}

TEST_F(MainWindowTest, GuideSets_WithoutAMatchTheFirstIsShown_AndAFailedSaveShowsInTheStatusBar) {
  settingsFile = folder / "missing-folder" / "Settings.ini";
  Open();
  // A first start shows a guide rather than an empty chart, and stores nothing until the user picks.
  EXPECT_EQ(Child<QComboBox>(*window, "cbxRegions")->currentIndex(), 0);
  EXPECT_EQ(window->GetSelectedRegions(), 0);
  EXPECT_EQ(window->GetSettings().GetCurrentRegions(), "");
  Child<QComboBox>(*window, "cbxRegions")->setCurrentIndex(1);
  emit Child<QComboBox>(*window, "cbxRegions")->activated(1);
  EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("設定を保存できませんでした。"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, FittingTheRangesToTheGuide_ShowsTheSelectedSetWhole_AndSavesTheSettings) {
  WriteSettings("[Formant]\nF1DisplayMinFrequency=200\nF1DisplayMaxFrequency=700\n");
  Open();
  // The first set: F1 640-760 and F2 1050-1350, a step of room each side, rounded outward.
  Action(*window, "actFitRanges")->trigger();
  EXPECT_EQ(window->GetSettings().GetF1DisplayMin(), 550);
  EXPECT_EQ(window->GetSettings().GetF1DisplayMax(), 850);
  EXPECT_EQ(window->GetSettings().GetF2DisplayMin(), 900);
  EXPECT_EQ(window->GetSettings().GetF2DisplayMax(), 1500);
  const std::string saved = ReadAll(settingsFile);
  for (const char* line : {"F1DisplayMinFrequency=550\n", "F1DisplayMaxFrequency=850\n", "F2DisplayMinFrequency=900\n",
                           "F2DisplayMaxFrequency=1500\n"}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, GuideSets_WithNoSetsNoneIsSelected) {
  fs::remove_all(folder / "regions");
  fs::create_directories(folder / "regions");
  Open();
  EXPECT_EQ(Child<QComboBox>(*window, "cbxRegions")->count(), 0);
  EXPECT_EQ(window->GetSelectedRegions(), -1);
}

TEST_F(MainWindowTest, GuideSets_AShiftJisCaptionIsShownDecoded_AndItsBytesAreWhatIsStored) {
  // "日本語 女性" in Shift_JIS, as a set written on a Japanese Windows desktop would hold it.
  const std::string shiftJis = "\x93\xfa\x96\x7b\x8c\xea \x8f\x97\x90\xab";
  WriteRegions("03-sjis.ini", shiftJis, 850, 1400);
  Open();
  ASSERT_EQ(Child<QComboBox>(*window, "cbxRegions")->count(), 3);
  EXPECT_EQ(Child<QComboBox>(*window, "cbxRegions")->itemText(2), QStringLiteral("日本語 女性"));
  Child<QComboBox>(*window, "cbxRegions")->setCurrentIndex(2);
  emit Child<QComboBox>(*window, "cbxRegions")->activated(2);
  EXPECT_EQ(window->GetSettings().GetCurrentRegions(), shiftJis);
  EXPECT_NE(ReadAll(settingsFile).find("CurrentRegions=" + shiftJis), std::string::npos);

  // The next start finds the same set again.
  window.reset();
  Open();
  EXPECT_EQ(Child<QComboBox>(*window, "cbxRegions")->currentIndex(), 2);
  EXPECT_EQ(window->GetSelectedRegions(), 2);
}

TEST_F(MainWindowTest, LevelMeter_TakesTruncatedPowersWithinItsRange) {
  struct Case {
    double power;
    int level;
  };
  const Case cases[] = {{45.9, 45}, {0.5, 0}, {-12, 0}, {95, 90}, {-INFINITY, 0}, {NAN, 0}, {INFINITY, 90}};
  for (const Case& c : cases) EXPECT_EQ(TLevelPanel::LevelOf(c.power), c.level) << c.power;
}

// The top of the bar's fill for its current value, found in its picture: the first row from the top whose
// centre is the style's blue fill rather than the white groove.
int FillTop(QProgressBar* bar) {
  const QImage image = bar->grab().toImage();
  for (int y = 0; y < image.height(); ++y) {
    const QColor c = image.pixelColor(image.width() / 2, y);
    if (c.blue() > c.red() + 60) return bar->y() + y;
  }
  return -1;
}

TEST(LevelMeter, TheScaleReadsTrueAtEverySize) {
  TLevelPanel panel;
  panel.show();
  for (int height : {160, 397, 720}) {
    panel.resize(TLevelPanel::kWidth, height);
    QApplication::processEvents();
    for (size_t i = 0; i < std::size(TLevelPanel::kScaleValues); ++i) {
      const int value = TLevelPanel::kScaleValues[i];
      panel.pbrLevel->setValue(value);
      const QLabel* label = panel.scaleLabels[i];
      const int labelCentre = label->y() + label->height() / 2;
      EXPECT_NEAR(labelCentre, panel.ValueY(value), 1) << value << " dB at height " << height;
      if (value > 0) {
        // Where the bar's fill really ends for that value, within a few pixels of the style's rounding.
        EXPECT_NEAR(FillTop(panel.pbrLevel), labelCentre, 5) << value << " dB at height " << height;
      }
    }
  }
}

}  // namespace
}  // namespace vowelscope
