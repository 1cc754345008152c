#pragma once

#include "bench_support.h"

#include <string>

namespace tallyhawk::bench
{

// `count` words from a small shopping vocabulary, the same for the same seed.
std::string Words(unsigned seed, int count);

// A temporary data folder holding a "deal.lst" of `records` records shaped like downloaded deals;
// removed with the object.
class DealFile
{
public:
    explicit DealFile(int records);
    DealFile(const DealFile&) = delete;
    DealFile& operator=(const DealFile&) = delete;

    TempFolder temp;
    std::string folder = temp.path();
    std::string path;
};

} // namespace tallyhawk::bench
