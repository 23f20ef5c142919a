#pragma once
// In-memory sound input: fills the queued buffers from given sample bytes, clocked by its own thread
// (see VirtualWaveDevice), for tests and for running the recording path without a sound card.
// Source bytes are taken only into buffers, never dropped: a stalled owner delays them, it does not lose
// them. The source carries on across Open/Close like a microphone; SetSource starts it again.

#include <cstdint>
#include <vector>

#include "platform/Virtualwavedevice.h"
#include "platform/Wavedevice.h"

namespace vowelscope {

class VirtualWaveIn : public WaveInDevice, public VirtualWaveDevice {
 public:
  // What the input gives once the source is used up.
  enum class AtEnd { Stall, Silence };

  VirtualWaveIn();
  ~VirtualWaveIn() override;

  void SetSource(std::vector<uint8_t> bytes, AtEnd atEnd = AtEnd::Stall);
  void SetSourceSamples(const std::vector<int16_t>& samples, AtEnd atEnd = AtEnd::Stall);
  // Source bytes not yet captured.
  size_t SourceLeft() const;
  // Every position GetPosition has reported since construction, in order.
  std::vector<uint32_t> PositionLog() const;
  bool IsOpen() const;
  bool IsStarted() const;

  bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) override;
  bool Close() override;
  bool Prepare(WaveHeader& header) override;
  bool Unprepare(WaveHeader& header) override;
  bool Queue(WaveHeader& header) override;
  bool Start() override;
  bool Stop() override;
  bool Reset() override;
  bool GetPosition(uint32_t& bytes) override;

 protected:
  unsigned Advance(unsigned frames) override;

 private:
  std::vector<uint8_t> source;
  size_t sourceRead = 0;
  AtEnd atEnd = AtEnd::Stall;

  // The position counts bytes filled.
  bool started = false;
  std::vector<uint32_t> positionLog;
};

}  // namespace vowelscope
