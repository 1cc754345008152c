#include "core/platform/data_folder.h"
#include "gui/app/main_window.h"
#include "gui/app/screenshot_run.h"
#include "gui/app/screenshot_scenes.h"

#include <QApplication>

#include <cstdio>
#include <optional>
#include <string>

// tallyhawk [--data-dir DIR] [--screenshot FILE.png [--shot NAME] [--dark]] [m...]: an argument starting with
// m starts hidden in the tray.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    std::optional<std::string> dataDir;
    QString screenshot;
    QString shot;
    bool startHidden = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--data-dir") && i + 1 < arguments.size()) {
            dataDir = arguments[++i].toStdString();
        } else if (arguments[i] == QStringLiteral("--screenshot") && i + 1 < arguments.size()) {
            screenshot = arguments[++i];
        } else if (arguments[i] == QStringLiteral("--shot") && i + 1 < arguments.size()) {
            shot = arguments[++i];
        } else if (arguments[i] == QStringLiteral("--dark")) {
            QApplication::setPalette(tallyhawk::ScreenshotRun::Darkened(QApplication::palette()));
        } else if (arguments[i].startsWith(QLatin1Char('m'))) {
            startHidden = true;
        }
    }
    std::string error;
    if (!tallyhawk::PrepareDataFolder(tallyhawk::ResolveDataFolder(dataDir), error)) {
        std::fprintf(stderr, "tallyhawk: %s\n", error.c_str());
        return 1;
    }
    tallyhawk::MainWindow window;
    window.Start(startHidden && screenshot.isEmpty());
    if (!screenshot.isEmpty()) {
        const tallyhawk::ScreenshotScene scene = tallyhawk::SetUpScreenshotScene(shot, window);
        if (scene.widget == nullptr) {
            std::fprintf(stderr, "tallyhawk: no screenshot scene %s\n", qPrintable(shot));
            return 2;
        }
        tallyhawk::ScreenshotRun::Schedule(*scene.widget, scene.wholeScreen, screenshot);
    }
    return QApplication::exec();
}
