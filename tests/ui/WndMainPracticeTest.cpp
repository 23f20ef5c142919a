// The main window's practice pieces on in-memory sound devices: the live pitch readout and the live F0
// dots while recording.
#include "ui/WndMain.h"

#include <QApplication>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "Wndmaintestsupport.h"
#include "support/Testfolder.h"
#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using wndtest::Action;
using wndtest::Child;
using wndtest::Voice;
using wndtest::WaitUntil;

class MainWindowPracticeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndpractice");
    fs::create_directories(folder / "regions");
    QApplication::setQuitOnLastWindowClosed(false);
    input = std::make_shared<VirtualWaveIn>();
    input->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    auto output = std::make_shared<VirtualWaveOut>();
    output->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    TfrmMain::Environment environment;
    environment.input = input;
    environment.output = output;
    environment.settingsFile = (folder / "Settings.ini").string();
    environment.regionsFolder = (folder / "regions").string();
    environment.hooks = wndtest::Forwarding(hooks);
    window = std::make_unique<TfrmMain>(std::move(environment));
    window->show();
    QApplication::processEvents();
  }

  void TearDown() override { window.reset(); }

  QString Readout(const char* label) { return Child<QLabel>(*window, label)->text(); }

  // Pure red pixels of the F0 chart: its voiced frames.
  int RedDotPixels() {
    const QImage image = Child<QWidget>(*window, "pbxFZero")->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) red += image.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
    }
    return red;
  }

  void StopAndWaitForTheAnalysis() {
    Action(*window, "actStopRecord")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
      return !window->GetEngine().IsAnalysing() && !window->IsAnalysisBoxShown() &&
             QApplication::activeModalWidget() == nullptr;
    }));
    QApplication::processEvents();
  }

  fs::path folder;
  std::shared_ptr<VirtualWaveIn> input;
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowPracticeTest, WhileRecording_TheReadoutShowsTheVoicesPitchAndNote_AndTheF0ChartItsDots) {
  const QString dash = QStringLiteral("—");
  EXPECT_EQ(Readout("lblFrequency"), dash);
  input->SetSourceSamples(Voice(1.5, 220.0), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(window->GetEngine().IsRecording());
  // Every block recorded and its value posted, the recording still running (the input stalls).
  ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0 && Readout("lblFrequency") != dash; }));
  QApplication::processEvents();
  ASSERT_TRUE(window->GetEngine().IsRecording());

  const QString frequency = Readout("lblFrequency");
  ASSERT_TRUE(frequency.endsWith(QStringLiteral(" Hz"))) << frequency.toStdString();
  // 220 Hz within 20 cents (about 2.5 Hz), as the readout rounds to whole hertz.
  EXPECT_NEAR(frequency.chopped(3).toDouble(), 220.0, 2.5) << frequency.toStdString();
  EXPECT_TRUE(Readout("lblNote").startsWith(QStringLiteral("A3"))) << Readout("lblNote").toStdString();
  EXPECT_GT(RedDotPixels(), 0) << "no live F0 dots while recording";

  // The full pass replaces the live dots, and the readout has nothing to show once the take is over.
  StopAndWaitForTheAnalysis();
  EXPECT_EQ(Readout("lblFrequency"), dash);
  EXPECT_EQ(Readout("lblNote"), dash);
  ASSERT_NE(window->GetEngine().GetFZeroResult(), nullptr);
  EXPECT_GT(RedDotPixels(), 0);
}

}  // namespace
}  // namespace vowelscope
