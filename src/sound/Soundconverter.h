#pragma once
// Block-wise copying of sound from one stream to another through a pluggable conversion step.

#include "base/Callback.h"
#include "sound/Soundstream.h"

namespace vowelscope {

// One conversion step between two formats, fed block by block.
class SoundConvertComponent {
 public:
  virtual ~SoundConvertComponent() = default;

  virtual bool CanConvert(const SoundFormat& from, const SoundFormat& to) = 0;
  // A new component of the same class and state; the caller owns it.
  virtual SoundConvertComponent* Clone() const = 0;
  // Prepares a conversion; maxOutFrames receives how many frames one block of up to maxInFrames
  // input frames can produce.
  virtual bool BeginConvert(const SoundFormat& from, const SoundFormat& to, unsigned maxInFrames,
                            int& maxOutFrames) = 0;
  // outFrames may be null.
  virtual bool Convert(const void* input, int inFrames, void* output, int* outFrames) = 0;
  // Emits what the component still holds at the end; outFrames may be null.
  virtual bool Flush(void* output, int* outFrames) = 0;
  virtual double Ratio() { return 1.0; }
};

// Copies from a source's current position to its end into a destination at its current position.
// Runs on the calling thread and reports progress there, in output frames.
class SoundConvertExecuter {
 public:
  static constexpr unsigned kBlockFrames = 2048;

  SoundConvertExecuter() = default;
  virtual ~SoundConvertExecuter();
  SoundConvertExecuter(const SoundConvertExecuter&) = delete;
  SoundConvertExecuter& operator=(const SoundConvertExecuter&) = delete;

  // Keeps a clone; the caller keeps its own component.
  void SetConverter(const SoundConvertComponent& component);
  void AddProgressCallback(const ProgressCallback& callback) { progress.Add(callback); }

  // False without a converter, for formats it cannot convert, or when a read, a conversion or a
  // write fails; frames written before a failure stay in the destination. A destination that takes
  // fewer frames than offered does not make the run fail.
  bool Run(SoundStream& source, SoundStream& destination);

 private:
  SoundConvertComponent* converter = nullptr;
  unsigned blockFrames = kBlockFrames;
  ProgressCallbackContainer progress;
};

}  // namespace vowelscope
