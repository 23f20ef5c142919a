#pragma once
// The one object that owns a recording and its analyses: the microphone input, the recorded sound, the
// live formant track, the F0 result of the last analysis and the worker thread that computes it.
//
// Threads: construction, destruction, the commands, the accessors and the callback registrations belong
// to the user-interface thread. RecordStream::Write, ProcessRecordedBlock and the FormantValue, live
// pitch and audio listeners run on the capture thread; the F0 job and the analysis of a file or of the
// take again (reading, blocks, F0 pass) with their progress and completion listeners on the worker
// thread. No lock is taken: StopRecord returns only after the capture thread has ended, a job runs
// only while the caller keeps every other command away, and the F0 result is swapped atomically so
// that a chart reading it during the job never sees a released one.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Formantanalyzer.h"
#include "analysis/Formantvalue.h"
#include "analysis/Fzero.h"
#include "analysis/Fzeropass.h"
#include "analysis/Livepitch.h"
#include "audio/Audioin.h"
#include "audio/Audiocallback.h"
#include "engine/Threadcontroller.h"
#include "sound/Recordingformat.h"
#include "sound/Soundmemorystream.h"
#include "sound/Soundstream.h"

namespace vowelscope {

class Settings;

class Engine {
 public:
  // The write-only stream the input records into; every block it receives goes to ProcessRecordedBlock.
  // Write runs on the capture thread.
  class RecordStream : public SoundStream {
   public:
    explicit RecordStream(Engine* engine);
    ~RecordStream() override = default;

    bool Read(void* buffer, unsigned frames, int* framesRead) override;
    // Always succeeds; framesWritten receives the frames the Engine took (0 once the recording is full).
    bool Write(const void* buffer, unsigned frames, int* framesWritten) override;
    bool Seek(int offset, int origin) override;
    unsigned Tell() override { return 0; }

   private:
    Engine* engine;
  };

  // Records from the default input device. Nothing is read from settings here.
  explicit Engine(Settings* settings);
  // Records from the given wave-input device instead (a virtual one in tests and in the batch tool).
  Engine(Settings* settings, std::shared_ptr<WaveInDevice> device);
  // Drops a running recording without analysis and waits for a running F0 job before releasing anything.
  virtual ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Starts a recording with the formant settings and MaxRecordMinute of this moment. False when the
  // capture could not start, and also while a recording or an F0 job is still running.
  bool StartRecord();
  // Ends a recording; without skipAnalysis it also rebuilds the formant track and starts the F0 job.
  // Does nothing when not recording, so a second call is harmless. When the F0 job cannot be started,
  // the F0 result is cleared and the completion listeners hear false at once (on this thread).
  void StopRecord(bool skipAnalysis);
  // True from a successful StartRecord until StopRecord, also after the capture has ended by itself.
  bool IsRecording() const;
  // From the start of an F0 job until it has installed its result (its listeners are told after that).
  bool IsAnalysing() const;

  // Writes <base>.wav, <base>.f0 and <base>.fr; each file replaces an earlier one only once it is
  // complete. Throws Error with the message the user is to see.
  void SaveFiles(const std::string& path);
  // Reads <base>.wav, <base>.f0 and <base>.fr in that order and replaces the sound, the F0 result and
  // the formant track only once all three have been read, so a failed open leaves the session that was
  // there, whole. Throws Error with the message the user is to see.
  void LoadFiles(const std::string& path);

  // Analyses the sound in memory again as if it had just been recorded: its samples go block by block
  // through the recording's block handler, so the formant track is the one the microphone gave, and
  // then the F0 pass runs; both on the worker thread, with the settings of this moment. The progress
  // listeners hear one rising scale over the whole job, the completion listeners the end as after a
  // recording. The tracks are replaced only when the whole job has succeeded: false, with nothing
  // changed, while recording or analysing or without a worker.
  bool StartReanalysis();
  // The same for any common audio file, read and converted to the recording format on the worker
  // first, with the reading on the same progress scale; the sound is replaced with the tracks, and
  // only when the whole job has succeeded. A file that cannot be read ends the job with false for the
  // completion listeners and its message in GetAnalysisError, and the session in memory untouched.
  bool StartFileAnalysis(const std::string& path);
  // After a file analysis that succeeded, the line that says what was converted. Only while not analysing.
  const std::string& GetImportDescription() const { return importDescription; }
  // After an analysis that failed, what the user is told (naming the file that could not be read);
  // empty after one that succeeded. Only while not analysing.
  const std::string& GetAnalysisError() const { return analysisError; }

  // The fixed recording format: 16-bit signed PCM, mono, 11025 Hz.
  static SoundFormat GetSoundFormat();
  // Rewound to sample 0. Only while neither recording nor analysing.
  SoundMemoryStream* GetSound();
  // For looking only (its length, its format): the position is whatever it is.
  const SoundMemoryStream* GetSound() const { return &sound; }
  // One entry per 275-sample block. Only while neither recording nor analysing.
  const std::vector<FormantValue>* GetFormantTrack() const { return &formantTrack; }
  // The live F0 of the last recording, one value per block as its listeners heard it (frequency 0 when
  // unvoiced). Only while not recording.
  const std::vector<FZeroValue>* GetLivePitchTrack() const { return &livePitchList; }
  // The F0 track of the last analysis or loaded file; null until there is one. Safe at any time.
  std::shared_ptr<const FZeroResult> GetFZeroResult() const;

