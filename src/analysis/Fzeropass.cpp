#include "analysis/Fzeropass.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Autosegment.h"
#include "analysis/Mathutilities.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {

namespace {

// Re-bases the analyzer's progress within one stretch onto the frames of the whole recording.
class ProgressRelay {
 public:
  ProgressRelay(ProgressCallbackContainer& target, int32_t frameCount) : target(target), frameCount(frameCount) {}

  void SetBase(int32_t value) { base = value; }

  void OnProgress(ProgressCallbackParams& params) {
    ProgressCallbackParams relayed;
    relayed.minimum = 0;
    relayed.maximum = frameCount;
    relayed.position = base + params.position;
    target.Notify(relayed);
  }

 private:
  ProgressCallbackContainer& target;
  int32_t frameCount;
  int32_t base = 0;
};

}  // namespace

std::shared_ptr<const FZeroResult> RunFZeroPass(const void* data, unsigned length, const SoundFormat& format,
                                                const FZeroPassSettings& settings,
                                                ProgressCallbackContainer& progress) {
  const double shiftSeconds = settings.frameShift * 0.001;
  const unsigned hop = SecondsToFramesClamped(format, shiftSeconds);

  std::shared_ptr<FZeroResult> result;
  try {
    if (hop == 0) return std::make_shared<FZeroResult>(shiftSeconds, 0);
    const unsigned frames = static_cast<unsigned>((static_cast<double>(length) + hop - 1) / hop);
    result = std::make_shared<FZeroResult>(shiftSeconds, frames);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const unsigned frames = static_cast<unsigned>(result->values.size());

  FZeroAnalyzer analyzer;
  ProgressRelay relay(progress, static_cast<int32_t>(frames));
  analyzer.AddProgressCallback(
      CallbackMethod<ProgressRelay, ProgressCallbackParams>(&relay, &ProgressRelay::OnProgress));
  analyzer.SetFrameShift(shiftSeconds);
  analyzer.SetMinFrequency(settings.minFrequency);
  analyzer.SetMaxFrequency(settings.maxFrequency);

  // The view is only read; it lets the pass move a position of its own over the recording.
  SoundMemoryStream view(const_cast<void*>(data), data != nullptr ? length : 0, format);

  // The segmentation works below full scale; the setting is a level above one unit of the 16-bit scale.
  const double threshold = settings.powerThreshold - 20.0 * std::log10(32768.0);
  AutoSegment segmentation;
  const bool attached = segmentation.Attach(view, true);
  segmentation.SetStartThreshold(threshold);
  segmentation.SetEndThreshold(threshold);
  segmentation.SetMinVoice(0.0);
  segmentation.SetMaxGap(0.0);
  segmentation.SetMargin(0.01);

  unsigned from = 0;
  unsigned start = 0;
  unsigned stretch = 0;
  while (attached && segmentation.FindSegment(from, start, stretch) && stretch > 0) {
    from = start + stretch;
    const unsigned base = start / hop;
    relay.SetBase(static_cast<int32_t>(base));
    std::unique_ptr<FZeroResult> part = analyzer.Analyze(view, start, stretch);
    if (!part) break;
    const size_t count = std::min(part->values.size(), static_cast<size_t>(frames - std::min(base, frames)));
    std::copy_n(part->values.begin(), count, result->values.begin() + base);
  }
  segmentation.Reset();
  return result;
}

}  // namespace vowelscope
