#include "audio/Audioout.h"
#include "audio/Playback.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Audiotestsupport.h"
#include "platform/Virtualwaveout.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using audiotest::Event;
using audiotest::Eventually;
using audiotest::Listener;
using audiotest::Mono16;
using audiotest::Ramp;

std::unique_ptr<SoundMemoryStream> Source(const std::vector<int16_t>& samples) {
  auto s = std::make_unique<SoundMemoryStream>(Mono16());
  if (!samples.empty()) s->Write(samples.data(), static_cast<unsigned>(samples.size()), nullptr);
  s->Seek(0, kSeekBegin);
  return s;
}

// Reads `failAfter` times, then fails.
class FailingSource : public SoundStream {
 public:
  explicit FailingSource(unsigned failAfter) : failAfter(failAfter) {
    format = Mono16();
    canRead = true;
    length = 100000;
  }
  bool Read(void* buffer, unsigned frames, int* read) override {
    if (reads++ >= failAfter) return false;
    std::memset(buffer, 0, frames * 2);
    if (read != nullptr) *read = static_cast<int>(frames);
    return true;
  }
  bool Write(const void*, unsigned, int*) override { return false; }
  bool Seek(int, int) override { return false; }
  unsigned Tell() override { return 0; }
  void SetReadable(bool value) { canRead = value; }

  unsigned failAfter;
  unsigned reads = 0;
};

class AudioOutTest : public ::testing::Test {
 protected:
  AudioOutTest() : device(std::make_shared<VirtualWaveOut>()), out(Mono16(), AudioOutDevice(), device) {
    out.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&listener, &Listener::OnAudio));
  }
  std::shared_ptr<VirtualWaveOut> device;
  Listener listener;
  AudioOut out;
};

TEST_F(AudioOutTest, PlaysTheSourceFromItsPosition_ThenOneSilentFrame) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  auto source = Source(Ramp(2500));
  ASSERT_TRUE(source->Seek(100, kSeekBegin));
  ASSERT_TRUE(out.Open(1000, 3));  // 500 frames a buffer
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(listener.WaitForType(2));
  std::vector<int16_t> expected = Ramp(2400, 100);
  expected.push_back(0);
  EXPECT_EQ(device->PlayedSamples(), expected);
  EXPECT_EQ(listener.Events(), (std::vector<Event>{{1, 0}, {3, 500}, {3, 1000}, {3, 1500}, {3, 2000}, {3, 2400},
                                                   {3, 2401}, {2, 2401}}));
  EXPECT_FALSE(out.IsPlaying()) << "false by itself at the end of the source";
  EXPECT_TRUE(out.Stop());
  EXPECT_EQ(listener.Count(2), 1) << "Stop after the end only joins the thread";
  EXPECT_EQ(device->QueuedCount(), 0u);
}

TEST_F(AudioOutTest, EmptySource_PlaysOneSilentFrame) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  auto source = Source({});
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(listener.WaitForType(2));
  EXPECT_EQ(listener.Types(), (std::vector<int32_t>{1, 3, 2}));
  EXPECT_EQ(listener.Events()[1], (Event{3, 1}));
  EXPECT_EQ(device->PlayedSamples(), std::vector<int16_t>{0});
  EXPECT_EQ(device->CallCount(WaveOperation::Queue), 1u);
}

TEST_F(AudioOutTest, SourceShorterThanABuffer_QueuesDataAndEndMarkerOnly) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  auto source = Source(Ramp(1000));
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(listener.WaitForType(2));
  EXPECT_EQ(device->CallCount(WaveOperation::Queue), 2u) << "the third header is never queued";
  EXPECT_EQ(listener.Events(), (std::vector<Event>{{1, 0}, {3, 1000}, {3, 1001}, {2, 1001}}));
  EXPECT_TRUE(out.Stop());
}

