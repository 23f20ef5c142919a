// Saving and opening the three files of a session: the text formats, their parse rules, refused WAVE
// formats, saves that fail without harming what was saved before, and opens that fail without harming
// the session that was open.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <unistd.h>

#include <clocale>
#include <limits>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/Fifotestsupport.h"
#include "Enginetestsupport.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "base/Error.h"
#include "engine/Sessiontext.h"
#include "base/Stringutilities.h"
#include "sound/Wavefilestream.h"
#include "support/Testfolder.h"
#include "support/Wavebytes.h"
#include "support/Wavewriter.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::MakeEngine;
using enginetest::SoundSamples;
using testsupport::Le32;
using testsupport::ReadFile;
using testsupport::WriteFile;
using testsupport::WriteWave;

const std::string kInternalError = "内部エラーが発生しました。";
const std::string kSaveFailed =
    "ファイルの保存に失敗しました。保存先が書き込み可能か、空き容量が十分か確認してください。";
const std::string kFormatError = "ファイル形式に誤りがあります。";
const std::string kReadFailed = "ファイルを読み込むことができませんでした。";

// Runs f and returns the message of the Error it throws; fails the test when it throws none.
template <typename F>
std::string ErrorMessage(F&& f) {
  try {
    f();
  } catch (const Error& error) {
    return error.what();
  }
  ADD_FAILURE() << "no Error was thrown";
  return {};
}

std::set<std::string> FolderEntries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class SessionfilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::TestFolder("sessionfiles");
    settings = std::make_unique<Settings>((dir / "Settings.ini").string());
    engine = MakeEngine(*settings);
  }

  std::string Base(const std::string& name) const { return (dir / name).string(); }

  // A session of `samples`, with an .f0 and .fr as given, under dir/name.*.
  void WriteSession(const std::string& name, const std::vector<int16_t>& samples, const std::string& f0,
                    const std::string& fr) {
    WriteWave(Base(name) + ".wav", Engine::GetSoundFormat(), samples);
    WriteFile(Base(name) + ".f0", f0);
    WriteFile(Base(name) + ".fr", fr);
  }

  fs::path dir;
  std::unique_ptr<Settings> settings;
  std::unique_ptr<Engine> engine;
};

const std::vector<int16_t> kSamplesA = {0, 1000, -1000, 32767, -32768, 7};
const std::string kF0A = "0\t200.450\t60.125\t0.987\r\n10\t0.000\t0.000\t0.000\r\n";
const std::string kFrA = "0\t700.500\t1200.250\t45.125\r\n";

TEST_F(SessionfilesTest, SaveThenLoad_KeepsEveryValueToThreeDecimals_AndRecomputesTheTimes) {
  // Times in the source files are deliberately wrong: they are not read.
  WriteSession("in", {1, -2, 3, -4, 5},
               "999\t200.4567\t61.2344\t0.98765\r\n5\t-1.5\t0\t1e-4\r\n",
               "7\t700.5\t1200.25\t45.125\r\n3\t0\t0\t-3.0004\r\n1\t123.4564\t2345.6786\t0.0006\r\n");
  engine->LoadFiles(Base("in") + ".wav");
  engine->SaveFiles(Base("out") + ".wav");

  EXPECT_EQ(ReadFile(Base("out") + ".f0"),
            "0\t200.457\t61.234\t0.988\r\n10\t-1.500\t0.000\t0.000\r\n");
  EXPECT_EQ(ReadFile(Base("out") + ".fr"),
            "0\t700.500\t1200.250\t45.125\r\n25\t0.000\t0.000\t-3.000\r\n50\t123.456\t2345.679\t0.001\r\n");
  EXPECT_EQ(fs::file_size(Base("out") + ".wav"), 46u + 10u);

  auto again = MakeEngine(*settings);
  again->LoadFiles(Base("out"));  // the extension is replaced, so a bare base works too
  EXPECT_EQ(SoundSamples(*again), (std::vector<int16_t>{1, -2, 3, -4, 5}));
  const auto f0 = again->GetFZeroResult();
  ASSERT_NE(f0, nullptr);
  ASSERT_EQ(f0->values.size(), 2u);
  EXPECT_NEAR(f0->values[0].frequency, 200.457, 0.0005);
  EXPECT_NEAR(f0->values[0].power, 61.234, 0.0005);
  EXPECT_NEAR(f0->values[0].score, 0.988, 0.0005);
  EXPECT_NEAR(f0->values[1].frequency, -1.5, 0.0005);
  const auto& track = *again->GetFormantTrack();
  ASSERT_EQ(track.size(), 3u);
  EXPECT_DOUBLE_EQ(track[2].f1, 123.456);
  EXPECT_DOUBLE_EQ(track[2].f2, 2345.679);
  EXPECT_DOUBLE_EQ(track[2].power, 0.001);
  EXPECT_DOUBLE_EQ(track[1].power, -3.0);

  // Saving the loaded session over the files it came from gives the same bytes.
  const std::string wavBefore = ReadFile(Base("out") + ".wav");
  again->SaveFiles(Base("out") + ".wav");
  EXPECT_EQ(ReadFile(Base("out") + ".wav"), wavBefore);
  EXPECT_EQ(ReadFile(Base("out") + ".f0"), "0\t200.457\t61.234\t0.988\r\n10\t-1.500\t0.000\t0.000\r\n");
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"in.wav", "in.f0", "in.fr", "out.wav", "out.f0",
                                                       "out.fr"}));
}

