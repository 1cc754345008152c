#pragma once

#include "core/store/item_record.h"
#include "core/store/keyword_rule.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{

// A keyword rule replayed on stored items, as the download filter would have judged them when they
// arrived: for the command line's "rules test" and the settings dialog's count under each keyword box.
class RulePreview
{
public:
    // The settings dialog counts among this many of the newest items.
    static constexpr std::size_t kRecentItems = 200;

    // The alternative of `rule` that lets the item through (its title, store, category and description),
    // empty for a rule without any; nothing when the item would not be kept.
    static std::optional<std::string> MatchOf(const KeywordRule& rule, const ItemRecord& record);
    // How many of the first `limit` items (newest first) pass.
    static std::size_t CountPassing(const KeywordRule& rule,
                                    const std::vector<ItemRecord>& newestFirst,
                                    std::size_t limit = kRecentItems);
};

} // namespace tallyhawk
