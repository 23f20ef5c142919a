#include "config/Guideset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

#include "../analysis/Formanttrack.h"
#include "../analysis/Voices.h"
#include "base/Error.h"
#include "config/Regionslist.h"
#include "support/Scopedenv.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TestFolder;
using testsupport::WriteFile;

constexpr double kDegree = std::numbers::pi / 180.0;

// Whether (f1, f2) lies inside the region as the chart draws it in its usual orientation (F1 to the
// right, F2 upward) with as many pixels per Hz on both axes: the upright ellipse turned clockwise on
// screen by Angle, screen y growing downward.
bool InsideAsDrawn(const FrequencyRegion& r, double f1, double f2) {
  const double dx = f1 - r.F1Center;
  const double dy = -(f2 - r.F2Center);
  const double c = std::cos(r.Angle * kDegree), s = std::sin(r.Angle * kDegree);
  const double p = dx * c + dy * s;
  const double q = -dx * s + dy * c;
  return (p / r.F1Length) * (p / r.F1Length) + (q / r.F2Length) * (q / r.F2Length) <= 1.0;
}

TEST(GuideSet, TheWrittenEllipseHoldsTwoStandardDeviationsOfItsCloudAsTheChartDrawsIt) {
  // Of a normal cloud, 1 - e^-2 = 86.5 % lies within two standard deviations.
  for (const double degrees : {0.0, 25.0, -40.0, 60.0, 90.0, -75.0}) {
    const auto cloud = formanttest::NormalCloud(500, 1500, 80, 45, degrees, 3);
    const FrequencyRegion r = RegionFromFit("e", FitEllipse(cloud), 255);
    EXPECT_GE(r.Angle, -45);
    EXPECT_LE(r.Angle, 45);
    size_t inside = 0;
    for (const FormantPoint& p : cloud) inside += InsideAsDrawn(r, p.f1, p.f2);
    EXPECT_NEAR(100.0 * inside / cloud.size(), 86.5, 1.0) << "per cent inside, cloud turned " << degrees << " degrees";
  }
}

TEST(GuideSet, FiveHeldVowelsGiveFiveGuides_EachHoldingMostOfItsOwnVowelAndNoneOfTheOthers) {
  const auto vowels = voices::JapaneseVowels(voices::Speaker::Woman);
  std::vector<std::string> labels;
  for (const auto& vowel : vowels) labels.push_back(vowel.name);
  const auto track = formanttest::BlockTrack(voices::HeldVowels(voices::Speaker::Woman, 0.8));
  const auto stretches = SteadyStretchFinder::Find(track);
  ASSERT_EQ(stretches.size(), vowels.size());
  const auto regions = BuildGuideRegions(track, stretches, labels);
  ASSERT_EQ(regions.size(), vowels.size());
  for (size_t v = 0; v < vowels.size(); ++v) {
    for (size_t g = 0; g < regions.size(); ++g) {
      size_t inside = 0;
      for (size_t k = stretches[v].first; k < stretches[v].first + stretches[v].count; ++k) {
        inside += InsideAsDrawn(regions[g], track[k].f1, track[k].f2);
      }
      const double share = 100.0 * inside / stretches[v].count;
      if (g == v) {
        EXPECT_GE(share, 75.0) << "per cent of /" << vowels[v].name << "/ inside its own guide";
      } else {
        EXPECT_EQ(share, 0.0) << "per cent of /" << vowels[v].name << "/ inside the guide of /" << vowels[g].name << "/";
      }
    }
  }
}

TEST(GuideSet, RegionFromFit_StoresTheAxisNearerF1AsF1Length_AndWidensTinyAxes) {
  // Centre (500, 1500): the floors are 25 and 75 Hz.
  const struct {
    double degrees, major, minor;
    int angle, f1Length, f2Length;
  } cases[] = {
      {30, 200, 80, -30, 200, 80},  // toward higher F2: the chart's anticlockwise
      {-30, 200, 80, 30, 200, 80},
      {70, 200, 80, 20, 80, 200},   // the major axis is nearer F2
      {-80, 200, 80, -10, 80, 200},
      {0, 5, 2, 0, 25, 75},  // widened to 5 % of the centre
  };
  for (const auto& c : cases) {
    FittedEllipse fit;
    fit.f1 = 499.6;
    fit.f2 = 1500.4;
    fit.major = c.major;
    fit.minor = c.minor;
    fit.angle = c.degrees * kDegree;
    const FrequencyRegion r = RegionFromFit("a", fit, 0x123456);
    EXPECT_EQ(r.Angle, c.angle) << c.degrees << " degrees";
    EXPECT_EQ(r.F1Length, c.f1Length) << c.degrees << " degrees";
    EXPECT_EQ(r.F2Length, c.f2Length) << c.degrees << " degrees";
    EXPECT_EQ(r.F1Center, 500);
    EXPECT_EQ(r.F2Center, 1500);
    EXPECT_TRUE(r.Enabled);
    EXPECT_EQ(r.Color, 0x123456);
  }
}