// n lines of a .f0 file whose time column is given by time(i).
template <typename Time>
std::string F0Lines(int n, Time time) {
  std::string text;
  for (int i = 0; i < n; ++i) text += FormatString("%lld\t%d\t2\t0.9\r\n", static_cast<long long>(time(i)), i);
  return text;
}

// True time of F0 frame i at a shift of s ms, in whole ms: the hop is the shift in whole samples.
int64_t TrueF0Time(int i, int shiftMs) {
  const int64_t hop = static_cast<int64_t>(11025 * shiftMs / 1000);
  return (i * hop * 1000 + 11025 / 2) / 11025;
}

TEST_F(SessionfilesTest, F0FrameShift_ComesFromTheTimeColumnWhenItFitsOneShift_ElseFromTheSetting) {
  struct Case {
    const char* what;
    std::string f0;
    int setting;
    double expected;  // seconds
  };
  const Case cases[] = {
      {"i x 10 ms, as earlier versions wrote", F0Lines(2000, [](int i) { return i * 10; }), 20, 0.010},
      {"true times at 10 ms", F0Lines(2000, [](int i) { return TrueF0Time(i, 10); }), 20, 0.010},
      {"true times at 20 ms", F0Lines(2000, [](int i) { return TrueF0Time(i, 20); }), 10, 0.020},
      {"i x 1 ms", F0Lines(50, [](int i) { return i; }), 10, 0.001},
      {"i x 9999 ms", F0Lines(3, [](int i) { return i * 9999; }), 10, 9.999},
      {"a time that fits no shift", "0\t1\t2\t3\n10\t4\t5\t6\n35\t7\t8\t9\n", 20, 0.020},
      {"a time that is no number", "0\t1\t2\t3\nx\t4\t5\t6\n20\t7\t8\t9\n", 20, 0.020},
      {"one line only", "0\t1\t2\t3\n", 20, 0.020},
      {"all times 0, a setting of 0", "0\t1\t2\t3\n0\t4\t5\t6\n", 0, 0.001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteSession("in", kSamplesA, c.f0, kFrA);
    settings->SetF0FrameShift(c.setting);
    engine->LoadFiles(Base("in.wav"));
    ASSERT_NE(engine->GetFZeroResult(), nullptr);
    EXPECT_DOUBLE_EQ(engine->GetFZeroResult()->frameShift, c.expected);
  }

  // Saving again keeps the shift and writes the true times: a file of the old form becomes the new one.
  WriteSession("in", kSamplesA, F0Lines(2000, [](int i) { return i * 10; }), kFrA);
  settings->SetF0FrameShift(20);
  engine->LoadFiles(Base("in.wav"));
  engine->SaveFiles(Base("out.wav"));
  std::istringstream saved(ReadFile(Base("out.f0")));
  std::string line;
  int i = 0;
  while (std::getline(saved, line)) {
    ASSERT_EQ(std::stoll(line), TrueF0Time(i, 10)) << "line " << i;
    ++i;
  }
  EXPECT_EQ(i, 2000);
  EXPECT_EQ(TrueF0Time(1999, 10), 19945) << "110-sample hops: 1999 x 9.977 ms";
}

TEST_F(SessionfilesTest, TextFiles_LoadWhateverTheirLineEndsBlankLinesAndExtraOrOddFields) {
  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"CR LF", "0\t1.5\t2.5\t3.5\r\n25\t4\t5\t6\r\n"},
      {"LF only", "0\t1.5\t2.5\t3.5\n25\t4\t5\t6\n"},
      {"blank lines anywhere", "\n0\t1.5\t2.5\t3.5\r\n\r\n\n25\t4\t5\t6\r\n\r\n"},
      {"no final line end", "0\t1.5\t2.5\t3.5\r\n25\t4\t5\t6"},
      {"five fields", "0\t1.5\t2.5\t3.5\textra\r\n25\t4\t5\t6\t\r\n"},
      {"blanks around numbers", "0\t 1.5\t2.5 \t  3.5 \r\n25\t+4\t5\t6\r\n"},
      {"CR only, as old editors save", "0\t1.5\t2.5\t3.5\r25\t4\t5\t6\r"},
      {"mixed line ends", "0\t1.5\t2.5\t3.5\r25\t4\t5\t6\r\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteSession("in", kSamplesA, c.text, c.text);
    engine->LoadFiles(Base("in.wav"));
    const auto f0 = engine->GetFZeroResult();
    ASSERT_NE(f0, nullptr);
    ASSERT_EQ(f0->values.size(), 2u);
    EXPECT_FLOAT_EQ(f0->values[0].frequency, 1.5f);
    EXPECT_FLOAT_EQ(f0->values[0].power, 2.5f);
    EXPECT_FLOAT_EQ(f0->values[0].score, 3.5f);
    EXPECT_FLOAT_EQ(f0->values[1].score, 6.0f);
    const auto& track = *engine->GetFormantTrack();
    ASSERT_EQ(track.size(), 2u);
    EXPECT_DOUBLE_EQ(track[0].f1, 1.5);
    EXPECT_DOUBLE_EQ(track[0].f2, 2.5);
    EXPECT_DOUBLE_EQ(track[0].power, 3.5);
    EXPECT_DOUBLE_EQ(track[1].power, 6.0);
  }

}

