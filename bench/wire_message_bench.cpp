// Reading every field of a large item reply costs little more than one pass over its bytes.
#include "bench_support.h"
#include "core/protocol/wire_message.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace
{

using tallyhawk::WireMessage;

constexpr int kItems = 10000;
constexpr int kFields = 2 + 11 * kItems;

// A 9001 reply to a coupon request with realistic texts, markup in the descriptions included.
const std::vector<char>& ReplyPayload()
{
    static const std::vector<char> payload = [] {
        WireMessage reply;
        reply.Reset(9001);
        reply.AppendNumber(1002);
        reply.AppendNumber(kItems);
        for (int k = 0; k < kItems; ++k) {
            reply.AppendNumber(500000 + k);
            reply.AppendNumber(1 + k % 3);
            reply.AppendNumber(100 + k % 250);
            reply.AppendNumber(1 + k % 40);
            reply.AppendNumber(1718064000 + k * 60);
            reply.AppendNumber(k % 7 == 0 ? 1 : 0);
            reply.AppendText("Save " + std::to_string(5 + k % 60)
                             + "% on selected garden furniture and tools");
            reply.AppendText("<p>Use code <b>SPRING" + std::to_string(k)
                             + "</b> at checkout.</p> Offer valid while supplies last &amp; not combinable "
                               "with other coupons. Free shipping on orders over $49.");
            std::string price = "$";
            price += std::to_string(10 + k % 90);
            price += ".99";
            reply.AppendText(price);
            reply.AppendText("Garden Outlet " + std::to_string(k % 250));
            reply.AppendText("Home & Garden");
        }
        return reply.payload();
    }();
    return payload;
}

void BM_WireFieldText(benchmark::State& state)
{
    const std::vector<char>& payload = ReplyPayload();
    WireMessage reply;
    for (auto _ : state) {
        // A fresh message each round, so the terminator index is built again.
        state.PauseTiming();
        reply.AssignPayload(payload);
        state.ResumeTiming();
        std::size_t bytes = 0;
        for (int n = 1; n <= kFields; ++n) {
            std::optional<std::string> text = reply.FieldText(n);
            bytes += text ? text->size() : 0;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["work"] = kFields;
}
BENCHMARK(BM_WireFieldText)->Unit(benchmark::kMicrosecond);

// The floor: one memchr pass that finds every terminator and does nothing else.
void BM_MemchrTerminators(benchmark::State& state)
{
    const std::vector<char>& payload = ReplyPayload();
    for (auto _ : state) {
        const char* at = payload.data() + 4;
        const char* end = payload.data() + payload.size();
        std::size_t count = 0;
        while (end - at >= 3) {
            at = static_cast<const char*>(std::memchr(at, '<', static_cast<std::size_t>(end - at - 2)));
            if (at == nullptr) {
                break;
            }
            if (at[1] == '~' && at[2] == '>') {
                ++count;
                at += 3;
            } else {
                ++at;
            }
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["work"] = kFields;
}
BENCHMARK(BM_MemchrTerminators)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return tallyhawk::bench::RunWithRatios(
        argc, argv, {{"wire_fieldtext_vs_memchr", "BM_WireFieldText", "BM_MemchrTerminators", 5}});
}
