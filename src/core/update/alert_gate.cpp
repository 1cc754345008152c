#include "core/update/alert_gate.h"

#include "core/common/clock.h"
#include "core/common/item_kind.h"
#include "core/settings/settings.h"

#include <ctime>

namespace tallyhawk
{

namespace
{

constexpr std::int32_t kDaySeconds = 86400;

int MinuteOfDay(std::int32_t now)
{
    const std::time_t time = now;
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return 0;
    }
    return local.tm_hour * 60 + local.tm_min;
}

} // namespace

AlertGate::AlertGate(const Settings& settings, const std::filesystem::path& folder, AlertSink& out)
    : settings_(settings)
    , memory_(folder / AlertMemory::kFileName)
    , out_(out)
{ }

bool AlertGate::InQuietHours(const Settings& settings, std::int32_t now)
{
    if (settings.quietHours != 1 || settings.quietStart == settings.quietEnd) {
        return false;
    }
    const int minute = MinuteOfDay(now);
    if (settings.quietStart < settings.quietEnd) {
        return minute >= settings.quietStart && minute < settings.quietEnd;
    }
    // Across midnight: from the start to the end of the day, and from midnight to the end.
    return minute >= settings.quietStart || minute < settings.quietEnd;
}

bool AlertGate::Holding(std::int32_t now)
{
    return InQuietHours(settings_, now) || memory_.PausedUntil() > now;
}

AlertGate::Verdict AlertGate::Judge(const ItemRecord& record)
{
    if (!IsStoredKind(record.kind)) {
        return Verdict::Alert;
    }
    if (memory_.IsMuted(AlertMemory::Muted::Store, record.storeName())
        || memory_.IsMuted(AlertMemory::Muted::Category, record.categoryName())) {
        return Verdict::Muted;
    }
    const std::int32_t now = Clock::Now();
    const std::string key = DealKey(record.title(), record.storeName());
    if (settings_.alertAgainDays > 0
        && memory_.AlertedSince(
            key, now - std::min(settings_.alertAgainDays, Settings::kLongestAlertAgainDays) * kDaySeconds)) {
        return Verdict::Repeat;
    }
    // A held deal counts as alerted: the summary told of it.
    memory_.Remember(key, now);
    if (Holding(now)) {
        memory_.Hold(record.kind);
        return Verdict::Held;
    }
    return Verdict::Alert;
}

void AlertGate::PostAlert(std::unique_ptr<ItemRecord> record)
{
    if (record && Judge(*record) == Verdict::Alert) {
        out_.PostAlert(std::move(record));
    }
}

bool AlertGate::ReleaseHeld()
{
    if (memory_.PeekHeld().total() == 0 || Holding(Clock::Now())) {
        return false;
    }
    const AlertMemory::Held held = memory_.TakeHeld();
    if (held.total() == 0) {
        return false;
    }
    out_.PostAlert(MakeAwaySummary(held.coupons + held.deals, held.topics));
    return true;
}

} // namespace tallyhawk
