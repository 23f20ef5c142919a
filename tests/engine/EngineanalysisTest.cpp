// Analysing sound that was not recorded: a file in any common format, or the take again with new
// settings. The tracks must be those a recording of the same sound gives, whatever the file's rate,
// channels or encoding, and a file that cannot be read must leave the session as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../analysis/Voices.h"
#include "../sound/Soxfiles.h"
#include "Enginetestsupport.h"
#include "support/Cienvironment.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::Listener;
using enginetest::MakeEngine;

constexpr unsigned kFrame = 275;

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Medians of F0 over the frames the chart shows as voiced, and of F1, F2 over the blocks with formants.
struct Summary {
  double f0 = 0, f1 = 0, f2 = 0;
};

Summary Summarise(Engine& engine) {
  std::vector<double> f0, f1, f2;
  if (auto result = engine.GetFZeroResult()) {
    for (const FZeroValue& v : result->values) {
      if (v.score >= 0.7f && v.frequency > 0) f0.push_back(v.frequency);
    }
  }
  for (const FormantValue& v : *engine.GetFormantTrack()) {
    if (v.f1 > 0 && v.f2 > 0) {
      f1.push_back(v.f1);
      f2.push_back(v.f2);
    }
  }
  return {Median(f0), Median(f1), Median(f2)};
}

voices::Voice Vowel(voices::Speaker speaker, int index, double seconds = 1.5) {
  const voices::VowelTarget target = voices::JapaneseVowels(speaker)[index];
  voices::VoiceRecipe recipe;
  recipe.seconds = seconds;
  recipe.f0Start = voices::TypicalF0(speaker);
  recipe.f0End = recipe.f0Start * 0.95;
  recipe.formants = voices::VowelResonances(speaker, target.f1, target.f2);
  return voices::Synthesize(recipe);
}

// The progress of one job: a single scale from near its start to its end that never goes back, where
// a bar restarting for each stage of the job would fall.
void ExpectOneRisingScale(const std::vector<ProgressCallbackParams>& progress) {
  ASSERT_GT(progress.size(), 10u);
  const int32_t scale = progress.front().maximum;
  EXPECT_LT(progress.front().position, scale / 10) << "starts near 0";
  EXPECT_EQ(progress.back().position, scale) << "ends full";
  for (size_t i = 1; i < progress.size(); ++i) {
    ASSERT_EQ(progress[i].maximum, scale) << "report " << i;
    ASSERT_GE(progress[i].position, progress[i - 1].position) << "report " << i;
  }
}

class EngineAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::TestFolder("engineanalysis");
    settings = std::make_unique<Settings>((dir / "Settings.ini").string());
    engine = MakeEngine(*settings, &input);
    listener = std::make_unique<Listener>(*engine);
  }
  void TearDown() override {
    engine.reset();
    fs::remove_all(dir);
  }

  // Records `samples` through the virtual input as the microphone would deliver them, and analyses.
  void Record(const std::vector<int16_t>& samples) {
    input->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Silence);
    engine->SetRecordLimitOverride(static_cast<uint32_t>(samples.size()));
    const size_t before = listener->AnalysisResults().size();
    ASSERT_TRUE(engine->StartRecord());
    ASSERT_TRUE(listener->WaitCaptureEnd());
    engine->StopRecord(false);
    ASSERT_TRUE(listener->WaitAnalyses(static_cast<int>(before) + 1));
  }

  // Analyses `file` and waits for the end; the job's result as the completion listeners heard it.
  bool Analyse(const fs::path& file) {
    const size_t before = listener->AnalysisResults().size();
    EXPECT_TRUE(engine->StartFileAnalysis(file.string()));
    EXPECT_TRUE(listener->WaitAnalyses(static_cast<int>(before) + 1));
    return listener->AnalysisResults().size() > before && listener->AnalysisResults().back();
  }

  std::vector<int16_t> Sound() {
    SoundMemoryStream* sound = engine->GetSound();
    const auto* data = reinterpret_cast<const int16_t*>(sound->GetData());
    return std::vector<int16_t>(data, data + sound->GetLength());
  }

  fs::path dir;
  std::unique_ptr<Settings> settings;
  std::shared_ptr<VirtualWaveIn> input;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<Listener> listener;
};

