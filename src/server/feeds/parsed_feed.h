#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

enum class FeedFormat
{
    Unknown,
    Rss2, // RSS 2.0 and the RSS 0.9x forms it grew from
    Rdf, // RSS 1.0 and 0.90
    Atom,
    JsonFeed,
};

enum class FeedStatus
{
    Ok,
    // Larger than FeedParser::kMaxFeedBytes: the entries that ended within the first part are given.
    CutOff,
    // Not well-formed XML or JSON, or in an encoding that cannot be read.
    Malformed,
    // Well-formed, but no feed format this parser reads.
    NotAFeed,
    // Declares external entities, or its entities expand beyond the parser's bound.
    Refused,
};

// A text as the feed gives it, entities and CDATA already read; `html` when it is markup to be
// cleaned rather than plain text.
struct FeedText
{
    std::string text;
    bool html = false;
};

struct FeedEntry
{
    std::string id; // guid, id or rdf:about, as given (trimmed)
    std::string link; // absolute http or https address, or empty
    FeedText title;
    FeedText summary;
    FeedText content;
    std::optional<std::int64_t> published; // seconds since 1970 UTC
    std::optional<std::int64_t> updated;
    // The end of the offer, where the feed gives one (an extension element or member, see
    // FeedDate::IsExpiryName); as the feed says, even when it has passed.
    std::optional<std::int64_t> expires;
};

struct ParsedFeed
{
    FeedStatus status = FeedStatus::Malformed;
    FeedFormat format = FeedFormat::Unknown;
    // Why the status is not Ok, in words (a parser message with its line where there is one).
    std::string problem;
    std::string title;
    std::string link; // the site's home page, absolute http or https, or empty
    // In the feed's order. A deque: it grows without copying what it holds, and the ingest frees it
    // from the back as it takes the entries.
    std::deque<FeedEntry> entries;
};

// "RSS 2.0", "Atom 1.0", ...: the format's name as it is shown to users.
const char* FeedFormatName(FeedFormat format);

} // namespace tallyhawk::server
