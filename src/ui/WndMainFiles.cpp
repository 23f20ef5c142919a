// The main window's sessions on disk: saving the take, opening a saved one, and the question before a
// take that was never saved is replaced, so that no recording is lost without the user's word.
#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <array>

#include "base/Error.h"
#include "base/Stringutilities.h"
#include "base/Fileutilities.h"
#include "engine/Sessiontext.h"
#include "ui/Chartboxes.h"
#include "ui/WndMain.h"

namespace vowelscope {

namespace {

// File names go to the Engine in the system's narrow encoding.
std::string NarrowPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

const char* const TfrmMain::kAskSaveTake = "録音を保存しますか?";

bool TfrmMain::FileThere(const std::string& name) const {
  return hooks.fileExists ? hooks.fileExists(name) : FileExists(name);
}

QString TfrmMain::StartFolder() const { return QFile::decodeName(settings.GetLastFolder().c_str()); }

void TfrmMain::RememberFolder(const QString& file) {
  const std::string folder = NarrowPath(QFileInfo(file).absolutePath());
  if (folder == settings.GetLastFolder()) return;
  settings.SetLastFolder(folder);
  SaveSettings();
}

bool TfrmMain::SessionExists(const std::string& path) const {
  for (const std::string& name : SessionFileNames(path)) {
    if (FileThere(name)) return true;
  }
  return false;
}

bool TfrmMain::SaveTake() {
  QString file;
  if (hooks.chooseSaveFile) {
    file = hooks.chooseSaveFile();
  } else {
    // The user's own name is used as typed: no extension is added, the Engine derives the three names.
    QFileDialog dialog(this, QString(), StartFolder(), QStringLiteral("音声ファイル(*.wav)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The window asks itself, for the three files of the session and not only for the name typed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) file = dialog.selectedFiles().front();
  }
  if (file.isEmpty()) return false;
  RememberFolder(file);
  const std::string path = NarrowPath(file);
  if (SessionExists(path)) {
    const QString question = QStringLiteral("%1 は既に存在します。\n置き換えますか?").arg(QFileInfo(file).fileName());
    if (!AskYesNo(question)) return false;
  }
  engine.SaveFiles(path);
  takeUnsaved = false;
  takeName = GetFileNamePart(SessionFileNames(path)[0]);
  return true;
}

void TfrmMain::actSaveExecute() { SaveTake(); }

TfrmMain::TakeAnswer TfrmMain::AskSaveTake() {
  const QString question = QString::fromUtf8(kAskSaveTake);
  if (hooks.askSaveTake) return hooks.askSaveTake(question);
  QMessageBox box(QMessageBox::Question, windowTitle(), question,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.button(QMessageBox::Save)->setText(QStringLiteral("保存"));
  box.button(QMessageBox::Discard)->setText(QStringLiteral("保存しない"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save: return TakeAnswer::Save;
    case QMessageBox::Discard: return TakeAnswer::Discard;
    default: return TakeAnswer::Cancel;
  }
}

bool TfrmMain::MayReplaceTake() {
  if (!takeUnsaved) return true;
  switch (AskSaveTake()) {
    case TakeAnswer::Save:
      // A failed save raises and so ends the command too, with its message.
      return SaveTake();
    case TakeAnswer::Discard:
      return true;
    case TakeAnswer::Cancel:
      break;
  }
  return false;
}

void TfrmMain::actLoadExecute() {
  if (!MayReplaceTake()) return;
  QString file;
  if (hooks.chooseOpenFile) {
    file = hooks.chooseOpenFile();
  } else {
    // Any of the session's three files opens it.
    file = QFileDialog::getOpenFileName(this, QString(), StartFolder(),
                                        QStringLiteral("セッションのファイル (*.wav *.f0 *.fr);;すべてのファイル (*)"));
  }
  if (file.isEmpty()) return;
  RememberFolder(file);
  const std::string path = NarrowPath(file);
  const std::array<std::string, 3> names = SessionFileNames(path);
  for (size_t i = 0; i < names.size(); ++i) {
    if (FileThere(names[i])) continue;
    // A sound without its analyses: offer to make them, as for any audio file.
    if (i > 0) return OfferFileAnalysis(names[0], kSessionFileParts[i].missingMessage);
    throw Error(kSessionFileParts[i].missingMessage);
  }
  engine.LoadFiles(path);
  takeUnsaved = false;
  takeName = GetFileNamePart(names[0]);
  // The live trail belongs to another take.
  ClearTrail();
  RebuildWaveform();
  pbxFZero->update();
}

}  // namespace vowelscope
