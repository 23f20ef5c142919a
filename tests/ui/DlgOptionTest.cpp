// The options box on a Settings.ini of the test's own: what it shows, what OK stores and saves, and that
// Cancel leaves the file as it was.
#include "ui/DlgOption.h"

#include "config/Settings.h"
#include "ui/Numedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "support/Testfolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadFile;

class OptionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testsupport::TestFolder("dlgoption");
    iniPath = folder / "Settings.ini";
  }

  void WriteIni(const std::string& text) { testsupport::WriteFile(iniPath, text); }

  // Runs the options box modally; `act` is called on it once its modal loop runs and must end it.
  OptionsResult Run(Settings& settings, std::function<void(TfrmOption&)> act) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<TfrmOption*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      acted = true;
      act(*dialog);
    });
    const OptionsResult result = ExecuteOptions(nullptr, settings);
    EXPECT_TRUE(acted);
    return result;
  }

  fs::path folder;
  fs::path iniPath;
};

TEST_F(OptionDialogTest, ShowsEverySettingInItsFieldsFormat_OnTheFirstTab) {
  Settings settings((folder / "absent.ini").string());
  TfrmOption dialog;
  dialog.LoadFromSettings(settings);
  const std::pair<TNumEdit*, const char*> shown[] = {
      {dialog.edtFormantPreEmphasis, "0.98"}, {dialog.edtFormantOrder, "16"},   {dialog.edtFormantThreshold, "35.0"},
      {dialog.edtFormantBandWidth, "500"},    {dialog.edtF1DisplayMin, "200"},  {dialog.edtF1DisplayMax, "1200"},
      {dialog.edtF2DisplayMin, "500"},        {dialog.edtF2DisplayMax, "4000"}, {dialog.edtF0FrameShift, "10"},
      {dialog.edtF0Min, "60"},                {dialog.edtF0Max, "1000"},        {dialog.edtF0Threshold, "35.0"},
      {dialog.edtF0DisplayMin, "60"},         {dialog.edtF0DisplayMax, "1000"}, {dialog.edtMaxRecordMinute, "15"},
  };
  for (const auto& [edit, text] : shown) {
    EXPECT_EQ(edit->text().toStdString(), text) << edit->objectName().toStdString();
    EXPECT_EQ(edit->width(), 53);
  }
  EXPECT_EQ(dialog.pgcOption->count(), 3);
  EXPECT_EQ(dialog.pgcOption->currentIndex(), 0);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("オプション"));
  EXPECT_TRUE(dialog.btnOk->isDefault());
}

TEST_F(OptionDialogTest, TabOrder_FollowsTheRowsOfAGroup) {
  Settings settings((folder / "absent.ini").string());
  TfrmOption dialog;
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.edtFormantPreEmphasis->setFocus();
  const QWidget* expected[] = {dialog.edtFormantOrder,     dialog.chkFormantAutoOrder, dialog.edtFormantThreshold,
                               dialog.edtFormantBandWidth, dialog.edtF1DisplayMin,     dialog.edtF1DisplayMax,
                               dialog.edtF2DisplayMin};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(OptionDialogTest, AutoOrder_IsShownAndStored_AndDisablesTheOrderField) {
  for (const bool autoOrder : {true, false}) {
    WriteIni(autoOrder ? "[Formant]\nOrder=12\n" : "[Formant]\nOrder=12\nAutoOrder=0\n");
    Settings settings(iniPath.string());
    ASSERT_TRUE(settings.Load());
    bool shown = !autoOrder, orderEnabled = autoOrder;
    const OptionsResult result = Run(settings, [&](TfrmOption& dialog) {
      shown = dialog.chkFormantAutoOrder->isChecked();
      orderEnabled = dialog.edtFormantOrder->isEnabled();
      dialog.chkFormantAutoOrder->click();
      EXPECT_EQ(dialog.edtFormantOrder->isEnabled(), autoOrder);
      dialog.btnOk->click();
    });
    ASSERT_EQ(result, OptionsResult::Saved);
    EXPECT_EQ(shown, autoOrder);
    EXPECT_EQ(orderEnabled, !autoOrder);
    Settings reread(iniPath.string());
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetFormantAutoOrder(), !autoOrder);
    EXPECT_EQ(reread.GetFormantOrder(), 12) << "the order is kept for when the box is cleared";
  }
}

