#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tallyhawk
{

class ItemStore;

// The highest id ever stored of each kind, kept in the data folder beside the stores in the small
// text file "highest.dat" ("coupon N", "deal N", "topic N", one a line). The weekly archive may drop
// the record with a kind's highest id; asking after a lower id would bring deleted items, expired deals
// and a week of forum topics back, so requests ask after the larger of this and the store's own
// HighestId. It lives with the data rather than in the settings because another data folder is
// another set of stores.
class HighestIds
{
public:
    static constexpr const char* kFileName = "highest.dat";

    explicit HighestIds(const std::filesystem::path& folder);

    // The id an item request of `kind` asks after.
    std::int32_t AskAfter(std::int32_t kind, const ItemStore& store) const;
    // Raises the remembered id of `kind` to the highest id the store holds. The store raises its own
    // only for what it actually stored, so this never remembers an id that did not reach the file.
    void Remember(std::int32_t kind, const ItemStore& store);
    // The remembered id of `kind` (1, 2 or 3); 0 when none, or for another kind.
    std::int32_t Remembered(std::int32_t kind) const;

private:
    std::string path_;
};

} // namespace tallyhawk
