#include "ui/DlgGuide.h"

#include "config/Guideset.h"
#include "ui/Dialogfont.h"
#include "ui/Filetext.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace vowelscope {

namespace {

constexpr double kBlockSeconds = 0.025;  // one formant value per 275-sample block at 11025 Hz

enum Column { ColumnStart, ColumnLength, ColumnF1, ColumnF2, ColumnLabel, ColumnCount };

QTableWidgetItem* NumberCell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

std::string Bytes(const QString& text) { return text.trimmed().toStdString(); }

}  // namespace

const char* const TfrmGuide::kNoSteadyStretch =
    "安定した母音区間が見つかりません。\n母音をひとつずつ 0.2 秒以上のばして録音してください。";

TfrmGuide::TfrmGuide(const std::vector<FormantValue>& track, const std::string& recording,
                     const std::vector<std::string>& captions, const std::string& folder, QWidget* parent)
    : QDialog(parent), track(track), recording(recording), folder(folder) {
  setObjectName(QStringLiteral("frmGuide"));
  setWindowTitle(QStringLiteral("ガイドを作成"));
  setFont(DialogFont(9));
  setModal(true);

  stretches = SteadyStretchFinder::Find(this->track);

  lblRecording = new QLabel(QStringLiteral("録音: %1").arg(FileTextToDisplay(recording)), this);
  lblRecording->setObjectName(QStringLiteral("lblRecording"));

  lblNone = new QLabel(QString::fromUtf8(kNoSteadyStretch), this);
  lblNone->setObjectName(QStringLiteral("lblNone"));
  lblNone->setVisible(stretches.empty());

  grdStretches = new QTableWidget(static_cast<int>(stretches.size()), ColumnCount, this);
  grdStretches->setObjectName(QStringLiteral("grdStretches"));
  grdStretches->setHorizontalHeaderLabels({QStringLiteral("開始 (秒)"), QStringLiteral("長さ (秒)"),
                                           QStringLiteral("F1 (Hz)"), QStringLiteral("F2 (Hz)"),
                                           QStringLiteral("母音")});
  grdStretches->verticalHeader()->setVisible(false);
  grdStretches->setSelectionMode(QAbstractItemView::NoSelection);
  grdStretches->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  grdStretches->horizontalHeader()->setSectionResizeMode(ColumnLabel, QHeaderView::Stretch);
  grdStretches->setVisible(!stretches.empty());

  QStringList offered{QString()};
  for (const std::string& caption : captions) {
    const QString text = FileTextToDisplay(caption);
    if (!text.trimmed().isEmpty() && !offered.contains(text)) offered.push_back(text);
  }
  for (int i = 0; i < static_cast<int>(stretches.size()); ++i) {
    const SteadyStretch& s = stretches[static_cast<size_t>(i)];
    grdStretches->setItem(i, ColumnStart, NumberCell(QString::number(s.first * kBlockSeconds, 'f', 2)));
    grdStretches->setItem(i, ColumnLength, NumberCell(QString::number(s.count * kBlockSeconds, 'f', 2)));
    grdStretches->setItem(i, ColumnF1, NumberCell(QString::number(std::lround(s.f1))));
    grdStretches->setItem(i, ColumnF2, NumberCell(QString::number(std::lround(s.f2))));
    auto* label = new QComboBox(grdStretches);
    label->setEditable(true);
    label->setInsertPolicy(QComboBox::NoInsert);
    label->addItems(offered);
    label->setCurrentIndex(0);
    grdStretches->setCellWidget(i, ColumnLabel, label);
    connect(label, &QComboBox::currentTextChanged, this, &TfrmGuide::UpdateOk);
  }

  edtSpeaker = new QLineEdit(this);
  edtSpeaker->setObjectName(QStringLiteral("edtSpeaker"));
  edtSpeaker->setPlaceholderText(QStringLiteral("ガイド一覧に表示される名前"));
  connect(edtSpeaker, &QLineEdit::textChanged, this, &TfrmGuide::UpdateOk);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("話者名(&N):"), edtSpeaker);

  auto* buttons = new QDialogButtonBox(this);
  btnOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnCancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmGuide::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmGuide::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblRecording);
  layout->addWidget(lblNone);
  layout->addWidget(grdStretches, 1);
  layout->addLayout(form);
  layout->addWidget(buttons);
  resize(520, stretches.empty() ? 160 : 360);

  UpdateOk();
}

TfrmGuide::~TfrmGuide() = default;

QComboBox* TfrmGuide::LabelBox(int i) const {
  return qobject_cast<QComboBox*>(grdStretches->cellWidget(i, ColumnLabel));
}

std::vector<std::string> TfrmGuide::Labels() const {
  std::vector<std::string> labels;
  for (int i = 0; i < static_cast<int>(stretches.size()); ++i) labels.push_back(Bytes(LabelBox(i)->currentText()));
  return labels;
}

void TfrmGuide::UpdateOk() {
  // Something to write and a name for the selector to show it by.
  bool labelled = false;
  for (const std::string& label : Labels()) labelled = labelled || !label.empty();
  btnOk->setEnabled(labelled && !edtSpeaker->text().trimmed().isEmpty());
}

void TfrmGuide::accept() {
  if (!btnOk->isEnabled()) return;  // Enter in a field reaches here too
  const auto regions = BuildGuideRegions(track, stretches, Labels());
  GuideSetInfo info;
  info.caption = Bytes(edtSpeaker->text());
  info.recording = recording;
  std::string path;
  if (regions.empty() || !WriteGuideSet(folder, info, regions, path)) {
    // Everything entered stays, so the user can free the folder (or make it writable) and press OK again.
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("ガイドを保存できませんでした。\n%1").arg(FileTextToDisplay(folder)));
    return;
  }
  writtenPath = path;
  QDialog::accept();
}

}  // namespace vowelscope
