#pragma once
// "ガイドを作成": a guide set from a take of held vowels. The box lists the take's steady stretches (start,
// length, mean F1 and F2), the user names the vowel of each (the current set's captions are offered,
// any text is taken, an empty name leaves the stretch out) and the speaker, and OK writes the set into
// the user's guide folder. A take without a steady stretch says so and offers nothing to write; a folder
// that cannot be written is reported and the box stays open with everything entered.

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "analysis/Formantvalue.h"
#include "analysis/Steadystretches.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace vowelscope {

class TfrmGuide : public QDialog {
  Q_OBJECT

 public:
  // track: the take's blocks (25 ms each); recording: its name, kept in the file's comment; captions:
  // the vowels of the current guide set; folder: where the set is written (the user's guide folder).
  TfrmGuide(const std::vector<FormantValue>& track, const std::string& recording,
            const std::vector<std::string>& captions, const std::string& folder, QWidget* parent = nullptr);
  ~TfrmGuide() override;

  // What the box and the window say of a take without a steady stretch.
  static const char* const kNoSteadyStretch;

  const std::vector<SteadyStretch>& Stretches() const { return stretches; }
  // The vowel names entered, one per stretch, as bytes.
  std::vector<std::string> Labels() const;
  // The file written by OK; empty until then.
  const std::string& WrittenPath() const { return writtenPath; }

  QLabel* lblRecording = nullptr;
  QLabel* lblNone = nullptr;  // shown instead of the list when the take holds no steady vowel
  QTableWidget* grdStretches = nullptr;
  QLineEdit* edtSpeaker = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  // The vowel name of stretch i.
  QComboBox* LabelBox(int i) const;

 public slots:
  void accept() override;

 private:
  void UpdateOk();

  std::vector<FormantValue> track;
  std::string recording;
  std::string folder;
  std::vector<SteadyStretch> stretches;
  std::string writtenPath;
};

}  // namespace vowelscope
