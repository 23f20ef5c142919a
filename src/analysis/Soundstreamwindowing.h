#pragma once
// Reads a range of a sound stream as a sequence of overlapping (or gapped) frames of doubles,
// optionally weighted by a window. Frame k covers the source frames from start + k * shift - N / 2
// onward (zeros before the start of the source and past its end).

#include <cstdint>
#include <vector>

namespace vowelscope {

class SoundStream;

class SoundStreamWindowing {
 public:
  // Shift and window length default to 10 ms and 20 ms of the source's format.
  explicit SoundStreamWindowing(SoundStream& source);
  virtual ~SoundStreamWindowing();
  SoundStreamWindowing(const SoundStreamWindowing&) = delete;
  SoundStreamWindowing& operator=(const SoundStreamWindowing&) = delete;

  // Take effect at the next Begin.
  void SetShift(unsigned frames) { shift = frames; }
  void SetWindowLength(unsigned frames) { windowLength = frames; }
  void SetWindowType(int number) { windowType = number; }
  unsigned GetShift() const { return shift; }
  unsigned GetWindowLength() const { return windowLength; }
  int GetWindowType() const { return windowType; }

  // Prepares the range start .. start + count (count 0, or a range past the end, means to the end of
  // the source) and gives the number of frames to fetch, count / shift rounded up. Fails for a start
  // past the end, a shift or window length of 0, an unknown window type, a source that is not mono
  // 16-bit integer or 32-bit float, and a failed allocation, seek or read.
  bool Begin(unsigned start, unsigned count, unsigned& frames);
  // The next frame of N doubles (integer samples keep their value), valid until the next Next, Begin
  // or End. False when the source cannot be read or Begin did not succeed.
  bool Next(const double*& frame);
  void End();

 private:
  bool Prime();
  // Reads up to n frames into the raw buffer; gives how many arrived.
  bool ReadRaw(unsigned n, unsigned& got);

  SoundStream& source;
  unsigned start = 0;
  unsigned count = 0;
  unsigned shift;
  unsigned windowLength;
  int windowType = 0;
  unsigned overlap = 0;
  unsigned gap = 0;
  unsigned carry = 0;
  bool floatSamples = false;
  std::vector<int16_t> rawIntegers;
  std::vector<float> rawFloats;
  std::vector<double> frameBuffer;
  std::vector<double> weightedBuffer;
  std::vector<double> window;
};

}  // namespace vowelscope
