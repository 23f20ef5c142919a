#pragma once
// The program's one window. It owns the long-lived objects (settings, guide sets, the Engine that
// records and analyses, the playback, the chart state), offers the commands as actions shared by the
// menu and the toolbar, and turns what the devices and the F0 worker report on their own threads into
// posted messages handled here. It coordinates only: the charts are painted by charts/, the playback is
// audio/'s, the dialogs live in their own files.
//
// Threads: everything belongs to the user-interface thread except the five listeners, which run on the
// capture, playback or F0 worker thread; they only post messages, and the capture thread's listener
// also adds its measurement to the trail, which guards itself.

#include <QEvent>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Formantvalue.h"
#include "audio/Playback.h"
#include "charts/Formantchart.h"
#include "charts/Formanttrail.h"
#include "charts/Vowelscore.h"
#include "charts/Waverender.h"
#include "config/Regionslist.h"
#include "config/Settings.h"
#include "audio/Audiocallback.h"
#include "engine/Engine.h"
#include "platform/Wavedevice.h"
#include "sound/Soundmemorystream.h"

class QAction;
class QComboBox;
class QLabel;
class QPainter;
class QProgressBar;
class QScrollBar;
class QSplitter;
class QTimer;
class QToolBar;

namespace vowelscope {

class TfrmGuide;
class TfrmProgress;
class TLevelPanel;
class TPaintBox;
class TPitchReadout;
class TResizePanel;
class TTargetPanel;

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // Columns a click in the F0 chart's scroll track moves (the thumb shows a page).
  static constexpr int kFZeroLargeChange = 100;

  // The answers to "save the take first?".
  enum class TakeAnswer { Save, Discard, Cancel };

  // Where the window asks the user: the file dialogs, the error box and the yes/no questions. Unset
  // members show the toolkit's own dialogs; tests give answers of their own.
  struct Hooks {
    std::function<QString()> chooseSaveFile;
    std::function<QString()> chooseOpenFile;
    std::function<QString()> chooseAudioFile;
    std::function<void(const QString&)> showError;
    std::function<bool(const QString&)> askYesNo;
    // Asked before a command replaces a take that was never saved.
    std::function<TakeAnswer(const QString&)> askSaveTake;
    // The open and save commands' check that a file exists (FileExists when unset).
    std::function<bool(const std::string&)> fileExists;
    // Runs the guide-creation box; true when it wrote a set (dialog.exec() accepted when unset).
    std::function<bool(TfrmGuide&)> runGuide;
  };

  // Where the window records from, plays to and keeps its files. Unset members take the defaults: the
  // default sound devices, Settings.ini in the user's folder, the regions folder beside the program.
  struct Environment {
    std::shared_ptr<WaveInDevice> input;
    std::shared_ptr<WaveOutDevice> output;
    std::optional<std::string> settingsFile;
    std::optional<std::string> regionsFolder;
    Hooks hooks;
  };

  explicit TfrmMain(Environment environment = {});
  ~TfrmMain() override;

  // Sets every action's enabled state from the recording and playback state. Runs after every command
  // and message and from a short timer, so the actions follow state changes of the devices too.
  void UpdateActions();

  // The message shown when a recording could not start.
  static const char* const kRecordStartFailed;
  // The message shown when the F0 analysis of a finished recording could not run.
  static const char* const kAnalysisStartFailed;
  // The message shown when a playback could not start.
  static const char* const kPlayStartFailed;
  // The question before an unsaved take is replaced or the program ends.
  static const char* const kAskSaveTake;
  // The status bar's note that a recording stopped at its length limit.
  static const char* const kRecordLimitReached;

