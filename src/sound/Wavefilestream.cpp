#include "sound/Wavefilestream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vowelscope {

namespace {

constexpr uint32_t kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = MakeFourCC('d', 'a', 't', 'a');
// Only the first 16 bytes of "fmt " carry fields we use; a longer chunk (extensible formats, or a
// size field that is simply wrong) is read up to here and the rest stepped over, never allocated.
constexpr unsigned kFmtReadLimit = 64;
// The RIFF size field counts from offset 8 and holds at most 2^32 - 1.
constexpr int64_t kMaxFileBytes = RiffFile::kMaxChunkSize + 8;

// WAVE_FORMAT_EXTENSIBLE keeps the real format tag in the first two bytes of a sub-format GUID
// (at offset 24 of "fmt "); the other fourteen bytes are the same for every tag.
constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr unsigned kExtensibleSize = 40;
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The tag an extensible record stands for; the channel mask and the valid-bits field do not change
// how the samples are stored, so they are not used. Any other record keeps its tag.
uint16_t EffectiveFormatTag(const WaveFormatRecord& record, const uint8_t* bytes, unsigned size) {
  if (record.formatTag != kExtensibleTag || size < kExtensibleSize) return record.formatTag;
  if (std::memcmp(bytes + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) return record.formatTag;
  return static_cast<uint16_t>(bytes[24] | (bytes[25] << 8));
}

// Frames in `bytes`, as SoundFormat::BytesToFrames, but without cutting the byte count to 32 bits.
unsigned WholeFrames(const SoundFormat& format, uint64_t bytes) {
  const uint16_t frameBits = static_cast<uint16_t>(format.GetChannels() * format.GetBitsPerSample());
  if (frameBits == 0) return 0;
  return static_cast<unsigned>(std::min<uint64_t>(bytes * 8 / frameBits, UINT32_MAX));
}

}  // namespace

WaveFileStream::WaveFileStream(const std::string& fileName, int mode) : SoundFileStream(fileName, mode) {
  if (Open() && !EnterData()) Close();
}

WaveFileStream::WaveFileStream(const std::string& fileName, const SoundFormat& format, int mode)
    : SoundFileStream(fileName, mode) {
  this->format = format;
  if (Open() && !EnterData()) Close();
}

WaveFileStream::~WaveFileStream() { Close(); }

bool WaveFileStream::Close() {
  if (handle == nullptr) return false;
  bool ok = LeaveData();
  ok = handle->Close() && ok;
  handle.reset();
  return ok;
}

bool WaveFileStream::Open() {
  // A longer name would have to be cut, and would then name another file.
  if (fileName.size() > kMaxPathBytes) return false;
  auto file = std::make_unique<RiffFile>();
  bool parse = true;
  switch (mode) {
    case ModeRead:
      if (!file->Open(fileName, RiffFile::Mode::Read)) return false;
      break;
    case ModeCreate:
      if (!file->Open(fileName, RiffFile::Mode::Create)) return false;
      parse = false;
      break;
    case ModeReadWrite: {
      RiffFile probe;
      const bool exists = probe.Open(fileName, RiffFile::Mode::Read);
      probe.Close();
      if (exists) {
        if (!file->Open(fileName, RiffFile::Mode::ReadWrite)) return false;
      } else {
        if (!file->Open(fileName, RiffFile::Mode::Create)) return false;
        parse = false;
      }
      break;
    }
    default: return false;
  }
  handle = std::move(file);
  if (!(parse ? ParseHeader() : WriteHeader())) {
    handle->Close();
    handle.reset();
    return false;
  }
  format.SetNativeLayout(1);
  return true;
}

bool WaveFileStream::ParseHeader() {
  if (handle->Seek(0, SEEK_SET) != 0) return false;
  RiffChunk riff;
  riff.formType = kWave;
  if (!handle->Descend(riff, nullptr, RiffFile::Find::Riff) || riff.dataOffset != 8) return false;

  // The first "data" chunk is the one EnterData finds later; an "fmt " that only follows it is refused.
  RiffChunk data;
  data.id = kData;
  if (!handle->Descend(data, &riff, RiffFile::Find::Chunk)) return false;
  if (handle->Seek(riff.dataOffset + 4, SEEK_SET) < 0) return false;
  RiffChunk fmt;
  fmt.id = kFmt;
  if (!handle->Descend(fmt, &riff, RiffFile::Find::Chunk) || fmt.dataOffset > data.dataOffset) return false;

  if (fmt.size < 16) return false;
  uint8_t bytes[kFmtReadLimit];
  const unsigned wanted = std::min<uint32_t>(fmt.size, kFmtReadLimit);
  if (handle->Read(bytes, wanted) != static_cast<int64_t>(wanted)) return false;
  WaveFormatRecord record = WaveFormatRecord::FromBytes(bytes, wanted);
  record.formatTag = EffectiveFormatTag(record, bytes, wanted);
  if (record.blockAlign == 0) return false;
  // A frame must fill at least a byte, and its bit count must fit the 16 bits the frame arithmetic
  // uses; otherwise reads would stall at 0 frames or report more frames than they copied.
  const unsigned frameBits = static_cast<unsigned>(record.channels) * record.bitsPerSample;
  if (frameBits < 8 || frameBits > 0xFFFF) return false;
  // The frames are read at the size the channels and bits give; a file whose block align says
  // otherwise would be read at the wrong stride, half the sound or noise.
  if (record.blockAlign != static_cast<unsigned>(record.channels) * ((record.bitsPerSample + 7u) / 8u)) return false;

  SoundFormat parsed;
  parsed.FromWaveFormat(record);
  format = parsed;
  uint64_t dataBytes = data.size;
  // A writer that never came back to fill in its sizes leaves a data size of 0 before its samples;
  // the frames are then those the file holds up to its end.
  if (dataBytes == 0) {
    const int64_t end = handle->Seek(0, SEEK_END);
    if (end > data.dataOffset) dataBytes = std::min<uint64_t>(end - data.dataOffset, RiffFile::kMaxChunkSize);
  }
  length = WholeFrames(format, dataBytes);
  return true;
}

bool WaveFileStream::WriteHeader() {
  if (handle->Seek(0, SEEK_SET) != 0) return false;
  RiffChunk riff;
  riff.formType = kWave;
  if (!handle->CreateChunk(riff, RiffFile::Find::Riff)) return false;

  RiffChunk fmt;
  fmt.id = kFmt;
  if (!handle->CreateChunk(fmt, RiffFile::Find::Chunk)) return false;
  WaveFormatRecord record;
  format.ToWaveFormat(record);
  uint8_t bytes[WaveFormatRecord::kSize];
  record.ToBytes(bytes);
  if (handle->Write(bytes, sizeof bytes) != static_cast<int64_t>(sizeof bytes)) return false;
  if (!handle->Ascend(fmt)) return false;

  RiffChunk data;
  data.id = kData;
  if (!handle->CreateChunk(data, RiffFile::Find::Chunk) || !handle->Ascend(data)) return false;
  if (!handle->Ascend(riff)) return false;
  return handle->Flush();
}

bool WaveFileStream::EnterData() {
  if (handle->Seek(0, SEEK_SET) != 0) return false;
  riffChunk = RiffChunk{};
  riffChunk.formType = kWave;
  if (!handle->Descend(riffChunk, nullptr, RiffFile::Find::Riff)) return false;
  dataChunk = RiffChunk{};
  dataChunk.id = kData;
  if (!handle->Descend(dataChunk, &riffChunk, RiffFile::Find::Chunk)) return false;
  inData = true;
  return true;
}

bool WaveFileStream::LeaveData() {
  if (!inData) return true;
  const bool dirty = dataChunk.dirty || riffChunk.dirty;
  bool ok = true;
  // After writing, the frames run to the end of the file, wherever the last write stopped.
  if (dataChunk.dirty) ok = handle->Seek(0, SEEK_END) >= 0;
  ok = handle->Ascend(dataChunk) && ok;
  ok = handle->Ascend(riffChunk) && ok;
  if (dirty) ok = handle->Flush() && ok;
  dataChunk.dirty = false;
  riffChunk.dirty = false;
  inData = false;
  return ok;
}

bool WaveFileStream::ApplySeek() {
  LeaveData();
  if (!EnterData()) return false;
  const int64_t target = dataChunk.dataOffset + static_cast<int64_t>(format.FramesToBytes(position));
  if (handle->Seek(target, SEEK_SET) != target) return false;
  seekPending = false;
  return true;
}

bool WaveFileStream::Read(void* buffer, unsigned frames, int* framesRead) {
  if (handle == nullptr || !canRead || position > length) return false;
  const unsigned n = std::min(frames, length - position);
  const uint64_t bytes = format.FramesToBytes(n);
  // Not being inside the data chunk happens only after a failed re-entry; treat it as a pending seek.
  if ((seekPending || !inData) && !ApplySeek()) return false;
  const int64_t got = handle->Read(buffer, bytes);
  if (got < 0) return false;
  const unsigned done = WholeFrames(format, static_cast<uint64_t>(got));
  if (framesRead != nullptr) *framesRead = static_cast<int>(done);
  position += done;
  return true;
}

bool WaveFileStream::Write(const void* buffer, unsigned frames, int* framesWritten) {
  if (handle == nullptr || !canWrite) return false;
  if (frames > UINT32_MAX - position) return false;
  const uint64_t bytes = format.FramesToBytes(frames);
  if ((seekPending || !inData) && !ApplySeek()) return false;
  // Refuse what the 32-bit size fields could not describe (the +1 leaves room for a pad byte).
  const int64_t end = dataChunk.dataOffset + static_cast<int64_t>(format.FramesToBytes(position)) +
                      static_cast<int64_t>(bytes);
  if (end + 1 > kMaxFileBytes) return false;
  const int64_t put = handle->Write(buffer, bytes);
  if (put < 0) return false;
  const unsigned done = WholeFrames(format, static_cast<uint64_t>(put));
  if (framesWritten != nullptr) *framesWritten = static_cast<int>(done);
  position += done;
  if (position > length) {
    length = position;
    dataChunk.dirty = true;
    riffChunk.dirty = true;
  }
  return true;
}

bool WaveFileStream::Seek(int offset, int origin) {
  seekPending = true;
  return SoundFileStream::Seek(offset, origin);
}

}  // namespace vowelscope
