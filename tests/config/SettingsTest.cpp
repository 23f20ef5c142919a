#include "config/Settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/Testfolder.h"
#include "support/Scopedenv.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::WriteFile;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::TestFolder("settings");
    file = (dir / "Settings.ini").string();
  }

  fs::path dir;
  std::string file;
};

// The file a first Save writes: every default, five sections in order, keys in registration order.
const char* const kDefaultFile =
    "[Formant]\n"
    "PreEmphasis=0.980000\n"
    "Order=16\n"
    "AutoOrder=1\n"
    "PowerThreshold=35.000000\n"
    "BandWidth=500\n"
    "F1DisplayMinFrequency=200\n"
    "F1DisplayMaxFrequency=1200\n"
    "F2DisplayMinFrequency=500\n"
    "F2DisplayMaxFrequency=4000\n"
    "\n"
    "[F0]\n"
    "FrameShift=10\n"
    "MinFrequency=60\n"
    "MaxFrequency=1000\n"
    "PowerThreshold=35.000000\n"
    "DisplayMinFrequency=60\n"
    "DisplayMaxFrequency=1000\n"
    "\n"
    "[View]\n"
    "SwapXY=0\n"
    "F1Reverse=0\n"
    "F2Reverse=0\n"
    "LastFolder=\n"
    "WindowWidth=0\n"
    "WindowHeight=0\n"
    "FZeroHeight=0\n"
    "FZeroSemitoneAxis=0\n"
    "ShowWholeTake=1\n"
    "\n"
    "[Record]\n"
    "MaxRecordMinute=15\n"
    "\n"
    "[Regions]\n"
    "CurrentRegions=\n"
    "CurrentTarget=\n";

TEST_F(SettingsTest, FirstSave_WritesTheDefaultsInFiveSectionsInOrder) {
  Settings s(file);
  EXPECT_FALSE(s.Load()) << "no file yet";
  EXPECT_FALSE(fs::exists(file)) << "nothing is created before Save";
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadFile(file), kDefaultFile);
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadFile(file), kDefaultFile) << "a second save changes nothing";
}

TEST_F(SettingsTest, Load_OfAViewOnlyFileSetsThatFlagAndKeepsEveryOtherDefault) {
  WriteFile(file, "[View]\nSwapXY=1\n");
  Settings s(file);
  ASSERT_TRUE(s.Load());
  EXPECT_TRUE(s.GetSwapXY());
  EXPECT_FALSE(s.GetF1Reverse());
  EXPECT_FALSE(s.GetF2Reverse());
  const Settings d(std::string{});
  EXPECT_EQ(s.GetFormantPreEmphasis(), d.GetFormantPreEmphasis());
  EXPECT_EQ(s.GetFormantOrder(), d.GetFormantOrder());
  EXPECT_EQ(s.GetFormantThreshold(), d.GetFormantThreshold());
  EXPECT_EQ(s.GetFormantBandWidth(), d.GetFormantBandWidth());
  EXPECT_EQ(s.GetF1DisplayMin(), d.GetF1DisplayMin());
  EXPECT_EQ(s.GetF1DisplayMax(), d.GetF1DisplayMax());
  EXPECT_EQ(s.GetF2DisplayMin(), d.GetF2DisplayMin());
  EXPECT_EQ(s.GetF2DisplayMax(), d.GetF2DisplayMax());
  EXPECT_EQ(s.GetF0FrameShift(), d.GetF0FrameShift());
  EXPECT_EQ(s.GetF0Min(), d.GetF0Min());
  EXPECT_EQ(s.GetF0Max(), d.GetF0Max());
  EXPECT_EQ(s.GetF0Threshold(), d.GetF0Threshold());
  EXPECT_EQ(s.GetF0DisplayMin(), d.GetF0DisplayMin());
  EXPECT_EQ(s.GetF0DisplayMax(), d.GetF0DisplayMax());
  EXPECT_EQ(s.GetMaxRecordMinute(), d.GetMaxRecordMinute());
  EXPECT_EQ(s.GetCurrentRegions(), d.GetCurrentRegions());
}

