// vowelscope-analyze against the Engine itself: the same samples give the same session files, and
// every failure is reported with the program's message and a non-zero exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../analysis/Voices.h"
#include "../engine/Enginetestsupport.h"
#include "../platform/Fifotestsupport.h"
#include "../sound/Soxfiles.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "support/Testfolder.h"
#include "support/Wavewriter.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::Listener;
using enginetest::MakeEngine;
using testsupport::ReadFile;
using testsupport::WriteFile;
using testsupport::WriteWave;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the tool with the given (already quoted) arguments.
Outcome RunTool(const fs::path& dir, const std::string& arguments) {
  const std::string out = (dir / "stdout.txt").string();
  const std::string err = (dir / "stderr.txt").string();
  const std::string command =
      std::string("'") + VOWELSCOPE_ANALYZE + "' " + arguments + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = ReadFile(out);
  outcome.err = ReadFile(err);
  fs::remove(out);
  fs::remove(err);
  return outcome;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// A voice-like test signal: a quiet lead-in, then a 140 Hz harmonic series whose level swells and
// falls, ending part-way through a block.
std::vector<int16_t> Voice(size_t samples) {
  std::vector<int16_t> out(samples, 0);
  for (size_t i = 2000; i < samples; ++i) {
    const double t = static_cast<double>(i) / 11025.0;
    double v = 0.0;
    for (int h = 1; h <= 12; ++h) v += std::sin(2.0 * M_PI * 140.0 * h * t) / h;
    const double envelope = std::sin(M_PI * static_cast<double>(i - 2000) / static_cast<double>(samples - 2000));
    out[i] = static_cast<int16_t>(std::lround(6000.0 * envelope * v));
  }
  return out;
}

class VowelscopeanalyzeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::TestFolder("vowelscopeanalyze");
    settingsFile = dir / "Settings.ini";
    // Settings away from the defaults, so that the tool is seen to read the file it is given.
    Settings settings(settingsFile.string());
    settings.SetF0FrameShift(5);
    settings.SetF0Min(80);
    settings.SetFormantOrder(12);
    ASSERT_TRUE(settings.Save());
  }

  fs::path dir;
  fs::path settingsFile;
};

TEST_F(VowelscopeanalyzeTest, SessionFilesMatchWhatTheEngineRecordsFromTheSameSamples) {
  const std::vector<int16_t> samples = Voice(16537);
  WriteWave((dir / "take.wav").string(), Engine::GetSoundFormat(), samples);
  const std::string wav = ReadFile((dir / "take.wav").string());

  // The Engine, fed the same samples the way a recording feeds it.
  Settings settings(settingsFile.string());
  ASSERT_TRUE(settings.Load());
  std::shared_ptr<VirtualWaveIn> input;
  auto engine = MakeEngine(settings, &input);
  Listener listener(*engine);
  input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Silence);
  engine->SetRecordLimitOverride(static_cast<uint32_t>(samples.size()));
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener.WaitCaptureEnd());
  engine->StopRecord(false);
  ASSERT_TRUE(listener.WaitAnalyses(1));
  engine->SaveFiles((dir / "engine.wav").string());
  ASSERT_GT(ReadFile((dir / "engine.fr").string()).size(), 0u);

  // Into another base, then beside the input (which is rewritten with the same sound).
  const Outcome named =
      RunTool(dir, "--settings " + Quote(settingsFile) + " " + Quote(dir / "take.wav") + " " + Quote(dir / "out"));
  ASSERT_EQ(named.status, 0) << named.err;
  const Outcome beside = RunTool(dir, "--settings=" + settingsFile.string() + " " + Quote(dir / "take.wav"));
  ASSERT_EQ(beside.status, 0) << beside.err;

  for (const char* base : {"out", "take"}) {
    SCOPED_TRACE(base);
    EXPECT_EQ(ReadFile((dir / (std::string(base) + ".wav")).string()), wav);
    EXPECT_EQ(ReadFile((dir / (std::string(base) + ".f0")).string()), ReadFile((dir / "engine.f0").string()));
    EXPECT_EQ(ReadFile((dir / (std::string(base) + ".fr")).string()), ReadFile((dir / "engine.fr").string()));
  }
  // The F0 column steps by the 5 ms of the settings file, and the session opens in the Engine.
  EXPECT_EQ(ReadFile((dir / "out.f0").string()).substr(0, 2), "0\t");
  EXPECT_NE(ReadFile((dir / "out.f0").string()).find("\r\n5\t"), std::string::npos);
  auto reopened = MakeEngine(settings);
  reopened->LoadFiles((dir / "out.wav").string());
  EXPECT_EQ(reopened->GetSound()->GetLength(), samples.size());
  EXPECT_EQ(reopened->GetFormantTrack()->size(), (samples.size() + 274) / 275);
}

