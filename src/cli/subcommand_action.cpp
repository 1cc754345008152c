#include "cli/subcommand_action.h"

#include <ostream>

namespace tallyhawk::cli
{

SubcommandAction SubcommandAction::Split(const std::vector<std::string>& args)
{
    SubcommandAction split;
    split.rest = args;
    for (std::size_t i = 0; i < split.rest.size(); ++i) {
        const std::string& word = split.rest[i];
        if (word == "--data-dir") {
            ++i;
            continue;
        }
        if (word.rfind("--data-dir=", 0) == 0) {
            continue;
        }
        if (word == "--help" || word == "-h") {
            split.helpRequested = true;
            break;
        }
        split.action = word;
        split.rest.erase(split.rest.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    return split;
}

int DispatchAction(CliContext& ctx,
                   const std::string& command,
                   const std::vector<std::string>& args,
                   const std::string& usage,
                   const std::vector<ActionEntry>& actions)
{
    SubcommandAction split = SubcommandAction::Split(args);
    if (!split.action) {
        (split.helpRequested ? ctx.out : ctx.err) << usage;
        return split.helpRequested ? kExitOk : kExitUsage;
    }
    std::string names;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (*split.action == actions[i].name) {
            return actions[i].run(ctx, split.rest);
        }
        names += (i == 0 ? "" : i + 1 == actions.size() ? " or " : ", ") + std::string(actions[i].name);
    }
    return UsageError(ctx, command, "Unknown action " + *split.action + "; expected " + names + ".");
}

} // namespace tallyhawk::cli
