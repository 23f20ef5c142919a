#pragma once
// Records from a sound input device into a SoundStream through a small ring of buffers.
// Threads: Open, Start, Stop and Close run on the owner's thread; the capture thread (one per Start)
// queues the buffers, writes each filled one to the target and calls the listeners; the device's done
// callback runs on the device's thread and only adds to a fill count and releases the semaphore.

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

// Which input device to record from. The product name is left empty: it is not read anywhere, and
// asking for it would start the sound system in programs that never record.
class AudioInDevice {
 public:
  explicit AudioInDevice(uint32_t deviceId = kWaveMapper) : deviceId(deviceId) {}
  virtual ~AudioInDevice() = default;

  uint32_t deviceId;
  char productName[32] = {};
};

class AudioIn : public AudioDeviceBase<WaveInDevice> {
 public:
  // Records through the system's input device `device.deviceId` (PortAudio).
  AudioIn(const SoundFormat& format, AudioInDevice device);
  // Records through the given device instead, e.g. a VirtualWaveIn.
  AudioIn(const SoundFormat& format, AudioInDevice device, std::shared_ptr<WaveInDevice> wave);
  virtual ~AudioIn();
  AudioIn(const AudioIn&) = delete;
  AudioIn& operator=(const AudioIn&) = delete;

  // Opens the device and allocates `count` buffers of about `bytes` bytes (0 = one second).
  bool Open(unsigned bytes, unsigned count);
  bool Close();
  // Starts capturing into `target`, which must be writable and of the recording format.
  bool Start(SoundStream* target);
  // Ends the capture at the current device position; returns once the capture thread has ended.
  bool Stop();
  bool IsRecording() const;

  unsigned GetBufferCount() const { return bufferCount; }
  unsigned GetBufferBytes() const { return bufferBytes; }
  unsigned GetHeadersPerBuffer() const { return headersPerBuffer; }
  unsigned GetHeaderBytes() const { return headerBytes; }

 private:
  struct Buffer {
    std::atomic<uint32_t> filled{0};  // bytes the device has filled in so far
    std::unique_ptr<uint8_t[]> data;
  };

  static void DeviceDone(void* instance, WaveHeader* header);
  bool QueueBuffer(unsigned index);  // with `lock` held
  void ReleaseBuffer(unsigned index);
  // Stop's reset; wakes the capture thread itself when the device cannot hand its buffers back.
  void ResetForStop();
  void CaptureThread();
  void CloseCapture(uint32_t total);

  std::atomic<bool> recording{false};
  unsigned bufferCount = 0;
  unsigned bufferBytes = 0;
  unsigned headersPerBuffer = 0;
  unsigned headerBytes = 0;
  std::unique_ptr<Buffer[]> buffers;
  std::unique_ptr<WaveHeader[]> headers;
  std::atomic<bool> finished{false};  // the capture thread is done with the device (it only notifies after)
  // Lives as long as the object, so a late device callback never finds it gone; Start drains it.
  SoundStream* target = nullptr;
  // Device byte position at which Stop was asked, valid while stopKnown is set.
  std::atomic<uint32_t> stopPosition{0};
  std::atomic<bool> stopKnown{false};
  std::mutex lock;  // serialises device stop/reset against re-queueing
};

}  // namespace vowelscope
