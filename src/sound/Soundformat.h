#pragma once
// Description of uncompressed sound and the conversions between frames, bytes and seconds.

#include <cstdint>

#include "platform/Wavedevice.h"

namespace vowelscope {

enum SoundFormatKind : int {
  Unknown = 0,
  PcmSigned = 1,    // integer PCM of any width but 8 bits
  PcmUnsigned = 2,  // 8-bit PCM, silence is 128
  Float = 3,
  MuLaw = 5,
  ALaw = 6,
};

// The 18-byte wave-format record of RIFF WAVE files and of the sound devices, little-endian on disk;
// the fields are the devices' own, so a record opens a device as it is.
struct WaveFormatRecord : WaveDeviceFormat {
  static constexpr unsigned kSize = 18;
  // Byte image as stored in a file; FromBytes reads the first `size` bytes (at least 16).
  void ToBytes(uint8_t out[kSize]) const;
  static WaveFormatRecord FromBytes(const uint8_t* bytes, unsigned size);
};

class SoundFormat {
 public:
  SoundFormat() = default;
  virtual ~SoundFormat() = default;
  SoundFormat(const SoundFormat&) = default;
  SoundFormat& operator=(const SoundFormat&) = default;

  int GetKind() const { return kind; }
  void SetKind(int value) { kind = value; }
  int GetNativeLayout() const { return nativeLayout; }
  void SetNativeLayout(int value) { nativeLayout = value; }

  uint16_t GetChannels() const { return channels; }
  void SetChannels(uint16_t value);
  uint32_t GetSampleRate() const { return sampleRate; }
  void SetSampleRate(uint32_t value);
  uint16_t GetBitsPerSample() const { return bitsPerSample; }
  void SetBitsPerSample(uint16_t value);

  uint32_t GetBytesPerSecond() const { return bytesPerSecond; }
  uint16_t GetBlockAlign() const { return blockAlign; }

  unsigned BytesToFrames(unsigned bytes) const;
  uint64_t FramesToBytes(unsigned frames) const;
  unsigned SecondsToFrames(double seconds) const;
  unsigned SecondsToBytes(double seconds) const;

  // Equal when bits, channels, rate, kind and native layout agree; derived fields are not compared.
  bool operator==(const SoundFormat& other) const;
  bool operator!=(const SoundFormat& other) const { return !(*this == other); }

  SoundFormat& FromWaveFormat(const WaveFormatRecord& record);
  void ToWaveFormat(WaveFormatRecord& record) const;

 private:
  void Recompute();

  int kind = 0;
  int nativeLayout = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  uint32_t bytesPerSecond = 0;
  uint16_t blockAlign = 0;
};

}  // namespace vowelscope
