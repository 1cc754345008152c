#pragma once

#include "core/compare/agent_configuration.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/compare/search_observer.h"
#include "core/compare/web_agent.h"
#include "core/net/http_fetcher.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tallyhawk
{

// A price comparison run: one worker thread per agent that serves the category fetches the agent's
// result page, scrapes it, and reports to the observer. The spider also owns the agent configuration
// and the index through which results are saved.
//
// Every report is made in two steps: the run's state (running list, results) changes under the lock
// and the report is queued; then, outside that lock, the queue is handed to the observer under a
// second lock that Detach also takes. So no report waits on the observer while the run's lock is held,
// reports arrive one at a time in order, and once Detach has returned no report reaches that observer.
//
// Each Start begins a new run. Workers of an earlier run may still be fetching: their reports, and
// their offers, are dropped, so they never mix into the new run.
class WebSpider
{
public:
    static constexpr const char* kConfigurationFile = "webspider.xml";
    // The pause at the start of each worker, before anything it reports.
    static constexpr std::chrono::milliseconds kWorkerPause{100};

    // The files are "webspider.xml", "pricecmp.dat" and the "WebSearch" folder in `baseFolder`, or
    // the bare names (relative to the current folder) when it is empty.
    explicit WebSpider(const std::string& baseFolder = "", HttpFetcher fetcher = HttpFetcher());
    // Stops every worker and waits for it.
    ~WebSpider();
    WebSpider(const WebSpider&) = delete;
    WebSpider& operator=(const WebSpider&) = delete;

    // Reloads the agent configuration from its file (AgentConfiguration::Load's status) and lays the
    // user's own agents over it. Workers keep the agents they run.
    std::int32_t LoadConfiguration();
    AgentConfiguration& configuration() { return configuration_; }
    SearchIndex& index() { return index_; }
    const std::string& configurationPath() const { return configurationPath_; }

    // Starts a worker for each agent of the configuration, in file order, that serves the category, and
    // reports each as started. The number of agents started; 0 when none serves the category.
    std::size_t Start(std::int32_t categoryId, std::string_view searchText, SearchObserver* observer);
    // Asks every running worker to stop and empties the running list: each worker still fetching
    // reports failed soon, every report from now on is followed by SearchDone.
    void StopAll();
    // No report reaches `observer` after this returns (also when called from inside a report).
    void Detach(SearchObserver* observer);
    // Waits until every worker, of this run and earlier ones, has ended.
    void WaitForWorkers();

    // The reports of Start and the workers, for the current run only; a report of an earlier run is
    // dropped. AgentStarted puts the agent on the running list.
    void AgentStarted(const std::shared_ptr<WebAgent>& agent, std::uint64_t run);
    void
    AgentFinished(const std::shared_ptr<WebAgent>& agent, std::uint64_t run, std::optional<ResultList> list);
    void AgentFailed(const std::shared_ptr<WebAgent>& agent, std::uint64_t run, std::int32_t status);

    // The run's results, read under the lock.
    ResultList Results() const;
    std::size_t ResultCount() const;
    // Saves the run's results as a new comparison (SearchIndex::SaveSearch), under the lock.
    std::int32_t SaveResults();
    std::int32_t categoryId() const;
    std::string searchText() const;

private:
    struct Report
    {
        enum class Kind
        {
            Started,
            Done,
            Failed,
            SearchDone,
        };
        Kind kind = Kind::Started;
        std::uint64_t run = 0;
        std::shared_ptr<WebAgent> agent; // none for SearchDone
        std::int32_t value = 0;
    };

    struct Worker
    {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    void Work(std::shared_ptr<WebAgent> agent,
              std::uint64_t run,
              std::string searchText,
              std::stop_token stop,
              std::shared_ptr<std::atomic<bool>> ended);
    // With the lock held: puts the agent on the running list and queues its start.
    bool AgentStartedLocked(const std::shared_ptr<WebAgent>& agent, std::uint64_t run);
    // With the lock held: takes the agent off the running list and queues SearchDone when that
    // emptied it.
    void LeaveRunningList(const std::shared_ptr<WebAgent>& agent);
    void Deliver();
    void ReapEndedWorkers();

    AgentConfiguration configuration_;
    SearchIndex index_;
    std::string configurationPath_;
    std::string userAgentsPath_;
    HttpFetcher fetcher_;

    // The run's state.
    mutable std::mutex lock_;
    std::vector<std::shared_ptr<WebAgent>> running_;
    std::string searchText_;
    std::int32_t categoryId_ = 0;
    ResultList results_;
    std::uint64_t run_ = 0;
    std::deque<Report> pending_;

    // The observer and the delivery of reports to it.
    std::recursive_mutex reportLock_;
    SearchObserver* observer_ = nullptr;
    std::uint64_t observerRun_ = 0;

    std::mutex workersLock_;
    std::vector<Worker> workers_;
};

} // namespace tallyhawk
