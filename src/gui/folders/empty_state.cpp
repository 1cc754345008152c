#include "gui/folders/empty_state.h"

#include "core/common/time_span.h"

namespace tallyhawk
{
namespace
{

// "in the last 7 days", "today": the span as the end of a sentence.
QString SpanPhrase(std::int32_t span)
{
    if (span == TimeSpan::kToday) {
        return QStringLiteral("today");
    }
    return QStringLiteral("in the last %1 days").arg(span / 86400);
}

// What the folder holds none of, as the start of a sentence about the span.
QString NoneOf(FolderKind folder)
{
    switch (folder) {
    case FolderKind::CouponsAndDeals:
        return QStringLiteral("No coupons or deals arrived");
    case FolderKind::ForumTopics:
        return QStringLiteral("No forum topics arrived");
    case FolderKind::PriceComparisons:
        return QStringLiteral("No price comparisons were saved");
    case FolderKind::ShoppingList:
        return QStringLiteral("No products are due");
    case FolderKind::PurchaseHistory:
        return QStringLiteral("No purchases were made");
    default:
        return {};
    }
}

} // namespace

std::optional<EmptyState> EmptyState::For(FolderKind folder,
                                          std::int32_t span,
                                          const std::optional<std::string>& keyword,
                                          const std::optional<QString>& dueBy)
{
    const QString none = NoneOf(folder);
    if (none.isEmpty()) {
        return std::nullopt;
    }
    EmptyState state;
    const bool longest = span == TimeSpan::kLast180Days;
    if (keyword && !keyword->empty()) {
        state.why = QStringLiteral("Nothing in %1 matches \u201c%2\u201d %3.")
                        .arg(FolderName(folder), QString::fromStdString(*keyword), SpanPhrase(span));
        state.steps.push_back(Step::ClearSearch);
        if (!longest) {
            state.steps.push_back(Step::LongerSpan);
        }
        return state;
    }
    if (folder == FolderKind::ShoppingList && dueBy) {
        state.why = QStringLiteral("No products are due by %1.").arg(*dueBy);
        state.steps = {Step::NewProduct};
        return state;
    }
    state.why = none + QLatin1Char(' ') + SpanPhrase(span) + QLatin1Char('.');
    switch (folder) {
    case FolderKind::ShoppingList:
        state.steps = {Step::NewProduct, Step::ShowUpcoming};
        return state;
    case FolderKind::PriceComparisons:
        state.steps = {Step::ComparePrices};
        break;
    default:
        break;
    }
    if (!longest) {
        state.steps.push_back(Step::LongerSpan);
    }
    return state;
}

QString EmptyState::StepText(Step step)
{
    switch (step) {
    case Step::NewProduct:
        return QStringLiteral("New Product\u2026");
    case Step::ShowUpcoming:
        return QStringLiteral("Show upcoming");
    case Step::ComparePrices:
        return QStringLiteral("Compare Prices\u2026");
    case Step::ClearSearch:
        return QStringLiteral("Clear Search");
    case Step::LongerSpan:
        return QStringLiteral("Show the Last 180 Days");
    }
    return {};
}

} // namespace tallyhawk
