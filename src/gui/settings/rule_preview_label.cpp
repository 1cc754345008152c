#include "gui/settings/rule_preview_label.h"

#include "core/store/keyword_rule.h"
#include "core/store/rule_preview.h"

#include <algorithm>
#include <utility>

namespace tallyhawk
{

RulePreviewLabel::RulePreviewLabel(QWidget* parent)
    : QLabel(parent)
{
    setText(QStringLiteral("Counting the stored items..."));
}

void RulePreviewLabel::SetItems(std::vector<ItemRecord> newestFirst)
{
    items_ = std::move(newestFirst);
    loaded_ = true;
    Count();
}

void RulePreviewLabel::SetRule(const QString& rule)
{
    rule_ = rule;
    Count();
}

void RulePreviewLabel::Count()
{
    if (!loaded_) {
        return;
    }
    const std::size_t among = std::min(items_.size(), RulePreview::kRecentItems);
    if (among == 0) {
        setText(QStringLiteral("No items are stored yet to try the rule on."));
        return;
    }
    const std::size_t passing
        = RulePreview::CountPassing(KeywordRule(rule_.toStdString()), items_, RulePreview::kRecentItems);
    setText(QStringLiteral("Lets through %1 of the last %2 items").arg(passing).arg(among));
    setAccessibleName(text());
}

} // namespace tallyhawk
