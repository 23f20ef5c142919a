#include "tools/Batchanalysis.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "config/Settings.h"
#include "base/Callback.h"
#include "engine/Engine.h"
#include "base/Error.h"
#include "platform/Virtualwavein.h"

namespace vowelscope {

namespace {

namespace fs = std::filesystem;

const char* const kInternalError = "内部エラーが発生しました。";
const char* const kOutOfMemory = "メモリの確保に失敗しました。";
constexpr float kVoicedScore = 0.7f;

bool IsAudioFileName(const fs::path& path) {
  static const std::set<std::string> extensions = {".wav", ".wave", ".flac", ".ogg", ".oga", ".opus", ".mp3",
                                                   ".aif", ".aiff", ".aifc", ".au",   ".caf", ".w64"};
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extensions.count(extension) > 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Waits for the end of one Engine's analysis; the completion listener runs on its worker.
class AnalysisWait {
 public:
  explicit AnalysisWait(Engine& engine) {
    engine.AddFZeroAnalyzeCallback(CallbackMethod<AnalysisWait, bool>(this, &AnalysisWait::OnDone));
  }
  bool Wait() {
    std::unique_lock<std::mutex> guard(mutex);
    changed.wait(guard, [&] { return ended; });
    return analysed;
  }

 private:
  void OnDone(bool& result) {
    std::lock_guard<std::mutex> guard(mutex);
    ended = true;
    analysed = result;
    changed.notify_all();
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  bool analysed = false;
};

void Summarise(Engine& engine, BatchResult& result) {
  const SoundMemoryStream* sound = engine.GetSound();
  result.seconds = static_cast<double>(sound->GetLength()) / Engine::kSampleRate;
  const std::shared_ptr<const FZeroResult> f0 = engine.GetFZeroResult();
  if (!f0 || f0->values.empty()) return;
  std::vector<double> pitches;
  std::vector<bool> voiced(f0->values.size(), false);
  for (size_t k = 0; k < f0->values.size(); ++k) {
    const FZeroValue& v = f0->values[k];
    if (v.score >= kVoicedScore && v.frequency > 0) {
      voiced[k] = true;
      pitches.push_back(v.frequency);
    }
  }
  result.voicedShare = static_cast<double>(pitches.size()) / f0->values.size();
  result.medianF0 = Median(pitches);
  // A block counts as voiced when the F0 frame nearest its centre is.
  std::vector<double> f1, f2;
  const std::vector<FormantValue>& track = *engine.GetFormantTrack();
  constexpr double kBlock = 275.0;
  for (size_t i = 0; i < track.size(); ++i) {
    if (track[i].f1 <= 0 || track[i].f2 <= 0) continue;
    const double centre = (i * kBlock + kBlock / 2) / Engine::kSampleRate;
    const auto k = static_cast<size_t>(std::llround(centre / f0->frameShift));
    if (k < voiced.size() && voiced[k]) {
      f1.push_back(track[i].f1);
      f2.push_back(track[i].f2);
    }
  }
  result.medianF1 = Median(f1);
  result.medianF2 = Median(f2);
}

}  // namespace

bool CollectBatchItems(const std::vector<std::string>& inputs, const std::string& outputFolder,
                       std::vector<BatchItem>& items, std::string& error) {
  items.clear();
  std::set<std::string> bases;
  auto add = [&](const fs::path& input, const fs::path& relative) {
    const std::string base = (fs::path(outputFolder) / relative).replace_extension().string();
    if (!bases.insert(base).second) {
      error = "two inputs would write " + base + ".*: " + input.string();
      return false;
    }
    items.push_back({input.string(), base, true});
    return true;
  };
  for (const std::string& input : inputs) {
    std::error_code failure;
    const fs::file_status status = fs::status(input, failure);
    if (fs::is_directory(status)) {
      std::vector<fs::path> found;
      for (fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, failure), end;
           !failure && it != end; it.increment(failure)) {
        if (it->is_regular_file(failure) && IsAudioFileName(it->path())) found.push_back(it->path());
      }
      if (failure) {
        error = "cannot list " + input + ": " + failure.message();
        return false;
      }
      std::sort(found.begin(), found.end());
      for (const fs::path& file : found) {
        if (!add(file, fs::path(input).filename().empty() ? file.lexically_relative(input)
                                                          : fs::path(input).filename() / file.lexically_relative(input))) {
          return false;
        }
      }
    } else {
      // Files are taken whatever their name says; a missing or unreadable one fails on its own later.
      if (!add(input, fs::path(input).filename())) return false;
    }
  }
  return true;
}

BatchResult AnalyseBatchItem(Settings& settings, const BatchItem& item) {
  BatchResult result;
  result.input = item.input;
  result.outputBase = item.outputBase;
  try {
    // The Engine never records here; its input is a silent in-memory device.
    Engine engine(&settings, std::make_shared<VirtualWaveIn>());
    AnalysisWait wait(engine);
    // Reading, converting and analysing all run on the Engine's worker; a file that cannot be read
    // ends there with its message.
    if (!engine.StartFileAnalysis(item.input) || !wait.Wait()) {
      throw Error(engine.GetAnalysisError().empty() ? kInternalError : engine.GetAnalysisError());
    }
    const fs::path folder = fs::path(item.outputBase).parent_path();
    if (item.makeFolder && !folder.empty()) {
      std::error_code ignored;  // a folder that cannot be made fails the save, with its message
      fs::create_directories(folder, ignored);
    }
    // The extension is given, so a dot in the base name is kept.
    engine.SaveFiles(item.outputBase + ".wav");
    Summarise(engine, result);
    result.ok = true;
  } catch (const Error& failure) {
    result.error = failure.what();
  } catch (const std::bad_alloc&) {
    result.error = kOutOfMemory;
  }
  return result;
}

std::vector<BatchResult> RunBatch(Settings& settings, const std::vector<BatchItem>& items, unsigned jobs,
                                  const std::function<void(size_t, size_t)>& progress) {
  std::vector<BatchResult> results(items.size());
  std::atomic<size_t> next{0};
  std::mutex reportLock;
  size_t done = 0;
  auto work = [&] {
    for (size_t i = next++; i < items.size(); i = next++) {
      results[i] = AnalyseBatchItem(settings, items[i]);
      const std::lock_guard<std::mutex> hold(reportLock);
      ++done;
      if (progress) progress(done, items.size());
    }
  };
  const unsigned threads = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(items.size())));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  return results;
}

bool WriteBatchSummary(const std::string& path, const std::vector<BatchResult>& results) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << "file,duration_s,voiced_share,median_f0_hz,median_f1_hz,median_f2_hz\n";
    char line[128];
    for (const BatchResult& r : results) {
      if (!r.ok) continue;
      std::string file = r.input;
      // A comma or quote in a name is quoted, as the CSV readers of R and pandas expect.
      if (file.find_first_of(",\"\n") != std::string::npos) {
        std::string quoted = "\"";
        for (char c : file) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        file = quoted + "\"";
      }
      std::snprintf(line, sizeof(line), ",%.3f,%.4f,%.2f,%.1f,%.1f\n", r.seconds, r.voicedShare, r.medianF0,
                    r.medianF1, r.medianF2);
      out << file << line;
    }
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code failure;
  fs::rename(temporary, path, failure);
  if (failure) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  return !failure;
}

}  // namespace vowelscope
