#pragma once

#include <netdb.h>
#include <netinet/in.h>

#include <chrono>
#include <stop_token>
#include <string>

namespace tallyhawk
{

// Looks up a host name's IPv4 address on a thread of its own while the caller waits in short slices:
// the system's lookup cannot be interrupted, and a slow name server would otherwise hold a stop or a
// deadline for seconds. A lookup given up on finishes alone and is forgotten.
class NameLookup
{
public:
    enum class Result
    {
        Found,
        NotFound,
        Stopped,
        TimedOut,
    };

    // The lookup function, replaceable in tests (a slow name server); the system's getaddrinfo by default.
    using Function = int (*)(const char* host, const char* service, const addrinfo* hints, addrinfo** found);
    static void SetFunction(Function function);

    // `address` is set when Found. Ends early with Stopped once `stop` is set, with TimedOut at `until`.
    static Result Ipv4(const std::string& host,
                       in_addr& address,
                       std::stop_token stop,
                       std::chrono::steady_clock::time_point until);
};

} // namespace tallyhawk
