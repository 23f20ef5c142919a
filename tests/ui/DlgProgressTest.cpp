// The analysis box: the bar position for a progress report, positions posted from another thread, and
// the ways it may and may not be closed.
#include "ui/DlgProgress.h"

#include "base/Callback.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>
#include <utility>

namespace vowelscope {
namespace {

TEST(ProgressDialogTest, BarPosition_ScalesTheReportToTheBarsPixels) {
  struct Case {
    int32_t minimum, maximum, position;
    int bar;
  };
  const Case cases[] = {
      {0, 1000, 1000, 282},       // the last frame fills the bar
      {0, 1000, 500, 141},        {0, 1000, 0, 0},
      {0, 3, 1, 94},              // 282 / 3
      {0, 7, 1, 40},              // truncated, 40.28
      {0, 2000000000, 1999999999, 281},  // the product needs 64 bits
      {100, 100, 5, 0},           // an empty range moves nothing
      {0, 10, 12, 282},           // never past the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TfrmProgress::BarPosition({c.minimum, c.maximum, c.position}), c.bar)
        << c.minimum << ".." << c.maximum << " at " << c.position;
  }
}

TEST(ProgressDialogTest, SetPosition_MovesTheBarWithinItsRange) {
  // The window hands the worker's positions over in its messages; the box only moves its bar.
  TfrmProgress dialog;
  EXPECT_EQ(dialog.pbrProgress->maximum(), TfrmProgress::BarMaximum);
  EXPECT_EQ(dialog.pbrProgress->size(), QSize(282, 21));
  for (const auto& [set, shown] : {std::pair{47, 47}, std::pair{282, 282}, std::pair{400, 282}, std::pair{-5, 0}}) {
    dialog.SetPosition(set);
    EXPECT_EQ(dialog.pbrProgress->value(), shown) << set;
  }
}

TEST(ProgressDialogTest, EscAndCloseRequests_LeaveItOpen_FinishEndsTheModalLoop) {
  TfrmProgress dialog;
  bool stillShown = false;
  QTimer::singleShot(0, [&] {
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    stillShown = dialog.isVisible();
    dialog.Finish();
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_TRUE(stillShown);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(ProgressDialogTest, FinishedBeforeItIsShown_ClosesAsSoonAsItsLoopRuns) {
  TfrmProgress dialog;
  dialog.Finish();
  // A guard so that a box that stays open fails the test instead of hanging it.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &dialog, [&] { dialog.done(QDialog::Rejected); });
  guard.start(5000);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_LT(clock.elapsed(), 2000);
}

}  // namespace
}  // namespace vowelscope
