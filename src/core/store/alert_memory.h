#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tallyhawk
{

// What the alerting remembers between passes and programs, in the small SQLite file "alerts.db" of the
// data folder: the deals already alerted (kept 90 days), the muted stores and categories, the alerts
// held during quiet hours or a pause, and the end of a pause. One transaction per change, so the
// desktop program and the command line may share it. A file that cannot be opened or read is not
// fatal: the memory then remembers nothing, and every alert goes out as before.
class AlertMemory
{
public:
    static constexpr const char* kFileName = "alerts.db";
    static constexpr std::int32_t kKeptSeconds = 90 * 86400;

    enum class Muted
    {
        Store,
        Category,
    };
    // Alerts held back, by kind.
    struct Held
    {
        int coupons = 0;
        int deals = 0;
        int topics = 0;
        int total() const { return coupons + deals + topics; }
    };

    // Opens (or creates) the file; usable() says whether that worked.
    explicit AlertMemory(const std::filesystem::path& file);
    ~AlertMemory();
    AlertMemory(const AlertMemory&) = delete;
    AlertMemory& operator=(const AlertMemory&) = delete;

    bool usable() const { return db_ != nullptr; }
    // The reason the file is not usable, for a message.
    const std::string& problem() const { return problem_; }

    // Whether a deal with this key (DealKey) was alerted after `since`.
    bool AlertedSince(const std::string& key, std::int32_t since);
    // Notes that it was alerted at `at`, and forgets what is older than 90 days before it.
    bool Remember(const std::string& key, std::int32_t at);

    // Names compare without regard to case, spaces or punctuation. Mute and Unmute say whether
    // anything changed.
    bool Mute(Muted what, std::string_view name);
    bool Unmute(Muted what, std::string_view name);
    bool IsMuted(Muted what, std::string_view name);
    // As the user wrote them, in alphabetical order.
    std::vector<std::string> MutedNames(Muted what);

    bool Hold(std::int32_t kind);
    // What is held, which is then forgotten.
    Held TakeHeld();
    Held PeekHeld();

    // The end of a pause (seconds since 1970), 0 when none was set.
    std::int32_t PausedUntil();
    bool SetPausedUntil(std::int32_t until);

private:
    bool Execute(const char* sql);
    struct Statement;

    sqlite3* db_ = nullptr;
    std::string problem_;
};

// A title or store name as the repeat check compares it: letters a to z folded to lower case,
// a trailing "(2)" (any number) and punctuation dropped, runs of spaces collapsed to one, no spaces
// at either end.
std::string NormalisedText(std::string_view text);
// The key of a deal in the repeat memory: its normalised title and store.
std::string DealKey(std::string_view title, std::string_view storeName);

} // namespace tallyhawk
