#include "server/site_server.h"

#include "core/common/item_kind.h"
#include "server/demo_feed.h"
#include "server/demo_shops.h"
#include "server/item_store.h"
#include "server/server_log.h"
#include "server/site_http.h"
#include "server/site_pages.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

namespace tallyhawk::server
{

namespace
{

constexpr const char* kHtml = "text/html; charset=utf-8";

std::int32_t NumberParam(const httplib::Request& request, const char* name)
{
    return request.has_param(name) ? SitePages::IndexArgument(request.get_param_value(name)) : 0;
}

std::optional<std::string> ReadWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A failing database is answered as a failure, never as an empty list that a client would take.
void DatabaseFailed(const httplib::Request& request, httplib::Response& response, const std::string& error)
{
    LogLine(request.path + " failed: " + error);
    response.status = 500;
    response.set_content(SitePages::Page("Service error", {"The service could not read its database."}),
                         kHtml);
}

// A request that carries a body (the site takes none) is refused before the body is read.
bool HasBody(const httplib::Request& request)
{
    return request.has_header("Transfer-Encoding")
        || (request.has_header("Content-Length") && request.get_header_value("Content-Length") != "0");
}

} // namespace

SiteServer::SiteServer(ItemStore& items, Options options)
    : items_(items)
    , options_(std::move(options))
    , http_(std::make_unique<SiteHttp>(
          SiteHttp::Limits{options_.requestDeadline, options_.maxConnections, options_.workers}))
{
    Route();
}

SiteServer::~SiteServer() = default;

void SiteServer::Route()
{
    SiteHttp& http = *http_;
    http.set_payload_max_length(0);
    http.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        if (!HasBody(request)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 413;
        response.set_header("Connection", "close");
        response.set_content(SitePages::Page("Not accepted", {"This site takes no request bodies."}), kHtml);
        // The body that follows is never read, so the connection cannot carry another request.
        SiteHttp::CloseAfterAnswer();
        return httplib::Server::HandlerResponse::Handled;
    });
    auto namedList = [this](bool stores) {
        return [this, stores](const httplib::Request& request, httplib::Response& response) {
            std::string error;
            const std::int32_t after = NumberParam(request, "idx");
            std::optional<std::vector<NamedEntry>> entries
                = stores ? items_.StoresAfter(after, &error) : items_.CategoriesAfter(after, &error);
            if (!entries) {
                DatabaseFailed(request, response, error);
                return;
            }
            response.set_content(SitePages::UpdateAnswer(*entries), kHtml);
        };
    };
    http.Get("/webspider.xml", [this](const httplib::Request&, httplib::Response& response) {
        std::optional<std::string> text = options_.configText;
        if (options_.configFile) {
            text = ReadWhole(*options_.configFile);
        }
        if (!text) {
            response.status = 404;
            response.set_content(SitePages::Page("Not found", {"No agent configuration is published."}),
                                 kHtml);
            return;
        }
        response.set_content(*text, "text/xml");
    });
    http.Get("/stores.aspx", namedList(true));
    http.Get("/categories.aspx", namedList(false));
    auto itemPage = [this](const char* what) {
        return [this, what](const httplib::Request& request, httplib::Response& response) {
            std::string error;
            const std::int32_t id = NumberParam(request, "srcId");
            std::optional<ServerItem> item = items_.Find(id, &error);
            if (!error.empty()) {
                DatabaseFailed(request, response, error);
                return;
            }
            // An item taken from a feed leads to the deal itself.
            if (std::optional<std::string> link = item ? items_.LinkOf(id) : std::nullopt;
                link && SitePages::IsWebAddress(*link)) {
                response.set_redirect(*link, 302);
                return;
            }
            response.set_content(SitePages::ItemPage(what, item), kHtml);
        };
    };
    http.Get("/coupon.aspx", itemPage("coupon"));
    http.Get("/deal.aspx", itemPage("deal"));
    http.Get("/redir.aspx", itemPage("item"));
    http.Get("/messages.aspx", itemPage("forum topic"));
    http.Get("/cbstores.aspx", [this](const httplib::Request& request, httplib::Response& response) {
        std::string error;
        std::optional<std::vector<NamedEntry>> stores = items_.StoresAfter(0, &error);
        if (!stores) {
            DatabaseFailed(request, response, error);
            return;
        }
        std::vector<std::string> names;
        for (const NamedEntry& store : *stores) {
            names.push_back(store.name + ": cash back on every purchase");
        }
        response.set_content(SitePages::Page("Cash Back Stores", names), kHtml);
    });
    http.Get("/download.aspx", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(SitePages::Page("Download Tallyhawk",
                                             {"This local service offers no download. Build the "
                                              "program from its sources to update it."}),
                             kHtml);
    });
    http.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
        std::string error;
        std::optional<std::int32_t> count = items_.ItemCount(&error);
        if (!count) {
            DatabaseFailed(request, response, error);
            return;
        }
        response.set_content(SitePages::Page("Tallyhawk",
                                             {"A local stand-in for the deals service.",
                                              std::to_string(*count) + " items are posted."}),
                             kHtml);
    });
    if (options_.shops != nullptr) {
        http.Get(R"(/shop/([a-z]+)/search)",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     response.set_content(
                         options_.shops->ResultPage(request.matches[1].str(), request.get_param_value("q")),
                         kHtml);
                 });
    }
    if (options_.demoFeed != nullptr) {
        const auto now = [] {
            return static_cast<std::int64_t>(std::time(nullptr));
        };
        http.Get(DemoFeed::kAtomPath, [this, now](const httplib::Request&, httplib::Response& response) {
            response.set_content(options_.demoFeed->Atom(now()), "application/atom+xml");
        });
        http.Get(DemoFeed::kRssPath, [this, now](const httplib::Request&, httplib::Response& response) {
            response.set_content(options_.demoFeed->Rss(now()), "application/rss+xml");
        });
    }
    http.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            response.set_content(SitePages::Page("Not found", {"There is no such page on this service."}),
                                 kHtml);
        }
    });
}

std::optional<std::string> SiteServer::Listen()
{
    if (options_.port == 0) {
        const int port = http_->bind_to_any_port(options_.host);
        if (port <= 0) {
            return "cannot listen on " + options_.host;
        }
        port_ = static_cast<std::uint16_t>(port);
    } else if (http_->bind_to_port(options_.host, options_.port)) {
        port_ = options_.port;
    } else {
        return "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    }
    if (!http_->WidenBacklog()) {
        return "cannot listen on " + options_.host + ":" + std::to_string(port_) + " with a backlog of "
            + std::to_string(options_.maxConnections);
    }
    return std::nullopt;
}

void SiteServer::Run()
{
    if (!stopRequested_) {
        http_->listen_after_bind();
    }
    finished_ = true;
}

void SiteServer::Stop()
{
    // The listening loop ignores a stop that comes before it runs, so the stop is repeated until the
    // loop has ended (or never started); bounded in case Run is never called.
    stopRequested_ = true;
    for (int waited = 0; !finished_ && waited < 10000; ++waited) {
        if (http_->is_running()) {
            http_->StopAll();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace tallyhawk::server
