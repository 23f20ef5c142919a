#include "config/Regionslist.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "platform/Profile.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

class RegionsTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("regionslist"); }
  std::string Put(const std::string& name, const std::string& bytes) const {
    const std::string path = (dir / name).string();
    testsupport::WriteFile(path, bytes);
    return path;
  }

  fs::path dir;
};

void ExpectHidden(const FrequencyRegion& r, const std::string& what) {
  const FrequencyRegion defaults;
  EXPECT_FALSE(r.Enabled) << what;
  EXPECT_EQ(r.Caption, defaults.Caption) << what;
  EXPECT_EQ(r.F1Center, 0) << what;
  EXPECT_EQ(r.F2Center, 0) << what;
  EXPECT_EQ(r.F1Length, 0) << what;
  EXPECT_EQ(r.F2Length, 0) << what;
  EXPECT_EQ(r.Angle, 0) << what;
  EXPECT_EQ(r.Color, 0x403030) << what;
}

TEST_F(RegionsTest, Load_OfOnlyAnInformationSectionGivesTheCaptionAndFiftyHiddenRegions) {
  Regions set(Put("info.ini", "[Information]\nCaption=日本語 男性\n"));
  ASSERT_TRUE(set.Load());
  EXPECT_EQ(set.GetCaption(), "日本語 男性");
  ASSERT_EQ(set.GetRegionCount(), 50);
  for (int i = 0; i < 50; ++i) ExpectHidden(*set.GetRegion(i), "region " + std::to_string(i));
  EXPECT_EQ(set.GetRegion(-1), nullptr);
  EXPECT_EQ(set.GetRegion(50), nullptr);
}

TEST_F(RegionsTest, Load_ReadsEachRegionSectionOnItsOwn) {
  Regions set(Put("regions.ini",
                  "[Region3]\nEnabled=1\n"
                  "[Region0]\nEnabled=2\nCaption=i\nF1Center=343\nF2Center=2323\nF1Length=56\nF2Length=272\n"
                  "Angle=-15\nColor=255\n"
                  "[Region49]\nEnabled=0\nF1Center=700\n"
                  "[Region50]\nEnabled=1\nF1Center=1\n"
                  "[region7]\nenabled=1\n"));
  ASSERT_TRUE(set.Load());
  EXPECT_EQ(set.GetCaption(), "");

  const FrequencyRegion& first = *set.GetRegion(0);
  EXPECT_TRUE(first.Enabled);
  EXPECT_EQ(first.Caption, "i");
  EXPECT_EQ(first.F1Center, 343);
  EXPECT_EQ(first.F2Center, 2323);
  EXPECT_EQ(first.F1Length, 56);
  EXPECT_EQ(first.F2Length, 272);
  EXPECT_EQ(first.Angle, -15);
  EXPECT_EQ(first.Color, 255);

  // Only Enabled: visible at (0 Hz, 0 Hz) with zero semi-axes in the default colour.
  const FrequencyRegion& third = *set.GetRegion(3);
  EXPECT_TRUE(third.Enabled);
  EXPECT_EQ(third.F1Center, 0);
  EXPECT_EQ(third.F1Length, 0);
  EXPECT_EQ(third.Color, 0x403030);

  EXPECT_TRUE(set.GetRegion(7)->Enabled) << "section and key names without case";
  EXPECT_FALSE(set.GetRegion(49)->Enabled);
  EXPECT_EQ(set.GetRegion(49)->F1Center, 700);
  int visible = 0;
  for (int i = 0; i < 50; ++i) visible += set.GetRegion(i)->Enabled ? 1 : 0;
  EXPECT_EQ(visible, 3) << "Region50 is not a region";
}

TEST_F(RegionsTest, Scan_LoadsEveryIniFileOfTheFolderInNameOrder) {
  Put("b.ini", "[Information]\nCaption=same\n");
  Put("a.ini", "[Information]\nCaption=first\n");
  Put("c.INI", "[Information]\nCaption=same\n");
  Put("notes.txt", "[Information]\nCaption=not a set\n");
  fs::create_directory(dir / "sub");
  Put("sub/d.ini", "[Information]\nCaption=in a subfolder\n");
  // A file that cannot be read as a region file still becomes a set, and must not block the scan.
  ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);

  RegionsList list(dir.string());
  EXPECT_EQ(list.GetCount(), 0) << "nothing is read before Scan";
  const std::size_t parses = ProfileParseCount();
  list.Scan();
  ASSERT_EQ(list.GetCount(), 4);
  EXPECT_EQ(ProfileParseCount() - parses, 3u) << "401 keys of a file cost one parse";
  std::vector<std::string> captions;
  for (int i = 0; i < list.GetCount(); ++i) captions.push_back(list.GetItem(i)->GetCaption());
  EXPECT_EQ(captions, (std::vector<std::string>{"first", "same", "same", ""}));
  EXPECT_FALSE(list.GetItem(3)->GetRegion(0)->Enabled);

  // Two sets with one caption: the later one is shown with its file name, so that each can be picked,
  // and a file cannot take the place of another set in the selector unnoticed.
  EXPECT_EQ(list.GetSelectorCaption(1), "same");
  EXPECT_EQ(list.GetSelectorCaption(2), "same (c.INI)");
  EXPECT_EQ(list.FindCaption("same"), 1);
  EXPECT_EQ(list.FindCaption("same (c.INI)"), 2);
  EXPECT_EQ(list.FindCaption("first"), 0);
  EXPECT_EQ(list.FindCaption("Same"), -1);
  EXPECT_EQ(list.FindCaption(""), 3);

  EXPECT_THROW(list.GetItem(4), std::out_of_range);
  EXPECT_THROW(list.GetItem(-1), std::out_of_range);
}