// What the session in the Engine looks like from outside, to compare before and after a failed load.
struct SessionState {
  std::vector<int16_t> sound;
  std::shared_ptr<const FZeroResult> f0;
  std::vector<FormantValue> track;
};

void FolderInstead(const std::string& file) {
  fs::remove(file);
  fs::create_directory(file);
}

SessionState StateOf(Engine& engine) {
  return {SoundSamples(engine), engine.GetFZeroResult(), *engine.GetFormantTrack()};
}

void ExpectSameState(const SessionState& before, Engine& engine) {
  EXPECT_EQ(SoundSamples(engine), before.sound);
  EXPECT_EQ(engine.GetFZeroResult(), before.f0) << "the very same F0 result";
  const std::vector<FormantValue>& track = *engine.GetFormantTrack();
  ASSERT_EQ(track.size(), before.track.size());
  for (size_t i = 0; i < track.size(); ++i) {
    EXPECT_EQ(track[i].f1, before.track[i].f1);
    EXPECT_EQ(track[i].f2, before.track[i].f2);
    EXPECT_EQ(track[i].power, before.track[i].power);
  }
}

// Whatever file of a session fails, and however (a bad line, gone since the caller checked that it
// exists, a folder in its place), the load throws that file's message and the session loaded before
// stays whole: no new sound with the old analyses, which a later save would store as one session.
TEST_F(SessionfilesTest, LoadThatFailsInAnyFile_ThrowsItsMessage_AndKeepsThePreviousSessionWhole) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));
  const SessionState before = StateOf(*engine);
  ASSERT_NE(before.f0, nullptr);

  const std::string goodF0 = "0\t1\t2\t3\r\n";
  const std::string goodFr = "0\t9\t9\t9\r\n";
  struct Case {
    const char* what;
    const char* broken;  // the extension of the file to spoil
    void (*spoil)(const std::string& file);
    const std::string& message;
  };
  const Case cases[] = {
      {".f0 line of three fields", ".f0",
       [](const std::string& f) { WriteFile(f, "0\t1\t2\t3\r\n10\t1\t2\r\n"); }, kFormatError},
      {".fr line of three fields", ".fr",
       [](const std::string& f) { WriteFile(f, "0\t1\t2\t3\r\n25\t1\t2\r\n"); }, kFormatError},
      {".wav gone", ".wav", [](const std::string& f) { fs::remove(f); }, kFormatError},
      {".f0 gone", ".f0", [](const std::string& f) { fs::remove(f); }, kReadFailed},
      {".fr gone", ".fr", [](const std::string& f) { fs::remove(f); }, kReadFailed},
      {".wav a folder", ".wav", [](const std::string& f) { FolderInstead(f); }, kFormatError},
      {".f0 a folder", ".f0", [](const std::string& f) { FolderInstead(f); }, kReadFailed},
      {".fr a folder", ".fr", [](const std::string& f) { FolderInstead(f); }, kReadFailed},
      {".wav cut inside its header", ".wav",
       [](const std::string& f) { fs::resize_file(f, 30); }, kFormatError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Base("b.wav"));
    fs::remove_all(Base("b.f0"));
    fs::remove_all(Base("b.fr"));
    WriteSession("b", {5, 6}, goodF0, goodFr);
    c.spoil(Base("b") + c.broken);
    EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("b.wav")); }), c.message);
    ExpectSameState(before, *engine);
  }

  // An intact session still loads completely afterwards.
  WriteSession("c", {8}, goodF0, goodFr);
  engine->LoadFiles(Base("c.wav"));
  EXPECT_EQ(SoundSamples(*engine), std::vector<int16_t>{8});
  ASSERT_EQ(engine->GetFZeroResult()->values.size(), 1u);
  EXPECT_EQ(engine->GetFZeroResult()->values[0].frequency, 1.0f);
  ASSERT_EQ(engine->GetFormantTrack()->size(), 1u);
  EXPECT_EQ((*engine->GetFormantTrack())[0].f1, 9.0);
}

