#include "cli/item_output.h"

#include "core/common/display_text.h"
#include "core/common/item_kind.h"
#include "core/store/item_text.h"

#include <ostream>

namespace tallyhawk::cli
{

std::string KindName(std::int32_t kind)
{
    switch (kind) {
    case KindNumber(ItemKind::Coupon):
        return "coupon";
    case KindNumber(ItemKind::Deal):
        return "deal";
    case KindNumber(ItemKind::Topic):
        return "topic";
    case KindNumber(ItemKind::ProgramNotice):
        return "notice";
    case KindNumber(ItemKind::AwaySummary):
        return "summary";
    default:
        return "kind " + std::to_string(kind);
    }
}

nlohmann::ordered_json RecordJson(const ItemRecord& record)
{
    return {
        {"id", record.id},
        {"kind", record.kind},
        {"storeId", record.storeId},
        {"categoryId", record.categoryId},
        {"date", record.date},
        {"arrivedAt", record.arrivedAt},
        {"deleted", record.deleted},
        {"read", record.read},
        {"hot", record.hot},
        {"title", DisplayText(record.title())},
        {"description", DisplayText(record.description())},
        {"extra", DisplayText(record.extra())},
        {"storeName", DisplayText(record.storeName())},
        {"categoryName", DisplayText(record.categoryName())},
    };
}

void PrintRecord(std::ostream& out, const ItemRecord& record)
{
    out << record.id << "  " << KindName(record.kind) << "  " << TerminalText(record.storeName()) << " / "
        << TerminalText(record.categoryName()) << "  " << (record.read == 0 ? "unread" : "read")
        << (record.hot > 0 ? "  hot" : "") << "\n";
    out << "    " << TerminalText(record.title());
    if (!record.extra().empty()) {
        out << "  [" << TerminalText(record.extra()) << "]";
    }
    out << "\n    " << TerminalText(ItemSecondLine(record)) << "\n";
}

} // namespace tallyhawk::cli
