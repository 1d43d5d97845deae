// Test entry point: GoogleTest, with the Qt application object the test kind needs.
#include <gtest/gtest.h>

#include <QDir>

#include "test_scratch.h"

#if defined(CORV_TEST_QT_GUI)
#include <QApplication>
#elif defined(CORV_TEST_QT_CORE)
#include <QCoreApplication>
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    corvtest::prepareScratch();
#if defined(CORV_TEST_QT_GUI)
    QApplication app(argc, argv);
#elif defined(CORV_TEST_QT_CORE)
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
