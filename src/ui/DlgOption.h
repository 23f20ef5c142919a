#pragma once
// The options box: fifteen of the settings on three tabs, each in a TNumEdit with its range and precision,
// and the automatic formant order as a check box beside the order field.
// It is made for one showing: LoadFromSettings fills it, and after OK StoreToSettings hands the values back.

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace vowelscope {

class Settings;
class TNumEdit;

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOption(QWidget* parent = nullptr);
  ~TfrmOption() override;

  // Every field shows its setting, clamped into the field's range.
  void LoadFromSettings(const Settings& settings);
  // Every setting receives its field's value (always inside the field's range); whole-number settings
  // are truncated toward zero. Nothing is checked across fields.
  void StoreToSettings(Settings& settings) const;

  QTabWidget* pgcOption = nullptr;

  TNumEdit* edtFormantPreEmphasis = nullptr;
  TNumEdit* edtFormantOrder = nullptr;
  QCheckBox* chkFormantAutoOrder = nullptr;  // on: the order field is disabled
  TNumEdit* edtFormantThreshold = nullptr;
  TNumEdit* edtFormantBandWidth = nullptr;
  TNumEdit* edtF1DisplayMin = nullptr;
  TNumEdit* edtF1DisplayMax = nullptr;
  TNumEdit* edtF2DisplayMin = nullptr;
  TNumEdit* edtF2DisplayMax = nullptr;

  TNumEdit* edtF0FrameShift = nullptr;
  TNumEdit* edtF0Min = nullptr;
  TNumEdit* edtF0Max = nullptr;
  TNumEdit* edtF0Threshold = nullptr;
  TNumEdit* edtF0DisplayMin = nullptr;
  TNumEdit* edtF0DisplayMax = nullptr;

  TNumEdit* edtMaxRecordMinute = nullptr;

  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
};

enum class OptionsResult { Cancelled, Saved, SaveFailed };

// One showing of the options box for the owner: filled from the settings, and only after OK are the values
// stored back and the settings file saved. Cancel leaves both the settings and the file untouched.
OptionsResult ExecuteOptions(QWidget* owner, Settings& settings);

}  // namespace vowelscope
