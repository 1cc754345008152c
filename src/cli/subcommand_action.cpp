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

int ActionUsage(CliContext& ctx, const SubcommandAction& split, const std::string& usage)
{
    (split.helpRequested ? ctx.out : ctx.err) << usage;
    return split.helpRequested ? kExitOk : kExitUsage;
}

} // namespace tallyhawk::cli
