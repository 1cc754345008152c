#include "core/store/rule_preview.h"

#include <algorithm>

namespace tallyhawk
{

std::optional<std::string> RulePreview::MatchOf(const KeywordRule& rule, const ItemRecord& record)
{
    const std::string_view texts[]
        = {record.title(), record.storeName(), record.categoryName(), record.description()};
    return rule.Match(texts);
}

std::size_t RulePreview::CountPassing(const KeywordRule& rule,
                                      const std::vector<ItemRecord>& newestFirst,
                                      std::size_t limit)
{
    const std::size_t count = std::min(limit, newestFirst.size());
    return static_cast<std::size_t>(
        std::count_if(newestFirst.begin(),
                      newestFirst.begin() + static_cast<std::ptrdiff_t>(count),
                      [&](const ItemRecord& record) { return MatchOf(rule, record).has_value(); }));
}

} // namespace tallyhawk
