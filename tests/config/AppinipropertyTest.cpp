#include "config/Appiniproperty.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

class AppIniPropertyTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("appiniproperty"); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  fs::path dir;
};

// An owner in the usual shape: defaults set, then one property per member added as a temporary.
struct Owner {
  explicit Owner(const std::string& file) : list(file) {
    list.Add(AppIniPropertyInteger("Numbers", "Count", &count));
    list.Add(AppIniPropertyFloat("Numbers", "Ratio", &ratio));
    list.Add(AppIniPropertyBool("Flags", "On", &on));
    list.Add(AppIniPropertyString("Text", "Name", &name));
    list.Add(AppIniPropertyInteger("Numbers", "Negative", &negative));
  }
  int count = 16;
  double ratio = 0.98;
  bool on = true;
  std::string name = "default";
  int negative = -1;
  AppIniPropertyList list;
};

TEST_F(AppIniPropertyTest, Load_SetsEveryKeyPresentAndLeavesAMissingOneAtItsDefault) {
  const std::string file = Path("owner.ini");
  WriteFile(file, "[Numbers]\nCount=4\nRatio=0.5\n[Flags]\nOn=0\n[Text]\nName=日本語\n");
  Owner o(file);
  ASSERT_TRUE(o.list.Load());
  EXPECT_EQ(o.count, 4);
  EXPECT_DOUBLE_EQ(o.ratio, 0.5);
  EXPECT_FALSE(o.on);
  EXPECT_EQ(o.name, "日本語");
  EXPECT_EQ(o.negative, -1) << "missing key keeps its default";
}

TEST_F(AppIniPropertyTest, Load_OfAMissingFileOrAFolderChangesAndCreatesNothing) {
  for (const std::string& file : {Path("missing.ini"), dir.string()}) {
    Owner o(file);
    o.count = 3;
    EXPECT_FALSE(o.list.Load()) << file;
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(o.name, "default");
  }
  EXPECT_FALSE(fs::exists(Path("missing.ini")));
}

TEST_F(AppIniPropertyTest, Read_TakesEachTypesTextAsItStands) {
  struct Case {
    const char* numbers;  // lines of [Numbers]
    const char* flags;    // lines of [Flags]
    const char* text;     // lines of [Text]
    int count;
    double ratio;
    bool on;
    std::string name;
  };
  // Owner's defaults: 16, 0.98, true, "default". Empty integer text keeps the default.
  const std::vector<Case> cases = {
      {"", "", "", 16, 0.98, true, "default"},
      {"Count=\nRatio=\n", "On=\n", "Name=\n", 16, 0.0, true, ""},
      {"Ratio=1.5abc\n", "On=2\n", "", 16, 1.5, true, "default"},
      {"Ratio=abc\n", "On=0\n", "", 16, 0.0, false, "default"},
      {"Ratio=-2.5e1\nCount=12 apples\n", "", "", 12, -25.0, true, "default"},
      {"Count=4294967295\n", "", "Name=  padded  \n", -1, 0.98, true, "padded"},
  };
  for (const auto& c : cases) {
    const std::string file = Path("types.ini");
    WriteFile(file, std::string("[Numbers]\n") + c.numbers + "[Flags]\n" + c.flags + "[Text]\n" + c.text);
    Owner o(file);
    ASSERT_TRUE(o.list.Load());
    const std::string what = std::string(c.numbers) + c.flags + c.text;
    EXPECT_EQ(o.count, c.count) << what;
    EXPECT_DOUBLE_EQ(o.ratio, c.ratio) << what;
    EXPECT_EQ(o.on, c.on) << what;
    EXPECT_EQ(o.name, c.name) << what;
  }
}

TEST_F(AppIniPropertyTest, Read_BoolFallsBackToTheVariablesOwnValue) {
  const std::string file = Path("bool.ini");
  WriteFile(file, "[Flags]\n");
  for (const bool initial : {false, true}) {
    bool flag = initial;
    AppIniPropertyBool p("Flags", "On", &flag);
    EXPECT_TRUE(p.Read(file.c_str()));
    EXPECT_EQ(flag, initial);
  }
}

TEST_F(AppIniPropertyTest, Read_FloatDefaultSurvivesAsSixDecimals) {
  const std::string file = Path("float.ini");
  WriteFile(file, "[Numbers]\n");
  double v = 0.1234567;
  AppIniPropertyFloat p("Numbers", "Ratio", &v);
  p.Read(file.c_str());
  EXPECT_DOUBLE_EQ(v, 0.123457);
}

