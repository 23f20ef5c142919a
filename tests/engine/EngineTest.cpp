// The Engine on a virtual input: recordings that end by the length limit, by a device failure or by the
// user, the formant track and F0 result they leave, and the order of its threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "Enginetestsupport.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "platform/Virtualwavein.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::CeilDiv;
using enginetest::Listener;
using enginetest::MakeEngine;
using enginetest::SoundSamples;
using enginetest::Tone;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path dir = testsupport::TestFolder("engine");
    settings = std::make_unique<Settings>((dir / "Settings.ini").string());
    engine = MakeEngine(*settings, &input);
    listener = std::make_unique<Listener>(*engine);
  }

  // Records the whole source (then the limit given) and runs the analysis; returns false on a hang.
  bool RecordAndAnalyse(const std::vector<int16_t>& source, uint32_t limit) {
    listener->Clear();
    input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Silence);
    engine->SetRecordLimitOverride(limit);
    if (!engine->StartRecord() || !listener->WaitCaptureEnd()) return false;
    engine->StopRecord(false);
    return listener->WaitAnalyses(1);
  }

  std::unique_ptr<Settings> settings;
  std::shared_ptr<VirtualWaveIn> input;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<Listener> listener;
};

TEST_F(EngineTest, RecordingThatReachesMaxRecordMinute_StopsByItselfWithExactlyTheLimit) {
  settings->SetMaxRecordMinute(1);
  const uint32_t limit = 11025 * 60;  // 661500 samples: 2405 whole blocks and one of 125
  const std::vector<int16_t> source = Tone(limit + 3000, 200.0, 8000.0);
  input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Stall);

  ASSERT_TRUE(engine->StartRecord());
  EXPECT_EQ(engine->GetMaxRecordSamples(), limit);
  ASSERT_TRUE(listener->WaitCaptureEnd());
  // The capture ended by itself; the Engine still counts as recording until StopRecord.
  EXPECT_TRUE(engine->IsRecording());
  const std::vector<int> types = listener->AudioTypes();
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.front(), 1);
  EXPECT_EQ(types.back(), 2);
  EXPECT_EQ(std::count(types.begin(), types.end(), 4), 0);
  EXPECT_EQ(listener->Formants().size(), CeilDiv(limit, 275));

  engine->StopRecord(false);
  EXPECT_FALSE(engine->IsRecording());
  ASSERT_TRUE(listener->WaitAnalyses(1));
  EXPECT_EQ(listener->AnalysisResults(), std::vector<bool>{true});

  const std::vector<int16_t> sound = SoundSamples(*engine);
  ASSERT_EQ(sound.size(), limit);
  EXPECT_TRUE(std::equal(sound.begin(), sound.end(), source.begin()));
  ASSERT_EQ(engine->GetFormantTrack()->size(), CeilDiv(limit, 275));
  const auto heard = listener->Formants();
  for (size_t i = 0; i < heard.size(); i += 401) {
    EXPECT_EQ((*engine->GetFormantTrack())[i].power, heard[i].power) << "block " << i;
  }

  const auto f0 = engine->GetFZeroResult();
  ASSERT_NE(f0, nullptr);
  EXPECT_DOUBLE_EQ(f0->frameShift, 0.010);
  ASSERT_EQ(f0->values.size(), CeilDiv(limit, 110));
  // A steady 200 Hz tone: the analysed frames find its period of 55.125 samples.
  EXPECT_NEAR(f0->values[f0->values.size() / 2].frequency, 200.0, 0.1);
  EXPECT_GE(f0->values[f0->values.size() / 2].score, 0.7f);
  // Progress is counted in F0 frames of the whole recording.
  const auto progress = listener->Progress();
  ASSERT_FALSE(progress.empty());
  for (const auto& p : progress) {
    ASSERT_EQ(p.minimum, 0);
    ASSERT_EQ(p.maximum, static_cast<int32_t>(f0->values.size()));
    ASSERT_LE(p.position, p.maximum);
  }
}

