#include "cli/commands.h"
#include "cli/item_output.h"
#include "cli/subcommand_action.h"
#include "core/common/clock.h"
#include "core/common/display_text.h"
#include "core/store/item_store.h"
#include "core/store/rule_preview.h"

#include <filesystem>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

constexpr std::int32_t kDaySeconds = 86400;

int RunTest(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "rules test",
        "Replay the stored items against a keyword rule, as the download filter would judge them, and\n"
        "print each item that passes with the part of the rule it matched, newest first. A rule is a\n"
        "comma list of words that must all occur; | separates alternatives, -word excludes, \"two words\"\n"
        "is a phrase and word* a word's beginning.");
    commandLine.Option("--days", "N", "only the items that arrived in the last N days")
        .Positional("RULE", "the keyword rule, quoted")
        .Positional("WHICH", "deals (coupons and deals, the default) or topics", true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::vector<std::string>& words = commandLine.positionals();
    const std::string which = words.size() > 1 ? words[1] : "deals";
    if (which != "deals" && which != "topics") {
        return UsageError(ctx, "rules test", "WHICH must be deals or topics.");
    }
    std::int32_t since = 0;
    if (std::optional<std::string> text = commandLine.Value("--days")) {
        std::optional<long long> days = ParseInteger(*text);
        if (!days || *days < 1 || *days > 36500) {
            return UsageError(ctx, "rules test", "The days must be a number from 1 to 36500.");
        }
        since = static_cast<std::int32_t>(std::max<long long>(0, Clock::Now() - *days * kDaySeconds));
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::string file = which == "deals" ? "deal.lst" : "topic.lst";
    ItemStore store;
    store.Open(file);
    std::error_code error;
    if (std::filesystem::exists(file, error) && store.Load() == kCannotOpen) {
        return Failure(ctx, file + " cannot be read.");
    }
    const KeywordRule rule(words[0]);
    std::size_t tried = 0;
    std::size_t passed = 0;
    for (std::size_t i = 0; i < store.Count(); ++i) {
        const std::optional<ItemRecord> record = store.At(i);
        if (!record || (since != 0 && record->arrivedAt != 0 && record->arrivedAt < since)) {
            continue;
        }
        ++tried;
        const std::optional<std::string> match = RulePreview::MatchOf(rule, *record);
        if (!match) {
            continue;
        }
        ++passed;
        ctx.out << record->id << "  " << KindName(record->kind) << "  " << TerminalText(record->storeName())
                << "  " << TerminalText(record->title()) << "\n    matched: "
                << (match->empty() ? "(an empty rule lets everything through)" : TerminalText(*match))
                << "\n";
    }
    ctx.out << passed << " of " << tried << (tried == 1 ? " item passes.\n" : " items pass.\n");
    return kExitOk;
}

} // namespace

int RunRules(CliContext& ctx, const Arguments& args)
{
    const std::string usage = "Usage: tallyhawk-cli rules test RULE [deals|topics] [--days N]\n\n"
                              "Actions:\n"
                              "  test RULE [WHICH]   show which stored items a keyword rule lets through\n";
    return DispatchAction(ctx, "rules", args, usage, {{"test", RunTest}});
}

} // namespace tallyhawk::cli
