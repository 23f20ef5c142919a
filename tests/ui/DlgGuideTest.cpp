// The guide-creation box on a take of five held vowels, a take without one, and a folder that cannot
// be written.
#include "ui/DlgGuide.h"

#include "../analysis/Formanttrack.h"
#include "../analysis/Voices.h"
#include "config/Regionslist.h"
#include "support/Testfolder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TestFolder;
using testsupport::WriteFile;

const std::vector<std::string> kCaptions = {"a", "i", "u", "e", "o"};

const std::vector<FormantValue>& FiveVowels() {
  static const auto track = formanttest::BlockTrack(voices::HeldVowels(voices::Speaker::Woman, 0.8));
  return track;
}

// Clicks OK and returns the text of the message box it raises (closing it), empty when none appears.
QString ClickOk(TfrmGuide& dialog) {
  QString message;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      message = box->text();
      box->accept();
    }
  });
  QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
  QApplication::processEvents();
  return message;
}

TEST(GuideDialogTest, ListsTheHeldVowels_AndWritesTheLabelledOnesAsASetTheRegionReaderReads) {
  const fs::path folder = TestFolder("dlgguide") / "user" / "regions";
  TfrmGuide dialog(FiveVowels(), "vowels.wav", kCaptions, folder.string());
  dialog.show();
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Woman);
  ASSERT_EQ(dialog.grdStretches->rowCount(), 5);
  EXPECT_FALSE(dialog.lblNone->isVisible());
  for (int i = 0; i < 5; ++i) {
    const auto& v = vowels[static_cast<size_t>(i)];
    // Each vowel starts 0.2 s after the end of the one before (0.8 s held): at 0.2, 1.2, 2.2 ... s.
    EXPECT_NEAR(dialog.grdStretches->item(i, 0)->text().toDouble(), 0.2 + i * 1.0, 0.1) << "s, start of /" << v.name << "/";
    EXPECT_NEAR(dialog.grdStretches->item(i, 1)->text().toDouble(), 0.8, 0.15) << "s, length of /" << v.name << "/";
    EXPECT_NEAR(dialog.grdStretches->item(i, 2)->text().toDouble(), v.f1, 0.15 * v.f1) << "Hz (15 %), F1 of /" << v.name << "/";
    EXPECT_NEAR(dialog.grdStretches->item(i, 3)->text().toDouble(), v.f2, 0.10 * v.f2) << "Hz (10 %), F2 of /" << v.name << "/";
    EXPECT_EQ(dialog.LabelBox(i)->currentText(), QString()) << "unlabelled until the user names it";
    EXPECT_EQ(dialog.LabelBox(i)->findText(QString::fromUtf8(kCaptions[static_cast<size_t>(i)].c_str())), i + 1);
  }

  // OK needs a vowel name and the speaker's.
  EXPECT_FALSE(dialog.btnOk->isEnabled());
  dialog.LabelBox(0)->setCurrentIndex(1);         // a, from the set's captions
  dialog.LabelBox(1)->setCurrentIndex(2);         // i
  dialog.LabelBox(2)->setEditText(QStringLiteral("ɯ"));  // free text
  dialog.LabelBox(4)->setCurrentIndex(5);         // o; e stays empty and is left out
  EXPECT_FALSE(dialog.btnOk->isEnabled());
  dialog.edtSpeaker->setText(QStringLiteral("山田 先生"));
  ASSERT_TRUE(dialog.btnOk->isEnabled());

  EXPECT_EQ(ClickOk(dialog), QString());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(fs::path(dialog.WrittenPath()), folder / "山田 先生.ini");
  EXPECT_EQ(ReadFile(dialog.WrittenPath()).rfind("; measured from vowels.wav on ", 0), 0u);

  RegionsList list((folder / "none").string(), folder.string());
  try {
    list.Scan();
  } catch (const std::exception&) {
    // only the program's folder is missing here
  }
  ASSERT_EQ(list.GetCount(), 1);
  const Regions& set = *list.GetItem(0);
  EXPECT_EQ(set.GetCaption(), "山田 先生");
  const struct {
    const char* caption;
    size_t vowel;
  } written[] = {{"a", 0}, {"i", 1}, {"ɯ", 2}, {"o", 4}};
  for (int r = 0; r < 4; ++r) {
    const FrequencyRegion& region = *set.GetRegion(r);
    const SteadyStretch& s = dialog.Stretches()[written[r].vowel];
    EXPECT_TRUE(region.Enabled);
    EXPECT_EQ(region.Caption, written[r].caption);
    EXPECT_NEAR(region.F1Center, s.f1, 1.0) << "Hz, centre of " << written[r].caption;
    EXPECT_NEAR(region.F2Center, s.f2, 1.0) << "Hz, centre of " << written[r].caption;
  }
  EXPECT_FALSE(set.GetRegion(4)->Enabled);
}

