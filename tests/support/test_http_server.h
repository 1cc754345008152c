#pragma once

#include "support/loopback_server.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::test
{

// What the test server sends for one request.
struct HttpResponse
{
    // Exactly the bytes that go on the wire: status line, headers and body.
    std::string bytes;
    // After this many bytes nothing more is sent: the connection is held open until the client leaves
    // or the server stops (a stalled server, or one that stops in the middle of a body).
    std::size_t stallAfter = std::string::npos;
    // With a non-zero size the bytes go out in pieces of that size, `chunkDelay` apart (a trickle).
    std::size_t chunkBytes = 0;
    std::chrono::milliseconds chunkDelay{0};
    // The wait before the first byte goes out (a slow server).
    std::chrono::milliseconds delay{0};

    // A whole response: the status line, the given header lines, "Content-Length", "Connection: close"
    // and the body.
    static HttpResponse
    Make(int status, std::string_view body, const std::vector<std::string>& headerLines = {});
    // A redirect with "Location: " and the given target, and a short body.
    static HttpResponse Redirect(int status, std::string_view location);
    // Byte-exact, whatever they are.
    static HttpResponse Raw(std::string bytes);
    // A whole 200 response that starts only after `wait`.
    static HttpResponse Delayed(std::chrono::milliseconds wait, std::string_view body);
    // Accepts the request and never answers.
    static HttpResponse Stall();
};

// One request as the server received it.
struct HttpRequestRecord
{
    std::string requestLine; // "GET /path?query HTTP/1.1"
    std::string target; // "/path?query"
    std::vector<std::string> headerLines; // in order, without their line ends
};

// A small HTTP server for tests on 127.0.0.1 and a free port, on the loopback server's threads. Answers
// are looked up by the exact request target; anything else gets a 404 page. The destructor stops the
// server promptly, also in the middle of a stalled or trickled answer.
class TestHttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequestRecord&)>;

    TestHttpServer();

    std::uint16_t port() const { return server_.port(); }
    // "http://127.0.0.1:PORT" followed by target.
    std::string Url(std::string_view target = "/") const;

    void Respond(const std::string& target, HttpResponse response);
    void Handle(const std::string& target, Handler handler);

    std::vector<HttpRequestRecord> Requests() const;
    std::size_t RequestCount() const;

private:
    void Serve(LoopbackPeer& peer);

    mutable std::mutex mutex_;
    std::map<std::string, Handler> handlers_;
    std::vector<HttpRequestRecord> requests_;
    // Last, so its threads are stopped before the members above go.
    LoopbackServer server_;
};

} // namespace tallyhawk::test
