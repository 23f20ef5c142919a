// The main window's guide command: a guide set made from the held vowels of the take on screen, written
// into the user's guide folder and then selected, so that the speaker's own ellipses show at once.

#include "base/Error.h"
#include "ui/Chartboxes.h"
#include "ui/DlgGuide.h"
#include "ui/WndMain.h"

namespace vowelscope {

namespace {

constexpr const char* kUnsavedTake = "録音";
constexpr const char* kNoUserFolder = "ガイドを保存するフォルダがありません (ホームフォルダが分かりません)。";
constexpr const char* kListFull = "ガイドは保存しましたが、ガイドの一覧がいっぱいのため選べません。";

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

}  // namespace vowelscope