TEST_F(SessionfilesTest, WaveInAnotherFormat_IsRefused_AndThePreviousRecordingStays) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));

  struct Case {
    const char* what;
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
  };
  for (const Case& c : {Case{"22050 Hz", 22050, 1, 16}, Case{"stereo", 11025, 2, 16}, Case{"8 bit", 11025, 1, 8},
                       Case{"44.1 kHz stereo", 44100, 2, 16}}) {
    SCOPED_TRACE(c.what);
    SoundFormat format = Engine::GetSoundFormat();
    format.SetKind(c.bits == 8 ? PcmUnsigned : PcmSigned);
    format.SetSampleRate(c.rate);
    format.SetChannels(c.channels);
    format.SetBitsPerSample(c.bits);
    WriteWave(Base("b.wav"), format, {100, 200, 300, 400});
    WriteFile(Base("b.f0"), "0\t1\t2\t3\r\n");
    WriteFile(Base("b.fr"), "0\t1\t2\t3\r\n");
    EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("b.wav")); }), kFormatError);
    EXPECT_EQ(SoundSamples(*engine), kSamplesA);
    EXPECT_EQ(engine->GetFZeroResult()->values.size(), 2u);
    EXPECT_EQ(engine->GetFormantTrack()->size(), 1u);
  }

  // Not a WAVE file at all: the same message.
  WriteFile(Base("c.wav"), "RIFF....not a wave file");
  EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("c.wav")); }), kFormatError);
  EXPECT_EQ(SoundSamples(*engine), kSamplesA);
}

TEST_F(SessionfilesTest, SessionWithoutAnyAnalysis_SavesEmptyFiles_ThatOpenAgain) {
  ASSERT_EQ(engine->GetFZeroResult(), nullptr);
  engine->SaveFiles(Base("empty.wav"));
  EXPECT_EQ(fs::file_size(Base("empty.wav")), 46u);
  EXPECT_EQ(fs::file_size(Base("empty.f0")), 0u);
  EXPECT_EQ(fs::file_size(Base("empty.fr")), 0u);

  auto again = MakeEngine(*settings);
  again->LoadFiles(Base("empty.wav"));
  EXPECT_EQ(again->GetSound()->GetLength(), 0u);
  ASSERT_NE(again->GetFZeroResult(), nullptr);
  EXPECT_TRUE(again->GetFZeroResult()->values.empty());
  EXPECT_TRUE(again->GetFormantTrack()->empty());
}

