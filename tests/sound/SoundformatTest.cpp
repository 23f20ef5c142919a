#include "sound/Soundformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace vowelscope {
namespace {

SoundFormat MakeFormat(uint16_t channels, uint32_t rate, uint16_t bits, int kind = PcmSigned) {
  SoundFormat f;
  f.SetKind(kind);
  f.SetChannels(channels);
  f.SetSampleRate(rate);
  f.SetBitsPerSample(bits);
  return f;
}

TEST(SoundFormat, DefaultIsAllZero) {
  SoundFormat f;
  EXPECT_EQ(f.GetKind(), Unknown);
  EXPECT_EQ(f.GetNativeLayout(), 0);
  EXPECT_EQ(f.GetChannels(), 0);
  EXPECT_EQ(f.GetSampleRate(), 0u);
  EXPECT_EQ(f.GetBitsPerSample(), 0);
  EXPECT_EQ(f.GetBytesPerSecond(), 0u);
  EXPECT_EQ(f.GetBlockAlign(), 0);
}

TEST(SoundFormat, SettersRecomputeBlockAlignAndByteRate) {
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint16_t blockAlign;
    uint32_t bytesPerSecond;
  };
  const std::vector<Case> cases = {
      {1, 11025, 16, 2, 22050},
      {2, 44100, 16, 4, 176400},
      {1, 8000, 8, 1, 8000},
      {2, 48000, 24, 6, 288000},
      {1, 0, 16, 2, 0},                // no rate: no byte rate, the frame size stays
      {1, 11025, 12, 1, 16537},        // frames of whole bytes are not enforced; division truncates
      {2, 0x08000000u, 32, 8, 0},      // 2 * 32 * 2^27 = 2^33 wraps to 0 before the division
      {3, 0x80000000u, 1, 0, 0x10000000u},  // 3 * 2^31 wraps to 2^31, / 8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
    SoundFormat f = MakeFormat(c.channels, c.rate, c.bits);
    EXPECT_EQ(f.GetBlockAlign(), c.blockAlign);
    EXPECT_EQ(f.GetBytesPerSecond(), c.bytesPerSecond);
  }
  // Setting a single field later recomputes too.
  SoundFormat f = MakeFormat(1, 11025, 16);
  f.SetSampleRate(0);
  EXPECT_EQ(f.GetBytesPerSecond(), 0u);
  EXPECT_EQ(f.GetBlockAlign(), 2);
  f.SetChannels(2);
  EXPECT_EQ(f.GetBlockAlign(), 4);
}

TEST(SoundFormat, SecondsToFramesAndBytesTruncateTowardZero) {
  const SoundFormat f = MakeFormat(1, 11025, 16);
  struct Case {
    double seconds;
    unsigned frames;
  };
  const std::vector<Case> cases = {{0.0, 0},   {0.01, 110},  {0.02, 220},       {0.025, 275},
                                   {0.2, 2205}, {30, 330750}, {60.0 * 120, 79380000}};
  for (const Case& c : cases) {
    EXPECT_EQ(f.SecondsToFrames(c.seconds), c.frames) << c.seconds << " s";
  }
  EXPECT_EQ(f.SecondsToBytes(0.01), 220u);
  EXPECT_EQ(f.SecondsToBytes(0.02), 441u);
  EXPECT_EQ(f.SecondsToBytes(0.025), 551u);  // 22050 * 0.025 = 551.25
  EXPECT_EQ(f.SecondsToBytes(30), 661500u);
}

TEST(SoundFormat, SecondsOutsideTheUnsignedRangeSaturateInsteadOfOverflowing) {
  const SoundFormat f = MakeFormat(1, 11025, 16);
  EXPECT_EQ(f.SecondsToFrames(-0.5), 0u);
  EXPECT_EQ(f.SecondsToFrames(-30), 0u);
  EXPECT_EQ(f.SecondsToFrames(1e12), UINT32_MAX);
  EXPECT_EQ(f.SecondsToBytes(-1), 0u);
  EXPECT_EQ(f.SecondsToBytes(1e12), UINT32_MAX);
  EXPECT_EQ(f.SecondsToFrames(std::numeric_limits<double>::quiet_NaN()), 0u);
}

TEST(SoundFormat, BytesToFramesAndFramesToBytes) {
  const SoundFormat mono16 = MakeFormat(1, 11025, 16);
  EXPECT_EQ(mono16.BytesToFrames(200), 100u);
  EXPECT_EQ(mono16.BytesToFrames(201), 100u);
  EXPECT_EQ(mono16.BytesToFrames(UINT32_MAX), UINT32_MAX / 2);  // no overflow of bytes * 8
  EXPECT_EQ(mono16.FramesToBytes(100), 200u);

  // 64-bit result: 2^32 - 1 stereo 32-bit frames do not wrap.
  const SoundFormat stereo32 = MakeFormat(2, 48000, 32);
  EXPECT_EQ(stereo32.FramesToBytes(UINT32_MAX), uint64_t{UINT32_MAX} * 8);

  // Formats without a frame size: 0 channels, 0 bits, or a product that is 0 modulo 2^16.
  for (const SoundFormat& f : {MakeFormat(0, 11025, 16), MakeFormat(1, 11025, 0), MakeFormat(4096, 11025, 16)}) {
    for (unsigned bytes : {0u, 1u, 2u, 4096u, UINT32_MAX}) EXPECT_EQ(f.BytesToFrames(bytes), 0u) << bytes;
  }
}