// The dialog as the user sees it; with VOWELSCOPE_SCREENSHOT_DIR set, saved there as options.png.
TEST_F(OptionDialogTest, Screenshot_ShowsTheAutoOrderBoxBesideTheOrder) {
  Settings settings((folder / "absent.ini").string());
  TfrmOption dialog;
  dialog.LoadFromSettings(settings);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QPixmap picture = dialog.grab();
  ASSERT_EQ(picture.size(), dialog.size());
  const QPoint box = dialog.chkFormantAutoOrder->mapTo(&dialog, QPoint(0, 0));
  const QPoint order = dialog.edtFormantOrder->mapTo(&dialog, QPoint(0, 0));
  EXPECT_TRUE(dialog.chkFormantAutoOrder->isVisible());
  EXPECT_GT(box.x(), order.x() + dialog.edtFormantOrder->width()) << "to the right of the order field";
  EXPECT_LT(std::abs(box.y() - order.y()), dialog.edtFormantOrder->height()) << "on its row";
  EXPECT_LE(box.x() + dialog.chkFormantAutoOrder->sizeHint().width(), dialog.width()) << "not cut off";
  if (const char* dir = std::getenv("VOWELSCOPE_SCREENSHOT_DIR")) {
    EXPECT_TRUE(picture.save(QString::fromLocal8Bit(dir) + QStringLiteral("/options.png")));
  }
}

