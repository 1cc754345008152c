#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk::test
{

// One connection to 127.0.0.1 for tests that speak HTTP a byte at a time, or not at all.
class RawHttp
{
public:
    // Connects without waiting for the handshake (see WaitConnected).
    explicit RawHttp(std::uint16_t port);
    ~RawHttp();
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    // True once the handshake is done, false when it failed or did not end within `wait`.
    bool WaitConnected(std::chrono::milliseconds wait);
    // False when the connection no longer takes bytes.
    bool Send(std::string_view bytes);
    // Reads until one whole response (headers and Content-Length body) came, the peer closed, or
    // `wait` passed; what came.
    std::string ReadResponse(std::chrono::milliseconds wait);
    // True when the peer closed (or reset) the connection; reads and drops what comes meanwhile.
    bool ClosedWithin(std::chrono::milliseconds wait);

private:
    int fd_ = -1;
};

// The status of a response ("HTTP/1.1 200 OK" gives 200); 0 when there is none.
int StatusOf(const std::string& response);
// One GET with "Connection: close": the response, or what came of it within `wait`.
std::string Get(std::uint16_t port, std::string_view path, std::chrono::milliseconds wait);

} // namespace tallyhawk::test
