#include "server/server_options.h"

#include <charconv>

namespace tallyhawk::server
{

std::optional<std::string> ServerOptions::Parse(const std::vector<std::string>& args,
                                                const std::set<std::string>& valued,
                                                const std::set<std::string>& switches)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.rfind("--", 0) != 0) {
            positionals_.push_back(word);
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (std::size_t equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            inlineValue = word.substr(equals + 1);
        }
        if (valued.count(name) != 0) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    return "The option " + name + " needs a value.";
                }
                inlineValue = args[++i];
            }
            values_[name] = *inlineValue;
        } else if (switches.count(name) != 0 && !inlineValue) {
            switches_.insert(name);
        } else {
            return "Unknown option " + word + ".";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ServerOptions::Value(const std::string& name) const
{
    auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<long long> WholeNumber(const std::string& text, long long lowest, long long highest)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest
        || value > highest) {
        return std::nullopt;
    }
    return value;
}

} // namespace tallyhawk::server
