#include "gui/print/row_print_text.h"

#include "gui/controls/record_text.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tallyhawk
{
namespace
{

const QString kDash = QStringLiteral(" - ");

QString Amount(double value)
{
    return QString::number(value, 'f', 2);
}

// Never leaves half of a surrogate pair at the end.
QString Cut(QString text)
{
    if (text.size() > RowPrintText::kMaxLength) {
        text.truncate(RowPrintText::kMaxLength);
        if (text.back().isHighSurrogate()) {
            text.chop(1);
        }
    }
    return text;
}

RowPrintText TextsOf(const ItemRecord& item, const IdNameList&)
{
    return {RecordText(item.storeName()) + kDash + RecordText(item.title()) + kDash
                + RecordText(item.extra()),
            RecordText(item.description()),
            RecordText(item.storeName())};
}

RowPrintText TextsOf(const PriceResult& offer, const IdNameList&)
{
    return {RecordText(offer.siteName) + kDash + RecordText(offer.name) + kDash + Amount(offer.price),
            RecordText(offer.text.value_or(std::string())) + QStringLiteral(" URL: ")
                + RecordText(offer.link),
            RecordText(offer.siteName)};
}

RowPrintText TextsOf(const ShoppingRecord& record, const IdNameList& stores)
{
    const IdNameEntry* store = stores.Find(record.storeId);
    const QString storeName = store != nullptr ? RecordText(store->name) : QString();
    return {storeName + kDash + RecordText(record.name()) + kDash + QStringLiteral("(")
                + Amount(record.quantity) + QStringLiteral(") x $") + Amount(record.pricePerUnit),
            RecordText(record.notes()),
            storeName};
}

} // namespace

RowPrintText RowPrintText::Of(const RowRecord& record, const IdNameList& stores)
{
    RowPrintText texts;
    std::visit(
        [&](const auto& alternative) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(alternative)>, std::monostate>) {
                if (alternative != nullptr) {
                    texts = TextsOf(*alternative, stores);
                }
            }
        },
        record);
    texts.heading = Cut(std::move(texts.heading));
    texts.body = Cut(std::move(texts.body));
    return texts;
}

} // namespace tallyhawk
