#include "analysis/Autosegment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Signals.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using testsignals::MonoFormat;

constexpr unsigned kBlock = 275;
constexpr int16_t kLoud = 3277;  // -20 dBFS
const double kFullScale16 = 20.0 * std::log10(32768.0);

// A 16-bit recording described block by block: 'L' loud (-20 dBFS), '.' silent.
std::vector<int16_t> Blocks(const std::string& pattern) {
  std::vector<int16_t> samples(pattern.size() * kBlock, 0);
  for (size_t b = 0; b < pattern.size(); ++b) {
    if (pattern[b] == 'L') testsignals::FillSquare(samples, static_cast<unsigned>(b * kBlock), kBlock, kLoud);
  }
  return samples;
}

std::string Repeat(char c, int n) { return std::string(n, c); }

struct Stretch {
  unsigned start, length;
  bool operator==(const Stretch&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Stretch& s) { return out << s.start << "+" << s.length; }

// Every stretch from 0 onward, once with levels measured at attach time and once read from the stream;
// the two must agree.
std::vector<Stretch> AllStretches(std::vector<int16_t>& samples, void (*configure)(AutoSegment&) = nullptr) {
  std::vector<Stretch> found[2];
  for (bool stored : {true, false}) {
    SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
    AutoSegment segmentation;
    if (configure) configure(segmentation);
    EXPECT_TRUE(segmentation.Attach(view, stored));
    unsigned from = 0, start = 0, length = 0;
    while (segmentation.FindSegment(from, start, length) && found[stored].size() < 20) {
      found[stored].push_back({start, length});
      from = start + length;
    }
  }
  EXPECT_EQ(found[0], found[1]) << "stored levels and levels read from the stream disagree";
  return found[1];
}

TEST(AutoSegment, LoudStretchBetweenSilencesWidenedByTheMargin) {
  auto samples = Blocks(Repeat('.', 10) + Repeat('L', 20) + Repeat('.', 20));
  EXPECT_EQ(AllStretches(samples), (std::vector<Stretch>{{10 * 275 - 2205, 20 * 275 + 2 * 2205}}));  // 545 + 9910
}

TEST(AutoSegment, ScanStopsAtTheFirstBlockMoreThanTheLongestPauseAfterTheGapBegan) {
  // The stretch ends with its gap whatever follows the 7th silent block.
  auto samples = Blocks(Repeat('.', 10) + Repeat('L', 20) + Repeat('.', 6) + Repeat('L', 20));
  auto found = AllStretches(samples);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (Stretch{545, 9910}));
  // The next search starts where the widened stretch ended (frame 10455, so block 39) and finds the
  // rest of the second loud run, which lasts to the end.
  EXPECT_EQ(found[1].start, 39u * 275 - 2205);
  EXPECT_EQ(found[1].start + found[1].length, samples.size()) << "no margin past the end";
}

TEST(AutoSegment, PausesOfUpToFiveBlocksDoNotEndAStretch_SixDo) {
  auto five = Blocks(Repeat('.', 10) + Repeat('L', 10) + Repeat('.', 5) + Repeat('L', 10) + Repeat('.', 20));
  EXPECT_EQ(AllStretches(five), (std::vector<Stretch>{{545, 25 * 275 + 2 * 2205}}));
  auto six = Blocks(Repeat('.', 10) + Repeat('L', 10) + Repeat('.', 6) + Repeat('L', 10) + Repeat('.', 20));
  auto found = AllStretches(six);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (Stretch{545, 10 * 275 + 2 * 2205}));
}

TEST(AutoSegment, BlipsShorterThanTheShortestVoiceAreDropped) {
  auto samples = Blocks(Repeat('.', 10) + "L" + Repeat('.', 10) + "LLLL" + Repeat('.', 20) + "LLL" + Repeat('.', 20));
  // One block (275) and ... four blocks (1100) are shorter than 1102 frames; the scan goes on past them.
  // Three blocks of 825 frames too; nothing is found.
  EXPECT_TRUE(AllStretches(samples).empty());
  auto longer = Blocks(Repeat('.', 10) + "L" + Repeat('.', 10) + "LLLLL" + Repeat('.', 20));
  EXPECT_EQ(AllStretches(longer), (std::vector<Stretch>{{21 * 275 - 2205, 5 * 275 + 2 * 2205}}));
}

TEST(AutoSegment, ThresholdsHaveHysteresis) {
  // Blocks between the two thresholds (-32 dBFS) neither start nor end a stretch.
  std::vector<int16_t> samples = Blocks(Repeat('.', 10) + "mmmm" + Repeat('L', 10) + Repeat('m', 20) + Repeat('.', 20));
  const int16_t middle = static_cast<int16_t>(32768 * std::pow(10.0, -32.0 / 20.0));
  for (int b = 10; b < 14; ++b) testsignals::FillSquare(samples, b * kBlock, kBlock, middle);
  for (int b = 24; b < 44; ++b) testsignals::FillSquare(samples, b * kBlock, kBlock, middle);
  EXPECT_EQ(AllStretches(samples), (std::vector<Stretch>{{14 * 275 - 2205, 30 * 275 + 2 * 2205}}));
}

TEST(AutoSegment, FromStartsAtTheBlockThatBeginsAtOrAfterIt) {
  auto samples = Blocks(Repeat('L', 10) + Repeat('.', 20));
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
  AutoSegment segmentation;
  segmentation.SetMargin(0.0);
  ASSERT_TRUE(segmentation.Attach(view, true));
  unsigned start = 0, length = 0;
  ASSERT_TRUE(segmentation.FindSegment(0, start, length));
  EXPECT_EQ(Stretch(start, length), (Stretch{0, 2750}));
  ASSERT_TRUE(segmentation.FindSegment(1, start, length));
  EXPECT_EQ(Stretch(start, length), (Stretch{275, 2475}));
  ASSERT_TRUE(segmentation.FindSegment(275, start, length));
  EXPECT_EQ(Stretch(start, length), (Stretch{275, 2475}));
  EXPECT_FALSE(segmentation.FindSegment(2751, start, length));
  EXPECT_FALSE(segmentation.FindSegment(0xffffffffu, start, length));
}