TEST_F(EngineAnalysisTest, FileInTheRecordingFormat_GivesExactlyTheTracksOfARecording) {
  const voices::Voice voice = Vowel(voices::Speaker::Woman, 0);
  Record(voice.samples);
  const std::vector<FormantValue> recordedTrack = *engine->GetFormantTrack();
  const auto recordedF0 = engine->GetFZeroResult();

  const fs::path file = dir / "take.wav";
  ASSERT_TRUE(soxfiles::Convert(voice.samples, 11025, "", file));
  ASSERT_TRUE(Analyse(file));
  EXPECT_EQ(engine->GetImportDescription(), "11025 Hz モノラルの音声を読み込みました");
  EXPECT_EQ(Sound(), voice.samples);
  const std::vector<FormantValue>& track = *engine->GetFormantTrack();
  ASSERT_EQ(track.size(), recordedTrack.size());
  for (size_t i = 0; i < track.size(); ++i) {
    EXPECT_EQ(track[i].power, recordedTrack[i].power) << "block " << i;
    EXPECT_EQ(track[i].f1, recordedTrack[i].f1) << "block " << i;
    EXPECT_EQ(track[i].f2, recordedTrack[i].f2) << "block " << i;
  }
  const auto f0 = engine->GetFZeroResult();
  ASSERT_NE(f0, recordedF0);
  ASSERT_EQ(f0->values.size(), recordedF0->values.size());
  for (size_t i = 0; i < f0->values.size(); ++i) {
    EXPECT_EQ(f0->values[i].frequency, recordedF0->values[i].frequency) << "frame " << i;
    EXPECT_EQ(f0->values[i].score, recordedF0->values[i].score) << "frame " << i;
  }
}

struct FormatCase {
  const char* name;
  const char* options;            // sox output options
  const char* extension;
  const char* encoder = nullptr;  // for what sox does not write: the encoder's command line, after sox
};

class EngineAnalysisFormats : public EngineAnalysisTest,
                              public ::testing::WithParamInterface<std::tuple<FormatCase, voices::Speaker, int>> {};

TEST_P(EngineAnalysisFormats, AnalyseToTheF0AndFormantsOfTheRecordingFormat) {
  const auto& [format, speaker, vowel] = GetParam();
  const std::string encoder = format.encoder != nullptr ? format.encoder : "";
  const std::string program = encoder.substr(0, encoder.find(' '));
  if (!encoder.empty() && !soxfiles::HasProgram(program)) {
    if (testsupport::InCi()) FAIL() << program << " is missing (scripts/packages.txt lists it)";
    GTEST_SKIP() << program << " is not installed (scripts/packages.txt lists it)";
  }
  const voices::Voice voice = Vowel(speaker, vowel);
  Record(voice.samples);
  const Summary reference = Summarise(*engine);
  ASSERT_GT(reference.f0, 0);
  ASSERT_GT(reference.f1, 0);

  const fs::path file = dir / (std::string(format.name) + format.extension);
  if (encoder.empty()) {
    ASSERT_TRUE(soxfiles::Convert(voice.samples, 11025, format.options, file));
  } else {
    ASSERT_TRUE(soxfiles::Encode(voice.samples, 11025, format.options, encoder, file));
  }
  ASSERT_TRUE(Analyse(file));
  // Opus and MP3 encoders add a delay and pad the last frame (Opus 312 samples of pre-skip at 48 kHz,
  // LAME 1105 and more at 44.1 kHz, 72 and 276 of ours); the decoders take both off again by the
  // counts the files carry, so the length holds to one block here too.
  EXPECT_NEAR(static_cast<double>(engine->GetSound()->GetLength()), voice.samples.size(), kFrame);
  const Summary got = Summarise(*engine);
  // The deviations, in per cent, for the test report (--gtest_output=xml).
  RecordProperty("f0_percent", std::to_string(100.0 * (got.f0 - reference.f0) / reference.f0));
  RecordProperty("f1_percent", std::to_string(100.0 * (got.f1 - reference.f1) / reference.f1));
  RecordProperty("f2_percent", std::to_string(100.0 * (got.f2 - reference.f2) / reference.f2));
  EXPECT_NEAR(got.f0, reference.f0, reference.f0 * 0.01) << "F0 within 1 %";
  EXPECT_NEAR(got.f1, reference.f1, reference.f1 * 0.03) << "F1 within 3 %";
  EXPECT_NEAR(got.f2, reference.f2, reference.f2 * 0.03) << "F2 within 3 %";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EngineAnalysisFormats,
    ::testing::Combine(::testing::Values(FormatCase{"wav44stereo", "-r 44100 -c 2 -b 16", ".wav"},
                                         FormatCase{"flac48", "-r 48000 -c 1 -b 24", ".flac"},
                                         FormatCase{"ogg44", "-r 44100 -c 2 -C 8", ".ogg"},
                                         FormatCase{"opus48", "-r 48000 -c 1 -b 16", ".opus", "opusenc --quiet"},
                                         FormatCase{"mp344", "-r 44100 -c 2 -b 16", ".mp3", "lame --quiet -b 160"}),
                       ::testing::Values(voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child),
                       ::testing::Values(0, 1)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + voices::SpeakerName(std::get<1>(info.param)) + "_" +
             voices::JapaneseVowels(std::get<1>(info.param))[std::get<2>(info.param)].name;
    });

