#include "sound/Wavefilestream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Testfolder.h"
#include "support/Wavebytes.h"

namespace vowelscope {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

SoundFormat Format(uint16_t channels, uint32_t rate, uint16_t bits, int kind = PcmSigned) {
  SoundFormat f;
  f.SetKind(kind);
  f.SetChannels(channels);
  f.SetSampleRate(rate);
  f.SetBitsPerSample(bits);
  return f;
}

SoundFormat Mono16() { return Format(1, 11025, 16); }

std::vector<int16_t> Ramp(unsigned n, int start = 0) {
  std::vector<int16_t> v(n);
  for (unsigned i = 0; i < n; ++i) v[i] = static_cast<int16_t>(start + static_cast<int>(i));
  return v;
}

// Reads the rest of the stream in blocks; stops at a read of 0 frames, and after far more blocks than
// any fixture holds, so a stream that never ends fails the test instead of hanging it.
std::vector<uint8_t> ReadAll(WaveFileStream& s, unsigned block = 64) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> buffer(s.GetFormat().FramesToBytes(block) + 1);
  for (int i = 0; i < 10000; ++i) {
    int got = -1;
    if (!s.Read(buffer.data(), block, &got)) {
      ADD_FAILURE() << "read failed";
      break;
    }
    if (got == 0) return all;
    EXPECT_GT(got, 0);
    EXPECT_LE(static_cast<unsigned>(got), block);
    all.insert(all.end(), buffer.begin(), buffer.begin() + s.GetFormat().FramesToBytes(got));
  }
  ADD_FAILURE() << "reads never reached the end";
  return all;
}

std::string Header(uint32_t riffSize, const std::string& record, uint32_t dataSize) {
  return "RIFF" + Le32(riffSize) + "WAVE" + "fmt " + Le32(18) + record + "data" + Le32(dataSize);
}

TEST(WaveFileStream, WritingGivesExactlyTheFileLayout) {
  const fs::path dir = TestFolder("sound");
  struct Case {
    const char* name;
    SoundFormat format;
    std::string frames;
    unsigned count;
    std::string record;
    size_t fileSize;
  };
  const std::string mono16 = std::string("\x01\x00\x01\x00", 4) + Le32(11025) + Le32(22050) + Le16(2) + Le16(16) + Le16(0);
  const std::string mono8 = std::string("\x01\x00\x01\x00", 4) + Le32(8000) + Le32(8000) + Le16(1) + Le16(8) + Le16(0);
  const std::vector<Case> cases = {
      {"100 frames 16-bit", Mono16(), Samples16(100, -50), 100, mono16, 246},
      {"no frames", Mono16(), "", 0, mono16, 46},
      {"3 frames 8-bit: odd size and a pad byte", Format(1, 8000, 8, PcmUnsigned), "\x80\x81\x82", 3, mono8, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir / "out.wav";
    {
      WaveFileStream s(path.string(), c.format, SoundFileStream::ModeCreate);
      ASSERT_TRUE(s.IsOpen());
      EXPECT_EQ(s.GetFormat().GetNativeLayout(), 1);
      EXPECT_EQ(s.GetLength(), 0u);
      int put = -1;
      ASSERT_TRUE(s.Write(c.frames.data(), c.count, &put));
      EXPECT_EQ(put, static_cast<int>(c.count));
      EXPECT_EQ(s.GetLength(), c.count);
      // Until the stream is closed, the header on disk declares an empty data chunk.
      const std::string early = ReadFile(path);
      ASSERT_GE(early.size(), 46u);
      EXPECT_EQ(early.substr(0, 46), Header(38, c.record, 0));
    }
    const size_t dataSize = c.frames.size();
    std::string expected = Header(static_cast<uint32_t>(c.fileSize - 8), c.record, static_cast<uint32_t>(dataSize)) + c.frames;
    if (dataSize & 1) expected.push_back('\0');
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.size(), c.fileSize);
    EXPECT_EQ(bytes, expected);
  }
}

