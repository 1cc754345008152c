#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tallyhawk::test
{

// The server side of one accepted connection. Every wait also ends when the server stops, so a
// handler never holds up the server's shutdown.
class LoopbackPeer
{
public:
    // `sequence` counts the server's accepted connections from 0.
    LoopbackPeer(int fd, int wakeFd, int sequence);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // Up to `count` bytes, waiting at most `pieceWait` for each piece; shorter when the client
    // closed, a wait ran out or the server is stopping.
    std::string Read(std::size_t count, std::chrono::milliseconds pieceWait);
    // Writes all bytes; false when the client is gone or the server is stopping.
    bool Write(std::string_view bytes);
    // Sleeps; false when the server began stopping meanwhile.
    bool Pause(std::chrono::milliseconds duration);
    // Keeps the connection open, saying nothing, until the server stops.
    void WaitUntilStopped();
    // Closes the connection now (an orderly close; the client reads the end of the stream).
    void Close();

    bool stopping() const;
    int fd() const { return fd_; }
    int sequence() const { return sequence_; }

private:
    // Waits for `events` on the connection; false when the time ran out or the server is stopping.
    bool WaitFor(short events, std::chrono::milliseconds limit);

    int fd_;
    int wakeFd_;
    int sequence_;
};

// A TCP server on 127.0.0.1 and a free port. Each accepted connection is handed to the handler on a
// thread of its own, so a connection that hangs holds up no other. The destructor stops the server
// quickly, cutting short whatever a handler is waiting for.
class LoopbackServer
{
public:
    using Handler = std::function<void(LoopbackPeer&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    int connectionsAccepted() const { return accepted_.load(); }
    void Stop();

private:
    void Serve();

    Handler handler_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::thread thread_;
    // Connection threads; only the accept thread touches the list until it has been joined.
    std::vector<std::thread> connections_;
};

} // namespace tallyhawk::test
