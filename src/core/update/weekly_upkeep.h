#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk
{

class ItemStore;
class Settings;
class ShoppingDatabase;

// What the weekly upkeep of the start-up did.
struct UpkeepResult
{
    // The site lists are to be refreshed by the update cycle.
    bool listsRefreshDue = false;
    // The item stores and shopping files were archived.
    bool archived = false;
    // The archives that failed: the file's path and the status.
    std::vector<std::pair<std::string, std::int32_t>> failures;
};

// The start-up's weekly upkeep, run before the stores are loaded. On the first start (no
// "LastArchive") the lists become due and "LastArchive" becomes now. When a week or more has passed,
// or "LastArchive" lies in the future (the clock was set back), the lists become due, the highest ids
// are remembered (HighestIds), both item stores and both shopping files are archived, and
// "LastArchive" becomes now. A refresh that is still owed ("ListsRefreshPending") is due again
// without archiving.
class WeeklyUpkeep
{
public:
    static constexpr std::int32_t kInterval = 604800; // 7 days
    static constexpr const char* kPendingSetting = "ListsRefreshPending";

    // `folder` is the data folder, where HighestIds keeps its file.
    static UpkeepResult Run(const Settings& settings,
                            ItemStore& deals,
                            ItemStore& topics,
                            ShoppingDatabase* shopping,
                            const std::filesystem::path& folder);

    // Whether a site list refresh is owed from an earlier start.
    static bool RefreshPending(const Settings& settings);
    // Marks the refresh owed until MarkRefreshDone.
    static void MarkRefreshPending(const Settings& settings);
    static void MarkRefreshDone(const Settings& settings);

private:
    static void Archive(const std::filesystem::path& folder,
                        ItemStore& deals,
                        ItemStore& topics,
                        ShoppingDatabase* shopping,
                        UpkeepResult& result);
};

} // namespace tallyhawk
