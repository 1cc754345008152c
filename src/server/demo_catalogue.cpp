#include "server/demo_catalogue.h"

#include "server/item_store.h"

#include <array>

namespace tallyhawk::server
{

namespace
{

constexpr std::int32_t kDay = 86400;

struct Template
{
    std::int32_t kind;
    const char* store;
    const char* category;
    const char* title;
    const char* description;
    const char* extra;
};

constexpr std::array<const char*, 7> kStores = {"Greenleaf Market",
                                                "Copperline Electronics",
                                                "Harbor Outfitters",
                                                "Pinecrest Books",
                                                "Bluebird Kitchenware",
                                                "Maple & Rye Grocery",
                                                "Northwind Toys"};
constexpr std::array<const char*, 7> kCategories
    = {"Groceries", "Electronics", "Outdoor", "Books", "Kitchen", "Toys", "Clothing"};

constexpr Template kTemplates[] = {
    {1,
     "Greenleaf Market",
     "Groceries",
     "$5 off a $40 order",
     "Online orders only.<br> Code <b>LEAF5</b>",
     "code LEAF5"},
    {2,
     "Copperline Electronics",
     "Electronics",
     "Aurora 43 inch LED TV",
     "Full HD, three HDMI inputs",
     "$289.99"},
    {2,
     "Harbor Outfitters",
     "Outdoor",
     "Two-person dome tent",
     "Sets up in five minutes &amp; packs small",
     "$119.99"},
    {1, "Pinecrest Books", "Books", "Buy two paperbacks, get one free", "In store and online", "3 for 2"},
    {2, "Bluebird Kitchenware", "Kitchen", "Cast iron skillet, 10 inch", "Pre-seasoned", "$24.50"},
    {3,
     "Maple & Rye Grocery",
     "Groceries",
     "Which oat milk froths best?",
     "Trying three brands this week",
     ""},
    {2, "Northwind Toys", "Toys", "Wooden train set, 40 pieces", "Ages 3 and up", "$34.99"},
    {1, "Copperline Electronics", "Electronics", "15% off headphones", "Ends Sunday", "code HUSH15"},
    {2, "Maple & Rye Grocery", "Groceries", "Coffee beans, 1 kg bag", "Medium roast", "$13.99"},
    {3, "Harbor Outfitters", "Outdoor", "Best trail shoes for wet weather?", "Looking for grip on rock", ""},
    {2, "Greenleaf Market", "Groceries", "Strawberries, 2 lb box", "While supplies last", "$3.99"},
    {1, "Bluebird Kitchenware", "Kitchen", "Free shipping over $30", "No code needed", "free shipping"},
    {2, "Copperline Electronics", "Electronics", "Pocket Bluetooth speaker", "12 hours of play", "$34.99"},
    {3, "Pinecrest Books", "Books", "Book club pick for next month", "Vote in the thread", ""},
    {2, "Harbor Outfitters", "Clothing", "Rain jacket, packable", "Five colours", "$49.00"},
};

constexpr std::size_t kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];

ServerItem ItemOf(const Template& entry, std::int32_t date, bool hot)
{
    ServerItem item;
    item.kind = entry.kind;
    item.storeName = entry.store;
    item.categoryName = entry.category;
    item.title = entry.title;
    item.description = entry.description;
    item.extra = entry.extra;
    item.date = date;
    item.hot = hot ? 1 : 0;
    return item;
}

} // namespace

void DemoCatalogue::Seed(ItemStore& items, std::int32_t now)
{
    if (items.ItemCount().value_or(1) > 0) { // not seeded again, nor into a failing file
        return;
    }
    for (const char* store : kStores) {
        items.AddStore(store);
    }
    for (const char* category : kCategories) {
        items.AddCategory(category);
    }
    for (std::size_t i = 0; i < kTemplateCount; ++i) {
        const Template& entry = kTemplates[i];
        // Coupons and deals run out in a few days; topics were posted in the last few days.
        const std::int32_t offset = static_cast<std::int32_t>(i % 5 + 1) * kDay;
        items.Post(ItemOf(entry, entry.kind == 3 ? now - offset : now + offset, i % 4 == 1));
    }
}

ServerItem DemoCatalogue::NewItem(std::uint32_t n, std::int32_t now)
{
    const Template& entry = kTemplates[n % kTemplateCount];
    ServerItem item = ItemOf(entry, entry.kind == 3 ? now : now + 3 * kDay, n % 5 == 0);
    // Each round through the templates reads a little differently.
    if (const std::uint32_t round = n / kTemplateCount; round > 0 && entry.kind != 3) {
        item.title += " (" + std::to_string(round + 1) + ")";
    }
    return item;
}

} // namespace tallyhawk::server
