#include "engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "analysis/Fzeropass.h"
#include "analysis/Mathutilities.h"
#include "analysis/Windowfunction.h"
#include "config/Settings.h"

namespace vowelscope {

namespace {

constexpr double kFrameSeconds = 0.025;
constexpr double kReservedSeconds = 30.0;
constexpr uint32_t kNoLimit = 0xFFFFFFFFu;

// MaxRecordMinute minutes in samples, kept inside the 32-bit length of a stream.
uint32_t RecordLimitFromMinutes(int minutes) {
  const double samples = std::trunc(static_cast<double>(Engine::kSampleRate) * (minutes * 60.0));
  if (!(samples > 0.0)) return 0;
  if (samples >= static_cast<double>(kNoLimit)) return kNoLimit;
  return static_cast<uint32_t>(samples);
}

}  // namespace

Engine::RecordStream::RecordStream(Engine* engine) : engine(engine) {
  format = Engine::GetSoundFormat();
  canWrite = true;
}

bool Engine::RecordStream::Read(void*, unsigned, int* framesRead) {
  if (framesRead != nullptr) *framesRead = 0;
  return false;
}

bool Engine::RecordStream::Write(const void* buffer, unsigned frames, int* framesWritten) {
  unsigned accepted = 0;
  engine->ProcessRecordedBlock(static_cast<const int16_t*>(buffer), frames, &accepted);
  if (framesWritten != nullptr) *framesWritten = static_cast<int>(accepted);
  return true;
}

bool Engine::RecordStream::Seek(int, int) { return false; }

Engine::Engine(Settings* settings) : Engine(settings, nullptr) {}

Engine::Engine(Settings* settings, std::shared_ptr<WaveInDevice> device)
    : settings(settings),
      frameLength(GetSoundFormat().SecondsToFrames(kFrameSeconds)),
      audioIn(device ? AudioIn(GetSoundFormat(), AudioInDevice(kWaveMapper), std::move(device))
                     : AudioIn(GetSoundFormat(), AudioInDevice(kWaveMapper))),
      recordStream(this),
      windowType(HannWindow),
      sound(GetSoundFormat()),
      maxRecordSamples(kNoLimit),
      nextSound(GetSoundFormat()) {
  formantAnalyzer.SetSampleRate(kSampleRate);
  threadController.SetUserData(this);
}

Engine::~Engine() {
  StopRecord(true);
  // The F0 job reads the sound, the settings and the callback containers: none may go before it ends.
  threadController.Wait(ThreadController::INFINITE);
  std::atomic_store(&fzeroResult, std::shared_ptr<const FZeroResult>());
}

SoundFormat Engine::GetSoundFormat() { return RecordingFormat(); }

bool Engine::StartRecord() {
  // The capture thread writes the sound and the F0 job reads it: neither may be under way.
  if (IsRecording() || IsAnalysing()) return false;
  // The last F0 job has told its listeners; its thread may still be on its way out. Reaping it here
  // means the next StopRecord always finds the controller free.
  threadController.Wait(ThreadController::INFINITE);

  // The device first: when there is none, the last recording stays whole with its analyses, instead of
  // an empty sound beside the old F0 and formant tracks that a save would store as one session.
  const unsigned bufferBytes = static_cast<unsigned>(sound.GetFormat().FramesToBytes(frameLength));
  if (!audioIn.Open(bufferBytes, kCaptureBuffers)) {
    audioIn.Close();
    return false;
  }

  const unsigned reserved = sound.GetFormat().SecondsToFrames(kReservedSeconds);
  sound.Resize(0);
  sound.Reserve(reserved);

  maxRecordSamples = recordLimitOverride ? *recordLimitOverride
                                         : RecordLimitFromMinutes(settings->GetMaxRecordMinute());

  formantList.clear();
  formantList.reserve(reserved / frameLength + 1);
  PrepareFormantPath();
  livePitchList.clear();
  livePitchList.reserve(reserved / frameLength + 1);
  livePitch.Prepare(kSampleRate, frameLength, settings->GetF0Min(), settings->GetF0Max(), settings->GetF0Threshold());

  if (audioIn.Start(&recordStream)) return true;
  // Nothing runs: leave no device open and no work arrays behind.
  audioIn.Close();
  formantAnalyzer.Release();
  return false;
}

void Engine::PrepareFormantPath() {
  formantAnalyzer.SetOrder(settings->GetFormantOrder());
  formantAnalyzer.SetMaxBandwidth(static_cast<double>(settings->GetFormantBandWidth()));
  formantAnalyzer.SetPreEmphasis(settings->GetFormantPreEmphasis());
  formantAnalyzer.SetAutoOrder(settings->GetFormantAutoOrder());
  formantAnalyzer.Prepare(frameLength);

  // The analyzer fills (order + 1) / 2 formants; F2 is read even when a low order gives only one.
  const size_t order = static_cast<size_t>(std::max(formantAnalyzer.GetOrder(), 0));
  const size_t formantSlots = std::max<size_t>(2, (order + 1) / 2);
  blockFrame.assign(frameLength, 0.0);
  const WindowFunction window = GetWindowFunction(windowType);
  blockWindow.resize(frameLength);
  for (uint32_t i = 0; i < frameLength; ++i) {
    blockWindow[i] = window != nullptr ? window(static_cast<int>(i), static_cast<int>(frameLength)) : 1.0;
  }
  blockFormants.assign(formantSlots, 0.0);
  blockBandwidths.assign(formantSlots, 0.0);
}

void Engine::StopRecord(bool skipAnalysis) {
  if (!IsRecording()) return;
  audioIn.Stop();  // joins the capture thread: no block arrives after this
  audioIn.Close();
  formantAnalyzer.Release();
  if (skipAnalysis) return;

  formantTrack = formantList;
  analysing.store(true);
  if (!threadController.Run(&Engine::FZeroJob)) {
    // No worker: the old result belongs to another recording, and whoever waits for the analysis is
    // told now that none will come.
    analysing.store(false);
    std::atomic_store(&fzeroResult, std::shared_ptr<const FZeroResult>());
    bool analysed = false;
    fzeroAnalyzeCallbacks.Notify(analysed);
  }
}

bool Engine::IsRecording() const { return audioIn.IsRecording(); }

bool Engine::IsAnalysing() const { return analysing.load(); }

SoundMemoryStream* Engine::GetSound() {
  sound.Seek(0, kSeekBegin);  // fails harmlessly on an empty stream, whose position is 0 anyway
  return &sound;
}

unsigned Engine::GetFZeroHop(double frameShiftSeconds) {
  return SecondsToFramesClamped(GetSoundFormat(), frameShiftSeconds);
}

std::shared_ptr<const FZeroResult> Engine::GetFZeroResult() const { return std::atomic_load(&fzeroResult); }

void Engine::AddAudioCallback(const AudioCallback& callback) { audioIn.AddCallback(callback); }

void Engine::AddFormantTrackCallback(const FormantTrackCallback& callback) { formantTrackCallbacks.Add(callback); }

void Engine::AddLivePitchCallback(const LivePitchCallback& callback) { livePitchCallbacks.Add(callback); }

void Engine::AddFZeroAnalyzeCallback(const FZeroAnalyzeCallback& callback) { fzeroAnalyzeCallbacks.Add(callback); }

void Engine::AddProgressCallback(const ProgressCallback& callback) { progressCallbacks.Add(callback); }

void Engine::ProcessRecordedBlock(const int16_t* samples, unsigned count, unsigned* accepted) {
  const uint32_t length = sound.GetLength();
  if (length >= maxRecordSamples) {
    count = 0;
  } else if (count > maxRecordSamples - length) {
    count = maxRecordSamples - length;
  }
  // The input delivers one block per call; a longer one is taken block by block, so the track keeps one
  // value per frameLength samples and the work arrays are never overrun.
  for (unsigned done = 0; done < count;) {
    const unsigned part = std::min<unsigned>(frameLength, count - done);
    ProcessBlock(samples + done, part);
    done += part;
  }
  if (accepted != nullptr) *accepted = count;
}

void Engine::ProcessBlock(const int16_t* samples, unsigned count) {
  FormantValue value = AnalyseBlock(samples, count);
  formantList.push_back(value);
  sound.Write(samples, count, nullptr);  // a failed write loses these samples but not the analysis
  formantTrackCallbacks.Notify(value);
  FZeroValue pitch = livePitch.Next(samples, count);
  livePitchList.push_back(pitch);
  livePitchCallbacks.Notify(pitch);
}

FormantValue Engine::AnalyseBlock(const int16_t* samples, unsigned count) {
  std::fill(blockFrame.begin(), blockFrame.end(), 0.0);
  if (count == blockWindow.size()) {
    for (unsigned i = 0; i < count; ++i) blockFrame[i] = blockWindow[i] * samples[i];
  } else {
    // A shorter block (the last of a take) is weighted by a window of its own length.
    const WindowFunction window = GetWindowFunction(windowType);
    for (unsigned i = 0; i < count; ++i) {
      const double weight = window != nullptr ? window(static_cast<int>(i), static_cast<int>(count)) : 1.0;
      blockFrame[i] = weight * samples[i];
    }
  }
  std::fill(blockFormants.begin(), blockFormants.end(), 0.0);
  std::fill(blockBandwidths.begin(), blockBandwidths.end(), 0.0);
  double power = 0.0;
  formantAnalyzer.Analyze(blockFrame.data(), power, blockFormants.data(), blockBandwidths.data());

  FormantValue value{power, 0.0, 0.0};
  if (power >= settings->GetFormantThreshold()) {
    value.f1 = blockFormants[0];
    value.f2 = blockFormants[1];
  }
  return value;
}

void Engine::FZeroJob(ThreadController* controller) {
  static_cast<Engine*>(controller->GetUserData())->RunFZeroJob();
}

void Engine::RunFZeroJob() {
  std::shared_ptr<const FZeroResult> result = AnalyseFZero(sound, progressCallbacks);
  // Null only when the result could not be allocated: the old result does not describe this recording,
  // and the listeners still hear that the analysis is over.
  bool analysed = result != nullptr;
  std::atomic_store(&fzeroResult, std::move(result));
  // From here on the job no longer touches the sound, so a new recording may start as soon as the
  // listeners have heard of the end.
  analysing.store(false);
  fzeroAnalyzeCallbacks.Notify(analysed);
}

std::shared_ptr<const FZeroResult> Engine::AnalyseFZero(const SoundMemoryStream& source,
                                                        ProgressCallbackContainer& progress) const {
  // The options dialog lets a frame shift of 0 and a minimum above the maximum through; either would
  // give an empty track that looks like an analysis of silence.
  FZeroPassSettings passSettings;
  passSettings.frameShift = std::max(settings->GetF0FrameShift(), 1);
  passSettings.minFrequency = std::min(settings->GetF0Min(), settings->GetF0Max());
  passSettings.maxFrequency = std::max(settings->GetF0Min(), settings->GetF0Max());
  passSettings.powerThreshold = settings->GetF0Threshold();
  return RunFZeroPass(source.GetData(), source.GetLength(), source.GetFormat(), passSettings, progress);
}

}  // namespace vowelscope
