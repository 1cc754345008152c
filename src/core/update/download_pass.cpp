#include "core/update/download_pass.h"

#include "core/common/item_kind.h"
#include "core/protocol/server_connection.h"
#include "core/settings/settings.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "core/update/alert_gate.h"
#include "core/update/highest_ids.h"
#include "core/update/lists_refresh_step.h"
#include "core/update/reply_slices.h"
#include "core/update/update_context.h"
#include "core/update/update_host.h"
#include "core/update/weekly_upkeep.h"

namespace tallyhawk
{

namespace
{

// A request without a result still reached the server when the server itself refused it.
bool ServerAnswered(const ServerConnection& connection)
{
    const ServerFailure failure = connection.lastFailure();
    return failure == ServerFailure::ErrorReply || failure == ServerFailure::OtherReply;
}

// One kind: request, then merge slice by slice. The kept count, whatever the stop cut short.
int DownloadKind(UpdateContext& context,
                 AlertSink& alerts,
                 std::int32_t kind,
                 ItemStore& store,
                 bool alertEach,
                 std::stop_token stop,
                 bool& reached)
{
    HighestIds highest(context.folder);
    const std::int32_t askedAfter = highest.AskAfter(kind, store);
    std::unique_ptr<WireMessage> reply = context.connection.FetchItems(kind, askedAfter);
    if (!reply) {
        reached = reached || ServerAnswered(context.connection);
        return 0;
    }
    reached = true;
    const std::optional<std::string> keywords = DownloadPass::KeywordList(context.settings, kind);
    int kept = 0;
    ForEachReplySlice(*reply, DownloadPass::kItemsPerSlice, [&](const WireMessage& slice) {
        if (stop.stop_requested()) {
            return false;
        }
        const MergeResult merged = MergeReply(store, slice, askedAfter, keywords, alertEach, &alerts);
        kept += merged.kept;
        // A failed append ends this kind's merge: what was stored stays, and the next pass asks after it.
        return merged.status == kOk;
    });
    // The deals store counts coupons and deals apart, whichever request brought them.
    if (IsKind(kind, ItemKind::Topic)) {
        highest.Remember(kind, store);
    } else {
        highest.Remember(KindNumber(ItemKind::Coupon), store);
        highest.Remember(KindNumber(ItemKind::Deal), store);
    }
    return kept;
}

} // namespace

std::optional<std::string> DownloadPass::KeywordList(const Settings& settings, std::int32_t kind)
{
    const bool topics = IsKind(kind, ItemKind::Topic);
    const bool use = (topics ? settings.useTopicsFilter : settings.useDealsFilter) == 1;
    const std::string& list = topics ? settings.topicsFilter : settings.dealsFilter;
    if (!use || list.empty()) {
        return std::nullopt;
    }
    return list;
}

DownloadCounts
DownloadPass::DownloadItems(UpdateContext& context, UpdateHost& host, bool alertEach, std::stop_token stop)
{
    context.connection.SetStopToken(stop);
    std::optional<AlertGate> gate;
    if (context.ruledAlerts) {
        gate.emplace(context.settings, context.folder, host);
        if (context.settings.showNotify == 1) {
            gate->ReleaseHeld();
        }
    }
    AlertSink& alerts = gate ? static_cast<AlertSink&>(*gate) : host;
    DownloadCounts counts;
    struct Step
    {
        ItemKind kind;
        ItemStore& store;
        int& kept;
    };
    const Step steps[] = {
        {ItemKind::Coupon, context.deals, counts.coupons},
        {ItemKind::Deal, context.deals, counts.deals},
        {ItemKind::Topic, context.topics, counts.topics},
    };
    for (const Step& step : steps) {
        if (stop.stop_requested()) {
            break;
        }
        step.kept = DownloadKind(
            context, alerts, KindNumber(step.kind), step.store, alertEach, stop, counts.reached);
    }
    counts.stopped = stop.stop_requested();
    return counts;
}

DownloadCounts DownloadPass::Run(UpdateContext& context, UpdateHost& host, std::stop_token stop)
{
    DownloadCounts counts = DownloadItems(context, host, context.settings.showNotify == 1, stop);
    if (!counts.stopped) {
        host.ServerReached(counts.reached);
    }
    if (!counts.stopped && WeeklyUpkeep::RefreshPending(context.settings)) {
        RefreshListsStep(context, host, stop);
        counts.stopped = stop.stop_requested();
    }
    return counts;
}

} // namespace tallyhawk
