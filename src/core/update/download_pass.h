#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace tallyhawk
{

class Settings;
class UpdateHost;
struct UpdateContext;

// How many items one download kept of each kind.
struct DownloadCounts
{
    int coupons = 0;
    int deals = 0;
    int topics = 0;
    // The pass was asked to stop and ended early.
    bool stopped = false;
    // The deal server answered at least one request (with items or with its own refusal).
    bool reached = false;
};

// The periodic pass (every three minutes after the update cycle): new coupons, deals and forum topics,
// one popup per kept item when ShowNotify is 1, and a site list refresh that an earlier pass still
// owes. No title, no version check, no summary alert.
class DownloadPass
{
public:
    // A merge checks the stop token between slices of this many items.
    static constexpr std::int32_t kItemsPerSlice = 32;

    static DownloadCounts Run(UpdateContext& context, UpdateHost& host, std::stop_token stop);

    // Downloads and merges coupons, deals and forum topics in that order, each after the highest id of
    // its kind ever held, with the keyword lists of the settings. Item alerts pass the alert rules
    // (AlertGate) unless the context says otherwise, and alerts held earlier go out first as one
    // summary once nothing holds them any more. A request without a reply adds
    // nothing. Ends at a safe point (between requests or merged slices) once `stop` is set.
    static DownloadCounts
    DownloadItems(UpdateContext& context, UpdateHost& host, bool alertEach, std::stop_token stop);

    // The keyword list of a kind: DealsFilter for coupons and deals when UseDealsFilter is 1,
    // TopicsFilter for topics when UseTopicsFilter is 1; none when off or empty.
    static std::optional<std::string> KeywordList(const Settings& settings, std::int32_t kind);
};

} // namespace tallyhawk
