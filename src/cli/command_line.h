#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::cli
{

// Options of one subcommand: "--name VALUE" (or "--name=VALUE") options, "--name" flags and
// positional arguments. Parse reports unknown options and missing values as usage errors.
class CommandLine
{
public:
    CommandLine(std::string command, std::string summary);

    CommandLine& Option(const std::string& name, const std::string& valueName, const std::string& help);
    CommandLine& Flag(const std::string& name, const std::string& help);
    // A required positional, or with `optional` one that may be left out; `rest` takes all remaining.
    CommandLine&
    Positional(const std::string& name, const std::string& help, bool optional = false, bool rest = false);

    // False with `error` set on bad usage. "--help" sets helpRequested() and succeeds.
    bool Parse(const std::vector<std::string>& args, std::string& error);

    bool helpRequested() const { return helpRequested_; }
    bool Has(const std::string& flagOrOption) const;
    std::optional<std::string> Value(const std::string& option) const;
    // Positional values in order (the rest positional expands to all remaining ones).
    const std::vector<std::string>& positionals() const { return positionals_; }

    std::string Help() const;

private:
    struct OptionDef
    {
        std::string name;
        std::string valueName; // empty for flags
        std::string help;
    };
    struct PositionalDef
    {
        std::string name;
        std::string help;
        bool optional = false;
        bool rest = false;
    };

    const OptionDef* FindOption(const std::string& name) const;

    std::string command_;
    std::string summary_;
    std::vector<OptionDef> options_;
    std::vector<PositionalDef> positionalDefs_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
    bool helpRequested_ = false;
};

// Parses a whole decimal integer option ("12", "-3"); nothing when the text is not one.
std::optional<long long> ParseInteger(const std::string& text);
// The same for a value that must fit 32 bits, as ids and record fields do.
std::optional<std::int32_t> ParseInt32(const std::string& text);

} // namespace tallyhawk::cli
