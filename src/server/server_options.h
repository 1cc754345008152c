#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tallyhawk::server
{

// The words of one subcommand: "--name value" options, "--flag" switches and positional words.
class ServerOptions
{
public:
    // Reads `args` knowing which names take a value and which are switches. An error sentence, or
    // nothing.
    std::optional<std::string> Parse(const std::vector<std::string>& args,
                                     const std::set<std::string>& valued,
                                     const std::set<std::string>& switches);

    std::optional<std::string> Value(const std::string& name) const;
    bool Has(const std::string& name) const { return switches_.count(name) != 0 || values_.count(name) != 0; }
    const std::vector<std::string>& positionals() const { return positionals_; }

private:
    std::map<std::string, std::string> values_;
    std::set<std::string> switches_;
    std::vector<std::string> positionals_;
};

// A whole number within the bounds, or nothing.
std::optional<long long> WholeNumber(const std::string& text, long long lowest, long long highest);

} // namespace tallyhawk::server
