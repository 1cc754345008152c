#pragma once

#include <httplib.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace tallyhawk::server
{

// One site connection as the HTTP library reads and writes it, with a deadline for a request as a
// whole: however slowly a client sends its headers or body, or reads the answer, a read or write past
// the deadline fails, and so does every one once the server stops. The socket is looked at in short
// slices, so a stop is seen at once.
class DeadlineStream : public httplib::Stream
{
public:
    using Clock = std::chrono::steady_clock;

    DeadlineStream(int fd, const std::atomic<bool>& stopping);

    void SetDeadline(Clock::time_point deadline) { deadline_ = deadline; }
    // Waits for the first byte of a request: false when none came by the deadline.
    bool WaitForRequest() const { return BufferedBytes() > 0 || Wait(POLLIN); }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return fd_; }

private:
    std::size_t BufferedBytes() const { return filled_ - taken_; }
    // True once the socket is ready for `events`; false at the deadline or the stop.
    bool Wait(short events) const;

    int fd_;
    const std::atomic<bool>& stopping_;
    Clock::time_point deadline_;
    // Requests are read a line at a time, a byte per call: reads go through a buffer.
    std::vector<char> buffer_;
    std::size_t filled_ = 0;
    std::size_t taken_ = 0;
};

} // namespace tallyhawk::server
