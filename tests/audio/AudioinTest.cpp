#include "audio/Audioin.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <memory>

#include "Audiotestsupport.h"
#include "platform/Virtualwavein.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using audiotest::Event;
using audiotest::Eventually;
using audiotest::LimitedTarget;
using audiotest::Listener;
using audiotest::Mono16;
using audiotest::Ramp;

std::vector<int16_t> Samples(SoundMemoryStream& s) {
  auto* p = reinterpret_cast<const int16_t*>(s.GetData());
  return std::vector<int16_t>(p, p + s.GetLength());
}

// Consecutive values of the source ramp, wherever in it they start.
bool IsRampRun(const std::vector<int16_t>& v) {
  for (size_t i = 1; i < v.size(); ++i) {
    if (v[i] != (v[i - 1] + 1) % 30000) return false;
  }
  return true;
}

class AudioInTest : public ::testing::Test {
 protected:
  AudioInTest() : device(std::make_shared<VirtualWaveIn>()), in(Mono16(), AudioInDevice(), device), target(Mono16()) {
    in.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&listener, &Listener::OnAudio));
  }

  std::shared_ptr<VirtualWaveIn> device;
  Listener listener;
  AudioIn in;
  SoundMemoryStream target;
};

TEST_F(AudioInTest, Open_SizesHeadersAndBuffersFromTheRequest) {
  struct Case {
    unsigned bytes, headerBytes, headersPerBuffer, bufferBytes;
  };
  // 11025 Hz mono 16-bit: one second is 22050 bytes, 0.2 s is 4410.
  const Case cases[] = {{550, 550, 1, 550}, {0, 4410, 5, 22050}, {10000, 4410, 2, 8820}, {3, 2, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    ASSERT_TRUE(in.Open(c.bytes, 5));
    EXPECT_EQ(in.GetHeaderBytes(), c.headerBytes);
    EXPECT_EQ(in.GetHeadersPerBuffer(), c.headersPerBuffer);
    EXPECT_EQ(in.GetBufferBytes(), c.bufferBytes);
    EXPECT_EQ(in.GetBufferCount(), 5u);
  }
  EXPECT_FALSE(in.Open(1, 5)) << "less than one frame";
  EXPECT_FALSE(device->IsOpen()) << "a failed Open leaves nothing open";
  EXPECT_EQ(in.GetBufferCount(), 0u);
}

// Manual clock: the test moves the device on while Stop polls its position, so the stop point is known.
TEST_F(AudioInTest, Stop_HandsOverExactlyTheFramesUpToTheStopPosition) {
  struct Case {
    const char* name;
    unsigned openBytes;
    unsigned before;  // frames captured when Stop is called
    unsigned after;   // frames the device captures while Stop waits
  };
  const Case cases[] = {
      {"half-way through a buffer", 550, 3 * 275 + 100, 600},
      {"at a buffer boundary", 550, 3 * 275, 600},
      {"inside the first buffer", 550, 1, 600},
      {"before anything was captured", 550, 0, 600},
      {"half-way through a header of a many-header buffer", 0, 11025 + 3000, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device->SetManual();
    device->SetSourceSamples(Ramp(60000));
    SoundMemoryStream out(Mono16());
    listener.Clear();
    ASSERT_TRUE(in.Open(c.openBytes, 5));
    ASSERT_TRUE(in.Start(&out));
    ASSERT_TRUE(Eventually([&] { return device->IsStarted(); }));
    ASSERT_EQ(device->Step(c.before), c.before);
    size_t logged = device->PositionLog().size();
    auto stop = std::async(std::launch::async, [&] { return in.Stop(); });
    ASSERT_TRUE(Eventually([&] { return device->PositionLog().size() > logged; }));
    EXPECT_EQ(device->PositionLog()[logged], c.before * 2);
    device->Step(c.after);
    ASSERT_TRUE(stop.get());
    EXPECT_FALSE(in.IsRecording());
    EXPECT_EQ(Samples(out), Ramp(c.before));
    auto events = listener.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Event{2, static_cast<int32_t>(c.before)}));
    in.Close();
  }
}

// Holds the capture thread in its first write until Release, so the device can run ahead of it.
class GatedTarget : public LimitedTarget {
 public:
  GatedTarget() : LimitedTarget(Mono16(), 1u << 20) {}
  bool Write(const void* buffer, unsigned frames, int* written) override {
    {
      std::unique_lock<std::mutex> guard(lock);
      entered = true;
      changed.notify_all();
      changed.wait(guard, [&] { return open; });
    }
    return LimitedTarget::Write(buffer, frames, written);
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return entered; });
  }
  void Release() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }

 private:
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;
};

