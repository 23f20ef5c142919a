#include "platform/Portaudiowaveout.h"

#include <portaudio.h>

#include <algorithm>
#include <cstring>

#include "platform/Portaudiolibrary.h"

namespace vowelscope {

// Timeline: `streamFrames` counts every frame the stream has put out since it (re)started, silence included.
// A buffer occupies one unbroken stretch of it (gaps of silence fall only between buffers, when the queue
// has run dry). The frame being heard is streamFrames − latency; a buffer is handed back once its
// stretch lies wholly before that, and the position counts the heard frames of buffers.
struct PortAudioWaveOut::Stream {
  PaStream* pa = nullptr;
  bool running = false;  // control thread only
  unsigned block = 0;
  double rate = 0;
  uint64_t fallbackLatency = 0;  // frames, from the stream's own latency report
  WaveDoneCallback callback = nullptr;
  void* instance = nullptr;
  WaveHeaderInbox inbox;

  // Owned by the callback while the stream runs, by the control thread otherwise.
  WaveHeader* first = nullptr;  // being played; deviceMark = stream frame of its first frame
  WaveHeader* last = nullptr;
  uint32_t firstOffset = 0;            // bytes of `first` already put out
  WaveHeader* heardFirst = nullptr;    // put out, not yet heard; deviceMark = stream frame after its last frame
  WaveHeader* heardLast = nullptr;
  uint64_t streamFrames = 0;
  uint32_t doneFrames = 0;             // frames of buffers handed back (heard) since Open
  std::atomic<uint32_t> position{0};

  static uint32_t Frames(const WaveHeader* h, unsigned block) { return h->bufferLength / block; }

  void UpdateHeard(uint64_t latency) {
    uint64_t heard = streamFrames > latency ? streamFrames - latency : 0;
    // The position moves first, so an owner woken by a hand-back never reads an older one.
    uint32_t done = doneFrames;
    WaveHeader* h = heardFirst;
    for (; h != nullptr && h->deviceMark <= heard; h = h->next) done += Frames(h, block);
    uint32_t partial = 0;
    if (h != nullptr) {
      uint32_t frames = Frames(h, block);
      uint64_t start = h->deviceMark - frames;
      if (heard > start) partial = static_cast<uint32_t>(std::min<uint64_t>(heard - start, frames));
    } else if (first != nullptr && firstOffset > 0 && heard > first->deviceMark) {
      partial = static_cast<uint32_t>(std::min<uint64_t>(heard - first->deviceMark, firstOffset / block));
    }
    uint32_t now = done + partial;
    if (now > position.load(std::memory_order_relaxed)) position.store(now, std::memory_order_release);

    while (heardFirst != h) {
      WaveHeader* d = PopHeader(heardFirst, heardLast);
      doneFrames += Frames(d, block);
      HandBackHeader(d, callback, instance);
    }
  }

  // Real-time thread.
  void Play(uint8_t* out, unsigned long frames, const PaStreamCallbackTimeInfo* time) {
    uint64_t latency = fallbackLatency;
    if (time != nullptr) {
      double ahead = time->outputBufferDacTime - time->currentTime;
      if (ahead > 0 && ahead < 2.0) latency = static_cast<uint64_t>(ahead * rate);
    }
    UpdateHeard(latency);

    size_t bytes = size_t{frames} * block;
    while (bytes > 0) {
      if (first == nullptr) inbox.TakeInto(first, last);
      if (first == nullptr) {
        std::memset(out, 0, bytes);
        streamFrames += bytes / block;
        return;
      }
      WaveHeader* h = first;
      if (firstOffset == 0) h->deviceMark = streamFrames;
      size_t left = size_t{Frames(h, block)} * block - firstOffset;
      size_t n = std::min(left, bytes);
      std::memcpy(out, h->data + firstOffset, n);
      out += n;
      bytes -= n;
      firstOffset += static_cast<uint32_t>(n);
      streamFrames += n / block;
      if (n == left) {
        PopHeader(first, last);
        firstOffset = 0;
        h->next = nullptr;
        h->deviceMark = streamFrames;
        AppendHeader(heardFirst, heardLast, h);
      }
    }
  }

