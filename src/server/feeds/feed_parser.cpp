#include "server/feeds/feed_parser.h"

#include "server/feeds/json_feed_reader.h"
#include "server/feeds/xml_feed_reader.h"

namespace tallyhawk::server
{

namespace
{

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Where the document's first character is, past a UTF-8 byte order mark and white space.
std::size_t FirstCharacter(std::string_view bytes)
{
    std::size_t pos = bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < bytes.size()
           && (bytes[pos] == ' ' || bytes[pos] == '\t' || bytes[pos] == '\r' || bytes[pos] == '\n')) {
        ++pos;
    }
    return pos;
}

std::string CutOffProblem()
{
    return "the feed is larger than " + std::to_string(FeedParser::kMaxFeedBytes / (1024 * 1024))
        + " MiB: only its first " + std::to_string(FeedParser::kMaxFeedBytes / (1024 * 1024))
        + " MiB were read";
}

} // namespace

const char* FeedFormatName(FeedFormat format)
{
    switch (format) {
    case FeedFormat::Rss2:
        return "RSS 2.0";
    case FeedFormat::Rdf:
        return "RSS 1.0 (RDF)";
    case FeedFormat::Atom:
        return "Atom 1.0";
    case FeedFormat::JsonFeed:
        return "JSON Feed";
    case FeedFormat::Unknown:
        break;
    }
    return "unknown";
}

ParsedFeed FeedParser::Parse(std::string_view bytes, std::string_view url)
{
    bool cutOff = bytes.size() > kMaxFeedBytes;
    if (cutOff) {
        bytes = bytes.substr(0, kMaxFeedBytes);
    }
    std::size_t first = FirstCharacter(bytes);
    if (first >= bytes.size()) {
        ParsedFeed feed;
        feed.problem = "the feed is empty";
        return feed;
    }
    if (bytes[first] == '{') {
        if (cutOff) {
            // JSON cut short is no JSON at all; nothing of it can be trusted.
            ParsedFeed feed;
            feed.status = FeedStatus::CutOff;
            feed.format = FeedFormat::JsonFeed;
            feed.problem = CutOffProblem() + ", and a JSON feed cut short has no entries to read";
            return feed;
        }
        return JsonFeedReader::Read(bytes.substr(first), url);
    }
    if (cutOff) {
        // Up to the last whole tag, so the parser stops at a tag's end and not inside a character.
        std::size_t lastTagEnd = bytes.rfind('>');
        bytes = bytes.substr(0, lastTagEnd == std::string_view::npos ? 0 : lastTagEnd + 1);
    }
    ParsedFeed feed = XmlFeedReader::Read(bytes, url, cutOff);
    if (feed.status == FeedStatus::CutOff) {
        feed.problem = CutOffProblem();
    }
    return feed;
}

} // namespace tallyhawk::server
