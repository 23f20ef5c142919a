#include "platform/Virtualwaveout.h"

#include <algorithm>

namespace vowelscope {

namespace {
bool ValidFormat(const WaveDeviceFormat& f) {
  if (f.formatTag != 1 && f.formatTag != 3) return false;
  if (f.channels == 0 || f.samplesPerSec == 0 || f.bitsPerSample == 0) return false;
  return f.blockAlign == f.channels * ((f.bitsPerSample + 7) / 8);
}

void Unlink(WaveHeader*& first, WaveHeader*& last) {
  for (WaveHeader* h = first; h != nullptr;) {
    WaveHeader* next = h->next;
    h->next = nullptr;
    h->flags.fetch_and(~uint32_t{WaveHeader::InQueue});
    h = next;
  }
  first = last = nullptr;
}
}  // namespace

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
  if (Fails(WaveOperation::Open) || open || !ValidFormat(f)) return false;
  format = f;
  callback = cb;
  instance = inst;
  open = true;
  position = 0;
  Poke();
  return true;
}

bool VirtualWaveOut::Close() {
  std::lock_guard<std::mutex> guard(lock);
  bool failed = Fails(WaveOperation::Close);
  if (!open) return false;
  bool held = first != nullptr;
  Unlink(first, last);
  open = false;
  callback = nullptr;
  instance = nullptr;
  return !failed && !held;
}

bool VirtualWaveOut::Prepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Prepare) || !open || header.data == nullptr || header.bufferLength == 0) return false;
  header.flags.fetch_or(WaveHeader::Prepared);
  return true;
}

bool VirtualWaveOut::Unprepare(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Unprepare) || header.Has(WaveHeader::InQueue)) return false;
  header.flags.fetch_and(~uint32_t{WaveHeader::Prepared});
  return true;
}

bool VirtualWaveOut::Queue(WaveHeader& header) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Queue) || !open) return false;
  if (!header.Has(WaveHeader::Prepared) || header.Has(WaveHeader::InQueue)) return false;
  header.next = nullptr;
  header.deviceMark = 0;
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

bool VirtualWaveOut::Reset() {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Reset) || !open) return false;
  while (first != nullptr) {
    WaveHeader* h = first;
    first = h->next;
    HandBack(h);
  }
  last = nullptr;
  return true;
}

bool VirtualWaveOut::GetPosition(uint32_t& samples) {
  std::lock_guard<std::mutex> guard(lock);
  if (Fails(WaveOperation::Position) || !open) return false;
  samples = position;
  return true;
}

uint32_t VirtualWaveOut::FrameRate() const { return open ? format.samplesPerSec : 0; }

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
    if ((h->bufferLength - done) / block == 0) {
      first = h->next;
      if (first == nullptr) last = nullptr;
      HandBack(h);
    }
  }
  return moved;
}

void VirtualWaveOut::HandBack(WaveHeader* h) {
  h->next = nullptr;
  h->flags.store((h->flags.load() & ~uint32_t{WaveHeader::InQueue}) | WaveHeader::Done, std::memory_order_release);
  if (callback != nullptr) callback(instance, h);
}

}  // namespace vowelscope
