#pragma once

#include "gui/folders/folder_kind.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{

// What an empty list says about why it is empty, and the next steps it offers.
struct EmptyState
{
    enum class Step
    {
        NewProduct, // the product editor on a new product
        ShowUpcoming, // the Shopping List with what falls due in the coming weeks
        ComparePrices, // a price comparison
        ClearSearch, // the whole folder again
        LongerSpan, // the longest time filter
    };

    QString why;
    std::vector<Step> steps;

    // The state of `folder` shown empty over the time filter's `span` (one of TimeSpan's), narrowed to
    // `keyword` when there is one; `dueBy` is the day a stretched Shopping List runs to. Nothing for a
    // folder that is no list.
    static std::optional<EmptyState> For(FolderKind folder,
                                         std::int32_t span,
                                         const std::optional<std::string>& keyword,
                                         const std::optional<QString>& dueBy = std::nullopt);
    // The caption of a step's button.
    static QString StepText(Step step);
};

} // namespace tallyhawk
