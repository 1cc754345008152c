#include "server/server_log.h"

#include <iostream>
#include <mutex>
#include <string>

namespace tallyhawk::server
{

void LogLine(std::string_view text)
{
    static std::mutex mutex;
    const std::string line = "tallyhawk-server: " + std::string(text) + "\n";
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << line << std::flush;
}

} // namespace tallyhawk::server
