#include "cli/view_filter_options.h"

#include "cli/time_filter_options.h"

namespace tallyhawk::cli
{

std::optional<ItemFilter>
FilterFromOptions(const CommandLine& commandLine, std::string& error, std::optional<std::int32_t> defaultSpan)
{
    ItemFilter filter;
    if (!ApplyTimeOptions(commandLine, filter, defaultSpan, error)) {
        return std::nullopt;
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

} // namespace tallyhawk::cli
