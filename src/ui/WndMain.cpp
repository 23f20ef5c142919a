#include "ui/WndMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <new>

#include "base/Error.h"
#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "config/Guideset.h"
#include "ui/Chartboxes.h"
#include "ui/DlgAbout.h"
#include "ui/DlgOption.h"
#include "ui/DlgProgress.h"
#include "ui/Filetext.h"
#include "ui/Pitchreadout.h"
#include "ui/Wndmessages.h"

namespace vowelscope {

namespace {

constexpr const char* kOutOfMemory = "メモリの確保に失敗しました。";
constexpr const char* kSaveFailed = "設定を保存できませんでした。";
constexpr int kStatusMessageMs = 10000;

}  // namespace

const char* const TfrmMain::kRecordStartFailed = "録音を開始できませんでした。入力デバイスを確認してください。";
const char* const TfrmMain::kAnalysisStartFailed = "F0 分析を開始できませんでした。";
const char* const TfrmMain::kPlayStartFailed = "再生を開始できませんでした。出力デバイスを確認してください。";
const char* const TfrmMain::kRecordLimitReached = "最大録音時間に達したため、録音を終了しました。";

TfrmMain::TfrmMain(Environment environment)
    : hooks(std::move(environment.hooks)),
      formantTrail(FormantChart::kTrailLength),
      settings(environment.settingsFile ? *environment.settingsFile : Settings::GetSettingsFileName()),
      regionsList(environment.regionsFolder ? *environment.regionsFolder : RegionsList().GetFolder(), UserRegionsFolder()),
      engine(&settings, std::move(environment.input)),
      playback(Engine::GetSoundFormat(), std::move(environment.output)) {
  CreateControls();
  FormCreate();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

// ---------------------------------------------------------------------------------------------------
// Commands and their frame

void TfrmMain::RunCommand(const std::function<void()>& function) {
  try {
    function();
  } catch (const Error& error) {
    ShowError(QString::fromUtf8(error.what()));
  } catch (const std::bad_alloc&) {
    ShowError(QString::fromUtf8(kOutOfMemory));
  } catch (const std::exception&) {
    // Any other failure ends the command the same way, as an error without a message of its own.
    ShowError(QString());
  }
  UpdateActions();
}

void TfrmMain::ShowError(const QString& message) {
  if (hooks.showError) {
    hooks.showError(message);
    return;
  }
  QMessageBox box(QMessageBox::Critical, windowTitle(), message, QMessageBox::Ok, this);
  box.exec();
}

void TfrmMain::UpdateActions() {
  const bool recording = engine.IsRecording();
  const bool playing = playback.IsPlaying();
  actStartRecord->setEnabled(!playing && !recording);
  actStopRecord->setEnabled(recording);
  bool haveSound = false;
  if (!recording && !playing && !engine.IsAnalysing()) {
    const SoundMemoryStream* sound = engine.GetSound();
    haveSound = sound != nullptr && sound->GetLength() > 0;
  }
  actStartPlay->setEnabled(!recording && haveSound && !playing);
  actStopPlay->setEnabled(playing);
  actOption->setEnabled(!recording);
  actSave->setEnabled(!recording);
  actLoad->setEnabled(!recording);
  actAnalyseFile->setEnabled(!recording);
  bool haveTake = false;
  if (!recording && !engine.IsAnalysing()) haveTake = engine.GetSound()->GetLength() > 0;
  actReanalyse->setEnabled(haveTake);
  actFitRanges->setEnabled(!recording && SelectedRegions() != nullptr);
  actMakeGuide->setEnabled(haveTake && HaveFormants());
  actRemoveGuide->setEnabled(!recording && regionsList.IsUserSet(selectedRegions));
}

void TfrmMain::FormCreate() {
  settings.Load();
  RestoreWindowLayout();
  try {
    regionsList.Scan();
  } catch (const Error&) {
    // No guide sets: the selector simply stays empty.
  }
  engine.AddAudioCallback(CallbackMethod<TfrmMain, AudioCallbackParams>(this, &TfrmMain::OnAudioInEvent));
  engine.AddFormantTrackCallback(CallbackMethod<TfrmMain, FormantValue>(this, &TfrmMain::OnFormantValue));
  engine.AddFZeroAnalyzeCallback(CallbackMethod<TfrmMain, bool>(this, &TfrmMain::OnAnalysisDone));
  playback.AddCallback(CallbackMethod<TfrmMain, AudioCallbackParams>(this, &TfrmMain::OnAudioOutEvent));
  engine.AddProgressCallback(CallbackMethod<TfrmMain, ProgressCallbackParams>(this, &TfrmMain::OnAnalysisProgress));
  engine.AddLivePitchCallback(CallbackMethod<TfrmMain, FZeroValue>(this, &TfrmMain::OnLivePitch));
  UpdateStatusBar();
  FillRegionsCombo();
  UpdateActions();
  Post(UM_CREATED);
}

void TfrmMain::FormDestroy() {
  if (destroying) return;
  destroying = true;
  StopPlayback();
  engine.StopRecord(true);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // A take not yet saved is offered for saving first; a recording in progress is dropped without
  // analysis, playback stops.
  if (!destroying && !engine.IsRecording()) {
    bool mayClose = false;
    RunCommand([&] { mayClose = MayReplaceTake(); });
    if (!mayClose) {
      event->ignore();
      return;
    }
  }
  if (!destroying) {
    StoreWindowLayout();
    SaveSettings();
  }
  FormDestroy();
  QMainWindow::closeEvent(event);
}

void TfrmMain::UpdateStatusBar() {
  sbrStatus->setText(QStringLiteral("最大録音時間: %1 分").arg(settings.GetMaxRecordMinute()));
}

void TfrmMain::SaveSettings() {
  if (!settings.Save()) statusBar()->showMessage(QString::fromUtf8(kSaveFailed), kStatusMessageMs);
}

void TfrmMain::FillRegionsCombo() {
  const QSignalBlocker quiet(cbxRegions);
  cbxRegions->setUpdatesEnabled(false);
  cbxRegions->clear();
  int found = -1;
  try {
    for (int i = 0; i < regionsList.GetCount(); ++i) {
      // A caption another set already has comes with its file name, so that both can be picked.
      const std::string caption = regionsList.GetSelectorCaption(i);
      cbxRegions->addItem(FileTextToDisplay(caption));
      if (caption == settings.GetCurrentRegions()) found = i;
    }
  } catch (const std::out_of_range&) {
    // The list changed under the loop; keep what was filled.
  }
  // Without a stored choice (a first start, or a set that is gone) the first set is shown rather than
  // an empty chart; the setting changes only when the user picks one. The remembered target belongs to
  // the remembered set only.
  const bool remembered = found >= 0;
  if (found < 0 && cbxRegions->count() > 0) found = 0;
  cbxRegions->setCurrentIndex(found);
  selectedRegions = found;
  cbxRegions->setUpdatesEnabled(true);
  ResetTarget();
  if (remembered) RestoreTarget();
}

void TfrmMain::cbxRegionsChange(int index) {
  RunCommand([&] {
    selectedRegions = index;
    // The set's own bytes, not the decoded text, so that a caption in another encoding is found again.
    if (index >= 0 && index < regionsList.GetCount()) settings.SetCurrentRegions(regionsList.GetSelectorCaption(index));
    // A target belongs to its set.
    settings.SetCurrentTarget(std::string());
    SaveSettings();
    ResetTarget();
    InvalidateFormantBackground();
    pbxFormant->update();
    pbxFZero->update();
  });
}

void TfrmMain::actStartRecordExecute() {
  if (engine.IsRecording()) return;
  if (!MayReplaceTake()) return;
  statusBar()->clearMessage();
  // The charts show the new take only: no dots, waveform or trail of the last one.
  wavePeaks.clear();
  ClearTrail();
  ClearLivePitch();
  pbxFZero->update();
  analysisPending = false;
  vowelScore.Restart();
  pendingBlock.reset();
  takeName.clear();
  if (!engine.StartRecord()) {
    // The last take stays, so its waveform comes back.
    RebuildWaveform();
    throw Error(kRecordStartFailed);
  }
}

void TfrmMain::actStopRecordExecute() {
  if (!engine.IsRecording()) return;
  analysisPending = true;
  engine.StopRecord(false);
}

void TfrmMain::OnRecordEnded() {
  if (engine.IsRecording()) {
    // Ended by itself (length limit or device failure): this is the real stop, and the analysis starts.
    analysisPending = true;
    engine.StopRecord(false);
  }
  if (destroying) return;
  const uint32_t length = engine.GetSound()->GetLength();
  takeUnsaved = length > 0;
  if (length > 0 && length >= engine.GetMaxRecordSamples()) statusBar()->showMessage(QString::fromUtf8(kRecordLimitReached));
  pnlLevel->SetLevel(0);
  pnlPitch->Clear();
  // The last stretch of the take is an attempt too.
  vowelScore.Finish();
  pendingBlock.reset();
  ShowScore();
  tmrFade->start();
  RebuildWaveform();
  pbxFZero->update();
  // Nothing to wait for when no analysis was started for this recording.
  if (!analysisPending) return;

  if (!ShowAnalysisProgress()) throw Error(kAnalysisStartFailed);
}

bool TfrmMain::ShowAnalysisProgress() {
  auto dialog = std::make_unique<TfrmProgress>(this);
  analysisFailed = false;
  progressDialog = dialog.get();
  // The completion message, also one already queued, closes it from inside its modal loop.
  dialog->exec();
  progressDialog = nullptr;
  dialog.reset();
  pbxFZero->update();
  return !analysisFailed;
}

void TfrmMain::OnAnalysisDoneMessage(bool success) {
  analysisPending = false;
  if (!success) analysisFailed = true;
  if (progressDialog != nullptr) progressDialog->Finish();
  pbxFZero->update();
  // The whole take's dots waited for the finished track.
  pbxFormant->update();
}

void TfrmMain::tmrFadeTimer() {
  formantTrail.Fade();
  if (formantTrail.IsEmpty()) tmrFade->stop();
  pbxFormant->update();
}

void TfrmMain::ClearTrail() {
  tmrFade->stop();
  formantTrail.Clear();
  pbxFormant->update();
}

void TfrmMain::actStartPlayExecute() { StartPlayback(); }

void TfrmMain::StartPlayback() {
  SoundMemoryStream* sound = engine.GetSound();
  if (sound == nullptr) return;
  StopPlayback();
  // The playback timer sets the trail from now on.
  tmrFade->stop();
  switch (playback.Start(*sound)) {
    case Playback::StartResult::Started:
    case Playback::StartResult::NothingToPlay:
      return;
    case Playback::StartResult::OutOfMemory:
      throw Error(kOutOfMemory);
    case Playback::StartResult::DeviceFailed:
      // Nothing plays and nothing will report an end; say so, as for a recording that cannot start.
      throw Error(kPlayStartFailed);
  }
}

void TfrmMain::actStopPlayExecute() { StopPlayback(); }

void TfrmMain::StopPlayback() {
  playback.Stop();
  if (pbxFZero != nullptr) pbxFZero->update();
  if (pnlLevel != nullptr) pnlLevel->SetLevel(0);
}

void TfrmMain::tmrPlayingTimer() {
  const uint32_t position = playback.GetPosition();
  SetTrailForPlayback(position);
  FollowPlayback(position);
  pnlLevel->SetLevel(TLevelPanel::LevelOf(formantTrail.Newest().power));
}

void TfrmMain::actOptionExecute() {
  switch (ExecuteOptions(this, settings)) {
    case OptionsResult::Cancelled:
      return;
    case OptionsResult::SaveFailed:
      statusBar()->showMessage(QString::fromUtf8(kSaveFailed), kStatusMessageMs);
      break;
    case OptionsResult::Saved:
      break;
  }
  InvalidateFormantBackground();
  RefreshScoreTarget();
  pbxFormant->update();
  pbxFZero->update();
  UpdateStatusBar();
  OfferReanalysis();
}

void TfrmMain::actAboutExecute() {
  TfrmAbout dialog(this);
  dialog.exec();
}

void TfrmMain::actExitExecute() { close(); }

// ---------------------------------------------------------------------------------------------------
// Messages and listeners

void TfrmMain::Post(QEvent::Type type, int wParam) {
  QCoreApplication::postEvent(this, TMessageEvent::Handing(new TMessageEvent(type, wParam)));
}

bool TfrmMain::event(QEvent* event) {
  TMessageEvent::Received(event);
  const QEvent::Type type = event->type();
  if (type == UM_CREATED) {
    pnlRegions->update();
  } else if (type == UM_PLAY_STARTED) {
    RunCommand([&] { tmrPlaying->start(); });
  } else if (type == UM_PLAY_ENDED) {
    RunCommand([&] {
      tmrPlaying->stop();
      StopPlayback();
    });
  } else if (type == UM_RECORD_STARTED) {
    // Nothing: the actions follow from the Engine's state.
  } else if (type == UM_RECORD_ENDED) {
    RunCommand([&] { OnRecordEnded(); });
  } else if (type == UM_ANALYSIS_DONE) {
    const bool success = static_cast<TMessageEvent*>(event)->wParam != 0;
    RunCommand([&] { OnAnalysisDoneMessage(success); });
  } else if (type == UM_FORMANT_VALUE) {
    // A block was measured: its level to the meter, the trail redrawn.
    const auto* message = static_cast<TFormantMessage*>(event);
    pnlLevel->SetLevel(message->wParam);
    OnFormantBlock(message->value);
    pbxFormant->update();
  } else if (type == UM_LIVE_PITCH) {
    OnLivePitchMessage(static_cast<TMessageEvent*>(event)->wParam);
  } else if (type == UM_ANALYSIS_PROGRESS) {
    if (progressDialog != nullptr) progressDialog->SetPosition(static_cast<TMessageEvent*>(event)->wParam);
  } else {
    return QMainWindow::event(event);
  }
  return true;
}

void TfrmMain::OnAudioInEvent(AudioCallbackParams& params) {
  switch (params.type) {
    case kAudioStarted: Post(UM_RECORD_STARTED); break;
    case kAudioEnded: Post(UM_RECORD_ENDED, 1); break;
    case kAudioFailed: Post(UM_RECORD_ENDED, 0); break;
    default: break;
  }
}

void TfrmMain::OnFormantValue(FormantValue& value) {
  formantTrail.Add(value);
  QCoreApplication::postEvent(this, TMessageEvent::Handing(new TFormantMessage(TLevelPanel::LevelOf(value.power), value)));
}

void TfrmMain::OnAnalysisDone(bool& success) { Post(UM_ANALYSIS_DONE, success ? 1 : 0); }

void TfrmMain::OnAudioOutEvent(AudioCallbackParams& params) {
  switch (params.type) {
    case kAudioStarted: Post(UM_PLAY_STARTED); break;
    case kAudioEnded: Post(UM_PLAY_ENDED, 1); break;
    case kAudioFailed: Post(UM_PLAY_ENDED, 0); break;
    default: break;
  }
}

void TfrmMain::OnAnalysisProgress(ProgressCallbackParams& params) {
  Post(UM_ANALYSIS_PROGRESS, TfrmProgress::BarPosition(params));
}

}  // namespace vowelscope