TEST_F(AppIniPropertyTest, Read_StringLongerThanTheBufferIsCut) {
  const std::string file = Path("long.ini");
  const std::string longName(5000, 'n');
  WriteFile(file, "[Text]\nName=" + longName + "\n");
  std::string name;
  AppIniPropertyString p("Text", "Name", &name);
  p.Read(file.c_str());
  EXPECT_EQ(name, longName.substr(0, 4095));
}

TEST_F(AppIniPropertyTest, Save_WritesSectionsInFirstRegistrationOrderAndIsStableOnSecondSave) {
  const std::string file = Path("saved.ini");
  Owner o(file);
  ASSERT_TRUE(o.list.Save());
  const std::string expected =
      "[Numbers]\nCount=16\nRatio=0.980000\nNegative=4294967295\n\n[Flags]\nOn=1\n\n[Text]\nName=default\n";
  EXPECT_EQ(ReadFile(file), expected);
  ASSERT_TRUE(o.list.Save());
  EXPECT_EQ(ReadFile(file), expected);

  Owner back(file);
  back.count = 0;
  back.ratio = 0;
  back.on = false;
  back.name.clear();
  back.negative = 0;
  ASSERT_TRUE(back.list.Load());
  EXPECT_EQ(back.count, 16);
  EXPECT_DOUBLE_EQ(back.ratio, 0.98);
  EXPECT_TRUE(back.on);
  EXPECT_EQ(back.name, "default");
  EXPECT_EQ(back.negative, -1);
}

TEST_F(AppIniPropertyTest, Save_StopsAtTheFirstRefusedKeyAndKeepsEarlierOnes) {
  const std::string file = Path("partial.ini");
  int a = 1, b = 2, c = 3;
  AppIniPropertyList list(file);
  list.Add(AppIniPropertyInteger("S", "A", &a));
  list.Add(AppIniPropertyInteger("S", "B=broken", &b));  // a key name the file cannot hold
  list.Add(AppIniPropertyInteger("S", "C", &c));
  EXPECT_FALSE(list.Save());
  EXPECT_EQ(ReadFile(file), "[S]\nA=1\n");

  AppIniPropertyList missingFolder(Path("no/folder/x.ini"));
  missingFolder.Add(AppIniPropertyInteger("S", "A", &a));
  EXPECT_FALSE(missingFolder.Save());
}

TEST_F(AppIniPropertyTest, Clone_IsBoundToTheSameVariable) {
  const std::string file = Path("clone.ini");
  WriteFile(file, "[S]\nV=42\n");
  int v = 0;
  const AppIniPropertyInteger original("S", "V", &v);
  const auto copy = original.Clone();
  ASSERT_TRUE(dynamic_cast<AppIniPropertyInteger*>(copy.get()) != nullptr);
  copy->Read(file.c_str());
  EXPECT_EQ(v, 42);
}

TEST(FloatPropertyText, FormatsLikePercentFAndParsesLikeStrtod) {
  for (const double v : {0.98, 35.0, -0.5, 0.0, 1e-7, 123456.789, 1e23, -1e300}) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", v);
    EXPECT_EQ(FormatFloatProperty(v), expected) << v;
  }
  EXPECT_EQ(FormatFloatProperty(0.98), "0.980000");
  EXPECT_EQ(FormatFloatProperty(35), "35.000000");

  struct Case {
    const char* text;
    double value;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {"0.980000", 0.98}, {"  -1.25e2x", -125}, {"+0.5", 0.5}, {"--1", 0},   {"+-1", 0},       {".5", 0.5},
      {"5.", 5},          {"e5", 0},            {"", 0},       {"abc", 0},   {"0x10", 16},     {"0x", 0},
      {"1e400", inf},     {"-1e400", -inf},     {"1e-400", 0}, {"inf", inf}, {"-Infinity", -inf},
      {"1e-320", 1e-320},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseFloatProperty(c.text), c.value) << c.text;
    char* end = nullptr;
    EXPECT_EQ(ParseFloatProperty(c.text), std::strtod(c.text, &end)) << "strtod agrees on " << c.text;
  }
  EXPECT_TRUE(std::isnan(ParseFloatProperty("nan")));
}

TEST(FloatPropertyText, IgnoresTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      found = name;
      break;
    }
  }
  if (!found) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const std::string text = FormatFloatProperty(0.98);
  const double back = ParseFloatProperty("0.980000");
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "0.980000") << found;
  EXPECT_DOUBLE_EQ(back, 0.98) << found;
}

}  // namespace
}  // namespace vowelscope
