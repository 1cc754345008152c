#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk::server
{

// One coupon (kind 1), deal (kind 2) or forum topic (kind 3) as the service keeps and sends it.
struct ServerItem
{
    std::int32_t id = 0;
    std::int32_t kind = 1;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t date = 0; // expiry of a coupon or deal, posting time of a topic; 0 unknown
    std::int32_t hot = 0;
    std::string title;
    std::string description;
    std::string extra;
    std::string storeName;
    std::string categoryName;
};

// One store or category of the service's lists.
struct NamedEntry
{
    std::int32_t id = 0;
    std::string name;
};

} // namespace tallyhawk::server
