// The deal server under load: 200 clients at once, each asking for items over and over for 20 seconds
// (new connection per request, as the program asks). Every request must be answered; prints the
// requests per second, the 99th-percentile latency, and its ratio to one request on an idle server.
// Usage: bench_server_load [--clients N] [--seconds S] [--pause-ms MS] [--postgres URI]
//
// Two runs: paced, each client waiting a moment between requests (as many programs polling do), which
// the target applies to; and flat out, which shows the most the server answers. Flat out, 200 clients
// that never wait keep 200 requests queued, so each waits for the others (clients / throughput).
//
// With --postgres (a libpq URI of an empty database, or one an earlier run used): two instances on that
// database, each client asking one of them (half each, as a TCP load balancer spreads them), beside one
// instance on an SQLite file under the same paced load, then both flat out; 400 clients unless told.
#include "core/protocol/server_connection.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::microseconds;

// tallyhawk-server serve --demo on free ports, in a folder of its own, on `db` (a file in the folder
// when empty).
class ServerChild
{
public:
    explicit ServerChild(const std::string& folder, std::string db = {})
    {
        if (db.empty()) {
            db = folder + "/service.db";
        }
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            if (::chdir(folder.c_str()) != 0) {
                ::_exit(127);
            }
            ::execl(TALLYHAWK_SERVER_PATH,
                    TALLYHAWK_SERVER_PATH,
                    "serve",
                    "--demo",
                    "--every",
                    "3600",
                    "--db",
                    db.c_str(),
                    "--port",
                    "0",
                    "--http-port",
                    "0",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string output;
        char buffer[256];
        while (output.find("Site: ") == std::string::npos) {
            ssize_t got = ::read(fds[0], buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            output.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(fds[0]);
        const std::string marker = "Deal server: 127.0.0.1:";
        if (std::size_t at = output.find(marker); at != std::string::npos) {
            port_ = std::atoi(output.c_str() + at + marker.size());
        }
    }
    ~ServerChild()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    int port() const { return port_; }
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// One FetchItems of the deals; its latency, or nothing when it failed.
std::optional<Micros> TimedFetch(tallyhawk::ServerConnection& connection)
{
    const Clock::time_point start = Clock::now();
    std::unique_ptr<tallyhawk::WireMessage> reply = connection.FetchItems(2, 0);
    if (!reply) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<Micros>(Clock::now() - start);
}

Micros Percentile(std::vector<Micros> samples, double fraction)
{
    if (samples.empty()) {
        return Micros(0);
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t index = std::min(
        samples.size() - 1, static_cast<std::size_t>(fraction * static_cast<double>(samples.size())));
    return samples[index];
}

double Milliseconds(Micros value)
{
    return static_cast<double>(value.count()) / 1000.0;
}

struct LoadResult
{
    std::vector<Micros> latencies;
    long failed = 0;
};

// `clients` threads, each with its own connection object, asking for the deals again and again for
// `seconds`, waiting `pause` after each answer.
template <typename Connect>
LoadResult RunLoad(const Connect& connect, int clients, int seconds, Micros pause)
{
    std::atomic<bool> go{false};
    std::atomic<long> failed{0};
    std::vector<std::vector<Micros>> latencies(static_cast<std::size_t>(clients));
    Clock::time_point end{};
    {
        std::vector<std::jthread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                tallyhawk::ServerConnection connection;
                connect(connection, c);
                std::vector<Micros>& mine = latencies[static_cast<std::size_t>(c)];
                while (!go.load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                // Spread the first requests over one pause, as clients started at different times.
                std::this_thread::sleep_for(pause * c / clients);
                while (Clock::now() < end) {
                    if (std::optional<Micros> latency = TimedFetch(connection)) {
                        mine.push_back(*latency);
                    } else {
                        ++failed;
                    }
                    std::this_thread::sleep_for(pause);
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        end = Clock::now() + std::chrono::seconds(seconds);
        go.store(true);
    }
    LoadResult result;
    for (const std::vector<Micros>& mine : latencies) {
        result.latencies.insert(result.latencies.end(), mine.begin(), mine.end());
    }
    result.failed = failed.load();
    return result;
}

double Ratio(const LoadResult& result, Micros idle)
{
    const Micros p99 = Percentile(result.latencies, 0.99);
    return idle.count() > 0 ? static_cast<double>(p99.count()) / static_cast<double>(idle.count()) : 0.0;
}

void Report(const std::string& caption, const LoadResult& result, Micros idle, int seconds)
{
    std::printf("%s: %zu requests answered, %ld failed, %.0f requests per second; latency median %.3f ms, "
                "p99 %.3f ms (%.1f times one request on the idle server, %.3f ms)\n",
                caption.c_str(),
                result.latencies.size(),
                result.failed,
                static_cast<double>(result.latencies.size()) / seconds,
                Milliseconds(Percentile(result.latencies, 0.5)),
                Milliseconds(Percentile(result.latencies, 0.99)),
                Ratio(result, idle),
                Milliseconds(idle));
}

// The median of 300 requests one at a time on the idle servers (taken in turn).
template <typename Connect>
Micros IdleLatency(const Connect& connect)
{
    std::vector<Micros> idle;
    for (int i = 0; i < 300; ++i) {
        tallyhawk::ServerConnection alone;
        connect(alone, i);
        if (std::optional<Micros> latency = TimedFetch(alone)) {
            idle.push_back(*latency);
        }
    }
    return Percentile(idle, 0.5);
}

// One instance on an SQLite file beside two on one PostgreSQL database, under the same paced load.
int CompareStores(const std::string& folder, const std::string& uri, int clients, int seconds, Micros pause)
{
    ServerChild sqlite(folder);
    ServerChild first(folder, uri);
    ServerChild second(folder, uri);
    if (sqlite.port() == 0 || first.port() == 0 || second.port() == 0) {
        std::cerr << "bench_server_load: tallyhawk-server did not start (is " << uri << " reachable?).\n";
        return 1;
    }
    auto onSqlite = [&](tallyhawk::ServerConnection& connection, int) {
        connection.Configure("127.0.0.1", sqlite.port());
    };
    auto onEither = [&](tallyhawk::ServerConnection& connection, int client) {
        connection.Configure("127.0.0.1", client % 2 == 0 ? first.port() : second.port());
    };
    const Micros sqliteIdle = IdleLatency(onSqlite);
    const Micros pgIdle = IdleLatency(onEither);
    const LoadResult onFile = RunLoad(onSqlite, clients, seconds, pause);
    const LoadResult onDatabase = RunLoad(onEither, clients, seconds, pause);
    // The most each answers: what the figures for more traffic are worked out from.
    const LoadResult fileFlat = RunLoad(onSqlite, clients, seconds, Micros(0));
    const LoadResult databaseFlat = RunLoad(onEither, clients, seconds, Micros(0));
    std::printf("%d clients, each waiting %lld ms between requests, for %d s:\n",
                clients,
                static_cast<long long>(pause.count() / 1000),
                seconds);
    std::printf("%-34s %12s %12s\n", "", "SQLite, 1", "PostgreSQL, 2");
    std::printf("%-34s %12.0f %12.0f\n",
                "requests per second",
                static_cast<double>(onFile.latencies.size()) / seconds,
                static_cast<double>(onDatabase.latencies.size()) / seconds);
    std::printf("%-34s %12.3f %12.3f\n",
                "p99 latency (ms)",
                Milliseconds(Percentile(onFile.latencies, 0.99)),
                Milliseconds(Percentile(onDatabase.latencies, 0.99)));
    std::printf("%-34s %12.3f %12.3f\n",
                "median latency (ms)",
                Milliseconds(Percentile(onFile.latencies, 0.5)),
                Milliseconds(Percentile(onDatabase.latencies, 0.5)));
    std::printf(
        "%-34s %12.3f %12.3f\n", "one request, idle (ms)", Milliseconds(sqliteIdle), Milliseconds(pgIdle));
    std::printf(
        "%-34s %12.1f %12.1f\n", "p99 over idle", Ratio(onFile, sqliteIdle), Ratio(onDatabase, pgIdle));
    std::printf("%-34s %12.0f %12.0f\n",
                "flat out: requests per second",
                static_cast<double>(fileFlat.latencies.size()) / seconds,
                static_cast<double>(databaseFlat.latencies.size()) / seconds);
    std::printf("%-34s %12.3f %12.3f\n",
                "flat out: p99 latency (ms)",
                Milliseconds(Percentile(fileFlat.latencies, 0.99)),
                Milliseconds(Percentile(databaseFlat.latencies, 0.99)));
    const long fileFailed = onFile.failed + fileFlat.failed;
    const long databaseFailed = onDatabase.failed + databaseFlat.failed;
    std::printf("%-34s %12ld %12ld\n", "failed requests", fileFailed, databaseFailed);
    const double ratio = Ratio(onDatabase, pgIdle);
    std::printf("RATIO sqlite_one_instance_p99_vs_idle %.2f target <=20\n", Ratio(onFile, sqliteIdle));
    std::printf("RATIO pg_two_instances_p99_vs_idle %.2f target <=20\n", ratio);
    return fileFailed == 0 && databaseFailed == 0 && ratio <= 20.0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    int clients = 200;
    int seconds = 20;
    Micros pause = std::chrono::milliseconds(100);
    std::string postgres;
    bool clientsGiven = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--clients") {
            clients = std::max(1, std::atoi(argv[i + 1]));
            clientsGiven = true;
        } else if (name == "--seconds") {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--pause-ms") {
            pause = std::chrono::milliseconds(std::max(0, std::atoi(argv[i + 1])));
        } else if (name == "--postgres") {
            postgres = argv[i + 1];
        }
    }
    const std::string folder
        = (std::filesystem::temp_directory_path() / ("server_load." + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(folder);
    int status = 0;
    if (!postgres.empty()) {
        status = CompareStores(folder, postgres, clientsGiven ? clients : 400, seconds, pause);
    } else {
        ServerChild server(folder);
        if (server.port() == 0) {
            std::cerr << "bench_server_load: tallyhawk-server did not start.\n";
            std::filesystem::remove_all(folder);
            return 1;
        }
        auto connect = [&](tallyhawk::ServerConnection& connection, int) {
            connection.Configure("127.0.0.1", server.port());
        };

        // The baseline: one request at a time on the idle server.
        const Micros idleLatency = IdleLatency(connect);

        const LoadResult paced = RunLoad(connect, clients, seconds, pause);
        const LoadResult flat = RunLoad(connect, clients, seconds, Micros(0));
        Report("paced (each client waits " + std::to_string(pause.count() / 1000) + " ms between requests)",
               paced,
               idleLatency,
               seconds);
        Report("flat out (no wait between requests)", flat, idleLatency, seconds);
        const double ratio = Ratio(paced, idleLatency);
        std::printf("RATIO server_load_p99_over_idle %.2f target <=20\n", ratio);
        status = paced.failed == 0 && flat.failed == 0 && ratio <= 20.0 ? 0 : 1;
    }
    std::filesystem::remove_all(folder);
    return status;
}
