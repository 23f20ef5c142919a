#pragma once
// Sound input through PortAudio. PortAudio's stream callback (its real-time thread) copies the captured
// frames into the queued buffers and hands each full one back; it takes no lock and allocates nothing.
// Open, Close, Start, Stop and Reset serialise on a control lock of their own, which the callback never
// touches. Identifiers: kWaveMapper is the default input device, any other value a PortAudio device index.

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/Wavedevice.h"

namespace vowelscope {

class PortAudioWaveIn : public WaveInDevice {
 public:
  explicit PortAudioWaveIn(uint32_t deviceId = kWaveMapper);
  ~PortAudioWaveIn() override;
  PortAudioWaveIn(const PortAudioWaveIn&) = delete;
  PortAudioWaveIn& operator=(const PortAudioWaveIn&) = delete;

  // Fails (false) when PortAudio knows no such input device, or it refuses the format.
  bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) override;
  bool Close() override;
  bool Prepare(WaveHeader& header) override;
  bool Unprepare(WaveHeader& header) override;
  bool Queue(WaveHeader& header) override;
  bool Start() override;
  bool Stop() override;
  bool Reset() override;
  bool GetPosition(uint32_t& bytes) override;

  struct Stream;

 private:
  void TakeBackAll(bool tellOwner);

  uint32_t deviceId;
  std::mutex control;
  std::unique_ptr<Stream> stream;
};

}  // namespace vowelscope
