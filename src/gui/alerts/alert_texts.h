#pragma once

#include "core/store/item_record.h"

#include <QString>

#include <string>
#include <string_view>

namespace tallyhawk
{

// What an alert shows, the same in a popup and in a desktop notification: the link line, the
// description, the extra text, where the link leads, and whether the item is hot.
struct AlertTexts
{
    QString link;
    QString description;
    QString extra;
    std::string address;
    bool hot = false;
};

// A program notice (kind 99) links its title to the site's home page; an item links "store - title" to
// the site's redirect page for its kind and id. The summary of held alerts (kind 98) has no address.
AlertTexts MakeAlertTexts(const ItemRecord& record, std::string_view siteBase);

} // namespace tallyhawk
