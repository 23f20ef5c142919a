#include "config/Settings.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <cmath>

#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "platform/Profile.h"

namespace vowelscope {

namespace {

// A flag whose value must be a number: "0" is off and any other number on, as for every bool key, but
// text that is no number at all ("yes", "on", a typo) keeps the default instead of reading as off.
class AppIniPropertyNumericBool : public AppIniPropertyBool {
 public:
  using AppIniPropertyBool::AppIniPropertyBool;
  bool Read(const char* fileName) override {
    char text[32] = {};
    GetProfileString(section, key, "", text, sizeof text, fileName);
    const char* digits = text + ((text[0] == '-' || text[0] == '+') ? 1 : 0);
    if (*digits < '0' || *digits > '9') return true;
    return AppIniPropertyBool::Read(fileName);
  }
  std::unique_ptr<AppProperty> Clone() const override { return std::make_unique<AppIniPropertyNumericBool>(*this); }
};

}  // namespace

Settings::Settings() : Settings(GetSettingsFileName()) {}

Settings::Settings(const std::string& fileName) : properties(fileName) { Register(); }

std::string Settings::GetSettingsFileName() {
  const std::string appData = GetSpecialFolderPath(CSIDL_APPDATA);
  if (appData.empty()) return std::string();
  const std::string folder = IncludeTrailingSeparator(appData) + "Halcyon" + kPathSeparator + "Vowelscope";
  ForceDirectories(folder);
  return folder + kPathSeparator + "Settings.ini";
}

void Settings::Register() {
  properties.Add(AppIniPropertyFloat("Formant", "PreEmphasis", &formantPreEmphasis));
  properties.Add(AppIniPropertyInteger("Formant", "Order", &formantOrder));
  properties.Add(AppIniPropertyNumericBool("Formant", "AutoOrder", &formantAutoOrder));
  properties.Add(AppIniPropertyFloat("Formant", "PowerThreshold", &formantThreshold));
  properties.Add(AppIniPropertyInteger("Formant", "BandWidth", &formantBandWidth));
  properties.Add(AppIniPropertyInteger("Formant", "F1DisplayMinFrequency", &f1DisplayMin));
  properties.Add(AppIniPropertyInteger("Formant", "F1DisplayMaxFrequency", &f1DisplayMax));
  properties.Add(AppIniPropertyInteger("Formant", "F2DisplayMinFrequency", &f2DisplayMin));
  properties.Add(AppIniPropertyInteger("Formant", "F2DisplayMaxFrequency", &f2DisplayMax));

  properties.Add(AppIniPropertyInteger("F0", "FrameShift", &f0FrameShift));
  properties.Add(AppIniPropertyInteger("F0", "MinFrequency", &f0Min));
  properties.Add(AppIniPropertyInteger("F0", "MaxFrequency", &f0Max));
  properties.Add(AppIniPropertyFloat("F0", "PowerThreshold", &f0Threshold));
  properties.Add(AppIniPropertyInteger("F0", "DisplayMinFrequency", &f0DisplayMin));
  properties.Add(AppIniPropertyInteger("F0", "DisplayMaxFrequency", &f0DisplayMax));

  properties.Add(AppIniPropertyBool("View", "SwapXY", &swapXY));
  properties.Add(AppIniPropertyBool("View", "F1Reverse", &f1Reverse));
  properties.Add(AppIniPropertyBool("View", "F2Reverse", &f2Reverse));
  properties.Add(AppIniPropertyString("View", "LastFolder", &lastFolder));
  properties.Add(AppIniPropertyInteger("View", "WindowWidth", &windowWidth));
  properties.Add(AppIniPropertyInteger("View", "WindowHeight", &windowHeight));
  properties.Add(AppIniPropertyInteger("View", "FZeroHeight", &fzeroHeight));
  properties.Add(AppIniPropertyNumericBool("View", "FZeroSemitoneAxis", &fzeroSemitoneAxis));
  properties.Add(AppIniPropertyNumericBool("View", "ShowWholeTake", &showWholeTake));

  properties.Add(AppIniPropertyInteger("Record", "MaxRecordMinute", &maxRecordMinute));

  properties.Add(AppIniPropertyString("Regions", "CurrentRegions", &currentRegions));
  properties.Add(AppIniPropertyString("Regions", "CurrentTarget", &currentTarget));
}

bool Settings::Load() {
  const bool loaded = properties.Load();
  ClampAnalysisValues();
  return loaded;
}

namespace {

// A value that is not a number falls back to the default rather than to one end of the range.
double ClampDouble(double value, double low, double high, double fallback) {
  return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

}  // namespace

void Settings::ClampAnalysisValues() {
  formantPreEmphasis = ClampDouble(formantPreEmphasis, 0.0, 0.99, 0.98);
  formantOrder = std::clamp(formantOrder, 4, 32);
  formantThreshold = ClampDouble(formantThreshold, 1.0, 90.0, 35.0);
  formantBandWidth = std::clamp(formantBandWidth, 1, 5000);
  f0FrameShift = std::clamp(f0FrameShift, 1, 9999);
  f0Min = std::clamp(f0Min, 50, 8000);
  f0Max = std::clamp(f0Max, 50, 8000);
  if (f0Min > f0Max) std::swap(f0Min, f0Max);
  f0Threshold = ClampDouble(f0Threshold, 1.0, 100.0, 35.0);
  maxRecordMinute = std::clamp(maxRecordMinute, 1, 120);
}

bool Settings::Save() { return properties.Save(); }

void Settings::SetFormantOrder(double value) {
  // Converting a double outside the range of int is undefined, so such values are pinned to the ends.
  if (std::isnan(value)) {
    formantOrder = 0;
  } else if (value <= static_cast<double>(INT_MIN)) {
    formantOrder = INT_MIN;
  } else if (value >= static_cast<double>(INT_MAX)) {
    formantOrder = INT_MAX;
  } else {
    formantOrder = static_cast<int>(value);
  }
}

}  // namespace vowelscope