TEST(WaveFileStream, WrittenFileReadsBackWithItsFormatLengthAndFrames) {
  const fs::path path = TestFolder("sound") / "round.wav";
  const auto frames = Ramp(5000, -2500);
  {
    WaveFileStream out(path.string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(out.Write(frames.data(), 3000, nullptr));
    ASSERT_TRUE(out.Write(frames.data() + 3000, 2000, nullptr));
  }
  WaveFileStream in(path.string(), SoundFileStream::ModeRead);
  ASSERT_TRUE(in.IsOpen());
  SoundFormat expected = Mono16();
  expected.SetNativeLayout(1);
  EXPECT_EQ(in.GetFormat(), expected);
  EXPECT_EQ(in.GetFormat().GetBlockAlign(), 2);
  EXPECT_EQ(in.GetLength(), 5000u);
  EXPECT_TRUE(in.CanRead());
  EXPECT_FALSE(in.CanWrite());
  const auto bytes = ReadAll(in, 700);
  ASSERT_EQ(bytes.size(), 10000u);
  EXPECT_EQ(std::memcmp(bytes.data(), frames.data(), bytes.size()), 0);
  EXPECT_EQ(in.Tell(), 5000u);
}

TEST(WaveFileStream, ReadsTheFormatsAndLayoutsOfOtherWriters) {
  const fs::path dir = TestFolder("sound");
  const std::string data10 = Chunk("data", Samples16(10, 100));
  struct Case {
    const char* name;
    std::string bytes;
    int kind;
    uint16_t channels;
    uint16_t bits;
    unsigned length;
  };
  const std::vector<Case> cases = {
      {"LIST between fmt and data", Riff(Fmt() + Chunk("LIST", "INFOISFT\x03\x00\x00\x00" "ab") + data10), PcmSigned, 1, 16, 10},
      {"odd LIST with its pad byte", Riff(Fmt() + Chunk("LIST", "INFOx") + data10), PcmSigned, 1, 16, 10},
      {"16-byte fmt", Riff(Fmt({.size = 16}) + data10), PcmSigned, 1, 16, 10},
      {"extensible 40-byte fmt of no known sub-format", Riff(Fmt({.tag = 0xFFFE, .size = 40}) + data10), Unknown, 1,
       16, 10},
      {"extensible PCM, 16-bit mono 11025 Hz", Riff(ExtensibleFmt(1) + data10), PcmSigned, 1, 16, 10},
      {"extensible PCM, stereo, any channel mask", Riff(ExtensibleFmt(1, {.channels = 2}, 0x3) + Chunk("data", Samples16(20))),
       PcmSigned, 2, 16, 10},
      {"extensible float", Riff(ExtensibleFmt(3, {.bits = 32}) + Chunk("data", std::string(40, '\0'))), Float, 1, 32,
       10},
      {"chunk before fmt", Riff(Chunk("JUNK", std::string(28, '\0')) + Fmt() + data10), PcmSigned, 1, 16, 10},
      {"8-bit PCM", Riff(Fmt({.bits = 8}) + Chunk("data", std::string(10, '\x80'))), PcmUnsigned, 1, 8, 10},
      {"IEEE float", Riff(Fmt({.tag = 3, .bits = 32}) + Chunk("data", std::string(40, '\0'))), Float, 1, 32, 10},
      {"A-law", Riff(Fmt({.tag = 6, .bits = 8}) + Chunk("data", std::string(10, '\xD5'))), ALaw, 1, 8, 10},
      {"stereo", Riff(Fmt({.channels = 2}) + Chunk("data", Samples16(20))), PcmSigned, 2, 16, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir / "in.wav";
    WriteFile(path, c.bytes);
    WaveFileStream s(path.string(), SoundFileStream::ModeRead);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetFormat().GetKind(), c.kind);
    EXPECT_EQ(s.GetFormat().GetNativeLayout(), 1);
    EXPECT_EQ(s.GetFormat().GetChannels(), c.channels);
    EXPECT_EQ(s.GetFormat().GetBitsPerSample(), c.bits);
    EXPECT_EQ(s.GetLength(), c.length);
    EXPECT_EQ(ReadAll(s).size(), s.GetFormat().FramesToBytes(c.length));
  }

  // A 16-byte fmt reads like an 18-byte one with the same fields, frames included.
  WriteFile(dir / "16.wav", Riff(Fmt({.size = 16}) + data10));
  WriteFile(dir / "18.wav", Riff(Fmt({.size = 18}) + data10));
  WaveFileStream s16((dir / "16.wav").string(), SoundFileStream::ModeRead);
  WaveFileStream s18((dir / "18.wav").string(), SoundFileStream::ModeRead);
  EXPECT_EQ(s16.GetFormat(), s18.GetFormat());
  EXPECT_EQ(s16.GetLength(), s18.GetLength());
  EXPECT_EQ(ReadAll(s16), ReadAll(s18));
}

// Damaged or hostile files: each is refused, or opens and reads as far as the bytes go; none may crash,
// hang, read out of bounds or allocate what a size field claims.
TEST(WaveFileStream, DamagedFilesAreRefusedOrReadAsFarAsTheyGo) {
  const fs::path dir = TestFolder("sound");
  const std::string fmt = Fmt();
  const std::string data10 = Chunk("data", Samples16(10));
  constexpr int kRefused = -1;
  struct Case {
    const char* name;
    std::string bytes;
    int length;    // kRefused when the file must not open
    unsigned frames = 0;  // frames actually readable
  };
  const std::vector<Case> cases = {
      {"empty file", "", kRefused},
      {"not RIFF", "RIFX" + Riff(fmt + data10).substr(4), kRefused},
      {"not WAVE", "RIFF" + Le32(4 + 26 + 28) + "AVI " + fmt + data10, kRefused},
      {"RIFF form not at the start", Chunk("JUNK", "abcd") + Riff(fmt + data10), kRefused},
      {"zero-length RIFF form", Riff(fmt + data10, 0), kRefused},
      {"RIFF form with only its type", Riff(fmt + data10, 4), kRefused},
      {"data before fmt", Riff(data10 + fmt), kRefused},
      {"data, fmt, data", Riff(data10 + fmt + data10), kRefused},
      {"no data chunk", Riff(fmt), kRefused},
      {"no fmt chunk", Riff(data10), kRefused},
      {"fmt of 15 bytes", Riff(Fmt({.size = 15}) + data10), kRefused},
      {"fmt of 0 bytes", Riff(Chunk("fmt ", "") + data10), kRefused},
      {"channels 0", Riff(Fmt({.channels = 0, .blockAlign = 2}) + data10), kRefused},
      {"channels 65535", Riff(Fmt({.channels = 65535}) + data10), kRefused},
      {"bits 0", Riff(Fmt({.bits = 0, .blockAlign = 2}) + data10), kRefused},
      {"bits 4: less than a byte per frame", Riff(Fmt({.bits = 4, .blockAlign = 1}) + data10), kRefused},
      {"block align 0", Riff(Fmt({.blockAlign = 0}) + data10), kRefused},
      // Read at the stride the field gives, these would be half the sound or noise.
      {"block align 4 for 16-bit mono", Riff(Fmt({.blockAlign = 4}) + data10), kRefused},
      {"block align 1 for 16-bit mono", Riff(Fmt({.blockAlign = 1}) + data10 + Chunk("LIST", "INFO")), kRefused},
      {"block align 2 for 16-bit stereo", Riff(Fmt({.channels = 2, .blockAlign = 2}) + data10), kRefused},
      {"fmt claims 4 GB", Riff(Chunk("fmt ", FmtPayload({}), 0xFFFFFFF0u) + data10), kRefused},
      {"LIST size past the end", Riff(fmt + Chunk("LIST", "INFO", 0x7FFFFFF0u) + data10), kRefused},
      {"odd LIST without its pad byte", Riff(fmt + Chunk("LIST", "INFOx", {}, false) + data10), kRefused},
      {"cut inside the data header", Riff(fmt + data10).substr(0, 42), kRefused},
      // Read as far as they go.
      {"unfinished recording: sizes 0xFFFFFFFF", Riff(fmt + Chunk("data", Samples16(10), 0xFFFFFFFFu), 0xFFFFFFFFu),
       0x7FFFFFFF, 10},
      {"data larger than the file", Riff(fmt + Chunk("data", Samples16(10), 400)), 200, 10},
      {"odd data size, no pad byte, at the end", Riff(fmt + Chunk("data", Samples16(10) + "x", {}, false)), 10, 10},
      {"stray byte after the last chunk", Riff(fmt + data10) + "x", 10, 10},
      {"stray byte inside the RIFF size", Riff(fmt + data10 + "x"), 10, 10},
      {"extra bytes at the end of a long fmt", Riff(Fmt({.size = 41}) + data10), 10, 10},
      {"RIFF size shorter than the data", Riff(fmt + data10, 4 + 26 + 8), 10, 10},
      // A writer that never filled in its sizes: the samples are those up to the end of the file.
      {"data size 0 before the samples", Riff(fmt + Chunk("data", Samples16(10), 0)), 10, 10},
      {"data and RIFF sizes 0 before the samples", Riff(fmt + Chunk("data", Samples16(10), 0), 0 + 4 + 26 + 8), 10,
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir / "bad.wav";
    WriteFile(path, c.bytes);
    WaveFileStream s(path.string(), SoundFileStream::ModeRead);
    if (c.length == kRefused) {
      EXPECT_FALSE(s.IsOpen());
      EXPECT_EQ(s.GetFormat(), SoundFormat());
      EXPECT_EQ(s.GetLength(), 0u);
      int16_t frame;
      EXPECT_FALSE(s.Read(&frame, 1, nullptr));
      continue;
    }
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetLength(), static_cast<unsigned>(c.length));
    const auto first = ReadAll(s);
    EXPECT_EQ(first.size(), s.GetFormat().FramesToBytes(c.frames));
    // Seeking around re-reads the same bytes.
    ASSERT_TRUE(s.Seek(0, kSeekBegin));
    EXPECT_EQ(ReadAll(s), first);
    ASSERT_TRUE(s.Seek(-1, kSeekEnd));
    int got = -1;
    std::vector<uint8_t> buffer(s.GetFormat().FramesToBytes(4));
    EXPECT_TRUE(s.Read(buffer.data(), 4, &got));
    EXPECT_EQ(got, c.frames == static_cast<unsigned>(c.length) ? 1 : 0);
  }
}

TEST(WaveFileStream, FileCutAtEveryByteIsRefusedOrGivesTheFramesThatAreThere) {
  const fs::path dir = TestFolder("sound");
  const std::string full = Riff(Fmt() + Chunk("LIST", "INFOabc") + Chunk("data", Samples16(10, 7)));
  const size_t dataStart = full.size() - 20;
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut);
    const fs::path path = dir / "cut.wav";
    WriteFile(path, full.substr(0, cut));
    WaveFileStream s(path.string(), SoundFileStream::ModeRead);
    if (cut < dataStart) {
      EXPECT_FALSE(s.IsOpen());
      continue;
    }
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetLength(), 10u);
    const auto bytes = ReadAll(s, 3);
    EXPECT_EQ(bytes.size(), (cut - dataStart) / 2 * 2);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Samples16(10, 7).substr(0, bytes.size()));
  }
}

