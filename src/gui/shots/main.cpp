#include "core/platform/data_folder.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/main_window.h"
#include "gui/app/session_end.h"
#include "gui/shots/screenshot_run.h"
#include "gui/shots/screenshot_scenes.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

// tallyhawk-shots FILE.png [--shot NAME] [--dark] [--data-dir DIR]: starts the main window on the data
// folder as tallyhawk does, puts the scene NAME on screen (the window as it started when none is named),
// saves a picture of it and ends: 0 saved, 1 not saved, 2 bad usage or an unknown scene. The tool of
// scripts/screenshots, never installed: its scenes write sample records into the data folder, so it runs
// on a profile of its own.
int main(int argc, char** argv)
{
    tallyhawk::CashBackPane::PrepareEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral("com.quillmarch.Tallyhawk"));
    const QStringList arguments = QApplication::arguments();
    std::optional<std::string> dataDir;
    QString file;
    QString shot;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--data-dir") && i + 1 < arguments.size()) {
            dataDir = arguments[++i].toStdString();
        } else if (arguments[i] == QStringLiteral("--shot") && i + 1 < arguments.size()) {
            shot = arguments[++i];
        } else if (arguments[i] == QStringLiteral("--dark")) {
            QApplication::setPalette(tallyhawk::ScreenshotRun::Darkened(QApplication::palette()));
        } else if (file.isEmpty() && !arguments[i].startsWith(QLatin1Char('-'))) {
            file = arguments[i];
        } else {
            std::fprintf(stderr, "tallyhawk-shots: unexpected argument %s\n", qPrintable(arguments[i]));
            return 2;
        }
    }
    if (file.isEmpty()) {
        std::fprintf(stderr, "usage: tallyhawk-shots FILE.png [--shot NAME] [--dark] [--data-dir DIR]\n");
        return 2;
    }
    std::string error;
    if (!tallyhawk::PrepareDataFolder(tallyhawk::ResolveDataFolder(dataDir), error)) {
        std::fprintf(stderr, "tallyhawk-shots: %s\n", error.c_str());
        return 1;
    }

    tallyhawk::MainWindow window;
    window.UseProgramDialogs();
    tallyhawk::SessionEnd sessionEnd([&window] { window.RequestExit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &tallyhawk::MainWindow::Shutdown);
    window.Start(false);
    tallyhawk::WaitForView(window);
    const tallyhawk::ScreenshotScene scene = tallyhawk::SetUpScreenshotScene(shot, window);
    if (scene.widget == nullptr) {
        std::fprintf(stderr, "tallyhawk-shots: no screenshot scene %s\n", qPrintable(shot));
        return 2;
    }
    tallyhawk::ScreenshotRun::Schedule(*scene.widget, scene.wholeScreen, file, scene.overlay);
    return QApplication::exec();
}
