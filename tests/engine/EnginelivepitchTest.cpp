// The Engine's live pitch on a virtual input: one value per recorded block, heard by its listeners on
// the capture thread and kept as the live track of the recording.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "../analysis/Voices.h"
#include "Enginetestsupport.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "platform/Virtualwavein.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

using enginetest::CeilDiv;
using enginetest::Listener;
using enginetest::MakeEngine;

// Hears the live F0 on the capture thread; read only after StopRecord has joined it.
struct PitchListener {
  std::vector<FZeroValue> heard;
  void OnPitch(FZeroValue& value) { heard.push_back(value); }
};

TEST(EngineLivePitch, EveryRecordedBlockGetsALivePitch_HeardAndKeptInTheLiveTrack) {
  Settings settings((testsupport::TestFolder("engine") / "Settings.ini").string());
  std::shared_ptr<VirtualWaveIn> input;
  const auto engine = MakeEngine(settings, &input);
  Listener listener(*engine);
  PitchListener pitches;
  engine->AddLivePitchCallback(CallbackMethod<PitchListener, FZeroValue>(&pitches, &PitchListener::OnPitch));
  voices::VoiceRecipe recipe;
  recipe.seconds = 0.5;
  recipe.f0Start = recipe.f0End = 220.0;
  recipe.formants = voices::VowelResonances(voices::Speaker::Woman, 850, 1400);
  std::vector<int16_t> source(275 * 4, 0);  // silence first: unvoiced
  const auto voice = voices::Synthesize(recipe).samples;
  source.insert(source.end(), voice.begin(), voice.end());
  input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Silence);
  engine->SetRecordLimitOverride(static_cast<uint32_t>(source.size()));
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(listener.WaitCaptureEnd());
  engine->StopRecord(false);
  ASSERT_TRUE(listener.WaitAnalyses(1));

  const std::vector<FZeroValue>& track = *engine->GetLivePitchTrack();
  ASSERT_EQ(track.size(), CeilDiv(source.size(), 275));
  ASSERT_EQ(pitches.heard.size(), track.size());
  for (size_t k = 0; k < track.size(); ++k) {
    EXPECT_EQ(pitches.heard[k].frequency, track[k].frequency) << "block " << k;
    if (k < 4) {
      EXPECT_EQ(track[k].frequency, 0.0f) << "silent block " << k;
    }
    // Once the frame of two blocks lies wholly in the voice (and not in its last, short block).
    if (k >= 6 && k + 1 < track.size()) {
      EXPECT_NEAR(1200.0 * std::log2(track[k].frequency / 220.0), 0.0, 20.0) << "cents, block " << k;
    }
  }
}

}  // namespace
}  // namespace vowelscope
