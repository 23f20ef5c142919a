#include "audio/Audioout.h"

#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/Portaudiowaveout.h"

namespace vowelscope {

AudioOut::AudioOut(const SoundFormat& format, AudioOutDevice device)
    : AudioOut(format, device, std::make_shared<PortAudioWaveOut>(device.deviceId)) {}

AudioOut::AudioOut(const SoundFormat& format, AudioOutDevice device, std::shared_ptr<WaveOutDevice> wave)
    : AudioDeviceBase(device.deviceId, format, std::move(wave)) {}

AudioOut::~AudioOut() {
  Stop();
  Close();
}

bool AudioOut::Open(unsigned bytes, unsigned count) {
  Close();
  if (format.GetNativeLayout() != 1) return false;
  if (!OpenWave(&AudioOut::DeviceDone, this)) {
    Close();
    return false;
  }
  unsigned block = format.GetBlockAlign();
  unsigned requested = bytes != 0 ? bytes : format.SecondsToBytes(1.0);
  bufferBytes = block != 0 ? requested - requested % block : 0;
  bufferCount = count;
  if (bufferBytes == 0 || count == 0) {
    // A buffer must hold at least the one-frame end marker.
    Close();
    return false;
  }
  bool allocated = Allocate(buffers, count);
  for (unsigned i = 0; allocated && i < count; ++i) allocated = Allocate(buffers[i], bufferBytes);
  allocated = allocated && Allocate(headers, count);
  if (!allocated) {
    Close();
    return false;
  }
  return true;
}

bool AudioOut::Close() {
  // A running thread still uses the buffers: end it first.
  if (thread.joinable()) Stop();
  // The device goes first: once closed it holds none of the buffers freed below.
  CloseWave();
  headers.reset();
  buffers.reset();
  bufferCount = 0;
  bufferBytes = 0;
  return true;
}

bool AudioOut::Start(SoundStream* stream) {
  if (!opened || stream == nullptr || stream->GetFormat() != format || !stream->CanRead()) return false;
  // A thread that ended by itself keeps its handle until Stop.
  if (bufferCount == 0 || thread.joinable()) return false;
  playing = true;
  source = stream;
  endPosition = 0;
  queuedFrames = 0;
  while (semaphore.try_acquire()) {
  }
  try {
    thread = std::thread([this] { PlaybackThread(); });
  } catch (const std::system_error&) {
    playing = false;
    source = nullptr;
    return false;
  }
  return true;
}

bool AudioOut::Stop() {
  if (playing) {
    endPosition = GetPosition();
    queuedFrames = 0;
    playing = false;
  }
  if (opened) {
    std::lock_guard<std::mutex> guard(lock);
    wave->Reset();
  }
  if (thread.joinable()) {
    semaphore.release();
    thread.join();
  }
  source = nullptr;
  endPosition = 0;
  return true;
}

bool AudioOut::IsPlaying() const { return playing && thread.joinable(); }

unsigned AudioOut::GetPosition() {
  if (!playing || !opened) return 0;
  uint32_t position = 0;
  if (!wave->GetPosition(position)) return 0;
  uint32_t queued = queuedFrames;
  return position < queued ? position : queued;
}

void AudioOut::DeviceDone(void* instance, WaveHeader*) {
  if (instance == nullptr) return;
  static_cast<AudioOut*>(instance)->semaphore.release();
}

int AudioOut::Fill(unsigned index) {
  const unsigned block = format.GetBlockAlign();
  uint8_t* data = buffers[index].get();
  WaveHeader& h = headers[index];
  int n = 0;
  if (!source->Read(data, bufferBytes / block, &n) || n < 0) return -1;
  h.Clear();
  h.data = data;
  if (n > 0) {
    queuedFrames += static_cast<uint32_t>(n);
    h.bufferLength = static_cast<uint32_t>(n) * block;
    h.user = kInUse;
  } else {
    std::memset(data, 0, block);
    h.bufferLength = block;
    h.user = kEndMarker | kInUse;
  }
  return n;
}

void AudioOut::PlaybackThread() {
  Notify(kAudioStarted, 0);
  const unsigned block = format.GetBlockAlign();
  bool endOfSource = false;
  for (unsigned i = 0; i < bufferCount; ++i) {
    headers[i].Clear();
    if (endOfSource) continue;  // headers after the end marker stay cleared
    int n = Fill(i);
    if (n < 0 || !wave->Prepare(headers[i])) return FailureSequence();
    if (n == 0) endOfSource = true;
  }
  if (playing) {
    for (unsigned i = 0; i < bufferCount && (headers[i].user & kInUse) != 0; ++i) {
      std::unique_lock<std::mutex> guard(lock);
      if (!wave->Queue(headers[i])) {
        guard.unlock();
        // Not queued, so not in use: the failure sequence must not wait for it.
        wave->Unprepare(headers[i]);
        headers[i].Clear();
        return FailureSequence();
      }
    }
  }

  int32_t played = 0;
  unsigned i = 0;
  while (playing) {
    semaphore.acquire();
    if (!playing) break;
    WaveHeader& h = headers[i];
    if (!wave->Unprepare(h)) return FailureSequence();
    played += static_cast<int32_t>(h.bufferLength / block);
    uintptr_t user = h.user;
    Notify(kAudioBuffer, played);
    h.Clear();
    if ((user & kEndMarker) != 0) break;
    if (!endOfSource) {
      int n = Fill(i);
      if (n < 0) return FailureSequence();
      if (n == 0) endOfSource = true;
      if (!wave->Prepare(h)) {
        h.Clear();
        return FailureSequence();
      }
      std::unique_lock<std::mutex> guard(lock);
      if (!wave->Queue(h)) {
        guard.unlock();
        wave->Unprepare(h);
        h.Clear();
        return FailureSequence();
      }
    }
    i = (i + 1) % bufferCount;
  }
  StopSequence();
}

void AudioOut::StopSequence() {
  playing = false;
  if (endPosition == 0) {
    uint32_t position = 0;
    if (!wave->GetPosition(position)) return FailureSequence();
    endPosition = position;
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    wave->Reset();
  }
  for (unsigned i = 0; i < bufferCount; ++i) {
    if ((headers[i].user & kInUse) == 0) continue;
    if (!wave->Unprepare(headers[i])) return FailureSequence();
    headers[i].Clear();
  }
  Notify(kAudioEnded, static_cast<int32_t>(endPosition.load()));
}

void AudioOut::FailureSequence() {
  // Playback ends here: reset so the device hands back what it holds, then take every buffer back.
  // A device that keeps a buffer past the time all of them take to play is given up on; Close drops
  // what it still holds before the buffers are freed.
  {
    std::lock_guard<std::mutex> guard(lock);
    wave->Reset();
  }
  uint32_t rate = format.GetBytesPerSecond() != 0 ? format.GetBytesPerSecond() : 1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1) +
                  std::chrono::milliseconds(uint64_t{bufferCount} * bufferBytes * 1000 / rate);
  for (;;) {
    bool all = true;
    for (unsigned i = 0; i < bufferCount; ++i) {
      if ((headers[i].user & kInUse) == 0) continue;
      if (wave->Unprepare(headers[i])) {
        headers[i].Clear();
      } else {
        all = false;
      }
    }
    if (all || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> guard(lock);
    wave->Reset();
  }
  playing = false;
  Notify(kAudioFailed, 0);
}

}  // namespace vowelscope
