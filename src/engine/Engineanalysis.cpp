// The Engine's analyses of sound that was not just recorded: a file brought into the recording format,
// or the take in memory again with new settings. Both feed the samples through the recording's block
// handler on the worker thread and then run the F0 pass, so what they give is what a recording of the
// same sound would have given. The samples are held once: a file's sound is converted straight into
// the stream that becomes the session's, and a take is analysed where it lies.

#include <algorithm>
#include <new>
#include <utility>

#include "engine/Engine.h"
#include "base/Error.h"
#include "sound/Soundimport.h"

namespace vowelscope {

namespace {

const char* const kAnalysisStartFailed = "分析を開始できませんでした。";
// Progress reports while the blocks are fed: enough for a smooth bar, few enough not to flood it.
constexpr uint32_t kFeedReports = 200;

}  // namespace

bool Engine::StartSoundAnalysis(bool next) {
  // The last job has told its listeners but its thread may still be on its way out.
  threadController.Wait(ThreadController::INFINITE);
  // The settings are read here, on the thread that changes them, as at the start of a recording.
  PrepareFormantPath();
  analysingNext = next;
  analysing.store(true);
  if (threadController.Run(&Engine::SoundAnalysisJob)) return true;
  // No worker: the session stays as it was.
  analysing.store(false);
  formantAnalyzer.Release();
  return false;
}

bool Engine::StartReanalysis() {
  if (IsRecording() || IsAnalysing()) return false;
  return StartSoundAnalysis(false);
}

std::string Engine::AnalyseFile(const std::string& path) {
  if (IsRecording() || IsAnalysing()) throw Error(kAnalysisStartFailed);
  SoundImport import;
  const SoundImportStatus status = ImportSoundFile(path, kSampleRate, import, nextSound);
  if (status != SoundImportStatus::Ok) throw Error(SoundImportMessage(status, path));
  if (!StartSoundAnalysis(true)) {
    nextSound.Resize(0);
    throw Error(kAnalysisStartFailed);
  }
  return DescribeSoundImport(import);
}

void Engine::SoundAnalysisJob(ThreadController* controller) {
  static_cast<Engine*>(controller->GetUserData())->RunSoundAnalysisJob();
}

void Engine::RunSoundAnalysisJob() {
  const SoundMemoryStream& source = analysingNext ? nextSound : sound;
  const auto* samples = reinterpret_cast<const int16_t*>(source.GetData());
  const uint32_t length = source.GetLength();

  // Block by block, as the input delivers a recording; the bar follows the blocks, then the F0 frames.
  const uint32_t blocks = (length + frameLength - 1) / frameLength;
  const uint32_t reportEvery = std::max<uint32_t>(1, blocks / kFeedReports);
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
        progressCallbacks.Notify(report);
      }
    }
  } catch (const std::bad_alloc&) {
    track.clear();
  }
  // The analyzer's work arrays are not needed by the F0 pass, whose own memory grows with the sound.
  formantAnalyzer.Release();
  if (track.size() == blocks) result = AnalyseFZero(source, progressCallbacks);

  // Only a whole analysis replaces the session; a failed one leaves the sound and tracks that were there.
  bool analysed = result != nullptr;
  if (analysed) {
    if (analysingNext) {
      sound.Swap(nextSound);
      maxRecordSamples = length;
    }
    formantTrack = std::move(track);
    std::atomic_store(&fzeroResult, std::move(result));
  }
  nextSound.Resize(0);
  sound.Seek(0, kSeekBegin);
  analysing.store(false);
  fzeroAnalyzeCallbacks.Notify(analysed);
}

}  // namespace vowelscope
