#include "charts/Vowelscore.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "charts/Guideellipse.h"
#include "config/Regionslist.h"

namespace vowelscope {
namespace {

// A plot of one pixel per Hz on both axes (F1 0 .. 1000 to the right, F2 0 .. 1000 upward), so that
// pixel distances read as Hz.
FormantView SquareView() {
  FormantView view;
  view.f1Min = 0;
  view.f1Max = 1000;
  view.f2Min = 0;
  view.f2Max = 1000;
  return view;
}

FrequencyRegion Region(int angle) {
  FrequencyRegion r;
  r.Enabled = true;
  r.F1Center = 500;
  r.F2Center = 500;
  r.F1Length = 200;
  r.F2Length = 50;
  r.Angle = angle;
  return r;
}

GuideEllipse Ellipse(int angle, const FormantView& view = SquareView()) {
  GuideEllipse e;
  EXPECT_TRUE(GuideEllipse::Make(Region(angle), view, 1000, 1000, e));
  return e;
}

TEST(GuideEllipse, ContainsWhatLiesInsideTheOutlineTheChartDraws) {
  const struct {
    int angle;
    double f1, f2;
    bool inside;
    const char* what;
  } cases[] = {
      {0, 500, 500, true, "the centre"},
      {0, 690, 500, true, "near the end of the F1 semi-axis"},
      {0, 710, 500, false, "beyond the F1 semi-axis"},
      {0, 500, 545, true, "within the F2 semi-axis"},
      {0, 500, 560, false, "beyond the F2 semi-axis"},
      // Turned a quarter clockwise on screen: the F1 semi-axis now points down the screen, to lower F2.
      {90, 500, 320, true, "a quarter turn: along the turned F1 semi-axis"},
      {90, 690, 500, false, "a quarter turn: where the F1 semi-axis was"},
      // An eighth clockwise: the long axis runs from low F1 and high F2 to high F1 and low F2.
      {45, 627, 373, true, "an eighth turn: along the long axis"},
      {45, 627, 627, false, "an eighth turn: across it"},
      {-45, 627, 627, true, "an eighth turn back: along the long axis"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ellipse(c.angle).Contains(FormantValue{60.0, c.f1, c.f2}), c.inside) << c.what;
  }
}

TEST(GuideEllipse, FollowsSwappedAndReversedAxes_AndEveryOutlinePointLiesOnIt) {
  FormantView view = SquareView();
  view.swapXY = true;
  view.f1Reverse = true;
  const GuideEllipse e = Ellipse(0, view);
  EXPECT_TRUE(e.Contains(FormantValue{60.0, 690, 500}));
  EXPECT_FALSE(e.Contains(FormantValue{60.0, 500, 560}));
  // The outline's points, moved a twentieth of the way to the centre, are inside, and moved as far out,
  // outside (pixel rounding leaves the rim itself to either side).
  for (const int angle : {0, 30, 90}) {
    const GuideEllipse turned = Ellipse(angle);
    for (const Point& p : turned.Outline()) {
      const double f1 = 500 + 0.95 * (p.x - 500);
      const double f2 = 500 + 0.95 * (500 - p.y);
      const double outF1 = 500 + 1.05 * (p.x - 500);
      const double outF2 = 500 + 1.05 * (500 - p.y);
      EXPECT_FALSE(turned.Contains(FormantValue{60.0, outF1, outF2})) << angle << " degrees, point " << p.x << "," << p.y;
      EXPECT_TRUE(turned.Contains(FormantValue{60.0, f1, f2})) << angle << " degrees, point " << p.x << "," << p.y;
    }
  }
}

TEST(GuideEllipse, AValueWithoutFormantsOrAnEmptyViewHoldsNothing) {
  EXPECT_FALSE(Ellipse(0).Contains(FormantValue{60.0, 0.0, 500.0}));
  EXPECT_FALSE(Ellipse(0).Contains(FormantValue{60.0, 500.0, 0.0}));
  FormantView empty = SquareView();
  empty.f1Max = empty.f1Min;
  GuideEllipse e;
  EXPECT_FALSE(GuideEllipse::Make(Region(0), empty, 1000, 1000, e));
}

const FormantValue kInside{60.0, 520.0, 510.0};
const FormantValue kOutside{60.0, 800.0, 900.0};

TEST(VowelScore, ScoreIsTheShareOfTheLastSecondsVoicedBlocksInsideTheTarget) {
  const struct {
    const char* what;
    std::vector<std::pair<FormantValue, bool>> blocks;  // value, voiced
    std::optional<double> score;
  } cases[] = {
      {"all inside", std::vector<std::pair<FormantValue, bool>>(40, {kInside, true}), 100.0},
      {"none inside", std::vector<std::pair<FormantValue, bool>>(40, {kOutside, true}), 0.0},
      {"no voiced block", std::vector<std::pair<FormantValue, bool>>(40, {kInside, false}), std::nullopt},
      {"nothing yet", {}, std::nullopt},
  };
  for (const auto& c : cases) {
    VowelScore score;
    score.SetTarget(Ellipse(0));
    for (const auto& [value, voiced] : c.blocks) score.Add(value, voiced);
    EXPECT_EQ(score.Score(), c.score) << c.what;
  }

  VowelScore half;
  half.SetTarget(Ellipse(0));
  for (int i = 0; i < 40; ++i) half.Add(i % 2 ? kInside : kOutside, true);
  EXPECT_EQ(half.Score(), 50.0) << "half inside";

  // Unvoiced blocks and blocks without formants do not count either way: 10 inside of 20 voiced.
  VowelScore gaps;
  gaps.SetTarget(Ellipse(0));
  for (int i = 0; i < 40; ++i) {
    if (i % 4 == 0) gaps.Add(kInside, true);
    if (i % 4 == 1) gaps.Add(kOutside, true);
    if (i % 4 == 2) gaps.Add(kInside, false);
    if (i % 4 == 3) gaps.Add(FormantValue{20.0, 0.0, 0.0}, true);
  }
  EXPECT_EQ(gaps.Score(), 50.0) << "with unvoiced blocks between";

  // Only the last 40 blocks count.
  VowelScore late;
  late.SetTarget(Ellipse(0));
  for (int i = 0; i < 100; ++i) late.Add(i < 60 ? kOutside : kInside, true);
  EXPECT_EQ(late.Score(), 100.0) << "an old miss has left the second";
}

TEST(VowelScore, WithoutATargetThereIsNoScore_AndANewTargetJudgesTheLastSecondAgain) {
  VowelScore score;
  for (int i = 0; i < 10; ++i) score.Add(kInside, true);
  EXPECT_EQ(score.Score(), std::nullopt);
  score.SetTarget(Ellipse(0));
  EXPECT_EQ(score.Score(), 100.0);
  FrequencyRegion elsewhere = Region(0);
  elsewhere.F1Center = 800;
  elsewhere.F2Center = 900;
  GuideEllipse other;
  ASSERT_TRUE(GuideEllipse::Make(elsewhere, SquareView(), 1000, 1000, other));
  score.SetTarget(other);
  EXPECT_EQ(score.Score(), 0.0);
  score.ClearTarget();
  EXPECT_EQ(score.Score(), std::nullopt);
}

TEST(VowelScore, AttemptsAreVoicedStretchesSplitByUnvoicedGaps_WithTheirMeansAndScores) {
  VowelScore score;
  score.SetTarget(Ellipse(0));
  // 10 blocks inside around (520, 510), a gap, 6 blocks outside, a gap, 2 blocks (too short to count),
  // a gap, then 4 inside and 4 outside still running when the recording stops.
  for (int i = 0; i < 10; ++i) score.Add(FormantValue{60.0, 510.0 + 2 * i, 500.0 + 2 * i}, true);
  score.Add(kInside, false);
  for (int i = 0; i < 6; ++i) score.Add(kOutside, true);
  score.Add(FormantValue{}, true);  // silence: no formants
  score.Add(kInside, true);
  score.Add(kInside, true);
  score.Add(kInside, false);
  for (int i = 0; i < 8; ++i) score.Add(i < 4 ? kInside : kOutside, true);
  score.Finish();

  const auto& attempts = score.Attempts();
  ASSERT_EQ(attempts.size(), 3u);
  EXPECT_NEAR(attempts[0].f1, 519.0, 1e-9);
  EXPECT_NEAR(attempts[0].f2, 509.0, 1e-9);
  EXPECT_EQ(attempts[0].blocks, 10u);
  EXPECT_EQ(attempts[0].score, 100.0);
  EXPECT_EQ(attempts[1].score, 0.0);
  EXPECT_EQ(attempts[1].blocks, 6u);
  EXPECT_EQ(attempts[2].score, 50.0);
  EXPECT_NEAR(attempts[2].f1, (520.0 + 800.0) / 2, 1e-9);

  score.Finish();  // nothing in progress: no empty attempt
  EXPECT_EQ(score.Attempts().size(), 3u);
  score.ClearAttempts();
  EXPECT_TRUE(score.Attempts().empty());
}

TEST(VowelScore, AttemptsWithoutATargetHaveNoScore_AndOnlyTheNewestAreKept) {
  VowelScore score;
  for (size_t k = 0; k < VowelScore::kMaxAttempts + 5; ++k) {
    for (unsigned i = 0; i < VowelScore::kMinAttemptBlocks; ++i) score.Add(FormantValue{60.0, 300.0 + k, 900.0}, true);
    score.Add(FormantValue{}, false);
  }
  ASSERT_EQ(score.Attempts().size(), VowelScore::kMaxAttempts);
  EXPECT_EQ(score.Attempts().front().f1, 305.0);
  EXPECT_FALSE(score.Attempts().back().score.has_value());
}

TEST(GuideEllipse, AClickFindsTheEnabledRegionItIsDeepestInside_OrNone) {
  Regions set("/nonexistent/guides.ini");
  *set.GetRegion(0) = Region(0);  // 300 .. 700 along F1, 450 .. 550 along F2
  FrequencyRegion overlapping = Region(0);
  overlapping.F1Center = 650;
  overlapping.F1Length = 100;  // 550 .. 750
  *set.GetRegion(1) = overlapping;
  FrequencyRegion hidden = Region(0);
  hidden.F2Center = 800;
  hidden.Enabled = false;
  *set.GetRegion(2) = hidden;
  const struct {
    Point pixel;  // F1 to the right, F2 = 1000 - y
    int region;
    const char* what;
  } cases[] = {
      {{400, 500}, 0, "inside the first only"},
      {{720, 500}, 1, "inside the second only"},
      {{660, 500}, 1, "inside both, near the second's centre"},
      {{560, 500}, 0, "inside both, deeper in the first"},
      {{400, 200}, -1, "where a hidden region lies"},
      {{100, 900}, -1, "outside every ellipse"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GuideEllipse::RegionAt(set, SquareView(), 1000, 1000, c.pixel), c.region) << c.what;
  }
}

}  // namespace
}  // namespace vowelscope
