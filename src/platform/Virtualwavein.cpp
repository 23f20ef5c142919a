#include "platform/Virtualwavein.h"

#include <algorithm>
#include <cstring>

namespace vowelscope {

namespace {
bool ValidFormat(const WaveDeviceFormat& f) {
  if (f.formatTag != 1 && f.formatTag != 3) return false;
  if (f.channels == 0 || f.samplesPerSec == 0 || f.bitsPerSample == 0) return false;
  return f.blockAlign == f.channels * ((f.bitsPerSample + 7) / 8);
}
}  // namespace

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
  if (Fails(WaveOperation::Open) || open || !ValidFormat(f)) return false;
  format = f;
  callback = cb;
  instance = inst;
  open = true;
  started = false;
  position = 0;
  Poke();
  return true;
}

bool VirtualWaveIn::Close() {
  std::lock_guard<std::mutex> guard(lock);
  bool failed = Fails(WaveOperation::Close);
  if (!open) return false;
  bool held = first != nullptr;
  // Dropped buffers are not handed back: the owner is closing and may free them right after.
  for (WaveHeader* h = first; h != nullptr;) {
    WaveHeader* next = h->next;
    h->next = nullptr;
    h->flags.fetch_and(~uint32_t{WaveHeader::InQueue});
    h = next;
  }
  first = last = nullptr;
  open = false;
  started = false;
  callback = nullptr;
  instance = nullptr;
  return !failed && !held;
}

bool VirtualWaveIn::Prepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Prepare) || !open || header.data == nullptr || header.bufferLength == 0) return false;
  header.flags.fetch_or(WaveHeader::Prepared);
  return true;
}

bool VirtualWaveIn::Unprepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Unprepare) || header.Has(WaveHeader::InQueue)) return false;
  header.flags.fetch_and(~uint32_t{WaveHeader::Prepared});
  return true;
}

bool VirtualWaveIn::Queue(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Queue) || !open) return false;
  if (!header.Has(WaveHeader::Prepared) || header.Has(WaveHeader::InQueue)) return false;
  header.bytesRecorded.store(0, std::memory_order_relaxed);
  header.next = nullptr;
  header.flags.store((header.flags.load() & ~uint32_t{WaveHeader::Done}) | WaveHeader::InQueue,
                     std::memory_order_release);
  if (last != nullptr) {
    last->next = &header;
  } else {
    first = &header;
  }
  last = &header;
  Poke();
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
  if (first != nullptr && first->bytesRecorded.load(std::memory_order_relaxed) > 0) {
    WaveHeader* h = first;
    first = h->next;
    if (first == nullptr) last = nullptr;
    HandBack(h);
  }
  return true;
}

bool VirtualWaveIn::Reset() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Reset) || !open) return false;
  started = false;
  HandBackAll();
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

uint32_t VirtualWaveIn::FrameRate() const { return open ? format.samplesPerSec : 0; }

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
      first = h->next;
      if (first == nullptr) last = nullptr;
      HandBack(h);
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
    if ((h->bufferLength - filled) / block == 0) {
      first = h->next;
      if (first == nullptr) last = nullptr;
      HandBack(h);
    }
  }
  return moved;
}

void VirtualWaveIn::HandBack(WaveHeader* h) {
  h->next = nullptr;
  h->flags.store((h->flags.load() & ~uint32_t{WaveHeader::InQueue}) | WaveHeader::Done, std::memory_order_release);
  if (callback != nullptr) callback(instance, h);
}

void VirtualWaveIn::HandBackAll() {
  while (first != nullptr) {
    WaveHeader* h = first;
    first = h->next;
    HandBack(h);
  }
  last = nullptr;
}

}  // namespace vowelscope
