#pragma once
// Plays a SoundStream on a sound output device through a ring of buffers; the end of the source is marked
// by a final one-frame silent buffer, so the thread knows when everything has been played.
// Threads: Open, Start, Stop, Close, IsPlaying and GetPosition run on the owner's thread; the playback
// thread (one per Start) reads the source, queues the buffers and calls the listeners; the device's done
// callback runs on the device's thread and only releases the semaphore.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

#include "audio/Audiocallback.h"
#include "audio/Audiodevicebase.h"
#include "platform/Wavedevice.h"
#include "sound/Soundformat.h"
#include "sound/Soundstream.h"

namespace vowelscope {

// Which output device to play on. The product name is left empty: it is not read anywhere, and asking
// for it would start the sound system in programs that never play.
class AudioOutDevice {
 public:
  explicit AudioOutDevice(uint32_t deviceId = kWaveMapper) : deviceId(deviceId) {}
  virtual ~AudioOutDevice() = default;

  uint32_t deviceId;
  char productName[32] = {};
};

class AudioOut : public AudioDeviceBase<WaveOutDevice> {
 public:
  // Header user-word flags.
  static constexpr uintptr_t kInUse = 0x1;
  static constexpr uintptr_t kEndMarker = 0x10000000;

  // Plays on the system's output device `device.deviceId` (PortAudio).
  AudioOut(const SoundFormat& format, AudioOutDevice device);
  // Plays on the given device instead, e.g. a VirtualWaveOut.
  AudioOut(const SoundFormat& format, AudioOutDevice device, std::shared_ptr<WaveOutDevice> wave);
  virtual ~AudioOut();
  AudioOut(const AudioOut&) = delete;
  AudioOut& operator=(const AudioOut&) = delete;

  // Opens the device and allocates `count` buffers of `bytes` bytes (0 = one second), whole frames.
  bool Open(unsigned bytes, unsigned count);
  bool Close();
  // Plays `source` from its current position; it must be readable and of the playback format.
  bool Start(SoundStream* source);
  // Ends playback at once; returns after the playback thread has ended. Always true.
  bool Stop();
  // False by itself once the source has been played to the end.
  bool IsPlaying() const;
  // Frame being played, counted from Start; never more than the frames read from the source.
  unsigned GetPosition();

  unsigned GetBufferCount() const { return bufferCount; }
  unsigned GetBufferBytes() const { return bufferBytes; }

 private:
  static void DeviceDone(void* instance, WaveHeader* header);
  int Fill(unsigned index);
  void PlaybackThread();
  void StopSequence();
  void FailureSequence();

  std::atomic<bool> playing{false};
  unsigned bufferCount = 0;
  unsigned bufferBytes = 0;
  std::unique_ptr<std::unique_ptr<uint8_t[]>[]> buffers;
  std::unique_ptr<WaveHeader[]> headers;  // header i always describes buffer i
  SoundStream* source = nullptr;
  std::atomic<uint32_t> queuedFrames{0};  // frames read from the source since Start
  std::atomic<uint32_t> endPosition{0};   // position reported with type 2; 0 until taken
  std::mutex lock;                        // serialises queueing against device reset
};

}  // namespace vowelscope
