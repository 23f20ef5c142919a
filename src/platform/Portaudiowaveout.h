#pragma once
// Sound output through PortAudio. PortAudio's stream callback (its real-time thread) copies the queued
// buffers out, and hands each one back once the stream's output latency says it has been heard, so the
// owner neither cuts off the tail of the sound nor sees the position run ahead of the loudspeaker.
// The callback takes no lock and allocates nothing. Open, Close, Queue (which starts the stream when it
// is idle) and Reset serialise on a control lock of their own, which the callback never touches.
// Identifiers: kWaveMapper is the default output device, any other value a PortAudio device index.

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/Wavedevice.h"

namespace vowelscope {

class PortAudioWaveOut : public WaveOutDevice {
 public:
  explicit PortAudioWaveOut(uint32_t deviceId = kWaveMapper);
  ~PortAudioWaveOut() override;
  PortAudioWaveOut(const PortAudioWaveOut&) = delete;
  PortAudioWaveOut& operator=(const PortAudioWaveOut&) = delete;

  // Fails (false) when PortAudio knows no such output device, or it refuses the format.
  bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) override;
  bool Close() override;
  bool Prepare(WaveHeader& header) override;
  bool Unprepare(WaveHeader& header) override;
  bool Queue(WaveHeader& header) override;
  bool Reset() override;
  bool GetPosition(uint32_t& samples) override;

  struct Stream;

 private:
  uint32_t deviceId;
  std::mutex control;
  std::unique_ptr<Stream> stream;
};

}  // namespace vowelscope
