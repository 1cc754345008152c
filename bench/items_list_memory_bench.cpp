// Peak memory of "tallyhawk-cli items list deals --json" over a large "deal.lst", against the size of
// the file: the output is written record by record, so the list is held once, as the view.
#include "bench_support.h"
#include "deal_file.h"

#include <cstdio>
#include <filesystem>

namespace
{

constexpr int kRecords = 300000;
constexpr double kTarget = 1.5;

// The peak resident set in bytes of "items list deals --json" over `folder`, or -1 when it failed.
long long PeakMemoryOfListing(const std::string& folder)
{
    return tallyhawk::bench::RunQuietly(TALLYHAWK_CLI_PATH,
                                        {"items", "list", "deals", "--json", "--data-dir", folder});
}

} // namespace

int main()
{
    tallyhawk::bench::DealFile deals(kRecords);
    const auto fileSize = static_cast<double>(std::filesystem::file_size(deals.path));
    const long long peak = PeakMemoryOfListing(deals.folder);
    if (peak < 0) {
        std::fprintf(stderr, "items list failed\n");
        return 1;
    }
    std::printf("file %.1f MB, peak resident %.1f MB\n", fileSize / 1e6, static_cast<double>(peak) / 1e6);
    std::printf("RATIO items_list_json_memory_vs_file %.2f target <=%.1f\n",
                static_cast<double>(peak) / fileSize,
                kTarget);
    return 0;
}
