#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#ifdef BRISQUELL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <cstdlib>

int main(int argc, char** argv) {
#ifdef BRISQUELL_TEST_GUI
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    testing_support::SetUpEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        TestApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    testing_support::TearDownEnvironment();
    return result;
}