TEST_F(AudioInTest, Stop_WhenTheCaptureThreadHasFallenBehind_StillEndsAtTheStopPosition) {
  device->SetManual();
  device->SetSourceSamples(Ramp(60000));
  GatedTarget gated;
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&gated));
  ASSERT_TRUE(Eventually([&] { return device->IsStarted(); }));
  device->Step(275);
  gated.WaitEntered();                 // the capture thread is stuck in buffer 0
  device->Step(2 * 275 + 100);         // the device fills buffers 1 and 2 and part of 3
  auto stop = std::async(std::launch::async, [&] { return in.Stop(); });
  ASSERT_TRUE(Eventually([&] { return !device->PositionLog().empty(); }));
  device->Step(600);                   // enough for Stop to see the stop point passed
  gated.Release();
  ASSERT_TRUE(stop.get());
  EXPECT_EQ(gated.samples, Ramp(3 * 275 + 100));
  EXPECT_EQ(listener.Events().back(), (Event{2, 3 * 275 + 100}));
}

// The capture thread is behind by the whole ring when the stop comes: every buffer is filled and none is
// queued, so the device can only move past the stop point once the capture thread queues buffers again
// while Stop waits. Nothing recorded before the stop point is dropped, and Stop does not wait it out.
TEST_F(AudioInTest, Stop_WhenEveryBufferIsFilledAndWaiting_KeepsAllUpToTheStopPosition) {
  device->SetManual();
  device->SetSourceSamples(Ramp(60000));
  GatedTarget gated;
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&gated));
  ASSERT_TRUE(Eventually([&] { return device->IsStarted(); }));
  device->Step(275);
  gated.WaitEntered();                      // the capture thread is stuck with buffer 0
  ASSERT_EQ(device->Step(10 * 275), 4 * 275u) << "buffers 1 to 4 filled, nothing else queued";
  const auto begin = std::chrono::steady_clock::now();
  auto stop = std::async(std::launch::async, [&] { return in.Stop(); });
  ASSERT_TRUE(Eventually([&] { return !device->PositionLog().empty(); }));
  EXPECT_EQ(device->PositionLog().front(), 5u * 550u);
  gated.Release();
  // The device moves on as far as the capture thread gives it buffers.
  while (stop.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) device->Step(100);
  ASSERT_TRUE(stop.get());
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(250));
  EXPECT_EQ(gated.samples, Ramp(5 * 275));
  EXPECT_EQ(listener.Events().back(), (Event{2, 5 * 275}));
}

// An input that has run dry with a buffer partly filled, and whose reset then fails, hands nothing back
// by itself: Stop must still end the capture instead of waiting for that buffer for ever.
TEST_F(AudioInTest, Stop_WhenTheInputStallsAndItsResetFails_StillEnds_KeepingTheFullBuffers) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  device->SetSourceSamples(Ramp(1000));  // three full buffers of 275 frames and 175 frames of a fourth
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&target));
  ASSERT_TRUE(listener.WaitForFrames(3 * 275));
  ASSERT_TRUE(Eventually([&] { return device->SourceLeft() == 0; }));
  device->InjectFailure(WaveOperation::Reset);
  auto stop = std::async(std::launch::async, [&] { return in.Stop(); });
  ASSERT_EQ(stop.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "Stop hangs";
  EXPECT_TRUE(stop.get());
  EXPECT_GE(target.GetLength(), 3u * 275u);
  EXPECT_EQ(Samples(target), Ramp(target.GetLength()));
  EXPECT_EQ(listener.Events().back().type, 2);
}

// Real-time clock: wherever the stop lands, the recording ends at the position Stop read first.
TEST_F(AudioInTest, Stop_InRealTime_EndsAtTheFirstPositionStopRead) {
  device->SetSpeed(2.0);
  device->SetSourceSamples(Ramp(60000));
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&target));
  ASSERT_TRUE(listener.WaitForFrames(3000));
  ASSERT_TRUE(in.Stop());
  ASSERT_FALSE(device->PositionLog().empty());
  uint32_t stopFrames = device->PositionLog().front() / 2;
  EXPECT_EQ(target.GetLength(), stopFrames);
  EXPECT_EQ(Samples(target), Ramp(stopFrames));
  EXPECT_EQ(listener.Events().back(), (Event{2, static_cast<int32_t>(stopFrames)}));
}

