#include "gui/alerts/alert_texts.h"

#include "core/common/display_text.h"
#include "core/common/item_kind.h"
#include "core/common/site_addresses.h"

namespace tallyhawk
{

namespace
{

QString Shown(std::string_view bytes)
{
    return QString::fromStdString(DisplayText(bytes));
}

} // namespace

AlertTexts MakeAlertTexts(const ItemRecord& record, std::string_view siteBase)
{
    AlertTexts texts;
    texts.description = Shown(record.description());
    texts.extra = Shown(record.extra());
    texts.hot = record.hot >= 1;
    if (IsKind(record.kind, ItemKind::ProgramNotice)) {
        texts.link = Shown(record.title());
        texts.address = SiteRootUrl(siteBase, true);
    } else {
        texts.link = QStringLiteral("%1 - %2").arg(Shown(record.storeName()), Shown(record.title()));
        texts.address = RedirectPageUrl(siteBase, record.kind, record.id);
    }
    return texts;
}

} // namespace tallyhawk