TEST_F(SessionfilesTest, SaveThatCannotCreateItsFiles_FailsWithTheMessage_AndLeavesNothingBehind) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));

  // The folder of the chosen name is a regular file: not even the WAVE file can be made.
  WriteFile(Base("plain"), "x");
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("plain") + "/take.wav"); }), kSaveFailed);
  EXPECT_EQ(ReadFile(Base("plain")), "x");

  // The .wav destination is a folder: the sound cannot be put in its place.
  fs::create_directory(Base("dirwav.wav"));
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("dirwav.wav")); }), kSaveFailed);
  EXPECT_TRUE(fs::is_directory(Base("dirwav.wav")));
  EXPECT_TRUE(fs::is_empty(Base("dirwav.wav")));

  // The .f0 destination is a folder: the F0 file fails with the save message, and neither the WAVE
  // file nor the .fr file takes its place beside it.
  fs::create_directory(Base("dirf0.f0"));
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("dirf0.wav")); }), kSaveFailed);
  EXPECT_TRUE(fs::is_directory(Base("dirf0.f0")));

  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav", "a.f0", "a.fr", "plain",
                                                       "dirwav.wav", "dirf0.f0"}));
}

// Lowers the largest file this process may write, so that a save runs out of room as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit lowered = previous;
    lowered.rlim_cur = bytes;
    active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);
  }
  bool Active() const { return active; }

 private:
  rlimit previous{};
  void (*previousHandler)(int) = nullptr;
  bool active = false;
};

TEST_F(SessionfilesTest, SaveThatRunsOutOfRoom_LeavesTheEarlierSessionIntact_AndNoTemporaryFile) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  const std::string wav = ReadFile(Base("a.wav"));

  // A longer recording does not fit under the limit; the old one did.
  WriteSession("long", std::vector<int16_t>(20000, 1234), kF0A, kFrA);
  engine->LoadFiles(Base("long.wav"));
  {
    FileSizeLimit limit(8192);
    ASSERT_TRUE(limit.Active());
    EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("a.wav")); }), kSaveFailed);
  }
  EXPECT_EQ(ReadFile(Base("a.wav")), wav);
  EXPECT_EQ(ReadFile(Base("a.f0")), kF0A);
  EXPECT_EQ(ReadFile(Base("a.fr")), kFrA);
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav", "a.f0", "a.fr", "long.wav",
                                                       "long.f0", "long.fr"}));

  // With room again the same save goes through.
  engine->SaveFiles(Base("a.wav"));
  EXPECT_EQ(fs::file_size(Base("a.wav")), 46u + 40000u);
}

// The sound fits but one of the text files does not: the save fails with the save message, all three
// files of the earlier session stay as they were (never a new sound beside old analyses), and nothing
// temporary is left.
TEST_F(SessionfilesTest, TextFileThatRunsOutOfRoom_FailsWithTheSaveMessage_AndKeepsTheEarlierFile) {
  const std::string oldText = "0\t1.000\t1.000\t1.000\r\n";
  std::string longText;
  for (int i = 0; i < 1000; ++i) longText += FormatString("%d\t123.456\t2345.678\t45.125\r\n", i * 10);
  struct Case {
    const char* what;
    std::string f0, fr;              // of the session being saved
    std::string f0After, frAfter;    // on disk after the failed save
  };
  const Case cases[] = {{".f0 too long", longText, kFrA, oldText, oldText},
                        {".fr too long", kF0A, longText, oldText, oldText}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteSession("a", kSamplesA, oldText, oldText);
    const std::string oldWave = ReadFile(Base("a.wav"));
    WriteSession("long", {1, 2, 3}, c.f0, c.fr);
    engine->LoadFiles(Base("long.wav"));
    {
      FileSizeLimit limit(8192);
      ASSERT_TRUE(limit.Active());
      EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("a.wav")); }), kSaveFailed);
    }
    EXPECT_EQ(ReadFile(Base("a.wav")), oldWave);
    EXPECT_EQ(ReadFile(Base("a.f0")), c.f0After);
    EXPECT_EQ(ReadFile(Base("a.fr")), c.frAfter);
    EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav", "a.f0", "a.fr", "long.wav", "long.f0",
                                                         "long.fr"}));
  }
}

