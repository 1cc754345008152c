#pragma once

#include "core/store/alert_memory.h"
#include "core/store/alert_record.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace tallyhawk
{

class Settings;

// Stands between the item alerts of a pass and where they go, and lets through only what the user
// wants now: an item of a muted store or category is not alerted, nor a deal whose normalised title and
// store were alerted within the last AlertAgainDays days; during quiet hours or a pause an alert is
// held, and once neither holds any more the held alerts go out as one summary (ReleaseHeld). Program
// notices pass unchanged. Items are stored whatever it decides: it sees only alerts.
class AlertGate : public AlertSink
{
public:
    enum class Verdict
    {
        Alert,
        Muted,
        Repeat,
        Held,
    };

    // Works on the alert memory of `folder` (AlertMemory::kFileName) for its lifetime.
    AlertGate(const Settings& settings, const std::filesystem::path& folder, AlertSink& out);

    void PostAlert(std::unique_ptr<ItemRecord> record) override;

    // What becomes of an item alert arriving now, remembered as the decision requires.
    Verdict Judge(const ItemRecord& record);
    // Posts the held alerts as one summary when quiet hours and the pause are over. True when it did.
    bool ReleaseHeld();

    // Whether local time `now` falls in the quiet hours of `settings` (start included, end not).
    static bool InQuietHours(const Settings& settings, std::int32_t now);
    // Whether alerts are held at `now`: quiet hours, or a pause not yet over.
    bool Holding(std::int32_t now);

private:
    const Settings& settings_;
    AlertMemory memory_;
    AlertSink& out_;
};

} // namespace tallyhawk
