#include "cli/product_options.h"

#include "cli/time_filter_options.h"
#include "core/common/clock.h"
#include "core/common/display_text.h"
#include "core/common/time_span.h"
#include "core/shopping/product_input.h"
#include "core/shopping/purchase_type.h"

#include <vector>

namespace tallyhawk::cli
{
namespace
{

// The list entries' names are held to the product editor's limit: 50 characters are taken (49 stored),
// more are refused.
constexpr std::size_t kNameLimit = 50;

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        std::size_t at = text.find(separator, begin);
        parts.push_back(text.substr(begin, at == std::string::npos ? std::string::npos : at - begin));
        if (at == std::string::npos) {
            return parts;
        }
        begin = at + 1;
    }
}

std::optional<long long> WholeNumberIn(const std::string& text, long long low, long long high)
{
    std::optional<long long> value = ParseInteger(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return value;
}

// "mon" ... "sun", or 0 to 7 (0 and 7 are Sunday); the weekday number the schedule compares with.
std::optional<std::int16_t> Weekday(const std::string& text)
{
    static constexpr const char* kNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    for (std::int16_t day = 0; day < 7; ++day) {
        if (text == kNames[day]) {
            return day;
        }
    }
    if (std::optional<long long> number = WholeNumberIn(text, 0, 7)) {
        return static_cast<std::int16_t>(*number % 7);
    }
    return std::nullopt;
}

std::optional<std::int32_t> DateAtOne(const std::string& text)
{
    std::optional<std::array<int, 3>> date = ParseDate(text);
    return date ? LocalTime((*date)[0], (*date)[1], (*date)[2], 1, 0, 0) : std::nullopt;
}

std::optional<ProductOptions::Schedule> ParseSchedule(const std::string& text, std::string& error)
{
    const std::vector<std::string> parts = Split(text, ':');
    const std::string& kind = parts[0];
    ProductOptions::Schedule schedule;
    if (kind == "none" && parts.size() == 1) {
        return schedule;
    }
    if (kind == "once" && parts.size() == 2) {
        schedule.purchaseType = PurchaseTypeNumber(PurchaseType::OneTime);
        schedule.date = DateAtOne(parts[1]);
        if (!schedule.date) {
            error = "once takes a date as YYYY-MM-DD between 1970 and 2038.";
            return std::nullopt;
        }
        return schedule;
    }
    if (kind == "days" && parts.size() == 2) {
        std::optional<long long> days = WholeNumberIn(parts[1], 1, 6);
        if (!days) {
            error = "days takes the days between purchases, 1 to 6.";
            return std::nullopt;
        }
        schedule.purchaseType = PurchaseTypeNumber(PurchaseType::EveryFewDays);
        schedule.dayValue = static_cast<std::int16_t>(*days);
        return schedule;
    }
    if (kind == "weekly" && parts.size() == 3) {
        std::optional<long long> weeks = WholeNumberIn(parts[1], 1, 4);
        std::optional<std::int16_t> weekday = Weekday(parts[2]);
        if (!weeks || !weekday) {
            error = "weekly takes every 1 to 4 weeks and a weekday: mon ... sun, or 1 (Monday) to 6 "
                    "(Saturday) and "
                    "0 or 7 (Sunday).";
            return std::nullopt;
        }
        schedule.purchaseType = PurchaseTypeNumber(PurchaseType::Weekly);
        schedule.interval = static_cast<std::uint16_t>(*weeks);
        schedule.dayValue = *weekday;
        return schedule;
    }
    if (kind == "monthly" && parts.size() == 3) {
        std::optional<long long> months = WholeNumberIn(parts[1], 1, 12);
        std::optional<long long> day = WholeNumberIn(parts[2], 1, 31);
        if (!months || (*months > 6 && *months != 12) || !day) {
            error = "monthly takes every 1 to 6 or 12 months and a day of the month from 1 to 31.";
            return std::nullopt;
        }
        schedule.purchaseType = PurchaseTypeNumber(PurchaseType::Monthly);
        schedule.interval = static_cast<std::uint16_t>(*months);
        schedule.dayValue = static_cast<std::int16_t>(*day);
        return schedule;
    }
    error = "--schedule takes none, once:YYYY-MM-DD, days:N, weekly:N:WEEKDAY or monthly:N:DAY.";
    return std::nullopt;
}

// Names are counted in characters, as the messages say: a character of several bytes is one.
bool LongerThanLimit(const std::string& name)
{
    return CharacterCount(name) > kNameLimit;
}

} // namespace

