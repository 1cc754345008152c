#include "bench_support.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tallyhawk-bench-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        std::abort();
    }
    path_ = name.data();
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    ::close(fd);
}

void ReadWholeFile(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
        struct stat info
        { };
        ::fstat(fd, &info);
        std::vector<char> bytes(static_cast<std::size_t>(info.st_size));
        if (::read(fd, bytes.data(), bytes.size()) != info.st_size) {
            state.SkipWithError("short read");
        }
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
}

long long RunQuietly(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int sink = ::open("/dev/null", O_WRONLY);
        ::dup2(sink, STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return static_cast<long long>(usage.ru_maxrss) * 1024; // KiB on Linux
}

} // namespace tallyhawk::bench
