// Peak memory of "tallyhawk-cli items list deals --json" over a large "deal.lst", against the size of
// the file: the output is written record by record, so the list is held once, as the view.
#include "deal_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace
{

constexpr int kRecords = 300000;
constexpr double kTarget = 1.5;

// The child's peak resident set in bytes, or -1 when it could not be run or failed.
long long PeakMemoryOfListing(const std::string& folder)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int sink = ::open("/dev/null", O_WRONLY);
        ::dup2(sink, STDOUT_FILENO);
        ::execl(TALLYHAWK_CLI_PATH,
                TALLYHAWK_CLI_PATH,
                "items",
                "list",
                "deals",
                "--json",
                "--data-dir",
                folder.c_str(),
                static_cast<char*>(nullptr));
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
