// Device failures seen from the whole program: a recording through the Engine and a playback of its
// sound through AudioOut, with one device operation failing at a chosen call. Each ends that capture or
// playback once, keeps what was recorded, and the next recording or playback on the same objects works.
// (An input that cannot open and a re-queue that fails mid-recording are in EngineTest; failures of each
// operation's first call on AudioIn/AudioOut alone are in their own tests.)

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "../audio/Audiotestsupport.h"
#include "Enginetestsupport.h"
#include "audio/Audioout.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "platform/Virtualwavein.h"
#include "platform/Virtualwaveout.h"
#include "sound/Soundmemorystream.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using enginetest::CeilDiv;
using enginetest::Listener;
using enginetest::MakeEngine;
using enginetest::SoundSamples;
using enginetest::Tone;

std::unique_ptr<Settings> ScratchSettings() {
  return std::make_unique<Settings>((testsupport::TestFolder("enginefaults") / "Settings.ini").string());
}

// The first `n` values of `source` followed by silence, as the input delivers it.
bool IsSourcePrefix(const std::vector<int16_t>& sound, const std::vector<int16_t>& source) {
  for (size_t i = 0; i < sound.size(); ++i) {
    if (sound[i] != (i < source.size() ? source[i] : 0)) return false;
  }
  return true;
}

