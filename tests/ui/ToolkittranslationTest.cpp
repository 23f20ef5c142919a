#include "ui/Toolkittranslation.h"

#include <QCoreApplication>
#include <QString>
#include <QTranslator>

#include <gtest/gtest.h>

namespace vowelscope {
namespace {

TEST(ToolkitTranslation, TheStandardButtonsAndDialogsSpeakJapanese) {
  QTranslator* translator = InstallToolkitTranslation(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr) << "qtbase_ja is not installed";
  EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("File &name:"));
  delete translator;
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace vowelscope