TEST_F(SettingsTest, SaveAndLoad_KeepEveryValueSet) {
  Settings s(file);
  s.SetFormantPreEmphasis(0.5);
  s.SetFormantOrder(12.9);
  s.SetFormantThreshold(40.5);
  s.SetFormantBandWidth(1200);
  s.SetF1DisplayMin(100);
  s.SetF1DisplayMax(900);
  s.SetF2DisplayMin(400);
  s.SetF2DisplayMax(3000);
  s.SetF0FrameShift(5);
  s.SetF0Min(70);
  s.SetF0Max(500);
  s.SetF0Threshold(50.0);
  s.SetF0DisplayMin(80);
  s.SetF0DisplayMax(400);
  s.SetMaxRecordMinute(120);
  s.SetCurrentRegions("英語 男性 (Hillenbrand 1995)");
  s.SetCurrentTarget("ɑ");
  s.SetLastFolder("/home/user/録音 2024");
  s.SetWindowWidth(1024);
  s.SetWindowHeight(700);
  s.SetFZeroHeight(260);
  s.SetFZeroSemitoneAxis(true);
  s.SetShowWholeTake(false);
  ASSERT_TRUE(s.Save());

  Settings back(file);
  ASSERT_TRUE(back.Load());
  EXPECT_DOUBLE_EQ(back.GetFormantPreEmphasis(), 0.5);
  EXPECT_EQ(back.GetFormantOrder(), 12);
  EXPECT_DOUBLE_EQ(back.GetFormantThreshold(), 40.5);
  EXPECT_EQ(back.GetFormantBandWidth(), 1200);
  EXPECT_EQ(back.GetF1DisplayMin(), 100);
  EXPECT_EQ(back.GetF1DisplayMax(), 900);
  EXPECT_EQ(back.GetF2DisplayMin(), 400);
  EXPECT_EQ(back.GetF2DisplayMax(), 3000);
  EXPECT_EQ(back.GetF0FrameShift(), 5);
  EXPECT_EQ(back.GetF0Min(), 70);
  EXPECT_EQ(back.GetF0Max(), 500);
  EXPECT_DOUBLE_EQ(back.GetF0Threshold(), 50.0);
  EXPECT_EQ(back.GetF0DisplayMin(), 80);
  EXPECT_EQ(back.GetF0DisplayMax(), 400);
  EXPECT_EQ(back.GetMaxRecordMinute(), 120);
  EXPECT_EQ(back.GetCurrentRegions(), "英語 男性 (Hillenbrand 1995)");
  EXPECT_EQ(back.GetCurrentTarget(), "ɑ");
  EXPECT_EQ(back.GetLastFolder(), "/home/user/録音 2024");
  EXPECT_EQ(back.GetWindowWidth(), 1024);
  EXPECT_EQ(back.GetWindowHeight(), 700);
  EXPECT_EQ(back.GetFZeroHeight(), 260);
  EXPECT_TRUE(back.GetFZeroSemitoneAxis());
  EXPECT_FALSE(back.GetShowWholeTake());
}

// The two view flags read numbers as flags like AutoOrder: text that is no number keeps the default
// (the linear axis, the whole take shown) instead of turning a flag off.
TEST_F(SettingsTest, ViewFlags_ReadNumbersAsFlags_AndKeepTheirDefaultsForAnythingElse) {
  struct Case {
    const char* file;
    bool semitoneAxis, wholeTake;
  };
  for (const Case c : {Case{"[View]\nFZeroSemitoneAxis=1\nShowWholeTake=0\n", true, false},
                       Case{"[View]\nFZeroSemitoneAxis=on\nShowWholeTake=off\n", false, true},
                       Case{"[View]\nFZeroSemitoneAxis=\nShowWholeTake=\n", false, true},
                       Case{"[View]\nFZeroSemitoneAxis=2\nShowWholeTake=-1\n", true, true}}) {
    WriteFile(file, c.file);
    Settings s(file);
    ASSERT_TRUE(s.Load()) << c.file;
    EXPECT_EQ(s.GetFZeroSemitoneAxis(), c.semitoneAxis) << c.file;
    EXPECT_EQ(s.GetShowWholeTake(), c.wholeTake) << c.file;
  }
}

