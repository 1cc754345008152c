// Taking a 5,000-entry Atom feed into the service's database (parse, dedup, store in SQLite) against
// parsing the same document with libxml2 alone, and the peak memory of the taking against the size of
// the document. Not a Google Benchmark program: each side is timed as the best of a few whole runs,
// each run on a fresh database, since a second run would find every entry already taken.
#include "server/feed_ingest.h"
#include "server/feed_subscriptions.h"
#include "server/feeds/feed_parser.h"
#include "server/item_database.h"

#include <libxml/parser.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

using namespace tallyhawk::server;

constexpr int kEntries = 5000;
// Best of nine: on a shared machine a few runs may all land on a busy moment.
constexpr int kRuns = 9;
constexpr double kTimeTarget = 4.0;
constexpr double kMemoryTarget = 3.0;
constexpr const char* kUrl = "https://deals.example/feed.atom";

std::string AtomDocument()
{
    std::string text
        = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">"
          "<title>Bench deals</title><id>urn:bench</id><updated>2026-01-01T00:00:00Z</updated>\n";
    for (int i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        text += "<entry><id>urn:bench:" + n + "</id><title type=\"html\">Deal " + n + " &lt;b&gt;$"
            + std::to_string(10 + i % 90)
            + ".99&lt;/b&gt; on a kettle</title>"
              "<link href=\"/deal/"
            + n
            + "\"/><updated>2026-01-01T00:00:00Z</updated>"
              "<summary type=\"html\">&lt;p&gt;Stainless steel, 1.7 litres, model "
            + n + ". Ships free over $35; limit two per order.&lt;/p&gt;</summary></entry>\n";
    }
    return text + "</feed>\n";
}

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// The document parsed by libxml2 and freed: the least any reading of it costs.
double ParseOnly(const std::string& document)
{
    const auto start = std::chrono::steady_clock::now();
    xmlDocPtr doc = xmlReadMemory(document.data(),
                                  static_cast<int>(document.size()),
                                  kUrl,
                                  nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
        std::fprintf(stderr, "the document did not parse\n");
        std::exit(1);
    }
    xmlFreeDoc(doc);
    return Seconds(std::chrono::steady_clock::now() - start);
}

// A new database file in `folder` with one subscription: made before the clock starts, since
// opening a database is no part of taking a feed.
struct FreshDatabase
{
    explicit FreshDatabase(const std::string& folder)
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        if (items.Open(folder + "/service.db")) {
            std::fprintf(stderr, "the database did not open\n");
            std::exit(1);
        }
        feed.url = kUrl;
        feed.id = FeedSubscriptions(items).Add(feed).value_or(0);
    }

    ItemDatabase items;
    FeedSubscription feed;
};

// Parse the document and take every entry: the items taken.
std::size_t Ingest(const std::string& document, FreshDatabase& database)
{
    ParsedFeed parsed = FeedParser::Parse(document, kUrl);
    std::string error;
    std::optional<std::deque<ServerItem>> taken
        = FeedIngest::Take(database.items, database.feed, std::move(parsed.entries), 1'800'000'000, &error);
    if (!taken) {
        std::fprintf(stderr, "the entries were not taken: %s\n", error.c_str());
        std::exit(1);
    }
    return taken->size();
}

// What a measuring child does; each child is this program run anew, so that no heap left by the timed
// runs (freed but still resident) hides what its work takes.
constexpr const char* kIdleChild = "--idle";
constexpr const char* kIngestChild = "--ingest";
constexpr const char* kParseChild = "--parse";

// The peak resident set of this program run with `mode`, in bytes.
long long ChildPeak(const char* mode)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/proc/self/exe", "bench_feed_ingest", mode, static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

std::string Folder()
{
    return (std::filesystem::temp_directory_path() / ("bench_feed_ingest." + std::to_string(::getpid())))
        .string();
}

// One measuring child: it holds the document and a fresh database, as every child does, and takes the
// feed or parses it alone; what either adds is the difference to a child that does nothing more.
int RunChild(const std::string& mode)
{
    const std::string document = AtomDocument();
    const std::string folder = Folder();
    xmlInitParser();
    {
        FreshDatabase database(folder);
        if (mode == kIngestChild) {
            Ingest(document, database);
        } else if (mode == kParseChild) {
            ParseOnly(document);
        }
    }
    std::filesystem::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Other arguments (scripts/bench hands its own to every benchmark) are not this program's.
    if (argc == 2
        && (argv[1] == std::string(kIdleChild) || argv[1] == std::string(kIngestChild)
            || argv[1] == std::string(kParseChild))) {
        return RunChild(argv[1]);
    }
    const std::string document = AtomDocument();
    const std::string folder = Folder();
    xmlInitParser();
    double parse = 1e9;
    double ingest = 1e9;
    std::size_t taken = 0;
    for (int run = 0; run < kRuns; ++run) {
        parse = std::min(parse, ParseOnly(document));
        FreshDatabase database(folder);
        const auto start = std::chrono::steady_clock::now();
        taken = Ingest(document, database);
        ingest = std::min(ingest, Seconds(std::chrono::steady_clock::now() - start));
    }
    std::filesystem::remove_all(folder);
    const long long idle = ChildPeak(kIdleChild);
    const long long peak = ChildPeak(kIngestChild);
    // For comparison: what libxml2's tree of the document alone adds.
    const long long treePeak = ChildPeak(kParseChild);
    if (taken != kEntries || idle < 0 || peak < 0 || treePeak < 0) {
        std::fprintf(stderr, "the ingest failed (%zu entries taken)\n", taken);
        return 1;
    }
    const auto size = static_cast<double>(document.size());
    const double memory = (static_cast<double>(peak - idle) + size) / size;
    std::printf("document %.2f MB, %d entries; parse %.1f ms, ingest %.1f ms; peak added %.1f MB (the XML "
                "parser's tree alone %.1f MB)\n",
                size / 1e6,
                kEntries,
                parse * 1e3,
                ingest * 1e3,
                static_cast<double>(peak - idle) / 1e6,
                static_cast<double>(treePeak - idle) / 1e6);
    std::printf("RATIO feed_ingest_vs_parse %.2f target <=%.0f\n", ingest / parse, kTimeTarget);
    std::printf("RATIO feed_ingest_memory_vs_document %.2f target <=%.0f\n", memory, kMemoryTarget);
    return 0;
}
