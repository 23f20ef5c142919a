#pragma once
// Buffer-queue sound devices: the caller hands the device buffers described by WaveHeader records, the
// device fills (input) or plays (output) them in queue order and hands each one back through a done
// callback. Device operations are called from the owner's threads; the done callback runs on whatever
// thread the device chooses (its real-time thread, a clock thread, or the caller of Stop/Reset/Close)
// and must only count and signal: no locks, no allocation, no device calls.

#include <atomic>
#include <cstdint>

namespace vowelscope {

// The 18-byte wave-format record as the devices take it (same fields and meaning as in WAVE files).
struct WaveDeviceFormat {
  uint16_t formatTag = 0;  // 1 = integer PCM, 3 = IEEE float
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
};

// Default-device identifier.
constexpr uint32_t kWaveMapper = 0xFFFFFFFFu;

struct WaveHeader {
  enum Flag : uint32_t {
    Done = 0x1,      // handed back by the device
    Prepared = 0x2,  // prepared and not yet unprepared
    InQueue = 0x10,  // held by the device
  };

  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;             // bytes at data
  std::atomic<uint32_t> bytesRecorded{0};  // input: bytes the device filled in
  uintptr_t user = 0;                    // the caller's word, never touched by the device
  std::atomic<uint32_t> flags{0};

  // Device bookkeeping, never touched by the caller.
  WaveHeader* next = nullptr;
  uint64_t deviceMark = 0;

  WaveHeader() = default;
  WaveHeader(const WaveHeader&) = delete;
  WaveHeader& operator=(const WaveHeader&) = delete;

  bool Has(uint32_t flag) const { return (flags.load(std::memory_order_acquire) & flag) != 0; }
  // Clears every field, as before a fresh prepare.
  void Clear() {
    data = nullptr;
    bufferLength = 0;
    bytesRecorded.store(0, std::memory_order_relaxed);
    user = 0;
    flags.store(0, std::memory_order_relaxed);
    next = nullptr;
    deviceMark = 0;
  }
};

// instance is the pointer given to Open; header is the buffer just handed back.
using WaveDoneCallback = void (*)(void* instance, WaveHeader* header);

// Common rules of both directions:
// - Open on an open device fails; Close always leaves the device closed and drops every buffer it still
//   held (reported as false when it had to), so the caller may free its buffers afterwards.
// - Prepare needs a data pointer and length; Unprepare fails while the device holds the buffer.
// - Queue needs a prepared buffer that the device does not hold yet.
class WaveInDevice {
 public:
  virtual ~WaveInDevice() = default;

  virtual bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) = 0;
  virtual bool Close() = 0;
  virtual bool Prepare(WaveHeader& header) = 0;
  virtual bool Unprepare(WaveHeader& header) = 0;
  // Buffers are filled in queue order; each is handed back full, with bytesRecorded = bufferLength.
  virtual bool Queue(WaveHeader& header) = 0;
  virtual bool Start() = 0;
  // Stops capturing; the buffer being filled is handed back with the bytes it holds, the others stay queued.
  virtual bool Stop() = 0;
  // Stops capturing and hands back every queued buffer; the position returns to 0.
  virtual bool Reset() = 0;
  // Bytes filled into buffers since the first Start after Open or Reset.
  virtual bool GetPosition(uint32_t& bytes) = 0;
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;

  virtual bool Open(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance) = 0;
  virtual bool Close() = 0;
  virtual bool Prepare(WaveHeader& header) = 0;
  virtual bool Unprepare(WaveHeader& header) = 0;
  // Buffers play in queue order, starting with the first queued; each is handed back once played.
  virtual bool Queue(WaveHeader& header) = 0;
  // Stops playing and hands back every queued buffer; the next Queue plays again.
  virtual bool Reset() = 0;
  // Frames played from buffers since Open.
  virtual bool GetPosition(uint32_t& samples) = 0;
};

}  // namespace vowelscope
