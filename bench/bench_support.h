#pragma once

#include <string>
#include <vector>

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

} // namespace tallyhawk::bench
