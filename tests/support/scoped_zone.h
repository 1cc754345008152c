#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tallyhawk
{

// Pins the local time zone for one test (a POSIX rule such as "EST5EDT,M3.2.0,M11.1.0", so no zone
// database is needed) and puts the old one back afterwards.
class ScopedZone
{
public:
    explicit ScopedZone(const char* zone)
    {
        const char* old = std::getenv("TZ");
        if (old != nullptr) {
            old_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedZone()
    {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedZone(const ScopedZone&) = delete;
    ScopedZone& operator=(const ScopedZone&) = delete;

private:
    std::optional<std::string> old_;
};

// North American eastern time with its daylight saving rules since 2007.
inline constexpr const char* kEasternZone = "EST5EDT,M3.2.0,M11.1.0";

} // namespace tallyhawk