TEST(AutoSegment, ZeroPauseAndZeroShortestVoice_StretchesAreRunsOfLoudBlocks) {
  // The F0 pass's parameters: one threshold, no pause, nothing dropped, 10 ms margins.
  auto configure = [](AutoSegment& s) {
    s.SetStartThreshold(-25.0);
    s.SetEndThreshold(-25.0);
    s.SetMinVoice(0.0);
    s.SetMaxGap(0.0);
    s.SetMargin(0.01);
  };
  auto samples = Blocks(Repeat('.', 10) + "L" + Repeat('.', 3) + "LL." + "L");
  EXPECT_EQ(AllStretches(samples, configure),
            (std::vector<Stretch>{{2640, 495}, {14 * 275 - 110, 2 * 275 + 220}, {17 * 275 - 110, 275 + 110}}));
}

TEST(AutoSegment, LevelsInDecibelsBelowFullScale) {
  struct {
    const char* name;
    std::vector<int16_t> block;
    double level;
  } cases[] = {
      {"zeros", std::vector<int16_t>(kBlock, 0), -kFullScale16},
      {"mean square exactly 1", std::vector<int16_t>(kBlock, -1), -kFullScale16},
      {"mean square 4", std::vector<int16_t>(kBlock, 2), 10.0 * std::log10(4.0) - kFullScale16},
      {"full scale", std::vector<int16_t>(kBlock, -32768), 0.0},
  };
  for (const auto& c : cases) {
    auto samples = c.block;
    samples.resize(2 * kBlock - 100, 0);  // a short second block of zeros
    SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
    AutoSegment segmentation;
    ASSERT_TRUE(segmentation.Attach(view, true)) << c.name;
    ASSERT_EQ(segmentation.GetBlockCount(), 2u);
    EXPECT_NEAR(segmentation.GetLevel(0), c.level, 1e-4) << c.name << " dBFS";
    EXPECT_NEAR(segmentation.GetLevel(1), -kFullScale16, 1e-4) << c.name << " dBFS";
  }
}

TEST(AutoSegment, EightBitAndFloatSilenceSitAtTheFloor_AndEqualLevelsMatchSixteenBit) {
  // 8-bit silence is 128; float silence is 0.0 with full scale 1.
  std::vector<uint8_t> silent8(kBlock, 128), loud8(kBlock);
  std::vector<float> silentF(kBlock, 0.0f), loudF(kBlock);
  for (unsigned i = 0; i < kBlock; ++i) {
    loud8[i] = i % 2 ? 128 - 64 : 128 + 64;  // half scale
    loudF[i] = i % 2 ? -0.5f : 0.5f;
  }
  struct {
    const char* name;
    void* data;
    SoundFormat format;
    double level;
  } cases[] = {
      {"8-bit silence", silent8.data(), MonoFormat(PcmUnsigned, 8), -20.0 * std::log10(128.0)},
      {"8-bit half scale", loud8.data(), MonoFormat(PcmUnsigned, 8), 20.0 * std::log10(0.5)},
      {"float silence", silentF.data(), MonoFormat(Float, 32), -kFullScale16},
      {"float half scale", loudF.data(), MonoFormat(Float, 32), 20.0 * std::log10(0.5)},
  };
  for (const auto& c : cases) {
    SoundMemoryStream view(c.data, kBlock, c.format);
    AutoSegment segmentation;
    ASSERT_TRUE(segmentation.Attach(view, true)) << c.name;
    EXPECT_NEAR(segmentation.GetLevel(0), c.level, 1e-4) << c.name << " dBFS";
  }
}

TEST(AutoSegment, FailuresLeaveItDetached) {
  std::vector<int32_t> memory(1000, 0);
  struct {
    const char* name;
    SoundFormat format;
  } unsupported[] = {
      {"24-bit", MonoFormat(PcmSigned, 24)},
      {"16-bit float kind", MonoFormat(Float, 16)},
      {"8-bit signed kind", MonoFormat(PcmSigned, 8)},
      {"32-bit integer", MonoFormat(PcmSigned, 32)},
  };
  for (const auto& c : unsupported) {
    SoundMemoryStream view(memory.data(), 1000, c.format);
    AutoSegment segmentation;
    EXPECT_FALSE(segmentation.Attach(view, true)) << c.name;
    unsigned start = 0, length = 0;
    EXPECT_FALSE(segmentation.FindSegment(0, start, length)) << c.name;
    // Without stored levels the format is looked at when a stretch is searched.
    EXPECT_TRUE(segmentation.Attach(view, false)) << c.name;
    EXPECT_FALSE(segmentation.FindSegment(0, start, length)) << c.name;
  }

  SoundMemoryStream empty(MonoFormat());
  AutoSegment segmentation;
  EXPECT_FALSE(segmentation.Attach(empty, true)) << "an empty stream cannot be seeked";
  unsigned start = 0, length = 0;
  EXPECT_FALSE(segmentation.FindSegment(0, start, length));

  auto samples = Blocks("LLLLLLLL");
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), MonoFormat());
  ASSERT_TRUE(segmentation.Attach(view, true));
  EXPECT_TRUE(segmentation.FindSegment(0, start, length));
  segmentation.Reset();
  EXPECT_FALSE(segmentation.FindSegment(0, start, length)) << "nothing attached after Reset";
}

}  // namespace
}  // namespace vowelscope
