#include "server/item_input.h"

#include "server/server_options.h"

#include <ctime>
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
    return static_cast<std::int32_t>(::timegm(&day));
}

std::optional<ServerItem> ItemInput::FromJson(std::string_view line, std::string& error)
{
    nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        error = "not a JSON object";
        return std::nullopt;
    }
    auto text = [&](const char* name) -> std::string {
        auto found = object.find(name);
        return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
    };
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
    item.title = text("title");
    if (item.title.empty()) {
        error = "\"title\" is missing";
        return std::nullopt;
    }
    item.storeName = text("store");
    item.categoryName = text("category");
    item.description = text("description");
    item.extra = text("extra");
    if (auto found = object.find("date"); found != object.end()) {
        std::optional<std::int32_t> date = found->is_string() ? Date(found->get<std::string>())
            : found->is_number_integer()                      ? Date(std::to_string(found->get<long long>()))
                                                              : std::nullopt;
        if (!date) {
            error = "\"date\" must be seconds since 1970 or YYYY-MM-DD";
            return std::nullopt;
        }
        item.date = *date;
    }
    if (auto found = object.find("hot"); found != object.end()) {
        item.hot = (found->is_boolean() && found->get<bool>())
                || (found->is_number_integer() && found->get<long long>() != 0)
            ? 1
            : 0;
    }
    return item;
}

} // namespace tallyhawk::server
