#include "cli/commands.h"
#include "cli/subcommand_action.h"
#include "core/common/display_text.h"
#include "core/update/alert_commands.h"

#include <filesystem>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

std::optional<AlertMemory::Muted> MutedOf(const std::string& which)
{
    if (which == "store") {
        return AlertMemory::Muted::Store;
    }
    if (which == "category") {
        return AlertMemory::Muted::Category;
    }
    return std::nullopt;
}

// "mute store NAME", "unmute category NAME": `what` is the action word already taken.
int RunChange(
    CliContext& ctx, const Arguments& args, const std::string& command, const std::string& which, bool mute)
{
    const AlertMemory::Muted what = *MutedOf(which);
    CommandLine commandLine(command + " " + which,
                            mute ? "Stop alerting the items of this " + which
                                    + "; they are still stored and listed."
                                 : "Alert the items of this " + which + " again.");
    commandLine.Positional("NAME", "the " + which + "'s name (case, spaces and punctuation do not matter)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::string& name = commandLine.positionals()[0];
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const AlertCommands commands(std::filesystem::current_path());
    if (!AlertMemory(commands.file()).usable()) {
        return Failure(ctx, "The alert memory " + commands.file().string() + " cannot be used.");
    }
    const bool changed = mute ? commands.Mute(what, name) : commands.Unmute(what, name);
    const std::string shown = "\"" + TerminalText(name) + "\"";
    if (mute) {
        ctx.out << (changed ? "Muted " : "Already muted: ") << which << " " << shown << ".\n";
    } else {
        ctx.out << (changed ? "Unmuted " : "Not muted: ") << which << " " << shown << ".\n";
    }
    return kExitOk;
}

int RunList(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("mute list", "Print the muted stores and categories.");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const AlertCommands commands(std::filesystem::current_path());
    for (const auto& [what, caption] : {std::pair{AlertMemory::Muted::Store, "Muted stores:"},
                                        std::pair{AlertMemory::Muted::Category, "Muted categories:"}}) {
        ctx.out << caption << "\n";
        const std::vector<std::string> names = commands.MutedNames(what);
        if (names.empty()) {
            ctx.out << "  (none)\n";
        }
        for (const std::string& name : names) {
            ctx.out << "  " << TerminalText(name) << "\n";
        }
    }
    return kExitOk;
}

std::vector<ActionEntry> ChangeActions(const std::string& command, bool mute)
{
    std::vector<ActionEntry> actions;
    for (const char* which : {"store", "category"}) {
        actions.push_back({which, [command, which, mute](CliContext& ctx, const Arguments& args) {
                               return RunChange(ctx, args, command, which, mute);
                           }});
    }
    return actions;
}

} // namespace

int RunMute(CliContext& ctx, const Arguments& args)
{
    const std::string usage
        = "Usage: tallyhawk-cli mute ACTION [ARGS...]\n\n"
          "Actions:\n"
          "  store NAME      stop alerting the items of a store\n"
          "  category NAME   stop alerting the items of a category\n"
          "  list            print the muted stores and categories\n\n"
          "Muted items are still stored and listed. 'tallyhawk-cli unmute store|category NAME'\n"
          "alerts them again.\n";
    std::vector<ActionEntry> actions = ChangeActions("mute", true);
    actions.push_back({"list", RunList});
    return DispatchAction(ctx, "mute", args, usage, actions);
}

int RunUnmute(CliContext& ctx, const Arguments& args)
{
    const std::string usage = "Usage: tallyhawk-cli unmute store|category NAME\n\n"
                              "Alert the items of a muted store or category again.\n";
    return DispatchAction(ctx, "unmute", args, usage, ChangeActions("unmute", false));
}

} // namespace tallyhawk::cli