TEST(WaveFileStream, DataLargerThanTheFileGivesShortReadsThenNothing) {
  const fs::path path = TestFolder("sound") / "short.wav";
  WriteFile(path, Riff(Fmt() + Chunk("data", Samples16(100), 400)));
  WaveFileStream s(path.string(), SoundFileStream::ModeRead);
  ASSERT_TRUE(s.IsOpen());
  EXPECT_EQ(s.GetLength(), 200u);
  std::vector<int16_t> buffer(60);
  int got = -1;
  ASSERT_TRUE(s.Read(buffer.data(), 60, &got));
  EXPECT_EQ(got, 60);
  ASSERT_TRUE(s.Read(buffer.data(), 60, &got));
  EXPECT_EQ(got, 40);
  EXPECT_EQ(buffer[39], 99);
  ASSERT_TRUE(s.Read(buffer.data(), 60, &got));
  EXPECT_EQ(got, 0);
  EXPECT_EQ(s.Tell(), 100u);
}

TEST(WaveFileStream, SeekMovesTheNextReadAndRefusesTargetsOutsideTheStream) {
  const fs::path path = TestFolder("sound") / "seek.wav";
  WriteFile(path, Riff(Fmt() + Chunk("LIST", "INFO") + Chunk("data", Samples16(100, 1000))));
  WaveFileStream s(path.string(), SoundFileStream::ModeRead);
  ASSERT_TRUE(s.IsOpen());
  struct Case {
    int offset, origin;
    bool ok;
    int16_t next;  // the frame the next read returns
  };
  const std::vector<Case> cases = {
      {37, 0, true, 1037},  {7, 1, true, 1008},  {-1, 1, true, 1000},   {-1, 2, true, 1099},  {0, 0, true, 1000},
      {100, 0, false, 1001}, {0, 2, false, 1001},   {-1, 0, false, 1001}, {-101, 2, false, 1001},
      {5, 3, false, 1001},
  };
  // Each case starts after reading frame 0, so a refused seek continues with frame 1.
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
    ASSERT_TRUE(s.Seek(0, kSeekBegin));
    int16_t frame;
    ASSERT_TRUE(s.Read(&frame, 1, nullptr));
    EXPECT_EQ(s.Seek(c.offset, c.origin), c.ok);
    if (!c.ok) {
      EXPECT_EQ(s.Tell(), 1u);
    }
    int got = 0;
    ASSERT_TRUE(s.Read(&frame, 1, &got));
    ASSERT_EQ(got, 1);
    EXPECT_EQ(frame, c.next);
  }
}

