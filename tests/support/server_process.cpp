#include "support/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace tallyhawk::test
{

namespace
{

std::string LineAfter(const std::string& text, const std::string& prefix)
{
    std::size_t at = text.find(prefix);
    if (at == std::string::npos) {
        return {};
    }
    at += prefix.size();
    std::size_t end = text.find('\n', at);
    return end == std::string::npos ? std::string() : text.substr(at, end - at);
}

} // namespace

ServerProcess::ServerProcess(const std::string& program,
                             const std::vector<std::string>& serveArgs,
                             const std::filesystem::path& folder)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> words
        = {program, "serve", "--host", "127.0.0.1", "--port", "0", "--http-port", "0"};
    words.insert(words.end(), serveArgs.begin(), serveArgs.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        if (::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    outFd_ = pipeFds[0];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && LineAfter(output_, "Site: ").empty()) {
        pollfd polled{outFd_, POLLIN, 0};
        if (::poll(&polled, 1, 100) > 0) {
            char buffer[512];
            ssize_t got = ::read(outFd_, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            output_.append(buffer, static_cast<std::size_t>(got));
        }
    }
    std::string deal = LineAfter(output_, "Deal server: 127.0.0.1:");
    siteUrl_ = LineAfter(output_, "Site: ");
    if (!deal.empty()) {
        dealPort_ = static_cast<std::uint16_t>(std::stoi(deal));
    }
}

int ServerProcess::Stop()
{
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ServerProcess::Kill()
{
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

ServerProcess::~ServerProcess()
{
    Stop();
    if (outFd_ >= 0) {
        ::close(outFd_);
    }
}

} // namespace tallyhawk::test
