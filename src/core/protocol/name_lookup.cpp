#include "core/protocol/name_lookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tallyhawk
{
namespace
{

constexpr std::chrono::milliseconds kWaitSlice{200};

std::atomic<NameLookup::Function> lookupFunction{&::getaddrinfo};

// What the lookup thread and the waiting caller share; whichever lets go last frees it.
struct Pending
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    in_addr address{};
};

} // namespace

void NameLookup::SetFunction(Function function)
{
    lookupFunction.store(function != nullptr ? function : &::getaddrinfo);
}

NameLookup::Result NameLookup::Ipv4(const std::string& host,
                                    in_addr& address,
                                    std::stop_token stop,
                                    std::chrono::steady_clock::time_point until)
{
    auto pending = std::make_shared<Pending>();
    std::thread([pending, host, lookup = lookupFunction.load()] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const bool ok = lookup(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr;
        std::lock_guard<std::mutex> lock(pending->mutex);
        if (ok) {
            pending->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        }
        if (found != nullptr) {
            ::freeaddrinfo(found);
        }
        pending->found = ok;
        pending->finished = true;
        pending->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->finished) {
        if (stop.stop_requested()) {
            return Result::Stopped;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return Result::TimedOut;
        }
        pending->done.wait_for(lock, std::min<std::chrono::steady_clock::duration>(until - now, kWaitSlice));
    }
    if (!pending->found) {
        return Result::NotFound;
    }
    address = pending->address;
    return Result::Found;
}

} // namespace tallyhawk