TEST(GuideSet, BuildGuideRegions_OneRegionPerLabelOverAllItsStretches) {
  std::vector<FormantValue> track;
  for (int i = 0; i < 10; ++i) track.push_back({60, 700.0 + i, 1200});  // "a"
  for (int i = 0; i < 10; ++i) track.push_back({60, 300, 2300});        // "i"
  for (int i = 0; i < 10; ++i) track.push_back({60, 720.0 + i, 1220});  // "a" again
  for (int i = 0; i < 10; ++i) track.push_back({60, 500, 900});         // left out
  const std::vector<SteadyStretch> stretches = {{0, 10}, {10, 10}, {20, 10}, {30, 10}};
  const auto regions = BuildGuideRegions(track, stretches, {"a", "i", "a", " "});
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].Caption, "a");
  EXPECT_EQ(regions[0].F1Center, 715);  // the mean of both stretches' 20 blocks
  EXPECT_EQ(regions[0].F2Center, 1210);
  EXPECT_EQ(regions[1].Caption, "i");
  EXPECT_EQ(regions[1].F1Length, kMinSemiAxis);  // a cloud without spread: 20 Hz, more than 5 % of 300 Hz
  EXPECT_EQ(regions[1].F2Length, 115);           // 5 % of 2300 Hz
  EXPECT_NE(regions[0].Color, regions[1].Color);
  EXPECT_TRUE(BuildGuideRegions(track, {}, {}).empty());
}

TEST(GuideSet, WrittenSetIsReadBackByTheRegionReader_AfterTheShippedSets_AndCanBeRemoved) {
  const fs::path dir = TestFolder("guideset");
  const fs::path shipped = dir / "shipped";
  const fs::path user = dir / "user" / "Halcyon" / "Vowelscope" / "regions";  // made by the writer
  fs::create_directories(shipped);
  WriteFile(shipped / "01-set.ini", "[Information]\nCaption=shipped\n[Region0]\nEnabled=1\nCaption=a\n");

  FrequencyRegion a = RegionFromFit("a", FitEllipse(formanttest::NormalCloud(800, 1300, 60, 25, 20, 1)), 13067182);
  FrequencyRegion u = RegionFromFit("ɯ", FitEllipse(formanttest::NormalCloud(380, 1500, 40, 20, -70, 2)), 11704418);
  GuideSetInfo info{"山田 先生", "vowels.wav", "2026-12-11"};
  std::string path;
  ASSERT_TRUE(WriteGuideSet(user.string(), info, {a, u}, path));
  EXPECT_EQ(fs::path(path), user / "山田 先生.ini");
  EXPECT_EQ(ReadFile(path).rfind("; measured from vowels.wav on 2026-12-11\r\n", 0), 0u);

  RegionsList list(shipped.string(), user.string());
  list.Scan();
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetItem(0)->GetCaption(), "shipped");
  EXPECT_FALSE(list.IsUserSet(0));
  EXPECT_TRUE(list.IsUserSet(1));
  const Regions& set = *list.GetItem(1);
  EXPECT_EQ(set.GetCaption(), "山田 先生");
  const FrequencyRegion* expected[] = {&a, &u};
  for (int i = 0; i < 2; ++i) {
    const FrequencyRegion& r = *set.GetRegion(i);
    EXPECT_TRUE(r.Enabled);
    EXPECT_EQ(r.Caption, expected[i]->Caption);
    EXPECT_EQ(r.F1Center, expected[i]->F1Center);
    EXPECT_EQ(r.F2Center, expected[i]->F2Center);
    EXPECT_EQ(r.F1Length, expected[i]->F1Length);
    EXPECT_EQ(r.F2Length, expected[i]->F2Length);
    EXPECT_EQ(r.Angle, expected[i]->Angle);
    EXPECT_EQ(r.Color, expected[i]->Color);
  }
  EXPECT_FALSE(set.GetRegion(2)->Enabled);

  // The same speaker again: a second file beside the first, which stays.
  std::string second;
  ASSERT_TRUE(WriteGuideSet(user.string(), info, {a}, second));
  EXPECT_EQ(fs::path(second), user / "山田 先生-2.ini");
  EXPECT_TRUE(fs::exists(path));

  EXPECT_FALSE(list.Remove(0)) << "a shipped set stays";
  EXPECT_TRUE(fs::exists(shipped / "01-set.ini"));
  const int added = list.AddUserSet(second);
  ASSERT_EQ(added, 2);
  EXPECT_TRUE(list.Remove(1));
  EXPECT_FALSE(fs::exists(path));
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetItem(1)->GetFileName(), second);
  EXPECT_FALSE(list.Remove(5));
}

