#include "support/test_http_server.h"

#include <sys/socket.h>

namespace tallyhawk::test
{

namespace
{

constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::chrono::milliseconds kRequestWait{5000};
constexpr std::chrono::milliseconds kLingerWait{2000};

std::string ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// The request line and header lines up to the blank line; false when the client sent no whole head.
bool ReadRequestHead(LoopbackPeer& peer, std::string& head)
{
    // Byte by byte: nothing after the head may be swallowed, and the client waits for the answer.
    while (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
        std::string byte = peer.Read(1, kRequestWait);
        if (byte.empty() || head.size() >= kMaxRequestHead) {
            return false;
        }
        head += byte;
    }
    head.resize(head.size() - 4);
    return true;
}

HttpRequestRecord ParseRequestHead(const std::string& head)
{
    HttpRequestRecord record;
    std::size_t start = 0;
    bool first = true;
    while (start <= head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos) {
            end = head.size();
        }
        std::string line = head.substr(start, end - start);
        start = end + 2;
        if (first) {
            record.requestLine = line;
            std::size_t space = line.find(' ');
            if (space != std::string::npos) {
                std::size_t second = line.find(' ', space + 1);
                record.target
                    = line.substr(space + 1, second == std::string::npos ? second : second - space - 1);
            }
            first = false;
        } else if (!line.empty()) {
            record.headerLines.push_back(line);
        }
    }
    return record;
}

// Returns when the client has closed the connection, the server stops, or `limit` passed without a byte.
void WaitForClientToLeave(LoopbackPeer& peer, std::chrono::milliseconds limit)
{
    while (!peer.stopping() && !peer.Read(4096, limit).empty()) {
    }
}

} // namespace

HttpResponse
HttpResponse::Make(int status, std::string_view body, const std::vector<std::string>& headerLines)
{
    HttpResponse response;
    response.bytes = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
    for (const std::string& line : headerLines) {
        response.bytes += line + "\r\n";
    }
    response.bytes += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    response.bytes += body;
    return response;
}

HttpResponse HttpResponse::Redirect(int status, std::string_view location)
{
    return Make(status, "moved", {"Location: " + std::string(location)});
}

HttpResponse HttpResponse::Raw(std::string bytes)
{
    HttpResponse response;
    response.bytes = std::move(bytes);
    return response;
}

HttpResponse HttpResponse::Delayed(std::chrono::milliseconds wait, std::string_view body)
{
    HttpResponse response = Make(200, body);
    response.delay = wait;
    return response;
}

HttpResponse HttpResponse::Stall()
{
    HttpResponse response;
    response.stallAfter = 0;
    return response;
}

TestHttpServer::TestHttpServer()
    : server_([this](LoopbackPeer& peer) { Serve(peer); })
{ }

std::string TestHttpServer::Url(std::string_view target) const
{
    return "http://127.0.0.1:" + std::to_string(port()) + std::string(target);
}

void TestHttpServer::Respond(const std::string& target, HttpResponse response)
{
    Handle(target, [response = std::move(response)](const HttpRequestRecord&) { return response; });
}

void TestHttpServer::Handle(const std::string& target, Handler handler)
{
    std::lock_guard lock(mutex_);
    handlers_[target] = std::move(handler);
}

std::vector<HttpRequestRecord> TestHttpServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestHttpServer::RequestCount() const
{
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void TestHttpServer::Serve(LoopbackPeer& peer)
{
    std::string head;
    if (!ReadRequestHead(peer, head)) {
        return;
    }
    HttpRequestRecord record = ParseRequestHead(head);
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(record);
        auto it = handlers_.find(record.target);
        if (it != handlers_.end()) {
            handler = it->second;
        }
    }
    HttpResponse response = handler ? handler(record) : HttpResponse::Make(404, "<html>not found</html>");

    if (response.delay.count() > 0 && !peer.Pause(response.delay)) {
        return;
    }
    std::string_view bytes = std::string_view(response.bytes).substr(0, response.stallAfter);
    std::size_t chunk = response.chunkBytes == 0 ? bytes.size() : response.chunkBytes;
    for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
        if ((offset > 0 && !peer.Pause(response.chunkDelay)) || !peer.Write(bytes.substr(offset, chunk))) {
            return;
        }
    }
    if (response.stallAfter != std::string::npos) {
        // Not a byte more, until the client gives up.
        WaitForClientToLeave(peer, std::chrono::hours(1));
        return;
    }
    // Let the client read everything before the connection goes.
    ::shutdown(peer.fd(), SHUT_WR);
    WaitForClientToLeave(peer, kLingerWait);
}

} // namespace tallyhawk::test
