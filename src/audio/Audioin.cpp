#include "audio/Audioin.h"

#include <chrono>
#include <new>
#include <system_error>

#include "platform/Portaudiowavein.h"

namespace vowelscope {

AudioIn::AudioIn(const SoundFormat& format, AudioInDevice device)
    : AudioIn(format, device, std::make_shared<PortAudioWaveIn>(device.deviceId)) {}

AudioIn::AudioIn(const SoundFormat& format, AudioInDevice device, std::shared_ptr<WaveInDevice> wave)
    : AudioDeviceBase(device.deviceId, format, std::move(wave)) {}

AudioIn::~AudioIn() {
  Stop();
  Close();
}

bool AudioIn::Open(unsigned bytes, unsigned count) {
  Close();
  if (!OpenWave(&AudioIn::DeviceDone, this)) {
    Close();
    return false;
  }
  unsigned block = format.GetBlockAlign();
  unsigned requested = bytes != 0 ? bytes : format.SecondsToBytes(1.0);
  unsigned limit = format.SecondsToBytes(0.2);
  headerBytes = requested < limit ? requested : limit;
  if (block != 0) headerBytes -= headerBytes % block;
  if (headerBytes == 0 || count == 0) {
    // Less than one frame per header (or no buffers) cannot record anything.
    Close();
    return false;
  }
  headersPerBuffer = requested / headerBytes;
  if (headersPerBuffer == 0) headersPerBuffer = 1;
  bufferBytes = headersPerBuffer * headerBytes;
  bufferCount = count;

  bool allocated = Allocate(buffers, count);
  for (unsigned i = 0; allocated && i < count; ++i) allocated = Allocate(buffers[i].data, bufferBytes);
  allocated = allocated && Allocate(headers, size_t{count} * headersPerBuffer);
  if (!allocated) {
    Close();
    return false;
  }
  return true;
}

bool AudioIn::Close() {
  // A running thread still uses the buffers: end it first.
  if (thread.joinable()) Stop();
  // The device goes first: once closed it holds none of the buffers freed below.
  CloseWave();
  headers.reset();
  buffers.reset();
  bufferCount = 0;
  bufferBytes = 0;
  headersPerBuffer = 0;
  headerBytes = 0;
  return true;
}

bool AudioIn::Start(SoundStream* stream) {
  if (stream == nullptr || stream->GetFormat() != format || !stream->CanWrite()) return false;
  if (bufferCount == 0 || !opened || thread.joinable()) return false;
  recording = true;
  target = stream;
  stopKnown = false;
  stopPosition = 0;
  finished = false;
  while (semaphore.try_acquire()) {
  }
  try {
    thread = std::thread([this] { CaptureThread(); });
  } catch (const std::system_error&) {
    recording = false;
    target = nullptr;
    return false;
  }
  return true;
}

// A reset hands every buffer back, which wakes the capture thread to end the capture. When the reset
// itself fails nothing may come back: wake the thread here, or Stop would wait for it for ever.
void AudioIn::ResetForStop() {
  if (!wave->Reset()) semaphore.release();
}

bool AudioIn::Stop() {
  if (!recording) return false;
  if (opened) {
    std::unique_lock<std::mutex> guard(lock);
    uint32_t position = 0;
    if (finished) {
      // The capture thread has ended on its own (target full, or a device failure): there is no stop
      // point to wait for, only buffers the device may still hold.
      recording = false;
      ResetForStop();
    } else if (!wave->GetPosition(position)) {
      recording = false;
      // Without a position the capture ends with what the device hands back now; waiting for the next
      // full buffer could wait for ever on a device that has stopped delivering.
      ResetForStop();
    } else {
      stopPosition = position;
      stopKnown = true;
      recording = false;
      bool stopped = false;
      for (int i = 1; i <= 24; ++i) {
        if (finished) {
          // The capture thread has taken everything up to the stop point and reset the device itself.
          stopped = true;
          break;
        }
        uint32_t now = 0;
        if (!wave->GetPosition(now) || now < position) break;
        if (now > position + headerBytes) {
          // The header holding the stop point is full; stopping hands back the partly filled next one.
          wave->Stop();
          stopped = true;
          break;
        }
        // The capture thread may queue buffers meanwhile: when it has fallen behind by the whole ring, the
        // device has no buffer left to move past the stop point with, and a reset would drop every filled
        // buffer it has not taken yet. Stop and reset themselves still never meet a queueing.
        guard.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(i));
        guard.lock();
      }
      if (!stopped) {
        // The stop point cannot be waited for: the capture ends with the next buffer, whatever it holds.
        // (stopPosition stays, so a capture thread that has just read stopKnown still cuts right.)
        stopKnown = false;
        ResetForStop();
      }
    }
  } else {
    recording = false;
  }
  if (thread.joinable()) thread.join();
  target = nullptr;
  return true;
}

