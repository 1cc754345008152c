#include "cli/commands.h"
#include "cli/subcommand_action.h"
#include "core/common/display_text.h"
#include "core/platform/autostart_entry.h"
#include "core/platform/program_path.h"
#include "core/settings/setting_definitions.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "config";
constexpr const char* kPasswordMask = "********";

std::string NameList()
{
    std::string names;
    for (const SettingDefinition& setting : SettingDefinitions()) {
        names += (names.empty() ? "" : ", ") + std::string(setting.name);
    }
    return names;
}

struct ShownValue
{
    nlohmann::ordered_json value;
    bool stored = false;
};

ShownValue ValueOf(const Settings& settings, const SettingDefinition& setting)
{
    if (setting.name == "SiteUrl") {
        // The base in use, the build's own when none is set.
        return {DisplayText(SiteBaseUrl(settings)), !settings.siteUrl.empty()};
    }
    if (setting.text) {
        std::string value = settings.*setting.text;
        if (setting.secret && !value.empty()) {
            value = kPasswordMask;
        }
        return {DisplayText(value), settings.IsStored(setting.name)};
    }
    if (setting.number) {
        return {settings.*setting.number, settings.IsStored(setting.name)};
    }
    // Kept in the file alone, outside Load.
    std::optional<std::int32_t> stored = settings.ReadNumber(std::string(setting.name));
    return {stored.value_or(0), stored.has_value()};
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

// "0 or 1", or the range of numbers `config set` takes for the setting.
std::string AllowedNumbers(const SettingDefinition& setting)
{
    if (setting.minimum == 0 && setting.maximum == 1) {
        return "0 or 1";
    }
    return "a whole number from " + std::to_string(setting.minimum) + " to "
        + std::to_string(setting.maximum);
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
        for (const SettingDefinition& setting : SettingDefinitions()) {
            ShownValue shown = ValueOf(settings, setting);
            values[std::string(setting.name)] = {{"value", shown.value}, {"stored", shown.stored}};
        }
        ctx.out
            << nlohmann::ordered_json{{"file", DisplayText(settings.filePath())}, {"values", values}}.dump(2)
            << "\n";
    } else {
        ctx.out << "Settings file: " << TerminalText(settings.filePath()) << "\n";
        for (const SettingDefinition& setting : SettingDefinitions()) {
            ShownValue shown = ValueOf(settings, setting);
            std::string value = shown.value.is_string() ? shown.value.get<std::string>() : shown.value.dump();
            if (setting.name == "LastArchive") {
                value += " (" + LocalTime(shown.value.get<std::int32_t>()) + ")";
            }
            ctx.out << std::left << std::setw(20) << setting.name << std::setw(9)
                    << (shown.stored ? "stored" : "default") << TerminalText(value) << "\n";
        }
    }
    if (status != kOk) {
        return Failure(ctx,
                       "The settings file " + TerminalText(settings.filePath())
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
    const SettingDefinition* setting = FindSetting(name);
    if (!setting) {
        return UsageError(
            ctx, "config set", "Unknown setting " + name + "; expected one of: " + NameList() + ".");
    }
    Settings settings;
    int status = kOk;
    if (setting->type == SettingType::Text) {
        if (setting->webAddress && !StartsWithWebScheme(value)) {
            return UsageError(ctx, "config set", name + " must start with http:// or https://.");
        }
        if (CharacterCount(value) > setting->readLimit) {
            return UsageError(ctx,
                              "config set",
                              name + " holds at most " + std::to_string(setting->readLimit) + " characters.");
        }
        status = settings.WriteText(name, value);
    } else {
        std::optional<long long> number = ParseInteger(value);
        if (!number || *number < setting->minimum || *number > setting->maximum) {
            return UsageError(
                ctx, "config set", name + " must be " + AllowedNumbers(*setting) + ", not " + value + ".");
        }
        status = settings.WriteNumber(name, static_cast<std::int32_t>(*number));
    }
    if (status != kOk) {
        return Failure(ctx, "The settings file " + TerminalText(settings.filePath()) + " cannot be written.");
    }
    ctx.out << "Set " << name << " to " << (setting->secret ? kPasswordMask : TerminalText(value)) << ".\n";
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
    std::string entry = TerminalText(AutostartEntry::DefaultFilePath());
    std::string program = DesktopProgramPath();
    switch (settings.ApplyAutoRun(program)) {
    case Settings::AutoRunResult::Written: {
        ctx.out << "AutoRun is on: the autostart entry " << entry << " starts " << TerminalText(program)
                << " at login.\n";
        std::error_code error;
        if (!std::filesystem::exists(program, error)) {
            ctx.err << "tallyhawk-cli: Note that " << TerminalText(program) << " does not exist yet.\n";
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
