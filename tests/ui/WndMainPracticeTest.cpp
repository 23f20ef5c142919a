// The main window's practice pieces on in-memory sound devices: the live pitch readout and the live F0
// dots while recording, the target vowel with its score and attempts, and guide sets made from a take.
#include "ui/WndMain.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "../analysis/Voices.h"
#include "Wndmaintestsupport.h"
#include "charts/Formantchart.h"
#include "ui/DlgGuide.h"
#include "support/Scopedenv.h"
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

// Two guides far apart, as a man says /a/ and /i/, and a second set to switch to.
constexpr const char* kGuides =
    "[Information]\nCaption=練習\n"
    "[Region0]\nEnabled=1\nCaption=a\nF1Center=750\nF2Center=1190\nF1Length=150\nF2Length=300\nColor=255\n"
    "[Region1]\nEnabled=1\nCaption=i\nF1Center=290\nF2Center=2200\nF1Length=80\nF2Length=300\nColor=16711680\n";
constexpr const char* kOtherGuides =
    "[Information]\nCaption=別のガイド\n"
    "[Region0]\nEnabled=1\nCaption=o\nF1Center=480\nF2Center=860\nF1Length=60\nF2Length=150\n";

// A man holding a vowel at his usual pitch.
std::vector<int16_t> ManVowel(double f1, double f2, double seconds) {
  voices::VoiceRecipe recipe;
  recipe.seconds = seconds;
  recipe.f0Start = recipe.f0End = voices::TypicalF0(voices::Speaker::Man);
  recipe.formants = voices::VowelResonances(voices::Speaker::Man, f1, f2);
  return voices::Synthesize(recipe).samples;
}

class MainWindowPracticeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("wndpractice");
    fs::create_directories(folder / "regions");
    testsupport::WriteFile(folder / "regions" / "1-practice.ini", kGuides);
    testsupport::WriteFile(folder / "regions" / "2-other.ini", kOtherGuides);
    // The user's own guide sets go to the test's folder, never to the real one.
    data = std::make_unique<testsupport::ScopedEnv>("XDG_DATA_HOME", (folder / "data").string());
    MakeWindow();
  }

  void MakeWindow() {
    window.reset();
    wndtest::InMemoryWindow opened = wndtest::OpenInMemoryWindow(folder, hooks);
    input = std::move(opened.input);
    window = std::move(opened.window);
  }

  void TearDown() override {
    window.reset();
    data.reset();
  }

  QComboBox* Targets() { return Child<QComboBox>(*window, "cbxTarget"); }
  QComboBox* Guides() { return Child<QComboBox>(*window, "cbxRegions"); }
  QTreeWidget* Attempts() { return Child<QTreeWidget>(*window, "lvwAttempts"); }

  // The chart's pixel where a formant pair is drawn.
  QPoint ChartPoint(double f1, double f2) {
    const QWidget* chart = Child<QWidget>(*window, "pbxFormant");
    Point point;
    EXPECT_TRUE(FormantView::FromSettings(window->GetSettings())
                    .Map(f1, f2, chart->width() - FormantChart::kPlotLeft, chart->height() - FormantChart::kPlotTop, point));
    return QPoint(point.x + FormantChart::kPlotLeft, point.y + FormantChart::kPlotTop);
  }
  QColor ChartPixel(const QPoint& at) { return Child<QWidget>(*window, "pbxFormant")->grab().toImage().pixelColor(at); }
  int WhitePixels() { return wndtest::ColourPixels(*Child<QWidget>(*window, "pbxFormant"), QColor(255, 255, 255)); }

  // The score shown, in per cent; -1 for none.
  int ShownScore() {
    const QString text = Child<QLabel>(*window, "lblScore")->text();
    return text.endsWith(QStringLiteral(" %")) ? text.chopped(2).toInt() : -1;
  }

  // Records the samples and waits, still recording, until every block is scored.
  void RecordUntilHeard(const std::vector<int16_t>& samples) {
    input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Stall);
    Action(*window, "actStartRecord")->trigger();
    ASSERT_TRUE(window->GetEngine().IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return input->SourceLeft() == 0; }));
    // The last blocks' messages after the input ran dry.
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
      QTest::qWait(10);
    }
  }

  QString Readout(const char* label) { return Child<QLabel>(*window, label)->text(); }

  // Pure red pixels of the F0 chart: its voiced frames.
  int RedDotPixels() { return wndtest::ColourPixels(*Child<QWidget>(*window, "pbxFZero"), QColor(255, 0, 0)); }

  void StopAndWaitForTheAnalysis() { ASSERT_TRUE(wndtest::StopRecordAndWaitForTheAnalysis(*window)); }

  fs::path folder;
  std::shared_ptr<VirtualWaveIn> input;
  TfrmMain::Hooks hooks;
  std::unique_ptr<TfrmMain> window;
  std::unique_ptr<testsupport::ScopedEnv> data;
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

