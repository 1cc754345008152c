#include "feed_test_host.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>

namespace tallyhawk::test
{

namespace
{

constexpr const char* kLastModified = "Tue, 10 Jun 2003 04:00:00 GMT";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

FeedTestHost::FeedTestHost()
    : server_(std::make_unique<httplib::Server>())
{
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Seen seen{request.path, {}};
            for (const auto& [name, value] : request.headers) {
                seen.headers[Lower(name)] = value;
            }
            seen_.push_back(std::move(seen));
            if (auto found = handlers_.find(request.path); found != handlers_.end()) {
                handler = found->second;
            }
        }
        if (!handler) {
            response.status = 404;
            return;
        }
        handler(request, response);
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // The port is bound already, so requests wait in the backlog; this only keeps a stop from
    // coming before the loop runs.
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

FeedTestHost::~FeedTestHost()
{
    server_->stop();
    thread_.join();
}

void FeedTestHost::Serve(const std::string& path, std::string body, std::string type)
{
    // Another body is another version.
    const std::string etag = "\"" + std::to_string(std::hash<std::string>{}(body)) + "\"";
    Handle(path,
           [body = std::move(body), type = std::move(type), etag](const httplib::Request& request,
                                                                  httplib::Response& response) {
               if (request.get_header_value("If-None-Match") == etag) {
                   response.status = 304;
                   return;
               }
               response.set_header("ETag", etag);
               response.set_header("Last-Modified", kLastModified);
               response.set_content(body, type);
           });
}

void FeedTestHost::Handle(const std::string& path, Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
}

std::string FeedTestHost::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<FeedTestHost::Seen> FeedTestHost::seen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

} // namespace tallyhawk::test
