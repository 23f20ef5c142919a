#pragma once
// What recording and playback share: the wave device they run on, the format, the listeners and their
// notification, the device thread with the semaphore that wakes it, and the opening and closing of the
// device with the format's record. AudioIn and AudioOut add their buffers and their thread's work.
// Threads: the owner's thread opens, closes and swaps the device; Notify runs on the device thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <semaphore>
#include <thread>
#include <utility>

#include "audio/Audiocallback.h"
#include "platform/Wavedevice.h"
#include "sound/Soundformat.h"

namespace vowelscope {

template <typename WaveDevice>
class AudioDeviceBase {
 public:
  AudioDeviceBase(const AudioDeviceBase&) = delete;
  AudioDeviceBase& operator=(const AudioDeviceBase&) = delete;

  // Listeners are added before Start; they run on the device thread.
  void AddCallback(const Callback<AudioCallbackParams>& callback) { callbacks.Add(callback); }

  // Swaps the device; refused (false) while a device is open or the thread runs.
  bool SetWaveDevice(std::shared_ptr<WaveDevice> device) {
    if (opened || thread.joinable()) return false;
    wave = std::move(device);
    return true;
  }
  WaveDevice* GetWaveDevice() const { return wave.get(); }
  uint32_t GetDeviceId() const { return deviceId; }
  const SoundFormat& GetFormat() const { return format; }

 protected:
  AudioDeviceBase(uint32_t deviceId, const SoundFormat& format, std::shared_ptr<WaveDevice> wave)
      : deviceId(deviceId), format(format), wave(std::move(wave)) {}
  ~AudioDeviceBase() = default;

  // Opens the device with the format's record and `done` as its callback; false, with nothing open,
  // when there is no device, its thread still runs, or the device refuses.
  bool OpenWave(WaveDoneCallback done, void* instance) {
    if (wave == nullptr || thread.joinable()) return false;
    WaveFormatRecord record;
    format.ToWaveFormat(record);
    opened = wave->Open(record, done, instance);
    return opened;
  }
  void CloseWave() {
    if (opened) wave->Close();
    opened = false;
  }

  void Notify(int32_t type, int32_t samples) {
    AudioCallbackParams params;
    params.type = type;
    params.samples = samples;
    callbacks.Notify(params);
  }

  // An array of `count` elements, or false when the memory is not there.
  template <typename T>
  static bool Allocate(std::unique_ptr<T[]>& array, size_t count) {
    array.reset(new (std::nothrow) T[count]);
    return array != nullptr;
  }

  uint32_t deviceId;
  SoundFormat format;
  std::shared_ptr<WaveDevice> wave;
  bool opened = false;
  std::thread thread;
  // Lives as long as the object, so a late device callback never finds it gone; Start drains it.
  std::counting_semaphore<> semaphore{0};
  AudioCallbackContainer callbacks;
};

}  // namespace vowelscope
