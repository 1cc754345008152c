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
// connection has kConnectionLimit as a whole for its request and reply, at most maxConnections are
// served at once (a client beyond them gets a 9002 reply and is closed), and a frame with a bad header,
// over the 16 MiB ceiling or longer than any request (4 KiB) is answered with 9002 and closed before
// its payload is read.
class DealServer
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        std::uint16_t port = 8022; // 0: any free port
        std::size_t maxConnections = 1000;
        std::chrono::milliseconds connectionLimit{10000};
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

    void Accept();
    // False once the connection is done with (closed or to be dropped).
    bool Receive(Connection& connection);
    bool Send(Connection& connection);
    void QueueReply(Connection& connection, const std::vector<char>& payload);

    const RequestAnswer& answer_;
    Options options_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::vector<Connection> connections_;
};

} // namespace tallyhawk::server
