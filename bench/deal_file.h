#pragma once

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
    ~DealFile();
    DealFile(const DealFile&) = delete;
    DealFile& operator=(const DealFile&) = delete;

    std::string folder;
    std::string path;
};

} // namespace tallyhawk::bench
