#include "cli/commands.h"
#include "cli/subcommand_action.h"
#include "core/common/display_text.h"
#include "core/platform/program_path.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <variant>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "config";
constexpr const char* kPasswordMask = "********";

using TextMember = std::string Settings::*;
using NumberMember = std::int32_t Settings::*;

// One value of the settings file as the command shows and sets it.
struct ValueDef
{
    const char* name;
    std::variant<TextMember, NumberMember, std::monostate> member; // monostate: not a Settings member
    bool isText;
    std::size_t textLimit = 0;
    std::int32_t min = std::numeric_limits<std::int32_t>::min();
    std::int32_t max = std::numeric_limits<std::int32_t>::max();
};

const std::vector<ValueDef>& ValueDefs()
{
    constexpr std::size_t kShort = Settings::kShortTextLimit;
    constexpr std::size_t kFilter = Settings::kFilterTextLimit;
    static const std::vector<ValueDef> definitions = {
        {"ServerAddress", &Settings::serverAddress, true, kShort},
        {"ServerPort", &Settings::serverPort, false, 0, 1, 65535},
        {"Username", &Settings::username, true, kShort},
        {"Password", &Settings::password, true, kShort},
        {"AutoRun", &Settings::autoRun, false, 0, 0, 1},
        {"ShowSummary", &Settings::showSummary, false, 0, 0, 1},
        {"GetDeals", &Settings::getDeals, false, 0, 0, 1},
        {"GetTopics", &Settings::getTopics, false, 0, 0, 1},
        {"NotifyTimeout", &Settings::notifyTimeout, false, 0, 1},
        {"ShowNotify", &Settings::showNotify, false, 0, 0, 1},
        {"UseDealsFilter", &Settings::useDealsFilter, false, 0, 0, 1},
        {"UseTopicsFilter", &Settings::useTopicsFilter, false, 0, 0, 1},
        {"DealsFilter", &Settings::dealsFilter, true, kFilter},
        {"TopicsFilter", &Settings::topicsFilter, true, kFilter},
        {"SiteUrl", std::monostate{}, true, 0},
        {"LastArchive", std::monostate{}, false, 0},
    };
    return definitions;
}

std::string NameList()
{
    std::string names;
    for (const ValueDef& def : ValueDefs()) {
        names += (names.empty() ? "" : ", ") + std::string(def.name);
    }
    return names;
}

struct ShownValue
{
    nlohmann::ordered_json value;
    bool stored = false;
};

ShownValue ValueOf(const Settings& settings, const ValueDef& def)
{
    std::string name = def.name;
    if (name == "SiteUrl") {
        std::optional<std::string> stored = settings.ReadText(name);
        return {DisplayText(SiteBaseUrl()), stored && !stored->empty()};
    }
    if (name == "LastArchive") {
        std::optional<std::int32_t> stored = settings.ReadNumber(name);
        return {stored.value_or(0), stored.has_value()};
    }
    if (const TextMember* text = std::get_if<TextMember>(&def.member)) {
        std::string value = settings.*(*text);
        // Stored as plain text by necessity; not shown on a screen.
        if (name == "Password" && !value.empty()) {
            value = kPasswordMask;
        }
        return {DisplayText(value), settings.IsStored(name)};
    }
    return {settings.*std::get<NumberMember>(def.member), settings.IsStored(name)};
}

std::string LocalTime(std::int32_t seconds)
{
    std::time_t time = seconds;
    std::tm local{};
    if (seconds <= 0 || ::localtime_r(&time, &local) == nullptr) {
        return "never";
    }
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
    return text;
}

// Characters of a UTF-8 text (bytes that do not continue a character).
// Schemes have no case: "HTTPS://" is as good as "https://".
bool StartsWithWebScheme(const std::string& value)
{
    std::string start = value.substr(0, 8);
    std::transform(start.begin(), start.end(), start.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return start.starts_with("http://") || start.starts_with("https://");
}

std::size_t CharacterCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

int RunShow(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "config show", "Print every setting, whether it is stored or the default, and the settings file.");
    commandLine.Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    Settings settings;
    int status = settings.Load();
    if (commandLine.Has("--json")) {
        nlohmann::ordered_json values = nlohmann::ordered_json::object();
        for (const ValueDef& def : ValueDefs()) {
            ShownValue shown = ValueOf(settings, def);
            values[def.name] = {{"value", shown.value}, {"stored", shown.stored}};
        }
        ctx.out
            << nlohmann::ordered_json{{"file", DisplayText(settings.filePath())}, {"values", values}}.dump(2)
            << "\n";
    } else {
        ctx.out << "Settings file: " << DisplayText(settings.filePath()) << "\n";
        for (const ValueDef& def : ValueDefs()) {
            ShownValue shown = ValueOf(settings, def);
            std::string value = shown.value.is_string() ? shown.value.get<std::string>() : shown.value.dump();
            if (std::string(def.name) == "LastArchive") {
                value += " (" + LocalTime(shown.value.get<std::int32_t>()) + ")";
            }
            ctx.out << std::left << std::setw(17) << def.name << std::setw(9)
                    << (shown.stored ? "stored" : "default") << value << "\n";
        }
    }
    if (status != Settings::kOk) {
        return Failure(ctx,
                       "The settings file " + DisplayText(settings.filePath())
                           + " could not be read whole; values it did not give are shown as defaults.");
    }
    return kExitOk;
}

