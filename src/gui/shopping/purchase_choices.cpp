#include "gui/shopping/purchase_choices.h"

#include "core/shopping/purchase_type.h"

#include <array>

namespace tallyhawk
{
namespace
{

struct ChoiceRow
{
    const char* text;
    PurchaseType type;
    std::uint16_t interval;
};

constexpr std::array<ChoiceRow, PurchaseChoice::kCount> kChoices{{
    {"One Time", PurchaseType::OneTime, 0},
    {"Every Few Days", PurchaseType::EveryFewDays, 0},
    {"Every Week", PurchaseType::Weekly, 1},
    {"Every 2 Weeks", PurchaseType::Weekly, 2},
    {"Every 3 Weeks", PurchaseType::Weekly, 3},
    {"Every 4 Weeks", PurchaseType::Weekly, 4},
    {"Every Month", PurchaseType::Monthly, 1},
    {"Every 2 Months", PurchaseType::Monthly, 2},
    {"Every 3 Months", PurchaseType::Monthly, 3},
    {"Every 4 Months", PurchaseType::Monthly, 4},
    {"Every 5 Months", PurchaseType::Monthly, 5},
    {"Every 6 Months", PurchaseType::Monthly, 6},
    {"Every 12 Months", PurchaseType::Monthly, 12},
}};

const ChoiceRow* RowOf(int choice)
{
    return choice >= 1 && choice <= PurchaseChoice::kCount ? &kChoices[static_cast<std::size_t>(choice - 1)]
                                                           : nullptr;
}

} // namespace

QString PurchaseChoice::Text(int choice)
{
    const ChoiceRow* row = RowOf(choice);
    return row != nullptr ? QString::fromLatin1(row->text) : QString();
}

std::uint16_t PurchaseChoice::PurchaseTypeOf(int choice)
{
    const ChoiceRow* row = RowOf(choice);
    return row != nullptr ? PurchaseTypeNumber(row->type) : 0;
}

std::uint16_t PurchaseChoice::IntervalOf(int choice)
{
    const ChoiceRow* row = RowOf(choice);
    return row != nullptr ? row->interval : 0;
}

PurchaseChoice::DayKind PurchaseChoice::DayKindOf(int choice)
{
    switch (static_cast<PurchaseType>(PurchaseTypeOf(choice))) {
    case PurchaseType::EveryFewDays:
        return DayKind::DaysInterval;
    case PurchaseType::Weekly:
        return DayKind::Weekday;
    case PurchaseType::Monthly:
        return DayKind::DayOfMonth;
    default:
        return DayKind::None;
    }
}

int PurchaseChoice::OfSchedule(std::uint16_t purchaseType, std::uint16_t interval)
{
    for (int choice = 1; choice <= kCount; ++choice) {
        const ChoiceRow& row = kChoices[static_cast<std::size_t>(choice - 1)];
        const bool typed = PurchaseTypeNumber(row.type) == purchaseType;
        // One Time and Every Few Days carry no interval: any stored one still shows the choice.
        if (typed && (row.interval == 0 || row.interval == interval)) {
            return choice;
        }
    }
    return 0;
}

int PurchaseChoice::DayCount(DayKind kind)
{
    switch (kind) {
    case DayKind::DaysInterval:
        return 6;
    case DayKind::Weekday:
        return 7;
    case DayKind::DayOfMonth:
        return 31;
    case DayKind::None:
        break;
    }
    return 0;
}

QString PurchaseChoice::DayText(DayKind kind, int number)
{
    static constexpr std::array<const char*, 7> kWeekdays{
        "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    if (kind == DayKind::Weekday && number >= 1 && number <= 7) {
        return QString::fromLatin1(kWeekdays[static_cast<std::size_t>(number - 1)]);
    }
    return QString::number(number);
}

QString PurchaseChoice::DayCaption(DayKind kind)
{
    switch (kind) {
    case DayKind::DaysInterval:
        return QStringLiteral("Days Interval:");
    case DayKind::Weekday:
        return QStringLiteral("Day of Week:");
    case DayKind::DayOfMonth:
        return QStringLiteral("Day of Month:");
    case DayKind::None:
        break;
    }
    return QStringLiteral("Purchase Date:");
}

} // namespace tallyhawk
