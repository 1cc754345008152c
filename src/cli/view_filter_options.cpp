#include "cli/view_filter_options.h"

#include "core/common/clock.h"
#include "core/common/time_span.h"

#include <algorithm>
#include <limits>

namespace tallyhawk::cli
{
namespace
{

constexpr long long kMostDays = 100000;

} // namespace

std::optional<std::int32_t> ParseInt32(const std::string& text)
{
    std::optional<long long> value = ParseInteger(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min()
        || *value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

// YYYY-MM-DD into its three numbers.
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

std::optional<ItemFilter> FilterFromOptions(const CommandLine& commandLine, std::string& error)
{
    ItemFilter filter;
    const bool days = commandLine.Has("--days");
    const bool range = commandLine.Has("--from") || commandLine.Has("--to");
    if (days && range) {
        error = "Give either --days or --from and --to, not both.";
        return std::nullopt;
    }
    if (days) {
        std::optional<long long> count = ParseInteger(*commandLine.Value("--days"));
        if (!count || *count < 0 || *count > kMostDays) {
            error = "--days takes a whole number of days from 0 to " + std::to_string(kMostDays) + ".";
            return std::nullopt;
        }
        // 0 is "Today": from midnight on; otherwise the span ends tonight and reaches N days back.
        const auto span = static_cast<std::int32_t>(
            std::min<long long>(*count * 86400, std::numeric_limits<std::int32_t>::max()));
        TimeSpan times = TimeSpan::EndingToday(span, Clock::Now());
        filter.from = times.from;
        filter.to = times.to;
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
            return std::nullopt;
        }
        (start ? filter.from : filter.to) = *time;
    }
    for (const char* option : {"--store", "--category"}) {
        if (!commandLine.Has(option)) {
            continue;
        }
        std::optional<std::int32_t> id = ParseInt32(*commandLine.Value(option));
        if (!id) {
            error = std::string(option) + " takes a whole number id.";
            return std::nullopt;
        }
        (std::string(option) == "--store" ? filter.storeId : filter.categoryId) = *id;
    }
    if (std::optional<std::string> words = commandLine.Value("--search"); words && !words->empty()) {
        filter.keyword = *words;
    }
    return filter;
}

bool HasTimeOptions(const CommandLine& commandLine)
{
    return commandLine.Has("--days") || commandLine.Has("--from") || commandLine.Has("--to");
}

} // namespace tallyhawk::cli