// Recording: the capture ends with the type given; the sound is exactly what the input delivered up to
// that end, the formant track has one value per block of it, and the F0 pass runs over it.
TEST(EngineFaults, RecordingDeviceFailures_EndTheCapture_KeepWhatWasRecorded_AndTheNextRecordingWorks) {
  constexpr uint32_t kLimit = 40 * 275;
  enum class Ends { ByLimit, ByUserStop };
  enum Length : uint32_t { kAny = 0xFFFFFFFFu, kStopPoint = 0xFFFFFFFEu };
  struct Case {
    const char* name;
    WaveOperation op;
    unsigned skip;
    unsigned count;
    Ends ends;
    int endType;
    uint32_t length;  // frames recorded, or kAny / kStopPoint (the first position Stop read)
  };
  const Case cases[] = {
      // The five buffers are prepared and queued before the device starts.
      {"prepare before the start", WaveOperation::Prepare, 2, 1, Ends::ByLimit, 4, 0},
      {"queue before the start", WaveOperation::Queue, 2, 1, Ends::ByLimit, 4, 0},
      {"start", WaveOperation::Start, 0, 1, Ends::ByLimit, 4, 0},
      // The eighth re-queue: eight blocks were handed over.
      {"prepare of a re-queue", WaveOperation::Prepare, 5 + 7, 1, Ends::ByLimit, 4, 8 * 275},
      // Taking a buffer back is not checked: the device fills it again all the same.
      {"unprepare", WaveOperation::Unprepare, 3, 5, Ends::ByLimit, 2, kLimit},
      // The reset at the end of the capture, and the one of StopRecord after it.
      {"reset at the end", WaveOperation::Reset, 0, 1, Ends::ByLimit, 2, kLimit},
      {"both resets", WaveOperation::Reset, 0, 2, Ends::ByLimit, 2, kLimit},
      {"close", WaveOperation::Close, 0, 1, Ends::ByLimit, 2, kLimit},
      // Without a position the stop point is unknown: the capture ends with what the device hands back.
      {"position at the stop", WaveOperation::Position, 0, 1, Ends::ByUserStop, 2, kAny},
      // A device that does not stop: the data still ends at the stop point.
      {"stop", WaveOperation::Stop, 0, 1, Ends::ByUserStop, 2, kStopPoint},
  };
  const std::vector<int16_t> source = Tone(60 * 275, 200.0, 8000.0);
  const std::vector<int16_t> next = Tone(2750, 300.0, 8000.0);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto settings = ScratchSettings();
    std::shared_ptr<VirtualWaveIn> input;
    auto engine = MakeEngine(*settings, &input);
    Listener listener(*engine);

    input->SetSourceSamples(source, VirtualWaveIn::AtEnd::Silence);
    input->InjectFailure(c.op, c.skip, c.count);
    engine->SetRecordLimitOverride(c.ends == Ends::ByLimit ? kLimit : 0xFFFFFFFFu);
    ASSERT_TRUE(engine->StartRecord());
    if (c.ends == Ends::ByUserStop) {
      ASSERT_TRUE(listener.WaitFormants(10));
    } else {
      ASSERT_TRUE(listener.WaitCaptureEnd());
      EXPECT_TRUE(engine->IsRecording()) << "until the owner stops, as after the limit";
    }
    // What the main window does on the capture's end message (or the user's stop).
    engine->StopRecord(false);
    EXPECT_FALSE(engine->IsRecording());
    ASSERT_TRUE(listener.WaitAnalyses(1));

    const std::vector<int> types = listener.AudioTypes();
    ASSERT_FALSE(types.empty());
    // A buffer that cannot be queued at the start ends the capture before it is reported started.
    EXPECT_EQ(types.front(), c.length == 0 && c.op != WaveOperation::Start ? c.endType : 1);
    EXPECT_EQ(types.back(), c.endType);
    EXPECT_EQ(std::count(types.begin(), types.end(), 2) + std::count(types.begin(), types.end(), 4), 1)
        << "exactly one end";
    const std::vector<int16_t> sound = SoundSamples(*engine);
    if (c.length == kStopPoint) {
      ASSERT_FALSE(input->PositionLog().empty());
      EXPECT_EQ(sound.size(), input->PositionLog().front() / 2);
    } else if (c.length != kAny) {
      EXPECT_EQ(sound.size(), c.length);
    }
    EXPECT_TRUE(IsSourcePrefix(sound, source)) << "nothing lost or doubled";
    EXPECT_EQ(engine->GetFormantTrack()->size(), CeilDiv(sound.size(), 275));
    EXPECT_EQ(listener.Formants().size(), engine->GetFormantTrack()->size());
    ASSERT_NE(engine->GetFZeroResult(), nullptr);
    EXPECT_EQ(engine->GetFZeroResult()->values.size(), CeilDiv(sound.size(), 110));
    EXPECT_EQ(listener.AnalysisResults(), std::vector<bool>{true});
    EXPECT_FALSE(input->IsOpen()) << "the device is closed after the stop";

    input->ClearFailures();
    listener.Clear();
    input->SetSourceSamples(next, VirtualWaveIn::AtEnd::Silence);
    engine->SetRecordLimitOverride(static_cast<uint32_t>(next.size()));
    ASSERT_TRUE(engine->StartRecord());
    ASSERT_TRUE(listener.WaitCaptureEnd());
    engine->StopRecord(false);
    ASSERT_TRUE(listener.WaitAnalyses(1));
    EXPECT_EQ(listener.AudioTypes().front(), 1);
    EXPECT_EQ(listener.AudioTypes().back(), 2);
    EXPECT_EQ(SoundSamples(*engine), next);
    EXPECT_EQ(engine->GetFormantTrack()->size(), 10u);
    EXPECT_EQ(engine->GetFZeroResult()->values.size(), CeilDiv(next.size(), 110));
  }
}

