#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace httplib
{
class Server;
}

namespace tallyhawk::server
{

class DemoShops;
class ItemDatabase;

// The service's web site: the agent configuration, the store and category list updates, and a plain
// page for every address the program opens in a browser. Served by cpp-httplib's bounded pool.
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
    };

    SiteServer(ItemDatabase& items, Options options);
    ~SiteServer();
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // Binds the port. An error text, or nothing.
    std::optional<std::string> Listen();
    std::uint16_t port() const { return port_; }
    // Serves until Stop.
    void Run();
    void Stop();
    // Replaces the configuration text (before Run: the demo learns its address only once bound).
    void SetConfigText(std::string text) { options_.configText = std::move(text); }

private:
    void Route();

    ItemDatabase& items_;
    Options options_;
    std::unique_ptr<httplib::Server> http_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
};

} // namespace tallyhawk::server
