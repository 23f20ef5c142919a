#include "audio/Playback.h"

#include <new>

namespace vowelscope {

namespace {

AudioOut MakeOutput(const SoundFormat& format, std::shared_ptr<WaveOutDevice> device) {
  if (device) return AudioOut(format, AudioOutDevice(kWaveMapper), std::move(device));
  return AudioOut(format, AudioOutDevice(kWaveMapper));
}

}  // namespace

Playback::Playback(const SoundFormat& format, std::shared_ptr<WaveOutDevice> device)
    : output(MakeOutput(format, std::move(device))) {}

Playback::StartResult Playback::Start(SoundMemoryStream& sound) {
  Stop();
  const uint32_t length = sound.GetLength();
  if (length == 0) return StartResult::NothingToPlay;
  auto taken = std::unique_ptr<SoundMemoryStream>(new (std::nothrow) SoundMemoryStream(sound.GetFormat()));
  if (taken == nullptr || !taken->Resize(length)) return StartResult::OutOfMemory;
  sound.Seek(0, kSeekBegin);
  int read = 0;
  sound.Read(taken->GetData(), length, &read);
  taken->Seek(0, kSeekBegin);
  copy = std::move(taken);
  if (output.Open(0, kBuffers) && output.Start(copy.get())) return StartResult::Started;
  // Nothing plays, and nothing will report an end: release the device and the copy now.
  Stop();
  return StartResult::DeviceFailed;
}

void Playback::Stop() {
  output.Stop();
  output.Close();
  copy.reset();
}

}  // namespace vowelscope
