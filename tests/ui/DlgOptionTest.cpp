// The options box on a Settings.ini of the test's own: what it shows, what OK stores and saves, and that
// Cancel leaves the file as it was.
#include "ui/DlgOption.h"

#include "config/Settings.h"
#include "ui/Numedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class OptionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::path(VOWELSCOPE_TEST_TMP) /
             (std::string("dlgoption_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    iniPath = folder / "Settings.ini";
  }

  void WriteIni(const std::string& text) { std::ofstream(iniPath, std::ios::binary) << text; }

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
      {dialog.edtFormantBandWidth, "500"},    {dialog.edtF1DisplayMin, "200"},  {dialog.edtF1DisplayMax, "800"},
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
  ASSERT_EQ(picture.size(), QSize(426, 363));
  const QPoint box = dialog.chkFormantAutoOrder->mapTo(&dialog, QPoint(0, 0));
  const QPoint order = dialog.edtFormantOrder->mapTo(&dialog, QPoint(0, 0));
  EXPECT_TRUE(dialog.chkFormantAutoOrder->isVisible());
  EXPECT_GT(box.x(), order.x() + dialog.edtFormantOrder->width()) << "to the right of the order field";
  EXPECT_LT(std::abs(box.y() - order.y()), dialog.edtFormantOrder->height()) << "on its row";
  EXPECT_LE(box.x() + dialog.chkFormantAutoOrder->sizeHint().width(), 426) << "not cut off";
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
  EXPECT_EQ(ReadAll(iniPath), original);
  EXPECT_EQ(settings.GetMaxRecordMinute(), 3);
  EXPECT_EQ(settings.GetFormantOrder(), 64);
}

TEST_F(OptionDialogTest, Ok_StoresClampedAndTruncatedValues_AndSavesTheFile) {
  WriteIni("[Formant]\nOrder=64\nPreEmphasis=1.500000\nBandWidth=0\n[F0]\nFrameShift=20000\n");
  Settings settings(iniPath.string());
  ASSERT_TRUE(settings.Load());
  QString shownOrder;
  const auto result = Run(settings, [&](TfrmOption& dialog) {
    shownOrder = dialog.edtFormantOrder->text();
    dialog.edtF0Threshold->setText(QStringLiteral("42.5"));
    // No check across fields: a minimum above its maximum is stored as entered.
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
  EXPECT_EQ(reread.GetF1DisplayMax(), 800);
  EXPECT_EQ(reread.GetMaxRecordMinute(), 7);
  EXPECT_EQ(ReadAll(iniPath).find("Order=32") != std::string::npos, true);
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

TEST_F(OptionDialogTest, Ok_WhenTheFileCannotBeWritten_ReportsTheFailedSave) {
  Settings settings((folder / "no-such-folder" / "Settings.ini").string());
  const auto result = Run(settings, [](TfrmOption& dialog) { dialog.btnOk->click(); });
  EXPECT_EQ(result, OptionsResult::SaveFailed);
  EXPECT_FALSE(fs::exists(folder / "no-such-folder"));
}

}  // namespace
}  // namespace vowelscope