TEST_F(EngineTest, LastBlockIsCutToTheLimit_AndAShortBlockIsAnalysedOnItsOwn) {
  // 1000 samples: three blocks of 275 and one of 175; the quiet part yields no formants.
  std::vector<int16_t> source = Tone(1000, 200.0, 8000.0);
  const std::vector<int16_t> quiet = Tone(275, 200.0, 30.0);
  std::fill(source.begin(), source.begin() + 275, int16_t{0});
  std::copy(quiet.begin(), quiet.end(), source.begin() + 275);
  ASSERT_TRUE(RecordAndAnalyse(source, 1000));

  EXPECT_EQ(SoundSamples(*engine), source);
  const std::vector<FormantValue>& track = *engine->GetFormantTrack();
  ASSERT_EQ(track.size(), 4u);
  EXPECT_EQ(track[0].power, 0.0);  // silence
  EXPECT_EQ(track[0].f1, 0.0);
  EXPECT_EQ(track[0].f2, 0.0);
  EXPECT_GT(track[1].power, 0.0);  // heard, but below the formant power threshold
  EXPECT_LT(track[1].power, 35.0);
  EXPECT_EQ(track[1].f1, 0.0);
  EXPECT_GT(track[2].power, 35.0);
  EXPECT_GT(track[2].f1, 0.0);
  EXPECT_GT(track[3].power, 35.0);  // the 175-sample block
  EXPECT_GT(track[3].f1, 0.0);
  EXPECT_EQ(engine->GetFZeroResult()->values.size(), CeilDiv(1000, 110));
}

TEST_F(EngineTest, FormantBandWidthAndThreshold_DecideWhichBlocksGetFormants) {
  const std::vector<int16_t> tone = Tone(2750, 200.0, 8000.0);
  struct Case {
    const char* what;
    void (*change)(Settings&);
    bool formants;
  };
  const Case cases[] = {
      {"defaults", [](Settings&) {}, true},
      {"no bandwidth is narrow enough", [](Settings& s) { s.SetFormantBandWidth(1); }, false},
      {"threshold above any block", [](Settings& s) { s.SetFormantThreshold(95.0); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings->SetFormantBandWidth(500);
    settings->SetFormantThreshold(35.0);
    c.change(*settings);
    ASSERT_TRUE(RecordAndAnalyse(tone, 2750));
    ASSERT_EQ(engine->GetFormantTrack()->size(), 10u);
    for (const FormantValue& v : *engine->GetFormantTrack()) {
      EXPECT_GT(v.power, 40.0);
      EXPECT_EQ(v.f1 > 0.0, c.formants) << v.f1;
    }
  }
}

TEST_F(EngineTest, InputFailureMidRecording_EndsTheCapture_KeepsWhatWasRecorded_AndStillAnalyses) {
  const std::vector<int16_t> source = Tone(50000, 200.0, 8000.0);
  input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Silence);
  // Five buffers are queued at the start; the twelfth re-queue fails.
  input->InjectFailure(WaveOperation::Queue, 5 + 11);

  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener->WaitCaptureEnd());
  EXPECT_EQ(listener->AudioTypes().back(), 4);
  EXPECT_TRUE(engine->IsRecording());
  engine->StopRecord(false);
  ASSERT_TRUE(listener->WaitAnalyses(1));

  const std::vector<int16_t> sound = SoundSamples(*engine);
  EXPECT_EQ(sound.size(), 12u * 275u);
  EXPECT_TRUE(std::equal(sound.begin(), sound.end(), source.begin()));
  EXPECT_EQ(engine->GetFormantTrack()->size(), 12u);
  ASSERT_NE(engine->GetFZeroResult(), nullptr);
  EXPECT_EQ(engine->GetFZeroResult()->values.size(), CeilDiv(sound.size(), 110));
  EXPECT_EQ(listener->AnalysisResults(), std::vector<bool>{true});
}

