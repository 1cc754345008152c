#include "server/feeds/json_feed_reader.h"

#include "server/feeds/feed_date.h"
#include "server/feeds/feed_link.h"
#include "server/feeds/feed_text.h"

#include <nlohmann/json.hpp>

namespace tallyhawk::server
{

namespace
{

using Json = nlohmann::json;

// A string member, or empty when it is missing or of another type.
std::string StringMember(const Json& object, const char* name)
{
    auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<std::int64_t> DateMember(const Json& object, const char* name)
{
    std::string text = StringMember(object, name);
    return text.empty() ? std::nullopt : FeedDate::Parse(text);
}

// The first expiry date among an object's own members.
std::optional<std::int64_t> ExpiryMember(const Json& object)
{
    for (const auto& [name, value] : object.items()) {
        if (FeedDate::IsExpiryName(name) && value.is_string()) {
            if (std::optional<std::int64_t> date = FeedDate::Parse(value.get<std::string>())) {
                return date;
            }
        }
    }
    return std::nullopt;
}

// An item's expiry: a member of its own, or of one of its extension objects (whose names begin with
// "_", such as "_deal").
std::optional<std::int64_t> ItemExpiry(const Json& item)
{
    if (std::optional<std::int64_t> date = ExpiryMember(item)) {
        return date;
    }
    for (const auto& [name, value] : item.items()) {
        if (name.starts_with('_') && value.is_object()) {
            if (std::optional<std::int64_t> date = ExpiryMember(value)) {
                return date;
            }
        }
    }
    return std::nullopt;
}

// Ids are strings, but some feeds write numbers.
std::string IdMember(const Json& object)
{
    auto found = object.find("id");
    if (found == object.end()) {
        return {};
    }
    if (found->is_string()) {
        return found->get<std::string>();
    }
    return found->is_number() ? found->dump() : std::string();
}

FeedEntry ReadItem(const Json& item, std::string_view url)
{
    FeedEntry entry;
    entry.id = IdMember(item);
    entry.link = FeedLink::Resolve(StringMember(item, "url"), url);
    if (entry.link.empty()) {
        entry.link = FeedLink::Resolve(StringMember(item, "external_url"), url);
    }
    entry.title = {StringMember(item, "title"), false};
    entry.summary = {StringMember(item, "summary"), false};
    std::string html = StringMember(item, "content_html");
    entry.content = html.empty() ? FeedText{StringMember(item, "content_text"), false} : FeedText{html, true};
    entry.published = DateMember(item, "date_published");
    entry.updated = DateMember(item, "date_modified");
    entry.expires = ItemExpiry(item);
    return entry;
}

bool IsJsonFeedVersion(std::string_view version)
{
    return version.starts_with("https://jsonfeed.org/version/")
        || version.starts_with("http://jsonfeed.org/version/");
}

} // namespace

std::size_t JsonFeedReader::Depth(std::string_view bytes, std::size_t limit)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                return deepest;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

ParsedFeed JsonFeedReader::Read(std::string_view bytes, std::string_view url)
{
    ParsedFeed feed;
    if (Depth(bytes, kMaxDepth) > kMaxDepth) {
        feed.status = FeedStatus::Refused;
        feed.problem = "the feed nests deeper than " + std::to_string(kMaxDepth) + " levels";
        return feed;
    }
    Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (document.is_discarded()) {
        feed.status = FeedStatus::Malformed;
        feed.problem = "the feed is not well-formed JSON";
        return feed;
    }
    if (!document.is_object() || !IsJsonFeedVersion(StringMember(document, "version"))) {
        feed.status = FeedStatus::NotAFeed;
        feed.problem = "the JSON document is not a JSON Feed";
        return feed;
    }
    feed.format = FeedFormat::JsonFeed;
    feed.title = FeedTextCleaner::OneLine(StringMember(document, "title"));
    feed.link = FeedLink::Resolve(StringMember(document, "home_page_url"), url);
    auto items = document.find("items");
    if (items != document.end() && items->is_array()) {
        for (const Json& item : *items) {
            if (item.is_object()) {
                feed.entries.push_back(ReadItem(item, url));
            }
        }
    }
    feed.status = FeedStatus::Ok;
    return feed;
}

} // namespace tallyhawk::server
