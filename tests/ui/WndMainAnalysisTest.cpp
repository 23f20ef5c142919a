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
#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"

namespace vowelscope {
namespace {

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
    folder = fs::path(VOWELSCOPE_TEST_TMP) /
             (std::string("wndanalysis_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    QApplication::setQuitOnLastWindowClosed(false);
    TfrmMain::Environment environment;
    environment.input = std::make_shared<VirtualWaveIn>();
    environment.output = std::make_shared<VirtualWaveOut>();
    environment.settingsFile = (folder / "Settings.ini").string();
    environment.regionsFolder = (folder / "regions").string();
    window = std::make_unique<TfrmMain>(std::move(environment));
    window->showError = [this](const QString& message) { errors.push_back(message.toStdString()); };
    window->askYesNo = [this](const QString& question) {
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
    window->chooseAudioFile = [file] { return QString::fromStdString(file.string()); };
    window->actAnalyseFile->trigger();
    ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->engine.IsAnalysing() && window->progressDialog == nullptr; }));
  }

  fs::path MakeVoice(const std::string& name, double pitch, const std::string& soxOptions) {
    const fs::path file = folder / name;
    EXPECT_TRUE(soxfiles::Convert(wndtest::Voice(1.0, pitch), wndtest::kRate, soxOptions, file));
    return file;
  }

  fs::path folder;
  std::unique_ptr<TfrmMain> window;
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  bool answer = true;
};

TEST_F(WindowAnalysisTest, AStereoFileAt44100Hz_IsShownAsTheTake_WithItsF0_AndTheConversionInTheStatusBar) {
  AnalyseFile(MakeVoice("phone.wav", 200.0, "-r 44100 -c 2"));
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_NEAR(static_cast<double>(window->engine.GetSound()->GetLength()), wndtest::kRate, 275);
  ASSERT_NE(window->engine.GetFZeroResult(), nullptr);
  EXPECT_NEAR(MedianF0(*window->engine.GetFZeroResult()), 200.0, 2.0) << "within 1 %";
  EXPECT_EQ(window->engine.GetFormantTrack()->size(), (window->engine.GetSound()->GetLength() + 274) / 275);
  EXPECT_FALSE(window->wavePeaks.empty());
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "44100 Hz ステレオ → 11025 Hz モノラルに変換しました");
  window->UpdateActions();
  EXPECT_TRUE(window->actStartPlay->isEnabled());
  EXPECT_TRUE(window->actReanalyse->isEnabled());
}

TEST_F(WindowAnalysisTest, FilesThatCannotBeRead_SayWhy_AndKeepTheTakeOnScreen) {
  AnalyseFile(MakeVoice("good.flac", 180.0, "-r 48000"));
  const auto result = window->engine.GetFZeroResult();
  const uint32_t length = window->engine.GetSound()->GetLength();
  const auto peaks = window->wavePeaks;

  const fs::path text = folder / "notes.wav";
  std::ofstream(text) << "not a recording\n";
  const fs::path cut = folder / "cut.flac";
  fs::copy_file(folder / "good.flac", cut);
  fs::resize_file(cut, fs::file_size(cut) / 2);
  for (const fs::path& file : {text, cut}) AnalyseFile(file);

  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "この形式の音声ファイルは読み込めません。\nnotes.wav");
  EXPECT_EQ(errors[1], "音声ファイルが壊れているか、途中で切れています。\ncut.flac");
  EXPECT_EQ(window->engine.GetFZeroResult(), result);
  EXPECT_EQ(window->engine.GetSound()->GetLength(), length);
  EXPECT_EQ(window->wavePeaks.size(), peaks.size());
}

TEST_F(WindowAnalysisTest, OpeningALoneWave_OffersItsAnalysis_InsteadOfTheMissingFileError) {
  const fs::path lone = MakeVoice("take.wav", 150.0, "");
  window->chooseOpenFile = [lone] { return QString::fromStdString(lone.string()); };

  answer = false;
  window->actLoad->trigger();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].rfind("F0 ファイルが見つかりません。", 0), 0u) << questions[0];
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(window->engine.GetSound()->GetLength(), 0u) << "declined: nothing is analysed";

  answer = true;
  window->actLoad->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->engine.IsAnalysing() && window->progressDialog == nullptr; }));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(window->engine.GetSound()->GetLength(), static_cast<uint32_t>(wndtest::kRate));
  ASSERT_NE(window->engine.GetFZeroResult(), nullptr);
  EXPECT_NEAR(MedianF0(*window->engine.GetFZeroResult()), 150.0, 1.5) << "within 1 %";
  EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), "11025 Hz モノラルの音声を読み込みました");
}

TEST_F(WindowAnalysisTest, Reanalysis_AfterTheF0RangeChanged_UpdatesTheF0WithoutRecordingAgain) {
  AnalyseFile(MakeVoice("take.ogg", 220.0, "-r 44100 -c 2"));
  const auto before = window->engine.GetFZeroResult();
  ASSERT_NE(before, nullptr);
  ASSERT_NEAR(MedianF0(*before), 220.0, 2.2);
  const uint32_t length = window->engine.GetSound()->GetLength();

  window->settings.SetF0Min(60);
  window->settings.SetF0Max(150);
  window->actReanalyse->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->engine.IsAnalysing() && window->progressDialog == nullptr; }));
  const auto after = window->engine.GetFZeroResult();
  ASSERT_NE(after, before);
  for (const FZeroValue& v : after->values) ASSERT_LE(v.frequency, 150.5f) << "the new range bounds every frame";
  EXPECT_EQ(window->engine.GetSound()->GetLength(), length);
  EXPECT_TRUE(errors.empty());
}

TEST_F(WindowAnalysisTest, OptionsConfirmedWithATakeOnScreen_OfferReanalysis) {
  AnalyseFile(MakeVoice("take.wav", 200.0, "-r 22050"));
  const auto before = window->engine.GetFZeroResult();
  // OK in the options box as soon as it is up.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->accept();
  });
  window->actOption->trigger();
  ASSERT_TRUE(wndtest::WaitUntil([&] { return !window->engine.IsAnalysing() && window->progressDialog == nullptr; }));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_NE(window->engine.GetFZeroResult(), before) << "analysed again";

  // Cancelled: no question.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  window->actOption->trigger();
  EXPECT_EQ(questions.size(), 1u);
}

}  // namespace
}  // namespace vowelscope