TEST_F(OptionDialogTest, Cancel_LeavesTheSettingsAndTheFileUntouched) {
  const std::string original = "[Formant]\nOrder=64\n; a comment the user keeps\n[Record]\nMaxRecordMinute=3\n";
  WriteIni(original);
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  const auto result = Run(settings, [](TfrmOption& dialog) {
    dialog.edtMaxRecordMinute->setText(QStringLiteral("99"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(result, OptionsResult::Cancelled);
  EXPECT_EQ(ReadFile(iniPath), original);
  EXPECT_EQ(settings.GetMaxRecordMinute(), 3);
  EXPECT_EQ(settings.GetFormantOrder(), 32) << "as loaded: the file's 64 is held to the order's range";
}

TEST_F(OptionDialogTest, Ok_StoresClampedAndTruncatedValues_AndSavesTheFile) {
  WriteIni("[Formant]\nOrder=64\nPreEmphasis=1.500000\nBandWidth=0\n[F0]\nFrameShift=20000\n");
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  QString shownOrder;
  const auto result = Run(settings, [&](TfrmOption& dialog) {
    shownOrder = dialog.edtFormantOrder->text();
    dialog.edtF0Threshold->setText(QStringLiteral("42.5"));
    dialog.edtF1DisplayMin->setText(QStringLiteral("900"));
    dialog.edtMaxRecordMinute->setText(QStringLiteral("7"));
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
  });
  EXPECT_EQ(result, OptionsResult::Saved);
  EXPECT_EQ(shownOrder, QStringLiteral("32"));

  Settings reread(iniPath.string());
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.GetFormantOrder(), 32);
  EXPECT_DOUBLE_EQ(reread.GetFormantPreEmphasis(), 0.99);
  EXPECT_EQ(reread.GetFormantBandWidth(), 1);
  EXPECT_EQ(reread.GetF0FrameShift(), 9999);  // 9999.9 truncated toward zero
  EXPECT_DOUBLE_EQ(reread.GetF0Threshold(), 42.5);
  EXPECT_EQ(reread.GetF1DisplayMin(), 900);
  EXPECT_EQ(reread.GetF1DisplayMax(), 1200);
  EXPECT_EQ(reread.GetMaxRecordMinute(), 7);
  EXPECT_EQ(ReadFile(iniPath).find("Order=32") != std::string::npos, true);
}

TEST_F(OptionDialogTest, Ok_WithAnOutOfRangeEntryInTheFocusedField_StoresTheFieldsClampedValue) {
  Settings settings(iniPath.string());
  const auto result = Run(settings, [](TfrmOption& dialog) {
    dialog.pgcOption->setCurrentIndex(2);
    dialog.edtMaxRecordMinute->setFocus();
    dialog.edtMaxRecordMinute->setText(QStringLiteral("500"));
    // Enter presses the default button without leaving the field.
    QTest::keyClick(dialog.edtMaxRecordMinute, Qt::Key_Return);
  });
  EXPECT_EQ(result, OptionsResult::Saved);
  EXPECT_EQ(settings.GetMaxRecordMinute(), 120);
}

TEST_F(OptionDialogTest, EnterOnTheFocusedCancelButton_CancelsAndSavesNothing) {
  WriteIni("[Record]\nMaxRecordMinute=3\n");
  const std::string original = ReadFile(iniPath);
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  const auto result = Run(settings, [](TfrmOption& dialog) {
    dialog.edtMaxRecordMinute->setText(QStringLiteral("99"));
    dialog.btnCancel->setFocus();
    QTest::keyClick(dialog.btnCancel, Qt::Key_Return);
  });
  EXPECT_EQ(result, OptionsResult::Cancelled);
  EXPECT_EQ(ReadFile(iniPath), original);
  EXPECT_EQ(settings.GetMaxRecordMinute(), 3);
}

// The message box OK raised, closed at once; its text, or empty when none came.
QString TakeWarning() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) return {};
  const QString text = box->text();
  box->accept();
  return text;
}

TEST_F(OptionDialogTest, Ok_RefusesAMinimumAboveItsMaximumOrAFrameShiftOfZero_NamingTheField_AndStoresNothing) {
  struct Case {
    const char* minField;  // object name of the field set to `min`
    const char* min;
    const char* maxField;
    const char* max;
    const char* named;  // what the message must name
  };
  const Case cases[] = {
      {"edtF1DisplayMin", "900", "edtF1DisplayMax", "800", "F1 表示範囲"},
      {"edtF2DisplayMin", "3000", "edtF2DisplayMax", "2000", "F2 表示範囲"},
      {"edtF0Min", "500", "edtF0Max", "400", "F0 の最小周波数"},
      {"edtF0DisplayMin", "700", "edtF0DisplayMax", "600", "F0 表示範囲"},
      {"edtF0FrameShift", "0", "edtF0FrameShift", "0.5", "フレームシフト"},
  };
  WriteIni("[Record]\nMaxRecordMinute=3\n");
  const std::string original = ReadFile(iniPath);
  for (const Case& c : cases) {
    Settings settings(iniPath.string());
    ASSERT_TRUE(settings.Load());
    QString warning;
    bool stayedOpen = false;
    QWidget* focused = nullptr;
    TNumEdit* minEdit = nullptr;
    const auto result = Run(settings, [&](TfrmOption& dialog) {
      minEdit = dialog.findChild<TNumEdit*>(QString::fromLatin1(c.minField));
      auto* maxEdit = dialog.findChild<TNumEdit*>(QString::fromLatin1(c.maxField));
      ASSERT_NE(minEdit, nullptr);
      ASSERT_NE(maxEdit, nullptr);
      maxEdit->setText(QString::fromUtf8(c.max));
      minEdit->setText(QString::fromUtf8(c.min));
      dialog.edtMaxRecordMinute->setText(QStringLiteral("99"));
      QTimer::singleShot(0, [&] { warning = TakeWarning(); });
      dialog.btnOk->click();
      stayedOpen = dialog.isVisible();
      focused = dialog.focusWidget();
      dialog.reject();
    });
    EXPECT_EQ(result, OptionsResult::Cancelled) << c.minField;
    EXPECT_TRUE(stayedOpen) << c.minField;
    EXPECT_TRUE(warning.contains(QString::fromUtf8(c.named))) << c.minField << ": " << warning.toStdString();
    EXPECT_EQ(focused, minEdit) << c.minField << ": the field to mend has the focus";
    EXPECT_EQ(settings.GetMaxRecordMinute(), 3) << c.minField << ": nothing was stored";
    EXPECT_EQ(ReadFile(iniPath), original) << c.minField;
  }
}

TEST_F(OptionDialogTest, Orientation_IsShownAndStored_AndThePresetGivesTheTraditionalVowelChart) {
  WriteIni("[View]\nSwapXY=0\nF1Reverse=1\nF2Reverse=0\n");
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  bool shown[3] = {};
  const auto result = Run(settings, [&](TfrmOption& dialog) {
    shown[0] = dialog.chkSwapXY->isChecked();
    shown[1] = dialog.chkF1Reverse->isChecked();
    shown[2] = dialog.chkF2Reverse->isChecked();
    dialog.btnVowelChart->click();
    dialog.btnOk->click();
  });
  ASSERT_EQ(result, OptionsResult::Saved);
  EXPECT_FALSE(shown[0]);
  EXPECT_TRUE(shown[1]);
  EXPECT_FALSE(shown[2]);
  Settings reread(iniPath.string());
  ASSERT_TRUE(reread.Load());
  // F1 down the page, growing downward; F2 across, falling to the right.
  EXPECT_TRUE(reread.GetSwapXY());
  EXPECT_TRUE(reread.GetF1Reverse());
  EXPECT_TRUE(reread.GetF2Reverse());
}

// The box's access keys, read from its labels and check boxes: one key per field on each page.
TEST_F(OptionDialogTest, SemitoneAxis_IsShownAndStored_AndItsAccessKeyIsTheOnlyOneOnItsPage) {
  WriteIni("[View]\nFZeroSemitoneAxis=0\n");
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  bool shown = true;
  const auto result = Run(settings, [&](TfrmOption& dialog) {
    shown = dialog.chkFZeroSemitoneAxis->isChecked();
    dialog.pgcOption->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
    // An access key presses the box the way a click does, released a moment later.
    for (int i = 0; i < 100 && !dialog.chkFZeroSemitoneAxis->isChecked(); ++i) QTest::qWait(10);
    EXPECT_TRUE(dialog.chkFZeroSemitoneAxis->isChecked()) << "Alt+S ticks the box";
    dialog.btnOk->click();
  });
  ASSERT_EQ(result, OptionsResult::Saved);
  EXPECT_FALSE(shown);
  Settings reread(iniPath.string());
  ASSERT_TRUE(reread.Load());
  EXPECT_TRUE(reread.GetFZeroSemitoneAxis());

  TfrmOption dialog;
  for (int page = 0; page < dialog.pgcOption->count(); ++page) {
    QStringList texts;
    for (const QLabel* label : dialog.pgcOption->widget(page)->findChildren<QLabel*>()) texts << label->text();
    for (const QAbstractButton* button : dialog.pgcOption->widget(page)->findChildren<QAbstractButton*>()) {
      texts << button->text();
    }
    QStringList keys;
    for (const QString& text : texts) {
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      if (at >= 0 && at + 1 < text.size()) keys << text.mid(at + 1, 1).toUpper();
    }
    EXPECT_EQ(keys.removeDuplicates(), 0) << "page " << page << ": " << keys.join(QLatin1Char(' ')).toStdString();
  }
}

TEST_F(OptionDialogTest, Ok_WhenTheFileCannotBeWritten_ReportsTheFailedSave) {
  Settings settings((folder / "no-such-folder" / "Settings.ini").string());
  const auto result = Run(settings, [](TfrmOption& dialog) { dialog.btnOk->click(); });
  EXPECT_EQ(result, OptionsResult::SaveFailed);
  EXPECT_FALSE(fs::exists(folder / "no-such-folder"));
}

}  // namespace
}  // namespace vowelscope
