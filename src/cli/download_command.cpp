#include "cli/commands.h"
#include "cli/stop_on_interrupt.h"
#include "cli/time_limit_option.h"
#include "core/common/site_addresses.h"
#include "core/net/http_fetcher.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "download";

std::string SitePathUrl(const std::string& base, const std::string& path)
{
    std::string url = SiteRootUrl(base);
    if (path.empty() || path.front() != '/') {
        url += '/';
    }
    return url + path;
}

} // namespace

int RunDownload(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "Download a file of the service's site as the program does: no redirect is followed, "
        "an answer with a status of 400 or above is a failure, the text is saved with line feeds "
        "only and cut below 320000 bytes, and OUTFILE is written whole or not at all. Prints "
        "\"ok\", or says why it failed; Ctrl-C cancels.");
    commandLine
        .Positional("PATH",
                    "path on the site, after its base address (e.g. /webspider.xml); left out with --url",
                    true)
        .Positional("OUTFILE", "file to write, relative to the shell's current folder (not the data folder)")
        .Option("--url", "URL", "download this http or https address instead of the site's PATH")
        .Flag("--json", "print the result as a JSON object (status name, code and message)");
    const HttpFetcher::Timeouts defaults;
    const auto defaultLimit = std::chrono::duration_cast<std::chrono::seconds>(defaults.whole);
    AddTimeLimitOption(commandLine, "the whole download after SECONDS", defaultLimit);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    HttpFetcher::Timeouts timeouts;
    if (std::optional<int> exit = ReadTimeLimit(ctx, commandLine, kCommand, defaultLimit, timeouts.whole)) {
        return *exit;
    }
    const std::vector<std::string>& positionals = commandLine.positionals();
    std::optional<std::string> url = commandLine.Value("--url");
    if (url && positionals.size() != 1) {
        return UsageError(ctx, kCommand, "With --url give OUTFILE alone.");
    }
    if (!url && positionals.size() != 2) {
        return UsageError(ctx, kCommand, "Give PATH and OUTFILE, or --url URL and OUTFILE.");
    }
    if (!url) {
        Settings settings;
        url = SitePathUrl(SiteBaseUrl(settings), positionals[0]);
    }
    const std::string& outFile = positionals.back();

    if (ctx.stderrIsTerminal) {
        ctx.err << "Downloading " << *url << " ...\n";
    }
    StopOnInterrupt interrupt;
    FetchReport report;
    std::int32_t status
        = HttpFetcher(timeouts).DownloadToFile(*url, outFile, nullptr, interrupt.flag(), report);

    if (commandLine.Has("--json")) {
        nlohmann::json result = {
            {"url", *url},
            {"file", outFile},
            {"status", FetchStatusName(status)},
            {"code", status},
        };
        if (status != FETCH_OK) {
            result["message"] = FetchFailureText(report);
        }
        ctx.out << result.dump(2) << "\n";
    } else if (status == FETCH_OK) {
        ctx.out << "ok\n";
    }
    if (status != FETCH_OK) {
        return Failure(ctx, "The download of " + *url + " failed: " + FetchFailureText(report) + ".");
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
