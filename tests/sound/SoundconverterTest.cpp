#include "sound/Soundconverter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "support/Testfolder.h"
#include "sound/Nullconvert.h"
#include "sound/Soundmemorystream.h"
#include "sound/Wavefilestream.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

SoundFormat Mono16(uint32_t rate = 11025) {
  SoundFormat f;
  f.SetKind(PcmSigned);
  f.SetNativeLayout(1);
  f.SetChannels(1);
  f.SetSampleRate(rate);
  f.SetBitsPerSample(16);
  return f;
}

std::vector<int16_t> Ramp(unsigned n) {
  std::vector<int16_t> v(n);
  for (unsigned i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i * 7 - 20000);
  return v;
}

struct ProgressLog {
  std::vector<ProgressCallbackParams> calls;
  void OnProgress(ProgressCallbackParams& p) { calls.push_back(p); }
  std::vector<int> Positions() const {
    std::vector<int> v;
    for (const auto& p : calls) v.push_back(p.position);
    return v;
  }
};

// Counts the calls and the frames that pass, and can fail its n-th read.
class CountingStream : public SoundStream {
 public:
  CountingStream(SoundStream& inner, int failReadAt = -1) : inner(inner), failReadAt(failReadAt) {
    format = inner.GetFormat();
    length = inner.GetLength();
    canRead = canWrite = true;
  }
  bool Read(void* buffer, unsigned frames, int* framesRead) override {
    if (reads++ == failReadAt) return false;
    return inner.Read(buffer, frames, framesRead);
  }
  bool Write(const void* buffer, unsigned frames, int* framesWritten) override {
    ++writes;
    return inner.Write(buffer, frames, framesWritten);
  }
  bool Seek(int offset, int origin) override { return inner.Seek(offset, origin); }
  unsigned Tell() override { return inner.Tell(); }

  SoundStream& inner;
  int failReadAt;
  int reads = 0;
  int writes = 0;
};