TEST(WaveFileStream, RefusedSeekStillMakesTheNextReadReenterTheDataChunk) {
  // Re-entering closes the data chunk first, which writes the sizes of the frames written so far.
  const fs::path path = TestFolder("sound") / "pending.wav";
  WaveFileStream s(path.string(), Mono16(), SoundFileStream::ModeReadWrite);
  ASSERT_TRUE(s.IsOpen());
  const auto frames = Ramp(100);
  ASSERT_TRUE(s.Write(frames.data(), 100, nullptr));
  EXPECT_EQ(At32(ReadFile(path), 42), 0u);

  EXPECT_FALSE(s.Seek(static_cast<int>(s.GetLength()), 0));
  EXPECT_EQ(s.Tell(), 100u);
  int got = -1;
  int16_t frame;
  ASSERT_TRUE(s.Read(&frame, 1, &got));
  EXPECT_EQ(got, 0);
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(At32(bytes, 4), 238u);
  EXPECT_EQ(At32(bytes, 42), 200u);
}

TEST(WaveFileStream, OpenModesDecideWhatIsAllowed) {
  const fs::path dir = TestFolder("sound");
  const fs::path path = dir / "modes.wav";
  const auto frames = Ramp(10);
  WriteFile(path, Riff(Fmt() + Chunk("data", Samples16(10))));
  {
    WaveFileStream reader(path.string(), SoundFileStream::ModeRead);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_FALSE(reader.Write(frames.data(), 1, nullptr));
  }
  {
    // Create truncates, and a write-only stream cannot read.
    WaveFileStream writer(path.string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_FALSE(writer.CanRead());
    EXPECT_TRUE(writer.CanWrite());
    int16_t frame;
    EXPECT_FALSE(writer.Read(&frame, 1, nullptr));
    EXPECT_EQ(fs::file_size(path), 46u);
  }
  for (int mode : {0, 4, -1, 7}) {
    const fs::path none = dir / "none.wav";
    WaveFileStream s(none.string(), Mono16(), mode);
    EXPECT_FALSE(s.IsOpen()) << mode;
    EXPECT_FALSE(fs::exists(none)) << mode;
  }
}

TEST(WaveFileStream, ReadWriteModeCreatesAMissingFileAndKeepsTheFormatOfAnExistingOne) {
  const fs::path dir = TestFolder("sound");
  const fs::path path = dir / "rw.wav";
  const auto frames = Ramp(100, 1);
  {
    WaveFileStream s(path.string(), Mono16(), SoundFileStream::ModeReadWrite);
    ASSERT_TRUE(s.IsOpen());
    ASSERT_TRUE(s.Write(frames.data(), 100, nullptr));
  }
  EXPECT_EQ(fs::file_size(path), 246u);
  {
    // The format given is not the file's: the file's wins. Overwrite 5 frames, then append 10.
    WaveFileStream s(path.string(), Format(2, 44100, 16), SoundFileStream::ModeReadWrite);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetFormat().GetChannels(), 1);
    EXPECT_EQ(s.GetFormat().GetSampleRate(), 11025u);
    EXPECT_EQ(s.GetLength(), 100u);
    const int16_t marks[5] = {-1, -2, -3, -4, -5};
    ASSERT_TRUE(s.Seek(10, kSeekBegin));
    ASSERT_TRUE(s.Write(marks, 5, nullptr));
    EXPECT_EQ(s.GetLength(), 100u);
    ASSERT_TRUE(s.Seek(99, kSeekBegin));
    int16_t last;
    ASSERT_TRUE(s.Read(&last, 1, nullptr));
    EXPECT_EQ(last, 100);
    ASSERT_TRUE(s.Write(frames.data(), 10, nullptr));
    EXPECT_EQ(s.GetLength(), 110u);
  }
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.size(), 266u);
  EXPECT_EQ(At32(bytes, 4), 258u);
  EXPECT_EQ(At32(bytes, 42), 220u);
  WaveFileStream s(path.string(), SoundFileStream::ModeRead);
  const auto all = ReadAll(s);
  ASSERT_EQ(all.size(), 220u);
  const auto* samples = reinterpret_cast<const int16_t*>(all.data());
  EXPECT_EQ(samples[9], 10);
  EXPECT_EQ(samples[10], -1);
  EXPECT_EQ(samples[14], -5);
  EXPECT_EQ(samples[15], 16);
  EXPECT_EQ(samples[100], 1);
  EXPECT_EQ(samples[109], 10);
}

