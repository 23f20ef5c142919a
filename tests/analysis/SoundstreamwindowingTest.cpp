#include <gtest/gtest.h>

#include <vector>

#include "Signals.h"
#include "analysis/Soundstreamwindowing.h"
#include "analysis/Windowfunction.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using testsignals::MonoFormat;

// Sample i holds the value i + 1, so every frame value names the source frame it came from (0 = padding).
class RampStream {
 public:
  explicit RampStream(unsigned count, const SoundFormat& format = MonoFormat()) : samples(count) {
    for (unsigned i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i + 1);
    stream = std::make_unique<SoundMemoryStream>(samples.data(), count, format);
  }
  SoundMemoryStream& operator*() { return *stream; }

 private:
  std::vector<int16_t> samples;
  std::unique_ptr<SoundMemoryStream> stream;
};

// The frame as source positions: -1 for padding.
std::vector<int> Positions(const double* frame, unsigned N) {
  std::vector<int> out(N);
  for (unsigned i = 0; i < N; ++i) out[i] = static_cast<int>(frame[i]) - 1;
  return out;
}

std::vector<int> Expected(int zeros, int from, int to) {
  std::vector<int> out(zeros, -1);
  for (int p = from; p <= to; ++p) out.push_back(p);
  return out;
}

struct FramingCase {
  const char* name;
  unsigned shift, N, start;
  std::vector<std::vector<int>> frames;  // expected source positions of the first frames
};

TEST(SoundStreamWindowing, FramesCoverTheSourceFromHalfAWindowBeforeEachHop) {
  const FramingCase cases[] = {
      {"overlap from the start", 110, 220, 0, {Expected(110, 0, 109), Expected(0, 0, 219), Expected(0, 110, 329)}},
      {"overlap inside", 110, 366, 1000, {Expected(0, 817, 1182), Expected(0, 927, 1292)}},
      {"gap skipped after each frame",
       500,
       220,
       0,
       {Expected(110, 0, 109), Expected(0, 390, 609), Expected(0, 890, 1109)}},
      {"no overlap, no gap", 220, 220, 500, {Expected(0, 390, 609), Expected(0, 610, 829)}},
      // A short overlap near the start holds only `overlap` zeros; the frames lie later than the rule.
      {"overlap shorter than the distance to the start", 200, 220, 0, {Expected(20, 0, 199), Expected(0, 180, 399)}},
  };
  for (const auto& c : cases) {
    RampStream source(3000);
    SoundStreamWindowing windowing(*source);
    windowing.SetShift(c.shift);
    windowing.SetWindowLength(c.N);
    unsigned frames = 0;
    ASSERT_TRUE(windowing.Begin(c.start, 1000, frames)) << c.name;
    for (size_t k = 0; k < c.frames.size(); ++k) {
      const double* frame = nullptr;
      ASSERT_TRUE(windowing.Next(frame)) << c.name;
      EXPECT_EQ(Positions(frame, c.N), c.frames[k]) << c.name << " frame " << k;
    }
  }
}

TEST(SoundStreamWindowing, FrameCountIsTheRangeOverTheHopRoundedUp_CountZeroMeaningToTheEnd) {
  RampStream source(3000);
  SoundStreamWindowing windowing(*source);
  EXPECT_EQ(windowing.GetShift(), 110u);
  EXPECT_EQ(windowing.GetWindowLength(), 220u);
  struct {
    unsigned start, count, frames;
  } cases[] = {{0, 1000, 10}, {0, 1100, 10}, {0, 1101, 11}, {0, 0, 28}, {2000, 0, 10}, {2500, 5000, 5}, {3000, 0, 0}};
  for (const auto& c : cases) {
    unsigned frames = 99;
    EXPECT_TRUE(windowing.Begin(c.start, c.count, frames)) << c.start << "+" << c.count;
    EXPECT_EQ(frames, c.frames) << c.start << "+" << c.count;
  }
}

