#pragma once
// In-memory sound output: plays the queued buffers into a byte vector, clocked by its own thread
// (see VirtualWaveDevice), for tests and for running the playback path without a sound card.
// A buffer is handed back once its last frame has been played; the position counts played frames.

#include <cstdint>
#include <vector>

#include "platform/Virtualwavedevice.h"
#include "platform/Wavedevice.h"

namespace vowelscope {

class VirtualWaveOut : public WaveOutDevice, public VirtualWaveDevice {
 public:
  VirtualWaveOut();
  ~VirtualWaveOut() override;

  // Everything played since construction (or ClearPlayed), in the device format.
  std::vector<uint8_t> Played() const;
  std::vector<int16_t> PlayedSamples() const;
  void ClearPlayed();
  bool IsOpen() const;
  // Buffers the device holds.
  unsigned QueuedCount() const;

  bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) override;
  bool Close() override;
  bool Prepare(WaveHeader& header) override;
  bool Unprepare(WaveHeader& header) override;
  bool Queue(WaveHeader& header) override;
  bool Reset() override;
  bool GetPosition(uint32_t& samples) override;

 protected:
  unsigned Advance(unsigned frames) override;

 private:
  // In the queue, deviceMark = bytes of the buffer played; position counts frames played.
  std::vector<uint8_t> played;
};

}  // namespace vowelscope
