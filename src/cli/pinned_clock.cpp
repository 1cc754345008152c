#include "cli/pinned_clock.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tallyhawk::cli
{

PinnedClock::PinnedClock()
{
    if (std::optional<std::int64_t> seconds = FromEnvironment()) {
        seconds_ = *seconds;
        Install(this);
        installed_ = true;
    }
}

PinnedClock::~PinnedClock()
{
    if (installed_) {
        Install(nullptr);
    }
}

std::optional<std::int64_t> PinnedClock::FromEnvironment()
{
    const char* text = std::getenv("TALLYHAWK_NOW");
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    auto [rest, error] = std::from_chars(text, end, value);
    if (error != std::errc() || rest != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace tallyhawk::cli
