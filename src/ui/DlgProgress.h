#pragma once
// The borderless box shown while the F0 analysis of a finished recording runs. It has no button and
// ignores Esc and close requests: only the main window ends it, through Finish, when the analysis is done.

#include <QDialog>

#include <cstdint>

class QFrame;
class QLabel;
class QProgressBar;

namespace vowelscope {

struct ProgressCallbackParams;

class TfrmProgress : public QDialog {
  Q_OBJECT

 public:
  // One step per pixel of the bar.
  static constexpr int BarMaximum = 282;

  explicit TfrmProgress(QWidget* parent = nullptr);
  ~TfrmProgress() override;

  // Bar position for a progress report: BarMaximum * position / (maximum - minimum), 64-bit and truncated,
  // kept within the bar; an empty range gives 0.
  static int BarPosition(const ProgressCallbackParams& params);

  // Moves the bar (on the user-interface thread: the window hands positions over in its messages).
  void SetPosition(int position);

  // Ends the modal loop (also when called before the loop has started: it then ends as soon as it runs).
  void Finish();

  QFrame* Bevel1 = nullptr;
  QLabel* Label1 = nullptr;
  QProgressBar* pbrProgress = nullptr;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool finished = false;
};

}  // namespace vowelscope
