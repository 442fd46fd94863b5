// The window tests' main: an application object before any widget, offscreen unless told
// otherwise (test discovery runs the programs without the test environment).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLoggingCategory>

#include "ui/common/language.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Broken tiles are meant in some tests; the decoder's complaints about them are not news.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg=false"));
    // As the program starts: English, with its plural forms; a test may install another.
    ui::InstallLanguage(QStringLiteral("ENG"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
