// The Engine's analyses of sound that was not just recorded: a file brought into the recording format,
// or the take in memory again with new settings. Both run wholly on the worker thread, feed the
// samples through the recording's block handler and then run the F0 pass, so what they give is what a
// recording of the same sound would have given. The samples are held once: a file's sound is
// converted straight into the stream that becomes the session's, and a take is analysed where it lies.

#include <algorithm>
#include <new>
#include <utility>

#include "engine/Engine.h"
#include "sound/Soundimport.h"

namespace vowelscope {

namespace {

const char* const kAnalysisFailed = "分析を開始できませんでした。";
// Progress reports while the blocks are fed: enough for a smooth bar, few enough not to flood it.
constexpr uint32_t kFeedReports = 200;
// The stages' costs, for their shares of the one progress scale: seconds for ten minutes of a
// 44.1 kHz stereo phone recording here (reading and converting, the blocks, the F0 pass).
constexpr double kReadCost = 0.35;
constexpr double kBlocksCost = 0.21;
constexpr double kFZeroCost = 0.17;

// Carries each stage's own progress on to the Engine's listeners as one scale over the whole job
// that only rises, in steps of a thousandth (fewer steps than a bar has pixels are not seen).
class StagedProgress {
 public:
  static constexpr int32_t kScale = 1000;

  explicit StagedProgress(ProgressCallbackContainer& target) : target(target) {
    stage.Add(CallbackMethod<StagedProgress, ProgressCallbackParams>(this, &StagedProgress::OnProgress));
  }

  // Starts the next stage, which takes `share` of the scale after the stages before it; the stage
  // reports to the container returned.
  ProgressCallbackContainer& Begin(double share) {
    base += width;
    width = share;
    return stage;
  }
  // The whole job is done, whatever the last stage reported.
  void Finish() { Report(kScale); }

 private:
  void OnProgress(ProgressCallbackParams& params) {
    const double range = static_cast<double>(params.maximum) - params.minimum;
    const double done = range > 0 ? std::clamp((params.position - params.minimum) / range, 0.0, 1.0) : 0.0;
    Report(static_cast<int32_t>((base + width * done) * kScale));
  }
  void Report(int32_t position) {
    position = std::min(position, kScale);
    if (position <= last) return;
    last = position;
    ProgressCallbackParams params;
    params.maximum = kScale;
    params.position = position;
    target.Notify(params);
  }

  ProgressCallbackContainer& target;
  ProgressCallbackContainer stage;
  double base = 0.0;
  double width = 0.0;
  int32_t last = -1;
};

}  // namespace

bool Engine::StartSoundAnalysis(const std::string& path) {
  if (IsRecording() || IsAnalysing()) return false;
  // The last job has told its listeners but its thread may still be on its way out.
  threadController.Wait(ThreadController::INFINITE);
  // The settings are read here, on the thread that changes them, as at the start of a recording.
  PrepareFormantPath();
  analysisPath = path;
  importDescription.clear();
  analysisError.clear();
  analysing.store(true);
  if (threadController.Run(&Engine::SoundAnalysisJob)) return true;
  // No worker: the session stays as it was.
  analysing.store(false);
  formantAnalyzer.Release();
  analysisError = kAnalysisFailed;
  return false;
}

bool Engine::StartReanalysis() { return StartSoundAnalysis(std::string()); }

bool Engine::StartFileAnalysis(const std::string& path) { return !path.empty() && StartSoundAnalysis(path); }

void Engine::SoundAnalysisJob(ThreadController* controller) {
  static_cast<Engine*>(controller->GetUserData())->RunSoundAnalysisJob();
}

void Engine::RunSoundAnalysisJob() {
  const bool fromFile = !analysisPath.empty();
  const double total = (fromFile ? kReadCost : 0.0) + kBlocksCost + kFZeroCost;
  StagedProgress progress(progressCallbacks);
  bool readable = true;
  if (fromFile) {
    SoundImport import;
    const SoundImportStatus status =
        ImportSoundFile(analysisPath, kSampleRate, import, nextSound, &progress.Begin(kReadCost / total));
    if (status == SoundImportStatus::Ok) {
      importDescription = DescribeSoundImport(import);
    } else {
      analysisError = SoundImportMessage(status, analysisPath);
      readable = false;
    }
  }
  const SoundMemoryStream& source = fromFile ? nextSound : sound;
  const auto* samples = reinterpret_cast<const int16_t*>(source.GetData());
  const uint32_t length = readable ? source.GetLength() : 0;

  // Block by block, as the input delivers a recording.
  const uint32_t blocks = (length + frameLength - 1) / frameLength;
  const uint32_t reportEvery = std::max<uint32_t>(1, blocks / kFeedReports);
  ProgressCallbackContainer& blockProgress = progress.Begin(kBlocksCost / total);
  ProgressCallbackParams report;
  report.maximum = static_cast<int32_t>(blocks);
  std::vector<FormantValue> track;
  std::shared_ptr<const FZeroResult> result;
  try {
    track.reserve(blocks);
    uint32_t block = 0;
    for (uint32_t done = 0; done < length; done += frameLength, ++block) {
      track.push_back(AnalyseBlock(samples + done, std::min(frameLength, length - done)));
      if (block % reportEvery == 0) {
        report.position = static_cast<int32_t>(block);
        blockProgress.Notify(report);
      }
    }
  } catch (const std::bad_alloc&) {
    track.clear();
  }
  // The analyzer's work arrays are not needed by the F0 pass, whose own memory grows with the sound.
  formantAnalyzer.Release();
  if (readable && track.size() == blocks) result = AnalyseFZero(source, progress.Begin(kFZeroCost / total));

  // Only a whole analysis replaces the session; a failed one leaves the sound and tracks that were there.
  bool analysed = result != nullptr;
  if (analysed) {
    if (fromFile) {
      sound.Swap(nextSound);
      maxRecordSamples = length;
    }
    formantTrack = std::move(track);
    std::atomic_store(&fzeroResult, std::move(result));
    progress.Finish();
  } else if (analysisError.empty()) {
    analysisError = kAnalysisFailed;
  }
  nextSound.Resize(0);
  sound.Seek(0, kSeekBegin);
  // Everything the caller reads after the job is written before this.
  analysing.store(false);
  fzeroAnalyzeCallbacks.Notify(analysed);
}

}  // namespace vowelscope