TEST_F(AudioInTest, Notifications_StartProgressAndEnd_EmptyBufferAddsNothing) {
  // The device captures one buffer and then stands still: Stop gives up waiting, resets, and the
  // empty buffer handed back next adds nothing.
  device->SetManual();
  device->SetSourceSamples(Ramp(1000));
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&target));
  ASSERT_TRUE(Eventually([&] { return device->IsStarted(); }));
  device->Step(275);
  ASSERT_TRUE(listener.WaitForFrames(275));
  // Once buffer 0 is queued again the capture thread waits for buffer 1.
  ASSERT_TRUE(Eventually([&] { return device->CallCount(WaveOperation::Queue) == 6; }));
  ASSERT_TRUE(in.Stop());
  EXPECT_EQ(listener.Events(), (std::vector<Event>{{1, 0}, {3, 275}, {3, 275}, {2, 275}}));
  EXPECT_EQ(Samples(target), Ramp(275));
}

TEST_F(AudioInTest, TargetThatTakesNoMore_EndsTheCaptureWithType2WithoutStop) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  device->SetSourceSamples(Ramp(5000));
  LimitedTarget limited(Mono16(), 600);
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&limited));
  ASSERT_TRUE(listener.WaitForType(2));
  // The third block is cut to fit; the fourth finds the target full.
  EXPECT_EQ(listener.Events(), (std::vector<Event>{{1, 0}, {3, 275}, {3, 550}, {3, 600}, {2, 600}}));
  EXPECT_TRUE(in.IsRecording()) << "the owner still stops it";
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(in.Stop());
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(200))
      << "no stop point to wait for once the capture has ended";
  EXPECT_EQ(limited.samples, Ramp(600));
  EXPECT_FALSE(in.IsRecording());
}

TEST_F(AudioInTest, TargetWriteFailure_EndsTheCaptureWithType2) {
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  device->SetSourceSamples(Ramp(5000));
  LimitedTarget failing(Mono16(), 100000, 2);
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&failing));
  ASSERT_TRUE(listener.WaitForType(2));
  EXPECT_EQ(listener.Events().back(), (Event{2, 550}));
  EXPECT_EQ(listener.Count(4), 0);
  EXPECT_TRUE(in.Stop());
}

TEST_F(AudioInTest, InputFailureMidRecording_EndsWithType4_KeepsWhatWasRecorded_NextRecordingWorks) {
  device->SetSpeed(8.0);
  device->SetSourceSamples(Ramp(100000));
  device->InjectFailure(WaveOperation::Queue, 5 + 2);  // the third re-queue fails
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&target));
  ASSERT_TRUE(listener.WaitForType(4));
  EXPECT_EQ(listener.Events(), (std::vector<Event>{{1, 0}, {3, 275}, {3, 550}, {3, 825}, {4, 0}}));
  EXPECT_TRUE(in.IsRecording()) << "a failure leaves the owner to stop and close";
  EXPECT_TRUE(in.Stop());
  EXPECT_TRUE(in.Close());
  EXPECT_EQ(Samples(target), Ramp(825));

  listener.Clear();
  SoundMemoryStream again(Mono16());
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&again));
  ASSERT_TRUE(listener.WaitForFrames(1100));
  EXPECT_TRUE(in.Stop());
  EXPECT_EQ(listener.Types().back(), 2);
  EXPECT_GE(again.GetLength(), 1100u);
  EXPECT_TRUE(IsRampRun(Samples(again)));
}

