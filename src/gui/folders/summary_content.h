#pragma once

#include "core/store/item_filter.h"

#include <QString>

#include <string>
#include <vector>

namespace tallyhawk
{

class ItemStore;
class ShoppingDatabase;

// What the summary page shows for one day: the three counts and up to two hot deals.
struct SummaryContent
{
    struct HotDeal
    {
        QString text; // store, title and extra
        QString target; // the deal's redirect page on the site
        QString description;
    };

    int deals = 0;
    int topics = 0;
    int shopping = 0;
    std::vector<HotDeal> hotDeals; // newest first, at most two

    // The counts of the day `today` and its two newest hot deals, read through the stores; `hotDeals`
    // is a store of its own on the deals' file, so the deals' view is left as it is.
    static SummaryContent Collect(const ItemFilter& today,
                                  ItemStore& deals,
                                  ItemStore& topics,
                                  ShoppingDatabase& shopping,
                                  ItemStore& hotDeals,
                                  const std::string& siteBase);
};

} // namespace tallyhawk