// Ten thousand files used to take seconds and hundreds of megabytes before the window showed.
TEST_F(RegionsTest, Scan_TakesAtMostTwoHundredSets_AndSkipsFilesOverOneMebibyte) {
  Put("000-big.ini", "[Information]\nCaption=big\n" + std::string(RegionsList::kMaxFileBytes, ';'));
  for (int i = 0; i < 250; ++i) Put(FormatString("%03d.ini", i + 1), FormatString("[Information]\nCaption=set %d\n", i + 1));
  RegionsList list(dir.string());
  list.Scan();
  ASSERT_EQ(list.GetCount(), RegionsList::kMaxSets);
  EXPECT_EQ(list.GetItem(0)->GetCaption(), "set 1");
  EXPECT_EQ(list.GetItem(RegionsList::kMaxSets - 1)->GetCaption(), "set 200");
}

TEST_F(RegionsTest, Scan_OfAnEmptyFolderGivesNoSetsAndOfAMissingOneThrows) {
  RegionsList empty(dir.string());
  EXPECT_NO_THROW(empty.Scan());
  EXPECT_EQ(empty.GetCount(), 0);

  for (const std::string& folder : {(dir / "missing").string(), std::string()}) {
    RegionsList missing(folder);
    try {
      missing.Scan();
      ADD_FAILURE() << "no exception for '" << folder << "'";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "母音領域ファイルが見つかりません。");
    }
    EXPECT_EQ(missing.GetCount(), 0);
  }
}

TEST(RegionsListFolder, DefaultIsTheRegionsFolderBesideTheExecutable) {
  const RegionsList list;
  EXPECT_EQ(list.GetFolder(), GetExecutableFolder() + "/regions");
}

// The guide sets we ship: every file loads, and a vowel looks the same in every set.
TEST(ShippedRegions, EverySetLoadsWithJapaneseCaptionAndOneColourPerVowel) {
  RegionsList list(VOWELSCOPE_SOURCE_REGIONS);
  list.Scan();
  std::vector<std::string> captions;
  for (int i = 0; i < list.GetCount(); ++i) captions.push_back(list.GetItem(i)->GetCaption());
  EXPECT_EQ(captions, (std::vector<std::string>{"日本語 男性", "英語 男性 (Hillenbrand 1995)", "英語 女性 (Hillenbrand 1995)",
                                                "英語 男性 (Peterson & Barney 1952)",
                                                "英語 女性 (Peterson & Barney 1952)"}));

  std::map<std::string, int> colourOfVowel;
  for (int s = 0; s < list.GetCount(); ++s) {
    const Regions& set = *list.GetItem(s);
    std::set<int> coloursInSet;
    int visible = 0;
    for (int i = 0; i < set.GetRegionCount(); ++i) {
      const FrequencyRegion& r = *set.GetRegion(i);
      if (!r.Enabled) continue;
      ++visible;
      const std::string what = set.GetCaption() + " " + r.Caption;
      EXPECT_FALSE(r.Caption.empty()) << what;
      EXPECT_GT(r.F1Center, 200) << what;
      EXPECT_LT(r.F1Center, 1000) << what;
      EXPECT_GT(r.F2Center, r.F1Center) << what;
      EXPECT_LT(r.F2Center, 3000) << what;
      EXPECT_GT(r.F1Length, 0) << what;
      EXPECT_GT(r.F2Length, 0) << what;
      const auto [it, first] = colourOfVowel.try_emplace(r.Caption, r.Color);
      EXPECT_EQ(it->second, r.Color) << what << ": a vowel keeps its colour across sets";
      EXPECT_TRUE(coloursInSet.insert(r.Color).second) << what << ": two vowels of a set share a colour";
      // Readable on the black plot and not to be mistaken for the red trail.
      const int red = r.Color & 0xFF, green = (r.Color >> 8) & 0xFF, blue = (r.Color >> 16) & 0xFF;
      EXPECT_GE(std::max({red, green, blue}), 120) << what;
      EXPECT_FALSE(red > 2 * green && red > 2 * blue) << what;
    }
    EXPECT_GE(visible, 5) << set.GetCaption();
  }
}

TEST(ShippedRegions, AreCopiedBesideThePrograms) {
  for (const char* built : {VOWELSCOPE_BUILT_REGIONS_UI, VOWELSCOPE_BUILT_REGIONS_TOOLS}) {
    std::list<std::string> source, copy;
    ASSERT_TRUE(FindFiles(VOWELSCOPE_SOURCE_REGIONS, source, 0, "*.ini"));
    ASSERT_TRUE(FindFiles(built, copy, 0, "*.ini")) << built;
    ASSERT_EQ(source.size(), copy.size()) << built;
    for (auto s = source.begin(), c = copy.begin(); s != source.end(); ++s, ++c) {
      EXPECT_EQ(testsupport::ReadFile(*s), testsupport::ReadFile(*c)) << *c;
    }
  }
}

}  // namespace
}  // namespace vowelscope
