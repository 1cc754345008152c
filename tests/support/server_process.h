#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk::test
{

// A tallyhawk-server serve process on free ports of 127.0.0.1, started in `folder`; the constructor
// returns once it printed both addresses (or failed: started() is false). The destructor ends it with
// SIGTERM (SIGKILL if it does not end within a few seconds).
class ServerProcess
{
public:
    ServerProcess(const std::string& program,
                  const std::vector<std::string>& serveArgs,
                  const std::filesystem::path& folder);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool started() const { return dealPort_ != 0 && !siteUrl_.empty(); }
    std::uint16_t dealPort() const { return dealPort_; }
    const std::string& siteUrl() const { return siteUrl_; }
    // Everything it printed up to the addresses.
    const std::string& output() const { return output_; }

    // Sends SIGTERM and waits: its exit status, -1 when it had to be killed.
    int Stop();
    // Ends it at once with SIGKILL, as a crash or a power cut would, and waits for it.
    void Kill();

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    std::uint16_t dealPort_ = 0;
    std::string siteUrl_;
    std::string output_;
};

} // namespace tallyhawk::test
