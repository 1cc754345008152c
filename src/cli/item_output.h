#pragma once

#include "core/store/item_record.h"

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace tallyhawk::cli
{

// "coupon", "deal", "topic", "notice", "summary" (of held alerts), or "kind N".
std::string KindName(std::int32_t kind);

// A record's members under their names, texts shown as UTF-8.
nlohmann::ordered_json RecordJson(const ItemRecord& record);

// Three lines: id, kind, store and category, read state; title and extra; the row's second line.
void PrintRecord(std::ostream& out, const ItemRecord& record);

} // namespace tallyhawk::cli
