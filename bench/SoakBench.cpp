// The longest recording the options allow (MaxRecordMinute 120) made through the Engine on a virtual
// input that runs as fast as the capture thread takes its buffers, with the live formant and pitch
// analyses of every block, then the F0 pass over the whole of it. Checks on the way:
//   - no block is lost or doubled: the sound holds exactly 120 minutes (79,380,000 frames) and equals
//     the source sample for sample, and there is one formant value per 275-frame block (the last one
//     cut short by the limit), as many as the listeners heard, and one live pitch value per block,
//     as many as its listeners heard;
//   - the peak resident memory of the whole process stays within 1.5 times the sound's bytes;
//   - the F0 pass ends with one value per F0 frame.
// Prints the recording time against real time (the reference: 7200 s), the peak memory against the
// sound's size, and the time of the F0 pass. Exits with 1 when a check fails.
//
//   bench_soak [minutes]   (default 120)
//
// The source is a minute of speech-like sound with pauses, handed to the input again each time it has
// been used up, so the program holds one recording's worth of sound and not two.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Signals.h"
#include "config/Settings.h"
#include "audio/Audiocallback.h"
#include "engine/Engine.h"
#include "platform/Virtualwavein.h"

using namespace vowelscope;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned kBlock = 275;
constexpr unsigned kF0Hop = 110;  // 10 ms, the default F0 frame shift
constexpr double kMemoryBudget = 1.5;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One figure from /proc/self/status, in bytes; 0 when it cannot be read.
uint64_t StatusBytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return std::strtoull(line.c_str() + prefix.size(), nullptr, 10) * 1024;
  }
  return 0;
}

double Mb(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

// A minute of vowels of 0.3 s with gliding pitch, every fifth part a pause: the F0 pass meets both
// voiced stretches and gaps between them.
std::vector<int16_t> SpeechWithPauses() {
  const testsignals::Formant vowels[][2] = {
      {{700, 80}, {1200, 100}}, {{300, 60}, {2300, 120}}, {{350, 60}, {900, 90}}, {{500, 80}, {1700, 100}}};
  const unsigned total = 60 * 11025;
  const unsigned part = 3307;
  std::vector<int16_t> out;
  out.reserve(total + part);
  for (unsigned k = 0; out.size() < total; ++k) {
    if (k % 5 == 4) {
      out.insert(out.end(), part, int16_t{0});
      continue;
    }
    const double pitch = 90.0 + 150.0 * ((k * 7) % 11) / 10.0;
    const auto v = testsignals::Vowel(pitch, {vowels[k % 4][0], vowels[k % 4][1]}, part, 9000.0 + 1000.0 * (k % 5));
    out.insert(out.end(), v.begin(), v.end());
  }
  out.resize(total);
  return out;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto v = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  return bytes;
}

// What the Engine reports, from the capture and worker threads.
class Listener {
 public:
  explicit Listener(Engine& engine) {
    engine.AddAudioCallback(CallbackMethod<Listener, AudioCallbackParams>(this, &Listener::OnAudio));
    engine.AddFormantTrackCallback(CallbackMethod<Listener, FormantValue>(this, &Listener::OnFormant));
    engine.AddFZeroAnalyzeCallback(CallbackMethod<Listener, bool>(this, &Listener::OnAnalysed));
    engine.AddLivePitchCallback(CallbackMethod<Listener, FZeroValue>(this, &Listener::OnLivePitch));
  }

  // The type that ended the capture (2 or 4).
  int WaitCaptureEnd() {
    std::unique_lock<std::mutex> guard(mutex);
    changed.wait(guard, [&] { return endType != 0; });
    return endType;
  }
  bool WaitAnalysed() {
    std::unique_lock<std::mutex> guard(mutex);
    changed.wait(guard, [&] { return analysisEnds > 0; });
    return analysed;
  }
  uint64_t Formants() const { return formants.load(); }
  uint64_t Pitches() const { return pitches.load(); }
  uint64_t VoicedPitches() const { return voicedPitches.load(); }

 private:
  void OnAudio(AudioCallbackParams& params) {
    if (params.type != 2 && params.type != 4) return;
    std::lock_guard<std::mutex> guard(mutex);
    if (endType == 0) endType = params.type;
    changed.notify_all();
  }
  void OnFormant(FormantValue&) { formants.fetch_add(1, std::memory_order_relaxed); }
  void OnLivePitch(FZeroValue& value) {
    pitches.fetch_add(1, std::memory_order_relaxed);
    if (value.frequency > 0.0f) voicedPitches.fetch_add(1, std::memory_order_relaxed);
  }
  void OnAnalysed(bool& result) {
    std::lock_guard<std::mutex> guard(mutex);
    analysed = result;
    ++analysisEnds;
    changed.notify_all();
  }

  std::mutex mutex;
  std::condition_variable changed;
  int endType = 0;
  int analysisEnds = 0;
  bool analysed = false;
  std::atomic<uint64_t> formants{0};
  std::atomic<uint64_t> pitches{0};
  std::atomic<uint64_t> voicedPitches{0};
};

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("  %-62s %s\n", what, ok ? "ok" : "FAILED");
  if (!ok) ++failures;
}

}  // namespace