TEST_F(VowelscopeanalyzeTest, FailuresGiveTheProgramsMessageAndANonZeroStatus) {
  SoundFormat wide = Engine::GetSoundFormat();
  wide.SetSampleRate(22050);
  WriteWave((dir / "wide.wav").string(), wide, std::vector<int16_t>(3000, 100));
  WriteFile((dir / "plain").string(), "x");
  WriteWave((dir / "good.wav").string(), Engine::GetSoundFormat(), std::vector<int16_t>(3000, 100));
  const std::string settings = "--settings " + Quote(settingsFile) + " ";

  struct Case {
    const char* what;
    std::string arguments;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"not an audio file", settings + Quote(dir / "plain"), 1, "この形式の音声ファイルは読み込めません。"},
      {"missing input", settings + Quote(dir / "none.wav"), 1, "音声ファイルが見つかりません。"},
      {"output folder is a file", settings + Quote(dir / "good.wav") + " " + Quote(dir / "plain" / "x"), 1,
       "ファイルの保存に失敗しました。"},
      {"output folder missing", settings + Quote(dir / "good.wav") + " " + Quote(dir / "gone" / "x"), 1,
       "ファイルの保存に失敗しました。"},
      {"missing settings file", "--settings " + Quote(dir / "none.ini") + " " + Quote(dir / "good.wav"), 1,
       "設定ファイルが見つかりません。"},
      {"no input", settings, 2, "no input file given"},
      {"unknown option", "--fast " + Quote(dir / "good.wav"), 2, "unknown option --fast"},
      {"several inputs without a folder", Quote(dir / "good.wav") + " " + Quote(dir / "wide.wav") + " x", 2,
       "several inputs need -o OUTDIR"},
      {"jobs not a number", "-j many -o " + Quote(dir) + " " + Quote(dir / "good.wav"), 2, "--jobs needs a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome outcome = RunTool(dir, c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
  // Nothing was written for the refused inputs.
  EXPECT_FALSE(fs::exists(dir / "wide.f0"));
  EXPECT_FALSE(fs::exists(dir / "plain.fr"));
  EXPECT_FALSE(fs::exists(dir / "good.f0"));

  const Outcome help = RunTool(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: vowelscope-analyze"), std::string::npos);
  EXPECT_NE(help.out.find("--settings FILE"), std::string::npos);
}

// A named pipe as the input blocked the tool in its open for ever.
TEST_F(VowelscopeanalyzeTest, NamedPipeAsInput_IsRefusedAtOnceWithItsMessage) {
  const fs::path fifo = dir / "pipe.wav";
  ASSERT_TRUE(fifotest::MakeFifo(fifo.string()));
  bool returned = false;
  const Outcome outcome = fifotest::RunAgainstFifo(
      fifo.string(), [&] { return RunTool(dir, "--settings " + Quote(settingsFile) + " " + Quote(fifo)); }, returned);
  EXPECT_TRUE(returned) << "the tool blocked on the pipe";
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("通常のファイルではないため読み込めません。"), std::string::npos) << outcome.err;
}

// Hand-edited settings: an order of 2^31 - 1 aborted the tool allocating 16 GiB, a frame shift of 0
// gave an empty .f0 with status 0. They are taken at the ends of the dialog's ranges now.
TEST_F(VowelscopeanalyzeTest, SettingsOutsideTheDialogRanges_AreClamped_AndGiveAFullAnalysis) {
  const std::vector<int16_t> samples = Voice(11025);
  WriteWave((dir / "take.wav").string(), Engine::GetSoundFormat(), samples);
  for (const char* file : {"[Formant]\nOrder=2147483647\n[F0]\nFrameShift=0\n",
                           "[Formant]\nOrder=-5\n[F0]\nFrameShift=-10\nMinFrequency=900\nMaxFrequency=100\n"}) {
    SCOPED_TRACE(file);
    WriteFile(settingsFile.string(), file);
    const Outcome outcome = RunTool(dir, "--settings " + Quote(settingsFile) + " " + Quote(dir / "take.wav"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    // A frame shift of 1 ms: one F0 frame per 11 samples, true times in the first column.
    const std::string f0 = ReadFile((dir / "take.f0").string());
    EXPECT_EQ(static_cast<size_t>(std::count(f0.begin(), f0.end(), '\n')), (samples.size() + 10) / 11);
    EXPECT_EQ(f0.substr(0, 2), "0\t");
    EXPECT_NE(f0.find("\r\n1\t"), std::string::npos);
    const std::string fr = ReadFile((dir / "take.fr").string());
    EXPECT_EQ(static_cast<size_t>(std::count(fr.begin(), fr.end(), '\n')), (samples.size() + 274) / 275);
  }
}

// Several inputs and a folder, in the formats phones and other programs write, analysed side by side:
// each to the F0 and formants of the same vowel in the recording format, and a file that cannot be read
// is listed at the end without stopping the others.
TEST_F(VowelscopeanalyzeTest, SeveralInputsAndAFolder_InAnyFormat_MatchTheRecordingFormat_AndGoPastABadFile) {
  voices::VoiceRecipe recipe;
  recipe.seconds = 1.5;
  recipe.f0Start = 220.0;
  recipe.f0End = 210.0;
  recipe.formants = voices::VowelResonances(voices::Speaker::Woman, 850, 1400);
  const std::vector<int16_t> vowel = voices::Synthesize(recipe).samples;
  const fs::path corpus = dir / "corpus";
  fs::create_directories(corpus / "phone");
  ASSERT_TRUE(soxfiles::Convert(vowel, 11025, "", dir / "mono.wav"));
  ASSERT_TRUE(soxfiles::Convert(vowel, 11025, "-r 44100 -c 2", corpus / "phone" / "stereo.wav"));
  ASSERT_TRUE(soxfiles::Convert(vowel, 11025, "-r 48000 -b 24", corpus / "take48.flac"));
  ASSERT_TRUE(soxfiles::Convert(vowel, 11025, "-r 44100 -c 2", corpus / "take.ogg"));
  WriteFile((corpus / "notes.wav").string(), "not a recording\n");
  WriteFile((corpus / "readme.txt").string(), "not looked at: no audio extension\n");

  const Outcome outcome = RunTool(dir, "--settings " + Quote(settingsFile) + " -j 2 --summary " +
                                           Quote(dir / "table.csv") + " -o " + Quote(dir / "out") + " " +
                                           Quote(dir / "mono.wav") + " " + Quote(corpus));
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find((corpus / "notes.wav").string() + ": この形式の音声ファイルは読み込めません。"),
            std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("1 of 5 files failed"), std::string::npos) << outcome.err;
  for (const char* base : {"out/mono", "out/corpus/phone/stereo", "out/corpus/take48", "out/corpus/take"}) {
    for (const char* ext : {".wav", ".f0", ".fr"}) {
      EXPECT_TRUE(fs::exists(dir / (std::string(base) + ext))) << base << ext;
      EXPECT_NE(outcome.out.find((dir / (std::string(base) + ext)).string()), std::string::npos) << base << ext;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "out" / "corpus" / "notes.f0"));

  // One row per analysed file; every conversion agrees with the recording format.
  std::map<std::string, std::vector<double>> rows;
  std::istringstream table(ReadFile((dir / "table.csv").string()));
  std::string line;
  std::getline(table, line);
  EXPECT_EQ(line, "file,duration_s,voiced_share,median_f0_hz,median_f1_hz,median_f2_hz");
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name, field;
    std::getline(fields, name, ',');
    while (std::getline(fields, field, ',')) rows[fs::path(name).filename().string()].push_back(std::stod(field));
  }
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<double>& reference = rows.at("mono.wav");
  EXPECT_NEAR(reference[0], 1.5, 0.001);
  EXPECT_GT(reference[1], 0.8) << "voiced share";
  EXPECT_NEAR(reference[2], 215.0, 215.0 * 0.03);
  for (const char* name : {"stereo.wav", "take48.flac", "take.ogg"}) {
    SCOPED_TRACE(name);
    const std::vector<double>& row = rows.at(name);
    EXPECT_NEAR(row[0], reference[0], 0.025) << "duration within one block";
    EXPECT_NEAR(row[2], reference[2], reference[2] * 0.01) << "F0 within 1 %";
    EXPECT_NEAR(row[3], reference[3], reference[3] * 0.03) << "F1 within 3 %";
    EXPECT_NEAR(row[4], reference[4], reference[4] * 0.03) << "F2 within 3 %";
  }

  // Two inputs that would write the same session are refused before anything runs.
  const Outcome clash = RunTool(dir, "-o " + Quote(dir / "out2") + " " + Quote(dir / "mono.wav") + " " +
                                         Quote(dir / "mono.wav"));
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find("two inputs would write"), std::string::npos) << clash.err;
  EXPECT_FALSE(fs::exists(dir / "out2" / "mono.f0"));
}

}  // namespace
}  // namespace vowelscope
