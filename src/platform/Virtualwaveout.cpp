#include "platform/Virtualwaveout.h"

#include <algorithm>

#include "platform/Waveheaderqueue.h"

namespace vowelscope {

VirtualWaveOut::VirtualWaveOut() { StartClock(); }

VirtualWaveOut::~VirtualWaveOut() {
  // Buffers still queued belong to an owner that may have freed them already: forget, never touch them.
  StopClock();
}

std::vector<uint8_t> VirtualWaveOut::Played() const {
  std::lock_guard<std::mutex> guard(lock);
  return played;
}

std::vector<int16_t> VirtualWaveOut::PlayedSamples() const {
  std::lock_guard<std::mutex> guard(lock);
  std::vector<int16_t> samples(played.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint16_t>(played[2 * i] | (played[2 * i + 1] << 8)));
  }
  return samples;
}

void VirtualWaveOut::ClearPlayed() {
  std::lock_guard<std::mutex> guard(lock);
  played.clear();
}

bool VirtualWaveOut::IsOpen() const {
  std::lock_guard<std::mutex> guard(lock);
  return open;
}

unsigned VirtualWaveOut::QueuedCount() const {
  std::lock_guard<std::mutex> guard(lock);
  unsigned n = 0;
  for (WaveHeader* h = first; h != nullptr; h = h->next) ++n;
  return n;
}

bool VirtualWaveOut::Open(const WaveDeviceFormat& f, WaveDoneCallback cb, void* inst) {
  std::lock_guard<std::mutex> guard(lock);
  return OpenDevice(f, cb, inst);
}

bool VirtualWaveOut::Close() {
  std::lock_guard<std::mutex> guard(lock);
  return CloseDevice();
}

bool VirtualWaveOut::Prepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  return PrepareBuffer(header);
}

bool VirtualWaveOut::Unprepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  return UnprepareBuffer(header);
}

bool VirtualWaveOut::Queue(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (!CanQueue(header)) return false;
  header.deviceMark = 0;
  Enqueue(header);
  return true;
}

bool VirtualWaveOut::Reset() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Reset) || !open) return false;
  HandBackHeaders(first, last, callback, instance);
  return true;
}

bool VirtualWaveOut::GetPosition(uint32_t& samples) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Position) || !open) return false;
  samples = position;
  return true;
}

unsigned VirtualWaveOut::Advance(unsigned frames) {
  if (!open) return 0;
  const unsigned block = format.blockAlign;
  unsigned moved = 0;
  while (moved < frames && first != nullptr) {
    WaveHeader* h = first;
    uint32_t done = static_cast<uint32_t>(h->deviceMark);
    uint32_t n = std::min<uint32_t>((h->bufferLength - done) / block, frames - moved);
    played.insert(played.end(), h->data + done, h->data + done + size_t{n} * block);
    done += n * block;
    h->deviceMark = done;
    position += n;
    moved += n;
    // A trailing part frame cannot be played; the buffer is finished once its whole frames are.
    if ((h->bufferLength - done) / block == 0) HandBack(PopHeader(first, last));
  }
  return moved;
}

}  // namespace vowelscope