int main(int argc, char** argv) {
  const int minutes = argc > 1 ? std::atoi(argv[1]) : 120;
  if (minutes <= 0) {
    std::fprintf(stderr, "usage: bench_soak [minutes]\n");
    return 2;
  }
  const uint64_t frames = uint64_t{11025} * 60 * static_cast<unsigned>(minutes);
  const uint64_t soundBytes = frames * 2;

  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vowelscope-soak";
  std::filesystem::create_directories(folder);
  Settings settings((folder / "Settings.ini").string());  // never saved
  settings.SetMaxRecordMinute(minutes);

  const std::vector<int16_t> chunk = SpeechWithPauses();
  const std::vector<uint8_t> chunkBytes = Bytes(chunk);

  auto input = std::make_shared<VirtualWaveIn>();
  input->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  input->SetSource(chunkBytes, VirtualWaveIn::AtEnd::Stall);
  Engine engine(&settings, input);
  Listener listener(engine);

  // Hands the input the next minute of sound whenever it has taken the last one; the input waits
  // meanwhile, so nothing is skipped.
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    while (feeding.load()) {
      if (input->SourceLeft() == 0) input->SetSource(chunkBytes, VirtualWaveIn::AtEnd::Stall);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  const uint64_t baseline = StatusBytes("VmRSS");
  std::printf("Soak: a %d-minute recording through the Engine on a virtual input at full speed\n", minutes);
  std::printf("  sound %llu frames = %.1f MB; resident before the recording %.1f MB\n",
              static_cast<unsigned long long>(frames), Mb(soundBytes), Mb(baseline));

  const auto recordBegin = Clock::now();
  if (!engine.StartRecord()) {
    std::printf("  the recording did not start\n");
    feeding = false;
    feeder.join();
    return 1;
  }
  const int endType = listener.WaitCaptureEnd();
  const double recordSeconds = Seconds(Clock::now() - recordBegin);
  feeding = false;
  feeder.join();
  const uint64_t peakRecording = StatusBytes("VmHWM");

  const auto analysisBegin = Clock::now();
  engine.StopRecord(false);
  const bool analysed = listener.WaitAnalysed();
  const double analysisSeconds = Seconds(Clock::now() - analysisBegin);
  const uint64_t peak = StatusBytes("VmHWM");

  SoundMemoryStream* sound = engine.GetSound();
  const uint64_t length = sound->GetLength();
  const uint64_t blocks = (length + kBlock - 1) / kBlock;
  const auto* samples = reinterpret_cast<const int16_t*>(sound->GetData());
  uint64_t mismatch = length;
  for (uint64_t i = 0; i < length && samples != nullptr; ++i) {
    if (samples[i] != chunk[i % chunk.size()]) {
      mismatch = i;
      break;
    }
  }
  const auto result = engine.GetFZeroResult();

  std::printf("\n");
  Check(endType == 2, "the capture ended by the length limit (no device failure)");
  Check(length == frames, "the sound holds exactly the limit");
  Check(mismatch == length, "the sound equals the source sample for sample");
  Check(engine.GetFormantTrack()->size() == blocks, "one formant value per 275-frame block");
  Check(listener.Formants() == blocks, "the listeners heard every formant value");
  Check(engine.GetLivePitchTrack()->size() == blocks, "one live pitch value per 275-frame block");
  Check(listener.Pitches() == blocks, "the listeners heard every live pitch value");
  Check(analysed && result != nullptr && result->values.size() == (length + kF0Hop - 1) / kF0Hop,
        "the F0 pass ended with one value per 10 ms frame");
  Check(peak > 0 && static_cast<double>(peak) <= kMemoryBudget * static_cast<double>(soundBytes),
        "peak resident memory within 1.5 x the sound");
  if (mismatch != length) std::printf("  first differing frame: %llu\n", static_cast<unsigned long long>(mismatch));

  const double audioSeconds = static_cast<double>(frames) / 11025.0;
  std::printf("\n");
  std::printf("  frames recorded          %llu (%llu blocks, %zu formant values)\n",
              static_cast<unsigned long long>(length), static_cast<unsigned long long>(blocks),
              engine.GetFormantTrack()->size());
  std::printf("  live pitch values        %llu, voiced %llu (%.0f %%)\n",
              static_cast<unsigned long long>(listener.Pitches()),
              static_cast<unsigned long long>(listener.VoicedPitches()),
              listener.Pitches() ? 100.0 * static_cast<double>(listener.VoicedPitches()) / static_cast<double>(listener.Pitches()) : 0.0);
  std::printf("  recording at full speed  %.1f s for %.0f s of sound = %.0f x real time\n", recordSeconds,
              audioSeconds, audioSeconds / recordSeconds);
  std::printf("  per block                %.1f us (a block lasts 25000 us)\n", recordSeconds * 1e6 / blocks);
  std::printf("  peak resident            %.1f MB after the recording, %.1f MB after the F0 pass\n",
              Mb(peakRecording), Mb(peak));
  std::printf("  peak / sound             %.2f (budget %.1f); above the start: %.2f\n",
              static_cast<double>(peak) / soundBytes, kMemoryBudget,
              static_cast<double>(peak - std::min(peak, baseline)) / soundBytes);
  std::printf("  F0 pass                  %.1f s = %.0f x real time, %zu frames\n", analysisSeconds,
              audioSeconds / analysisSeconds, result ? result->values.size() : size_t{0});
  return failures == 0 ? 0 : 1;
}
