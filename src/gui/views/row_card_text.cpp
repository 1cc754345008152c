#include "gui/views/row_card_text.h"

#include "core/common/display_text.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/schedule_text.h"

#include <QDateTime>
#include <QLocale>

namespace tallyhawk
{
namespace
{

// The user's short date format with the whole year and the weekday in front; made again only when
// the locale changes, since every drawn row asks for it.
const QString& DayFormat()
{
    thread_local QLocale madeFor = QLocale::c();
    thread_local QString format;
    const QLocale locale;
    if (format.isEmpty() || !(locale == madeFor)) {
        QString date = locale.dateFormat(QLocale::ShortFormat);
        if (!date.contains(QStringLiteral("yyyy"))) {
            date.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
        }
        format = QStringLiteral("ddd ") + date;
        madeFor = locale;
    }
    return format;
}

// `text` with `last` on a line of its own under it, which the card keeps whole at its bottom.
QString WithLastLine(const QString& text, const QString& last)
{
    return text.isEmpty() ? last : text + QLatin1Char('\n') + last;
}

QString Amount(double value)
{
    return QString::number(value, 'f', 2);
}

QString ItemText(const ItemRecord& item, CardPiece piece)
{
    switch (piece) {
    case CardPiece::Title:
        return RecordText(item.title());
    case CardPiece::Detail: {
        // Coupons and deals expire; topics and notices were posted. The date has a line of its own.
        const QString word
            = item.kind == 1 || item.kind == 2 ? QStringLiteral("Expires: ") : QStringLiteral("Posted: ");
        return WithLastLine(RecordText(item.description()),
                            word + (item.date < 1 ? QStringLiteral("unknown") : CardDate(item.date)));
    }
    case CardPiece::Corner:
        return RecordText(item.extra());
    case CardPiece::Side:
        return RecordText(item.storeName());
    case CardPiece::SideDetail:
        return QStringLiteral("Category: ") + RecordText(item.categoryName());
    }
    return {};
}

QString OfferText(const PriceResult& offer, CardPiece piece)
{
    switch (piece) {
    case CardPiece::Title:
        return RecordText(offer.name);
    case CardPiece::Detail:
        return offer.text ? RecordText(*offer.text) : QString();
    case CardPiece::Corner:
        return offer.price > 0 ? QStringLiteral("$") + Amount(offer.price) : QStringLiteral(" ");
    case CardPiece::Side:
        return RecordText(offer.siteName);
    case CardPiece::SideDetail:
        return {};
    }
    return {};
}

QString ListName(const IdNameList& list, std::int32_t id, const QString& none)
{
    const IdNameEntry* entry = list.Find(id);
    return entry != nullptr ? RecordText(entry->name) : none;
}

QString ShoppingText(const ShoppingRecord& record,
                     CardPiece piece,
                     const IdNameList& stores,
                     const IdNameList& categories)
{
    switch (piece) {
    case CardPiece::Title:
        return RecordText(record.name());
    case CardPiece::Detail: {
        // A product that has not started yet shows when it is next due; a recurring one says how it
        // comes back.
        const std::int32_t day = record.startDate >= 1 ? record.startDate : record.nextDue;
        QString when = QStringLiteral("Date: ") + (day >= 1 ? CardDate(day) : QStringLiteral("unknown"));
        if (IsRecurring(record.purchaseType)) {
            when += QStringLiteral(" \u00b7 Repeats: ") + QString::fromStdString(ScheduleText(record));
        }
        return WithLastLine(RecordText(record.notes()), when);
    }
    case CardPiece::Corner:
        if (record.quantity > 0 && record.pricePerUnit > 0) {
            return QLatin1Char('(') + Amount(record.quantity) + QStringLiteral(") x $")
                + Amount(record.pricePerUnit);
        }
        if (record.quantity > 0) {
            return QLatin1Char('(') + Amount(record.quantity) + QLatin1Char(')');
        }
        if (record.pricePerUnit > 0) {
            return QLatin1Char('$') + Amount(record.pricePerUnit);
        }
        return {};
    case CardPiece::Side:
        return ListName(stores, record.storeId, QStringLiteral("Any Store"));
    case CardPiece::SideDetail:
        return QStringLiteral("Category: ")
            + ListName(categories, record.categoryId, QStringLiteral("Any Category"));
    }
    return {};
}

} // namespace

QString
CardText(const RowRecord& record, CardPiece piece, const IdNameList& stores, const IdNameList& categories)
{
    if (const auto* item = std::get_if<const ItemRecord*>(&record)) {
        return ItemText(**item, piece);
    }
    if (const auto* offer = std::get_if<const PriceResult*>(&record)) {
        return OfferText(**offer, piece);
    }
    if (const auto* shopping = std::get_if<const ShoppingRecord*>(&record)) {
        return ShoppingText(**shopping, piece, stores, categories);
    }
    return {};
}

QString CardDate(std::int32_t seconds)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).date(), DayFormat());
}

} // namespace tallyhawk