bool AudioIn::IsRecording() const { return recording && thread.joinable(); }

void AudioIn::DeviceDone(void* instance, WaveHeader* header) {
  if (instance == nullptr || header == nullptr || header->user == 0) return;
  auto* self = static_cast<AudioIn*>(instance);
  auto* filled = reinterpret_cast<std::atomic<uint32_t>*>(header->user);
  uint32_t recorded = header->bytesRecorded.load(std::memory_order_relaxed);
  uint32_t now = filled->fetch_add(recorded) + recorded;
  if (!self->recording.load() || now >= self->bufferBytes) self->semaphore.release();
}

bool AudioIn::QueueBuffer(unsigned index) {
  Buffer& buffer = buffers[index];
  buffer.filled = 0;
  for (unsigned j = 0; j < headersPerBuffer; ++j) {
    WaveHeader& h = headers[size_t{index} * headersPerBuffer + j];
    h.Clear();
    h.data = buffer.data.get() + size_t{j} * headerBytes;
    h.bufferLength = headerBytes;
    h.user = reinterpret_cast<uintptr_t>(&buffer.filled);
    if (!wave->Prepare(h) || !wave->Queue(h)) return false;
  }
  return true;
}

void AudioIn::ReleaseBuffer(unsigned index) {
  for (unsigned j = 0; j < headersPerBuffer; ++j) wave->Unprepare(headers[size_t{index} * headersPerBuffer + j]);
}

void AudioIn::CaptureThread() {
  for (unsigned i = 0; i < bufferCount; ++i) {
    std::unique_lock<std::mutex> guard(lock);
    if (!QueueBuffer(i)) {
      guard.unlock();
      finished = true;
      Notify(kAudioFailed, 0);
      return;
    }
  }
  Notify(kAudioStarted, 0);
  if (!recording) {
    // Stopped before the device was started: nothing to wait for.
    CloseCapture(0);
    return;
  }
  if (!wave->Start()) {
    finished = true;
    Notify(kAudioFailed, 0);
    return;
  }

  const unsigned block = format.GetBlockAlign();
  unsigned index = 0;
  uint32_t total = 0;
  uint64_t handed = 0;  // device bytes of the buffers taken back so far: where buffer[index] begins
  for (;;) {
    semaphore.acquire();
    Buffer& buffer = buffers[index];
    uint32_t filled = buffer.filled.load();
    uint32_t n = filled;
    // The data ends at the stop point, which may lie in this buffer or (when this thread has fallen
    // behind the device) in a later one.
    if (stopKnown) {
      uint64_t stop = stopPosition;
      n = handed >= stop ? 0 : static_cast<uint32_t>(std::min<uint64_t>(filled, stop - handed));
    }
    n -= n % block;
    if (n > 0) {
      int written = 0;
      if (!target->Write(buffer.data.get(), n / block, &written) || written <= 0) {
        CloseCapture(total);
        return;
      }
      total += static_cast<uint32_t>(written);
    }
    handed += filled;
    ReleaseBuffer(index);
    Notify(kAudioBuffer, static_cast<int32_t>(total));

    // Deciding and re-queueing under one hold of the lock: Stop either comes before (and is seen here)
    // or after (and stops or resets a device that holds this buffer again).
    std::unique_lock<std::mutex> guard(lock);
    if (!recording && (!stopKnown || handed >= stopPosition)) {
      guard.unlock();
      CloseCapture(total);
      return;
    }
    bool queued = QueueBuffer(index);
    guard.unlock();
    if (!queued) {
      finished = true;
      Notify(kAudioFailed, 0);
      return;
    }
    index = (index + 1) % bufferCount;
  }
}

void AudioIn::CloseCapture(uint32_t total) {
  {
    std::lock_guard<std::mutex> guard(lock);
    wave->Reset();
  }
  for (unsigned i = 0; i < bufferCount; ++i) ReleaseBuffer(i);
  // Before the notification, so an owner that stops on hearing it does not wait for a stop point.
  finished = true;
  Notify(kAudioEnded, static_cast<int32_t>(total));
}

}  // namespace vowelscope
