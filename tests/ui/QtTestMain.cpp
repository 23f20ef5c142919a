// Entry of the ui test programs: GoogleTest inside a QApplication on the offscreen platform, so the
// widgets can be shown, focused and typed into without a display.
#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
