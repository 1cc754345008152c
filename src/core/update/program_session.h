#pragma once

#include "core/compare/search_index.h"
#include "core/net/http_fetcher.h"
#include "core/protocol/server_connection.h"
#include "core/settings/settings.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_store.h"
#include "core/update/pass_runner.h"
#include "core/update/session_commands.h"
#include "core/update/update_context.h"
#include "core/update/weekly_upkeep.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tallyhawk
{

class UpdateHost;

// What one run of the program owns, for the desktop program and the command line's update and watch:
// the settings, the search index, the three item stores, the shopping database, the connection, the
// fetcher, the update context and the pass runner. The members go in the order the program ends: the
// passes stopped and joined first, then the connection and the shopping database, then the stores,
// the search index and last the settings.
//
// The start, in this order: OpenStores; RunWeeklyUpkeep; the views loaded by the program (or
// LearnHighestIds where none is); StartPasses, or the command line's own run of the passes on
// context(). Stop (also run by the destructor) ends it.
//
// Threads: RunWeeklyUpkeep may run on a worker while the program's thread loads views. It archives
// through item stores of its own on the same files (operations on one file wait for each other across
// stores), so it never replaces a view, and the shopping database serializes its own operations. It must
// have returned before StartPasses or the command line's own passes, which read the listsRefreshDue it
// records. Every other method is for the program's thread. While a pass runs, the stores and the
// shopping database may be used (they take their own locks) and the settings edited (each pass works on
// a snapshot of them), but the context is not to be changed.
class ProgramSession
{
public:
    static constexpr const char* kDealsFile = "deal.lst";
    static constexpr const char* kTopicsFile = "topic.lst";

    // The user's settings.
    ProgramSession();
    // The settings of another file (tests, a profile of its own); none: the user's.
    explicit ProgramSession(const std::optional<std::string>& settingsFile);
    // Settings given as a value (the command line sets the server from its options).
    explicit ProgramSession(Settings settings);
    ~ProgramSession();
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    // Opens the item stores and the shopping database (with its lists) on the data folder, the bare
    // names in the current folder by default; the context's folder becomes it. Touches no item file.
    void OpenStores(const std::filesystem::path& folder = {});
    // The weekly upkeep (WeeklyUpkeep) on the data folder; records listsRefreshDue in the context.
    UpkeepResult RunWeeklyUpkeep();
    // Both item stores' highest ids from their files, their views left empty.
    void LearnHighestIds();
    // The update cycle on the pass runner's thread, with `host` for its calls; the download ticks then
    // go through passes(). Once: false when the passes were started or the session stopped.
    bool StartPasses(UpdateHost& host);
    // Stops a running pass at its next safe point and joins it; no pass starts after. Runs once.
    void Stop();

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    ServerConnection& connection() { return connection_; }
    HttpFetcher& fetcher() { return fetcher_; }
    ItemStore& deals() { return deals_; }
    ItemStore& topics() { return topics_; }
    // A second store on the deals' file for the summary page, so its hot list never replaces the
    // view of the deals' folder.
    ItemStore& hotDeals() { return hotDeals_; }
    ShoppingDatabase& shopping() { return shopping_; }
    SearchIndex& searches() { return searches_; }
    UpdateContext& context() { return context_; }
    // The runner once StartPasses ran; none before and after Stop.
    PassRunner* passes() const { return passes_.get(); }
    SessionCommands commands() { return SessionCommands(deals_, topics_, shopping_, context_.folder); }

private:
    Settings settings_;
    SearchIndex searches_;
    // Closed deals, topics, hot deals: the reverse of their order here.
    ItemStore hotDeals_;
    ItemStore topics_;
    ItemStore deals_;
    ShoppingDatabase shopping_;
    HttpFetcher fetcher_;
    ServerConnection connection_;
    UpdateContext context_;
    // As OpenStores was given it, so that the upkeep's stores name the files as the session's do.
    std::string folderName_;
    bool stopped_ = false;
    // Last: stopped and joined before anything above goes.
    std::unique_ptr<PassRunner> passes_;
};

} // namespace tallyhawk
