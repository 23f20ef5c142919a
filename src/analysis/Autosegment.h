#pragma once
// Finds the loud stretches of a recording from the levels of consecutive 25 ms blocks, in dB relative
// to digital full scale: a stretch starts at a block at or above the start threshold, ends where the
// level has stayed below the end threshold for longer than the longest pause, is dropped when it falls
// silent before lasting the shortest voice, and is widened by a margin on both sides.
// Used by the F0 pass on its worker thread.

#include <cstdint>
#include <vector>

#include "sound/Soundformat.h"

namespace vowelscope {

class SoundStream;

class AutoSegment {
 public:
  AutoSegment() = default;
  virtual ~AutoSegment() = default;
  AutoSegment(const AutoSegment&) = delete;
  AutoSegment& operator=(const AutoSegment&) = delete;

  void SetStartThreshold(double dB) { startThreshold = dB; }
  void SetEndThreshold(double dB) { endThreshold = dB; }
  void SetMargin(double seconds) { margin = seconds; }
  void SetMinVoice(double seconds) { minVoice = seconds; }
  void SetMaxGap(double seconds) { maxGap = seconds; }
  double GetStartThreshold() const { return startThreshold; }
  double GetEndThreshold() const { return endThreshold; }
  double GetMargin() const { return margin; }
  double GetMinVoice() const { return minVoice; }
  double GetMaxGap() const { return maxGap; }

  // Takes the stream's format and length (the stream is not owned and must outlive the attachment).
  // With computeLevels every block's level is measured now, once, and the stream is not read again.
  // False (detached) when the levels cannot be measured: an empty stream, a sample format other than
  // 8-bit unsigned, 16-bit signed or 32-bit float, a failed seek or allocation.
  bool Attach(SoundStream& stream, bool computeLevels);
  // The next stretch at or after the block that contains or follows `from`, in frames. False when
  // nothing is attached, no stretch is found, or the stream cannot be read.
  bool FindSegment(unsigned from, unsigned& start, unsigned& length);
  void Reset();

  unsigned GetBlockCount() const { return blockCount; }
  unsigned GetBlockFrames() const { return blockFrames; }
  // Level of block i in dBFS as measured by Attach; valid for i < GetBlockCount() when levels were computed.
  float GetLevel(unsigned i) const { return levels[i]; }
  bool HasLevels() const { return hasLevels; }

 private:
  enum SampleKey { Unsupported = 0, Unsigned8 = 1, Signed16 = 2, Float32 = 3 };

  bool PrepareRead();
  void ReleaseRead() { readBuffer = {}; }
  // Level of the block at the stream's current position.
  float ReadLevel();

  SoundFormat format;
  unsigned streamLength = 0;
  SoundStream* stream = nullptr;
  unsigned blockCount = 0;
  std::vector<float> levels;
  bool hasLevels = false;
  int sampleKey = Unsupported;
  unsigned blockFrames = 0;
  double fullScaleDb = 0.0;
  double floorMeanSquare = 1.0;  // mean squares at or below it read as the floor level
  double floorDb = 0.0;
  std::vector<uint8_t> readBuffer;

  double blockSeconds = 0.025;
  double startThreshold = -30.0;
  double endThreshold = -35.0;
  double margin = 0.2;
  double minVoice = 0.1;
  double maxGap = 0.125;
};

}  // namespace vowelscope