// Switches the numeric locale to one with a decimal comma for as long as it lives; German is built
// into the scratch folder when the system has not installed it.
class CommaLocale {
 public:
  CommaLocale() {
    const char* name = "de_DE.UTF-8";
    if (std::setlocale(LC_NUMERIC, name) == nullptr) {
      const fs::path folder = fs::path(VOWELSCOPE_TEST_TMP) / "locales";
      fs::create_directories(folder);
      const std::string build =
          "localedef -i de_DE -f UTF-8 '" + (folder / name).string() + "' >/dev/null 2>&1";
      if (!fs::exists(folder / name) && std::system(build.c_str()) != 0) return;
      setenv("LOCPATH", folder.c_str(), 1);
      if (std::setlocale(LC_NUMERIC, name) == nullptr) return;
    }
    active = FormatString("%.1f", 1.5) == "1,5";
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
  bool Active() const { return active; }

 private:
  bool active = false;
};

TEST_F(SessionfilesTest, NumbersHaveADecimalPoint_WhateverTheNumericLocale) {
  WriteSession("in", kSamplesA, "0\t200.4567\t-61.5\t0.98765\r\n", "0\t700.5\t1200.25\t45.125\r\n");
  CommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma could be set up";
  engine->LoadFiles(Base("in.wav"));
  engine->SaveFiles(Base("out.wav"));
  EXPECT_FLOAT_EQ(engine->GetFZeroResult()->values[0].frequency, 200.4567f);
  EXPECT_DOUBLE_EQ((*engine->GetFormantTrack())[0].f2, 1200.25);
  EXPECT_EQ(ReadFile(Base("out.f0")), "0\t200.457\t-61.500\t0.988\r\n");
  EXPECT_EQ(ReadFile(Base("out.fr")), "0\t700.500\t1200.250\t45.125\r\n");
}

// A value that is not wholly a number was read as its numeric prefix or as 0 without a word: 129,706
// became 129. Such a file is refused now, and so is a line no session file can have.
TEST_F(SessionfilesTest, TextFiles_WithAFieldThatIsNotWhollyANumber_OrALineTooLong_AreRefused) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));
  const SessionState before = StateOf(*engine);
  const std::string lines[] = {
      "0\t129,706\t60\t0.9\r\n",
      "0\t2.5Hz\t60\t0.9\r\n",
      "0\t200\t60 dB\t0.9\r\n",
      "0\tabc\t60\t0.9\r\n",
      "0\t200\t\t0.9\r\n",
      "0\t200\t60\t-\r\n",
      "0\t200\t60\t+-1\r\n",
      "0\t200\t60\t0.9\r\n10\t" + std::string(5000, '1') + "\t60\t0.9\r\n",
      std::string(100000, '\t'),
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line.substr(0, 40));
    WriteSession("b", kSamplesA, line, kFrA);
    EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("b.wav")); }), kFormatError);
    WriteSession("b", kSamplesA, kF0A, line);
    EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("b.wav")); }), kFormatError);
    ExpectSameState(before, *engine);
  }
}

// A named pipe in place of any file of a session used to block the open for ever, on the window's
// thread; a device such as /dev/zero as the .f0 never ended. Each is refused at once now.
TEST_F(SessionfilesTest, SpecialFileAsAnyFileOfTheSession_IsRefusedAtOnce_AndKeepsTheSession) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));
  const SessionState before = StateOf(*engine);
  for (const char* extension : {".wav", ".f0", ".fr"}) {
    SCOPED_TRACE(extension);
    WriteSession("b", {5, 6}, "0\t1\t2\t3\r\n", "0\t9\t9\t9\r\n");
    const std::string fifo = Base("b") + extension;
    ASSERT_TRUE(fifotest::MakeFifo(fifo));
    bool returned = false;
    const std::string message = fifotest::RunAgainstFifo(
        fifo, [&] { return ErrorMessage([&] { engine->LoadFiles(Base("b.wav")); }); }, returned);
    EXPECT_TRUE(returned) << "the open blocked on the pipe";
    EXPECT_EQ(message, kFormatError);
    ExpectSameState(before, *engine);
    fs::remove(fifo);
  }

  for (const char* extension : {".wav", ".f0", ".fr"}) {
    SCOPED_TRACE(std::string("/dev/zero as ") + extension);
    WriteSession("c", {5, 6}, "0\t1\t2\t3\r\n", "0\t9\t9\t9\r\n");
    fs::remove(Base("c") + extension);
    fs::create_symlink("/dev/zero", Base("c") + extension);
    EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("c.wav")); }), kFormatError);
    ExpectSameState(before, *engine);
    fs::remove(Base("c") + extension);
  }
}