TEST_F(MainWindowPracticeTest, ATargetPickedFromTheListOrByAClick_IsDrawnBolderWithTheOthersDimmed_UntilTheSetChanges) {
  ASSERT_EQ(Guides()->currentText(), QStringLiteral("練習"));
  ASSERT_EQ(Targets()->count(), 3);  // none, a, i
  // A pixel inside the /i/ guide, clear of its caption and of the grid.
  const QPoint insideI = ChartPoint(285, 2380);
  const int plain = ChartPixel(insideI).blue();

  Targets()->setCurrentIndex(Targets()->findText(QStringLiteral("a")));
  emit Targets()->activated(Targets()->currentIndex());
  QApplication::processEvents();
  EXPECT_LT(ChartPixel(insideI).blue(), plain) << "the other guide is dimmed beside the target";

  QTest::mouseClick(Child<QWidget>(*window, "pbxFormant"), Qt::LeftButton, {}, ChartPoint(290, 2200));
  QApplication::processEvents();
  EXPECT_EQ(Targets()->currentText(), QStringLiteral("i"));
  EXPECT_GT(ChartPixel(insideI).blue(), plain) << "the clicked guide is the target";
  // A click beside every guide keeps the target.
  QTest::mouseClick(Child<QWidget>(*window, "pbxFormant"), Qt::LeftButton, {}, ChartPoint(1100, 3800));
  EXPECT_EQ(Targets()->currentText(), QStringLiteral("i"));

  // Its own access key, apart from the menus' and the guide selector's.
  window->activateWindow();
  QTest::keyClick(window.get(), Qt::Key_V, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), Targets());

  Guides()->setCurrentIndex(1);
  emit Guides()->activated(1);
  QApplication::processEvents();
  EXPECT_EQ(Targets()->currentIndex(), 0);
  EXPECT_EQ(Targets()->count(), 2);
}

TEST_F(MainWindowPracticeTest, ThePickedTargetIsRememberedForTheNextStart_UntilAnotherSetIsPicked) {
  QTest::mouseClick(Child<QWidget>(*window, "pbxFormant"), Qt::LeftButton, {}, ChartPoint(290, 2200));
  ASSERT_EQ(Targets()->currentText(), QStringLiteral("i"));
  MakeWindow();
  EXPECT_EQ(Targets()->currentText(), QStringLiteral("i"));

  // Another set and back: the target went with the first pick.
  Guides()->setCurrentIndex(1);
  emit Guides()->activated(1);
  Guides()->setCurrentIndex(0);
  emit Guides()->activated(0);
  MakeWindow();
  EXPECT_EQ(Guides()->currentText(), QStringLiteral("練習"));
  EXPECT_EQ(Targets()->currentIndex(), 0);
}

