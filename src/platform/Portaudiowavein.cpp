#include "platform/Portaudiowavein.h"

#include <portaudio.h>

#include <algorithm>
#include <cstring>

#include "platform/Portaudiolibrary.h"

namespace vowelscope {

struct PortAudioWaveIn::Stream {
  PaStream* pa = nullptr;
  bool running = false;  // control thread only
  unsigned block = 0;
  WaveDoneCallback callback = nullptr;
  void* instance = nullptr;
  WaveHeaderInbox inbox;
  // The queue being filled: owned by the callback while the stream runs, by the control thread otherwise.
  WaveHeader* first = nullptr;
  WaveHeader* last = nullptr;
  std::atomic<uint32_t> position{0};

  void PopFirst() { HandBackHeader(PopHeader(first, last), callback, instance); }

  // Real-time thread: copy, count, hand back.
  void Capture(const uint8_t* in, unsigned long frames) {
    size_t bytes = size_t{frames} * block;
    while (bytes > 0) {
      if (first == nullptr) inbox.TakeInto(first, last);
      if (first == nullptr) return;  // nothing queued: the frames are lost, as on any sound card
      WaveHeader* h = first;
      uint32_t filled = h->bytesRecorded.load(std::memory_order_relaxed);
      size_t room = (h->bufferLength - filled) / block * block;
      size_t n = std::min(room, bytes);
      if (n > 0) {
        if (in != nullptr) {
          std::memcpy(h->data + filled, in, n);
          in += n;
        } else {
          std::memset(h->data + filled, 0, n);
        }
        filled += static_cast<uint32_t>(n);
        h->bytesRecorded.store(filled, std::memory_order_relaxed);
        position.fetch_add(static_cast<uint32_t>(n), std::memory_order_relaxed);
        bytes -= n;
      }
      if ((h->bufferLength - filled) / block == 0) PopFirst();
    }
  }

  static int Callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags, void* user) {
    static_cast<Stream*>(user)->Capture(static_cast<const uint8_t*>(input), frames);
    return paContinue;
  }
};

PortAudioWaveIn::PortAudioWaveIn(uint32_t id) : deviceId(id) {}

PortAudioWaveIn::~PortAudioWaveIn() { Close(); }

bool PortAudioWaveIn::Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) {
  std::lock_guard<std::mutex> guard(control);
  if (stream != nullptr) return false;
  auto s = std::make_unique<Stream>();
  s->block = format.blockAlign;
  s->callback = callback;
  s->instance = instance;
  s->pa = OpenPortAudioStream(true, deviceId, format, &Stream::Callback, s.get());
  if (s->pa == nullptr) return false;
  stream = std::move(s);
  return true;
}

bool PortAudioWaveIn::Close() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  bool ok = StopPortAudioStream(stream->pa, stream->running);
  ok = Pa_CloseStream(stream->pa) == paNoError && ok;
  // The owner frees its buffers after Close; forget the ones still queued.
  stream->inbox.TakeInto(stream->first, stream->last);
  bool held = stream->first != nullptr;
  DropHeaders(stream->first, stream->last);
  stream.reset();
  ReleasePortAudio();
  return ok && !held;
}

bool PortAudioWaveIn::Prepare(WaveHeader& header) { return PrepareHeader(header); }

bool PortAudioWaveIn::Unprepare(WaveHeader& header) { return UnprepareHeader(header); }

bool PortAudioWaveIn::Queue(WaveHeader& header) {
  Stream* s = stream.get();
  if (s == nullptr || !CanQueueHeader(header) || header.bufferLength < s->block) return false;
  header.bytesRecorded.store(0, std::memory_order_relaxed);
  MarkQueued(header);
  s->inbox.Push(&header);
  return true;
}

bool PortAudioWaveIn::Start() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  if (stream->running) return true;
  if (Pa_StartStream(stream->pa) != paNoError) return false;
  stream->running = true;
  return true;
}

bool PortAudioWaveIn::Stop() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  bool ok = StopPortAudioStream(stream->pa, stream->running);
  // The callback has ended: this thread owns the queue now.
  stream->inbox.TakeInto(stream->first, stream->last);
  if (stream->first != nullptr && stream->first->bytesRecorded.load(std::memory_order_relaxed) > 0) {
    stream->PopFirst();
  }
  return ok;
}

bool PortAudioWaveIn::Reset() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  bool ok = StopPortAudioStream(stream->pa, stream->running);
  TakeBackAll(true);
  stream->position.store(0, std::memory_order_relaxed);
  return ok;
}

void PortAudioWaveIn::TakeBackAll(bool tellOwner) {
  stream->inbox.TakeInto(stream->first, stream->last);
  if (!tellOwner) {
    DropHeaders(stream->first, stream->last);
    return;
  }
  HandBackHeaders(stream->first, stream->last, stream->callback, stream->instance);
}

bool PortAudioWaveIn::GetPosition(uint32_t& bytes) {
  Stream* s = stream.get();
  if (s == nullptr) return false;
  bytes = s->position.load(std::memory_order_relaxed);
  return true;
}

}  // namespace vowelscope
