#pragma once
// The version box of the Help menu: product name and version, the engine line and our notice.

#include <QDialog>

class QLabel;
class QPushButton;

namespace vowelscope {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  ~TfrmAbout() override;

  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* OK = nullptr;
};

}  // namespace vowelscope
