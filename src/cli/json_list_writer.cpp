#include "cli/json_list_writer.h"

#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kElementIndent = "    ";

} // namespace

JsonListWriter::JsonListWriter(std::ostream& out, std::size_t count, const std::string& name)
    : out_(out)
{
    out_ << "{\n  \"count\": " << count << ",\n  " << nlohmann::ordered_json(name).dump() << ": [";
}

JsonListWriter::~JsonListWriter()
{
    out_ << (empty_ ? "]\n}\n" : "\n  ]\n}\n");
    out_.flush();
}

void JsonListWriter::Add(const nlohmann::ordered_json& element)
{
    out_ << (empty_ ? "\n" : ",\n") << kElementIndent;
    empty_ = false;
    // A JSON text holds no raw line feed inside a string, so each one starts a line to indent.
    const std::string text = element.dump(2);
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        out_.write(text.data() + start, static_cast<std::streamsize>(end + 1 - start)) << kElementIndent;
        start = end + 1;
    }
    out_.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

} // namespace tallyhawk::cli
