#pragma once

#include <cstdint>
#include <string_view>

namespace tallyhawk
{

class ItemStore;
class Settings;

// The highest id ever stored of each kind, kept in the settings beside "LastArchive". The weekly
// archive may drop the record with a kind's highest id; asking after a lower id would bring deleted
// items, expired deals and a week of forum topics back, so requests ask after the larger of this and
// the store's own HighestId.
class HighestIds
{
public:
    explicit HighestIds(const Settings& settings);

    // The settings value of a kind (1, 2 or 3); empty for another kind.
    static std::string_view SettingName(std::int32_t kind);

    // The id an item request of `kind` asks after.
    std::int32_t AskAfter(std::int32_t kind, const ItemStore& store) const;
    // Raises the remembered id of `kind` to the highest id the store holds. The store raises its own
    // only for what it actually stored, so this never remembers an id that did not reach the file.
    void Remember(std::int32_t kind, const ItemStore& store);
    // The remembered id of `kind`, 0 when none.
    std::int32_t Remembered(std::int32_t kind) const;

private:
    const Settings& settings_;
};

} // namespace tallyhawk
