#pragma once

#include <string>
#include <vector>

namespace benchmark
{
class State;
}

namespace tallyhawk::bench
{

// One ratio a benchmark program reports: the time of `measured` over the time of `baseline`,
// both per unit of work (a benchmark's "work" counter, 1 when it sets none), best of the repetitions.
struct Ratio
{
    std::string name;
    std::string measured;
    std::string baseline;
    double limit;
};

// Runs every registered benchmark, then prints one line "RATIO <name> <value> target <=<limit>" per
// ratio. Returns 0, or 1 when a benchmark named by a ratio did not run.
int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes `bytes` as the whole file at `path`; aborts when it cannot (the benchmark has no data then).
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Runs `program` with `arguments`, its output thrown away, and waits for it: its peak resident set in
// bytes, or -1 when it could not be run or did not end with status 0.
long long RunQuietly(const std::string& program, const std::vector<std::string>& arguments);

// The baseline of the file benchmarks: the whole file read into memory, once per iteration.
void ReadWholeFile(benchmark::State& state, const std::string& path);

} // namespace tallyhawk::bench
