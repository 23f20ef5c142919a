// Entry of the ui test programs: GoogleTest inside a QApplication on the offscreen platform, so the
// widgets can be shown, focused and typed into without a display.
#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer, so the locks of its event queue are invisible to it, and every
// object handed to another thread through a posted event looks raced when Qt allocates, copies or frees
// it. Interceptors called from inside Qt are ignored; the accesses of our own code are still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n";
}
#endif

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  // The window lists the user's own guide sets: a folder no test run has, so that sets the developer
  // made are never listed (nor written) by a test that does not choose a folder itself.
  qputenv("XDG_DATA_HOME", QDir::tempPath().toLocal8Bit() + "/vowelscope-ui-tests-" +
                               QByteArray::number(QCoreApplication::applicationPid()) + "/data");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
