#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tallyhawk::bench
{
namespace
{

// Keeps the best time per unit of work of every benchmark over its repetitions, while the console
// reporter prints as usual. The best run is the one least disturbed by the rest of the machine.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Plain output: the RATIO lines must start at the beginning of a line, not after a colour code.
    RatioReporter()
        : ConsoleReporter(OO_Tabular)
    { }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) {
                continue;
            }
            double perIteration = run.GetAdjustedRealTime();
            double work = 1.0;
            if (auto it = run.counters.find("work"); it != run.counters.end() && it->second.value > 0) {
                work = it->second.value;
            }
            const double time = perIteration / work;
            auto [it, inserted] = timePerWork.emplace(run.benchmark_name(), time);
            if (!inserted && time < it->second) {
                it->second = time;
            }
        }
    }

    std::map<std::string, double> timePerWork;
};

} // namespace

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios)
{
    // Five repetitions unless the caller asks otherwise; each ratio compares the best of each side.
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    bool repetitionsGiven = false;
    for (char* argument : arguments) {
        repetitionsGiven = repetitionsGiven || std::string(argument).rfind("--benchmark_repetitions", 0) == 0;
    }
    if (!repetitionsGiven) {
        arguments.push_back(repetitions.data());
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr); // argv[argc] is a null pointer, as in main
    benchmark::Initialize(&count, arguments.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    int status = 0;
    for (const Ratio& ratio : ratios) {
        auto measured = reporter.timePerWork.find(ratio.measured);
        auto baseline = reporter.timePerWork.find(ratio.baseline);
        if (measured == reporter.timePerWork.end() || baseline == reporter.timePerWork.end()
            || baseline->second <= 0) {
            std::printf("RATIO %s missing target <=%g\n", ratio.name.c_str(), ratio.limit);
            status = 1;
            continue;
        }
        std::printf("RATIO %s %.3f target <=%g\n",
                    ratio.name.c_str(),
                    measured->second / baseline->second,
                    ratio.limit);
    }
    std::fflush(stdout);
    return status;
}

} // namespace tallyhawk::bench
