// The entry of the widget test programs: one QApplication on the stack for
// the whole run, so that it is torn down before Qt's own statics. The tests
// always run offscreen, also when they are only listed during the build.
#include <gtest/gtest.h>

#include <QApplication>

#include "launch/globals.h"
#include "ui/platform/fonts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The fonts as the client sets them up: the subset beside the programs.
    qira::platform::InstallFontSubstitutions(
        QString::fromStdString(qira::launch::ExecutableFolder()) + QStringLiteral("Res/") +
        QLatin1String(qira::platform::kSubsetFontFile));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