int RunSet(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("config set",
                            "Write one setting to the settings file. NAME is one of: " + NameList()
                                + ".\nServerAddress, ServerPort and SiteUrl can be set only this way.");
    commandLine.Positional("NAME", "the setting's name, as shown by config show")
        .Positional("VALUE", "its new value");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::string& name = commandLine.positionals()[0];
    const std::string& value = commandLine.positionals()[1];
    auto def = std::find_if(ValueDefs().begin(), ValueDefs().end(), [&name](const ValueDef& candidate) {
        return name == candidate.name;
    });
    if (def == ValueDefs().end()) {
        return UsageError(
            ctx, "config set", "Unknown setting " + name + "; expected one of: " + NameList() + ".");
    }
    Settings settings;
    int status = Settings::kOk;
    if (def->isText) {
        if (name == "SiteUrl" && !StartsWithWebScheme(value)) {
            return UsageError(ctx, "config set", "SiteUrl must start with http:// or https://.");
        }
        if (def->textLimit != 0 && CharacterCount(value) > def->textLimit) {
            return UsageError(ctx,
                              "config set",
                              name + " holds at most " + std::to_string(def->textLimit) + " characters.");
        }
        status = settings.WriteText(name, value);
    } else {
        std::optional<long long> number = ParseInteger(value);
        if (!number || *number < def->min || *number > def->max) {
            std::string range = def->max == 1 && def->min == 0
                ? "0 or 1"
                : "a whole number from " + std::to_string(def->min) + " to " + std::to_string(def->max);
            return UsageError(ctx, "config set", name + " must be " + range + ", not " + value + ".");
        }
        status = settings.WriteNumber(name, static_cast<std::int32_t>(*number));
    }
    if (status != Settings::kOk) {
        return Failure(ctx, "The settings file " + DisplayText(settings.filePath()) + " cannot be written.");
    }
    ctx.out << "Set " << name << " to " << (name == "Password" ? kPasswordMask : DisplayText(value)) << ".\n";
    return kExitOk;
}

int RunAutoRun(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "config autorun",
        "Write or remove the autostart entry that starts Tallyhawk hidden at login, as the\n"
        "setting AutoRun says.");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    Settings settings;
    std::string entry = DisplayText(Settings::AutostartFilePath());
    std::string program = DesktopProgramPath();
    switch (settings.ApplyAutoRun(program)) {
    case Settings::AutoRunResult::Written: {
        ctx.out << "AutoRun is on: the autostart entry " << entry << " starts " << DisplayText(program)
                << " at login.\n";
        std::error_code error;
        if (!std::filesystem::exists(program, error)) {
            ctx.err << "tallyhawk-cli: Note that " << DisplayText(program) << " does not exist yet.\n";
        }
        break;
    }
    case Settings::AutoRunResult::Removed:
        ctx.out << "AutoRun is off: the autostart entry " << entry << " was removed.\n";
        break;
    case Settings::AutoRunResult::NothingToRemove:
        ctx.out << "AutoRun is off and there is no autostart entry; nothing to do.\n";
        break;
    case Settings::AutoRunResult::Skipped:
        return Failure(ctx, "The autostart entry " + entry + " cannot be changed; nothing was done.");
    }
    return kExitOk;
}

std::string Usage()
{
    return "Usage: tallyhawk-cli config ACTION [ARGS...]\n\n"
           "Actions:\n"
           "  show [--json]     print every setting and where it comes from\n"
           "  set NAME VALUE    write one setting (the way to set ServerAddress, ServerPort, SiteUrl)\n"
           "  autorun           write or remove the autostart entry as AutoRun says\n\n"
           "Run 'tallyhawk-cli config ACTION --help' for the options of one action.\n";
}

} // namespace

int RunConfig(CliContext& ctx, const Arguments& args)
{
    return DispatchAction(
        ctx, kCommand, args, Usage(), {{"show", RunShow}, {"set", RunSet}, {"autorun", RunAutoRun}});
}

} // namespace tallyhawk::cli