// Moves a hand-clocked output on until `done` holds (or a generous time has passed).
template <typename Done>
bool StepUntil(VirtualWaveOut& device, unsigned frames, Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    device.Step(frames);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Playback, as the main window does it: a copy of the Engine's sound in three one-second buffers.
// Failures after the first buffers have been played and queued again, and failing resets at a stop.
TEST(EngineFaults, PlaybackDeviceFailures_EndThePlaybackOnce_LeaveTheRecordingAlone_AndTheNextPlaybackWorks) {
  auto settings = ScratchSettings();
  std::shared_ptr<VirtualWaveIn> input;
  auto engine = MakeEngine(*settings, &input);
  Listener recording(*engine);
  const uint32_t length = 5 * 11025 + 123;
  input->SetSourceSamples(Tone(length, 200.0, 8000.0), VirtualWaveIn::AtEnd::Silence);
  engine->SetRecordLimitOverride(length);
  ASSERT_TRUE(engine->StartRecord());
  ASSERT_TRUE(recording.WaitCaptureEnd());
  engine->StopRecord(false);
  ASSERT_TRUE(recording.WaitAnalyses(1));
  const std::vector<int16_t> recorded = SoundSamples(*engine);
  ASSERT_EQ(recorded.size(), length);

  struct Case {
    const char* name;
    WaveOperation op;
    unsigned skip;
    unsigned count;
    bool userStop;  // stopped after 11025 + 500 frames have played
    int endType;
  };
  const Case cases[] = {
      // Buffers 0..2 are prepared and queued at the start; the first refill is the fourth call.
      {"prepare of a refill", WaveOperation::Prepare, 3, 1, false, 4},
      {"queue of a refill", WaveOperation::Queue, 3, 1, false, 4},
      {"unprepare of the second buffer", WaveOperation::Unprepare, 1, 1, false, 4},
      // Stop's reset fails: the playback thread's own reset hands the buffers back.
      {"reset at the stop", WaveOperation::Reset, 0, 1, true, 2},
      // Neither reset works: the buffers cannot be taken back until the failure path's reset.
      {"both resets at the stop", WaveOperation::Reset, 0, 2, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = std::make_shared<VirtualWaveOut>();
    device->SetManual();
    audiotest::Listener listener;
    AudioOut out(Engine::GetSoundFormat(), AudioOutDevice(), device);
    out.AddCallback(CallbackMethod<audiotest::Listener, AudioCallbackParams>(&listener, &audiotest::Listener::OnAudio));
    auto ends = [&] { return listener.Count(2) + listener.Count(4); };
    device->InjectFailure(c.op, c.skip, c.count);

    SoundMemoryStream copy(Engine::GetSoundFormat());
    SoundMemoryStream* sound = engine->GetSound();
    ASSERT_TRUE(copy.Write(sound->GetData(), sound->GetLength(), nullptr));
    copy.Seek(0, kSeekBegin);
    ASSERT_TRUE(out.Open(0, 3));
    ASSERT_TRUE(out.Start(&copy));
    if (c.userStop) {
      ASSERT_TRUE(audiotest::Eventually([&] { return device->QueuedCount() == 3; }));
      ASSERT_EQ(device->Step(11025 + 500), 11025u + 500u);
      // The first buffer has come back and gone out again refilled.
      ASSERT_TRUE(audiotest::Eventually([&] { return listener.Count(3) == 1 && device->QueuedCount() == 3; }));
      EXPECT_TRUE(out.Stop());
    } else {
      ASSERT_TRUE(StepUntil(*device, 2000, [&] { return ends() > 0; }));
      EXPECT_FALSE(out.IsPlaying()) << "false by itself after the failure";
      EXPECT_TRUE(out.Stop());
    }
    EXPECT_EQ(listener.Types().front(), 1);
    EXPECT_EQ(listener.Types().back(), c.endType);
    EXPECT_EQ(ends(), 1) << "exactly one end";
    if (c.userStop && c.endType == 2) {
      EXPECT_EQ(listener.Events().back().samples, 11025 + 500) << "where the stop came";
    }
    EXPECT_EQ(device->QueuedCount(), 0u) << "every buffer taken back";
    const std::vector<int16_t> played = device->PlayedSamples();
    EXPECT_LT(played.size(), recorded.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), recorded.begin()));
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(SoundSamples(*engine), recorded) << "the recording is untouched";

    // The next playback (the main window opens afresh each time) plays everything and one silent frame.
    device->ClearFailures();
    device->ClearPlayed();
    device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    listener.Clear();
    copy.Seek(0, kSeekBegin);
    ASSERT_TRUE(out.Open(0, 3));
    ASSERT_TRUE(out.Start(&copy));
    ASSERT_TRUE(listener.WaitForType(2));
    EXPECT_EQ(listener.Types().back(), 2);
    std::vector<int16_t> expected = recorded;
    expected.push_back(0);
    EXPECT_EQ(device->PlayedSamples(), expected);
    EXPECT_TRUE(out.Stop());
    EXPECT_TRUE(out.Close());
  }
}

}  // namespace
}  // namespace vowelscope
