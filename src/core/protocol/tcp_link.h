#pragma once

#include "core/common/status.h"
#include "core/protocol/server_failure.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tallyhawk
{

// One TCP connection to the deal server: connect with a bounded wait, send one frame, receive one
// frame, close. A frame is "<!>", the payload length as a big-endian 32-bit number, then the payload.
// Every wait is bounded, cut into slices of at most 200 ms, and ends early once the stop token is
// set; a stopped wait fails like one that ran out. A deadline, when set, bounds all waits together, so
// a peer that sends a byte now and then cannot hold the link for long; passing it fails with -9.
// lastFailure() tells why the last operation failed.
class TcpLink
{
public:
    static constexpr std::size_t kHeaderLength = 7;
    // Longer frames are refused before anything is allocated for them.
    static constexpr std::int32_t kMaxFrameLength = 16 * 1024 * 1024;

    TcpLink() = default;
    ~TcpLink();
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    // host is a name or a dotted IPv4 address, port in host byte order. Returns the socket handle
    // (above 0), -1 when no socket could be made, -2 when the name is unknown, the connection was
    // refused or did not complete within the wait.
    int Connect(const std::string& host, std::uint16_t port);
    // Sends the header and the whole payload. `length` on success, -2 without a socket, -3 when the
    // frame could not be written whole within the wait, -9 when the deadline passed.
    int SendFrame(const char* data, std::int32_t length);
    // Receives one frame; on success `payload` holds exactly its bytes and the length is returned.
    // Otherwise -2, -4, -5, -8 or -9 (the deadline passed), and `payload` is left empty.
    int ReceiveFrame(std::vector<char>& payload);
    // Closes a held socket. 0, or -5 when closing reported an error; the socket is forgotten anyway.
    int Close();
    bool IsOpen() const { return socket_ >= 0; }
    int handle() const { return socket_; }

    void SetStopToken(std::stop_token token) { stopToken_ = std::move(token); }

    // Bounds every wait from now on by `deadline`, until ClearDeadline.
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }
    void ClearDeadline() { deadline_.reset(); }

    // Why the last Connect, SendFrame or ReceiveFrame failed; None after a success.
    ServerFailure lastFailure() const { return lastFailure_; }

    // Takes over a socket that is already connected (a socketpair end in tests and fuzzing).
    void AdoptConnectedSocket(int fd);

    // The wait for connecting, for the start of a reply and for each piece of a reply's body.
    std::int32_t timeoutSeconds = 20;
    // When above zero, used instead of timeoutSeconds (short waits in tests).
    std::chrono::milliseconds timeoutOverride{0};
    // The wait for each piece of a frame header.
    std::chrono::milliseconds headerPieceWait{10000};

private:
    enum class WaitResult
    {
        Ready,
        TimedOut,
        Stopped,
        DeadlinePassed,
    };

    std::chrono::milliseconds Timeout() const;
    WaitResult WaitFor(short events, std::chrono::milliseconds limit) const;
    WaitResult WriteFrame(const char* data, std::size_t length);
    int ReceiveHeader(std::uint32_t& length);
    int ReceiveBody(std::vector<char>& payload, std::int32_t length);
    // Records why an operation failed and returns its status.
    int Fail(int status, ServerFailure failure);
    // A wait that did not end Ready: -9 for a passed deadline, else `status`; the failure is Stopped
    // for a stop, else `otherwise`.
    int FailWait(WaitResult wait, int status, ServerFailure otherwise);
    void DropSocket();

    int socket_ = -1;
    std::stop_token stopToken_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    ServerFailure lastFailure_ = ServerFailure::None;
};

} // namespace tallyhawk
