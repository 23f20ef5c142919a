#include "ui/Pitchreadout.h"

#include "analysis/Notename.h"
#include "ui/Dialogfont.h"

#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace vowelscope {

namespace {

const QString kDash = QStringLiteral("—");

bool Voiced(double frequency) { return frequency > 0.0 && std::isfinite(frequency); }

}  // namespace

TPitchReadout::TPitchReadout(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("pnlPitch"));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  lblFrequency = new QLabel(this);
  lblFrequency->setObjectName(QStringLiteral("lblFrequency"));
  lblFrequency->setFont(DialogFont(20));
  lblFrequency->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  lblNote = new QLabel(this);
  lblNote->setObjectName(QStringLiteral("lblNote"));
  lblNote->setFont(DialogFont(14));
  lblNote->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  // Wide enough for the widest texts, so that the readout does not jump as the values change 40 times a
  // second.
  lblFrequency->setMinimumWidth(QFontMetrics(lblFrequency->font()).horizontalAdvance(QStringLiteral("0000 Hz")) + 4);
  lblNote->setMinimumWidth(QFontMetrics(lblNote->font()).horizontalAdvance(QStringLiteral("C#0 -50")) + 4);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  layout->addWidget(lblFrequency);
  layout->addWidget(lblNote);

  SetPitch(0.0);
}

TPitchReadout::~TPitchReadout() = default;

void TPitchReadout::SetPitch(double frequency) {
  lblFrequency->setText(FrequencyText(frequency));
  lblNote->setText(NoteText(frequency));
}

QString TPitchReadout::FrequencyText(double frequency) {
  if (!Voiced(frequency)) return kDash;
  return QStringLiteral("%1 Hz").arg(std::lround(frequency));
}

QString TPitchReadout::NoteText(double frequency) {
  const std::string note = NoteName(frequency);
  return note.empty() ? kDash : QString::fromStdString(note);
}

}  // namespace vowelscope
