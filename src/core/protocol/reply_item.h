#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk
{

class WireMessage;

// One item of a 9001 item reply as it is read from the message: six numbers (an absent one reads
// as -16) and five texts (an absent or empty one is nothing).
struct ReplyItem
{
    static constexpr int kFieldsPerItem = 11;
    static constexpr int kFirstItemField = 3;

    std::int32_t id = -16;
    std::int32_t kind = -16;
    std::int32_t storeId = -16;
    std::int32_t categoryId = -16;
    std::int32_t date = -16;
    std::int32_t hot = -16;
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<std::string> extra;
    std::optional<std::string> storeName;
    std::optional<std::string> categoryName;
};

// The number of items a reply announces (field 2); -16 when absent.
std::int32_t ReplyItemCount(const WireMessage& reply);

// Item k (from 0) of a reply: fields 3 + 11k to 13 + 11k. Items past the payload read as absent.
ReplyItem ReadReplyItem(const WireMessage& reply, std::int32_t k);

// How many of the announced items have at least their first field in the payload; items beyond
// them read entirely absent.
std::int32_t ReplyItemsPresent(const WireMessage& reply);

} // namespace tallyhawk