TEST(SoundConvertExecuter, CopiesARecordingIntoAWaveFileInBlocksAndReportsProgress) {
  const fs::path path = testsupport::TestFolder("sound") / "save.wav";
  SoundMemoryStream recording(Mono16());
  const auto frames = Ramp(5000);
  ASSERT_TRUE(recording.Write(frames.data(), 5000, nullptr));
  ASSERT_TRUE(recording.Seek(0, kSeekBegin));

  ProgressLog log;
  {
    WaveFileStream file(path.string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(file.IsOpen());
    CountingStream destination(file);
    SoundConvertExecuter executer;
    executer.SetConverter(NullConvert());
    executer.AddProgressCallback(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
    ASSERT_TRUE(executer.Run(recording, destination));
    EXPECT_EQ(destination.writes, 3);  // 2048, 2048, 904
    EXPECT_EQ(file.GetLength(), 5000u);
  }
  EXPECT_EQ(log.Positions(), std::vector<int>({0, 2048, 4096, 5000, 5000}));
  for (const auto& p : log.calls) {
    EXPECT_EQ(p.minimum, 0);
    EXPECT_EQ(p.maximum, 5000);
  }

  WaveFileStream reread(path.string(), SoundFileStream::ModeRead);
  ASSERT_EQ(reread.GetLength(), 5000u);
  std::vector<int16_t> back(5000);
  int got = 0;
  ASSERT_TRUE(reread.Read(back.data(), 5000, &got));
  EXPECT_EQ(got, 5000);
  EXPECT_EQ(back, frames);
}

TEST(SoundConvertExecuter, CopiesAWaveFileIntoMemoryFromTheSourcePosition) {
  const fs::path path = testsupport::TestFolder("sound") / "load.wav";
  const auto frames = Ramp(3000);
  {
    WaveFileStream file(path.string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(file.Write(frames.data(), 3000, nullptr));
  }
  WaveFileStream file(path.string(), SoundFileStream::ModeRead);
  ASSERT_TRUE(file.Seek(1000, kSeekBegin));
  SoundMemoryStream memory(file.GetFormat());
  SoundConvertExecuter executer;
  executer.SetConverter(NullConvert());
  ASSERT_TRUE(executer.Run(file, memory));
  ASSERT_EQ(memory.GetLength(), 2000u);
  EXPECT_EQ(std::memcmp(memory.GetData(), frames.data() + 1000, 4000), 0);
}

TEST(SoundConvertExecuter, FullViewDestinationTakesFewerFramesWithoutFailing) {
  SoundMemoryStream source(Mono16());
  const auto frames = Ramp(5000);
  ASSERT_TRUE(source.Write(frames.data(), 5000, nullptr));
  ASSERT_TRUE(source.Seek(0, kSeekBegin));
  std::vector<int16_t> target(3000, 0);
  SoundMemoryStream view(target.data(), 3000, Mono16());
  SoundConvertExecuter executer;
  executer.SetConverter(NullConvert());
  EXPECT_TRUE(executer.Run(source, view));
  EXPECT_EQ(std::vector<int16_t>(frames.begin(), frames.begin() + 3000), target);
  EXPECT_EQ(source.Tell(), 5000u);
}

TEST(SoundConvertExecuter, EmptySourceSucceedsAtOnceWithProgressZeroAndZero) {
  SoundMemoryStream source(Mono16());
  SoundMemoryStream destination(Mono16());
  ProgressLog log;
  SoundConvertExecuter executer;
  executer.SetConverter(NullConvert());
  executer.AddProgressCallback(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
  EXPECT_TRUE(executer.Run(source, destination));
  EXPECT_EQ(log.Positions(), std::vector<int>({0, 0}));
  EXPECT_EQ(log.calls[0].maximum, 0);
  EXPECT_EQ(destination.GetLength(), 0u);
}

TEST(SoundConvertExecuter, RefusesToRunWithoutAConverterOrBetweenDifferentFormats) {
  SoundMemoryStream memory(Mono16());
  const auto frames = Ramp(100);
  ASSERT_TRUE(memory.Write(frames.data(), 100, nullptr));
  ASSERT_TRUE(memory.Seek(0, kSeekBegin));

  struct Case {
    const char* name;
    bool converter;
    SoundFormat to;
  };
  SoundFormat noLayout = Mono16();
  noLayout.SetNativeLayout(0);
  const std::vector<Case> cases = {
      {"no converter", false, Mono16()},
      {"other rate", true, Mono16(22050)},
      {"other layout flag", true, noLayout},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SoundMemoryStream inner(c.to);
    CountingStream source(memory);
    CountingStream destination(inner);
    ProgressLog log;
    SoundConvertExecuter executer;
    if (c.converter) executer.SetConverter(NullConvert());
    executer.AddProgressCallback(CallbackMethod<ProgressLog, ProgressCallbackParams>(&log, &ProgressLog::OnProgress));
    EXPECT_FALSE(executer.Run(source, destination));
    EXPECT_EQ(source.reads, 0);
    EXPECT_EQ(destination.writes, 0);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(memory.Tell(), 0u);
  }
}

TEST(SoundConvertExecuter, FailedReadStopsTheRunAndKeepsWhatWasWritten) {
  SoundMemoryStream memory(Mono16());
  const auto frames = Ramp(5000);
  ASSERT_TRUE(memory.Write(frames.data(), 5000, nullptr));
  ASSERT_TRUE(memory.Seek(0, kSeekBegin));
  CountingStream source(memory, 1);  // the second read fails
  SoundMemoryStream destination(Mono16());
  SoundConvertExecuter executer;
  executer.SetConverter(NullConvert());
  EXPECT_FALSE(executer.Run(source, destination));
  EXPECT_EQ(destination.GetLength(), 2048u);

  // A destination that cannot be written fails the run as well.
  ASSERT_TRUE(memory.Seek(0, kSeekBegin));
  const fs::path path = testsupport::TestFolder("sound") / "readonly.wav";
  { WaveFileStream create(path.string(), Mono16(), SoundFileStream::ModeCreate); }
  WaveFileStream readOnly(path.string(), SoundFileStream::ModeRead);
  ASSERT_TRUE(readOnly.IsOpen());
  EXPECT_FALSE(executer.Run(memory, readOnly));
}

TEST(SoundConvertExecuter, KeepsItsOwnCopyOfTheConverter) {
  SoundConvertExecuter executer;
  {
    auto component = std::make_unique<NullConvert>();
    executer.SetConverter(*component);
    executer.SetConverter(*component);  // replacing frees the previous copy
  }
  SoundMemoryStream source(Mono16());
  const auto frames = Ramp(10);
  ASSERT_TRUE(source.Write(frames.data(), 10, nullptr));
  ASSERT_TRUE(source.Seek(0, kSeekBegin));
  SoundMemoryStream destination(Mono16());
  EXPECT_TRUE(executer.Run(source, destination));
  EXPECT_EQ(destination.GetLength(), 10u);
}

TEST(NullConvert, CopiesWholeFramesBetweenEqualFormats) {
  NullConvert convert;
  SoundFormat stereo = Mono16();
  stereo.SetChannels(2);
  EXPECT_TRUE(convert.CanConvert(stereo, stereo));
  EXPECT_FALSE(convert.CanConvert(stereo, Mono16()));
  int maxOut = -1;
  EXPECT_FALSE(convert.BeginConvert(stereo, Mono16(), 2048, maxOut));
  ASSERT_TRUE(convert.BeginConvert(stereo, stereo, 2048, maxOut));
  EXPECT_EQ(maxOut, 2048);

  const int16_t in[6] = {1, 2, 3, 4, 5, 6};
  int16_t out[8] = {0, 0, 0, 0, 0, 0, 9, 9};
  int n = -1;
  ASSERT_TRUE(convert.Convert(in, 3, out, &n));
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::vector<int16_t>(out, out + 8), std::vector<int16_t>({1, 2, 3, 4, 5, 6, 9, 9}));
  ASSERT_TRUE(convert.Convert(in, 1, out, nullptr));

  // A clone keeps the frame size it was prepared with.
  std::unique_ptr<SoundConvertComponent> clone(convert.Clone());
  int16_t cloned[4] = {0, 0, 9, 9};
  ASSERT_TRUE(clone->Convert(in, 1, cloned, nullptr));
  EXPECT_EQ(std::vector<int16_t>(cloned, cloned + 4), std::vector<int16_t>({1, 2, 9, 9}));

  n = -1;
  ASSERT_TRUE(convert.Flush(out, &n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(convert.Flush(out, nullptr));
  EXPECT_DOUBLE_EQ(convert.Ratio(), 1.0);
}

}  // namespace
}  // namespace vowelscope
