// Appends a long recording to an owning SoundMemoryStream the way the capture thread does (275-frame
// writes of 16-bit mono at 11025 Hz after a 30 s reservation) and times every write. The capture thread
// has 25 ms per block and five buffers in flight, so the worst single write is what matters.
//
// Measured in the same run, in rotating order:
//   reference  memcpy into a buffer allocated up front (the cost of the copy and of first-touch faults)
//   exact      realloc to exactly the new length on every write past the reservation
//   stream     SoundMemoryStream::Write
// plus, once, what one reallocation costs at the full length where realloc has to copy (allocators that
// cannot remap in place do this on every exact-size growth).
// On a shared machine a single write can be held up by the scheduler, so every variant runs several
// rounds and the summary gives the smallest worst-write of the rounds next to the largest.
//
//   bench_soundmemorystream [minutes] [rounds]   (defaults 120 and 3)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sound/Recordingformat.h"
#include "sound/Soundmemorystream.h"

using namespace vowelscope;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned kBlock = 275;
constexpr size_t kBlockBytes = kBlock * 2;

struct Figures {
  double worstMs = 0;
  double totalMs = 0;
  unsigned over1Ms = 0;  // writes slower than 1 ms
  unsigned over2Ms = 0;
  unsigned grows = 0;    // writes that enlarged the buffer
  unsigned moves = 0;    // ... and moved it to a new address
  double worstGrowMs = 0;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Count(Figures& f, double ms) {
  f.worstMs = std::max(f.worstMs, ms);
  if (ms > 1.0) ++f.over1Ms;
  if (ms > 2.0) ++f.over2Ms;
}


Figures RunReference(unsigned writes, const std::vector<int16_t>& block) {
  Figures f;
  const size_t bytes = static_cast<size_t>(writes) * kBlockBytes;
  std::unique_ptr<uint8_t[]> target(new uint8_t[bytes]);
  const auto start = Clock::now();
  for (unsigned w = 0; w < writes; ++w) {
    const auto t0 = Clock::now();
    std::memcpy(target.get() + static_cast<size_t>(w) * kBlockBytes, block.data(), kBlockBytes);
    Count(f, Ms(Clock::now() - t0));
  }
  f.totalMs = Ms(Clock::now() - start);
  volatile uint8_t sink = target[bytes / 2];
  (void)sink;
  return f;
}

Figures RunExact(unsigned writes, const std::vector<int16_t>& block, size_t reservedBytes) {
  Figures f;
  uint8_t* data = static_cast<uint8_t*>(std::malloc(reservedBytes));
  size_t capacity = reservedBytes;
  const auto start = Clock::now();
  for (unsigned w = 0; w < writes; ++w) {
    const auto t0 = Clock::now();
    const size_t end = (static_cast<size_t>(w) + 1) * kBlockBytes;
    bool grew = false;
    if (end > capacity) {
      uint8_t* grown = static_cast<uint8_t*>(std::realloc(data, end));
      if (grown == nullptr) std::abort();
      grew = true;
      if (grown != data) ++f.moves;
      data = grown;
      capacity = end;
    }
    std::memcpy(data + end - kBlockBytes, block.data(), kBlockBytes);
    const double ms = Ms(Clock::now() - t0);
    Count(f, ms);
    if (grew) {
      ++f.grows;
      f.worstGrowMs = std::max(f.worstGrowMs, ms);
    }
  }
  f.totalMs = Ms(Clock::now() - start);
  std::free(data);
  return f;
}

Figures RunStream(unsigned writes, const std::vector<int16_t>& block, const SoundFormat& format) {
  Figures f;
  SoundMemoryStream s(format);
  s.Resize(0);
  s.Reserve(format.SecondsToFrames(30));
  const uint8_t* last = s.GetData();
  uint32_t capacity = s.GetCapacity();
  const auto start = Clock::now();
  for (unsigned w = 0; w < writes; ++w) {
    const auto t0 = Clock::now();
    if (!s.Write(block.data(), kBlock, nullptr)) std::abort();
    const double ms = Ms(Clock::now() - t0);
    Count(f, ms);
    if (s.GetCapacity() != capacity) {
      ++f.grows;
      f.worstGrowMs = std::max(f.worstGrowMs, ms);
      capacity = s.GetCapacity();
    }
    if (s.GetData() != last) {
      ++f.moves;
      last = s.GetData();
    }
  }
  f.totalMs = Ms(Clock::now() - start);
  return f;
}

void Report(const char* name, const Figures& f) {
  std::printf("  %-10s worst %7.3f ms  total %7.1f ms  >1ms %4u  >2ms %4u", name, f.worstMs, f.totalMs, f.over1Ms,
              f.over2Ms);
  if (f.grows != 0) std::printf("  grew %6u (worst %.3f ms) moved %u", f.grows, f.worstGrowMs, f.moves);
  std::printf("\n");
}

struct Summary {
  double bestWorst = 1e9, worstWorst = 0, bestTotal = 1e9;
  void Add(const Figures& f) {
    bestWorst = std::min(bestWorst, f.worstMs);
    worstWorst = std::max(worstWorst, f.worstMs);
    bestTotal = std::min(bestTotal, f.totalMs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 120.0;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const SoundFormat format = RecordingFormat();
  const unsigned writes = (format.SecondsToFrames(minutes * 60.0) + kBlock - 1) / kBlock;
  std::vector<int16_t> block(kBlock);
  for (unsigned i = 0; i < kBlock; ++i) block[i] = static_cast<int16_t>(i * 37);
  std::printf("%.1f min of 16-bit mono 11025 Hz: %u writes of %u frames after a 30 s reservation\n", minutes, writes,
              kBlock);

  Summary reference, exact, stream;
  for (int r = 0; r < rounds; ++r) {
    std::printf("round %d\n", r + 1);
    for (int v = 0; v < 3; ++v) {
      switch ((v + r) % 3) {
        case 0: {
          const Figures f = RunReference(writes, block);
          Report("reference", f);
          reference.Add(f);
          break;
        }
        case 1: {
          const Figures f = RunExact(writes, block, format.SecondsToFrames(30) * kBlockBytes / kBlock);
          Report("exact", f);
          exact.Add(f);
          break;
        }
        default: {
          const Figures f = RunStream(writes, block, format);
          Report("stream", f);
          stream.Add(f);
          break;
        }
      }
    }
  }
  std::printf("summary over %d rounds (worst single write: best round .. worst round; best total)\n", rounds);
  const auto line = [&](const char* name, const Summary& s) {
    std::printf("  %-10s %7.3f .. %7.3f ms   total %7.1f ms   ratio to reference: worst %.2f total %.2f\n", name,
                s.bestWorst, s.worstWorst, s.bestTotal, s.bestWorst / std::max(reference.bestWorst, 1e-6),
                s.bestTotal / std::max(reference.bestTotal, 1e-6));
  };
  line("reference", reference);
  line("exact", exact);
  line("stream", stream);

  // One copying reallocation at the full length: allocate, copy, free.
  {
    const size_t bytes = static_cast<size_t>(writes) * kBlockBytes;
    std::unique_ptr<uint8_t[]> old(new uint8_t[bytes]);
    std::memset(old.get(), 1, bytes);
    double best = 1e9;
    for (int r = 0; r < 3; ++r) {
      const auto t0 = Clock::now();
      std::unique_ptr<uint8_t[]> grown(new uint8_t[bytes + kBlockBytes]);
      std::memcpy(grown.get(), old.get(), bytes);
      volatile uint8_t sink = grown[bytes - 1];
      (void)sink;
      best = std::min(best, Ms(Clock::now() - t0));
    }
    std::printf("  one copying reallocation of %.1f MB: %.3f ms\n", bytes / 1e6, best);
  }
  // A plain copy that exceeds the budget too means the machine, not the stream, held the write up.
  std::printf("stream: worst single write %.3f ms in its best round, %s the 2 ms budget%s\n", stream.bestWorst,
              stream.bestWorst > 2.0 ? "over" : "within",
              stream.bestWorst > 2.0 && reference.bestWorst > 2.0 ? " (so is the plain copy: a busy machine)" : "");
  return 0;
}
