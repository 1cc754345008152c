#include "cli/commands.h"
#include "cli/stop_on_interrupt.h"
#include "cli/time_limit_option.h"
#include "core/common/display_text.h"
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

// A page for a terminal: its lines and tabs as they are, every other control character shown as an
// escape, so a hostile page cannot clear the screen or write the clipboard.
std::string PageForTerminal(std::string_view page)
{
    std::string shown;
    shown.reserve(page.size());
    std::size_t start = 0;
    while (start <= page.size()) {
        std::size_t end = page.find_first_of("\t\n", start);
        if (end == std::string_view::npos) {
            end = page.size();
        }
        std::string_view piece = page.substr(start, end - start);
        if (end < page.size() && page[end] == '\n' && !piece.empty() && piece.back() == '\r') {
            piece.remove_suffix(1); // a CRLF line end is a line end
        }
        shown += TerminalText(piece);
        if (end == page.size()) {
            break;
        }
        shown.push_back(page[end]);
        start = end + 1;
    }
    return shown;
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
    if (ctx.stdoutIsTerminal) {
        *page = PageForTerminal(*page);
    }
    ctx.out.write(page->data(), static_cast<std::streamsize>(page->size()));
    ctx.out.flush();
    return ctx.out ? kExitOk : Failure(ctx, "Cannot write the page to standard output.");
}

} // namespace tallyhawk::cli
