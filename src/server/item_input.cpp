#include "server/item_input.h"

#include "server/client_fields.h"
#include "server/server_options.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>

namespace tallyhawk::server
{

std::optional<std::int32_t> ItemInput::Kind(std::string_view word)
{
    if (word == "coupon" || word == "1") {
        return 1;
    }
    if (word == "deal" || word == "2") {
        return 2;
    }
    if (word == "topic" || word == "3") {
        return 3;
    }
    return std::nullopt;
}

std::optional<std::int32_t> ItemInput::Date(std::string_view text)
{
    if (std::optional<long long> seconds
        = WholeNumber(std::string(text), 0, std::numeric_limits<std::int32_t>::max())) {
        return static_cast<std::int32_t>(*seconds);
    }
    std::tm day{};
    int year = 0;
    int month = 0;
    int dayOfMonth = 0;
    char tail = 0;
    if (text.size() != 10
        || std::sscanf(std::string(text).c_str(), "%4d-%2d-%2d%c", &year, &month, &dayOfMonth, &tail) != 3
        || month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > 31 || year < 1970 || year > 2037) {
        return std::nullopt;
    }
    day.tm_year = year - 1900;
    day.tm_mon = month - 1;
    day.tm_mday = dayOfMonth;
    const std::time_t seconds = ::timegm(&day);
    // timegm carries a day past the month's end into the next month: 2026-02-30 is no day.
    std::tm check{};
    if (::gmtime_r(&seconds, &check) == nullptr || check.tm_mday != dayOfMonth || check.tm_mon != month - 1) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(seconds);
}

std::optional<ServerItem> ItemInput::FromJson(std::string_view line, std::string& error)
{
    nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        error = "not a JSON object";
        return std::nullopt;
    }
    // A name the import does not know is a typing mistake more often than not: it is refused rather
    // than dropped without a word.
    static const char* const kNames[]
        = {"kind", "title", "store", "category", "date", "hot", "description", "extra"};
    for (const auto& [name, value] : object.items()) {
        if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames)) {
            error = "unknown field \"" + name + "\"";
            return std::nullopt;
        }
    }
    ServerItem item;
    std::optional<std::int32_t> kind;
    if (auto found = object.find("kind"); found != object.end()) {
        kind = found->is_string()        ? Kind(found->get<std::string>())
            : found->is_number_integer() ? Kind(std::to_string(found->get<long long>()))
                                         : std::nullopt;
    }
    if (!kind) {
        error = "\"kind\" must be coupon, deal or topic";
        return std::nullopt;
    }
    item.kind = *kind;
    const std::pair<const char*, std::string*> texts[] = {{"title", &item.title},
                                                          {"store", &item.storeName},
                                                          {"category", &item.categoryName},
                                                          {"description", &item.description},
                                                          {"extra", &item.extra}};
    for (const auto& [name, text] : texts) {
        if (auto found = object.find(name); found != object.end()) {
            if (!found->is_string()) {
                error = "\"" + std::string(name) + "\" must be text";
                return std::nullopt;
            }
            *text = found->get<std::string>();
        }
    }
    if (item.title.empty()) {
        error = "\"title\" is missing";
        return std::nullopt;
    }
    if (item.categoryName.empty()) {
        error = "\"category\" is missing: clients keep no item without one";
        return std::nullopt;
    }
    if (auto found = object.find("date"); found != object.end()) {
        std::optional<std::int32_t> date = found->is_string() ? Date(found->get<std::string>())
            : found->is_number_integer()                      ? Date(std::to_string(found->get<long long>()))
                                                              : std::nullopt;
        if (!date) {
            error = "\"date\" must be seconds since 1970 or a day YYYY-MM-DD";
            return std::nullopt;
        }
        item.date = *date;
    }
    if (auto found = object.find("hot"); found != object.end()) {
        if (!found->is_boolean() && !found->is_number_integer()) {
            error = "\"hot\" must be true, false or a number";
            return std::nullopt;
        }
        item.hot = (found->is_boolean() && found->get<bool>())
                || (found->is_number_integer() && found->get<long long>() != 0)
            ? 1
            : 0;
    }
    ClientFields::Fit(item);
    return item;
}

} // namespace tallyhawk::server
