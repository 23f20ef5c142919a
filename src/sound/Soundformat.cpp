#include "sound/Soundformat.h"

namespace vowelscope {

namespace {
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
// Truncates toward zero; a negative or NaN count is 0 and a count past 32 bits saturates, since
// converting an out-of-range double to an unsigned integer is undefined.
unsigned TruncateToUnsigned(double value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967296.0) return UINT32_MAX;
  return static_cast<unsigned>(value);
}
}  // namespace

void WaveFormatRecord::ToBytes(uint8_t out[kSize]) const {
  Put16(out + 0, formatTag);
  Put16(out + 2, channels);
  Put32(out + 4, samplesPerSec);
  Put32(out + 8, avgBytesPerSec);
  Put16(out + 12, blockAlign);
  Put16(out + 14, bitsPerSample);
  Put16(out + 16, extraSize);
}

WaveFormatRecord WaveFormatRecord::FromBytes(const uint8_t* bytes, unsigned size) {
  WaveFormatRecord r;
  if (size < 16) return r;
  r.formatTag = Get16(bytes + 0);
  r.channels = Get16(bytes + 2);
  r.samplesPerSec = Get32(bytes + 4);
  r.avgBytesPerSec = Get32(bytes + 8);
  r.blockAlign = Get16(bytes + 12);
  r.bitsPerSample = Get16(bytes + 14);
  r.extraSize = size >= 18 ? Get16(bytes + 16) : 0;
  return r;
}

void SoundFormat::SetChannels(uint16_t value) {
  channels = value;
  Recompute();
}

void SoundFormat::SetSampleRate(uint32_t value) {
  sampleRate = value;
  Recompute();
}

void SoundFormat::SetBitsPerSample(uint16_t value) {
  bitsPerSample = value;
  Recompute();
}

void SoundFormat::Recompute() {
  blockAlign = static_cast<uint16_t>((static_cast<unsigned>(channels) * bitsPerSample) / 8);
  if (sampleRate == 0) {
    bytesPerSecond = 0;
  } else {
    // The product wraps in 32 bits before the division, as the wave-format record's field does.
    uint32_t product = static_cast<uint32_t>(channels) * static_cast<uint32_t>(bitsPerSample) * sampleRate;
    bytesPerSecond = product / 8;
  }
}

unsigned SoundFormat::BytesToFrames(unsigned bytes) const {
  uint16_t p = static_cast<uint16_t>(static_cast<unsigned>(channels) * bitsPerSample);
  if (p == 0) return 0;
  return static_cast<unsigned>((static_cast<uint64_t>(bytes) * 8) / p);
}

uint64_t SoundFormat::FramesToBytes(unsigned frames) const {
  return static_cast<uint64_t>(frames) * channels * bitsPerSample / 8;
}

unsigned SoundFormat::SecondsToFrames(double seconds) const {
  return TruncateToUnsigned(static_cast<double>(sampleRate) * seconds);
}

unsigned SoundFormat::SecondsToBytes(double seconds) const {
  return TruncateToUnsigned(static_cast<double>(bytesPerSecond) * seconds);
}

bool SoundFormat::operator==(const SoundFormat& other) const {
  return bitsPerSample == other.bitsPerSample && channels == other.channels &&
         sampleRate == other.sampleRate && kind == other.kind && nativeLayout == other.nativeLayout;
}

SoundFormat& SoundFormat::FromWaveFormat(const WaveFormatRecord& record) {
  switch (record.formatTag) {
    case 1: kind = record.bitsPerSample == 8 ? PcmUnsigned : PcmSigned; break;
    case 3: kind = Float; break;
    case 6: kind = ALaw; break;
    case 7: kind = MuLaw; break;
    default: kind = Unknown; break;
  }
  nativeLayout = 1;
  SetChannels(record.channels);
  SetSampleRate(record.samplesPerSec);
  SetBitsPerSample(record.bitsPerSample);
  return *this;
}

void SoundFormat::ToWaveFormat(WaveFormatRecord& record) const {
  switch (kind) {
    case Float: record.formatTag = 3; break;
    case MuLaw: record.formatTag = 7; break;
    case ALaw: record.formatTag = 6; break;
    default: record.formatTag = 1; break;
  }
  record.channels = channels;
  record.samplesPerSec = sampleRate;
  record.avgBytesPerSec = bytesPerSecond;
  record.blockAlign = blockAlign;
  record.bitsPerSample = bitsPerSample;
  record.extraSize = 0;
}

}  // namespace vowelscope
