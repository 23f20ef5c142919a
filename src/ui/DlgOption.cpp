#include "ui/DlgOption.h"

#include "config/Settings.h"
#include "ui/Dialogfont.h"
#include "ui/Numedit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>
#include <vector>

namespace vowelscope {

namespace {

constexpr int kEditWidth = 53;

// Lays out the rows of one group: label, edit, then either the unit or "～", a second edit and the unit.
class FieldGrid {
 public:
  explicit FieldGrid(QWidget* box) : box(box), grid(new QGridLayout(box)) {
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(5, 1);
  }

  TNumEdit* Row(const QString& label, const char* name, int digits, double min, double max, const QString& unit) {
    TNumEdit* edit = NewLabelAndEdit(label, name, digits, min, max);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, box), row, 2, 1, 3);
    ++row;
    return edit;
  }

  void RangeRow(const QString& label, const char* minName, const char* maxName, TNumEdit*& minEdit,
                TNumEdit*& maxEdit, double min, double max, const QString& unit) {
    minEdit = NewLabelAndEdit(label, minName, 0, min, max);
    grid->addWidget(new QLabel(QStringLiteral("～"), box), row, 2);
    maxEdit = NewEdit(maxName, 0, min, max);
    grid->addWidget(maxEdit, row, 3);
    grid->addWidget(new QLabel(unit, box), row, 4);
    ++row;
  }

  // A check box over the first two columns of a row of its own.
  QCheckBox* CheckRow(const QString& label, const char* name) {
    auto* check = new QCheckBox(label, box);
    check->setObjectName(QString::fromLatin1(name));
    grid->addWidget(check, row, 0, 1, 2);
    ++row;
    return check;
  }

  // Puts a widget where the unit of the last row would be.
  void BesideLastRow(QWidget* widget) { grid->addWidget(widget, row - 1, 2, 1, 3); }

  void Finish() { grid->setRowStretch(row, 1); }

  std::vector<TNumEdit*> edits;
  QWidget* Box() const { return box; }

 private:
  TNumEdit* NewEdit(const char* name, int digits, double min, double max) {
    auto* edit = new TNumEdit(box);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(kEditWidth);
    // Max first: the default Max is below some of the minimums set here.
    edit->SetMax(max);
    edit->SetMin(min);
    edit->SetDigits(digits);
    edit->SetAlignment(TNumEdit::TAlignment::taLeftJustify);
    edits.push_back(edit);
    return edit;
  }

  TNumEdit* NewLabelAndEdit(const QString& label, const char* name, int digits, double min, double max) {
    auto* caption = new QLabel(label, box);
    TNumEdit* edit = NewEdit(name, digits, min, max);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
  }

  QWidget* box;
  QGridLayout* grid;
  int row = 0;
};

QGroupBox* NewGroup(QWidget* page, QVBoxLayout* column, const QString& title) {
  auto* group = new QGroupBox(title, page);
  column->addWidget(group);
  return group;
}

}  // namespace

