#include "cli_in_process.h"

#include "cli/cli_program.h"
#include "support/scoped_current_folder.h"

#include <QSettings>
#include <QString>

#include <cstdlib>
#include <sstream>

namespace tallyhawk::test
{
namespace
{

// Qt reads the settings folder from the environment once per process; a run of the executable is a new
// process, so each run here takes the folder the environment names now.
void FollowTheSettingsFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const QString folder = config != nullptr && *config == '/' ? QString::fromLocal8Bit(config)
        : home != nullptr ? QString::fromLocal8Bit(home) + QStringLiteral("/.config")
                          : QString();
    if (!folder.isEmpty()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
}

} // namespace

ProgramRun RunCliInProcess(const std::vector<std::string>& args, const std::filesystem::path& folder)
{
    ProgramRun run;
    // Commands enter their data folder; the test's own current folder comes back afterwards.
    const ScopedCurrentFolder current(folder);
    if (!current.entered()) {
        run.err = "cannot enter " + folder.string();
        return run;
    }
    FollowTheSettingsFolder();
    std::ostringstream out;
    std::ostringstream err;
    cli::CliContext ctx{out, err, false, false};
    run.exitCode = cli::RunCliProgram(ctx, args);
    run.out = out.str();
    run.err = err.str();
    return run;
}

} // namespace tallyhawk::test
