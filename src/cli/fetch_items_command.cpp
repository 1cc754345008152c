#include "cli/commands.h"
#include "cli/file_failure.h"
#include "cli/item_output.h"
#include "cli/server_options.h"
#include "core/common/display_text.h"
#include "core/common/item_kind.h"
#include "core/platform/record_file.h"
#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "core/settings/settings.h"
#include "core/store/alert_record.h"
#include "core/store/item_filter.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "core/update/download_pass.h"

#include <ctime>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "fetch-items";

struct KindOption
{
    const char* option;
    std::int32_t kind;
    const char* request; // as the failure sentence names it
};

constexpr KindOption kKinds[] = {
    {"coupons", KindNumber(ItemKind::Coupon), "coupons"},
    {"deals", KindNumber(ItemKind::Deal), "deals"},
    {"topics", KindNumber(ItemKind::Topic), "forum topics"},
};

const char* ItemKindName(std::int32_t kind)
{
    switch (kind) {
    case KindNumber(ItemKind::Coupon):
        return "coupon";
    case KindNumber(ItemKind::Deal):
        return "deal";
    case KindNumber(ItemKind::Topic):
        return "forum topic";
    default:
        return "unknown kind";
    }
}

// A text of the preview as the store would keep it (`stored`), or null when the reply left it out.
nlohmann::ordered_json JsonText(const std::optional<std::string>& received, std::string_view stored)
{
    return received ? nlohmann::ordered_json(DisplayText(stored)) : nlohmann::ordered_json(nullptr);
}

std::string PlainText(const std::optional<std::string>& received, std::string_view stored)
{
    return received ? TerminalText(stored) : "(absent)";
}

// Seconds since 1970 as a UTC date, so the output does not depend on the local time zone.
std::string UtcDate(std::int32_t seconds)
{
    std::time_t time = seconds;
    std::tm parts{};
    char text[32];
    if (::gmtime_r(&time, &parts) == nullptr
        || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0) {
        return {};
    }
    return text;
}

void PrintJson(CliContext& ctx, std::int32_t count, const WireMessage& reply, std::int32_t present)
{
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (std::int32_t k = 0; k < present; ++k) {
        ReplyItem item = ReadReplyItem(reply, k);
        const ItemRecord stored = StoredItemOf(item, 0);
        items.push_back({{"id", item.id},
                         {"kind", item.kind},
                         {"storeId", item.storeId},
                         {"categoryId", item.categoryId},
                         {"date", item.date},
                         {"hot", item.hot},
                         {"title", JsonText(item.title, stored.title())},
                         {"description", JsonText(item.description, stored.description())},
                         {"extra", JsonText(item.extra, stored.extra())},
                         {"storeName", JsonText(item.storeName, stored.storeName())},
                         {"categoryName", JsonText(item.categoryName, stored.categoryName())}});
    }
    ctx.out << nlohmann::ordered_json{{"count", count}, {"items", std::move(items)}}.dump(2) << "\n";
}

void PrintPlain(CliContext& ctx, std::int32_t count, const WireMessage& reply, std::int32_t present)
{
    if (count == kFieldAbsent) {
        ctx.out << "The reply gives no item count.\n";
        return;
    }
    ctx.out << count << (count == 1 ? " item" : " items") << " in the reply.\n";
    for (std::int32_t k = 0; k < present; ++k) {
        ReplyItem item = ReadReplyItem(reply, k);
        const ItemRecord stored = StoredItemOf(item, 0);
        ctx.out << "\nitem " << k + 1 << ": id " << item.id << ", " << ItemKindName(item.kind) << " (kind "
                << item.kind << "), store " << item.storeId << ", category " << item.categoryId << ", date "
                << item.date;
        if (item.date > 0) {
            ctx.out << " (" << UtcDate(item.date) << ")";
        }
        ctx.out << ", hot " << item.hot << "\n"
                << "  title:         " << PlainText(item.title, stored.title()) << "\n"
                << "  description:   " << PlainText(item.description, stored.description()) << "\n"
                << "  extra:         " << PlainText(item.extra, stored.extra()) << "\n"
                << "  store name:    " << PlainText(item.storeName, stored.storeName()) << "\n"
                << "  category name: " << PlainText(item.categoryName, stored.categoryName()) << "\n";
    }
    if (count > present) {
        // Announced items past the end of the payload read wholly absent; one line says so.
        ctx.out << "\n"
                << count - present << " announced " << (count - present == 1 ? "item carries" : "items carry")
                << " no fields.\n";
    }
}

// Collects the alerts a merge hands out, to print them once the merge is done.
class CollectedAlerts : public AlertSink
{
public:
    void PostAlert(std::unique_ptr<ItemRecord> record) override { records.push_back(std::move(record)); }

    std::vector<std::unique_ptr<ItemRecord>> records;
};

bool Exists(const std::string& file)
{
    std::error_code error;
    return std::filesystem::exists(file, error);
}

const char* ListFileOf(std::int32_t kind)
{
    return IsKind(kind, ItemKind::Topic) ? "topic.lst" : "deal.lst";
}

// The keyword list a download pass would use for this kind, when --keywords is not given.
std::optional<std::string> SettingsKeywords(std::int32_t kind)
{
    return DownloadPass::KeywordList(Settings(), kind);
}

// A failed append leaves a whole file when the write itself failed, a damaged one when the damage was
// there before.
bool WholeListFile(const std::string& file)
{
    RecordFile list(ItemStore::kFrame);
    FrameCheck check;
    return list.Open(file, RecordFile::Mode::Read) == kOk && list.CheckFrames(check) == kOk;
}

