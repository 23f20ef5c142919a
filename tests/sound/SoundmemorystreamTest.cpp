#include "sound/Soundmemorystream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace vowelscope {
namespace {

SoundFormat Mono16() {
  SoundFormat f;
  f.SetKind(PcmSigned);
  f.SetNativeLayout(1);
  f.SetChannels(1);
  f.SetSampleRate(11025);
  f.SetBitsPerSample(16);
  return f;
}

std::vector<int16_t> Ramp(size_t n, int16_t start = 0) {
  std::vector<int16_t> v(n);
  std::iota(v.begin(), v.end(), start);
  return v;
}

TEST(SoundMemoryStream, EmptyOwningStream_SeekFailsReadGivesNothingWriteGrows) {
  SoundMemoryStream s(Mono16());
  EXPECT_TRUE(s.CanRead());
  EXPECT_TRUE(s.CanWrite());
  EXPECT_TRUE(s.IsOwner());
  EXPECT_EQ(s.GetData(), nullptr);
  EXPECT_EQ(s.GetFormat(), Mono16());

  EXPECT_FALSE(s.Seek(0, kSeekBegin));
  EXPECT_FALSE(s.Seek(0, kSeekEnd));
  int16_t sample = 0;
  int got = -1;
  EXPECT_TRUE(s.Read(&sample, 1, &got));
  EXPECT_EQ(got, 0);

  const auto ramp = Ramp(10);
  int put = -1;
  ASSERT_TRUE(s.Write(ramp.data(), 10, &put));
  EXPECT_EQ(put, 10);
  EXPECT_EQ(s.GetLength(), 10u);
  EXPECT_EQ(s.GetCapacity(), 10u);
  EXPECT_EQ(s.Tell(), 10u);
  EXPECT_EQ(std::vector<int16_t>(reinterpret_cast<int16_t*>(s.GetData()), reinterpret_cast<int16_t*>(s.GetData()) + 10),
            ramp);
}

TEST(SoundMemoryStream, SeekAcceptsOnlyTargetsInsideTheStream) {
  struct Case {
    int offset;
    int origin;
    bool ok;
    unsigned position;  // after the seek, starting from position 5 of 10 frames
  };
  const std::vector<Case> cases = {
      {0, 0, true, 0},   {9, 0, true, 9},    {10, 0, false, 5}, {-1, 0, false, 5}, {2, 1, true, 7},
      {-5, 1, true, 0},  {5, 1, false, 5},   {-6, 1, false, 5}, {-1, 2, true, 9},  {-10, 2, true, 0},
      {0, 2, false, 5},  {-11, 2, false, 5}, {0, 3, false, 5},  {0, -1, false, 5},
  };
  for (const Case& c : cases) {
    SoundMemoryStream s(Mono16());
    const auto ramp = Ramp(10);
    ASSERT_TRUE(s.Write(ramp.data(), 10, nullptr));
    ASSERT_TRUE(s.Seek(5, kSeekBegin));
    EXPECT_EQ(s.Seek(c.offset, c.origin), c.ok) << c.offset << " from " << c.origin;
    EXPECT_EQ(s.Tell(), c.position) << c.offset << " from " << c.origin;
  }
}

TEST(SoundMemoryStream, ReadIsClippedToTheEndAndCopiesTheFramesAtThePosition) {
  SoundMemoryStream s(Mono16());
  const auto ramp = Ramp(100, 1000);
  ASSERT_TRUE(s.Write(ramp.data(), 100, nullptr));

  ASSERT_TRUE(s.Seek(40, kSeekBegin));
  std::vector<int16_t> out(5, -1);
  int got = 0;
  ASSERT_TRUE(s.Read(out.data(), 5, &got));
  EXPECT_EQ(got, 5);
  EXPECT_EQ(out, std::vector<int16_t>({1040, 1041, 1042, 1043, 1044}));

  ASSERT_TRUE(s.Seek(s.GetLength() - 1, kSeekBegin));
  out.assign(5, -1);
  ASSERT_TRUE(s.Read(out.data(), 5, &got));
  EXPECT_EQ(got, 1);
  EXPECT_EQ(out, std::vector<int16_t>({1099, -1, -1, -1, -1}));  // nothing past the end is touched
  EXPECT_EQ(s.Tell(), 100u);
  ASSERT_TRUE(s.Read(out.data(), 5, nullptr));  // at the end: success, nothing
  EXPECT_EQ(s.Tell(), 100u);
}

TEST(SoundMemoryStream, WritesPastTheReservationGrowAndKeepEveryFrame) {
  SoundMemoryStream s(Mono16());
  ASSERT_TRUE(s.Reserve(300));
  EXPECT_EQ(s.GetCapacity(), 300u);
  EXPECT_EQ(s.GetLength(), 0u);

  // 40 writes of 275 frames: well past the reservation, each block distinct.
  std::vector<int16_t> all;
  for (int block = 0; block < 40; ++block) {
    const auto frames = Ramp(275, static_cast<int16_t>(block * 300));
    all.insert(all.end(), frames.begin(), frames.end());
    int put = 0;
    ASSERT_TRUE(s.Write(frames.data(), 275, &put));
    ASSERT_EQ(put, 275);
    ASSERT_GE(s.GetCapacity(), s.GetLength());
  }
  EXPECT_EQ(s.GetLength(), 11000u);
  const auto* data = reinterpret_cast<const int16_t*>(s.GetData());
  EXPECT_EQ(std::vector<int16_t>(data, data + all.size()), all);

  // Overwriting in the middle keeps the length.
  ASSERT_TRUE(s.Seek(100, kSeekBegin));
  const int16_t marker[2] = {-7, -8};
  ASSERT_TRUE(s.Write(marker, 2, nullptr));
  EXPECT_EQ(s.GetLength(), 11000u);
  EXPECT_EQ(s.Tell(), 102u);
  EXPECT_EQ(reinterpret_cast<const int16_t*>(s.GetData())[101], -8);
}

TEST(SoundMemoryStream, ALongRunOfBlockWritesPastTheReservationReallocatesRarely) {
  // A recording that outlives its reservation must not reallocate (and maybe copy) the whole buffer
  // on every 25 ms block of the capture thread.
  SoundMemoryStream s(Mono16());
  ASSERT_TRUE(s.Reserve(300));
  const auto block = Ramp(275);
  unsigned changes = 0;
  uint32_t capacity = s.GetCapacity();
  for (int i = 0; i < 4000; ++i) {  // 1.1 million frames
    ASSERT_TRUE(s.Write(block.data(), 275, nullptr));
    if (s.GetCapacity() != capacity) ++changes;
    capacity = s.GetCapacity();
  }
  EXPECT_EQ(s.GetLength(), 1100000u);
  EXPECT_LE(changes, 30u);
  EXPECT_LE(s.GetCapacity(), s.GetLength() * 2);  // the margin stays proportionate
  const auto* data = reinterpret_cast<const int16_t*>(s.GetData());
  EXPECT_EQ(data[1100000 - 1], 274);
  EXPECT_EQ(data[275 * 2000 + 7], 7);
}

TEST(SoundMemoryStream, WriteThatWouldPassTheLargestLengthFails) {
  SoundMemoryStream s(Mono16());
  const auto ramp = Ramp(10);
  ASSERT_TRUE(s.Write(ramp.data(), 10, nullptr));
  // 10 + (2^32 - 1) frames wraps in 32 bits; the stream must neither shrink-reserve nor copy.
  int put = -1;
  EXPECT_FALSE(s.Write(ramp.data(), UINT32_MAX, &put));
  EXPECT_EQ(put, -1);
  EXPECT_EQ(s.GetLength(), 10u);
  EXPECT_EQ(s.Tell(), 10u);
}

TEST(SoundMemoryStream, ReserveIsExactAndNeverBelowTheLength) {
  SoundMemoryStream s(Mono16());
  const auto ramp = Ramp(10);
  ASSERT_TRUE(s.Write(ramp.data(), 10, nullptr));
  ASSERT_TRUE(s.Reserve(1000));
  EXPECT_EQ(s.GetCapacity(), 1000u);
  ASSERT_TRUE(s.Reserve(50));  // exact, so it also gives memory back
  EXPECT_EQ(s.GetCapacity(), 50u);
  ASSERT_TRUE(s.Reserve(5));  // at or below the length: nothing to do
  EXPECT_EQ(s.GetCapacity(), 50u);
  EXPECT_EQ(s.GetLength(), 10u);
  const auto* data = reinterpret_cast<const int16_t*>(s.GetData());
  EXPECT_EQ(std::vector<int16_t>(data, data + 10), ramp);
}

TEST(SoundMemoryStream, ResizeZeroFillsGrowthAndPullsThePositionBack) {
  SoundMemoryStream s(Mono16());
  const auto ramp = Ramp(10, 1);
  ASSERT_TRUE(s.Write(ramp.data(), 10, nullptr));

  ASSERT_TRUE(s.Resize(20));
  EXPECT_EQ(s.GetLength(), 20u);
  EXPECT_EQ(s.GetCapacity(), 20u);
  EXPECT_EQ(s.Tell(), 10u);
  const auto* data = reinterpret_cast<const int16_t*>(s.GetData());
  std::vector<int16_t> expected = ramp;
  expected.resize(20, 0);
  EXPECT_EQ(std::vector<int16_t>(data, data + 20), expected);

  ASSERT_TRUE(s.Seek(15, kSeekBegin));
  ASSERT_TRUE(s.Resize(4));
  EXPECT_EQ(s.GetLength(), 4u);
  EXPECT_EQ(s.GetCapacity(), 4u);
  EXPECT_EQ(s.Tell(), 4u);

  ASSERT_TRUE(s.Resize(0));
  EXPECT_EQ(s.GetData(), nullptr);
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(s.Tell(), 0u);

  // The start of a recording: emptied, then 30 s reserved, so the first 30 s never reallocate.
  ASSERT_TRUE(s.Reserve(Mono16().SecondsToFrames(30)));
  const uint8_t* reserved = s.GetData();
  const auto block = Ramp(275);
  for (int i = 0; i < 1202; ++i) ASSERT_TRUE(s.Write(block.data(), 275, nullptr));  // 330550 frames
  EXPECT_EQ(s.GetData(), reserved);
  EXPECT_EQ(s.GetCapacity(), 330750u);
}

TEST(SoundMemoryStream, ViewTakesOnlyWhatFitsAndCannotGrow) {
  // Guard frames on both sides show that nothing outside the view is written.
  std::vector<int16_t> memory(104, 0x5555);
  SoundMemoryStream view(memory.data() + 2, 100, Mono16());
  EXPECT_FALSE(view.IsOwner());
  EXPECT_EQ(view.GetLength(), 100u);
  EXPECT_EQ(view.GetCapacity(), 100u);
  EXPECT_TRUE(view.CanRead());
  EXPECT_TRUE(view.CanWrite());

  const auto ramp = Ramp(150, 1);
  int put = 0;
  ASSERT_TRUE(view.Write(ramp.data(), 150, &put));
  EXPECT_EQ(put, 100);
  EXPECT_EQ(view.GetLength(), 100u);
  EXPECT_EQ(view.Tell(), 100u);
  EXPECT_EQ(memory[0], 0x5555);
  EXPECT_EQ(memory[1], 0x5555);
  EXPECT_EQ(memory[2], 1);
  EXPECT_EQ(memory[101], 100);
  EXPECT_EQ(memory[102], 0x5555);
  EXPECT_EQ(memory[103], 0x5555);

  ASSERT_TRUE(view.Write(ramp.data(), 5, &put));  // full: success, nothing taken
  EXPECT_EQ(put, 0);
  EXPECT_FALSE(view.Reserve(200));
  EXPECT_FALSE(view.Resize(50));
  EXPECT_FALSE(view.Resize(100));
  EXPECT_EQ(view.GetLength(), 100u);
  EXPECT_EQ(view.GetData(), reinterpret_cast<uint8_t*>(memory.data() + 2));

  ASSERT_TRUE(view.Seek(10, kSeekBegin));
  int16_t out[3];
  ASSERT_TRUE(view.Read(out, 3, nullptr));
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(out[2], 13);
}  // the view is destroyed here and must leave the vector's memory alone

TEST(SoundMemoryStream, Swap_ExchangesMemoryOwnershipAndPosition_WithoutCopying) {
  SoundFormat stereo = Mono16();
  stereo.SetChannels(2);
  SoundMemoryStream a(Mono16());
  const auto ramp = Ramp(1000, 1);
  ASSERT_TRUE(a.Write(ramp.data(), 1000, nullptr));
  ASSERT_TRUE(a.Seek(10, kSeekBegin));
  const uint8_t* aData = a.GetData();
  const uint32_t aCapacity = a.GetCapacity();
  std::vector<int16_t> memory(8, 7);
  SoundMemoryStream b(memory.data(), 4, stereo);

  a.Swap(b);
  EXPECT_FALSE(a.IsOwner());
  EXPECT_EQ(a.GetData(), reinterpret_cast<uint8_t*>(memory.data()));
  EXPECT_EQ(a.GetLength(), 4u);
  EXPECT_EQ(a.GetFormat().GetChannels(), 2);
  EXPECT_EQ(a.Tell(), 0u);
  EXPECT_FALSE(a.Reserve(100)) << "a view now";
  EXPECT_TRUE(b.IsOwner());
  EXPECT_EQ(b.GetData(), aData);
  EXPECT_EQ(b.GetCapacity(), aCapacity);
  EXPECT_EQ(b.GetLength(), 1000u);
  EXPECT_EQ(b.Tell(), 10u);
  EXPECT_EQ(b.GetFormat(), Mono16());
  ASSERT_TRUE(b.Seek(999, kSeekBegin));
  ASSERT_TRUE(b.Write(ramp.data(), 2, nullptr)) << "owning now: grows";
  EXPECT_EQ(b.GetLength(), 1001u);
  EXPECT_EQ(reinterpret_cast<const int16_t*>(b.GetData())[998], 999);
}  // b frees the memory it took over once; a leaves the vector's memory alone

}  // namespace
}  // namespace vowelscope
