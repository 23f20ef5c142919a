// The window's analyses of sound it did not just record: an audio file in another format, a session's
// sound without its analyses, and the take on screen again after the settings changed.
#include "ui/WndMain.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QStatusBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../sound/Soxfiles.h"
#include "Wndmaintestsupport.h"
#include "support/Testfolder.h"
#include "ui/DlgOption.h"
#include "ui/DlgProgress.h"
#include "ui/Numedit.h"
#include "ui/Wndmessages.h"
#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"

namespace vowelscope {
namespace {

using wndtest::Action;
using wndtest::Child;

namespace fs = std::filesystem;

// Median F0 of the frames the chart shows as voiced.
double MedianF0(const FZeroResult& result) {
  std::vector<double> f0;
  for (const FZeroValue& v : result.values) {
    if (v.score >= 0.7f && v.frequency > 0) f0.push_back(v.frequency);
  }
  if (f0.empty()) return 0.0;
  std::sort(f0.begin(), f0.end());
  return f0[f0.size() / 2];
}

class WindowAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndanalysis");
    QApplication::setQuitOnLastWindowClosed(false);
    TfrmMain::Environment environment;
    environment.input = std::make_shared<VirtualWaveIn>();
    environment.output = std::make_shared<VirtualWaveOut>();
    environment.settingsFile = (folder / "Settings.ini").string();
    environment.regionsFolder = (folder / "regions").string();
    environment.hooks = wndtest::Forwarding(hooks);
    window = std::make_unique<TfrmMain>(std::move(environment));
    hooks.showError = [this](const QString& message) { errors.push_back(message.toStdString()); };
    hooks.askYesNo = [this](const QString& question) {
      questions.push_back(question.toStdString());
      return answer;
    };
    window->show();
    QApplication::processEvents();
  }

  void TearDown() override {
    window.reset();
    fs::remove_all(folder);
  }

  // Chooses `file` in the analysis command and runs it; the progress box has come and gone on return.
  void AnalyseFile(const fs::path& file) {
    hooks.chooseAudioFile = [file] { return QString::fromStdString(file.string()); };
    Action(*window, "actAnalyseFile")->trigger();
    ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown(); }));
  }

  fs::path MakeVoice(const std::string& name, double pitch, const std::string& soxOptions) {
    const fs::path file = folder / name;
    EXPECT_TRUE(soxfiles::Convert(wndtest::Voice(1.0, pitch), wndtest::kRate, soxOptions, file));
    return file;
  }

  fs::path folder;
  // The window asks these; set before or during a test (Forwarding reads them at each question).
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  bool answer = true;
};

TEST_F(WindowAnalysisTest, AStereoFileAt44100Hz_IsShownAsTheTake_WithItsF0_AndTheConversionInTheStatusBar) {
  AnalyseFile(MakeVoice("phone.wav", 200.0, "-r 44100 -c 2"));
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_NEAR(static_cast<double>(window->GetEngine().GetSound()->GetLength()), wndtest::kRate, 275);
  ASSERT_NE(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_NEAR(MedianF0(*window->GetEngine().GetFZeroResult()), 200.0, 2.0) << "within 1 %";
  EXPECT_EQ(window->GetEngine().GetFormantTrack()->size(), (window->GetEngine().GetSound()->GetLength() + 274) / 275);
  EXPECT_FALSE(window->GetWavePeaks().empty());
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "44100 Hz ステレオ → 11025 Hz モノラルに変換しました");
  window->UpdateActions();
  EXPECT_TRUE(Action(*window, "actStartPlay")->isEnabled());
  EXPECT_TRUE(Action(*window, "actReanalyse")->isEnabled());
}

TEST_F(WindowAnalysisTest, FilesThatCannotBeRead_SayWhy_AndKeepTheTakeOnScreen) {
  AnalyseFile(MakeVoice("good.flac", 180.0, "-r 48000"));
  const auto result = window->GetEngine().GetFZeroResult();
  const uint32_t length = window->GetEngine().GetSound()->GetLength();
  const auto peaks = window->GetWavePeaks();

  const fs::path text = folder / "notes.wav";
  std::ofstream(text) << "not a recording\n";
  const fs::path cut = folder / "cut.flac";
  fs::copy_file(folder / "good.flac", cut);
  fs::resize_file(cut, fs::file_size(cut) / 2);
  for (const fs::path& file : {text, cut}) AnalyseFile(file);

  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "この形式の音声ファイルは読み込めません。\nnotes.wav");
  EXPECT_EQ(errors[1], "音声ファイルが壊れているか、途中で切れています。\ncut.flac");
  EXPECT_EQ(window->GetEngine().GetFZeroResult(), result);
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), length);
  EXPECT_EQ(window->GetWavePeaks().size(), peaks.size());
}

