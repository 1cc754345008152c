#include "server/feeds/feed_item_texts.h"

#include "server/feeds/feed_price.h"
#include "server/feeds/feed_text.h"

#include <cstdint>
#include <cstdio>

namespace tallyhawk::server
{

namespace
{

// FNV-1a: stable across runs and builds, which std::hash is not promised to be.
std::uint64_t Fnv1a64(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

} // namespace

FeedItemTexts FeedItemTexts::From(const FeedEntry& entry)
{
    FeedItemTexts texts;
    texts.key = Key(entry);
    texts.title = FeedTextCleaner::Clean(entry.title);
    std::string summary = FeedTextCleaner::Clean(entry.summary);
    texts.description = summary.empty() ? FeedTextCleaner::Clean(entry.content) : summary;
    // Not from the content: a long article names prices of other things.
    std::optional<std::string> price = FeedPrice::First(texts.title);
    if (!price) {
        price = FeedPrice::First(summary);
    }
    texts.extra = price.value_or(std::string());
    return texts;
}

std::string FeedItemTexts::Key(const FeedEntry& entry)
{
    if (!entry.id.empty()) {
        return entry.id;
    }
    if (!entry.link.empty()) {
        return entry.link;
    }
    std::optional<std::int64_t> date = entry.published ? entry.published : entry.updated;
    std::string hashed = FeedTextCleaner::Clean(entry.title);
    hashed += '\n';
    hashed += date ? std::to_string(*date) : std::string();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a64(hashed)));
    return std::string("hash:") + hex;
}

} // namespace tallyhawk::server
