// A search run over 8 agents whose pages are slow against a run of the one slowest agent alone: the
// agents must wait for their pages side by side, not one after another.
#include "bench_support.h"
#include "core/compare/web_spider.h"
#include "support/compare_site.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

namespace
{

using namespace std::chrono_literals;

constexpr int kAgents = 8;
constexpr auto kPageDelay = 500ms;

// Waits for the end of a run.
class DoneSignal : public tallyhawk::SearchObserver
{
public:
    void AgentStarted(const tallyhawk::WebAgent&) override { }
    void AgentDone(const tallyhawk::WebAgent&, std::int32_t) override { }
    void AgentFailed(const tallyhawk::WebAgent&, std::int32_t) override { ++failed_; }
    void SearchDone(std::int32_t total) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        total_ = total;
        done_ = true;
        changed_.notify_all();
    }

    // The run's total offers, or -1 when an agent failed.
    int Wait()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return done_; });
        done_ = false;
        return failed_.exchange(0) > 0 ? -1 : total_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    int total_ = 0;
    std::atomic<int> failed_{0};
};

// A data folder whose category 1 has one agent and category 2 has all eight, every page slow.
struct Site
{
    Site()
    {
        std::filesystem::create_directory(dir.path() / "WebSearch");
        std::vector<std::string> agents;
        for (int i = 1; i <= kAgents; ++i) {
            const std::string name = "shop" + std::to_string(i);
            server.Respond(
                "/" + name + "?q=red",
                tallyhawk::test::HttpResponse::Delayed(
                    kPageDelay, tallyhawk::test::ResultPage({{"red shoe " + name, "/p", "9.99"}})));
            agents.push_back(tallyhawk::test::AgentXml(
                i, i == 1 ? "1,2" : "2", name, server.Url("/" + name + "?q="), server.Url("/")));
        }
        tallyhawk::test::WriteFileBytes(
            dir.File("webspider.xml"),
            tallyhawk::test::ConfigurationXml(
                {tallyhawk::test::CategoryXml(1, "One"), tallyhawk::test::CategoryXml(2, "All")}, agents));
    }

    tallyhawk::test::TempDir dir;
    tallyhawk::test::TestHttpServer server;
};

void RunCategory(benchmark::State& state, std::int32_t category, int agents)
{
    static Site site;
    tallyhawk::WebSpider spider(site.dir.path().string());
    if (spider.LoadConfiguration() != 0) {
        state.SkipWithError("the configuration did not load");
        return;
    }
    DoneSignal done;
    for (auto _ : state) {
        if (spider.Start(category, "red", &done) != static_cast<std::size_t>(agents)) {
            state.SkipWithError("not every agent started");
            break;
        }
        if (done.Wait() != agents) {
            state.SkipWithError("an agent failed or found nothing");
            break;
        }
        spider.WaitForWorkers();
    }
    spider.Detach(&done);
}

void BM_SlowestAgentAlone(benchmark::State& state)
{
    RunCategory(state, 1, 1);
}
BENCHMARK(BM_SlowestAgentAlone)->UseRealTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_EightSlowAgents(benchmark::State& state)
{
    RunCategory(state, 2, kAgents);
}
BENCHMARK(BM_EightSlowAgents)->UseRealTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tallyhawk::bench::RunWithRatios(argc,
                                           argv,
                                           {{"search_run_8_agents_vs_slowest_alone",
                                             "BM_EightSlowAgents/iterations:2/real_time",
                                             "BM_SlowestAgentAlone/iterations:2/real_time",
                                             1.5}});
}
