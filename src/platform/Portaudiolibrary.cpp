#include "platform/Portaudiolibrary.h"

#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <mutex>

namespace vowelscope {

namespace {
std::mutex libraryLock;
unsigned references = 0;

// Below this the PulseAudio bridge of a loaded machine drops periods.
constexpr double kMinimumLatency = 0.05;

extern "C" {
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}
}

// PortAudio probes every host API it was built with, and ALSA and JACK print each failed probe (a card
// that is not there, a JACK server that is not running) to stderr: hundreds of lines on a machine that
// records perfectly well through PulseAudio. Their own message hooks are pointed at nothing before the
// first probe; a device that really fails is reported by the program when it cannot open it. Only
// libraries PortAudio already loaded are touched, so nothing is loaded that would not be anyway.
void QuietSoundLibraryProbes() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD)) {
      using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
      if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"))) {
        set(IgnoreAlsaMessage);
      }
    }
    if (void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
      using Handler = void (*)(const char*);
      for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (auto set = reinterpret_cast<void (*)(Handler)>(dlsym(jack, name))) set(IgnoreJackMessage);
      }
    }
  });
}
}  // namespace

bool AcquirePortAudio() {
  std::lock_guard<std::mutex> guard(libraryLock);
  if (references == 0) QuietSoundLibraryProbes();
  if (references == 0 && Pa_Initialize() != paNoError) return false;
  ++references;
  return true;
}

void ReleasePortAudio() {
  std::lock_guard<std::mutex> guard(libraryLock);
  if (references == 0) return;
  if (--references == 0) Pa_Terminate();
}

}  // namespace vowelscope

namespace vowelscope {

unsigned long PortAudioSampleFormat(const WaveDeviceFormat& f) {
  if (f.channels == 0 || f.blockAlign != f.channels * ((f.bitsPerSample + 7) / 8)) return 0;
  if (f.formatTag == 3) return f.bitsPerSample == 32 ? paFloat32 : 0;
  if (f.formatTag != 1) return 0;
  switch (f.bitsPerSample) {
    case 8: return paUInt8;
    case 16: return paInt16;
    case 24: return paInt24;
    case 32: return paInt32;
    default: return 0;
  }
}

}  // namespace vowelscope

namespace vowelscope {

PaStream* OpenPortAudioStream(bool input, uint32_t deviceId, const WaveDeviceFormat& format,
                              PaStreamCallback* callback, void* user) {
  unsigned long sampleFormat = PortAudioSampleFormat(format);
  if (sampleFormat == 0 || format.samplesPerSec == 0) return nullptr;
  if (!AcquirePortAudio()) return nullptr;

  PaDeviceIndex device = deviceId != kWaveMapper ? static_cast<PaDeviceIndex>(deviceId)
                         : input                 ? Pa_GetDefaultInputDevice()
                                                 : Pa_GetDefaultOutputDevice();
  const PaDeviceInfo* info = device >= 0 && device < Pa_GetDeviceCount() ? Pa_GetDeviceInfo(device) : nullptr;
  if (info == nullptr || (input ? info->maxInputChannels : info->maxOutputChannels) < format.channels) {
    ReleasePortAudio();
    return nullptr;
  }
  PaStreamParameters params{};
  params.device = device;
  params.channelCount = format.channels;
  params.sampleFormat = sampleFormat;
  params.suggestedLatency =
      std::max(input ? info->defaultLowInputLatency : info->defaultLowOutputLatency, kMinimumLatency);
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, input ? &params : nullptr, input ? nullptr : &params, format.samplesPerSec,
                    paFramesPerBufferUnspecified, paNoFlag, callback, user) != paNoError) {
    ReleasePortAudio();
    return nullptr;
  }
  return stream;
}

}  // namespace vowelscope
