#pragma once
// What the Engine tests share: an Engine on a virtual input, a listener that records what the Engine
// reports and lets the test wait for it, and the signals and sounds they record.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/Formantvalue.h"
#include "config/Settings.h"
#include "audio/Audiocallback.h"
#include "engine/Engine.h"
#include "platform/Virtualwavein.h"

namespace vowelscope::enginetest {

// An Engine recording from a virtual input that runs as fast as buffers are queued; `input` (when
// given) receives the device, which it shares with the Engine.
inline std::unique_ptr<Engine> MakeEngine(Settings& settings, std::shared_ptr<VirtualWaveIn>* input = nullptr) {
  auto device = std::make_shared<VirtualWaveIn>();
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  if (input != nullptr) *input = device;
  return std::make_unique<Engine>(&settings, device);
}

// Records every notification of an Engine; the waits give up after a generous time so that a hang
// fails the test instead of stalling the suite.
class Listener {
 public:
  explicit Listener(Engine& engine) {
    engine.AddAudioCallback(CallbackMethod<Listener, AudioCallbackParams>(this, &Listener::OnAudio));
    engine.AddFormantTrackCallback(CallbackMethod<Listener, FormantValue>(this, &Listener::OnFormant));
    engine.AddFZeroAnalyzeCallback(CallbackMethod<Listener, bool>(this, &Listener::OnAnalysisDone));
    engine.AddProgressCallback(CallbackMethod<Listener, ProgressCallbackParams>(this, &Listener::OnProgress));
  }

  // Until the capture has ended by itself or by a stop (type 2 or 4); false on time-out.
  bool WaitCaptureEnd(std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> guard(mutex);
    return changed.wait_for(guard, limit, [&] { return captureEnds > 0; });
  }
  // Until `blocks` formant values have arrived.
  bool WaitFormants(size_t blocks, std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> guard(mutex);
    return changed.wait_for(guard, limit, [&] { return formants.size() >= blocks; });
  }
  // Until `count` analyses have been reported finished.
  bool WaitAnalyses(int count, std::chrono::seconds limit = std::chrono::seconds(120)) {
    std::unique_lock<std::mutex> guard(mutex);
    return changed.wait_for(guard, limit, [&] { return static_cast<int>(analysisResults.size()) >= count; });
  }

  // Forgets what was recorded so far (between recordings).
  void Clear() {
    std::lock_guard<std::mutex> guard(mutex);
    audioTypes.clear();
    formants.clear();
    analysisResults.clear();
    progress.clear();
    captureEnds = 0;
  }

  std::vector<int> AudioTypes() const { return Locked(audioTypes); }
  std::vector<FormantValue> Formants() const { return Locked(formants); }
  std::vector<bool> AnalysisResults() const { return Locked(analysisResults); }
  std::vector<ProgressCallbackParams> Progress() const { return Locked(progress); }

 private:
  template <typename T>
  T Locked(const T& value) const {
    std::lock_guard<std::mutex> guard(mutex);
    return value;
  }

  void OnAudio(AudioCallbackParams& params) {
    std::lock_guard<std::mutex> guard(mutex);
    audioTypes.push_back(params.type);
    if (params.type == 2 || params.type == 4) ++captureEnds;
    changed.notify_all();
  }
  void OnFormant(FormantValue& value) {
    std::lock_guard<std::mutex> guard(mutex);
    formants.push_back(value);
    changed.notify_all();
  }
  void OnAnalysisDone(bool& analysed) {
    std::lock_guard<std::mutex> guard(mutex);
    analysisResults.push_back(analysed);
    changed.notify_all();
  }
  void OnProgress(ProgressCallbackParams& params) {
    std::lock_guard<std::mutex> guard(mutex);
    progress.push_back(params);
  }

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> audioTypes;
  std::vector<FormantValue> formants;
  std::vector<bool> analysisResults;
  std::vector<ProgressCallbackParams> progress;
  int captureEnds = 0;
};

// How many blocks of `b` samples hold `a` samples, the last one partly filled.
inline size_t CeilDiv(size_t a, size_t b) { return (a + b - 1) / b; }

// A tone of `hertz` at `amplitude` on the 16-bit scale.
inline std::vector<int16_t> Tone(size_t samples, double hertz, double amplitude, double rate = 11025.0) {
  std::vector<int16_t> out(samples);
  for (size_t i = 0; i < samples; ++i) {
    out[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * hertz * static_cast<double>(i) / rate)));
  }
  return out;
}

// The Engine's sound as samples.
inline std::vector<int16_t> SoundSamples(Engine& engine) {
  SoundMemoryStream* sound = engine.GetSound();
  const auto* data = reinterpret_cast<const int16_t*>(sound->GetData());
  return data == nullptr ? std::vector<int16_t>() : std::vector<int16_t>(data, data + sound->GetLength());
}

}  // namespace vowelscope::enginetest
