#pragma once
// The practice panel beside the guide selector: which vowel of the guide set is the target, how much of
// the last second of voice landed inside it, and the attempts so far (each voiced stretch's mean F1 and
// F2 with its score). The window owns the VowelScore and feeds it; the panel only shows it, and asks the
// window (by its signals) to change the target or to clear the attempts. User-interface thread only.

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

#include "charts/Vowelscore.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace vowelscope {

class Regions;

class TTargetPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TTargetPanel(QWidget* parent = nullptr);
  ~TTargetPanel() override;

  // Lists the enabled regions of the set (null: none) to pick from, with no target picked. Hidden
  // regions are not drawn, so they cannot be aimed at.
  void SetRegions(const Regions* set);
  // Shows region index of the set as the target (-1: none), as when an ellipse was clicked on the
  // chart; it does not signal targetPicked. An index that is not listed shows no target.
  void SetTarget(int regionIndex);
  // The region index of the target shown, -1 for none.
  int Target() const;

  // Shows the score and the attempts of the window's VowelScore.
  void ShowScore(const VowelScore& score);

  static QString ScoreText(const std::optional<double>& score);

  // The target's label and list, in the panel unless the owner puts the row elsewhere.
  QWidget* TargetRow() const { return rowTarget; }

  QComboBox* cbxTarget = nullptr;
  QLabel* lblScore = nullptr;
  QTreeWidget* lvwAttempts = nullptr;
  QPushButton* btnClear = nullptr;

 signals:
  // The user picked a target from the list: the region's index in the set, -1 for none.
  void targetPicked(int regionIndex);
  // The user asked for the attempts to be cleared.
  void clearRequested();

 private:
  void ShowAttempts(const std::vector<VowelAttempt>& attempts);

  QWidget* rowTarget = nullptr;
  std::vector<VowelAttempt> shown;  // what the attempts list holds, oldest first
};

}  // namespace vowelscope
