#include "cli/time_filter_options.h"

#include "core/common/clock.h"
#include "core/common/time_span.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tallyhawk::cli
{
namespace
{

constexpr long long kMostDays = 100000;

} // namespace

void ApplySpan(ItemFilter& filter, std::int32_t span)
{
    TimeSpan times = TimeSpan::EndingToday(span, Clock::Now());
    filter.from = times.from;
    filter.to = times.to;
}

std::optional<std::array<int, 3>> ParseDate(const std::string& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    return std::array<int, 3>{
        std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
}

void AddTimeOptions(CommandLine& commandLine, const std::string& things)
{
    commandLine.Option("--days", "N", things + " in the last N days up to tonight; 0 is today")
        .Option("--from", "YYYY-MM-DD", things + " on or after this day")
        .Option("--to", "YYYY-MM-DD", things + " on or before this day");
}

bool ApplyTimeOptions(const CommandLine& commandLine,
                      ItemFilter& filter,
                      std::optional<std::int32_t> defaultSpan,
                      std::string& error)
{
    const bool days = commandLine.Has("--days");
    const bool range = commandLine.Has("--from") || commandLine.Has("--to");
    if (days && range) {
        error = "Give either --days or --from and --to, not both.";
        return false;
    }
    if (!days && !range && defaultSpan) {
        ApplySpan(filter, *defaultSpan);
    }
    if (days) {
        std::optional<long long> count = ParseInteger(*commandLine.Value("--days"));
        if (!count || *count < 0 || *count > kMostDays) {
            error = "--days takes a whole number of days from 0 to " + std::to_string(kMostDays) + ".";
            return false;
        }
        // 0 is "Today": from midnight on; otherwise the span ends tonight and reaches N days back.
        ApplySpan(filter,
                  static_cast<std::int32_t>(
                      std::min<long long>(*count * 86400, std::numeric_limits<std::int32_t>::max())));
    }
    for (const char* option : {"--from", "--to"}) {
        if (!commandLine.Has(option)) {
            continue;
        }
        std::optional<std::array<int, 3>> date = ParseDate(*commandLine.Value(option));
        const bool start = std::string(option) == "--from";
        std::optional<std::int32_t> time;
        if (date) {
            time = start ? LocalTime((*date)[0], (*date)[1], (*date)[2], 0, 0, 0)
                         : LocalTime((*date)[0], (*date)[1], (*date)[2], 23, 59, 59);
        }
        if (!time) {
            error = std::string(option) + " takes a date as YYYY-MM-DD between 1970 and 2038.";
            return false;
        }
        (start ? filter.from : filter.to) = *time;
    }
    return true;
}

} // namespace tallyhawk::cli
