// Test entry point shared by every test program: a QApplication exists for the
// whole run (sockets, timers and widgets need one), on the offscreen platform
// unless the caller chose another.
#include <QApplication>
#include <gtest/gtest.h>
#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
