#pragma once
// The live pitch beside the level meter: the newest block's F0 large, in Hz and as the nearest note with
// its distance in cents ("A3 +12"), so that a singer can hold a note by eye. A dash while there is no
// voice. The window hands each value over in its posted messages, so everything here runs on the
// user-interface thread.

#include <QFrame>
#include <QString>

class QLabel;

namespace vowelscope {

class TPitchReadout : public QFrame {
  Q_OBJECT

 public:
  explicit TPitchReadout(QWidget* parent = nullptr);
  ~TPitchReadout() override;

  // A frequency in Hz; zero, negative or not finite (an unvoiced or quiet block) shows the dash.
  void SetPitch(double frequency);
  void Clear() { SetPitch(0.0); }

  // The texts shown for a frequency.
  static QString FrequencyText(double frequency);
  static QString NoteText(double frequency);

  QLabel* lblFrequency = nullptr;
  QLabel* lblNote = nullptr;
};

}  // namespace vowelscope
