// The Engine on the real device path: a tone played on the default output is recorded from the default
// input (with the test sound server, the monitor of the sink the output plays into), and its analyses
// find the tone's pitch.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../platform/Wavedevicesoundserver.h"
#include "Enginetestsupport.h"
#include "audio/Audioout.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "sound/Soundmemorystream.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::Listener;
using enginetest::Tone;

// Counts the playback notifications; the end (type 2) is what the test waits for.
class PlaybackListener {
 public:
  void OnAudio(AudioCallbackParams& params) {
    std::lock_guard<std::mutex> guard(mutex);
    if (params.type == 2 || params.type == 4) {
      ended = true;
      failed = failed || params.type == 4;
      changed.notify_all();
    }
  }
  bool WaitEnd() {
    std::unique_lock<std::mutex> guard(mutex);
    return changed.wait_for(guard, std::chrono::seconds(20), [&] { return ended; }) && !failed;
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  bool failed = false;
};

TEST(EngineLoopback, TonePlayedIntoTheSoundServer_IsRecordedAndAnalysedAtItsPitch) {
  VS_REQUIRE_SOUND(wavetest::MissingSoundServer());
  const fs::path dir = testsupport::TestFolder("engineloopback");
  Settings settings((dir / "Settings.ini").string());
  // Only the parts well inside the tone are analysed: a frame that reaches from the tone into the
  // silence around it correlates best at whatever lag the edge favours.
  settings.SetF0Threshold(60.0);
  Engine engine(&settings);  // the default input, through PortAudio
  Listener recorded(engine);

  // 2 s of 200 Hz between fades of 0.3 s, so that the tone has no edge the sound server could blur.
  std::vector<int16_t> samples = Tone(static_cast<size_t>(11025 * 2.6), 200.0, 10000.0);
  const size_t fade = static_cast<size_t>(11025 * 0.3);
  for (size_t i = 0; i < fade; ++i) {
    const double gain = 0.5 - 0.5 * std::cos(M_PI * static_cast<double>(i) / static_cast<double>(fade));
    samples[i] = static_cast<int16_t>(std::lround(samples[i] * gain));
    samples[samples.size() - 1 - i] = static_cast<int16_t>(std::lround(samples[samples.size() - 1 - i] * gain));
  }
  SoundMemoryStream tone(Engine::GetSoundFormat());
  ASSERT_TRUE(tone.Write(samples.data(), static_cast<unsigned>(samples.size()), nullptr));
  ASSERT_TRUE(tone.Seek(0, kSeekBegin));
  AudioOut out(Engine::GetSoundFormat(), AudioOutDevice());
  PlaybackListener played;
  out.AddCallback(CallbackMethod<PlaybackListener, AudioCallbackParams>(&played, &PlaybackListener::OnAudio));

  VS_REQUIRE_SOUND(engine.StartRecord() ? "" : "PortAudio finds no input device");
  VS_REQUIRE_SOUND(out.Open(0, 3) ? "" : "PortAudio finds no output device");
  ASSERT_TRUE(out.Start(&tone));
  ASSERT_TRUE(played.WaitEnd());
  out.Stop();
  out.Close();
  engine.StopRecord(false);
  ASSERT_TRUE(recorded.WaitAnalyses(1));
  EXPECT_EQ(recorded.AnalysisResults(), std::vector<bool>{true});

  const uint32_t length = engine.GetSound()->GetLength();
  ASSERT_GT(length, samples.size()) << "the recording spans the whole tone";
  EXPECT_EQ(engine.GetFormantTrack()->size(), (length + 274) / 275);

  const auto f0 = engine.GetFZeroResult();
  ASSERT_NE(f0, nullptr);
  EXPECT_EQ(f0->values.size(), (length + 109) / 110);
  // Every frame the chart would draw lies at the tone's 200 Hz. A sound server starved of CPU can drop a
  // period or two of samples; the few frames that span such a gap read a little off, so up to 2 % of the
  // frames may miss, and each one is reported.
  size_t voiced = 0;
  std::vector<std::string> off;
  for (size_t i = 0; i < f0->values.size(); ++i) {
    const FZeroValue& v = f0->values[i];
    if (v.score < 0.7f) continue;
    ++voiced;
    if (std::fabs(v.frequency - 200.0) > 2.0) {
      off.push_back("frame " + std::to_string(i) + ": " + std::to_string(v.frequency) + " Hz, score " +
                    std::to_string(v.score));
    }
  }
  // The steady part alone gives 200 frames of 10 ms.
  EXPECT_GT(voiced, 180u);
  std::string list;
  for (const auto& line : off) list += line + "\n";
  EXPECT_LE(off.size(), std::max<size_t>(2, voiced / 50)) << "frames more than 2 Hz from 200 Hz:\n" << list;
}

}  // namespace
}  // namespace vowelscope
