#include "ui/Targetpanel.h"

#include "config/Regionslist.h"
#include "ui/Dialogfont.h"
#include "ui/Filetext.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <cmath>

namespace vowelscope {

namespace {

const QString kDash = QStringLiteral("—");

bool SameAttempt(const VowelAttempt& a, const VowelAttempt& b) {
  return a.f1 == b.f1 && a.f2 == b.f2 && a.blocks == b.blocks && a.score == b.score;
}

}  // namespace

TTargetPanel::TTargetPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnlTarget"));
  setFont(DialogFont(9));

  // The picker is a row of its own, so that the window may place it beside the guide selector.
  rowTarget = new QWidget(this);
  rowTarget->setObjectName(QStringLiteral("rowTarget"));
  // Not Alt+T: that opens the ツール menu.
  auto* lblTarget = new QLabel(QStringLiteral("目標(&V):"), rowTarget);
  cbxTarget = new QComboBox(rowTarget);
  cbxTarget->setObjectName(QStringLiteral("cbxTarget"));
  cbxTarget->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  lblTarget->setBuddy(cbxTarget);
  auto* targetRow = new QHBoxLayout(rowTarget);
  targetRow->setContentsMargins(0, 0, 0, 0);
  targetRow->addWidget(lblTarget);
  targetRow->addWidget(cbxTarget, 1);

  auto* lblScoreCaption = new QLabel(QStringLiteral("スコア:"), this);
  lblScore = new QLabel(this);
  lblScore->setObjectName(QStringLiteral("lblScore"));
  lblScore->setFont(DialogFont(20));
  lblScore->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  lvwAttempts = new QTreeWidget(this);
  lvwAttempts->setObjectName(QStringLiteral("lvwAttempts"));
  lvwAttempts->setRootIsDecorated(false);
  lvwAttempts->setUniformRowHeights(true);
  lvwAttempts->setSelectionMode(QAbstractItemView::NoSelection);
  lvwAttempts->setHeaderLabels({QStringLiteral("#"), QStringLiteral("F1 (Hz)"), QStringLiteral("F2 (Hz)"),
                                QStringLiteral("スコア")});
  lvwAttempts->header()->setStretchLastSection(false);
  lvwAttempts->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  for (int c = 0; c < 4; ++c) lvwAttempts->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);

  btnClear = new QPushButton(QStringLiteral("クリア"), this);
  btnClear->setObjectName(QStringLiteral("btnClear"));

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(rowTarget, 0, 0, 1, 2);
  layout->addWidget(lblScoreCaption, 1, 0);
  layout->addWidget(lblScore, 1, 1);
  layout->addWidget(lvwAttempts, 2, 0, 1, 2);
  layout->addWidget(btnClear, 3, 1, Qt::AlignRight);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(2, 1);

  connect(cbxTarget, &QComboBox::activated, this, [this] { emit targetPicked(Target()); });
  connect(btnClear, &QPushButton::clicked, this, &TTargetPanel::clearRequested);

  SetRegions(nullptr);
  lblScore->setText(kDash);
}

TTargetPanel::~TTargetPanel() = default;

void TTargetPanel::SetRegions(const Regions* set) {
  const QSignalBlocker quiet(cbxTarget);
  cbxTarget->clear();
  cbxTarget->addItem(QStringLiteral("(なし)"), -1);
  if (set != nullptr) {
    for (int i = 0; i < set->GetRegionCount(); ++i) {
      const FrequencyRegion* region = set->GetRegion(i);
      if (region != nullptr && region->Enabled) cbxTarget->addItem(FileTextToDisplay(region->Caption), i);
    }
  }
  cbxTarget->setCurrentIndex(0);
}

void TTargetPanel::SetTarget(int regionIndex) {
  const QSignalBlocker quiet(cbxTarget);
  const int item = cbxTarget->findData(regionIndex);
  cbxTarget->setCurrentIndex(item < 0 ? 0 : item);
}

int TTargetPanel::Target() const {
  const QVariant data = cbxTarget->currentData();
  return data.isValid() ? data.toInt() : -1;
}

QString TTargetPanel::ScoreText(const std::optional<double>& score) {
  if (!score || !std::isfinite(*score)) return kDash;
  return QStringLiteral("%1 %").arg(std::lround(*score));
}

void TTargetPanel::ShowScore(const VowelScore& score) {
  lblScore->setText(ScoreText(score.Score()));
  ShowAttempts(score.Attempts());
}

void TTargetPanel::ShowAttempts(const std::vector<VowelAttempt>& attempts) {
  // The score is shown 40 times a second; the list changes only when an attempt ends, so it is rebuilt
  // only then (the oldest may have gone at the same time, which moves every row).
  bool same = attempts.size() == shown.size();
  for (size_t i = 0; same && i < attempts.size(); ++i) same = SameAttempt(attempts[i], shown[i]);
  if (same) return;
  shown = attempts;
  lvwAttempts->clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(attempts.size()));
  // Newest first, where the eye is after an attempt.
  for (size_t i = attempts.size(); i-- > 0;) {
    const VowelAttempt& a = attempts[i];
    auto* row = new QTreeWidgetItem({QString::number(i + 1), QString::number(std::lround(a.f1)),
                                     QString::number(std::lround(a.f2)), ScoreText(a.score)});
    for (int c = 0; c < 4; ++c) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    rows.push_back(row);
  }
  lvwAttempts->addTopLevelItems(rows);
}

}  // namespace vowelscope
