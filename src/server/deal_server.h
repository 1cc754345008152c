#pragma once

#include "server/request_answer.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tallyhawk::server
{

// The deal server: one poll loop on one thread serves every connection, each one request and one
// reply as the protocol has it. No connection can hold the others up: sockets never block, a
// connection has connectionLimit as a whole for its request and reply, at most maxConnections are
// served at once (a client beyond them gets a 9002 reply and is closed), and a frame with a bad header,
// over the 16 MiB ceiling or longer than any request (4 KiB) is answered with 9002 before its payload
// is read; what the client still sends is read and dropped for a moment, so the reply is not lost to
// a reset. Replies are bounded each (RequestAnswer) and together: while maxHeldBytes of replies wait
// to be sent, further requests wait for room. When descriptors run out, accepting pauses until one
// frees (or a second passes) instead of spinning.
class DealServer
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        std::uint16_t port = 8022; // 0: any free port
        std::size_t maxConnections = 1000;
        std::chrono::milliseconds connectionLimit{10000};
        std::size_t maxHeldBytes = 32 * 1024 * 1024;
        // The socket send buffer of each connection; 0 leaves it to the system.
        int sendBuffer = 0;
    };

    DealServer(const RequestAnswer& answer, Options options);
    ~DealServer();
    DealServer(const DealServer&) = delete;
    DealServer& operator=(const DealServer&) = delete;

    // Binds and listens. An error text, or nothing.
    std::optional<std::string> Listen();
    // The port it listens on (after Listen).
    std::uint16_t port() const { return port_; }
    // Serves until `stop` is set; returns within a poll slice after that.
    void Run(std::stop_token stop);

private:
    struct Connection;

    void Accept(std::chrono::steady_clock::time_point now);
    // False once the connection is done with (closed or to be dropped).
    bool Receive(Connection& connection);
    bool Send(Connection& connection);
    bool Drain(Connection& connection);
    // Answers a whole request once the replies held leave room for another.
    void AnswerWhenRoom(Connection& connection);
    void QueueReply(Connection& connection, const std::vector<char>& payload, bool drainAfter = false);
    void Close(Connection& connection);
    short EventsOf(const Connection& connection) const;

    const RequestAnswer& answer_;
    Options options_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::vector<Connection> connections_;
    std::size_t heldBytes_ = 0;
    // Accepting waits until then (or until a connection closes) after the descriptors ran out.
    std::optional<std::chrono::steady_clock::time_point> acceptPausedUntil_;
};

} // namespace tallyhawk::server