TEST_F(MainWindowPracticeTest, AVowelInsideTheTargetScoresHigh_OneOutsideLow_EachAnAttempt_ClearedByTheButton) {
  const int whiteBefore = WhitePixels();
  Targets()->setCurrentIndex(Targets()->findText(QStringLiteral("a")));
  emit Targets()->activated(Targets()->currentIndex());
  EXPECT_EQ(ShownScore(), -1) << "no score before a voice";

  RecordUntilHeard(ManVowel(750, 1190, 1.5));
  EXPECT_GE(ShownScore(), 90);
  StopAndWaitForTheAnalysis();
  RecordUntilHeard(ManVowel(290, 2200, 1.5));
  EXPECT_LE(ShownScore(), 10);
  StopAndWaitForTheAnalysis();

  // Newest first: the /i/ outside the target, then the /a/ inside it.
  ASSERT_EQ(Attempts()->topLevelItemCount(), 2);
  const QTreeWidgetItem* outside = Attempts()->topLevelItem(0);
  const QTreeWidgetItem* inside = Attempts()->topLevelItem(1);
  EXPECT_EQ(inside->text(0), QStringLiteral("1"));
  EXPECT_GE(inside->text(3).chopped(2).toInt(), 90) << inside->text(3).toStdString();
  EXPECT_LE(outside->text(3).chopped(2).toInt(), 10) << outside->text(3).toStdString();
  // Each attempt's mean: the vowel's formants within 10 %.
  EXPECT_NEAR(inside->text(1).toDouble(), 750, 75);
  EXPECT_NEAR(inside->text(2).toDouble(), 1190, 119);
  EXPECT_NEAR(outside->text(1).toDouble(), 290, 29);
  EXPECT_NEAR(outside->text(2).toDouble(), 2200, 220);
  EXPECT_GT(WhitePixels(), whiteBefore) << "the attempts are marked on the chart";

  QTest::mouseClick(Child<QPushButton>(*window, "btnClear"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(Attempts()->topLevelItemCount(), 0);
  EXPECT_EQ(WhitePixels(), whiteBefore);
}

TEST_F(MainWindowPracticeTest, AGuideMadeFromHeldVowels_IsWrittenToTheUsersFolder_ListedAndSelected) {
  EXPECT_FALSE(Action(*window, "actMakeGuide")->isEnabled()) << "no take yet";
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Man);
  RecordUntilHeard(voices::HeldVowels(voices::Speaker::Man, 0.8));
  EXPECT_FALSE(Action(*window, "actMakeGuide")->isEnabled()) << "while recording";
  StopAndWaitForTheAnalysis();
  window->UpdateActions();
  ASSERT_TRUE(Action(*window, "actMakeGuide")->isEnabled());

  QString recording;
  int rows = 0;
  hooks.runGuide = [&](TfrmGuide& dialog) {
    recording = dialog.lblRecording->text();
    rows = dialog.grdStretches->rowCount();
    for (int i = 0; i < rows; ++i) dialog.LabelBox(i)->setCurrentText(QString::fromUtf8(vowels[i % 5].name));
    dialog.edtSpeaker->setText(QStringLiteral("田中"));
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  };
  Action(*window, "actMakeGuide")->trigger();
  QApplication::processEvents();

  EXPECT_EQ(rows, 5);
  EXPECT_TRUE(recording.contains(QStringLiteral("録音"))) << recording.toStdString();
  const fs::path written = folder / "data" / "Halcyon" / "Vowelscope" / "regions" / "田中.ini";
  ASSERT_TRUE(fs::is_regular_file(written));
  EXPECT_NE(testsupport::ReadFile(written).find("; measured from 録音"), std::string::npos);
  EXPECT_EQ(Guides()->count(), 3);
  EXPECT_EQ(Guides()->currentText(), QStringLiteral("田中"));
  EXPECT_EQ(Targets()->count(), 6) << "the new set's five vowels can be aimed at";
}

TEST_F(MainWindowPracticeTest, ATakeWithoutAHeldVowelSaysSo_AndWritesNothing) {
  QString error;
  hooks.showError = [&](const QString& message) { error = message; };
  bool boxShown = false;
  hooks.runGuide = [&](TfrmGuide&) { return boxShown = true; };
  // Glides from vowel to vowel between pauses: voice with formants, but never 200 ms of one vowel.
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Man);
  std::vector<int16_t> take(2205, 0);
  for (size_t i = 0; i + 1 < vowels.size(); ++i) {
    const auto glide = voices::Synthesize(voices::VowelGlide(voices::Speaker::Man, vowels[i], vowels[i + 1], 0.5)).samples;
    take.insert(take.end(), glide.begin(), glide.end());
    take.insert(take.end(), 1100, 0);
  }
  RecordUntilHeard(take);
  StopAndWaitForTheAnalysis();
  window->UpdateActions();
  ASSERT_TRUE(Action(*window, "actMakeGuide")->isEnabled());
  Action(*window, "actMakeGuide")->trigger();

  EXPECT_EQ(error, QString::fromUtf8(TfrmGuide::kNoSteadyStretch));
  EXPECT_FALSE(boxShown);
  EXPECT_FALSE(fs::exists(folder / "data"));
  EXPECT_EQ(Guides()->count(), 2);
}

