// Loading the agent configuration against reading the same file into memory.
#include "bench_support.h"
#include "core/compare/agent_configuration.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

constexpr int kAgents = 1000;
constexpr int kCategories = 50;

// A configuration shaped like the service's: every element present, markers full of markup.
std::string MakeConfiguration()
{
    std::string text = "<?xml version=\"1.0\"?>\n<WebSpider>\n";
    for (int i = 1; i <= kCategories; ++i) {
        text += "  <AgentType>\n    <TypeId>" + std::to_string(i) + "</TypeId>\n    <TypeName>Category "
            + std::to_string(i) + "</TypeName>\n  </AgentType>\n";
    }
    for (int i = 1; i <= kAgents; ++i) {
        std::string n = std::to_string(i);
        std::string host = "http://www.store" + n + ".example.com";
        text += "  <WebAgent>\n"
                "    <SiteId>"
            + n + "</SiteId>\n    <SiteType>" + std::to_string(i % kCategories + 1) + ","
            + std::to_string((i * 7) % kCategories + 1) + "</SiteType>\n    <SiteName>Store " + n
            + "</SiteName>\n    <SiteAddress>" + host + "</SiteAddress>\n    <FormatString>" + host
            + "/search.aspx?q= KEYWORD &amp;cat=all&amp;sort=price</FormatString>\n"
              "    <EndHeader><div id=\"results\"></EndHeader>\n"
              "    <StartResult><tr class=\"result\"></StartResult>\n"
              "    <EndResult></tr></EndResult>\n"
              "    <StartItem><td class=\"name\"><a*></StartItem>\n"
              "    <EndItem></a></EndItem>\n"
              "    <StartText><td class=\"desc\"></StartText>\n"
              "    <EndText></td></EndText>\n"
              "    <StartURL><a href=\"</StartURL>\n"
              "    <EndURL>\"</EndURL>\n"
              "    <StartPrice><span class=\"price\">$</StartPrice>\n"
              "    <EndPrice></span></EndPrice>\n"
              "    <StartPromo><span class=\"sale\">$</StartPromo>\n"
              "    <EndPromo></span></EndPromo>\n"
              "  </WebAgent>\n";
    }
    return text + "</WebSpider>\n";
}

class ConfigurationFile
{
public:
    ConfigurationFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tallyhawk-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder_ = pattern;
        path_ = (folder_ / "webspider.xml").string();
        std::ofstream(path_, std::ios::binary) << MakeConfiguration();
    }
    ~ConfigurationFile() { std::filesystem::remove_all(folder_); }
    const std::string& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::string path_;
};

const ConfigurationFile& File()
{
    static ConfigurationFile file;
    return file;
}

// The baseline: the file read into memory the plain way, a string of its size filled by read().
std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info
    { };
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::abort();
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0) {
            std::abort();
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return bytes;
}

void BM_ReadFile(benchmark::State& state)
{
    std::size_t size = 0;
    for (auto _ : state) {
        std::string bytes = ReadWholeFile(File().path());
        benchmark::DoNotOptimize(bytes.data());
        size = bytes.size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_ReadFile);

void BM_LoadConfiguration(benchmark::State& state)
{
    tallyhawk::AgentConfiguration config;
    for (auto _ : state) {
        benchmark::DoNotOptimize(config.Load(File().path()));
    }
    if (config.AgentCount() != kAgents || config.CategoryCount() != kCategories) {
        state.SkipWithError("the generated configuration did not load whole");
    }
}
BENCHMARK(BM_LoadConfiguration);

} // namespace

int main(int argc, char** argv)
{
    return tallyhawk::bench::RunWithRatios(
        argc, argv, {{"agent_config_load_vs_read", "BM_LoadConfiguration", "BM_ReadFile", 10.0}});
}
