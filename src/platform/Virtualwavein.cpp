#include "platform/Virtualwavein.h"

#include <algorithm>
#include <cstring>

#include "platform/Waveheaderqueue.h"

namespace vowelscope {

VirtualWaveIn::VirtualWaveIn() { StartClock(); }

VirtualWaveIn::~VirtualWaveIn() {
  // Buffers still queued belong to an owner that may have freed them already: forget, never touch them.
  StopClock();
}

void VirtualWaveIn::SetSource(std::vector<uint8_t> bytes, AtEnd end) {
  std::lock_guard<std::mutex> guard(lock);
  source = std::move(bytes);
  sourceRead = 0;
  atEnd = end;
  Poke();
}

void VirtualWaveIn::SetSourceSamples(const std::vector<int16_t>& samples, AtEnd end) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    uint16_t v = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  SetSource(std::move(bytes), end);
}

size_t VirtualWaveIn::SourceLeft() const {
  std::lock_guard<std::mutex> guard(lock);
  return source.size() - sourceRead;
}

std::vector<uint32_t> VirtualWaveIn::PositionLog() const {
  std::lock_guard<std::mutex> guard(lock);
  return positionLog;
}

bool VirtualWaveIn::IsOpen() const {
  std::lock_guard<std::mutex> guard(lock);
  return open;
}

bool VirtualWaveIn::IsStarted() const {
  std::lock_guard<std::mutex> guard(lock);
  return started;
}

bool VirtualWaveIn::Open(const WaveDeviceFormat& f, WaveDoneCallback cb, void* inst) {
  std::lock_guard<std::mutex> guard(lock);
  if (!OpenDevice(f, cb, inst)) return false;
  started = false;
  return true;
}

bool VirtualWaveIn::Close() {
  std::lock_guard<std::mutex> guard(lock);
  bool closed = CloseDevice();
  started = false;
  return closed;
}

bool VirtualWaveIn::Prepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  return PrepareBuffer(header);
}

bool VirtualWaveIn::Unprepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  return UnprepareBuffer(header);
}

bool VirtualWaveIn::Queue(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (!CanQueue(header)) return false;
  header.bytesRecorded.store(0, std::memory_order_relaxed);
  Enqueue(header);
  return true;
}

bool VirtualWaveIn::Start() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Start) || !open) return false;
  started = true;
  Poke();
  return true;
}

bool VirtualWaveIn::Stop() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Stop) || !open) return false;
  started = false;
  if (first != nullptr && first->bytesRecorded.load(std::memory_order_relaxed) > 0) HandBack(PopHeader(first, last));
  return true;
}

bool VirtualWaveIn::Reset() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Reset) || !open) return false;
  started = false;
  HandBackHeaders(first, last, callback, instance);
  position = 0;
  return true;
}

bool VirtualWaveIn::GetPosition(uint32_t& bytes) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Position) || !open) return false;
  bytes = position;
  positionLog.push_back(position);
  return true;
}

unsigned VirtualWaveIn::Advance(unsigned frames) {
  if (!open || !started) return 0;
  const unsigned block = format.blockAlign;
  unsigned moved = 0;
  while (moved < frames && first != nullptr) {
    WaveHeader* h = first;
    uint32_t filled = h->bytesRecorded.load(std::memory_order_relaxed);
    // Whole frames only, so a frame never straddles two buffers.
    uint32_t room = (h->bufferLength - filled) / block;
    if (room == 0) {
      HandBack(PopHeader(first, last));
      continue;
    }
    size_t left = (source.size() - sourceRead) / block;
    uint32_t n = std::min<uint32_t>(room, frames - moved);
    if (atEnd == AtEnd::Stall) n = static_cast<uint32_t>(std::min<size_t>(n, left));
    if (n == 0) break;
    uint32_t fromSource = static_cast<uint32_t>(std::min<size_t>(n, left));
    if (fromSource > 0) std::memcpy(h->data + filled, source.data() + sourceRead, size_t{fromSource} * block);
    if (n > fromSource) std::memset(h->data + filled + size_t{fromSource} * block, 0, size_t{n - fromSource} * block);
    sourceRead += size_t{fromSource} * block;
    filled += n * block;
    h->bytesRecorded.store(filled, std::memory_order_relaxed);
    position += n * block;
    moved += n;
    if ((h->bufferLength - filled) / block == 0) HandBack(PopHeader(first, last));
  }
  return moved;
}

}  // namespace vowelscope