TEST_F(MainWindowPracticeTest, AUserFolderThatCannotBeMade_GivesAMessage_AndLosesNothing) {
  // A file where the data folder should be: no folder can be made under it, not even by root.
  const fs::path blocked = folder / "blocked";
  testsupport::WriteFile(blocked, "a file, not a folder");
  // The fixture's variable is put back first, so that the new one is the one restored at the end.
  data.reset();
  data = std::make_unique<testsupport::ScopedEnv>("XDG_DATA_HOME", blocked.string());
  MakeWindow();
  RecordUntilHeard(voices::HeldVowels(voices::Speaker::Man, 0.8));
  StopAndWaitForTheAnalysis();

  QString message;
  std::vector<std::string> labelsAfter;
  hooks.runGuide = [&](TfrmGuide& dialog) {
    for (int i = 0; i < dialog.grdStretches->rowCount(); ++i) dialog.LabelBox(i)->setCurrentText(QStringLiteral("a"));
    dialog.edtSpeaker->setText(QStringLiteral("田中"));
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        message = box->text();
        box->accept();
      }
    });
    dialog.accept();
    labelsAfter = dialog.Labels();
    EXPECT_EQ(dialog.edtSpeaker->text(), QStringLiteral("田中")) << "what was entered stays";
    return dialog.result() == QDialog::Accepted;
  };
  Action(*window, "actMakeGuide")->trigger();

  EXPECT_TRUE(message.contains(QStringLiteral("保存できませんでした"))) << message.toStdString();
  ASSERT_FALSE(labelsAfter.empty());
  for (const std::string& label : labelsAfter) EXPECT_EQ(label, "a");
  EXPECT_EQ(testsupport::ReadFile(blocked), "a file, not a folder");
  EXPECT_EQ(Guides()->count(), 2);
  EXPECT_EQ(Guides()->currentText(), QStringLiteral("練習"));
}

// A speaker's own set in the user's folder, its one vowel apart from the shipped guides.
constexpr const char* kUserGuides =
    "; measured from 録音 on 2026-12-11\n[Information]\nCaption=田中\n"
    "[Region0]\nEnabled=1\nCaption=u\nF1Center=400\nF2Center=800\nF1Length=50\nF2Length=100\nColor=65280\n";

class MainWindowGuideRemovalTest : public MainWindowPracticeTest {
 protected:
  // Writes the user's set, starts the window, and shows that set with its vowel as the target.
  void OpenWithTheUsersSet() {
    fs::remove_all(UserFile().parent_path());
    fs::create_directories(UserFile().parent_path());
    testsupport::WriteFile(UserFile(), kUserGuides);
    MakeWindow();
    ASSERT_EQ(Guides()->count(), 3);
    Pick(2);
    ASSERT_EQ(Guides()->currentText(), QStringLiteral("田中"));
    Targets()->setCurrentIndex(Targets()->findText(QStringLiteral("u")));
    emit Targets()->activated(Targets()->currentIndex());
    ASSERT_EQ(window->GetSettings().GetCurrentTarget(), "u");
  }

  void Pick(int index) {
    Guides()->setCurrentIndex(index);
    emit Guides()->activated(index);
    QApplication::processEvents();
  }

  fs::path UserFile() const { return folder / "data" / "Halcyon" / "Vowelscope" / "regions" / "田中.ini"; }
  QAction* Remove() { return Action(*window, "actRemoveGuide"); }
};