// Each device operation fails once during a recording: the recording ends with the type given (or Open
// refuses), nothing hangs, and the next recording on the same objects works.
TEST(AudioIn, DeviceOperationFailures_EndTheRecording_AndTheNextOneWorks) {
  struct Case {
    WaveOperation op;
    const char* name;
    bool opens;
    int32_t endType;  // last notification of the failed recording; 0 = none
  };
  const Case cases[] = {
      {WaveOperation::Open, "open", false, 0},        {WaveOperation::Prepare, "prepare", true, 4},
      {WaveOperation::Queue, "queue", true, 4},       {WaveOperation::Start, "start", true, 4},
      {WaveOperation::Position, "position", true, 2}, {WaveOperation::Stop, "stop", true, 2},
      {WaveOperation::Reset, "reset", true, 2},       {WaveOperation::Unprepare, "unprepare", true, 2},
      {WaveOperation::Close, "close", true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = std::make_shared<VirtualWaveIn>();
    device->SetSpeed(8.0);
    device->SetSourceSamples(Ramp(200000));
    Listener listener;
    AudioIn in(Mono16(), AudioInDevice(), device);
    in.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&listener, &Listener::OnAudio));
    device->InjectFailure(c.op);
    SoundMemoryStream first(Mono16());
    ASSERT_EQ(in.Open(550, 5), c.opens);
    if (c.opens) {
      ASSERT_TRUE(in.Start(&first));
      if (c.endType == 4) {
        ASSERT_TRUE(listener.WaitForType(4));
      } else {
        ASSERT_TRUE(listener.WaitForFrames(1100));
      }
      EXPECT_TRUE(in.Stop());
      ASSERT_FALSE(listener.Events().empty());
      EXPECT_EQ(listener.Events().back().type, c.endType);
      EXPECT_TRUE(IsRampRun(Samples(first)));
    } else {
      EXPECT_FALSE(in.Start(&first));
      EXPECT_TRUE(listener.Events().empty());
    }
    EXPECT_TRUE(in.Close());
    EXPECT_FALSE(device->IsOpen());

    device->ClearFailures();
    listener.Clear();
    SoundMemoryStream second(Mono16());
    ASSERT_TRUE(in.Open(550, 5));
    ASSERT_TRUE(in.Start(&second));
    ASSERT_TRUE(listener.WaitForFrames(1100));
    EXPECT_TRUE(in.Stop());
    EXPECT_EQ(listener.Types().front(), 1);
    EXPECT_EQ(listener.Types().back(), 2);
    EXPECT_GE(second.GetLength(), 1100u);
    EXPECT_TRUE(IsRampRun(Samples(second)));
    EXPECT_TRUE(in.Close());
  }
}

TEST_F(AudioInTest, Start_RefusesWithoutOpenOrWithAnUnsuitableTarget) {
  EXPECT_FALSE(in.Start(&target)) << "not opened";
  ASSERT_TRUE(in.Open(550, 5));
  SoundFormat stereo = Mono16();
  stereo.SetChannels(2);
  SoundMemoryStream wrongFormat(stereo);
  EXPECT_FALSE(in.Start(&wrongFormat));
  LimitedTarget readOnly(Mono16(), 100);
  readOnly.SetWritable(false);
  EXPECT_FALSE(in.Start(&readOnly));
  EXPECT_FALSE(in.Start(nullptr));
  EXPECT_FALSE(in.IsRecording());
  EXPECT_TRUE(listener.Events().empty());
  EXPECT_EQ(device->CallCount(WaveOperation::Queue), 0u) << "no capture thread ran";
  in.Close();
  EXPECT_FALSE(in.Start(&target)) << "closed again";
}

TEST_F(AudioInTest, StopWhenNotRecording_AndCloseTwice_ChangeNothing) {
  EXPECT_FALSE(in.Stop());
  EXPECT_TRUE(in.Close());
  ASSERT_TRUE(in.Open(550, 5));
  EXPECT_FALSE(in.Stop());
  EXPECT_TRUE(device->IsOpen());
  EXPECT_TRUE(in.Close());
  EXPECT_TRUE(in.Close());
  EXPECT_EQ(device->CallCount(WaveOperation::Close), 1u);
  EXPECT_TRUE(in.SetWaveDevice(std::make_shared<VirtualWaveIn>()));
}

TEST_F(AudioInTest, CloseWhileRecording_EndsTheCaptureFirst) {
  device->SetSpeed(8.0);
  device->SetSourceSamples(Ramp(100000));
  ASSERT_TRUE(in.Open(550, 5));
  ASSERT_TRUE(in.Start(&target));
  ASSERT_TRUE(listener.WaitForFrames(1100));
  EXPECT_TRUE(in.Close());
  EXPECT_FALSE(in.IsRecording());
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(listener.Types().back(), 2);
  EXPECT_TRUE(IsRampRun(Samples(target)));
}

TEST(AudioIn, SetWaveDevice_IsRefusedWhileOpen) {
  auto device = std::make_shared<VirtualWaveIn>();
  AudioIn in(Mono16(), AudioInDevice(), device);
  ASSERT_TRUE(in.Open(550, 5));
  EXPECT_FALSE(in.SetWaveDevice(std::make_shared<VirtualWaveIn>()));
  EXPECT_EQ(in.GetWaveDevice(), device.get());
}

}  // namespace
}  // namespace vowelscope
