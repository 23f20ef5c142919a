// The target and score panel: the targets offered by a guide set, who is told of a pick, and how the
// window's score and attempts are shown.
#include "ui/Targetpanel.h"

#include "charts/Guideellipse.h"
#include "config/Regionslist.h"
#include "support/Testfolder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace vowelscope {
namespace {

using testsupport::TestFolder;
using testsupport::WriteFile;

// Three regions, the middle one hidden.
std::unique_ptr<Regions> ThreeRegions() {
  const auto dir = TestFolder("targetpanel");
  WriteFile(dir / "set.ini",
            "[Information]\nCaption=set\n"
            "[Region0]\nEnabled=1\nCaption=a\nF1Center=800\nF2Center=1300\nF1Length=100\nF2Length=150\n"
            "[Region1]\nEnabled=0\nCaption=hidden\n"
            "[Region2]\nEnabled=1\nCaption=\xe3\x81\x84\nF1Center=300\nF2Center=2300\nF1Length=60\nF2Length=200\n");
  auto set = std::make_unique<Regions>((dir / "set.ini").string());
  EXPECT_TRUE(set->Load());
  return set;
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

QStringList Row(const QTreeWidget* list, int row) {
  QStringList texts;
  for (int c = 0; c < list->columnCount(); ++c) texts << list->topLevelItem(row)->text(c);
  return texts;
}

TEST(TargetPanelTest, OffersTheEnabledRegions_TellsOfAPick_AndShowsAClickedTargetQuietly) {
  const auto set = ThreeRegions();
  TTargetPanel panel;
  QSignalSpy picked(&panel, &TTargetPanel::targetPicked);
  panel.SetRegions(set.get());
  EXPECT_EQ(Items(panel.cbxTarget), (QStringList{QStringLiteral("(なし)"), QStringLiteral("a"), QStringLiteral("い")}));
  EXPECT_EQ(panel.Target(), -1);

  panel.show();
  panel.cbxTarget->setFocus();
  QTest::keyClick(panel.cbxTarget, Qt::Key_Down);
  QTest::keyClick(panel.cbxTarget, Qt::Key_Down);
  ASSERT_EQ(picked.count(), 2);
  EXPECT_EQ(picked.at(0).at(0).toInt(), 0);
  EXPECT_EQ(picked.at(1).at(0).toInt(), 2) << "the set's own index, past the hidden region";

  // The window shows a target clicked on the chart; that is no new pick.
  const struct {
    int set, shown;
  } cases[] = {{0, 0}, {-1, -1}, {2, 2}, {1, -1}, {7, -1}};
  for (const auto& c : cases) {
    panel.SetTarget(c.set);
    EXPECT_EQ(panel.Target(), c.shown) << "target " << c.set;
  }
  EXPECT_EQ(picked.count(), 2);

  panel.SetRegions(nullptr);
  EXPECT_EQ(Items(panel.cbxTarget), QStringList{QStringLiteral("(なし)")});
  EXPECT_EQ(picked.count(), 2);
}

TEST(TargetPanelTest, ShowsTheScoreAndTheAttemptsNewestFirst_AndClearAsksTheWindow) {
  const auto set = ThreeRegions();
  FormantView view;  // the chart's default ranges
  GuideEllipse a;
  ASSERT_TRUE(GuideEllipse::Make(*set->GetRegion(0), view, 400, 300, a));
  VowelScore score;
  TTargetPanel panel;
  panel.ShowScore(score);
  EXPECT_EQ(panel.lblScore->text(), QStringLiteral("—")) << "no target";

  score.SetTarget(a);
  panel.ShowScore(score);
  EXPECT_EQ(panel.lblScore->text(), QStringLiteral("—")) << "a target but no voice yet";
  for (int i = 0; i < 10; ++i) score.Add({60, 800, 1300}, true);  // inside
  score.Add({20, 0, 0}, false);
  for (int i = 0; i < 10; ++i) score.Add({60, 400, 2000}, true);  // outside
  score.Add({20, 0, 0}, false);
  panel.ShowScore(score);
  EXPECT_EQ(panel.lblScore->text(), QStringLiteral("50 %"));
  ASSERT_EQ(panel.lvwAttempts->topLevelItemCount(), 2);
  EXPECT_EQ(Row(panel.lvwAttempts, 0), (QStringList{"2", "400", "2000", "0 %"}));
  EXPECT_EQ(Row(panel.lvwAttempts, 1), (QStringList{"1", "800", "1300", "100 %"}));

  // Attempts made without a target have no score.
  score.ClearTarget();
  for (int i = 0; i < 6; ++i) score.Add({60, 520.4, 950.6}, true);
  score.Finish();
  panel.ShowScore(score);
  EXPECT_EQ(panel.lblScore->text(), QStringLiteral("—"));
  ASSERT_EQ(panel.lvwAttempts->topLevelItemCount(), 3);
  EXPECT_EQ(Row(panel.lvwAttempts, 0), (QStringList{"3", "520", "951", "—"}));

  QObject::connect(&panel, &TTargetPanel::clearRequested, [&] {
    score.ClearAttempts();
    panel.ShowScore(score);
  });
  QTest::mouseClick(panel.btnClear, Qt::LeftButton);
  EXPECT_EQ(panel.lvwAttempts->topLevelItemCount(), 0);
}

TEST(TargetPanelTest, TheListFollowsWhenTheOldestAttemptMakesWay) {
  // At the limit the count stays the same while every row moves up by one.
  VowelScore score;
  TTargetPanel panel;
  for (size_t n = 0; n <= VowelScore::kMaxAttempts; ++n) {
    for (unsigned i = 0; i < VowelScore::kMinAttemptBlocks; ++i) score.Add({60, 300.0 + static_cast<double>(n), 1500}, true);
    score.Finish();
    if (n + 1 >= VowelScore::kMaxAttempts) panel.ShowScore(score);
  }
  ASSERT_EQ(panel.lvwAttempts->topLevelItemCount(), static_cast<int>(VowelScore::kMaxAttempts));
  EXPECT_EQ(panel.lvwAttempts->topLevelItem(0)->text(1), QString::number(300 + VowelScore::kMaxAttempts));
  EXPECT_EQ(panel.lvwAttempts->topLevelItem(VowelScore::kMaxAttempts - 1)->text(1), QStringLiteral("301"));
}

}  // namespace
}  // namespace vowelscope
