#pragma once

#include "core/store/item_record.h"

#include <memory>

namespace tallyhawk::test
{

// An alert record as a download pass makes one.
inline std::unique_ptr<ItemRecord> AlertRecord(std::int32_t id,
                                               std::int32_t kind = 2,
                                               const char* title = "Half price kettles",
                                               std::int16_t hot = 0,
                                               const char* extra = "$9.99",
                                               const char* storeName = "Corner Shop",
                                               const char* description
                                               = "Every kettle in the shop at half price.")
{
    ItemValues values;
    values.id = id;
    values.kind = kind;
    values.hot = hot;
    values.title = title;
    values.description = description;
    values.extra = extra;
    values.storeName = storeName;
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, 1'700'000'000));
}

} // namespace tallyhawk::test
