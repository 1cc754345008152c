#include "core/compare/web_spider.h"

#include "core/common/status.h"
#include "core/compare/result_scraper.h"

#include <algorithm>
#include <condition_variable>

namespace tallyhawk
{
namespace
{

std::string InFolder(const std::string& folder, const char* name)
{
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Sleeps for `pause` unless a stop is requested first.
void PauseUnlessStopped(std::chrono::milliseconds pause, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock<std::mutex> hold(mutex);
    wake.wait_for(hold, stop, pause, [] { return false; });
}

} // namespace

WebSpider::WebSpider(const std::string& baseFolder, HttpFetcher fetcher)
    : index_(InFolder(baseFolder, SearchIndex::kIndexFile), InFolder(baseFolder, SearchIndex::kResultsFolder))
    , configurationPath_(InFolder(baseFolder, kConfigurationFile))
    , userAgentsPath_(InFolder(baseFolder, AgentConfiguration::kUserFile))
    , fetcher_(fetcher)
{ }

WebSpider::~WebSpider()
{
    {
        std::lock_guard<std::recursive_mutex> reporting(reportLock_);
        observer_ = nullptr;
    }
    std::lock_guard<std::mutex> guard(workersLock_);
    for (Worker& worker : workers_) {
        worker.thread.request_stop();
    }
    workers_.clear(); // joins
}

std::int32_t WebSpider::LoadConfiguration()
{
    const std::int32_t status = configuration_.Load(configurationPath_);
    const std::int32_t userStatus = configuration_.MergeUserFile(userAgentsPath_);
    // Before the first refresh there is no site file, and the user's own agents serve alone. A
    // damaged user file never stops the site's agents: the agents command reports it.
    if (status == kCannotOpen && configuration_.AgentCount() > 0) {
        return userStatus;
    }
    return status;
}

std::size_t WebSpider::Start(std::int32_t categoryId, std::string_view searchText, SearchObserver* observer)
{
    ReapEndedWorkers();
    std::uint64_t run = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        run = ++run_;
        // Workers of an earlier run are not stopped; their reports no longer count.
        running_.clear();
        searchText_ = std::string(searchText);
        categoryId_ = categoryId;
        results_.Clear();
    }
    {
        std::lock_guard<std::recursive_mutex> reporting(reportLock_);
        observer_ = observer;
        observerRun_ = run;
    }
    std::size_t started = 0;
    {
        // The workers' reports take the lock, so none of them can come before every start is queued.
        std::lock_guard<std::mutex> guard(lock_);
        std::lock_guard<std::mutex> workersGuard(workersLock_);
        for (const std::shared_ptr<WebAgent>& agent : configuration_.agents()) {
            if (!agent->ServesCategory(categoryId)) {
                continue;
            }
            auto ended = std::make_shared<std::atomic<bool>>(false);
            Worker worker;
            try {
                worker.thread
                    = std::jthread([this, agent, run, text = searchText_, ended](std::stop_token stop) {
                          Work(agent, run, text, stop, ended);
                      });
            } catch (const std::system_error&) {
                continue; // no thread, no report
            }
            worker.ended = std::move(ended);
            agent->stopRequested = worker.thread.get_stop_source();
            agent->owner = this;
            agent->thread = worker.thread.get_id();
            workers_.push_back(std::move(worker));
            started += AgentStartedLocked(agent, run) ? 1 : 0;
        }
    }
    Deliver();
    return started;
}

void WebSpider::StopAll()
{
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::shared_ptr<WebAgent>& agent : running_) {
        if (agent->thread != std::thread::id()) {
            agent->stopRequested.request_stop();
        }
    }
    running_.clear();
}

void WebSpider::Detach(SearchObserver* observer)
{
    std::lock_guard<std::recursive_mutex> reporting(reportLock_);
    if (observer_ == observer) {
        observer_ = nullptr;
    }
}

void WebSpider::WaitForWorkers()
{
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> guard(workersLock_);
        workers.swap(workers_);
    }
    for (Worker& worker : workers) {
        worker.thread.join();
    }
}

void WebSpider::ReapEndedWorkers()
{
    std::lock_guard<std::mutex> guard(workersLock_);
    std::erase_if(workers_, [](Worker& worker) {
        if (!worker.ended->load()) {
            return false;
        }
        worker.thread.join(); // it is past its last report: returns at once
        return true;
    });
}