TEST_F(EngineAnalysisTest, FileThatCannotBeRead_EndsWithItsMessage_AndKeepsTheSessionWhole) {
  const voices::Voice voice = Vowel(voices::Speaker::Man, 3, 1.0);
  Record(voice.samples);
  const std::vector<int16_t> sound = Sound();
  const std::vector<FormantValue> track = *engine->GetFormantTrack();
  const auto f0 = engine->GetFZeroResult();

  const fs::path text = dir / "notes.wav";
  std::ofstream(text) << "not a recording\n";
  const fs::path whole = dir / "whole.flac";
  ASSERT_TRUE(soxfiles::Sine(3.0, 440.0, "-r 48000 -c 1 -b 16", whole));
  const fs::path cut = dir / "cut.flac";
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) / 2);

  const std::pair<fs::path, std::string> cases[] = {
      {text, "この形式の音声ファイルは読み込めません。\nnotes.wav"},
      {cut, "音声ファイルが壊れているか、途中で切れています。\ncut.flac"},
      {dir / "gone.ogg", "音声ファイルが見つかりません。\ngone.ogg"},
  };
  for (const auto& [file, message] : cases) {
    EXPECT_FALSE(Analyse(file)) << file << " was accepted";
    EXPECT_EQ(engine->GetAnalysisError(), message);
    EXPECT_FALSE(engine->IsAnalysing());
    EXPECT_EQ(Sound(), sound) << file;
    EXPECT_EQ(engine->GetFormantTrack()->size(), track.size()) << file;
    EXPECT_EQ(engine->GetFZeroResult(), f0) << file;
  }
}

TEST_F(EngineAnalysisTest, Reanalysis_UsesTheSettingsOfNow_OnTheSameSound) {
  const voices::Voice voice = Vowel(voices::Speaker::Woman, 0, 1.0);
  Record(voice.samples);
  const Summary before = Summarise(*engine);
  ASSERT_NEAR(before.f0, 220.0 * 0.975, 220.0 * 0.03);
  const std::vector<FormantValue> track = *engine->GetFormantTrack();

  // An F0 range that ends below the voice: no frame may read above it any longer.
  settings->SetF0Min(60);
  settings->SetF0Max(150);
  // And a threshold no block reaches: the formant path runs again too.
  settings->SetFormantThreshold(200.0);
  listener->Clear();
  ASSERT_TRUE(engine->StartReanalysis());
  ASSERT_TRUE(listener->WaitAnalyses(1));
  EXPECT_EQ(Sound(), voice.samples);
  for (const FZeroValue& v : engine->GetFZeroResult()->values) ASSERT_LE(v.frequency, 150.0f + 0.5f);
  ASSERT_EQ(engine->GetFormantTrack()->size(), track.size());
  for (size_t i = 0; i < track.size(); ++i) {
    EXPECT_EQ((*engine->GetFormantTrack())[i].power, track[i].power);
    EXPECT_EQ((*engine->GetFormantTrack())[i].f1, 0.0) << "block " << i << " is below the new threshold";
  }
  ExpectOneRisingScale(listener->Progress());
}

TEST_F(EngineAnalysisTest, FileAnalysis_ReportsOneRisingScale_OverReadingBlocksAndF0) {
  const fs::path file = dir / "phone.wav";
  ASSERT_TRUE(soxfiles::Convert(Vowel(voices::Speaker::Man, 0, 3.0).samples, 11025, "-r 44100 -c 2", file));
  ASSERT_TRUE(Analyse(file));
  ExpectOneRisingScale(listener->Progress());
}

TEST_F(EngineAnalysisTest, AnHourLongFile_IsAnalysedWhole) {
#if defined(__SANITIZE_THREAD__)
  // Minutes of work under ThreadSanitizer for nothing it could find: the threads are those of any
  // analysis, which the shorter tests here run; the optimised and AddressSanitizer runs take the hour.
  GTEST_SKIP() << "an hour of sound is analysed in the optimised and AddressSanitizer runs";
#endif
  // An hour at 8 kHz: resampled, fed and analysed like any other, every block and frame of it there.
  const fs::path file = dir / "hour.wav";
  ASSERT_TRUE(soxfiles::Sox("-n -r 8000 -c 1 -b 16 '" + file.string() + "' synth 3600 sine 200 vol 0.3"));
  ASSERT_TRUE(Analyse(file));
  const uint32_t length = engine->GetSound()->GetLength();
  EXPECT_NEAR(static_cast<double>(length), 3600.0 * 11025, kFrame);
  EXPECT_EQ(engine->GetFormantTrack()->size(), (length + kFrame - 1) / kFrame);
  ASSERT_NE(engine->GetFZeroResult(), nullptr);
  EXPECT_NEAR(Summarise(*engine).f0, 200.0, 2.0) << "within 1 %";
}

TEST_F(EngineAnalysisTest, NoAnalysisWhileRecording) {
  input->SetSourceSamples(std::vector<int16_t>(11025 * 5, 0), VirtualWaveIn::AtEnd::Silence);
  input->SetSpeed(1.0);
  ASSERT_TRUE(engine->StartRecord());
  EXPECT_FALSE(engine->StartReanalysis());
  const fs::path file = dir / "take.wav";
  ASSERT_TRUE(soxfiles::Sine(0.5, 200.0, "-r 11025 -c 1 -b 16", file));
  EXPECT_FALSE(engine->StartFileAnalysis(file.string()));
  engine->StopRecord(true);
}

}  // namespace
}  // namespace vowelscope
