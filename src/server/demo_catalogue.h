#pragma once

#include "server/server_item.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemStore;

// The demo's invented stores, categories, coupons, deals and forum topics, and an endless supply of
// new ones for the demo to post while it runs.
class DemoCatalogue
{
public:
    // Adds the stores, the categories and a first set of items dated around `now`. Nothing is added
    // to a database that already holds items, so a restarted demo keeps its ids moving forward.
    static void Seed(ItemStore& items, std::int32_t now);
    // The n-th new item of the running demo (any n), dated around `now`.
    static ServerItem NewItem(std::uint32_t n, std::int32_t now);
};

} // namespace tallyhawk::server