TEST(SoundFormat, EqualityComparesBitsChannelsRateKindAndNativeLayout) {
  const SoundFormat base = MakeFormat(1, 11025, 16);
  SoundFormat same = MakeFormat(1, 11025, 16);
  EXPECT_TRUE(base == same);
  EXPECT_FALSE(base != same);

  SoundFormat layout = base;
  layout.SetNativeLayout(1);
  SoundFormat kind = base;
  kind.SetKind(Float);
  for (const SoundFormat& other :
       {layout, kind, MakeFormat(2, 11025, 16), MakeFormat(1, 22050, 16), MakeFormat(1, 11025, 8)}) {
    EXPECT_FALSE(base == other);
    EXPECT_TRUE(base != other);
  }
}

TEST(SoundFormat, CopyKeepsEveryField) {
  SoundFormat f = MakeFormat(2, 44100, 16, Float);
  f.SetNativeLayout(1);
  const SoundFormat copy = f;
  EXPECT_EQ(copy, f);
  EXPECT_EQ(copy.GetBytesPerSecond(), 176400u);
  EXPECT_EQ(copy.GetBlockAlign(), 4);
}

TEST(SoundFormat, FromWaveFormatMapsTagsAndRecomputesDerivedFields) {
  struct Case {
    uint16_t tag;
    uint16_t bits;
    int kind;
  };
  const std::vector<Case> cases = {
      {1, 8, PcmUnsigned}, {1, 16, PcmSigned}, {1, 24, PcmSigned}, {1, 32, PcmSigned}, {3, 32, Float},
      {6, 8, ALaw},        {7, 8, MuLaw},      {2, 4, Unknown},    {0, 16, Unknown},   {0xFFFE, 16, Unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tag " << c.tag << " bits " << c.bits);
    WaveFormatRecord r;
    r.formatTag = c.tag;
    r.channels = 2;
    r.samplesPerSec = 11025;
    r.avgBytesPerSec = 1;  // wrong on purpose: never taken
    r.blockAlign = 99;
    r.bitsPerSample = c.bits;
    SoundFormat f;
    SoundFormat& result = f.FromWaveFormat(r);
    EXPECT_EQ(&result, &f);
    EXPECT_EQ(f.GetKind(), c.kind);
    EXPECT_EQ(f.GetNativeLayout(), 1);
    EXPECT_EQ(f.GetChannels(), 2);
    EXPECT_EQ(f.GetSampleRate(), 11025u);
    EXPECT_EQ(f.GetBitsPerSample(), c.bits);
    EXPECT_EQ(f.GetBlockAlign(), 2 * c.bits / 8);
    EXPECT_EQ(f.GetBytesPerSecond(), 2u * c.bits * 11025 / 8);
  }
}

TEST(SoundFormat, ToWaveFormatWritesTheRecordOfTheFormat) {
  const std::vector<std::pair<int, uint16_t>> tags = {
      {Unknown, 1}, {PcmSigned, 1}, {PcmUnsigned, 1}, {Float, 3}, {MuLaw, 7}, {ALaw, 6}, {4, 1}, {-1, 1}};
  for (const auto& [kind, tag] : tags) {
    WaveFormatRecord r;
    r.extraSize = 77;
    MakeFormat(1, 8000, 8, kind).ToWaveFormat(r);
    EXPECT_EQ(r.formatTag, tag) << "kind " << kind;
    EXPECT_EQ(r.extraSize, 0);
  }

  // The record of a session recording, byte for byte.
  WaveFormatRecord r;
  MakeFormat(1, 11025, 16).ToWaveFormat(r);
  uint8_t bytes[WaveFormatRecord::kSize];
  r.ToBytes(bytes);
  const std::vector<uint8_t> expected = {1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x22, 0x56, 0, 0, 2, 0, 16, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof bytes), expected);
}

TEST(SoundFormat, WaveFormatRecordReadsSixteenOrMoreBytes) {
  const uint8_t bytes[] = {3, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x20, 0x62, 0x05, 0, 8, 0, 32, 0, 0x16, 0, 0xAA};
  const WaveFormatRecord full = WaveFormatRecord::FromBytes(bytes, sizeof bytes);
  EXPECT_EQ(full.formatTag, 3);
  EXPECT_EQ(full.channels, 2);
  EXPECT_EQ(full.samplesPerSec, 44100u);
  EXPECT_EQ(full.avgBytesPerSec, 352800u);
  EXPECT_EQ(full.blockAlign, 8);
  EXPECT_EQ(full.bitsPerSample, 32);
  EXPECT_EQ(full.extraSize, 22);

  const WaveFormatRecord shortRecord = WaveFormatRecord::FromBytes(bytes, 16);
  EXPECT_EQ(shortRecord.bitsPerSample, 32);
  EXPECT_EQ(shortRecord.extraSize, 0);

  const WaveFormatRecord tooShort = WaveFormatRecord::FromBytes(bytes, 15);
  EXPECT_EQ(tooShort.formatTag, 0);
  EXPECT_EQ(tooShort.channels, 0);
}

}  // namespace
}  // namespace vowelscope
