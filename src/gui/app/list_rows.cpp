#include "gui/app/list_rows.h"

#include "core/common/display_text.h"

#include <QDateTime>

#include <string_view>

namespace tallyhawk
{
namespace
{

QString Text(std::string_view bytes)
{
    return QString::fromStdString(DisplayText(bytes));
}

} // namespace

QString LocalDateText(std::int32_t seconds)
{
    if (seconds < 1) {
        return {};
    }
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString LocalDayText(std::int32_t seconds)
{
    if (seconds < 1) {
        return {};
    }
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd"));
}

ListRows ListRows::FromItems(const std::vector<ItemRecord>& items)
{
    ListRows list{{QStringLiteral("Title"),
                   QStringLiteral("Store"),
                   QStringLiteral("Category"),
                   QStringLiteral("Date"),
                   QStringLiteral("Arrived")},
                  {},
                  {},
                  {}};
    list.rows.reserve(items.size());
    for (const ItemRecord& item : items) {
        list.rows.push_back({Text(item.title()),
                             Text(item.storeName()),
                             Text(item.categoryName()),
                             LocalDayText(item.date),
                             LocalDateText(item.arrivedAt)});
        list.keys.push_back({item.id, item.kind, item.read == 0});
        list.records.emplace_back(&item);
    }
    return list;
}

ListRows ListRows::FromShopping(const std::vector<ShoppingRecord>& records)
{
    ListRows list{{QStringLiteral("Name"),
                   QStringLiteral("Quantity"),
                   QStringLiteral("Price"),
                   QStringLiteral("Last purchased"),
                   QStringLiteral("Notes")},
                  {},
                  {},
                  {}};
    list.rows.reserve(records.size());
    for (const ShoppingRecord& record : records) {
        list.rows.push_back({Text(record.name()),
                             QString::number(record.quantity),
                             QString::number(record.pricePerUnit, 'f', 2),
                             LocalDateText(record.lastPurchased),
                             Text(record.notes())});
        list.keys.push_back({record.id, 0, false});
        list.records.emplace_back(&record);
    }
    return list;
}

ListRows ListRows::FromSearches(const std::vector<SearchRecord>& records)
{
    ListRows list{{QStringLiteral("Search"), QStringLiteral("Saved")}, {}, {}, {}};
    list.rows.reserve(records.size());
    for (const SearchRecord& record : records) {
        list.rows.push_back({Text(record.name), LocalDateText(record.savedAt)});
        list.keys.push_back({record.id, 0, false});
        list.records.emplace_back();
    }
    return list;
}

ListRows ListRows::FromOffers(const ResultList& offers)
{
    ListRows list{{QStringLiteral("Offer"), QStringLiteral("Store"), QStringLiteral("Price")}, {}, {}, {}};
    list.rows.reserve(offers.Count());
    // The list keeps the highest price first; the view shows the lowest first.
    for (const PriceResult& offer : offers) {
        list.rows.insert(list.rows.begin(),
                         {Text(offer.name), Text(offer.siteName), QString::number(offer.price, 'f', 2)});
        list.keys.insert(list.keys.begin(), {offer.id, 0, false});
        list.records.insert(list.records.begin(), &offer);
    }
    return list;
}

} // namespace tallyhawk
