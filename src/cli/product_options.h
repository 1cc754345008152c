#pragma once

#include "cli/command_line.h"
#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk::cli
{

// The values a product command line gives, checked before anything is read or written; what is not
// given stays as it was.
struct ProductOptions
{
    struct Schedule
    {
        std::uint16_t purchaseType = 0;
        std::uint16_t interval = 0;
        std::int16_t dayValue = 0;
        std::optional<std::int32_t> date; // once:DATE, at 01:00:00
    };

    std::optional<std::string> name;
    std::optional<std::string> notes;
    std::optional<std::string> store;
    std::optional<std::string> category;
    std::optional<std::string> unit;
    std::optional<double> pricePerUnit;
    std::optional<double> quantity;
    std::optional<double> taxPercent;
    std::optional<Schedule> schedule;
    std::optional<std::int32_t> start; // --start, at 01:00:00

    // Declares --notes, --store, --category, --unit, --price, --quantity, --tax, --schedule, --start.
    static void Declare(CommandLine& commandLine);
    // Reads them (and `name` when given); nothing with `error` set on bad usage.
    static std::optional<ProductOptions>
    Read(const CommandLine& commandLine, std::optional<std::string> name, std::string& error);

    // Puts the options into `values` as the product editor does: names matched to list entries without
    // regard to case (new names stay typed names, added when the record is saved). A product without
    // a start gets today at 01:00:00 when `isNew`.
    void ApplyTo(ShoppingValues& values, ShoppingDatabase& database, bool isNew) const;
};

} // namespace tallyhawk::cli