  // What the window shows, for those who watch it (the screenshot program, the tests); the commands
  // are its actions and controls, found by their object names.
  const Engine& GetEngine() const { return engine; }
  const Settings& GetSettings() const { return settings; }
  const Playback& GetPlayback() const { return playback; }
  std::vector<FormantValue> GetTrail() const { return formantTrail.Snapshot(); }
  const std::vector<WaveRender::PeakType>& GetWavePeaks() const { return wavePeaks; }
  int GetSelectedRegions() const { return selectedRegions; }
  bool IsAnalysisBoxShown() const { return progressDialog != nullptr; }
  // A take recorded or analysed from a file that has not been saved since.
  bool IsTakeUnsaved() const { return takeUnsaved; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Hooks hooks;

  // Members, constructed in this order and destroyed in the reverse one. The trail comes before the
  // Engine, whose threads may still report while it is being destroyed.
  FormantTrail formantTrail;
  Settings settings;
  RegionsList regionsList;
  Engine engine;
  FormantChart formantChart;  // holds the cached chart background
  WaveRender waveRender;
  std::vector<WaveRender::PeakType> wavePeaks;
  Playback playback;
  TfrmProgress* progressDialog = nullptr;
  int selectedRegions = -1;

  // Controls.
  QWidget* pnlMain = nullptr;
  QWidget* ControlBar1 = nullptr;
  QToolBar* tbTools = nullptr;
  QWidget* pnlRegions = nullptr;
  QLabel* lblRegions = nullptr;
  QComboBox* cbxRegions = nullptr;
  QWidget* pnlFormant = nullptr;
  TLevelPanel* pnlLevel = nullptr;
  QProgressBar* pbrLevel = nullptr;
  TPitchReadout* pnlPitch = nullptr;
  QWidget* pnlFormantSub = nullptr;
  TPaintBox* pbxFormant = nullptr;
  QSplitter* splMain = nullptr;
  TResizePanel* pnlFZero = nullptr;
  TPaintBox* pbxFZero = nullptr;
  QScrollBar* sclFZero = nullptr;
  QLabel* sbrStatus = nullptr;
  QTimer* tmrPlaying = nullptr;
  QTimer* tmrFade = nullptr;

  QAction* actStartRecord = nullptr;
  QAction* actStopRecord = nullptr;
  QAction* actStartPlay = nullptr;
  QAction* actStopPlay = nullptr;
  QAction* actOption = nullptr;
  QAction* actSave = nullptr;
  QAction* actLoad = nullptr;
  QAction* actAbout = nullptr;
  QAction* actExit = nullptr;
  QAction* actAnalyseFile = nullptr;
  QAction* actReanalyse = nullptr;
  QAction* actShowWholeTake = nullptr;  // checkable: the take's blocks as dots on the formant chart
  QAction* actFitRanges = nullptr;
  QAction* actMakeGuide = nullptr;
  QAction* actRemoveGuide = nullptr;
  TTargetPanel* pnlTarget = nullptr;

  // Layout, actions and menus (WndMainLayout.cpp).
  void CreateControls();
  void CreateActions();
  void CreateMenus();
  // The window's size and the F0 panel's height as the settings remember them.
  void RestoreWindowLayout();
  void StoreWindowLayout();

  // Runs a command or message handler; an Error ends it with a message box, so no exception reaches the
  // event loop. The actions are updated afterwards.
  void RunCommand(const std::function<void()>& function);
  void ShowError(const QString& message);

  void FormCreate();
  void FormDestroy();
  void UpdateStatusBar();
  void FillRegionsCombo();
  void cbxRegionsChange(int index);
  void SaveSettings();

  void actStartRecordExecute();
  void actStopRecordExecute();
  void actStartPlayExecute();
  void actStopPlayExecute();
  void actOptionExecute();
  void actSaveExecute();
  void actLoadExecute();
  void actAboutExecute();
  void actExitExecute();

  // Sessions on disk and the take not yet saved (WndMainFiles.cpp).
  // Saves the take under a name the user picks: false when no name was picked; a failure raises.
  bool SaveTake();
  // Whether a command may replace the take on screen: true when it is saved, or the user saved it now
  // or chose to drop it; false when the user cancelled or the save did not happen.
  bool MayReplaceTake();
  TakeAnswer AskSaveTake();
  bool FileThere(const std::string& name) const;
  // The folder the file dialogs open in, and the one a chosen file makes the next.
  QString StartFolder() const;
  void RememberFolder(const QString& file);
  // Whether any of the session's three files is there.
  bool SessionExists(const std::string& path) const;

  // Analyses of sound that was not just recorded (WndMainAnalysis.cpp).
  void actAnalyseFileExecute();
  void actReanalyseExecute();
  void AnalyseFile(const std::string& path);
  void OfferFileAnalysis(const std::string& wavePath, const char* missing);
  void OfferReanalysis();
  bool AskYesNo(const QString& question);
  // Shows the progress box until the running analysis reports its end; false when it could not run.
  bool ShowAnalysisProgress();
  // After a sound analysed from memory: the waveform, the charts and the trail show the new take.
  void ShowAnalysedTake();

  void StartPlayback();
  void StopPlayback();
  void OnRecordEnded();
  // The trail after a recording: one step darker per block time until nothing is lit.
  void tmrFadeTimer();
  // The trail emptied at once, for a new take or a session that replaces the live one.
  void ClearTrail();
  void OnAnalysisDoneMessage(bool success);
  void tmrPlayingTimer();

  // Listeners, each on the thread named.
  void OnAudioInEvent(AudioCallbackParams& params);      // capture thread
  void OnFormantValue(FormantValue& value);              // capture thread
  void OnAnalysisDone(bool& success);                    // F0 worker thread (or this one, when it cannot start)
  void OnAudioOutEvent(AudioCallbackParams& params);     // playback thread
  void OnAnalysisProgress(ProgressCallbackParams& params);  // F0 worker thread
  void OnLivePitch(FZeroValue& value);                   // capture thread

  // Practice (WndMainPractice.cpp). The recording's live pitch, collected here from the posted values:
  // the Engine's own live track may be read only once the recording is over.
  void OnLivePitchMessage(int centiHertz);
  void ClearLivePitch();
  // What the F0 chart shows: the live track while recording and until the full pass reports.
  std::shared_ptr<const FZeroResult> ShownFZeroResult() const;
  std::shared_ptr<FZeroResult> liveFZero;
  // The target vowel and the score of the recording against it: each recorded block is held from its
  // formant message until its pitch message says whether it was voiced, then scored.
  void SetTargetRegion(int regionIndex);
  // The user's pick, from the list or the chart: shown and remembered in the settings.
  void PickTarget(int regionIndex);
  // The target the settings remember, when the selected set has an enabled region of that caption.
  void RestoreTarget();
  void ResetTarget();
  // The score's ellipse in the chart's present pixels, so that a block counts as the chart shows it.
  void RefreshScoreTarget();
  void OnFormantBlock(const FormantValue& value);
  void ScoreBlock(bool voiced);
  void ShowScore();
  void ClearAttempts();
  void pbxFormantClick(const QPoint& position);
  void InstallChartClick();
  VowelScore vowelScore;
  std::optional<FormantValue> pendingBlock;
  // Guide sets made from the take on screen (WndMainGuide.cpp); the take's name goes into the file.
  void actMakeGuideExecute();
  // Deletes the selected set's file after asking; only the user's own sets, never a shipped one.
  void actRemoveGuideExecute();
  bool HaveFormants() const;
  std::string takeName;

  // Charts (WndMainCharts.cpp).
  void pbxFormantPaint(QPainter& painter);
  void pbxFZeroPaint(QPainter& painter);
  void sclFZeroScroll();
  void pnlFZeroResize();
  void RebuildWaveform();
  void SetTrailForPlayback(uint32_t position);
  void FollowPlayback(uint32_t position);
  // The scroll bar set for the live dots of the recording, following their end (WndMainCharts.cpp).
  void FollowLiveEnd();
  // The whole take on the formant chart: taken from the Engine's formant track at a paint after the
  // take changed (wholeTakeStale), never while the track is still being written.
  void actShowWholeTakeExecute();
  void UpdateWholeTake();
  bool wholeTakeStale = true;
  void InvalidateFormantBackground();
  // The formant chart's ranges fitted to the selected guide set, and kept in the settings.
  void actFitRangesExecute();
  const Regions* SelectedRegions() const;

  // The one way from the device and worker threads to this one: a posted message, handled in event().
  void Post(QEvent::Type type, int wParam = 0);

  bool destroying = false;
  bool analysisPending = false;  // a recording ended and its F0 analysis has not reported yet
  bool analysisFailed = false;
  bool takeUnsaved = false;
  QTimer* tmrUpdate = nullptr;
};

}  // namespace vowelscope