TEST(GuideSet, LineBreaksInNamesCannotAddKeysOrSections) {
  const fs::path dir = TestFolder("guideset");
  FrequencyRegion r = RegionFromFit("a\n[Region1]\nEnabled=1", FitEllipse(formanttest::NormalCloud(800, 1300, 60, 25, 0, 1)), 1);
  std::string path;
  ASSERT_TRUE(WriteGuideSet(dir.string(), {"x\r\nCaption=y", "take\n[Information].wav", "2026-01-01"}, {r}, path));
  Regions set(path);
  ASSERT_TRUE(set.Load());
  EXPECT_EQ(set.GetCaption(), "x  Caption=y");
  EXPECT_EQ(set.GetRegion(0)->Caption, "a [Region1] Enabled=1");
  EXPECT_FALSE(set.GetRegion(1)->Enabled);
  EXPECT_EQ(fs::path(path).filename(), "x  Caption=y.ini");
}

TEST(GuideSet, AFolderThatCannotBeMadeOrWrittenFailsAndLosesNothing) {
  const fs::path dir = TestFolder("guideset");
  WriteFile(dir / "plain-file", "kept");
  const FrequencyRegion r = RegionFromFit("a", FitEllipse(formanttest::NormalCloud(800, 1300, 60, 25, 0, 1)), 1);
  std::string path = "stale";
  // A folder below a file cannot be made, and a file is no folder.
  EXPECT_FALSE(WriteGuideSet((dir / "plain-file" / "regions").string(), {"s", "t", ""}, {r}, path));
  EXPECT_FALSE(WriteGuideSet((dir / "plain-file").string(), {"s", "t", ""}, {r}, path));
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(ReadFile(dir / "plain-file"), "kept");
  // Nothing to write, or more regions than a set holds.
  EXPECT_FALSE(WriteGuideSet(dir.string(), {"s", "t", ""}, {}, path));
  EXPECT_FALSE(WriteGuideSet(dir.string(), {"s", "t", ""}, std::vector<FrequencyRegion>(Regions::kRegionCount + 1, r), path));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(GuideSet, UserFolderFollowsXdgDataHome_AndAMissingOneAddsNoSets) {
  {
    ScopedEnv data("XDG_DATA_HOME", "/somewhere/data");
    EXPECT_EQ(UserRegionsFolder(), "/somewhere/data/Halcyon/Vowelscope/regions");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(UserRegionsFolder(), "/home/someone/.local/share/Halcyon/Vowelscope/regions");
  }
  const fs::path dir = TestFolder("guideset");
  WriteFile(dir / "01-set.ini", "[Information]\nCaption=shipped\n");
  RegionsList list(dir.string(), (dir / "no-such-folder").string());
  list.Scan();
  EXPECT_EQ(list.GetCount(), 1);

  // Without the program's folder the user's sets are still listed, and the missing folder still reported.
  RegionsList userOnly((dir / "no-such-folder").string(), dir.string());
  EXPECT_THROW(userOnly.Scan(), Error);
  ASSERT_EQ(userOnly.GetCount(), 1);
  EXPECT_TRUE(userOnly.IsUserSet(0));
}

}  // namespace
}  // namespace vowelscope
