// The Engine's analyses of sound that was not recorded: a file brought into the recording format, or the
// take in memory again with new settings. Both feed the samples through the recording's block handler
// on the worker thread and then run the F0 pass, so what they give is what a recording of the same
// sound would have given.

#include <algorithm>
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

bool Engine::StartSoundAnalysis(std::vector<int16_t> samples) {
  if (IsRecording() || IsAnalysing()) return false;
  if (samples.size() > kMaxImportSamples) return false;
  // The last job has told its listeners but its thread may still be on its way out.
  threadController.Wait(ThreadController::INFINITE);

  // The settings are read here, on the thread that changes them, as at the start of a recording.
  PrepareFormantPath();
  pendingSamples = std::move(samples);
  analysing.store(true);
  if (threadController.Run(&Engine::SoundAnalysisJob)) return true;
  // No worker: the session stays as it was.
  analysing.store(false);
  pendingSamples.clear();
  pendingSamples.shrink_to_fit();
  formantAnalyzer.Release();
  return false;
}

bool Engine::StartReanalysis() {
  if (IsRecording() || IsAnalysing()) return false;
  const auto* data = reinterpret_cast<const int16_t*>(sound.GetData());
  std::vector<int16_t> samples(data, data + sound.GetLength());
  return StartSoundAnalysis(std::move(samples));
}

std::string Engine::AnalyseFile(const std::string& path) {
  if (IsRecording() || IsAnalysing()) throw Error(kAnalysisStartFailed);
  SoundImport import;
  const SoundImportStatus status = ImportSoundFile(path, kSampleRate, import);
  if (status != SoundImportStatus::Ok) throw Error(SoundImportMessage(status, path));
  std::string description = DescribeSoundImport(import);
  if (!StartSoundAnalysis(std::move(import.samples))) throw Error(kAnalysisStartFailed);
  return description;
}

void Engine::SoundAnalysisJob(ThreadController* controller) {
  static_cast<Engine*>(controller->GetUserData())->RunSoundAnalysisJob();
}

void Engine::RunSoundAnalysisJob() {
  std::vector<int16_t> samples = std::move(pendingSamples);
  pendingSamples = {};
  const auto length = static_cast<uint32_t>(samples.size());

  sound.Resize(0);
  sound.Reserve(length);
  maxRecordSamples = length;
  formantList.clear();
  formantList.reserve(length / frameLength + 1);

  // Block by block, as the input delivers a recording; the bar follows the blocks, then the F0 frames.
  const uint32_t blocks = (length + frameLength - 1) / frameLength;
  const uint32_t reportEvery = std::max<uint32_t>(1, blocks / kFeedReports);
  ProgressCallbackParams report;
  report.maximum = static_cast<int32_t>(blocks);
  uint32_t block = 0;
  for (uint32_t done = 0; done < length; done += frameLength, ++block) {
    ProcessBlock(samples.data() + done, std::min(frameLength, length - done), false);
    if (block % reportEvery == 0) {
      report.position = static_cast<int32_t>(block);
      progressCallbacks.Notify(report);
    }
  }
  // The sound holds the samples now; the F0 pass needs its own memory more than this copy.
  samples = {};
  formantAnalyzer.Release();
  formantTrack = formantList;
  sound.Seek(0, kSeekBegin);
  RunFZeroJob();
}

}  // namespace vowelscope