TEST(SoundStreamWindowing, FramesPastTheEndAreZeroPadded) {
  RampStream source(300);
  SoundStreamWindowing windowing(*source);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(0, 0, frames));
  EXPECT_EQ(frames, 3u);
  const double* frame = nullptr;
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(windowing.Next(frame));
  // Frame 2 covers 110 .. 329; the source ends at 299.
  std::vector<int> expected = Expected(0, 110, 299);
  expected.resize(220, -1);
  EXPECT_EQ(Positions(frame, 220), expected);
  ASSERT_TRUE(windowing.Next(frame));
  EXPECT_EQ(Positions(frame, 220), [] {
    std::vector<int> e = Expected(0, 220, 299);
    e.resize(220, -1);
    return e;
  }());
}

TEST(SoundStreamWindowing, WindowWeightsEveryFrame_AndFloatSamplesKeepTheirValue) {
  std::vector<float> samples(1000, 0.5f);
  SoundMemoryStream source(samples.data(), 1000, MonoFormat(Float, 32));
  SoundStreamWindowing windowing(source);
  windowing.SetWindowType(HannWindow);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(200, 500, frames));
  const double* frame = nullptr;
  ASSERT_TRUE(windowing.Next(frame));
  for (int i = 0; i < 220; ++i) EXPECT_DOUBLE_EQ(frame[i], 0.5 * Hann(i, 220)) << i;
}

TEST(SoundStreamWindowing, BeginRefusesWhatItCannotFrame) {
  struct {
    const char* name;
    SoundFormat format;
    unsigned shift, N;
    int type;
    unsigned start;
  } cases[] = {
      {"24-bit samples", MonoFormat(PcmSigned, 24), 110, 220, 0, 0},
      {"8-bit samples", MonoFormat(PcmUnsigned, 8), 110, 220, 0, 0},
      {"hop of 0", MonoFormat(), 0, 220, 0, 0},
      {"window of 0", MonoFormat(), 110, 0, 0, 0},
      {"unknown window type", MonoFormat(), 110, 220, 9, 0},
      {"start past the end", MonoFormat(), 110, 220, 0, 1001},
  };
  for (const auto& c : cases) {
    std::vector<int32_t> memory(1000, 0);  // large enough for every format above
    SoundMemoryStream source(memory.data(), 1000, c.format);
    SoundStreamWindowing windowing(source);
    windowing.SetShift(c.shift);
    windowing.SetWindowLength(c.N);
    windowing.SetWindowType(c.type);
    unsigned frames = 7;
    EXPECT_FALSE(windowing.Begin(c.start, 0, frames)) << c.name;
    EXPECT_EQ(frames, 0u) << c.name;
    const double* frame = nullptr;
    EXPECT_FALSE(windowing.Next(frame)) << c.name;
  }

  SoundMemoryStream empty(MonoFormat());
  SoundStreamWindowing windowing(empty);
  unsigned frames = 0;
  EXPECT_FALSE(windowing.Begin(0, 0, frames)) << "an empty source cannot be seeked";
}

TEST(SoundStreamWindowing, WindowOfOneSampleGivesTheSamplesThemselves) {
  RampStream source(100);
  SoundStreamWindowing windowing(*source);
  windowing.SetShift(10);
  windowing.SetWindowLength(1);
  windowing.SetWindowType(HannWindow);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(5, 50, frames));
  EXPECT_EQ(frames, 5u);
  const double* frame = nullptr;
  for (int k = 0; k < 5; ++k) {
    ASSERT_TRUE(windowing.Next(frame));
    EXPECT_EQ(frame[0], 5 + 10 * k + 1) << k;
  }
}

TEST(SoundStreamWindowing, EndReleasesTheFrames) {
  RampStream source(1000);
  SoundStreamWindowing windowing(*source);
  unsigned frames = 0;
  ASSERT_TRUE(windowing.Begin(0, 0, frames));
  windowing.End();
  const double* frame = nullptr;
  EXPECT_FALSE(windowing.Next(frame));
}

}  // namespace
}  // namespace vowelscope