TEST(GuideDialogTest, ATakeWithoutAHeldVowelSaysSo_AndWritesNothing) {
  const fs::path folder = TestFolder("dlgguide") / "regions";
  // Glides from vowel to vowel, between pauses, never hold one for 200 ms; silence has no formants at all.
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Man);
  std::vector<int16_t> glides;
  for (size_t i = 0; i + 1 < vowels.size(); ++i) {
    const auto s = voices::Synthesize(voices::VowelGlide(voices::Speaker::Man, vowels[i], vowels[i + 1], 0.5)).samples;
    glides.insert(glides.end(), s.begin(), s.end());
    glides.insert(glides.end(), 1100, 0);  // a pause, so that no vowel is held across two glides
  }
  for (const auto& track : {formanttest::BlockTrack(glides), formanttest::BlockTrack(std::vector<int16_t>(11025, 0)),
                            std::vector<FormantValue>{}}) {
    TfrmGuide dialog(track, "take.wav", kCaptions, folder.string());
    dialog.show();
    EXPECT_TRUE(dialog.lblNone->isVisible());
    EXPECT_TRUE(dialog.lblNone->text().startsWith(QStringLiteral("安定した母音区間が見つかりません。")));
    EXPECT_FALSE(dialog.grdStretches->isVisible());
    QTest::keyClicks(dialog.edtSpeaker, QStringLiteral("someone"));
    EXPECT_FALSE(dialog.btnOk->isEnabled());
    QTest::keyClick(dialog.edtSpeaker, Qt::Key_Return);  // Enter reaches accept without the button
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.WrittenPath().empty());
  }
  EXPECT_FALSE(fs::exists(folder)) << "not even the folder is made";
}

TEST(GuideDialogTest, AFolderThatCannotBeMadeIsReported_AndTheBoxKeepsWhatWasEntered) {
  const fs::path dir = TestFolder("dlgguide");
  WriteFile(dir / "data", "kept");  // a file where the folder would have to be
  const fs::path folder = dir / "data" / "regions";
  TfrmGuide dialog(FiveVowels(), "vowels.wav", kCaptions, folder.string());
  dialog.show();
  for (int i = 0; i < 5; ++i) dialog.LabelBox(i)->setCurrentIndex(i + 1);
  dialog.edtSpeaker->setText(QStringLiteral("先生"));

  const QString message = ClickOk(dialog);
  EXPECT_TRUE(message.startsWith(QStringLiteral("ガイドを保存できませんでした。"))) << message.toStdString();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.WrittenPath().empty());
  EXPECT_EQ(ReadFile(dir / "data"), "kept");
  EXPECT_EQ(dialog.edtSpeaker->text(), QStringLiteral("先生"));
  EXPECT_EQ(dialog.Labels(), kCaptions);

  // Once the way is clear, OK again writes the same set.
  fs::remove(dir / "data");
  EXPECT_EQ(ClickOk(dialog), QString());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(fs::path(dialog.WrittenPath()), folder / "先生.ini");
  Regions set(dialog.WrittenPath());
  ASSERT_TRUE(set.Load());
  for (int r = 0; r < 5; ++r) EXPECT_EQ(set.GetRegion(r)->Caption, kCaptions[static_cast<size_t>(r)]);
}

}  // namespace
}  // namespace vowelscope
