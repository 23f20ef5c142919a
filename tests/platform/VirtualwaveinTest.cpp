#include "platform/Virtualwavein.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Wavedevicetestsupport.h"

namespace vowelscope {
namespace {

using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::Mono16;
using wavetest::Ramp;
using wavetest::SampleAt;

class VirtualWaveInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device.SetManual();
    device.SetSourceSamples(Ramp(1000));
    ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  }
  void QueueAll(Buffers& b) {
    for (auto& h : b.headers) {
      ASSERT_TRUE(device.Prepare(h));
      ASSERT_TRUE(device.Queue(h));
    }
  }

  VirtualWaveIn device;
  DoneLog log;
};

TEST_F(VirtualWaveInTest, FillsBuffersInQueueOrder_FromTheSource_AndCountsBytes) {
  Buffers b(3, 20);
  QueueAll(b);
  EXPECT_EQ(device.Step(5), 0u) << "nothing is captured before Start";
  ASSERT_TRUE(device.Start());
  EXPECT_EQ(device.Step(25), 25u);
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1}));
  EXPECT_EQ(log.Bytes(), (std::vector<uint32_t>{20, 20}));
  EXPECT_TRUE(b.headers[0].Has(WaveHeader::Done));
  EXPECT_FALSE(b.headers[0].Has(WaveHeader::InQueue));
  EXPECT_TRUE(b.headers[2].Has(WaveHeader::InQueue));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(SampleAt(b.data[0], i), i);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(SampleAt(b.data[1], i), 10 + i);
  uint32_t position = 0;
  ASSERT_TRUE(device.GetPosition(position));
  EXPECT_EQ(position, 50u);
  EXPECT_EQ(device.PositionLog(), (std::vector<uint32_t>{50}));
}

TEST_F(VirtualWaveInTest, Stop_HandsBackThePartlyFilledBuffer_ResetHandsBackTheRest) {
  Buffers b(3, 20);
  QueueAll(b);
  ASSERT_TRUE(device.Start());
  device.Step(13);
  ASSERT_TRUE(device.Stop());
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1}));
  EXPECT_EQ(log.Bytes()[1], 6u);
  EXPECT_EQ(device.Step(10), 0u) << "a stopped device captures nothing";
  EXPECT_TRUE(device.Stop()) << "stopping again hands back no empty buffer";
  EXPECT_EQ(log.Done().size(), 2u);

  EXPECT_FALSE(device.Unprepare(b.headers[2])) << "the device still holds buffer 2";
  ASSERT_TRUE(device.Reset());
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1, 2}));
  EXPECT_EQ(log.Bytes()[2], 0u);
  EXPECT_TRUE(device.Unprepare(b.headers[2]));
  uint32_t position = 99;
  ASSERT_TRUE(device.GetPosition(position));
  EXPECT_EQ(position, 0u);
}

TEST_F(VirtualWaveInTest, Queue_RefusesUnpreparedOrAlreadyQueuedBuffers) {
  Buffers b(1, 20);
  EXPECT_FALSE(device.Queue(b.headers[0]));
  ASSERT_TRUE(device.Prepare(b.headers[0]));
  ASSERT_TRUE(device.Queue(b.headers[0]));
  EXPECT_FALSE(device.Queue(b.headers[0]));
  WaveHeader empty;
  EXPECT_FALSE(device.Prepare(empty));
}

TEST_F(VirtualWaveInTest, EndOfSource_StallsOrGivesSilence) {
  Buffers b(2, 20);
  device.SetSourceSamples(Ramp(12));
  QueueAll(b);
  ASSERT_TRUE(device.Start());
  EXPECT_EQ(device.Step(20), 12u);
  EXPECT_EQ(device.SourceLeft(), 0u);
  EXPECT_EQ(log.Done().size(), 1u);

  device.SetSource({}, VirtualWaveIn::AtEnd::Silence);
  EXPECT_EQ(device.Step(8), 8u);
  ASSERT_EQ(log.Done().size(), 2u);
  EXPECT_EQ(SampleAt(b.data[1], 1), 11);
  for (int i = 2; i < 10; ++i) EXPECT_EQ(SampleAt(b.data[1], i), 0);
}

TEST_F(VirtualWaveInTest, Close_DropsQueuedBuffersWithoutHandingThemBack) {
  Buffers b(2, 20);
  QueueAll(b);
  EXPECT_FALSE(device.Close()) << "closing with buffers queued is reported";
  EXPECT_FALSE(device.IsOpen());
  EXPECT_FALSE(b.headers[0].Has(WaveHeader::InQueue));
  EXPECT_TRUE(log.Done().empty());
  EXPECT_FALSE(device.Close());
  EXPECT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  EXPECT_FALSE(device.Open(Mono16(), &DoneLog::Callback, &log)) << "already open";
}

