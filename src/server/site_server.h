#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tallyhawk::server
{

class DemoFeed;
class DemoShops;
class ItemStore;
class SiteHttp;

// The service's web site: the agent configuration, the store and category list updates, and a plain
// page for every address the program opens in a browser. Served by cpp-httplib on a pool of workers
// with bounds no client can get around: a deadline for each request as a whole, at most
// maxConnections connections held, and no request bodies (the site takes none: 413 before one is read).
// A failing database is logged and answered 500.
class SiteServer
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        std::uint16_t port = 8080; // 0: any free port
        // The agent configuration served as /webspider.xml: this file, read at each request...
        std::optional<std::string> configFile;
        // ...or this text (the demo's); without either the address answers 404.
        std::optional<std::string> configText;
        // The demo's shops, whose result pages the demo agents read.
        const DemoShops* shops = nullptr;
        // The demo's sample feed, served at DemoFeed::kAtomPath and kRssPath.
        const DemoFeed* demoFeed = nullptr;
        // A request's headers must come, and its answer go, within this time.
        std::chrono::milliseconds requestDeadline{5000};
        // Connections served or waiting for a worker at once; the listening backlog is as long.
        std::size_t maxConnections = 1000;
        std::size_t workers = 32;
    };

    SiteServer(ItemStore& items, Options options);
    ~SiteServer();
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // Binds the port. An error text, or nothing.
    std::optional<std::string> Listen();
    std::uint16_t port() const { return port_; }
    // Serves until Stop.
    void Run();
    // Ends the serving within a fraction of a second, whatever the clients do.
    void Stop();
    // Replaces the configuration text (before Run: the demo learns its address only once bound).
    void SetConfigText(std::string text) { options_.configText = std::move(text); }

private:
    void Route();

    ItemStore& items_;
    Options options_;
    std::unique_ptr<SiteHttp> http_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
};

} // namespace tallyhawk::server