// A track cannot be longer than the sound it belongs to can hold (one F0 frame per hop of the
// shortest shift, one formant value per block), allowing for the longest recording and a little slack.
TEST_F(SessionfilesTest, TrackLongerThanTheLongestRecordingHolds_IsRefused) {
  const uint64_t longest = 120ull * 60 * 11025;
  const uint64_t mostBlocks = (longest + 274) / 275;
  std::string fr;
  fr.reserve(static_cast<size_t>(mostBlocks + 20) * 10);
  for (uint64_t i = 0; i < mostBlocks + 16; ++i) fr += "0\t1\t2\t3\n";
  WriteSession("full", kSamplesA, kF0A, fr);
  engine->LoadFiles(Base("full.wav"));
  EXPECT_EQ(engine->GetFormantTrack()->size(), mostBlocks + 16);

  WriteFile(Base("full.fr"), fr + "0\t1\t2\t3\n");
  EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(Base("full.wav")); }), kFormatError);
  EXPECT_EQ(engine->GetFormantTrack()->size(), mostBlocks + 16);
}

// The sound of a 120-minute session and its tracks as the F0 pass and the recording make them: the
// last F0 frame and the last formant block lie within 10 ms of the end of the sound in the files.
TEST_F(SessionfilesTest, TimeColumnsOfA120MinuteSession_EndWithin10msOfTheSound) {
  const uint64_t samples = 120ull * 60 * 11025;
  const uint64_t hop = Engine::GetFZeroHop(0.010);
  ASSERT_EQ(hop, 110u);
  const uint64_t frames = (samples + hop - 1) / hop;
  const uint64_t blocks = (samples + 274) / 275;
  std::string f0, fr;
  for (uint64_t i = 0; i < frames; ++i) f0 += FormatString("%llu\t100\t50\t0.9\r\n", static_cast<unsigned long long>(i * 10));
  for (uint64_t i = 0; i < blocks; ++i) fr += FormatString("%llu\t500\t1500\t50\r\n", static_cast<unsigned long long>(i * 25));
  WriteSession("long", kSamplesA, f0, fr);
  engine->LoadFiles(Base("long.wav"));
  ASSERT_DOUBLE_EQ(engine->GetFZeroResult()->frameShift, 0.010);
  engine->SaveFiles(Base("out.wav"));

  const double endMs = samples * 1000.0 / 11025.0;
  auto lastTime = [](const std::string& text) {
    const size_t lineStart = text.rfind('\n', text.size() - 2) + 1;
    return std::stod(text.substr(lineStart));
  };
  const double lastF0 = lastTime(ReadFile(Base("out.f0")));
  const double lastFr = lastTime(ReadFile(Base("out.fr")));
  EXPECT_NEAR(lastF0, endMs, 10.0) << "ms; i x 10 ms put it at " << (frames - 1) * 10;
  EXPECT_NEAR(lastFr, endMs, 25.0) << "ms; the last block starts within one block of the end";
  EXPECT_NEAR(lastFr, (blocks - 1) * 275 * 1000.0 / 11025.0, 0.5) << "ms";
  EXPECT_LE(lastFr, endMs);
}

// printf prints every integer digit; the old writer gave 0.000 for 1e61 and more.
TEST_F(SessionfilesTest, LargeAndSpecialValues_AreSavedAsPrintfPrintsThem) {
  WriteSession("in", kSamplesA, "0\t1e30\t-2.5e15\t1e99\r\n", "0\t1e61\t1e300\t-1e-9\r\n");
  engine->LoadFiles(Base("in.wav"));
  engine->SaveFiles(Base("out.wav"));
  const double f = static_cast<float>(1e30);
  const double p = static_cast<float>(-2.5e15);
  EXPECT_EQ(ReadFile(Base("out.f0")), FormatString("0\t%.3f\t%.3f\t%.3f\r\n", f, p, HUGE_VAL));
  EXPECT_EQ(ReadFile(Base("out.fr")), FormatString("0\t%.3f\t%.3f\t%.3f\r\n", 1e61, 1e300, -1e-9));
  // And what was saved opens again with the same values.
  auto again = MakeEngine(*settings);
  again->LoadFiles(Base("out.wav"));
  EXPECT_EQ((*again->GetFormantTrack())[0].f1, 1e61);
  EXPECT_EQ((*again->GetFormantTrack())[0].f2, 1e300);
}

