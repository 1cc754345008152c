#include "cli/commands.h"
#include "cli/stop_on_interrupt.h"
#include "cli/time_limit_option.h"
#include "core/net/http_fetcher.h"
#include "core/platform/output_file.h"

#include <filesystem>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "fetch-page";

std::chrono::seconds WholeSeconds(const HttpFetcher::Timeouts& timeouts)
{
    return std::chrono::duration_cast<std::chrono::seconds>(timeouts.whole);
}

} // namespace

int RunFetchPage(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "Fetch a web page as the price comparison does: with a desktop browser's headers, "
        "following up to 20 redirects, the body cut below 320000 bytes. Prints the body; "
        "Ctrl-C cancels.");
    commandLine.Positional("URL", "an http or https address")
        .Option("--out", "FILE", "write the body to FILE (whole or not at all) instead of standard output");
    const HttpFetcher::Timeouts defaults;
    AddTimeLimitOption(commandLine, "the whole fetch after SECONDS", WholeSeconds(defaults));
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    HttpFetcher::Timeouts timeouts;
    if (std::optional<int> exit
        = ReadTimeLimit(ctx, commandLine, kCommand, WholeSeconds(defaults), timeouts.whole)) {
        return *exit;
    }
    const std::string& url = commandLine.positionals().front();

    if (ctx.stderrIsTerminal) {
        ctx.err << "Fetching " << url << " ...\n";
    }
    StopOnInterrupt interrupt;
    FetchReport report;
    std::optional<std::string> page = HttpFetcher(timeouts).FetchPage(url, nullptr, interrupt.flag(), report);
    if (!page) {
        return Failure(ctx, "Fetching " + url + " failed: " + FetchFailureText(report) + ".");
    }
    if (std::optional<std::string> outFile = commandLine.Value("--out")) {
        if (!OutputFile::Write(*outFile, *page)) {
            std::error_code error;
            const bool folder = std::filesystem::is_directory(*outFile, error);
            return Failure(
                ctx, "Cannot write " + *outFile + (folder ? ": it is a folder. Name a file to write." : "."));
        }
        return kExitOk;
    }
    ctx.out.write(page->data(), static_cast<std::streamsize>(page->size()));
    ctx.out.flush();
    return ctx.out ? kExitOk : Failure(ctx, "Cannot write the page to standard output.");
}

} // namespace tallyhawk::cli
