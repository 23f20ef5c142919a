#include "ui/DlgAbout.h"

#include "ui/Dialogfont.h"

#include <QLabel>
#include <QPushButton>

namespace vowelscope {

namespace {

QLabel* CentredLine(QWidget* parent, const char* name, const QString& text, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(0, top, 350, label->sizeHint().height());
  return label;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFont(DialogFont(8));
  setFixedSize(354, 125);

  Label1 = new QLabel(QStringLiteral("Vowelscope β Version 1.3.1"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(JapaneseGothicFont(10));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setGeometry(0, 12, 350, Label1->sizeHint().height());

  Label3 = CentredLine(this, "Label3", QStringLiteral("Powered by SignalKernel(R)"), 48);
  Label2 = CentredLine(this, "Label2", QStringLiteral("このソフトウェアは無保証で提供されます。"), 64);

  OK = new QPushButton(QStringLiteral("OK"), this);
  OK->setObjectName(QStringLiteral("OK"));
  OK->setGeometry(144, 92, 75, 25);
  OK->setDefault(true);
  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmAbout::~TfrmAbout() = default;

}  // namespace vowelscope
