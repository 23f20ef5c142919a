#pragma once
// Every user-adjustable parameter of the program, kept in Settings.ini in the per-user folder.
// Changed only on the user-interface thread; the capture thread (formant threshold, per block) and the F0
// worker (F0 values, once per pass) read the plain members without a lock.
// The options dialog keeps the values it hands over in range; values read from the file are brought
// into the dialog's ranges where the analyses use them, so a hand-edited file cannot make a recording
// allocate without bound, run slower than real time or give an empty analysis.

#include <string>

#include "config/Appiniproperty.h"

namespace vowelscope {

class Settings {
 public:
  // Bound to the default file (see GetSettingsFileName), whose folder is created here. Nothing is read.
  Settings();
  // Bound to the given file; no folder is created. Nothing is read.
  explicit Settings(const std::string& fileName);
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;
  virtual ~Settings() = default;

  // <application data>/Halcyon/Vowelscope/Settings.ini, creating the folder with its parents. A folder
  // that cannot be created is not reported (the later Save fails); empty when the application-data
  // folder itself is unknown, so that nothing is ever written to a guessed place.
  static std::string GetSettingsFileName();
  const std::string& GetFileName() const { return properties.GetFileName(); }

  // False when the file does not exist: every setting keeps its value. The analysis values read are
  // clamped into their dialog ranges (order 4-32, F0 50-8000 Hz with minimum <= maximum, frame shift
  // 1-9999 ms, ...); the display ranges are taken as they stand.
  bool Load();
  // Writes every key; false at the first key the file refuses.
  bool Save();

  double GetFormantPreEmphasis() const { return formantPreEmphasis; }
  void SetFormantPreEmphasis(double value) { formantPreEmphasis = value; }
  int GetFormantOrder() const { return formantOrder; }
  // Truncates toward zero.
  void SetFormantOrder(double value);
  // On: the formant analysis picks its own method per block and Order is not used; off: the fixed order.
  bool GetFormantAutoOrder() const { return formantAutoOrder; }
  void SetFormantAutoOrder(bool value) { formantAutoOrder = value; }
  double GetFormantThreshold() const { return formantThreshold; }
  void SetFormantThreshold(double value) { formantThreshold = value; }
  int GetFormantBandWidth() const { return formantBandWidth; }
  void SetFormantBandWidth(int value) { formantBandWidth = value; }
  int GetF1DisplayMin() const { return f1DisplayMin; }
  void SetF1DisplayMin(int value) { f1DisplayMin = value; }
  int GetF1DisplayMax() const { return f1DisplayMax; }
  void SetF1DisplayMax(int value) { f1DisplayMax = value; }
  int GetF2DisplayMin() const { return f2DisplayMin; }
  void SetF2DisplayMin(int value) { f2DisplayMin = value; }
  int GetF2DisplayMax() const { return f2DisplayMax; }
  void SetF2DisplayMax(int value) { f2DisplayMax = value; }

  int GetF0FrameShift() const { return f0FrameShift; }
  void SetF0FrameShift(int value) { f0FrameShift = value; }
  int GetF0Min() const { return f0Min; }
  void SetF0Min(int value) { f0Min = value; }
  int GetF0Max() const { return f0Max; }
  void SetF0Max(int value) { f0Max = value; }
  double GetF0Threshold() const { return f0Threshold; }
  void SetF0Threshold(double value) { f0Threshold = value; }
  int GetF0DisplayMin() const { return f0DisplayMin; }
  void SetF0DisplayMin(int value) { f0DisplayMin = value; }
  int GetF0DisplayMax() const { return f0DisplayMax; }
  void SetF0DisplayMax(int value) { f0DisplayMax = value; }

  // The formant chart's orientation.
  bool GetSwapXY() const { return swapXY; }
  void SetSwapXY(bool value) { swapXY = value; }
  bool GetF1Reverse() const { return f1Reverse; }
  void SetF1Reverse(bool value) { f1Reverse = value; }
  bool GetF2Reverse() const { return f2Reverse; }
  void SetF2Reverse(bool value) { f2Reverse = value; }
  // The F0 chart's frequency axis in semitones (logarithmic) instead of linear hertz.
  bool GetFZeroSemitoneAxis() const { return fzeroSemitoneAxis; }
  void SetFZeroSemitoneAxis(bool value) { fzeroSemitoneAxis = value; }
  // Every voiced block of the take on screen as faint dots under the formant chart's trail.
  bool GetShowWholeTake() const { return showWholeTake; }
  void SetShowWholeTake(bool value) { showWholeTake = value; }

  // Where the file dialogs open: the folder of the last file opened or saved; empty for the working one.
  const std::string& GetLastFolder() const { return lastFolder; }
  void SetLastFolder(const std::string& value) { lastFolder = value; }
  // The window's size and the F0 panel's height as the user left them; 0 for the design size.
  int GetWindowWidth() const { return windowWidth; }
  void SetWindowWidth(int value) { windowWidth = value; }
  int GetWindowHeight() const { return windowHeight; }
  void SetWindowHeight(int value) { windowHeight = value; }
  int GetFZeroHeight() const { return fzeroHeight; }
  void SetFZeroHeight(int value) { fzeroHeight = value; }

  int GetMaxRecordMinute() const { return maxRecordMinute; }
  void SetMaxRecordMinute(int value) { maxRecordMinute = value; }

  // The caption of the selected vowel-guide set; empty when none was picked.
  const std::string& GetCurrentRegions() const { return currentRegions; }
  void SetCurrentRegions(const std::string& value) { currentRegions = value; }
  // The caption of the practice target in that set; empty when none was picked.
  const std::string& GetCurrentTarget() const { return currentTarget; }
  void SetCurrentTarget(const std::string& value) { currentTarget = value; }

 private:
  void Register();
  void ClampAnalysisValues();

  AppIniPropertyList properties;

  double formantPreEmphasis = 0.98;
  int formantOrder = 16;
  bool formantAutoOrder = true;
  double formantThreshold = 35.0;  // dB
  int formantBandWidth = 500;      // Hz
  int f1DisplayMin = 200;          // Hz
  int f1DisplayMax = 1200;         // wide enough for every shipped guide set (women's and children's /a/)
  int f2DisplayMin = 500;
  int f2DisplayMax = 4000;

  int f0FrameShift = 10;  // ms
  int f0Min = 60;         // Hz
  int f0Max = 1000;
  double f0Threshold = 35.0;  // dB
  int f0DisplayMin = 60;      // Hz
  int f0DisplayMax = 1000;

  bool swapXY = false;
  bool f1Reverse = false;
  bool f2Reverse = false;
  bool fzeroSemitoneAxis = false;
  bool showWholeTake = true;
  std::string lastFolder;
  int windowWidth = 0;
  int windowHeight = 0;
  int fzeroHeight = 0;

  int maxRecordMinute = 15;

  std::string currentRegions;
  std::string currentTarget;
};

}  // namespace vowelscope