TEST(WaveFileStream, SizesStayRightWhenOddDataIsClosedAndReopenedBySeeks) {
  const fs::path path = TestFolder("sound") / "odd.wav";
  const std::string bytes101(101, '\x11');
  {
    WaveFileStream s(path.string(), Format(1, 8000, 8, PcmUnsigned), SoundFileStream::ModeReadWrite);
    ASSERT_TRUE(s.Write(bytes101.data(), 101, nullptr));
    ASSERT_TRUE(s.Seek(0, kSeekBegin));
    uint8_t frame;
    ASSERT_TRUE(s.Read(&frame, 1, nullptr));  // closes the data chunk once: size 101 and a pad byte
    ASSERT_TRUE(s.Seek(100, kSeekBegin));
    ASSERT_TRUE(s.Read(&frame, 1, nullptr));
    ASSERT_TRUE(s.Write("\x22\x33", 2, nullptr));  // over the pad byte and beyond
  }
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.size(), 46u + 103 + 1);
  EXPECT_EQ(At32(bytes, 4), 142u);
  EXPECT_EQ(At32(bytes, 42), 103u);
  EXPECT_EQ(bytes.substr(46 + 100), std::string("\x11\x22\x33\0", 4));
}

TEST(WaveFileStream, ReadWriteModeLeavesAFileThatIsNotWaveAlone) {
  const fs::path path = TestFolder("sound") / "text.wav";
  WriteFile(path, "not a sound file\n");
  WaveFileStream s(path.string(), Mono16(), SoundFileStream::ModeReadWrite);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(ReadFile(path), "not a sound file\n");
}

