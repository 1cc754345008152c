#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib
{
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tallyhawk::test
{

// A web server on a free port of 127.0.0.1 serving the feeds a test writes: each path answers with
// a handler the test sets, and every request's headers are kept for the test to look at.
class FeedTestHost
{
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    struct Seen
    {
        std::string path;
        std::map<std::string, std::string> headers; // names in small letters
    };

    FeedTestHost();
    ~FeedTestHost();
    FeedTestHost(const FeedTestHost&) = delete;
    FeedTestHost& operator=(const FeedTestHost&) = delete;

    // Serves `body` at `path` with the content type, an ETag of its own and a Last-Modified date,
    // answering 304 to a request that carries the ETag.
    void Serve(const std::string& path, std::string body, std::string type = "application/xml");
    void Handle(const std::string& path, Handler handler);
    std::string Url(const std::string& path) const;
    std::vector<Seen> seen();

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, Handler> handlers_;
    std::vector<Seen> seen_;
};

} // namespace tallyhawk::test
