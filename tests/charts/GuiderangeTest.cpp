#include "charts/Guiderange.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/Regionslist.h"

namespace vowelscope {
namespace {

struct Ellipse {
  bool enabled;
  int f1;
  int f2;
  int f1Length;
  int f2Length;
};

std::optional<DisplayRanges> Fit(const std::vector<Ellipse>& ellipses) {
  Regions regions{std::string()};
  for (size_t i = 0; i < ellipses.size(); ++i) {
    FrequencyRegion& region = *regions.GetRegion(static_cast<int>(i));
    region.Enabled = ellipses[i].enabled;
    region.F1Center = ellipses[i].f1;
    region.F2Center = ellipses[i].f2;
    region.F1Length = ellipses[i].f1Length;
    region.F2Length = ellipses[i].f2Length;
  }
  return FitDisplayRanges(regions);
}

TEST(GuideRange, TheRangesHoldEveryEnabledEllipseWithAMargin_RoundedOutward) {
  struct Case {
    const char* what;
    std::vector<Ellipse> ellipses;
    DisplayRanges expected;
  };
  const Case cases[] = {
      // F1 600-800, F2 1000-1400: the spans are small, so the margin is one step.
      {"one ellipse", {{true, 700, 1200, 100, 200}}, {550, 850, 900, 1500}},
      // F1 355-519 (+50) -> 305-569 -> 300-600; F2 2467-3055 (+100) -> 2367-3155 -> 2300-3200.
      {"a woman's /i/", {{true, 437, 2761, 82, 294}}, {300, 600, 2300, 3200}},
      // F1 250-1100, span 850: 85 Hz each side -> 165-1185 -> 150-1200; F2 700-2900, 220 -> 480-3120 -> 400-3200.
      {"a vowel triangle, a hidden region far away ignored",
       {{true, 300, 2700, 50, 200}, {true, 1000, 1500, 100, 150}, {true, 350, 800, 50, 100}, {false, 3000, 7000, 10, 10}},
       {150, 1200, 400, 3200}},
      // Never below 0 Hz; a negative semi-axis is a size all the same.
      {"near zero", {{true, 100, 300, -80, 250}}, {0, 250, 0, 700}},
  };
  for (const Case& c : cases) {
    const std::optional<DisplayRanges> ranges = Fit(c.ellipses);
    ASSERT_TRUE(ranges.has_value()) << c.what;
    EXPECT_EQ(ranges->f1Min, c.expected.f1Min) << c.what;
    EXPECT_EQ(ranges->f1Max, c.expected.f1Max) << c.what;
    EXPECT_EQ(ranges->f2Min, c.expected.f2Min) << c.what;
    EXPECT_EQ(ranges->f2Max, c.expected.f2Max) << c.what;
  }
}

TEST(GuideRange, ASetWithoutEnabledRegions_GivesNoRanges) {
  EXPECT_FALSE(Fit({}).has_value());
  EXPECT_FALSE(Fit({{false, 700, 1200, 100, 200}}).has_value());
}

TEST(GuideRange, RangesStayWithinTheOptionsDialogsLimits) {
  const std::optional<DisplayRanges> ranges = Fit({{true, 7900, 7950, 300, 300}});
  ASSERT_TRUE(ranges.has_value());
  EXPECT_EQ(ranges->f1Max, 8000);
  EXPECT_EQ(ranges->f2Max, 8000);
  EXPECT_LT(ranges->f1Min, ranges->f1Max);
  EXPECT_LT(ranges->f2Min, ranges->f2Max);
}

}  // namespace
}  // namespace vowelscope