  // Register before the first recording; an equal callback is not added twice.
  void AddAudioCallback(const AudioCallback& callback);
  void AddFormantTrackCallback(const FormantTrackCallback& callback);
  void AddLivePitchCallback(const LivePitchCallback& callback);
  // The payload is true when a new F0 result was installed, false when the analysis could not run.
  void AddFZeroAnalyzeCallback(const FZeroAnalyzeCallback& callback);
  void AddProgressCallback(const ProgressCallback& callback);

  // Limits the following recordings to this many samples instead of MaxRecordMinute minutes (the batch
  // tool records exactly the samples of its file); nullopt goes back to the setting.
  void SetRecordLimitOverride(std::optional<uint32_t> samples) { recordLimitOverride = samples; }
  // The limit of the current or last recording; all bits set before the first one.
  uint32_t GetMaxRecordSamples() const { return maxRecordSamples; }

  // The block handler of the recording: analyses and stores up to the recording limit, and sets accepted
  // to the samples taken (0 when the recording is full, which ends the capture). Capture thread.
  void ProcessRecordedBlock(const int16_t* samples, unsigned count, unsigned* accepted);

  // Samples between F0 frames of a result with this frame shift, as the F0 pass steps: frame k of the
  // track lies k hops from the start of the sound.
  static unsigned GetFZeroHop(double frameShiftSeconds);

  static constexpr uint32_t kSampleRate = kRecordingRate;
  static constexpr unsigned kCaptureBuffers = 5;

 private:
  static void FZeroJob(ThreadController* controller);
  void RunFZeroJob();
  // Analyses, stores and reports one recorded block of at most frameLength samples.
  void ProcessBlock(const int16_t* samples, unsigned count);
  // The formant value of one block of at most frameLength samples, with the prepared settings.
  FormantValue AnalyseBlock(const int16_t* samples, unsigned count);
  // The F0 pass over `source` with the settings of now.
  std::shared_ptr<const FZeroResult> AnalyseFZero(const SoundMemoryStream& source,
                                                  ProgressCallbackContainer& progress) const;
  // Takes the formant settings and sizes the block handler's work arrays (user-interface thread).
  void PrepareFormantPath();
  // The analysis of a sound that was not just recorded (Engineanalysis.cpp): the file at `path` read
  // into nextSound, or the sound in memory when the path is empty. Started on this thread; the job
  // runs on the worker.
  bool StartSoundAnalysis(const std::string& path);
  static void SoundAnalysisJob(ThreadController* controller);
  void RunSoundAnalysisJob();

  // Session file pieces (Sessionfiles.cpp). Each writes its file complete under a temporary name beside
  // fileName and returns that name; SaveFiles renames the three into place only when all are written.
  std::string SaveWave(const std::string& fileName);
  std::string SaveFZero(const std::string& fileName);
  std::string SaveFormants(const std::string& fileName);
  void LoadWave(const std::string& fileName, SoundMemoryStream& into) const;
  // The tracks may not be longer than a sound of soundLength samples (or the longest recording) holds.
  std::shared_ptr<const FZeroResult> LoadFZero(const std::string& fileName, uint32_t soundLength) const;
  std::vector<FormantValue> LoadFormants(const std::string& fileName, uint32_t soundLength) const;

  Settings* settings;
  uint32_t frameLength;
  AudioIn audioIn;
  ThreadController threadController;
  RecordStream recordStream;
  FormantAnalyzer formantAnalyzer;
  uint32_t windowType;
  std::vector<FormantValue> formantList;
  std::vector<FormantValue> formantTrack;
  SoundMemoryStream sound;
  // Replaced only with std::atomic_store and read with std::atomic_load.
  std::shared_ptr<const FZeroResult> fzeroResult;
  uint32_t maxRecordSamples;
  std::optional<uint32_t> recordLimitOverride;
  std::atomic<bool> analysing{false};
  // A file's sound while its analysis runs: it takes the place of `sound` only when the job has
  // succeeded, and is emptied at the end either way. Handed to the worker by the thread start.
  SoundMemoryStream nextSound;
  // The file the job reads (empty for a re-analysis), and what it reports; written by the job before it
  // ends, read on this thread after it.
  std::string analysisPath;
  std::string importDescription;
  std::string analysisError;
  FormantTrackCallbackContainer formantTrackCallbacks;
  LivePitchCallbackContainer livePitchCallbacks;
  // The live F0 of recorded blocks (not of analysed files, whose F0 pass follows at once).
  LivePitch livePitch;
  std::vector<FZeroValue> livePitchList;
  FZeroAnalyzeCallbackContainer fzeroAnalyzeCallbacks;
  ProgressCallbackContainer progressCallbacks;

  // Work arrays of the block handler, sized at StartRecord so the capture thread allocates nothing.
  std::vector<double> blockFrame;
  // The window's weights for a whole block, made once: a cosine per sample of every block cost more
  // than the rest of the windowing.
  std::vector<double> blockWindow;
  std::vector<double> blockFormants;
  std::vector<double> blockBandwidths;
};

}  // namespace vowelscope
