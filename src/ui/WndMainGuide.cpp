// The main window's guide commands: a guide set made from the held vowels of the take on screen, written
// into the user's guide folder and then selected, so that the speaker's own ellipses show at once; and
// the removal of such a set, which deletes its file.

#include "base/Error.h"
#include "ui/Chartboxes.h"
#include "ui/DlgGuide.h"
#include "ui/Filetext.h"
#include "ui/WndMain.h"

namespace vowelscope {

namespace {

constexpr const char* kUnsavedTake = "録音";
constexpr const char* kNoUserFolder = "ガイドを保存するフォルダがありません (ホームフォルダが分かりません)。";
constexpr const char* kListFull = "ガイドは保存しましたが、ガイドの一覧がいっぱいのため選べません。";
constexpr const char* kAskRemove = "ガイド「%1」を削除しますか?\n%2";
constexpr const char* kRemoveFailed = "ガイド「%1」のファイルを削除できませんでした。\n%2";

}  // namespace

bool TfrmMain::HaveFormants() const {
  const std::vector<FormantValue>* track = engine.GetFormantTrack();
  if (track == nullptr) return false;
  for (const FormantValue& value : *track) {
    if (value.f1 > 0.0 && value.f2 > 0.0) return true;
  }
  return false;
}

void TfrmMain::actMakeGuideExecute() {
  if (engine.IsRecording() || engine.IsAnalysing() || !HaveFormants()) return;
  std::vector<std::string> captions;
  if (const Regions* regions = SelectedRegions()) {
    for (int i = 0; i < regions->GetRegionCount(); ++i) {
      const FrequencyRegion* region = regions->GetRegion(i);
      if (region != nullptr && region->Enabled) captions.push_back(region->Caption);
    }
  }
  const std::string& folder = regionsList.GetUserFolder();
  if (folder.empty()) throw Error(kNoUserFolder);
  TfrmGuide dialog(*engine.GetFormantTrack(), takeName.empty() ? std::string(kUnsavedTake) : takeName, captions,
                   folder, this);
  if (dialog.Stretches().empty()) throw Error(TfrmGuide::kNoSteadyStretch);
  // The box itself reports a folder it cannot write and stays open with what was entered.
  const bool accepted = hooks.runGuide ? hooks.runGuide(dialog) : dialog.exec() == QDialog::Accepted;
  if (!accepted || dialog.WrittenPath().empty()) return;

  // Read back by the same reader as every set, listed after the others and selected.
  const int index = regionsList.AddUserSet(dialog.WrittenPath());
  if (index < 0) throw Error(kListFull);
  settings.SetCurrentRegions(regionsList.GetSelectorCaption(index));
  settings.SetCurrentTarget(std::string());
  SaveSettings();
  FillRegionsCombo();
  InvalidateFormantBackground();
  pbxFormant->update();
}

void TfrmMain::actRemoveGuideExecute() {
  if (engine.IsRecording() || !regionsList.IsUserSet(selectedRegions)) return;
  const int index = selectedRegions;
  const QString caption = FileTextToDisplay(regionsList.GetSelectorCaption(index));
  const QString file = FileTextToDisplay(regionsList.GetItem(index)->GetFileName());
  if (!AskYesNo(QString::fromUtf8(kAskRemove).arg(caption, file))) return;
  // A file that stays leaves the list as it was: the set is still there to be shown and removed later.
  if (!regionsList.Remove(index)) throw Error(QString::fromUtf8(kRemoveFailed).arg(caption, file).toStdString());

  // The set on screen is gone: the first one takes its place, as at a first start, without a target.
  settings.SetCurrentRegions(regionsList.GetCount() > 0 ? regionsList.GetSelectorCaption(0) : std::string());
  settings.SetCurrentTarget(std::string());
  SaveSettings();
  FillRegionsCombo();
  InvalidateFormantBackground();
  pbxFormant->update();
  pbxFZero->update();
}

}  // namespace vowelscope
