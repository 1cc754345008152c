#pragma once

#include "core/update/download_pass.h"
#include "core/update/site_lists_refresh.h"

#include <optional>
#include <stop_token>
#include <string>

namespace tallyhawk
{

class UpdateHost;
struct UpdateContext;

// What one update cycle did, for a host that reports it (the command line).
struct CycleOutcome
{
    std::optional<std::string> serverVersion;
    bool newerVersion = false;
    bool exitRequested = false;
    std::optional<SiteListsRefresh> lists;
    DownloadCounts counts;
    bool summaryPosted = false;
};

// The pass of each program start: connection titles, the version check and its prompts, the site list
// refresh when due (or still owed), the download and merge of every kind, the summary alert, and the
// start of the download and alert timers. The stores are loaded and the weekly upkeep has run before it.
class UpdateCycle
{
public:
    static CycleOutcome Run(UpdateContext& context, UpdateHost& host, std::stop_token stop);

    // Whether a server's version text names a newer program: its first three bytes, as unsigned bytes,
    // compare greater than those of kProgramVersion with its terminating zero (33, 4 and 321 are newer;
    // 32, 31, 100 and 3 are not). A zero byte ends the text.
    static bool IsNewerVersion(std::string_view serverVersion);

    // The title text with the server's address in place of %s.
    static std::string Title(std::string_view format, std::string_view address);

private:
    // The version check and its prompts; true when the user chose to exit.
    static bool CheckVersion(UpdateContext& context, UpdateHost& host, CycleOutcome& outcome);
};

} // namespace tallyhawk
