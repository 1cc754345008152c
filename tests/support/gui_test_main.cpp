#include <QApplication>

#include <gtest/gtest.h>

// Qt WebEngine's own Chromium frees some objects with a sized delete of another size, which
// AddressSanitizer reports; that is the engine's, outside anything these tests can mend. Everything else
// it checks stays on.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

// What the engine (and the font matching it starts) keeps until the process ends, which LeakSanitizer
// would count as leaks of the test.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\n";
}

// Widgets need one QApplication for the whole run; ctest and scripts/test make it offscreen.
int main(int argc, char** argv)
{
    QApplication::setQuitOnLastWindowClosed(false);
    // The embedded browser of the cash back page shares its drawing contexts; set before the start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