TEST_F(SessionfilesTest, PathsLongerThanTheLimit_AreRefusedWithTheirOwnMessage_UpToTheLimitTheyWork) {
  const std::string kPathTooLong = "パスが長すぎます。";
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));
  std::string folder = dir.string();
  while (folder.size() < 200) folder += "/" + std::string(30, 'd');
  fs::create_directories(folder);
  // 257 to 260 bytes save and open; the temporary names beside them are longer, and must not count.
  for (size_t length : {257u, 260u}) {
    SCOPED_TRACE(length);
    const std::string path = folder + "/" + std::string(length - folder.size() - 5, 'n') + ".wav";
    ASSERT_EQ(path.size(), length);
    engine->SaveFiles(path);
    auto again = MakeEngine(*settings);
    again->LoadFiles(path);
    EXPECT_EQ(SoundSamples(*again), kSamplesA);
  }
  const std::string longer = folder + "/" + std::string(261 - folder.size() - 5, 'n') + ".wav";
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(longer); }), kPathTooLong);
  EXPECT_FALSE(fs::exists(longer));
  fs::copy_file(folder + "/" + std::string(260 - folder.size() - 5, 'n') + ".wav", longer);
  EXPECT_EQ(ErrorMessage([&] { engine->LoadFiles(longer); }), kPathTooLong);
  // A file name the system itself refuses (over 255 bytes in one component) says the same.
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base(std::string(250, 'x') + ".wav")); }), kPathTooLong);
}

TEST_F(SessionfilesTest, SaveIntoAFolderThatIsGoneOrReadOnly_SaysSo_NotInternalError) {
  WriteSession("a", kSamplesA, kF0A, kFrA);
  engine->LoadFiles(Base("a.wav"));
  EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("gone") + "/take.wav"); }), kSaveFailed);
  if (::geteuid() != 0) {
    fs::create_directory(Base("locked"));
    fs::permissions(Base("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(ErrorMessage([&] { engine->SaveFiles(Base("locked") + "/take.wav"); }), kSaveFailed);
    fs::permissions(Base("locked"), fs::perms::owner_all);
  }
}

TEST_F(SessionfilesTest, WaveFilesOfOtherWriters_ExtensiblePcmAndAnUnfilledDataSize_Load) {
  const std::string pcm16 = std::string("\x01\x00\xe8\x03\x18\xfc\x07\x00", 8);  // 1, 1000, -1000, 7
  const std::string guidTail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  const std::string extensible = std::string("\xFE\xFF\x01\x00", 4) + Le32(11025) + Le32(22050) +
                                 std::string("\x02\x00\x10\x00\x16\x00\x10\x00", 8) + Le32(4) +
                                 std::string("\x01\x00", 2) + guidTail;
  const std::string plain = std::string("\x01\x00\x01\x00", 4) + Le32(11025) + Le32(22050) +
                            std::string("\x02\x00\x10\x00\x00\x00", 6);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"extensible PCM, 16-bit mono 11025 Hz",
       "RIFF" + Le32(4 + 48 + 8 + 8) + "WAVEfmt " + Le32(40) + extensible + "data" + Le32(8) + pcm16},
      {"sizes left unfilled before the samples", "RIFF" + Le32(4 + 26 + 8) + "WAVEfmt " + Le32(18) + plain + "data" +
                                                     Le32(0) + pcm16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteSession("b", {}, kF0A, kFrA);
    WriteFile(Base("b.wav"), c.bytes);
    engine->LoadFiles(Base("b.wav"));
    EXPECT_EQ(SoundSamples(*engine), (std::vector<int16_t>{1, 1000, -1000, 7}));
  }
}

// The lines of the track files, built in one buffer, are what printf's "%lld\t%.3f\t%.3f\t%.3f\r\n"
// prints: the rounding of halves as stored in binary, negative zero, tiny negatives, large values and
// infinities.
TEST(SessionText, AppendSessionLine_PrintsWhatPrintfPrints) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    long long time;
    double a, b, c;
  } cases[] = {
      {0, 0.0, -0.0, -0.0004},  {50, 700.5, 1200.25, 45.125},      {9223372036854775807LL, 0.0005, 2.0005, 1.0015},
      {-25, -1e-9, 1e20, -1e300}, {1234567, inf, -inf, 123456789.0125}, {10, 215.37249755859375, 62.1, 0.93399},
  };
  std::string text;
  std::string expected;
  for (const auto& c : cases) {
    AppendSessionLine(text, c.time, c.a, c.b, c.c);
    expected += FormatString("%lld\t%.3f\t%.3f\t%.3f\r\n", c.time, c.a, c.b, c.c);
  }
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace vowelscope
