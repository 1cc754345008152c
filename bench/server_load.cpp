// The deal server under load: 200 clients at once, each asking for items over and over for 20 seconds
// (new connection per request, as the program asks). Every request must be answered; prints the
// requests per second, the 99th-percentile latency, and its ratio to one request on an idle server.
// Usage: bench_server_load [--clients N] [--seconds S] [--pause-ms MS]
//
// Two runs: paced, each client waiting a moment between requests (as many programs polling do), which
// the target applies to; and flat out, which shows the most the server answers. Flat out, 200 clients
// that never wait keep 200 requests queued, so each waits for the others (clients / throughput).
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

// tallyhawk-server serve --demo on free ports, in a folder of its own.
class ServerChild
{
public:
    explicit ServerChild(const std::string& folder)
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            const std::string db = folder + "/service.db";
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
                connect(connection);
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

} // namespace

int main(int argc, char** argv)
{
    int clients = 200;
    int seconds = 20;
    Micros pause = std::chrono::milliseconds(100);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--clients") {
            clients = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--seconds") {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--pause-ms") {
            pause = std::chrono::milliseconds(std::max(0, std::atoi(argv[i + 1])));
        }
    }
    const std::string folder
        = (std::filesystem::temp_directory_path() / ("server_load." + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(folder);
    int status = 0;
    {
        ServerChild server(folder);
        if (server.port() == 0) {
            std::cerr << "bench_server_load: tallyhawk-server did not start.\n";
            std::filesystem::remove_all(folder);
            return 1;
        }
        auto connect = [&](tallyhawk::ServerConnection& connection) {
            connection.Configure("127.0.0.1", server.port());
        };

        // The baseline: one request at a time on the idle server.
        std::vector<Micros> idle;
        tallyhawk::ServerConnection alone;
        connect(alone);
        for (int i = 0; i < 300; ++i) {
            if (std::optional<Micros> latency = TimedFetch(alone)) {
                idle.push_back(*latency);
            }
        }
        const Micros idleLatency = Percentile(idle, 0.5);

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
