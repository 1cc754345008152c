#include "gui/alerts/alert_texts.h"

#include "core/common/item_kind.h"
#include "core/common/site_addresses.h"
#include "gui/controls/record_text.h"

namespace tallyhawk
{

namespace
{ } // namespace

AlertTexts MakeAlertTexts(const ItemRecord& record, std::string_view siteBase)
{
    AlertTexts texts;
    texts.description = RecordText(record.description());
    texts.extra = RecordText(record.extra());
    texts.hot = record.hot >= 1;
    if (IsKind(record.kind, ItemKind::AwaySummary)) {
        // Opens the Coupons & Deals folder, not a page.
        texts.link = RecordText(record.title());
    } else if (IsKind(record.kind, ItemKind::ProgramNotice)) {
        texts.link = RecordText(record.title());
        texts.address = SiteRootUrl(siteBase, true);
    } else {
        texts.link
            = QStringLiteral("%1 - %2").arg(RecordText(record.storeName()), RecordText(record.title()));
        texts.address = RedirectPageUrl(siteBase, record.kind, record.id);
    }
    return texts;
}

} // namespace tallyhawk