void WebSpider::Work(std::shared_ptr<WebAgent> agent,
                     std::uint64_t run,
                     std::string searchText,
                     std::stop_token stop,
                     std::shared_ptr<std::atomic<bool>> ended)
{
    PauseUnlessStopped(kWorkerPause, stop);
    std::string url;
    std::int32_t status = kOk;
    if (searchText.empty()) {
        status = kNoSearchText;
    } else {
        status = agent->BuildSearchUrl(searchText, url);
    }
    if (status == kOk) {
        std::optional<std::string> page = fetcher_.FetchPage(url, this, stop);
        if (page) {
            std::optional<ResultList> list;
            {
                ResultScraper scraper(*page, *agent, nullptr, stop);
                list = scraper.CollectResults(searchText);
            }
            page.reset();
            AgentFinished(agent, run, std::move(list));
        } else {
            status = kPageNotFetched;
        }
    }
    if (status != kOk) {
        AgentFailed(agent, run, status);
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (agent->thread == std::this_thread::get_id()) {
            agent->thread = std::thread::id();
        }
    }
    ended->store(true);
}

bool WebSpider::AgentStartedLocked(const std::shared_ptr<WebAgent>& agent, std::uint64_t run)
{
    if (run != run_) {
        return false;
    }
    running_.push_back(agent);
    pending_.push_back({Report::Kind::Started, run, agent, 0});
    return true;
}

void WebSpider::AgentStarted(const std::shared_ptr<WebAgent>& agent, std::uint64_t run)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        AgentStartedLocked(agent, run);
    }
    Deliver();
}

void WebSpider::LeaveRunningList(const std::shared_ptr<WebAgent>& agent)
{
    auto entry = std::find(running_.begin(), running_.end(), agent);
    if (entry != running_.end()) {
        running_.erase(entry);
    }
    if (running_.empty()) {
        pending_.push_back(
            {Report::Kind::SearchDone, run_, nullptr, static_cast<std::int32_t>(results_.Count())});
    }
}

void WebSpider::AgentFinished(const std::shared_ptr<WebAgent>& agent,
                              std::uint64_t run,
                              std::optional<ResultList> list)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (run != run_) {
            return;
        }
        const std::size_t count = list ? list->Count() : 0;
        if (list) {
            // In the agent's list order; each gets the next id of the run.
            for (PriceResult offer : *list) {
                offer.id = static_cast<std::int32_t>(results_.Count()) + 1;
                results_.Insert(std::move(offer));
            }
        }
        pending_.push_back({Report::Kind::Done, run, agent, static_cast<std::int32_t>(count)});
        LeaveRunningList(agent);
    }
    Deliver();
}

void WebSpider::AgentFailed(const std::shared_ptr<WebAgent>& agent, std::uint64_t run, std::int32_t status)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (run != run_) {
            return;
        }
        pending_.push_back({Report::Kind::Failed, run, agent, status});
        LeaveRunningList(agent);
    }
    Deliver();
}

void WebSpider::Deliver()
{
    std::lock_guard<std::recursive_mutex> reporting(reportLock_);
    for (;;) {
        Report report;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (pending_.empty()) {
                return;
            }
            report = std::move(pending_.front());
            pending_.pop_front();
        }
        if (observer_ == nullptr || report.run != observerRun_) {
            continue;
        }
        switch (report.kind) {
        case Report::Kind::Started:
            observer_->AgentStarted(*report.agent);
            break;
        case Report::Kind::Done:
            observer_->AgentDone(*report.agent, report.value);
            break;
        case Report::Kind::Failed:
            observer_->AgentFailed(*report.agent, report.value);
            break;
        case Report::Kind::SearchDone:
            observer_->SearchDone(report.value);
            break;
        }
    }
}

ResultList WebSpider::Results() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return results_;
}

std::size_t WebSpider::ResultCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return results_.Count();
}

std::int32_t WebSpider::SaveResults()
{
    std::lock_guard<std::mutex> guard(lock_);
    return index_.SaveSearch(categoryId_, searchText_, results_);
}

std::int32_t WebSpider::categoryId() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return categoryId_;
}

std::string WebSpider::searchText() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return searchText_;
}

} // namespace tallyhawk