// Notes every bar position the analysis posts to the window, before the window handles it.
class ProgressWatch : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == UM_ANALYSIS_PROGRESS) {
      TMessageEvent::Received(event);
      positions.push_back(static_cast<TMessageEvent*>(event)->wParam);
    }
    return QObject::eventFilter(watched, event);
  }
  std::vector<int> positions;
};

TEST_F(WindowAnalysisTest, AnalysingAFile_MovesOneBarFromStartToEnd_ThatNeverGoesBack) {
  // Long enough for the reading, the blocks and the F0 pass to report many steps each.
  const fs::path file = folder / "long.wav";
  ASSERT_TRUE(soxfiles::Convert(wndtest::Voice(20.0, 180.0), wndtest::kRate, "-r 44100 -c 2", file));
  ProgressWatch watch;
  window->installEventFilter(&watch);
  AnalyseFile(file);
  window->removeEventFilter(&watch);
  EXPECT_TRUE(errors.empty());
  const std::vector<int>& bar = watch.positions;
  ASSERT_GT(bar.size(), 20u);
  EXPECT_LT(bar.front(), TfrmProgress::BarMaximum / 10) << "starts near the left with the reading";
  EXPECT_EQ(bar.back(), TfrmProgress::BarMaximum) << "ends full";
  for (size_t i = 1; i < bar.size(); ++i) ASSERT_GE(bar[i], bar[i - 1]) << "step " << i;
}

TEST_F(WindowAnalysisTest, OpeningALoneWave_OffersItsAnalysis_InsteadOfTheMissingFileError) {
  const fs::path lone = MakeVoice("take.wav", 150.0, "");
  hooks.chooseOpenFile = [lone] { return QString::fromStdString(lone.string()); };

  answer = false;
  Action(*window, "actLoad")->trigger();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].rfind("F0 ファイルが見つかりません。", 0), 0u) << questions[0];
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), 0u) << "declined: nothing is analysed";

  answer = true;
  Action(*window, "actLoad")->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown(); }));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), static_cast<uint32_t>(wndtest::kRate));
  ASSERT_NE(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_NEAR(MedianF0(*window->GetEngine().GetFZeroResult()), 150.0, 1.5) << "within 1 %";
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "11025 Hz モノラルの音声を読み込みました");
}

TEST_F(WindowAnalysisTest, Reanalysis_AfterTheF0RangeChanged_UpdatesTheF0WithoutRecordingAgain) {
  AnalyseFile(MakeVoice("take.ogg", 220.0, "-r 44100 -c 2"));
  const auto before = window->GetEngine().GetFZeroResult();
  ASSERT_NE(before, nullptr);
  ASSERT_NEAR(MedianF0(*before), 220.0, 2.2);
  const uint32_t length = window->GetEngine().GetSound()->GetLength();

  // The new range through the options box; its offer to analyse again is declined, the command does it.
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TfrmOption*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->edtF0Min->setText(QStringLiteral("60"));
    dialog->edtF0Max->setText(QStringLiteral("150"));
    dialog->accept();
  });
  answer = false;
  Action(*window, "actOption")->trigger();
  ASSERT_EQ(window->GetSettings().GetF0Max(), 150);
  EXPECT_EQ(window->GetEngine().GetFZeroResult(), before) << "declined: not analysed yet";
  Action(*window, "actReanalyse")->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown(); }));
  const auto after = window->GetEngine().GetFZeroResult();
  ASSERT_NE(after, before);
  for (const FZeroValue& v : after->values) ASSERT_LE(v.frequency, 150.5f) << "the new range bounds every frame";
  EXPECT_EQ(window->GetEngine().GetSound()->GetLength(), length);
  EXPECT_TRUE(errors.empty());
}

TEST_F(WindowAnalysisTest, OptionsConfirmedWithATakeOnScreen_OfferReanalysis) {
  AnalyseFile(MakeVoice("take.wav", 200.0, "-r 22050"));
  const auto before = window->GetEngine().GetFZeroResult();
  // OK in the options box as soon as it is up.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->accept();
  });
  Action(*window, "actOption")->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown(); }));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_NE(window->GetEngine().GetFZeroResult(), before) << "analysed again";

  // Cancelled: no question.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  Action(*window, "actOption")->trigger();
  EXPECT_EQ(questions.size(), 1u);
}

}  // namespace
}  // namespace vowelscope
