#include "platform/Virtualwaveout.h"

#include <gtest/gtest.h>

#include "Wavedevicetestsupport.h"

namespace vowelscope {
namespace {

using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::Mono16;

// Buffer i holds samples 100 * i + 0, 1, 2, ...
void FillNumbered(Buffers& b) {
  for (size_t i = 0; i < b.data.size(); ++i) {
    for (size_t k = 0; k < b.data[i].size() / 2; ++k) {
      uint16_t v = static_cast<uint16_t>(100 * i + k);
      b.data[i][2 * k] = static_cast<uint8_t>(v & 0xFF);
      b.data[i][2 * k + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
}

class VirtualWaveOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device.SetManual();
    ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  }
  VirtualWaveOut device;
  DoneLog log;
};

TEST_F(VirtualWaveOutTest, PlaysInQueueOrder_HandsBackEachWhenPlayed_AndCountsFrames) {
  Buffers b(3, 20);
  FillNumbered(b);
  b.headers[1].bufferLength = 8;  // a short buffer plays only its own bytes
  for (auto& h : b.headers) {
    ASSERT_TRUE(device.Prepare(h));
    ASSERT_TRUE(device.Queue(h));
  }
  EXPECT_EQ(device.Step(12), 12u);
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0}));
  EXPECT_FALSE(device.Unprepare(b.headers[1])) << "still playing";
  EXPECT_EQ(device.Step(100), 12u) << "the device runs dry after the last buffer";
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1, 2}));
  uint32_t position = 0;
  ASSERT_TRUE(device.GetPosition(position));
  EXPECT_EQ(position, 24u);
  std::vector<int16_t> expected;
  for (int k = 0; k < 10; ++k) expected.push_back(static_cast<int16_t>(k));
  for (int k = 0; k < 4; ++k) expected.push_back(static_cast<int16_t>(100 + k));
  for (int k = 0; k < 10; ++k) expected.push_back(static_cast<int16_t>(200 + k));
  EXPECT_EQ(device.PlayedSamples(), expected);
}

TEST_F(VirtualWaveOutTest, Reset_HandsBackEveryQueuedBuffer_AndKeepsThePosition) {
  Buffers b(3, 20);
  for (auto& h : b.headers) {
    ASSERT_TRUE(device.Prepare(h));
    ASSERT_TRUE(device.Queue(h));
  }
  device.Step(15);
  EXPECT_EQ(device.QueuedCount(), 2u);
  ASSERT_TRUE(device.Reset());
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1, 2}));
  EXPECT_EQ(device.QueuedCount(), 0u);
  for (auto& h : b.headers) EXPECT_TRUE(device.Unprepare(h));
  uint32_t position = 0;
  ASSERT_TRUE(device.GetPosition(position));
  EXPECT_EQ(position, 15u) << "the position counts from Open";

  ASSERT_TRUE(device.Prepare(b.headers[0]));
  ASSERT_TRUE(device.Queue(b.headers[0]));
  EXPECT_EQ(device.Step(10), 10u) << "playing goes on after a reset";
}

TEST(VirtualWaveOut, AsFastAsPossible_PlaysWithoutStepping) {
  VirtualWaveOut device;
  DoneLog log;
  device.SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  Buffers b(4, 11024);
  for (auto& h : b.headers) {
    ASSERT_TRUE(device.Prepare(h));
    ASSERT_TRUE(device.Queue(h));
  }
  ASSERT_TRUE(log.WaitFor(4, std::chrono::seconds(1)));
  EXPECT_EQ(device.Played().size(), 4u * 11024u);
  EXPECT_TRUE(device.Close());
}

TEST(VirtualWaveOut, InjectedFailure_LeavesTheBufferWithTheCaller) {
  VirtualWaveOut device;
  DoneLog log;
  device.SetManual();
  ASSERT_TRUE(device.Open(Mono16(), &DoneLog::Callback, &log));
  Buffers b(1, 20);
  ASSERT_TRUE(device.Prepare(b.headers[0]));
  device.InjectFailure(WaveOperation::Queue);
  EXPECT_FALSE(device.Queue(b.headers[0]));
  EXPECT_FALSE(b.headers[0].Has(WaveHeader::InQueue));
  EXPECT_TRUE(device.Unprepare(b.headers[0]));
  device.InjectFailure(WaveOperation::Position, 0, 2);
  uint32_t p;
  EXPECT_FALSE(device.GetPosition(p));
  EXPECT_FALSE(device.GetPosition(p));
  EXPECT_TRUE(device.GetPosition(p));
  EXPECT_EQ(device.CallCount(WaveOperation::Position), 3u);
}

}  // namespace
}  // namespace vowelscope