TEST_F(EngineTest, StopWithoutRecording_AndASecondStop_DoNothing) {
  EXPECT_EQ(engine->GetFZeroResult(), nullptr);
  engine->StopRecord(false);
  engine->StopRecord(true);
  EXPECT_FALSE(engine->IsRecording());

  ASSERT_TRUE(RecordAndAnalyse(Tone(2750, 200.0, 8000.0), 2750));
  const auto result = engine->GetFZeroResult();
  const auto track = *engine->GetFormantTrack();
  engine->StopRecord(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(listener->AnalysisResults().size(), 1u);
  EXPECT_EQ(engine->GetFZeroResult(), result);
  EXPECT_EQ(engine->GetFormantTrack()->size(), track.size());
}

TEST_F(EngineTest, InputThatCannotOpen_RefusesTheStart_KeepsTheLastRecording_AndNoListenerHearsAnything) {
  input->InjectFailure(WaveOperation::Open);
  EXPECT_FALSE(engine->StartRecord());
  EXPECT_FALSE(engine->IsRecording());
  engine->StopRecord(false);
  EXPECT_TRUE(listener->AudioTypes().empty());
  EXPECT_TRUE(listener->AnalysisResults().empty());
  // The next start works.
  EXPECT_TRUE(RecordAndAnalyse(Tone(550, 200.0, 8000.0), 550));

  // A start refused later leaves that recording whole beside its analyses, so a save stores a session
  // whose parts belong together.
  const std::vector<int16_t> sound = SoundSamples(*engine);
  const auto result = engine->GetFZeroResult();
  const size_t blocks = engine->GetFormantTrack()->size();
  input->InjectFailure(WaveOperation::Open);
  EXPECT_FALSE(engine->StartRecord());
  EXPECT_EQ(SoundSamples(*engine), sound);
  EXPECT_EQ(engine->GetFZeroResult(), result);
  EXPECT_EQ(engine->GetFormantTrack()->size(), blocks);
}

TEST_F(EngineTest, DuringARecording_ThePreviousTrackAndResultStayUntilTheStop) {
  ASSERT_TRUE(RecordAndAnalyse(Tone(2750, 200.0, 8000.0), 2750));
  const auto firstResult = engine->GetFZeroResult();
  ASSERT_NE(firstResult, nullptr);

  input->SetSourceSamples(Tone(5500, 300.0, 8000.0), VirtualWaveIn::AtEnd::Silence);
  engine->SetRecordLimitOverride(5500);
  listener->Clear();
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener->WaitCaptureEnd());
  EXPECT_EQ(engine->GetFormantTrack()->size(), 10u);
  EXPECT_EQ(engine->GetFZeroResult(), firstResult);

  engine->StopRecord(false);
  ASSERT_TRUE(listener->WaitAnalyses(1));
  EXPECT_EQ(engine->GetFormantTrack()->size(), 20u);
  EXPECT_NE(engine->GetFZeroResult(), firstResult);
  EXPECT_EQ(engine->GetFZeroResult()->values.size(), 50u);
}

TEST_F(EngineTest, DestroyingWhileRecording_EndsTheCaptureWithoutAnalysis) {
  input->SetSourceSamples(Tone(20 * 275, 200.0, 8000.0), VirtualWaveIn::AtEnd::Stall);
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener->WaitFormants(5));
  engine.reset();
  EXPECT_EQ(listener->AudioTypes().back(), 2);
  EXPECT_TRUE(listener->AnalysisResults().empty());
}

TEST_F(EngineTest, DestroyingDuringTheF0Pass_WaitsForIt) {
  input->SetSourceSamples(Tone(11025 * 20, 200.0, 8000.0), VirtualWaveIn::AtEnd::Silence);
  engine->SetRecordLimitOverride(11025 * 20);
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener->WaitCaptureEnd());
  engine->StopRecord(false);
  EXPECT_TRUE(engine->IsAnalysing());
  engine.reset();
  // The job ran to its end before the Engine let go of what it uses.
  EXPECT_EQ(listener->AnalysisResults(), std::vector<bool>{true});
}

TEST_F(EngineTest, HundredRecordStopAnalyseCycles_WhileAReaderPollsTheF0Result) {
  const std::vector<int16_t> source = Tone(11025 * 4, 200.0, 8000.0);
  std::atomic<bool> stop{false};
  std::atomic<size_t> seen{0};
  // Plays the chart that repaints from the F0 result while the pass replaces it.
  std::thread reader([&] {
    while (!stop.load()) {
      if (const auto result = engine->GetFZeroResult()) {
        size_t sum = 0;
        for (const FZeroValue& v : result->values) sum += v.frequency > 0.0f ? 1 : 0;
        seen.fetch_add(sum > 0 ? 1 : 0);
      }
      std::this_thread::yield();
    }
  });

  for (int cycle = 0; cycle < 100; ++cycle) {
    SCOPED_TRACE(cycle);
    input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Silence);
    const bool byLimit = cycle % 2 == 0;
    engine->SetRecordLimitOverride(byLimit ? 3000u : 0xFFFFFFFFu);
    listener->Clear();
    ASSERT_TRUE(engine->StartRecord());
    if (byLimit) {
      ASSERT_TRUE(listener->WaitCaptureEnd());
    } else {
      ASSERT_TRUE(listener->WaitFormants(4));
    }
    engine->StopRecord(false);
    ASSERT_TRUE(listener->WaitAnalyses(1));

    const uint32_t length = engine->GetSound()->GetLength();
    if (byLimit) {
      EXPECT_EQ(length, 3000u);
    }
    EXPECT_EQ(engine->GetFormantTrack()->size(), CeilDiv(length, 275));
    EXPECT_EQ(engine->GetFZeroResult()->values.size(), CeilDiv(length, 110));
    EXPECT_EQ(listener->AnalysisResults(), std::vector<bool>{true});
  }
  stop = true;
  reader.join();
  EXPECT_GT(seen.load(), 0u);
}

}  // namespace
}  // namespace vowelscope
