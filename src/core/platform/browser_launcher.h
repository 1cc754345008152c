#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// Opens addresses in the user's web browser. The browser's executable is looked up once, from
// $BROWSER or the default browser's desktop entry; without one, addresses go to xdg-open. Programs
// are started directly with the address as one argument, never through a shell.
class BrowserLauncher
{
public:
    // Starts argv[0] (searched in PATH) with the given arguments without waiting for it. False when
    // the program could not be started.
    using Spawner = std::function<bool(const std::vector<std::string>& argv)>;
    // Runs argv[0] to completion and returns what it printed, or nothing when it failed.
    using Query = std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;

    // SpawnDetached and RunAndCapture (process_runner.h), then the lookup.
    BrowserLauncher();
    // Test seam: programs are "started" and "asked" through the given functions; then the lookup.
    BrowserLauncher(Spawner spawner, Query query);

    // Finds the browser's executable; does nothing once one was found.
    void LookUp();
    // The browser's executable, empty when none was found.
    const std::string& command() const { return command_; }

    // Opens url in the browser (a new window when the browser is known and newWindow is set), else
    // hands it to xdg-open. Refuses an empty address and one starting with "-", which a program could
    // take as an option. True when a program was started.
    bool Open(std::string_view url, bool newWindow);

    // The executable of a desktop entry's Exec value (the value's escapes already applied): its first
    // word with quotes and backslash escapes resolved and field codes dropped. Empty when the value
    // has no executable.
    static std::string ExecutableOfExecLine(std::string_view exec);
    // True when every word of the Exec value after the executable is a field code (%u, %U, ...).
    static bool ExecLineTakesOnlyFieldCodes(std::string_view exec);

private:
    std::string FromEnvironment() const;
    std::string FromDefaultDesktopEntry() const;

    Spawner spawner_;
    Query query_;
    std::string command_;
};

} // namespace tallyhawk
