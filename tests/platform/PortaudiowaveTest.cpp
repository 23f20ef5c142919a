// The PortAudio devices on the machine's default devices: with the test sound server these are the
// null sink (output) and its monitor (input).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "Wavedevicesoundserver.h"
#include "Wavedevicetestsupport.h"
#include "platform/Portaudiowavein.h"
#include "platform/Portaudiowaveout.h"

namespace vowelscope {
namespace {

using wavetest::Buffers;
using wavetest::DoneLog;
using wavetest::MissingSoundServer;
using wavetest::Mono16;

constexpr unsigned kTenth = 2 * 1102;  // bytes of 0.1 s

TEST(PortAudioWave, Open_FailsCleanlyForAnUnknownDeviceOrFormat) {
  PortAudioWaveIn in(12345);
  EXPECT_FALSE(in.Open(Mono16(), &DoneLog::Callback, nullptr));
  PortAudioWaveOut out(12345);
  EXPECT_FALSE(out.Open(Mono16(), &DoneLog::Callback, nullptr));
  WaveDeviceFormat odd = Mono16();
  odd.bitsPerSample = 12;
  PortAudioWaveIn defaultIn;
  EXPECT_FALSE(defaultIn.Open(odd, &DoneLog::Callback, nullptr));
  EXPECT_FALSE(defaultIn.Close()) << "nothing was opened";
  Buffers b(1, 20);
  EXPECT_FALSE(defaultIn.Queue(b.headers[0]));
  uint32_t position;
  EXPECT_FALSE(defaultIn.GetPosition(position));
}

// What the process writes to stderr while `run` runs.
template <typename Run>
std::string StderrOf(Run run) {
  const std::string path = std::string(VOWELSCOPE_TEST_TMP) + "/portaudio-stderr-" + std::to_string(getpid());
  std::fflush(stderr);
  const int saved = dup(2);
  FILE* sink = std::fopen(path.c_str(), "w");
  if (saved < 0 || sink == nullptr) return "cannot capture stderr";
  dup2(fileno(sink), 2);
  run();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(sink);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

TEST(PortAudioWave, OpeningTheDefaultDevices_PrintsNoneOfTheSoundLibrariesProbing) {
  // Without the hooks, ALSA and JACK print about a hundred lines here (missing cards, no JACK server).
  const std::string printed = StderrOf([] {
    for (int round = 0; round < 2; ++round) {
      PortAudioWaveIn in;
      if (in.Open(Mono16(), &DoneLog::Callback, nullptr)) in.Close();
      PortAudioWaveOut out;
      if (out.Open(Mono16(), &DoneLog::Callback, nullptr)) out.Close();
    }
  });
  EXPECT_TRUE(printed.empty()) << std::count(printed.begin(), printed.end(), '\n') << " lines, beginning:\n"
                               << printed.substr(0, 300);
}

TEST(PortAudioWave, Input_FillsInOrder_StopHandsBackThePartBuffer_ResetTheRest) {
  VS_REQUIRE_SOUND(MissingSoundServer());
  PortAudioWaveIn in;
  DoneLog log;
  VS_REQUIRE_SOUND(in.Open(Mono16(), &DoneLog::Callback, &log) ? "" : "PortAudio finds no input device");
  Buffers b(4, kTenth);
  for (auto& h : b.headers) {
    ASSERT_TRUE(in.Prepare(h));
    ASSERT_TRUE(in.Queue(h));
  }
  ASSERT_TRUE(in.Start());
  ASSERT_TRUE(log.WaitFor(2, std::chrono::seconds(3)));
  EXPECT_FALSE(in.Unprepare(b.headers[3])) << "still held by the device";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ASSERT_TRUE(in.Stop());
  auto done = log.Done();
  auto bytes = log.Bytes();
  ASSERT_GE(done.size(), 3u) << "the buffer being filled comes back on Stop";
  EXPECT_EQ(done[0], 0u);
  EXPECT_EQ(done[1], 1u);
  EXPECT_EQ(bytes[0], kTenth);
  EXPECT_EQ(bytes[1], kTenth);
  EXPECT_GT(bytes.back(), 0u);
  EXPECT_LT(bytes.back(), kTenth);
  EXPECT_EQ(bytes.back() % 2, 0u) << "whole frames";
  uint32_t position = 0;
  ASSERT_TRUE(in.GetPosition(position));
  uint32_t sum = 0;
  for (uint32_t n : bytes) sum += n;
  EXPECT_EQ(position, sum) << "the position counts what went into buffers";

  ASSERT_TRUE(in.Reset());
  EXPECT_EQ(log.Done().size(), 4u);
  for (auto& h : b.headers) EXPECT_TRUE(in.Unprepare(h));
  ASSERT_TRUE(in.GetPosition(position));
  EXPECT_EQ(position, 0u);
  EXPECT_TRUE(in.Close());
}

TEST(PortAudioWave, Output_PlaysInOrder_HandsBackWhenHeard_ResetReturnsTheRest) {
  VS_REQUIRE_SOUND(MissingSoundServer());
  PortAudioWaveOut out;
  DoneLog log;
  VS_REQUIRE_SOUND(out.Open(Mono16(), &DoneLog::Callback, &log) ? "" : "PortAudio finds no output device");
  Buffers b(3, kTenth);  // silence: other tests may be listening to the sink
  auto begin = std::chrono::steady_clock::now();
  for (auto& h : b.headers) {
    ASSERT_TRUE(out.Prepare(h));
    ASSERT_TRUE(out.Queue(h));
  }
  ASSERT_TRUE(log.WaitFor(3, std::chrono::seconds(3)));
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_GE(elapsed, 0.25) << "0.3 s of sound is not handed back before it is played";
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1, 2}));
  uint32_t position = 0;
  ASSERT_TRUE(out.GetPosition(position));
  EXPECT_EQ(position, 3u * 1102u);

  Buffers more(2, 10 * kTenth);
  for (auto& h : more.headers) {
    h.user += 10;
    ASSERT_TRUE(out.Prepare(h));
    ASSERT_TRUE(out.Queue(h));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(out.Unprepare(more.headers[0]));
  ASSERT_TRUE(out.Reset());
  EXPECT_EQ(log.Done(), (std::vector<uintptr_t>{0, 1, 2, 10, 11}));
  for (auto& h : more.headers) EXPECT_TRUE(out.Unprepare(h));
  uint32_t after = 0;
  ASSERT_TRUE(out.GetPosition(after));
  EXPECT_GT(after, position);
  EXPECT_LT(after, position + 11025u) << "a reset stops at once";
  EXPECT_TRUE(out.Close());
}

}  // namespace
}  // namespace vowelscope
