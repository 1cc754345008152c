#include "core/update/weekly_upkeep.h"

#include "core/common/clock.h"
#include "core/common/item_kind.h"
#include "core/settings/settings.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_filter.h"
#include "core/store/item_store.h"
#include "core/update/highest_ids.h"

#include <filesystem>
#include <limits>

namespace tallyhawk
{

namespace
{

// Learns a store's highest ids from its file without filling its view.
void LearnHighestIds(ItemStore& store)
{
    ItemFilter nothing;
    nothing.from = std::numeric_limits<std::int32_t>::max();
    nothing.to = std::numeric_limits<std::int32_t>::max();
    store.Load(nothing);
}

// A file that does not exist yet has nothing to archive.
bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

bool WeeklyUpkeep::RefreshPending(const Settings& settings)
{
    return settings.ReadNumber(kPendingSetting).value_or(0) == 1;
}

void WeeklyUpkeep::MarkRefreshPending(const Settings& settings)
{
    settings.WriteNumber(kPendingSetting, 1);
}

void WeeklyUpkeep::MarkRefreshDone(const Settings& settings)
{
    if (RefreshPending(settings)) {
        settings.WriteNumber(kPendingSetting, 0);
    }
}

void WeeklyUpkeep::Archive(const std::filesystem::path& folder,
                           ItemStore& deals,
                           ItemStore& topics,
                           ShoppingDatabase* shopping,
                           UpkeepResult& result)
{
    // Before the archive can drop the records that hold them.
    HighestIds highest(folder);
    LearnHighestIds(deals);
    LearnHighestIds(topics);
    highest.Remember(KindNumber(ItemKind::Coupon), deals);
    highest.Remember(KindNumber(ItemKind::Deal), deals);
    highest.Remember(KindNumber(ItemKind::Topic), topics);

    for (ItemStore* store : {&deals, &topics}) {
        if (!Exists(store->listPath())) {
            continue;
        }
        if (int status = store->Archive(); status != kOk) {
            result.failures.emplace_back(store->listPath(), status);
        }
    }
    if (shopping != nullptr) {
        for (std::int32_t kind : {ShoppingDatabase::kProducts, ShoppingDatabase::kPurchases}) {
            const std::string path = shopping->RecordPath(kind).value_or("");
            if (!Exists(path)) {
                continue;
            }
            int status = shopping->Archive(kind);
            if (status < 0) {
                result.failures.emplace_back(path, status);
            }
        }
    }
    result.archived = true;
}

UpkeepResult WeeklyUpkeep::Run(const Settings& settings,
                               ItemStore& deals,
                               ItemStore& topics,
                               ShoppingDatabase* shopping,
                               const std::filesystem::path& folder)
{
    UpkeepResult result;
    const std::int32_t last = settings.ReadLastArchive();
    const std::int64_t now = Clock::Now();
    if (last < 1) {
        result.listsRefreshDue = true;
    } else if (now - last >= kInterval || last > now) {
        result.listsRefreshDue = true;
        Archive(folder, deals, topics, shopping, result);
    } else {
        result.listsRefreshDue = RefreshPending(settings);
        return result;
    }
    // Owed until a refresh succeeds, so an offline start does not leave the lists empty for a week.
    MarkRefreshPending(settings);
    // A failure to write is ignored: the upkeep simply runs again at the next start.
    settings.WriteLastArchive(static_cast<std::int32_t>(now));
    return result;
}

} // namespace tallyhawk