  // Control thread, stream stopped: everything queued goes back; what was heard stays counted.
  void HandBackAll(bool tellOwner) {
    inbox.TakeInto(first, last);
    doneFrames = position.load(std::memory_order_relaxed);
    if (tellOwner) {
      HandBackHeaders(heardFirst, heardLast, callback, instance);
      HandBackHeaders(first, last, callback, instance);
    } else {
      DropHeaders(heardFirst, heardLast);
      DropHeaders(first, last);
    }
    firstOffset = 0;
    streamFrames = 0;
  }

  static int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags, void* user) {
    static_cast<Stream*>(user)->Play(static_cast<uint8_t*>(output), frames, time);
    return paContinue;
  }
};

PortAudioWaveOut::PortAudioWaveOut(uint32_t id) : deviceId(id) {}

PortAudioWaveOut::~PortAudioWaveOut() { Close(); }

bool PortAudioWaveOut::Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) {
  std::lock_guard<std::mutex> guard(control);
  if (stream != nullptr) return false;
  auto s = std::make_unique<Stream>();
  s->block = format.blockAlign;
  s->rate = format.samplesPerSec;
  s->callback = callback;
  s->instance = instance;
  s->pa = OpenPortAudioStream(false, deviceId, format, &Stream::Callback, s.get());
  if (s->pa == nullptr) return false;
  if (const PaStreamInfo* streamInfo = Pa_GetStreamInfo(s->pa)) {
    s->fallbackLatency = static_cast<uint64_t>(streamInfo->outputLatency * s->rate);
  }
  stream = std::move(s);
  return true;
}

bool PortAudioWaveOut::Close() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  bool ok = StopPortAudioStream(stream->pa, stream->running);
  ok = Pa_CloseStream(stream->pa) == paNoError && ok;
  stream->inbox.TakeInto(stream->first, stream->last);
  bool held = stream->first != nullptr || stream->heardFirst != nullptr;
  stream->HandBackAll(false);
  stream.reset();
  ReleasePortAudio();
  return ok && !held;
}

bool PortAudioWaveOut::Prepare(WaveHeader& header) { return PrepareHeader(header); }

bool PortAudioWaveOut::Unprepare(WaveHeader& header) { return UnprepareHeader(header); }

bool PortAudioWaveOut::Queue(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(control);
  Stream* s = stream.get();
  if (s == nullptr || !CanQueueHeader(header) || header.bufferLength < s->block) return false;
  header.deviceMark = 0;
  MarkQueued(header);
  s->inbox.Push(&header);
  if (!s->running) {
    if (Pa_StartStream(s->pa) != paNoError) {
      // Take it back out: the owner must see the buffer as not queued.
      s->inbox.TakeInto(s->first, s->last);
      WaveHeader* prev = nullptr;
      for (WaveHeader* h = s->first; h != nullptr; prev = h, h = h->next) {
        if (h == &header) {
          (prev != nullptr ? prev->next : s->first) = h->next;
          if (s->last == h) s->last = prev;
          break;
        }
      }
      header.next = nullptr;
      header.flags.fetch_and(~uint32_t{WaveHeader::InQueue});
      return false;
    }
    s->running = true;
  }
  return true;
}

bool PortAudioWaveOut::Reset() {
  std::lock_guard<std::mutex> guard(control);
  if (stream == nullptr) return false;
  bool ok = StopPortAudioStream(stream->pa, stream->running);
  stream->HandBackAll(true);
  return ok;
}

bool PortAudioWaveOut::GetPosition(uint32_t& samples) {
  Stream* s = stream.get();
  if (s == nullptr) return false;
  samples = s->position.load(std::memory_order_relaxed);
  return true;
}

}  // namespace vowelscope
