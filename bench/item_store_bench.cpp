// Loading "deal.lst" against reading the same file into memory, and merging large replies against
// small ones per item.
#include "bench_support.h"
#include "core/common/byte_text.h"
#include "core/protocol/wire_message.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "deal_file.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

using tallyhawk::ItemFilter;
using tallyhawk::ItemRecord;
using tallyhawk::ItemStore;
using tallyhawk::ItemValues;

constexpr int kRecords = 100000;

tallyhawk::bench::DealFile& Deals()
{
    static tallyhawk::bench::DealFile file(kRecords);
    return file;
}

void BM_ReadWholeFile(benchmark::State& state)
{
    tallyhawk::bench::ReadWholeFile(state, Deals().path);
}
BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMillisecond);

void LoadWith(benchmark::State& state, const ItemFilter& filter)
{
    ItemStore store;
    store.Open("deal.lst", Deals().folder);
    for (auto _ : state) {
        if (store.Load(filter) != 0) {
            state.SkipWithError("load failed");
        }
        benchmark::DoNotOptimize(store.Count());
    }
    state.counters["records"] = static_cast<double>(store.Count());
}

void BM_LoadNoFilter(benchmark::State& state)
{
    LoadWith(state, ItemFilter());
}
BENCHMARK(BM_LoadNoFilter)->Unit(benchmark::kMillisecond);

void BM_LoadKeyword(benchmark::State& state)
{
    ItemFilter filter;
    filter.keyword = "KETTLE 777"; // a common word and a rare one: most records are searched through
    LoadWith(state, filter);
}
BENCHMARK(BM_LoadKeyword)->Unit(benchmark::kMillisecond);

tallyhawk::WireMessage Reply(int items)
{
    tallyhawk::WireMessage reply;
    reply.Reset(9001);
    reply.AppendNumber(1002);
    reply.AppendNumber(items);
    for (int i = 1; i <= items; ++i) {
        reply.AppendNumber(i);
        reply.AppendNumber(2);
        reply.AppendNumber(i % 40 + 1);
        reply.AppendNumber(i % 25 + 1);
        reply.AppendNumber(1200000000 + i);
        reply.AppendNumber(i % 50 == 0);
        reply.AppendText("Deal " + std::to_string(i) + " " + tallyhawk::bench::Words(i, 3));
        reply.AppendText("<p>Save on " + tallyhawk::bench::Words(i * 7, 12) + " &amp; more&nbsp;today</p>");
        reply.AppendText("$19.99");
        reply.AppendText("Store " + std::to_string(i % 40));
        reply.AppendText("Category");
    }
    return reply;
}

void BM_Merge(benchmark::State& state)
{
    const int items = static_cast<int>(state.range(0));
    const tallyhawk::WireMessage reply = Reply(items);
    const std::string folder = Deals().folder + "/merge";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(folder + "/deal.lst");
        ItemStore store;
        store.Open("deal.lst", folder);
        state.ResumeTiming();
        if (tallyhawk::MergeReply(store, reply, 0, "deal", false, nullptr).kept != items) {
            state.SkipWithError("items dropped");
        }
        state.PauseTiming();
        store.Clear();
        state.ResumeTiming();
    }
    state.counters["work"] = items;
}
BENCHMARK(BM_Merge)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    Deals();
    return tallyhawk::bench::RunWithRatios(
        argc,
        argv,
        {
            {"load_no_filter", "BM_LoadNoFilter", "BM_ReadWholeFile", 4},
            {"load_keyword", "BM_LoadKeyword", "BM_ReadWholeFile", 8},
            {"merge_10000_vs_1000", "BM_Merge/10000", "BM_Merge/1000", 1.5},
        });
}