// A hand-edited file must not make a recording allocate gigabytes, run slower than real time or give an
// empty F0 track: the analysis values come into the dialog's ranges; display ranges stay as written.
TEST_F(SettingsTest, Load_ClampsAnalysisValuesIntoTheDialogRanges_AndKeepsDisplayRanges) {
  struct Case {
    const char* file;
    int order, frameShift, f0Min, f0Max, maxMinutes;
    double preEmphasis;
  };
  const Case cases[] = {
      {"[Formant]\nOrder=2147483647\n", 32, 10, 60, 1000, 15, 0.98},
      {"[Formant]\nOrder=10000\nPreEmphasis=7\n", 32, 10, 60, 1000, 15, 0.99},
      {"[Formant]\nOrder=0\nPreEmphasis=-1\n", 4, 10, 60, 1000, 15, 0.0},
      {"[Formant]\nPreEmphasis=nan\n", 16, 10, 60, 1000, 15, 0.98},
      {"[F0]\nFrameShift=0\n", 16, 1, 60, 1000, 15, 0.98},
      {"[F0]\nFrameShift=-4\nMinFrequency=1\nMaxFrequency=99999\n", 16, 1, 50, 8000, 15, 0.98},
      {"[F0]\nMinFrequency=900\nMaxFrequency=100\n", 16, 10, 100, 900, 15, 0.98},
      {"[Record]\nMaxRecordMinute=100000\n", 16, 10, 60, 1000, 120, 0.98},
      {"[Record]\nMaxRecordMinute=0\n", 16, 10, 60, 1000, 1, 0.98},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteFile(file, c.file);
    Settings s(file);
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.GetFormantOrder(), c.order);
    EXPECT_DOUBLE_EQ(s.GetFormantPreEmphasis(), c.preEmphasis);
    EXPECT_EQ(s.GetF0FrameShift(), c.frameShift);
    EXPECT_EQ(s.GetF0Min(), c.f0Min);
    EXPECT_EQ(s.GetF0Max(), c.f0Max);
    EXPECT_EQ(s.GetMaxRecordMinute(), c.maxMinutes);
  }

  WriteFile(file, "[Formant]\nF1DisplayMinFrequency=900\nF1DisplayMaxFrequency=100\n");
  Settings s(file);
  ASSERT_TRUE(s.Load());
  EXPECT_EQ(s.GetF1DisplayMin(), 900);
  EXPECT_EQ(s.GetF1DisplayMax(), 100);
}

TEST_F(SettingsTest, AutoOrder_ReadsNumbersAsFlags_AndAnythingElseAsOn) {
  struct Case {
    const char* file;
    bool autoOrder;
  };
  for (const Case c : {Case{"[Formant]\nAutoOrder=0\n", false}, Case{"[Formant]\nAutoOrder=1\n", true},
                       Case{"[Formant]\nOrder=12\n", true}, Case{"[Formant]\nAutoOrder=yes\n", true},
                       Case{"[Formant]\nAutoOrder=\n", true}, Case{"[Formant]\nAutoOrder=-\n", true},
                       Case{"[Formant]\nAutoOrder=7\n", true}, Case{"[Formant]\nAutoOrder=0x\n", false}}) {
    WriteFile(file, c.file);
    Settings s(file);
    ASSERT_TRUE(s.Load()) << c.file;
    EXPECT_EQ(s.GetFormantAutoOrder(), c.autoOrder) << c.file;
    s.SetFormantAutoOrder(!c.autoOrder);
    ASSERT_TRUE(s.Save());
    Settings back(file);
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.GetFormantAutoOrder(), !c.autoOrder) << "written back after " << c.file;
  }
}

TEST_F(SettingsTest, Save_AfterPickingAGuideSetRewritesTheWholeFileKeepingHandEdits) {
  WriteFile(file, "; edited by hand\n[View]\nF2Reverse=1\n");
  Settings s(file);
  ASSERT_TRUE(s.Load());
  s.SetCurrentRegions("日本語 男性");
  ASSERT_TRUE(s.Save());
  const std::string text = ReadFile(file);
  EXPECT_EQ(text.rfind("; edited by hand\n[View]\nF2Reverse=1\nSwapXY=0\nF1Reverse=0\n", 0), 0u) << text;
  for (const char* line : {"PreEmphasis=0.980000\n", "MaxFrequency=1000\n", "MaxRecordMinute=15\n",
                           "[Regions]\nCurrentRegions=日本語 男性\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST_F(SettingsTest, Save_ToAFolderThatDoesNotExistFailsAndKeepsTheValues) {
  Settings s((dir / "missing" / "Settings.ini").string());
  s.SetMaxRecordMinute(3);
  EXPECT_FALSE(s.Save());
  EXPECT_EQ(s.GetMaxRecordMinute(), 3);
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(SettingsOrder, SetFormantOrder_TruncatesTowardZero) {
  struct Case {
    double given;
    int stored;
  };
  for (const Case c : {Case{12.9, 12}, Case{4.0, 4}, Case{-3.7, -3}, Case{0.99, 0}, Case{NAN, 0},
                       Case{1e300, INT_MAX}, Case{-1e300, INT_MIN}}) {
    Settings s(std::string{});
    s.SetFormantOrder(c.given);
    EXPECT_EQ(s.GetFormantOrder(), c.stored) << c.given;
  }
}

TEST_F(SettingsTest, DefaultLocation_IsTheProgramsFolderUnderApplicationDataAndIsCreated) {
  const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
  const std::string expected = (dir / "config" / "Halcyon" / "Vowelscope" / "Settings.ini").string();
  Settings s;
  EXPECT_EQ(s.GetFileName(), expected);
  EXPECT_TRUE(fs::is_directory(dir / "config" / "Halcyon" / "Vowelscope"));
  EXPECT_FALSE(s.Load());
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(ReadFile(expected), kDefaultFile);
}

}  // namespace
}  // namespace vowelscope
