#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk::server
{

// One feed the service polls, with what its last fetch left for the next one.
struct FeedSubscription
{
    std::int64_t id = 0;
    std::string url;
    std::int32_t kind = 2; // the kind of item its entries become
    std::string store; // empty: each entry's store comes from its link's host
    std::string category; // empty: "General"
    std::int32_t every = 15; // minutes between fetches
    std::string title;
    std::string etag; // of the last answer with a body, sent back as If-None-Match
    std::string lastModified; // likewise, as If-Modified-Since
    std::int64_t lastFetch = 0; // seconds since 1970; 0 never fetched
    std::string lastResult; // "3 new entries", "not modified", or the failure in words
    std::int64_t nextFetch = 0;
    std::int32_t failures = 0; // in a row
    std::int64_t taken = 0; // entries taken as items, in total
};

} // namespace tallyhawk::server
