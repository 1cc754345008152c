#include "core/common/program_version.h"
#include "server/deal_server.h"
#include "server/demo_catalogue.h"
#include "server/demo_shops.h"
#include "server/item_database.h"
#include "server/request_answer.h"
#include "server/server_commands.h"
#include "server/server_options.h"
#include "server/site_server.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

namespace tallyhawk::server
{

namespace
{

struct ServeSettings
{
    std::string db = kDefaultDatabase;
    std::string host = "127.0.0.1";
    std::uint16_t port = 8022;
    std::uint16_t httpPort = 8080;
    std::string version{kProgramVersion};
    std::optional<std::string> configFile;
    bool demo = false;
    int every = 5;
};

std::optional<std::string> ReadSettings(const std::vector<std::string>& args, ServeSettings& settings)
{
    ServerOptions options;
    if (std::optional<std::string> error
        = options.Parse(args,
                        {"--db", "--host", "--port", "--http-port", "--version", "--config-file", "--every"},
                        {"--demo"})) {
        return error;
    }
    if (!options.positionals().empty()) {
        return "Unexpected word " + options.positionals()[0] + ".";
    }
    settings.db = options.Value("--db").value_or(settings.db);
    settings.host = options.Value("--host").value_or(settings.host);
    settings.version = options.Value("--version").value_or(settings.version);
    settings.configFile = options.Value("--config-file");
    settings.demo = options.Has("--demo");
    const std::pair<const char*, std::uint16_t*> ports[]
        = {{"--port", &settings.port}, {"--http-port", &settings.httpPort}};
    for (const auto& [name, port] : ports) {
        if (std::optional<std::string> text = options.Value(name)) {
            std::optional<long long> number = WholeNumber(*text, 0, 65535);
            if (!number) {
                return std::string("The port after ") + name + " must be a number from 0 to 65535.";
            }
            *port = static_cast<std::uint16_t>(*number);
        }
    }
    if (std::optional<std::string> every = options.Value("--every")) {
        std::optional<long long> seconds = WholeNumber(*every, 1, 3600);
        if (!seconds || !settings.demo) {
            return "--every goes with --demo and takes seconds from 1 to 3600.";
        }
        settings.every = static_cast<int>(*seconds);
    }
    return std::nullopt;
}

std::int32_t Now()
{
    return static_cast<std::int32_t>(std::time(nullptr));
}

// Waits for Ctrl-C or SIGTERM, posting a new demo item every `every` seconds meanwhile when asked.
void WaitForSignal(const sigset_t& signals, ItemDatabase& items, const ServeSettings& settings)
{
    std::uint32_t posted = 0;
    while (true) {
        timespec wait{settings.demo ? settings.every : 3600, 0};
        if (::sigtimedwait(&signals, nullptr, &wait) > 0) {
            return;
        }
        if (settings.demo) {
            if (std::optional<ServerItem> item = items.Post(DemoCatalogue::NewItem(posted++, Now()))) {
                std::cout << "Posted item " << item->id << ": " << item->title << "\n" << std::flush;
            }
        }
    }
}

} // namespace

int RunServe(const std::vector<std::string>& args)
{
    ServeSettings settings;
    if (std::optional<std::string> error = ReadSettings(args, settings)) {
        std::cerr << "tallyhawk-server serve: " << *error << "\n";
        return kExitUsage;
    }
    // The signals are taken by the wait below, never by a handler on another thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A reader of the output that went away must not end the service.
    ::signal(SIGPIPE, SIG_IGN);

    ItemDatabase items;
    if (std::optional<std::string> error = items.Open(settings.db)) {
        std::cerr << "tallyhawk-server: " << *error << ".\n";
        return kExitFailure;
    }
    DemoShops shops;
    if (settings.demo) {
        DemoCatalogue::Seed(items, Now());
    }
    RequestAnswer answer(items, settings.version);
    DealServer::Options dealOptions;
    dealOptions.host = settings.host;
    dealOptions.port = settings.port;
    DealServer deals(answer, dealOptions);
    SiteServer::Options siteOptions;
    siteOptions.host = settings.host;
    siteOptions.port = settings.httpPort;
    siteOptions.configFile = settings.configFile;
    if (settings.demo) {
        siteOptions.shops = &shops;
    }
    SiteServer site(items, siteOptions);
    for (std::optional<std::string> error : {deals.Listen(), site.Listen()}) {
        if (error) {
            std::cerr << "tallyhawk-server: " << *error << ".\n";
            return kExitFailure;
        }
    }
    const std::string siteUrl = "http://" + settings.host + ":" + std::to_string(site.port());
    if (settings.demo && !settings.configFile) {
        // The demo agents read this server's own shops, at the address it really has.
        site.SetConfigText(shops.AgentConfiguration(siteUrl));
    }
    std::jthread dealThread([&deals](std::stop_token stop) { deals.Run(stop); });
    std::thread siteThread([&site] { site.Run(); });
    std::cout << "Deal server: " << settings.host << ":" << deals.port() << "\n"
              << "Site: " << siteUrl << "\n"
              << std::flush;

    WaitForSignal(signals, items, settings);
    site.Stop();
    siteThread.join();
    dealThread.request_stop();
    dealThread.join();
    std::cout << "Stopped.\n";
    return kExitOk;
}

} // namespace tallyhawk::server
