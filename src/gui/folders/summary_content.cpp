#include "gui/folders/summary_content.h"

#include "core/common/site_addresses.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_store.h"
#include "gui/controls/record_text.h"

#include <algorithm>
#include <optional>

namespace tallyhawk
{

SummaryContent SummaryContent::Collect(const ItemFilter& today,
                                       ItemStore& deals,
                                       ItemStore& topics,
                                       ShoppingDatabase& shopping,
                                       ItemStore& hotDeals,
                                       const std::string& siteBase)
{
    SummaryContent content;
    // A count that fails (a missing file) reads as none.
    content.deals = std::max(0, deals.CountMatching(today));
    content.topics = std::max(0, topics.CountMatching(today));
    content.shopping = std::max(0, shopping.CountMatching(ShoppingDatabase::kProducts, today));
    const int hot = hotDeals.LoadHot(today);
    for (int index = 0; index < std::min(hot, 2); ++index) {
        const std::optional<ItemRecord> record = hotDeals.At(static_cast<std::size_t>(index));
        if (!record) {
            break;
        }
        content.hotDeals.push_back(
            {RecordText(record->storeName()) + QStringLiteral(" - ") + RecordText(record->title())
                 + QStringLiteral(" - ") + RecordText(record->extra()),
             QString::fromStdString(RedirectPageUrl(siteBase, record->kind, record->id)),
             RecordText(record->description())});
    }
    return content;
}

} // namespace tallyhawk