TEST(WaveFileStream, FailedOpenLeavesAClosedStreamWithTheStartingFormat) {
  const fs::path dir = TestFolder("sound");
  WaveFileStream missing((dir / "missing.wav").string(), SoundFileStream::ModeRead);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.GetFormat(), SoundFormat());
  EXPECT_EQ(missing.GetLength(), 0u);
  int16_t frame = 0;
  EXPECT_FALSE(missing.Read(&frame, 1, nullptr));

  WaveFileStream nowhere((dir / "no-such-folder" / "x.wav").string(), Mono16(), SoundFileStream::ModeCreate);
  EXPECT_FALSE(nowhere.IsOpen());
  EXPECT_EQ(nowhere.GetFormat(), Mono16());
  EXPECT_EQ(nowhere.GetFormat().GetNativeLayout(), 0);
  EXPECT_FALSE(nowhere.Write(&frame, 1, nullptr));
  EXPECT_FALSE(nowhere.Seek(0, kSeekBegin));
}

// The session's own limit on the user's names lies in the Engine; the stream also opens the slightly
// longer temporary names beside them, and refuses only what the system could not take whole.
TEST(WaveFileStream, NamesUpToTheSystemLimitOpen_LongerOnesAreRefusedRatherThanCut) {
  const fs::path dir = TestFolder("sound");
  std::string base = dir.string();
  while (base.size() < 280) base += "/" + std::string(40, 'd');
  fs::create_directories(base);
  const std::string longName = base + "/" + std::string(20, 'n') + ".wav.tmp";
  ASSERT_GT(longName.size(), 300u);
  {
    WaveFileStream s(longName, Mono16(), SoundFileStream::ModeCreate);
    EXPECT_TRUE(s.IsOpen());
  }
  WaveFileStream reader(longName, SoundFileStream::ModeRead);
  EXPECT_TRUE(reader.IsOpen());

  const std::string tooLong = base + "/" + std::string(SoundFileStream::kMaxPathBytes, 'n');
  WaveFileStream s(tooLong, Mono16(), SoundFileStream::ModeCreate);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.GetFileName(), tooLong);
}

