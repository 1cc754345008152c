#include "cli/commands.h"
#include "cli/file_failure.h"
#include "cli/subcommand_action.h"
#include "core/common/display_text.h"
#include "core/store/id_name_list.h"

#include <filesystem>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "lists";

// The failure of a list file load as one sentence.
std::string LoadFailureText(const std::string& file, int status)
{
    switch (status) {
    case kCannotOpen:
        return std::filesystem::exists(file) ? "The list file " + file + CannotOpenReason(file)
                                             : "The list file " + file + " does not exist.";
    case kBadFormat:
        return "The list file " + file
            + " is damaged: it ends too early or holds an entry without a valid id.";
    case kBadMarker:
        return "The list file " + file + " is damaged: a file or entry marker is wrong.";
    default:
        return "The list file " + file + " could not be read (status " + std::to_string(status) + ").";
    }
}

// At most 49 bytes, cut before a UTF-8 character that would not fit whole.
std::string FitName(const std::string& name)
{
    constexpr std::size_t kLimit = IdNameEntry::kNameSize - 1;
    if (name.size() <= kLimit) {
        return name;
    }
    std::size_t end = kLimit;
    if (IsValidUtf8(name)) {
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) {
            --end;
        }
    }
    return name.substr(0, end);
}

int RunShow(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("lists show",
                            "Print the entries of an id-name list file (store.lst, category.lst, unit.lst).");
    commandLine.Flag("--json", "machine-readable output")
        .Positional("FILE", "the list file, relative to the data folder unless absolute");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::string& file = commandLine.positionals()[0];
    IdNameList list;
    int status = list.Load(file);
    if (status != kOk) {
        return Failure(ctx, LoadFailureText(file, status));
    }
    if (commandLine.Has("--json")) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const auto& [id, entry] : list) {
            entries.push_back({{"id", entry.id}, {"name", DisplayText(entry.name)}, {"count", entry.count}});
        }
        ctx.out << nlohmann::ordered_json{{"count", list.Count()}, {"entries", std::move(entries)}}.dump(2)
                << "\n";
        return kExitOk;
    }
    ctx.out << std::setw(10) << "ID"
            << "  " << std::setw(10) << "COUNT"
            << "  NAME\n";
    for (const auto& [id, entry] : list) {
        ctx.out << std::setw(10) << entry.id << "  " << std::setw(10) << entry.count << "  "
                << TerminalText(entry.name) << "\n";
    }
    return kExitOk;
}

int RunAdd(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("lists add",
                            "Add a name of the user's own to an id-name list file and print its new id.");
    commandLine
        .Positional("FILE", "the list file, relative to the data folder unless absolute; made when missing")
        .Positional("NAME", "the name (at most 49 bytes are kept)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::string& file = commandLine.positionals()[0];
    const std::string& name = commandLine.positionals()[1];
    if (name.empty() || name.find('\0') != std::string::npos) {
        return UsageError(ctx, "lists add", "The name must not be empty.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    std::string stored = FitName(name);
    if (stored.size() < name.size()) {
        ctx.err << "tallyhawk-cli: The name was cut to \"" << TerminalText(stored) << "\".\n";
    }
    // The new id is chosen from what the file holds while it is held, so names that other programs add
    // at the same time are neither lost nor given the same id. A list that did not load whole is never
    // saved over: the entries after the damage would be lost.
    bool read = false;
    std::int32_t id = 0;
    const int status = IdNameList::Update(file, [&](IdNameList& list) {
        read = true;
        id = list.AddUserEntry(stored);
        return id > 0 ? kOk : kCannotOpen;
    });
    if (!read) {
        return Failure(ctx, LoadFailureText(file, status) + " Nothing was added.");
    }
    if (id <= 0) {
        return Failure(ctx, "The list file " + file + " has no free id left for a new name.");
    }
    if (status != kOk) {
        return Failure(ctx, "The list file " + file + " cannot be written.");
    }
    ctx.out << id << "\n";
    return kExitOk;
}

std::string Usage()
{
    return "Usage: tallyhawk-cli lists ACTION [ARGS...]\n\n"
           "Actions:\n"
           "  show FILE [--json]            print the entries of an id-name list file\n"
           "  add FILE NAME                 add a name of the user's own and print its new id\n"
           "  update stores|categories ...  bring a site list up to date from the service's site\n"
           "  refresh                       run the weekly refresh of the site lists now\n\n"
           "Run 'tallyhawk-cli lists ACTION --help' for the options of one action.\n";
}

} // namespace

int RunLists(CliContext& ctx, const Arguments& args)
{
    return DispatchAction(
        ctx,
        kCommand,
        args,
        Usage(),
        {{"show", RunShow}, {"add", RunAdd}, {"update", RunListsUpdate}, {"refresh", RunListsRefresh}});
}

} // namespace tallyhawk::cli