void ProductOptions::Declare(CommandLine& commandLine)
{
    commandLine.Option("--notes", "TEXT", "the description (249 bytes are kept)")
        .Option("--store", "NAME", "the store; a name not in the store list is added to it; empty for none")
        .Option("--category", "NAME", "the category, as --store")
        .Option("--unit", "NAME", "the unit type, as --store")
        .Option("--price", "P", "price per unit, 0 to 1000000000")
        .Option("--quantity", "Q", "quantity, 0 to 1000000000")
        .Option("--tax", "T", "tax in percent, 0 to 1000000000")
        .Option("--schedule",
                "S",
                "none, once:YYYY-MM-DD, days:N (1-6), weekly:N:WEEKDAY (1-4 weeks; mon ... sun), "
                "monthly:N:DAY (1-6 or 12 months; day 1-31)")
        .Option("--start", "YYYY-MM-DD", "the start of a schedule (default today), at 01:00:00");
}

std::optional<ProductOptions>
ProductOptions::Read(const CommandLine& commandLine, std::optional<std::string> name, std::string& error)
{
    ProductOptions options;
    if (name) {
        if (std::optional<std::string> failure = ProductInput::CheckName(*name)) {
            error = *failure;
            return std::nullopt;
        }
        options.name = std::move(name);
    }
    options.notes = commandLine.Value("--notes");
    const struct
    {
        const char* option;
        std::optional<std::string> ProductOptions::*field;
        const char* what;
    } names[] = {{"--store", &ProductOptions::store, "store name"},
                 {"--category", &ProductOptions::category, "category name"},
                 {"--unit", &ProductOptions::unit, "unit type"}};
    for (const auto& entry : names) {
        options.*entry.field = commandLine.Value(entry.option);
        if (options.*entry.field && LongerThanLimit(*(options.*entry.field))) {
            error = std::string("The ") + entry.what + " has more than 50 characters.";
            return std::nullopt;
        }
    }
    const struct
    {
        const char* option;
        ProductInput::Amount which;
        std::optional<double> ProductOptions::*field;
    } amounts[] = {{"--price", ProductInput::Amount::PricePerUnit, &ProductOptions::pricePerUnit},
                   {"--quantity", ProductInput::Amount::Quantity, &ProductOptions::quantity},
                   {"--tax", ProductInput::Amount::TaxPercent, &ProductOptions::taxPercent}};
    for (const auto& entry : amounts) {
        if (std::optional<std::string> text = commandLine.Value(entry.option)) {
            ProductInput::Reading reading = ProductInput::ReadAmount(entry.which, *text);
            if (reading.failure) {
                error = std::move(*reading.failure);
                return std::nullopt;
            }
            options.*entry.field = reading.value;
        }
    }
    if (std::optional<std::string> text = commandLine.Value("--schedule")) {
        options.schedule = ParseSchedule(*text, error);
        if (!options.schedule) {
            return std::nullopt;
        }
    }
    if (std::optional<std::string> text = commandLine.Value("--start")) {
        options.start = DateAtOne(*text);
        if (!options.start) {
            error = "--start takes a date as YYYY-MM-DD between 1970 and 2038.";
            return std::nullopt;
        }
        if (options.schedule && options.schedule->date) {
            error = "--start does not go with a once schedule: its date is the purchase date.";
            return std::nullopt;
        }
    }
    return options;
}

void ProductOptions::ApplyTo(ShoppingValues& values, ShoppingDatabase& database, bool isNew) const
{
    if (name) {
        values.name = *name;
    }
    if (notes) {
        values.notes = *notes;
    }
    if (store) {
        values.store = database.ResolveEntry(ShoppingDatabase::List::Stores, *store);
    }
    if (category) {
        values.category = database.ResolveEntry(ShoppingDatabase::List::Categories, *category);
    }
    if (unit) {
        values.unit = database.ResolveEntry(ShoppingDatabase::List::Units, *unit);
    }
    values.pricePerUnit = pricePerUnit.value_or(values.pricePerUnit);
    values.quantity = quantity.value_or(values.quantity);
    values.taxPercent = taxPercent.value_or(values.taxPercent);
    if (schedule) {
        values.purchaseType = schedule->purchaseType;
        values.interval = schedule->interval;
        values.dayValue = schedule->dayValue;
    }
    if (schedule && schedule->date) {
        values.startDate = *schedule->date;
    } else if (start) {
        values.startDate = *start;
    } else if (isNew) {
        values.startDate = LocalTimeOnDayOf(Clock::Now(), 1, 0, 0);
    }
}

} // namespace tallyhawk::cli