TEST_F(AudioOutTest, GetPosition_NeverExceedsTheFramesRead) {
  device->SetManual();
  auto source = Source(Ramp(600));
  ASSERT_TRUE(out.Open(1000, 3));
  EXPECT_EQ(out.GetPosition(), 0u) << "0 when not playing";
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(Eventually([&] { return device->QueuedCount() == 3; }));  // 500, 100 and the end marker
  device->Step(250);
  EXPECT_EQ(out.GetPosition(), 250u);
  device->Step(350);
  EXPECT_EQ(out.GetPosition(), 600u);
  device->Step(1);  // the silent end frame: the device counts 601
  EXPECT_LE(out.GetPosition(), 600u);
  ASSERT_TRUE(listener.WaitForType(2));
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_EQ(out.GetPosition(), 0u);
  out.Stop();

  // The same in real time, read as the main window's timer would.
  device->SetSpeed(4.0);
  listener.Clear();
  auto again = Source(Ramp(2000));
  ASSERT_TRUE(out.Open(1000, 3));
  ASSERT_TRUE(out.Start(again.get()));
  unsigned last = 0;
  while (out.IsPlaying()) {
    unsigned p = out.GetPosition();
    EXPECT_LE(p, 2000u);
    if (p != 0) {
      EXPECT_GE(p, last) << "the cursor never runs back";
      last = p;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GT(last, 0u);
  EXPECT_TRUE(out.Stop());
}

TEST_F(AudioOutTest, StopWhilePlaying_ReportsTheStopPosition_Once) {
  device->SetManual();
  auto source = Source(Ramp(30000));
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(Eventually([&] { return device->QueuedCount() == 3; }));
  device->Step(11025 + 1234);
  ASSERT_TRUE(listener.WaitForFrames(11025));
  EXPECT_EQ(out.GetPosition(), 11025u + 1234u);
  EXPECT_TRUE(out.Stop());
  EXPECT_EQ(listener.Events().back(), (Event{2, 11025 + 1234}));
  EXPECT_EQ(listener.Count(2), 1);
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_EQ(device->QueuedCount(), 0u) << "every buffer came back";
  EXPECT_TRUE(out.Close());
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(AudioOutTest, CloseOrOpenWhilePlaying_EndsThePlaybackFirst) {
  device->SetManual();
  auto source = Source(Ramp(30000));
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  device->Step(100);
  EXPECT_TRUE(out.Open(0, 3));
  EXPECT_EQ(listener.Count(2), 1);
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_TRUE(device->IsOpen()) << "opened afresh";
  ASSERT_TRUE(out.Start(source.get()));
  EXPECT_TRUE(out.Close());
  EXPECT_EQ(listener.Count(2), 2);
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(AudioOutTest, StopBeforeAnythingPlayed_EndsAtOnce) {
  device->SetManual();
  auto source = Source(Ramp(30000));
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  EXPECT_TRUE(out.Stop());
  EXPECT_EQ(listener.Types().back(), 2);
  EXPECT_EQ(listener.Count(2), 1);
  EXPECT_TRUE(device->PlayedSamples().empty());
}

TEST_F(AudioOutTest, OpenAndStart_RefuseWhatCannotPlay) {
  SoundFormat raw = Mono16();
  raw.SetNativeLayout(0);
  AudioOut foreign(raw, AudioOutDevice(), device);
  EXPECT_FALSE(foreign.Open(0, 3));
  EXPECT_EQ(device->CallCount(WaveOperation::Open), 0u) << "no device opened";

  auto source = Source(Ramp(100));
  EXPECT_FALSE(out.Start(source.get())) << "no device open";
  EXPECT_FALSE(out.Open(1, 3)) << "a buffer must hold a frame";
  EXPECT_FALSE(device->IsOpen());
  ASSERT_TRUE(out.Open(0, 3));
  SoundFormat stereo = Mono16();
  stereo.SetChannels(2);
  SoundMemoryStream wrong(stereo);
  EXPECT_FALSE(out.Start(&wrong));
  FailingSource unreadable(10);
  unreadable.SetReadable(false);
  EXPECT_FALSE(out.Start(&unreadable));
  EXPECT_FALSE(out.Start(nullptr));
  EXPECT_TRUE(listener.Events().empty());
  EXPECT_EQ(out.GetBufferBytes(), 22050u);
}

TEST_F(AudioOutTest, FailureWhileTheDeviceHoldsBuffers_EndsWithType4WithoutWaiting) {
  device->SetManual();  // nothing is ever played back by itself
  device->InjectFailure(WaveOperation::Queue, 1);
  auto source = Source(Ramp(30000));
  ASSERT_TRUE(out.Open(0, 3));
  ASSERT_TRUE(out.Start(source.get()));
  ASSERT_TRUE(listener.WaitForType(4));
  EXPECT_EQ(listener.Types(), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(device->QueuedCount(), 0u);
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_TRUE(out.Stop());
  EXPECT_EQ(listener.Count(2), 0);
}

// Each device or source operation fails once during a playback: it ends with the type given (or Open
// refuses), and the next playback on the same objects plays the whole source.
TEST(AudioOut, OperationFailures_EndThePlayback_AndTheNextOneWorks) {
  struct Case {
    const char* name;
    WaveOperation op;
    bool failSource;
    bool opens;
    int32_t endType;
  };
  const Case cases[] = {
      {"open", WaveOperation::Open, false, false, 0},
      {"prepare", WaveOperation::Prepare, false, true, 4},
      {"queue", WaveOperation::Queue, false, true, 4},
      {"unprepare", WaveOperation::Unprepare, false, true, 4},
      {"position", WaveOperation::Position, false, true, 4},
      {"reset", WaveOperation::Reset, false, true, 2},
      {"close", WaveOperation::Close, false, true, 2},
      {"source read", WaveOperation::kCount, true, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = std::make_shared<VirtualWaveOut>();
    device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
    Listener listener;
    AudioOut out(Mono16(), AudioOutDevice(), device);
    out.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&listener, &Listener::OnAudio));
    if (!c.failSource) device->InjectFailure(c.op);
    FailingSource failing(2);
    auto source = Source(Ramp(3000));
    SoundStream* first = c.failSource ? static_cast<SoundStream*>(&failing) : source.get();
    ASSERT_EQ(out.Open(1000, 3), c.opens);
    if (c.opens) {
      ASSERT_TRUE(out.Start(first));
      ASSERT_TRUE(Eventually([&] { return !out.IsPlaying(); }));
      ASSERT_FALSE(listener.Events().empty());
      EXPECT_EQ(listener.Types().front(), 1);
      EXPECT_EQ(listener.Types().back(), c.endType);
      EXPECT_EQ(listener.Count(2) + listener.Count(4), 1) << "exactly one end";
    } else {
      EXPECT_FALSE(out.Start(first));
    }
    EXPECT_TRUE(out.Stop());
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(device->IsOpen());

    device->ClearFailures();
    device->ClearPlayed();
    listener.Clear();
    auto again = Source(Ramp(2000));
    ASSERT_TRUE(out.Open(1000, 3));
    ASSERT_TRUE(out.Start(again.get()));
    ASSERT_TRUE(listener.WaitForType(2));
    std::vector<int16_t> expected = Ramp(2000);
    expected.push_back(0);
    EXPECT_EQ(device->PlayedSamples(), expected);
    EXPECT_TRUE(out.Stop());
    EXPECT_TRUE(out.Close());
  }
}

// Playback plays a copy: the recording may be replaced while it plays, and the copy goes with the stop.
TEST(Playback, PlaysACopyOfTheSound_WhichTheStopReleases) {
  auto device = std::make_shared<VirtualWaveOut>();
  device->SetManual();
  Playback playback(Mono16(), device);
  Listener listener;
  playback.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&listener, &Listener::OnAudio));
  auto sound = Source(Ramp(3000));
  ASSERT_EQ(playback.Start(*sound), Playback::StartResult::Started);
  EXPECT_TRUE(playback.HoldsCopy());
  // The recording changes under the playback: what plays is what was there at the start.
  sound->Seek(0, kSeekBegin);
  const std::vector<int16_t> other(3000, 7);
  sound->Write(other.data(), 3000, nullptr);
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  ASSERT_TRUE(listener.WaitForType(kAudioEnded));
  std::vector<int16_t> expected = Ramp(3000);
  expected.push_back(0);
  EXPECT_EQ(device->PlayedSamples(), expected);
  playback.Stop();
  EXPECT_FALSE(playback.HoldsCopy());
  EXPECT_FALSE(playback.IsPlaying());
}

TEST(Playback, WhatCannotPlay_HoldsNothing) {
  auto device = std::make_shared<VirtualWaveOut>();
  Playback playback(Mono16(), device);
  auto empty = Source({});
  EXPECT_EQ(playback.Start(*empty), Playback::StartResult::NothingToPlay);
  EXPECT_FALSE(playback.HoldsCopy());
  device->InjectFailure(WaveOperation::Open);
  auto sound = Source(Ramp(500));
  EXPECT_EQ(playback.Start(*sound), Playback::StartResult::DeviceFailed);
  EXPECT_FALSE(playback.HoldsCopy()) << "a refused device leaves no copy behind";
  EXPECT_FALSE(playback.IsPlaying());
  EXPECT_EQ(playback.Start(*sound), Playback::StartResult::Started) << "the next start works";
  playback.Stop();
}

}  // namespace
}  // namespace vowelscope
