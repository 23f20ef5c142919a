#include "platform/Portaudiolibrary.h"

#include <portaudio.h>

#include <mutex>

namespace vowelscope {

namespace {
std::mutex libraryLock;
unsigned references = 0;
}  // namespace

bool AcquirePortAudio() {
  std::lock_guard<std::mutex> guard(libraryLock);
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