TEST(VirtualWaveIn, Open_RefusesFormatsItCannotFrame) {
  VirtualWaveIn device;
  WaveDeviceFormat f = Mono16();
  f.blockAlign = 3;
  EXPECT_FALSE(device.Open(f, nullptr, nullptr));
  f = Mono16();
  f.formatTag = 2;
  EXPECT_FALSE(device.Open(f, nullptr, nullptr));
  EXPECT_TRUE(device.Open(Mono16(), nullptr, nullptr));
}

// Every operation can be made to fail once; the failed call changes nothing and the next one works.
TEST(VirtualWaveIn, InjectedFailures_FailTheChosenCallOnly) {
  struct Case {
    WaveOperation op;
    const char* name;
  };
  const Case cases[] = {{WaveOperation::Open, "open"},       {WaveOperation::Prepare, "prepare"},
                        {WaveOperation::Queue, "queue"},     {WaveOperation::Start, "start"},
                        {WaveOperation::Position, "position"}, {WaveOperation::Stop, "stop"},
                        {WaveOperation::Reset, "reset"},     {WaveOperation::Unprepare, "unprepare"},
                        {WaveOperation::Close, "close"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualWaveIn device;
    device.SetManual();
    device.SetSourceSamples(Ramp(100));
    DoneLog log;
    Buffers b(1, 20);
    WaveHeader& h = b.headers[0];
    device.InjectFailure(c.op, 1);  // the second call fails
    auto twice = [&](auto call) {
      EXPECT_TRUE(call());
      EXPECT_FALSE(call());
      EXPECT_TRUE(call());
    };
    switch (c.op) {
      case WaveOperation::Open:
        twice([&] {
          bool ok = device.Open(Mono16(), &DoneLog::Callback, &log);
          if (ok) device.Close();
          return ok;
        });
        break;
      case WaveOperation::Close:
        twice([&] {
          device.Open(Mono16(), &DoneLog::Callback, &log);
          bool ok = device.Close();
          EXPECT_FALSE(device.IsOpen()) << "a failed close still closes";
          return ok;
        });
        break;
      default:
        ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
        if (c.op == WaveOperation::Prepare) {
          twice([&] { return device.Prepare(h); });
        } else if (c.op == WaveOperation::Unprepare) {
          twice([&] { return device.Prepare(h) && device.Unprepare(h); });
        } else if (c.op == WaveOperation::Queue) {
          ASSERT_TRUE(device.Prepare(h));
          twice([&] {
            bool ok = device.Queue(h);
            device.Reset();
            return ok;
          });
        } else if (c.op == WaveOperation::Start) {
          twice([&] { return device.Start(); });
        } else if (c.op == WaveOperation::Position) {
          uint32_t p;
          twice([&] { return device.GetPosition(p); });
        } else if (c.op == WaveOperation::Stop) {
          twice([&] { return device.Stop(); });
        } else if (c.op == WaveOperation::Reset) {
          twice([&] { return device.Reset(); });
        }
    }
    EXPECT_EQ(device.CallCount(c.op), 3u);
  }
}

TEST(VirtualWaveIn, Clock_RunsInRealTimeOrAsFastAsBuffersAllow) {
  VirtualWaveIn device;
  DoneLog log;
  device.SetSourceSamples(Ramp(30000));
  device.SetSpeed(1.0);
  ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  Buffers b(2, 2 * 1102);  // 0.1 s each
  for (auto& h : b.headers) {
    ASSERT_TRUE(device.Prepare(h));
    ASSERT_TRUE(device.Queue(h));
  }
  auto begin = std::chrono::steady_clock::now();
  ASSERT_TRUE(device.Start());
  ASSERT_TRUE(log.WaitFor(2));
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_GE(elapsed, 0.18) << "0.2 s of sound in real time";

  device.SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  Buffers more(5, 4000);
  begin = std::chrono::steady_clock::now();
  for (auto& h : more.headers) {
    ASSERT_TRUE(device.Prepare(h));
    ASSERT_TRUE(device.Queue(h));
  }
  ASSERT_TRUE(log.WaitFor(7));
  elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_LT(elapsed, 0.5) << "0.9 s of sound as fast as possible";
  EXPECT_EQ(SampleAt(more.data[4], 1999), static_cast<int16_t>(2 * 1102 + 4 * 2000 + 1999));
}

}  // namespace
}  // namespace vowelscope