TEST_F(MainWindowGuideRemovalTest, OnlyTheUsersOwnSetsCanBeRemoved_AndNotWhileRecording) {
  OpenWithTheUsersSet();
  EXPECT_TRUE(Remove()->isEnabled());
  EXPECT_TRUE(Guides()->actions().contains(Remove())) << "offered on the guide selector too";
  Pick(0);
  EXPECT_FALSE(Remove()->isEnabled()) << "a shipped set";
  bool asked = false;
  hooks.askYesNo = [&](const QString&) { return asked = true; };
  Remove()->trigger();
  EXPECT_FALSE(asked);
  EXPECT_EQ(Guides()->count(), 3);

  Pick(2);
  input->SetSourceSamples(Voice(0.3, 220.0), VirtualWaveIn::AtEnd::Stall);
  Action(*window, "actStartRecord")->trigger();
  ASSERT_TRUE(window->GetEngine().IsRecording());
  EXPECT_FALSE(Remove()->isEnabled());
  StopAndWaitForTheAnalysis();
  window->UpdateActions();
  EXPECT_TRUE(Remove()->isEnabled());
}

TEST_F(MainWindowGuideRemovalTest, ARemovedSetsFileIsDeleted_AndTheFirstSetShown_ANoOrAFileThatStaysChangesNothing) {
  struct Case {
    const char* name;
    bool answer;
    // What happens to the file between the start and the command.
    std::function<void(const fs::path&)> meanwhile;
    bool removed;
    bool message;
  };
  const Case cases[] = {
      {"answered no", false, nullptr, false, false},
      {"answered yes", true, nullptr, true, false},
      // A folder of the same name that holds a file cannot be deleted, not even by root.
      {"cannot be deleted", true,
       [](const fs::path& file) {
         fs::remove(file);
         fs::create_directories(file / "kept");
       },
       false, true},
      {"already deleted elsewhere", true, [](const fs::path& file) { fs::remove(file); }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenWithTheUsersSet();
    const QPoint insideU = ChartPoint(400, 800);
    const QColor userGuide = ChartPixel(insideU);
    if (c.meanwhile) c.meanwhile(UserFile());
    QString question;
    QString message;
    hooks.askYesNo = [&](const QString& text) {
      question = text;
      return c.answer;
    };
    hooks.showError = [&](const QString& text) { message = text; };
    Remove()->trigger();
    QApplication::processEvents();

    EXPECT_TRUE(question.contains(QStringLiteral("ガイド「田中」を削除しますか"))) << question.toStdString();
    if (c.message) {
      EXPECT_TRUE(message.contains(QStringLiteral("田中.ini"))) << "the message names the file: " << message.toStdString();
    } else {
      EXPECT_TRUE(message.isEmpty()) << message.toStdString();
    }
    if (c.removed) {
      EXPECT_FALSE(fs::exists(UserFile()));
      EXPECT_EQ(Guides()->count(), 2);
      EXPECT_EQ(Guides()->findText(QStringLiteral("田中")), -1);
      EXPECT_EQ(Guides()->currentText(), QStringLiteral("練習"));
      EXPECT_EQ(Targets()->currentIndex(), 0) << "no target";
      EXPECT_NE(ChartPixel(insideU), userGuide) << "the chart shows the first set";
      EXPECT_FALSE(Remove()->isEnabled());
      // Remembered for the next start: the first set, without a target.
      MakeWindow();
      EXPECT_EQ(window->GetSettings().GetCurrentRegions(), "練習");
      EXPECT_EQ(window->GetSettings().GetCurrentTarget(), "");
    } else {
      EXPECT_TRUE(fs::exists(UserFile()));
      EXPECT_EQ(Guides()->count(), 3);
      EXPECT_EQ(Guides()->currentText(), QStringLiteral("田中"));
      EXPECT_EQ(Targets()->currentText(), QStringLiteral("u"));
      EXPECT_EQ(ChartPixel(insideU), userGuide);
      EXPECT_TRUE(Remove()->isEnabled());
      EXPECT_EQ(window->GetSettings().GetCurrentRegions(), "田中");
    }
    hooks = TfrmMain::Hooks();
  }
}

}  // namespace
}  // namespace vowelscope
