#pragma once
// Playback of a recording from a private copy, so that the recording itself may be replaced (a file
// opened, a new recording started) while it plays. Owns the output device and the copy; the copy is
// released as soon as the playback stops, ends or fails.
//
// Threads: Start, Stop and the queries run on the owner's thread; the listeners added by AddCallback
// run on the playback thread.

#include <cstdint>
#include <memory>

#include "audio/Audioout.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {

class Playback {
 public:
  // On `device`, or on the default output when it is null.
  Playback(const SoundFormat& format, std::shared_ptr<WaveOutDevice> device);
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  void AddCallback(const AudioCallback& callback) { output.AddCallback(callback); }

  enum class StartResult { Started, NothingToPlay, OutOfMemory, DeviceFailed };
  // Stops what plays, copies `sound` and plays the copy from its start. On failure nothing plays and
  // nothing is held.
  StartResult Start(SoundMemoryStream& sound);
  // Stops and releases the device and the copy; nothing happens when nothing plays.
  void Stop();

  bool IsPlaying() const { return output.IsPlaying(); }
  // Frames played so far.
  uint32_t GetPosition() const { return output.GetPosition(); }
  // Whether a copy is held (from a start until the stop).
  bool HoldsCopy() const { return copy != nullptr; }

  static constexpr unsigned kBuffers = 3;

 private:
  // Asking the device for its position changes nothing of the playback's state.
  mutable AudioOut output;
  std::unique_ptr<SoundMemoryStream> copy;
};

}  // namespace vowelscope
