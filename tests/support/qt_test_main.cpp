#include <gtest/gtest.h>

#include <QApplication>

#include "theme/theme.h"

int main(int argc, char* argv[])
{
    // Listing the tests at build time runs without the test's environment and without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    theme::applyTheme(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
