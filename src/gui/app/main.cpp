#include "core/common/program_version.h"
#include "core/platform/data_folder.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/main_window.h"
#include "gui/app/session_end.h"
#include "gui/app/single_instance.h"

#include <QApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace
{

void PrintUsage()
{
    std::cout << "Usage: tallyhawk [--data-dir DIR] [--download-interval SECONDS] [m]\n"
                 "       tallyhawk --version | --help\n\n"
                 "The Tallyhawk shopping assistant: coupons, deals and price comparisons from the "
                 "notification area.\n\n"
                 "  --data-dir DIR                the data folder (default $TALLYHAWK_HOME, else\n"
                 "                                $XDG_DATA_HOME/tallyhawk)\n"
                 "  --download-interval SECONDS   seconds between download passes (default 180)\n"
                 "  m                             start hidden in the notification area\n\n"
                 "A second start on the same data folder shows the running program.\n";
}

} // namespace

// tallyhawk [--data-dir DIR] [--download-interval SECONDS] [m...], or tallyhawk --version or --help: an
// argument starting with m starts hidden in the tray; the download passes come every 180 s unless the
// interval says otherwise (demos). A second start on the same data folder shows the running program
// instead.
int main(int argc, char** argv)
{
    // Past the file size limit a write then fails with EFBIG and is reported, instead of the signal ending
    // the program in the middle of a record.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before the application starts, so they need no display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "tallyhawk " << tallyhawk::kReleaseVersion << "\n";
        return 0;
    }
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        PrintUsage();
        return 0;
    }
    tallyhawk::CashBackPane::PrepareEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral("com.quillmarch.Tallyhawk"));
    const QStringList arguments = QApplication::arguments();
    std::optional<std::string> dataDir;
    QStringList plain;
    std::optional<int> downloadSeconds;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--data-dir") && i + 1 < arguments.size()) {
            dataDir = arguments[++i].toStdString();
        } else if (arguments[i] == QStringLiteral("--download-interval") && i + 1 < arguments.size()) {
            bool number = false;
            const int seconds = arguments[++i].toInt(&number);
            if (!number || seconds < 1 || seconds > 86400) {
                std::fprintf(
                    stderr,
                    "tallyhawk: the download interval must be a number of seconds from 1 to 86400.\n");
                return 2;
            }
            downloadSeconds = seconds;
        } else {
            plain << arguments[i];
        }
    }
    const bool startHidden = tallyhawk::SingleInstance::AsksHidden(plain);
    const std::filesystem::path folder = tallyhawk::ResolveDataFolder(dataDir);
    std::string error;
    if (!tallyhawk::PrepareDataFolder(folder, error)) {
        std::fprintf(stderr, "tallyhawk: %s\n", error.c_str());
        return 1;
    }

    tallyhawk::SingleInstance instance(
        tallyhawk::SingleInstance::ServerName(std::filesystem::current_path()));
    switch (instance.Start(plain)) {
    case tallyhawk::SingleInstance::Claim::Running:
        break;
    case tallyhawk::SingleInstance::Claim::HandedOver:
        return 0;
    case tallyhawk::SingleInstance::Claim::Failed:
        std::fprintf(stderr,
                     "tallyhawk: another Tallyhawk on this data folder does not answer; it was not "
                     "started twice.\n");
        return 1;
    }

    tallyhawk::MainWindow window;
    window.UseProgramDialogs();
    if (downloadSeconds) {
        window.SetDownloadInterval(std::chrono::seconds(*downloadSeconds));
    }
    QObject::connect(&instance,
                     &tallyhawk::SingleInstance::argumentsReceived,
                     &window,
                     [&window](const QStringList& handed) {
                         if (!tallyhawk::SingleInstance::AsksHidden(handed)) {
                             window.ShowFromTray();
                         }
                     });
    // The session's end and the usual signals end the program as Exit does; whatever way it ends, the
    // passes are stopped and joined before the event loop is gone.
    tallyhawk::SessionEnd sessionEnd([&window] { window.RequestExit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &tallyhawk::MainWindow::Shutdown);

    window.Start(startHidden);
    return QApplication::exec();
}
