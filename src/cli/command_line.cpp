#include "cli/command_line.h"

#include <charconv>
#include <limits>
#include <sstream>

namespace tallyhawk::cli
{

CommandLine::CommandLine(std::string command, std::string summary)
    : command_(std::move(command))
    , summary_(std::move(summary))
{
    Option("--data-dir", "DIR", "data folder (default $TALLYHAWK_HOME or $XDG_DATA_HOME/tallyhawk)");
}

CommandLine&
CommandLine::Option(const std::string& name, const std::string& valueName, const std::string& help)
{
    options_.push_back({name, valueName, help});
    return *this;
}

CommandLine& CommandLine::Flag(const std::string& name, const std::string& help)
{
    options_.push_back({name, "", help});
    return *this;
}

CommandLine&
CommandLine::Positional(const std::string& name, const std::string& help, bool optional, bool rest)
{
    positionalDefs_.push_back({name, help, optional, rest});
    return *this;
}

const CommandLine::OptionDef* CommandLine::FindOption(const std::string& name) const
{
    for (const OptionDef& def : options_) {
        if (def.name == name) {
            return &def;
        }
    }
    return nullptr;
}

bool CommandLine::Parse(const std::vector<std::string>& args, std::string& error)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            helpRequested_ = true;
            return true;
        }
        if (!optionsEnded && arg.size() > 2 && arg.rfind("--", 0) == 0) {
            std::string name = arg;
            std::optional<std::string> inlineValue;
            if (auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
            const OptionDef* def = FindOption(name);
            if (def == nullptr) {
                error = "Unknown option " + name + " for " + command_ + ".";
                return false;
            }
            if (def->valueName.empty()) {
                if (inlineValue) {
                    error = "The option " + name + " takes no value.";
                    return false;
                }
                values_[name] = "";
            } else if (inlineValue) {
                values_[name] = *inlineValue;
            } else if (i + 1 < args.size()) {
                values_[name] = args[++i];
            } else {
                error = "The option " + name + " needs a value (" + def->valueName + ").";
                return false;
            }
            continue;
        }
        positionals_.push_back(arg);
    }
    std::size_t required = 0;
    bool hasRest = false;
    for (const PositionalDef& def : positionalDefs_) {
        required += def.optional || def.rest ? 0 : 1;
        hasRest = hasRest || def.rest;
    }
    if (positionals_.size() < required) {
        error = "Missing argument " + positionalDefs_[positionals_.size()].name + " for " + command_ + ".";
        return false;
    }
    if (!hasRest && positionals_.size() > positionalDefs_.size()) {
        error = "Unexpected argument " + positionals_[positionalDefs_.size()] + " for " + command_ + ".";
        return false;
    }
    return true;
}

bool CommandLine::Has(const std::string& flagOrOption) const
{
    return values_.count(flagOrOption) != 0;
}

std::optional<std::string> CommandLine::Value(const std::string& option) const
{
    auto it = values_.find(option);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string CommandLine::Help() const
{
    std::ostringstream out;
    out << "Usage: tallyhawk-cli " << command_;
    if (!options_.empty()) {
        out << " [options]";
    }
    for (const PositionalDef& def : positionalDefs_) {
        out << ' ' << (def.optional || def.rest ? "[" : "") << def.name << (def.rest ? "..." : "")
            << (def.optional || def.rest ? "]" : "");
    }
    out << "\n\n" << summary_ << "\n";
    if (!positionalDefs_.empty()) {
        out << "\nArguments:\n";
        for (const PositionalDef& def : positionalDefs_) {
            out << "  " << def.name << "\n      " << def.help << "\n";
        }
    }
    out << "\nOptions:\n";
    for (const OptionDef& def : options_) {
        out << "  " << def.name << (def.valueName.empty() ? "" : " " + def.valueName) << "\n      "
            << def.help << "\n";
    }
    out << "  --help\n      show this help\n";
    return out.str();
}

std::optional<long long> ParseInteger(const std::string& text)
{
    long long value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseInt32(const std::string& text)
{
    std::optional<long long> value = ParseInteger(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min()
        || *value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

} // namespace tallyhawk::cli
