// Any bytes as a fetched feed: the parse of every format and the texts an item takes from each entry.
#include "core/common/display_text.h"
#include "server/feeds/feed_item_texts.h"
#include "server/feeds/feed_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{

constexpr std::string_view kFeedUrl = "http://127.0.0.1:8080/feeds/deals.xml";

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

// Links are handed to the site's redirects: absolute http or https, nothing a header could break on.
void CheckLink(const std::string& link)
{
    if (link.empty()) {
        return;
    }
    Require(link.starts_with("http://") || link.starts_with("https://"));
    for (char c : link) {
        Require(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    }
}

void CheckEntry(const tallyhawk::server::FeedEntry& entry)
{
    CheckLink(entry.link);
    Require(tallyhawk::IsValidUtf8(entry.id));
    Require(tallyhawk::IsValidUtf8(entry.title.text));
    Require(tallyhawk::IsValidUtf8(entry.summary.text));
    Require(tallyhawk::IsValidUtf8(entry.content.text));

    tallyhawk::server::FeedItemTexts texts = tallyhawk::server::FeedItemTexts::From(entry);
    Require(!texts.key.empty() && tallyhawk::IsValidUtf8(texts.key));
    for (const std::string* text : {&texts.title, &texts.description, &texts.extra}) {
        Require(tallyhawk::IsValidUtf8(*text));
        // One line, no controls, no space at either end.
        for (char c : *text) {
            Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
        Require(text->empty() || (text->front() != ' ' && text->back() != ' '));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using tallyhawk::server::FeedStatus;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tallyhawk::server::ParsedFeed feed = tallyhawk::server::FeedParser::Parse(bytes, kFeedUrl);
    bool read = feed.status == FeedStatus::Ok || feed.status == FeedStatus::CutOff;
    Require(read || feed.entries.empty());
    Require(feed.status == FeedStatus::Ok || !feed.problem.empty());
    Require(tallyhawk::IsValidUtf8(feed.title));
    CheckLink(feed.link);
    for (const tallyhawk::server::FeedEntry& entry : feed.entries) {
        CheckEntry(entry);
    }
    return 0;
}