std::string ListFileFailureText(const std::string& file, int status)
{
    switch (status) {
    case kCannotOpen:
        return file + CannotOpenReason(file);
    case kBadFormat:
        if (WholeListFile(file)) {
            return file + " could not be written (the disk may be full); it holds what was kept before.";
        }
        return DamagedText(file, ItemsRepairCommand(file)) + " Nothing is added after the damage.";
    default:
        return file + " could not be written (status " + std::to_string(status) + ").";
    }
}

// Merges the reply into the data folder's list file and prints each alert, then the number kept.
int StoreReply(CliContext& ctx,
               const CommandLine& commandLine,
               const KindOption& kind,
               ItemStore& store,
               const WireMessage& reply,
               std::int32_t askedAfter)
{
    std::optional<std::string> keywords = commandLine.Value("--keywords");
    if (!keywords) {
        keywords = SettingsKeywords(kind.kind);
    } else if (keywords->empty()) {
        keywords.reset();
    }
    CollectedAlerts alerts;
    const MergeResult merged = MergeReply(store, reply, askedAfter, keywords, true, &alerts);
    const std::string file = ListFileOf(kind.kind);
    if (commandLine.Has("--json")) {
        nlohmann::ordered_json items = nlohmann::ordered_json::array();
        for (const auto& record : alerts.records) {
            items.push_back(RecordJson(*record));
        }
        ctx.out << nlohmann::ordered_json{{"file", file},
                                          {"kept", merged.kept},
                                          {"alreadyStored", merged.alreadyStored},
                                          {"alerts", std::move(items)}}
                       .dump(2)
                << "\n";
    } else {
        for (const auto& record : alerts.records) {
            ctx.out << "alert: ";
            PrintRecord(ctx.out, *record);
        }
        ctx.out << merged.kept << (merged.kept == 1 ? " new item" : " new items") << " kept in " << file;
        if (merged.alreadyStored > 0) {
            ctx.out << "; " << merged.alreadyStored << " already stored";
        }
        ctx.out << ".\n";
    }
    if (merged.status != kOk) {
        return Failure(ctx,
                       "Storing the items stopped after " + std::to_string(merged.kept)
                           + " of them: " + ListFileFailureText(file, merged.status));
    }
    return kExitOk;
}

} // namespace

int RunFetchItems(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "Ask the deal server for the coupons, deals or forum topics after an id and print "
        "the reply's items as they would be merged; with --store, merge them into the data folder's "
        "list file and print each new item.");
    commandLine.Option("--kind", "coupons|deals|topics", "which items to ask for (required)")
        .Option("--after", "ID", "the highest id already held (default 0: everything the server offers)");
    AddServerOptions(commandLine);
    commandLine.Flag("--store", "merge the items into deal.lst (coupons, deals) or topic.lst (topics)")
        .Option("--keywords",
                "LIST",
                "with --store: keep only items matching this comma-separated keyword list (default: the "
                "settings' filter for the kind when it is on)")
        .Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }

    std::optional<std::string> kindOption = commandLine.Value("--kind");
    if (!kindOption) {
        return UsageError(ctx, kCommand, "The option --kind is required.");
    }
    const KindOption* kind = nullptr;
    for (const KindOption& candidate : kKinds) {
        if (*kindOption == candidate.option) {
            kind = &candidate;
        }
    }
    if (kind == nullptr) {
        return UsageError(ctx, kCommand, "The kind must be coupons, deals or topics.");
    }
    std::int32_t lastId = 0;
    if (std::optional<std::string> after = commandLine.Value("--after")) {
        std::optional<long long> number = ParseInteger(*after);
        if (!number || *number < 0 || *number > std::numeric_limits<std::int32_t>::max()) {
            return UsageError(
                ctx, kCommand, "The id after --after must be a whole number from 0 to 2147483647.");
        }
        lastId = static_cast<std::int32_t>(*number);
    }
    ServerEndpoint endpoint;
    if (std::optional<int> exit = ReadServerEndpoint(ctx, commandLine, kCommand, endpoint)) {
        return *exit;
    }
    const bool storing = commandLine.Has("--store");
    if (commandLine.Has("--keywords") && !storing) {
        return UsageError(ctx, kCommand, "The option --keywords goes with --store.");
    }
    ItemStore store;
    if (storing) {
        if (!EnterDataFolder(ctx, commandLine)) {
            return kExitFailure;
        }
        store.Open(ListFileOf(kind->kind));
        // A filter nothing passes: Load only learns the highest ids, the view stays empty.
        ItemFilter nothing;
        nothing.from = std::numeric_limits<std::int32_t>::max();
        nothing.to = std::numeric_limits<std::int32_t>::max();
        // A damaged file is refused by the merge itself, after the request: a torn tail is not damage.
        if (store.Load(nothing) == kCannotOpen && Exists(ListFileOf(kind->kind))) {
            return Failure(ctx, ListFileFailureText(ListFileOf(kind->kind), kCannotOpen));
        }
        if (!commandLine.Has("--after")) {
            lastId = store.HighestId(kind->kind);
        }
    }

    ServerConnection connection;
    connection.Configure(endpoint.host, endpoint.port);
    connection.SetRequestLimit(endpoint.timeLimit);
    std::unique_ptr<WireMessage> reply = connection.FetchItems(kind->kind, lastId);
    if (!reply) {
        return Failure(ctx,
                       ServerFailureMessage(endpoint,
                                            "reply to the " + std::string(kind->request) + " request",
                                            connection.lastFailure()));
    }
    if (storing) {
        return StoreReply(ctx, commandLine, *kind, store, *reply, lastId);
    }
    const std::int32_t count = ReplyItemCount(*reply);
    const std::int32_t present = ReplyItemsPresent(*reply);
    if (commandLine.Has("--json")) {
        PrintJson(ctx, count, *reply, present);
    } else {
        PrintPlain(ctx, count, *reply, present);
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
