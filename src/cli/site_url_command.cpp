#include "cli/commands.h"
#include "core/common/site_addresses.h"
#include "core/platform/browser_launcher.h"
#include "core/settings/site_url.h"

#include <functional>
#include <limits>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "site-url";

struct SiteAddress
{
    const char* name;
    std::vector<const char*> arguments;
    std::function<std::string(const std::string& base, const std::vector<std::int32_t>& numbers)> build;
};

const std::vector<SiteAddress>& Addresses()
{
    static const std::vector<SiteAddress> addresses = {
        {"root",
         {},
         [](const std::string& b, const auto&) {
             return SiteRootUrl(b);
         }},
        {"redir",
         {"KIND", "ID"},
         [](const std::string& b, const auto& n) {
             return RedirectPageUrl(b, n[0], n[1]);
         }},
        {"coupon",
         {"ID"},
         [](const std::string& b, const auto& n) {
             return CouponPageUrl(b, n[0]);
         }},
        {"deal",
         {"ID"},
         [](const std::string& b, const auto& n) {
             return DealPageUrl(b, n[0]);
         }},
        {"item",
         {"KIND", "ID"},
         [](const std::string& b, const auto& n) {
             return ItemPageUrl(b, n[0], n[1]);
         }},
        {"messages",
         {"KIND", "ID"},
         [](const std::string& b, const auto& n) {
             return MessagesPageUrl(b, n[0], n[1]);
         }},
        {"cbstores",
         {},
         [](const std::string& b, const auto&) {
             return CashBackStoresUrl(b);
         }},
        {"download",
         {},
         [](const std::string& b, const auto&) {
             return DownloadPageUrl(b);
         }},
        {"webspider",
         {},
         [](const std::string& b, const auto&) {
             return WebSpiderConfigUrl(b);
         }},
        {"stores",
         {"IDX"},
         [](const std::string& b, const auto& n) {
             return StoresUpdateUrl(b, n[0]);
         }},
        {"categories",
         {"IDX"},
         [](const std::string& b, const auto& n) {
             return CategoriesUpdateUrl(b, n[0]);
         }},
    };
    return addresses;
}

// "redir KIND ID".
std::string Synopsis(const SiteAddress& address)
{
    std::string text = address.name;
    for (const char* argument : address.arguments) {
        text += std::string(" ") + argument;
    }
    return text;
}

std::string NameList()
{
    std::string text;
    for (const SiteAddress& address : Addresses()) {
        text += (text.empty() ? "" : ", ") + Synopsis(address);
    }
    return text;
}

} // namespace

int RunSiteUrl(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "Print an address of the service's site (its base is the setting SiteUrl, else the\n"
        "build's constant). NAME is one of: "
            + NameList() + ".");
    commandLine.Flag("--open", "also open the address in the web browser")
        .Positional("NAME", "which address")
        .Positional("ARGS", "its numbers (kinds, ids, indexes)", true, true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::vector<std::string>& words = commandLine.positionals();
    const SiteAddress* address = nullptr;
    for (const SiteAddress& candidate : Addresses()) {
        if (words[0] == candidate.name) {
            address = &candidate;
        }
    }
    if (!address) {
        return UsageError(
            ctx, kCommand, "Unknown address " + words[0] + "; expected one of: " + NameList() + ".");
    }
    if (words.size() - 1 != address->arguments.size()) {
        return UsageError(ctx, kCommand, "Expected: " + Synopsis(*address) + ".");
    }
    std::vector<std::int32_t> numbers;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::optional<long long> value = ParseInteger(words[i]);
        if (!value || *value < std::numeric_limits<std::int32_t>::min()
            || *value > std::numeric_limits<std::int32_t>::max()) {
            return UsageError(ctx,
                              kCommand,
                              std::string(address->arguments[i - 1]) + " must be a whole number, not "
                                  + words[i] + ".");
        }
        numbers.push_back(static_cast<std::int32_t>(*value));
    }
    std::string url = address->build(SiteBaseUrl(), numbers);
    ctx.out << url << "\n";
    if (commandLine.Has("--open")) {
        BrowserLauncher launcher;
        if (!launcher.Open(url, true)) {
            return Failure(ctx, "The web browser could not be started for " + url + ".");
        }
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
