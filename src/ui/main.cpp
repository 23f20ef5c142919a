// Program entry: the application object, the main window, the message loop.
#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "base/Error.h"
#include "ui/Toolkittranslation.h"
#include "ui/WndMain.h"
#include "ui/icons/Toolicons.h"

namespace {

// The last line of defence for an exception that escapes a handler outside the window's commands: it is
// shown in a message box, and the program goes on.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const vowelscope::Error& error) {
      Show(QString::fromUtf8(error.what()));
    } catch (const std::exception&) {
      // Anything else is shown as an error without a message of its own.
      Show(QString());
    }
    return false;
  }

  static void Show(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Vowelscope"), message);
  }
};

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("Vowelscope"));
  TApplication::setWindowIcon(vowelscope::ApplicationIcon());
  TApplication::setDesktopFileName(QStringLiteral("vowelscope"));
  vowelscope::InstallToolkitTranslation(app);
  try {
    vowelscope::TfrmMain window;
    window.show();
    return TApplication::exec();
  } catch (const vowelscope::Error& error) {
    TApplication::Show(QString::fromUtf8(error.what()));
  } catch (const std::exception&) {
    TApplication::Show(QString());
  }
  // The window could not be made or ended by an error: say so to whoever started the program.
  return 1;
}