TfrmOption::TfrmOption(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmOption"));
  setWindowTitle(QStringLiteral("オプション"));
  setFont(DialogFont(8));
  setFixedSize(426, 443);

  std::vector<QWidget*> order;
  auto* outer = new QVBoxLayout(this);
  pgcOption = new QTabWidget(this);
  pgcOption->setObjectName(QStringLiteral("pgcOption"));
  pgcOption->setFont(DialogFont(9));
  outer->addWidget(pgcOption, 1);

  {
    auto* page = new QWidget();
    page->setFont(DialogFont(8));
    auto* column = new QVBoxLayout(page);
    FieldGrid analysis(NewGroup(page, column, QStringLiteral("分析設定")));
    edtFormantPreEmphasis = analysis.Row(QStringLiteral("プリエンファシス(&E):"), "edtFormantPreEmphasis", 2, 0, 0.99, {});
    edtFormantOrder = analysis.Row(QStringLiteral("分析次数(&O):"), "edtFormantOrder", 0, 4, 32, {});
    chkFormantAutoOrder = new QCheckBox(QStringLiteral("次数を自動で選ぶ(&U)"), analysis.Box());
    chkFormantAutoOrder->setObjectName(QStringLiteral("chkFormantAutoOrder"));
    analysis.BesideLastRow(chkFormantAutoOrder);
    // The automatic analysis chooses for itself; the order typed here is used only without it.
    connect(chkFormantAutoOrder, &QCheckBox::toggled, edtFormantOrder, &QWidget::setDisabled);
    edtFormantThreshold =
        analysis.Row(QStringLiteral("分析対象(&T):"), "edtFormantThreshold", 1, 1, 90, QStringLiteral("dB以上"));
    edtFormantBandWidth =
        analysis.Row(QStringLiteral("最大バンド幅(&B):"), "edtFormantBandWidth", 0, 1, 5000, QStringLiteral("Hz"));
    analysis.Finish();
    FieldGrid display(NewGroup(page, column, QStringLiteral("表示設定")));
    display.RangeRow(QStringLiteral("F1 表示範囲:"), "edtF1DisplayMin", "edtF1DisplayMax", edtF1DisplayMin,
                     edtF1DisplayMax, 0, 8000, QStringLiteral("Hz"));
    display.RangeRow(QStringLiteral("F2 表示範囲:"), "edtF2DisplayMin", "edtF2DisplayMax", edtF2DisplayMin,
                     edtF2DisplayMax, 0, 8000, QStringLiteral("Hz"));
    chkSwapXY = display.CheckRow(QStringLiteral("F1 と F2 を入れ替える(&X)"), "chkSwapXY");
    chkF1Reverse = display.CheckRow(QStringLiteral("F1 軸を反転(&1)"), "chkF1Reverse");
    chkF2Reverse = display.CheckRow(QStringLiteral("F2 軸を反転(&2)"), "chkF2Reverse");
    btnVowelChart = new QPushButton(QStringLiteral("母音図の向き(&V)"), display.Box());
    btnVowelChart->setObjectName(QStringLiteral("btnVowelChart"));
    btnVowelChart->setAutoDefault(false);
    btnVowelChart->setToolTip(QStringLiteral("F2 を右へ減少、F1 を下へ増加させる伝統的な母音図の向きにします"));
    display.BesideLastRow(btnVowelChart);
    // The traditional vowel chart: F1 down the page, growing downward; F2 across it, falling to the right.
    connect(btnVowelChart, &QPushButton::clicked, this, [this] {
      chkSwapXY->setChecked(true);
      chkF1Reverse->setChecked(true);
      chkF2Reverse->setChecked(true);
    });
    display.Finish();
    column->addStretch(1);
    pgcOption->addTab(page, QStringLiteral("F1 - F2 分析"));
    order.insert(order.end(), analysis.edits.begin(), analysis.edits.end());
    order.insert(order.begin() + 2, chkFormantAutoOrder);
    order.insert(order.end(), display.edits.begin(), display.edits.end());
    order.insert(order.end(), {chkSwapXY, chkF1Reverse, chkF2Reverse, btnVowelChart});
  }
  {
    auto* page = new QWidget();
    page->setFont(DialogFont(8));
    auto* column = new QVBoxLayout(page);
    FieldGrid analysis(NewGroup(page, column, QStringLiteral("分析設定")));
    edtF0FrameShift =
        analysis.Row(QStringLiteral("フレームシフト(&F):"), "edtF0FrameShift", 0, 0, 9999.9, QStringLiteral("ミリ秒"));
    edtF0Min = analysis.Row(QStringLiteral("最小周波数(&L):"), "edtF0Min", 0, 50, 8000, QStringLiteral("Hz"));
    edtF0Max = analysis.Row(QStringLiteral("最大周波数(&H):"), "edtF0Max", 0, 50, 8000, QStringLiteral("Hz"));
    edtF0Threshold =
        analysis.Row(QStringLiteral("分析対象(&T):"), "edtF0Threshold", 1, 1, 100, QStringLiteral("dB以上"));
    analysis.Finish();
    FieldGrid display(NewGroup(page, column, QStringLiteral("表示設定")));
    display.RangeRow(QStringLiteral("表示範囲:"), "edtF0DisplayMin", "edtF0DisplayMax", edtF0DisplayMin,
                     edtF0DisplayMax, 0, 8000, QStringLiteral("Hz"));
    chkFZeroSemitoneAxis = display.CheckRow(QStringLiteral("F0 軸を半音 (対数) 目盛りにする(&S)"), "chkFZeroSemitoneAxis");
    display.Finish();
    column->addStretch(1);
    pgcOption->addTab(page, QStringLiteral("基本周波数(F0)分析"));
    order.insert(order.end(), analysis.edits.begin(), analysis.edits.end());
    order.insert(order.end(), display.edits.begin(), display.edits.end());
    order.push_back(chkFZeroSemitoneAxis);
  }
  {
    auto* page = new QWidget();
    page->setFont(DialogFont(8));
    auto* column = new QVBoxLayout(page);
    auto* rows = new QWidget(page);
    column->addWidget(rows);
    FieldGrid record(rows);
    edtMaxRecordMinute =
        record.Row(QStringLiteral("最大録音時間(&T):"), "edtMaxRecordMinute", 0, 1, 120, QStringLiteral("分"));
    record.Finish();
    column->addStretch(1);
    pgcOption->addTab(page, QStringLiteral("録音"));
    order.insert(order.end(), record.edits.begin(), record.edits.end());
  }

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnOk->setAutoDefault(true);
  btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  // Enter on a focused button presses that button: Enter on キャンセル must not confirm the box.
  btnCancel->setAutoDefault(true);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  outer->addLayout(buttons);
  // Esc reaches QDialog::reject, so the cancel button needs no key of its own.
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  pgcOption->setCurrentIndex(0);
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::LoadFromSettings(const Settings& settings) {
  edtFormantPreEmphasis->setValue(settings.GetFormantPreEmphasis());
  edtFormantOrder->setValue(settings.GetFormantOrder());
  chkFormantAutoOrder->setChecked(settings.GetFormantAutoOrder());
  edtFormantThreshold->setValue(settings.GetFormantThreshold());
  edtFormantBandWidth->setValue(settings.GetFormantBandWidth());
  edtF1DisplayMin->setValue(settings.GetF1DisplayMin());
  edtF1DisplayMax->setValue(settings.GetF1DisplayMax());
  edtF2DisplayMin->setValue(settings.GetF2DisplayMin());
  edtF2DisplayMax->setValue(settings.GetF2DisplayMax());
  chkSwapXY->setChecked(settings.GetSwapXY());
  chkF1Reverse->setChecked(settings.GetF1Reverse());
  chkF2Reverse->setChecked(settings.GetF2Reverse());
  edtF0FrameShift->setValue(settings.GetF0FrameShift());
  edtF0Min->setValue(settings.GetF0Min());
  edtF0Max->setValue(settings.GetF0Max());
  edtF0Threshold->setValue(settings.GetF0Threshold());
  edtF0DisplayMin->setValue(settings.GetF0DisplayMin());
  edtF0DisplayMax->setValue(settings.GetF0DisplayMax());
  chkFZeroSemitoneAxis->setChecked(settings.GetFZeroSemitoneAxis());
  edtMaxRecordMinute->setValue(settings.GetMaxRecordMinute());
}

void TfrmOption::StoreToSettings(Settings& settings) const {
  auto whole = [](const TNumEdit* edit) { return static_cast<int>(edit->getValue()); };
  settings.SetFormantPreEmphasis(edtFormantPreEmphasis->getValue());
  settings.SetFormantOrder(edtFormantOrder->getValue());
  settings.SetFormantAutoOrder(chkFormantAutoOrder->isChecked());
  settings.SetFormantThreshold(edtFormantThreshold->getValue());
  settings.SetFormantBandWidth(whole(edtFormantBandWidth));
  settings.SetF1DisplayMin(whole(edtF1DisplayMin));
  settings.SetF1DisplayMax(whole(edtF1DisplayMax));
  settings.SetF2DisplayMin(whole(edtF2DisplayMin));
  settings.SetF2DisplayMax(whole(edtF2DisplayMax));
  settings.SetSwapXY(chkSwapXY->isChecked());
  settings.SetF1Reverse(chkF1Reverse->isChecked());
  settings.SetF2Reverse(chkF2Reverse->isChecked());
  settings.SetF0FrameShift(whole(edtF0FrameShift));
  settings.SetF0Min(whole(edtF0Min));
  settings.SetF0Max(whole(edtF0Max));
  settings.SetF0Threshold(edtF0Threshold->getValue());
  settings.SetF0DisplayMin(whole(edtF0DisplayMin));
  settings.SetF0DisplayMax(whole(edtF0DisplayMax));
  settings.SetFZeroSemitoneAxis(chkFZeroSemitoneAxis->isChecked());
  settings.SetMaxRecordMinute(whole(edtMaxRecordMinute));
}

std::optional<TfrmOption::Problem> TfrmOption::CheckAcrossFields() const {
  auto whole = [](const TNumEdit* edit) { return static_cast<int>(edit->getValue()); };
  // A minimum above its maximum would mirror the chart; a frame shift below a millisecond gives no F0 at all.
  struct Range {
    TNumEdit* min;
    TNumEdit* max;
    const char* message;
  };
  const Range ranges[] = {
      {edtF1DisplayMin, edtF1DisplayMax, "F1 表示範囲の最小値が最大値を超えています。"},
      {edtF2DisplayMin, edtF2DisplayMax, "F2 表示範囲の最小値が最大値を超えています。"},
      {edtF0Min, edtF0Max, "F0 の最小周波数が最大周波数を超えています。"},
      {edtF0DisplayMin, edtF0DisplayMax, "F0 表示範囲の最小値が最大値を超えています。"},
  };
  if (whole(edtF0FrameShift) < 1) {
    return Problem{edtF0FrameShift, QStringLiteral("フレームシフトには 1 ミリ秒以上を指定してください。")};
  }
  for (const Range& range : ranges) {
    if (whole(range.min) > whole(range.max)) return Problem{range.min, QString::fromUtf8(range.message)};
  }
  return std::nullopt;
}

void TfrmOption::accept() {
  if (const std::optional<Problem> problem = CheckAcrossFields()) {
    // The box stays open on the field to mend; nothing reaches the settings.
    pgcOption->setCurrentWidget(PageOf(problem->field));
    problem->field->setFocus();
    QMessageBox::warning(this, windowTitle(), problem->message);
    return;
  }
  QDialog::accept();
}

QWidget* TfrmOption::PageOf(QWidget* field) const {
  for (int i = 0; i < pgcOption->count(); ++i) {
    if (pgcOption->widget(i)->isAncestorOf(field)) return pgcOption->widget(i);
  }
  return pgcOption->currentWidget();
}

OptionsResult ExecuteOptions(QWidget* owner, Settings& settings) {
  TfrmOption dialog(owner);
  dialog.LoadFromSettings(settings);
  if (dialog.exec() != QDialog::Accepted) return OptionsResult::Cancelled;
  dialog.StoreToSettings(settings);
  return settings.Save() ? OptionsResult::Saved : OptionsResult::SaveFailed;
}

}  // namespace vowelscope
