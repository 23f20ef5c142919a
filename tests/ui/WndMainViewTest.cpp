// The main window's views of a take on in-memory sound devices: the F0 chart following the live end of a
// recording, and the whole take's scatter on the formant chart.
#include "ui/WndMain.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "Wndmaintestsupport.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using wndtest::Action;
using wndtest::Child;
using wndtest::Voice;
using wndtest::WaitUntil;

constexpr int kPlotLeft = 40;  // the F0 chart's frequency band

class MainWindowViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndview");
    fs::create_directories(folder / "regions");
    wndtest::InMemoryWindow opened = wndtest::OpenInMemoryWindow(folder, hooks);
    input = std::move(opened.input);
    window = std::move(opened.window);
    bar = Child<QScrollBar>(*window, "sclFZero");
    plotWidth = Child<QWidget>(*window, "pbxFZero")->width() - kPlotLeft;
  }

  void TearDown() override { window.reset(); }

  // Pure red pixels of the F0 chart (its voiced frames) in the columns from..to of its plot.
  int RedDotPixels(int from, int to) {
    return wndtest::ColourPixels(*Child<QWidget>(*window, "pbxFZero"), QColor(255, 0, 0), kPlotLeft + from, kPlotLeft + to);
  }

  // Records `seconds` more of a voice into the running recording and waits until the F0 chart's scroll
  // range reaches the end of a take of `totalSeconds` (within 0.4 s: the input holds back the part of a
  // buffer it has not filled). The last page starts one chart width before the end.
  void RecordMore(double seconds, double totalSeconds) {
    input->SetSourceSamples(Voice(seconds, 220.0), VirtualWaveIn::AtEnd::Stall);
    const int reached = static_cast<int>(plotWidth * (totalSeconds - 0.4) / 2.0) - plotWidth;
    ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0 && bar->maximum() >= reached; }))
        << "the range reached " << bar->maximum() << " of " << reached;
    // The last posted values too.
    WaitUntil([] { return false; }, 200);
  }

  void StopAndWaitForTheAnalysis() { ASSERT_TRUE(wndtest::StopRecordAndWaitForTheAnalysis(*window)); }

  // Pixels of the formant chart in the whole take's colour, once the trail has faded from over them.
  int WholeTakePixels() {
    EXPECT_TRUE(WaitUntil([&] {
      const std::vector<FormantValue> trail = window->GetTrail();
      return std::all_of(trail.begin(), trail.end(), [](const FormantValue& v) { return v.f1 == 0.0; });
    }));
    return wndtest::ColourPixels(*Child<QWidget>(*window, "pbxFormant"), QColor(110, 140, 180));
  }

  // Records a whole take from `samples` and waits for its analysis.
  void Record(const std::vector<int16_t>& samples) {
    input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Stall);
    Action(*window, "actStartRecord")->trigger();
    ASSERT_TRUE(window->GetEngine().IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
    WaitUntil([] { return false; }, 200);
    StopAndWaitForTheAnalysis();
  }

  fs::path folder;
  std::shared_ptr<VirtualWaveIn> input;
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
  QScrollBar* bar = nullptr;
  int plotWidth = 0;
};

TEST_F(MainWindowViewTest, WhileRecording_TheF0ChartFollowsTheLiveEnd_UnlessTheUserScrolledBack) {
  ASSERT_GT(plotWidth, 100);
  // A last take scrolled to its middle: the new recording still starts at its own beginning.
  bar->setRange(0, 5000);
  bar->setValue(2500);
  input->SetSourceSamples({}, VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(window->GetEngine().IsRecording());

  // Five seconds are two and a half chart widths: the newest dots stand at the right edge.
  RecordMore(5.0, 5.0);
  ASSERT_GE(bar->maximum(), plotWidth);
  EXPECT_EQ(bar->value(), bar->maximum()) << "the bar follows the live end";
  EXPECT_GT(RedDotPixels(plotWidth * 3 / 4, plotWidth), 0) << "no dots at the live end";

  // Scrolled back to the start, the view stays there while the recording goes on.
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  const int scrolledBackAt = bar->maximum();
  RecordMore(2.0, 7.0);
  EXPECT_GT(bar->maximum(), scrolledBackAt);
  EXPECT_EQ(bar->value(), 0) << "the view left where the user put it";
  EXPECT_GT(RedDotPixels(0, plotWidth / 4), 0) << "the take's first dots";

  // Brought back to the end, it follows again.
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  RecordMore(2.0, 9.0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_GT(RedDotPixels(plotWidth * 3 / 4, plotWidth), 0);
  StopAndWaitForTheAnalysis();
}

TEST_F(MainWindowViewTest, WholeTake_ShowsAfterARecordingAndForAnOpenedSession_AndTheToggleHidesIt) {
  QAction* toggle = Action(*window, "actShowWholeTake");
  ASSERT_TRUE(toggle->isCheckable());
  EXPECT_TRUE(toggle->isChecked()) << "on by default";
  EXPECT_EQ(WholeTakePixels(), 0) << "no take yet";

  Record(Voice(1.5, 140.0, 700.0, 1200.0));
  const int shown = WholeTakePixels();
  EXPECT_GT(shown, 0) << "the recording's voiced blocks";

  toggle->trigger();
  EXPECT_FALSE(window->GetSettings().GetShowWholeTake());
  EXPECT_EQ(WholeTakePixels(), 0) << "toggled off";
  toggle->trigger();
  EXPECT_EQ(WholeTakePixels(), shown) << "and on again";

  // Saved, replaced by a silent take (nothing voiced to show), and opened again.
  const std::string base = (folder / "take").string();
  hooks.chooseSaveFile = [&] { return QString::fromStdString(base); };
  Action(*window, "actSave")->trigger();
  ASSERT_TRUE(fs::exists(base + ".fr"));
  Record(std::vector<int16_t>(11025, 0));
  EXPECT_EQ(WholeTakePixels(), 0) << "a silent take";
  hooks.chooseOpenFile = [&] { return QString::fromStdString(base + ".wav"); };
  Action(*window, "actLoad")->trigger();
  QApplication::processEvents();
  EXPECT_EQ(WholeTakePixels(), shown) << "the opened session's take";
}

}  // namespace
}  // namespace vowelscope
