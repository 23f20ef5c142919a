// The main window's analyses of sound that was not just recorded: any audio file, a session's sound
// without its analyses, and the take on screen again after the settings changed. The Engine does the
// work on its worker; the window shows the progress box and then the new take.
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

#include "base/Error.h"
#include "base/Stringutilities.h"
#include "ui/Chartboxes.h"
#include "ui/WndMain.h"

namespace vowelscope {

namespace {

constexpr int kConversionMessageMs = 15000;
const char* const kAudioFilter =
    "音声ファイル (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.au *.caf *.w64);;"
    "すべてのファイル (*)";
const char* const kReanalysisFailed = "再分析を開始できませんでした。";

}  // namespace

bool TfrmMain::AskYesNo(const QString& question) {
  if (hooks.askYesNo) return hooks.askYesNo(question);
  return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

void TfrmMain::actAnalyseFileExecute() {
  if (engine.IsRecording()) return;
  if (!MayReplaceTake()) return;
  QString file;
  if (hooks.chooseAudioFile) {
    file = hooks.chooseAudioFile();
  } else {
    file = QFileDialog::getOpenFileName(this, QString(), StartFolder(), QString::fromUtf8(kAudioFilter));
  }
  if (file.isEmpty()) return;
  RememberFolder(file);
  AnalyseFile(QFile::encodeName(file).toStdString());
}

void TfrmMain::AnalyseFile(const std::string& path) {
  // The playback timer reads the formant track, which the analysis replaces.
  StopPlayback();
  // The file is read and converted on the Engine's worker, behind the progress box from the start.
  analysisPending = true;
  if (!engine.StartFileAnalysis(path)) {
    analysisPending = false;
    throw Error(kAnalysisStartFailed);
  }
  if (!ShowAnalysisProgress()) {
    // Nothing was replaced: the take on screen stays as it was, and the message names the file.
    const std::string& message = engine.GetAnalysisError();
    throw Error(message.empty() ? std::string(kAnalysisStartFailed) : message);
  }
  takeUnsaved = true;
  takeName = GetFileNamePart(path);
  ShowAnalysedTake();
  statusBar()->showMessage(QString::fromStdString(engine.GetImportDescription()), kConversionMessageMs);
}

void TfrmMain::OfferFileAnalysis(const std::string& wavePath, const char* missing) {
  const QString question = QString::fromUtf8(missing) + QStringLiteral("\n音声ファイルだけを分析しますか？");
  if (AskYesNo(question)) AnalyseFile(wavePath);
}

void TfrmMain::actReanalyseExecute() {
  if (engine.IsRecording() || engine.IsAnalysing()) return;
  if (engine.GetSound()->GetLength() == 0) return;
  StopPlayback();
  analysisPending = true;
  if (!engine.StartReanalysis()) {
    analysisPending = false;
    throw Error(kReanalysisFailed);
  }
  if (!ShowAnalysisProgress()) throw Error(kAnalysisStartFailed);
  ShowAnalysedTake();
}

void TfrmMain::OfferReanalysis() {
  if (engine.IsRecording() || engine.IsAnalysing() || engine.GetSound()->GetLength() == 0) return;
  if (AskYesNo(QStringLiteral("表示中の音声を新しい設定で再分析しますか？"))) actReanalyseExecute();
}

void TfrmMain::ShowAnalysedTake() {
  // The trail held the last live values; the new take has none until it is played.
  ClearTrail();
  pnlLevel->SetLevel(0);
  RebuildWaveform();
  pbxFormant->update();
  pbxFZero->update();
}

}  // namespace vowelscope
