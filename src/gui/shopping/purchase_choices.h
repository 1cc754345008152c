#pragma once

#include <QString>

#include <cstdint>

namespace tallyhawk
{

// The purchase type choices of the product editor, numbered 1 to 13 in the order they are offered,
// and how each maps to a record's schedule fields.
struct PurchaseChoice
{
    static constexpr int kCount = 13;

    // What the day box holds under a choice.
    enum class DayKind
    {
        None, // One Time: the date picker instead
        DaysInterval, // "1" to "6"
        Weekday, // "1" (Monday) to "7" (Sunday)
        DayOfMonth, // "1" to "31"
    };

    static QString Text(int choice);
    static std::uint16_t PurchaseTypeOf(int choice);
    static std::uint16_t IntervalOf(int choice);
    static DayKind DayKindOf(int choice);
    // The choice that shows a record's schedule; 0 (none) for type 0 and anything unknown.
    static int OfSchedule(std::uint16_t purchaseType, std::uint16_t interval);

    // How many numbers the day box offers, and the caption above it (or above the date picker).
    static int DayCount(DayKind kind);
    static QString DayCaption(DayKind kind);
    // What the day box shows for `number`: the weekday's name (1 Monday ... 7 Sunday) under a weekly
    // choice, the number itself otherwise.
    static QString DayText(DayKind kind, int number);

    // The day box offers 7 for Sunday, which the schedule numbers 0 (0 Sunday ... 6 Saturday).
    static std::int16_t StoredWeekday(int boxNumber) { return static_cast<std::int16_t>(boxNumber % 7); }
    static int BoxWeekday(std::int16_t stored) { return stored == 0 ? 7 : stored; }
};

} // namespace tallyhawk