TEST(WaveFileStream, WriterKeepsOtherWritersAndReadersOut) {
  const fs::path path = TestFolder("sound") / "shared.wav";
  {
    WaveFileStream writer(path.string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(writer.IsOpen());
    WaveFileStream second(path.string(), Mono16(), SoundFileStream::ModeCreate);
    EXPECT_FALSE(second.IsOpen());
    WaveFileStream reader(path.string(), SoundFileStream::ModeRead);
    EXPECT_FALSE(reader.IsOpen());
  }
  WaveFileStream reader1(path.string(), SoundFileStream::ModeRead);
  WaveFileStream reader2(path.string(), SoundFileStream::ModeRead);
  EXPECT_TRUE(reader1.IsOpen());
  EXPECT_TRUE(reader2.IsOpen());
  WaveFileStream writer(path.string(), Mono16(), SoundFileStream::ModeReadWrite);
  EXPECT_FALSE(writer.IsOpen());
}

TEST(WaveFileStream, WritesTheSizeFieldsCouldNotHoldAreRefused) {
  // An unfinished recording declares 2^32 - 1 bytes; positions near its end lie past 4 GiB.
  const fs::path path = TestFolder("sound") / "huge.wav";
  const std::string original = Riff(Fmt() + Chunk("data", Samples16(10), 0xFFFFFFFFu), 0xFFFFFFFFu);
  WriteFile(path, original);
  {
    WaveFileStream s(path.string(), SoundFileStream::ModeReadWrite);
    ASSERT_TRUE(s.IsOpen());
    ASSERT_EQ(s.GetLength(), 0x7FFFFFFFu);
    const int16_t frame = 5;
    ASSERT_TRUE(s.Seek(-1, kSeekEnd));
    EXPECT_FALSE(s.Write(&frame, 1, nullptr));
    ASSERT_TRUE(s.Seek(3, kSeekBegin));
    int put = 0;
    ASSERT_TRUE(s.Write(&frame, 1, &put));  // inside the real bytes: fine
    EXPECT_EQ(put, 1);
  }
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.size(), original.size());
  EXPECT_EQ(bytes.substr(46 + 6, 2), Le16(5));
}

TEST(WaveFileStream, CloseReportsWhetherTheFileWasCompleted) {
  const fs::path dir = TestFolder("sound");
  const auto frames = Ramp(10000);
  {
    WaveFileStream s((dir / "ok.wav").string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(s.Write(frames.data(), 10000, nullptr));
    EXPECT_TRUE(s.Close());
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(s.Write(frames.data(), 1, nullptr));
    EXPECT_FALSE(s.Close());  // nothing left to close
  }
  EXPECT_EQ(fs::file_size(dir / "ok.wav"), 20046u);

  // The file system refuses bytes past 30000: the last buffered frames and the header sizes only
  // reach the file on closing, so closing is where the failure must show.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 30000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  bool closed = true;
  {
    WaveFileStream s((dir / "full.wav").string(), Mono16(), SoundFileStream::ModeCreate);
    ASSERT_TRUE(s.IsOpen());
    s.Write(frames.data(), 10000, nullptr);
    s.Write(frames.data(), 6000, nullptr);
    closed = s.Close();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(closed);
}

}  // namespace
}  // namespace vowelscope
