#include <QApplication>

#include <gtest/gtest.h>

// Widgets need one QApplication for the whole run; ctest and scripts/test make it offscreen.
int main(int argc, char** argv)
{
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
