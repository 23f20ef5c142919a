#pragma once
// The options box: fifteen of the settings on three tabs, each in a TNumEdit with its range and precision,
// the automatic formant order as a check box beside the order field, the chart's orientation as
// three check boxes with a one-click preset for the traditional vowel chart, and the F0 chart's
// semitone axis as a check box under its display range.
// It is made for one showing: LoadFromSettings fills it, and after OK StoreToSettings hands the values back.

#include <QDialog>
#include <QString>

#include <optional>

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
  // are truncated toward zero.
  void StoreToSettings(Settings& settings) const;

  // What OK refuses: a minimum above its maximum, a frame shift below one millisecond; the field to
  // mend and the message naming it.
  struct Problem {
    QWidget* field;
    QString message;
  };
  std::optional<Problem> CheckAcrossFields() const;

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
  QCheckBox* chkSwapXY = nullptr;
  QCheckBox* chkF1Reverse = nullptr;
  QCheckBox* chkF2Reverse = nullptr;
  QPushButton* btnVowelChart = nullptr;  // sets the three boxes for the traditional vowel chart

  TNumEdit* edtF0FrameShift = nullptr;
  TNumEdit* edtF0Min = nullptr;
  TNumEdit* edtF0Max = nullptr;
  TNumEdit* edtF0Threshold = nullptr;
  TNumEdit* edtF0DisplayMin = nullptr;
  TNumEdit* edtF0DisplayMax = nullptr;
  QCheckBox* chkFZeroSemitoneAxis = nullptr;

  TNumEdit* edtMaxRecordMinute = nullptr;

  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  // OK: closes the box only when CheckAcrossFields finds nothing; otherwise says what is wrong and
  // stays open on that field.
  void accept() override;

 private:
  QWidget* PageOf(QWidget* field) const;
};

enum class OptionsResult { Cancelled, Saved, SaveFailed };

// One showing of the options box for the owner: filled from the settings, and only after OK are the values
// stored back and the settings file saved. Cancel leaves both the settings and the file untouched.
OptionsResult ExecuteOptions(QWidget* owner, Settings& settings);

}  // namespace vowelscope
