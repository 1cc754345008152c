#pragma once

#include <cstddef>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace tallyhawk::cli
{

// Writes {"count": N, "<name>": [...]} element by element, laid out as nlohmann's dump(2) lays out
// the whole object, so a long list is never held as one JSON document. The closing brackets go out
// when the writer is destroyed.
class JsonListWriter
{
public:
    JsonListWriter(std::ostream& out, std::size_t count, const std::string& name);
    ~JsonListWriter();
    JsonListWriter(const JsonListWriter&) = delete;
    JsonListWriter& operator=(const JsonListWriter&) = delete;

    void Add(const nlohmann::ordered_json& element);

private:
    std::ostream& out_;
    bool empty_ = true;
};

} // namespace tallyhawk::cli
