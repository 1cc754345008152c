#include "server/feeds/feed_date.h"

#include <array>
#include <cctype>

namespace tallyhawk::server
{

namespace
{

// Reads one date from left to right; each step fails without moving when the text does not fit.
class DateCursor
{
public:
    explicit DateCursor(std::string_view text)
        : text_(text)
    { }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    void SkipSpaces()
    {
        while (!AtEnd()
               && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }

    bool Take(char c)
    {
        if (Peek() != c) {
            return false;
        }
        ++pos_;
        return true;
    }

    // Between `minDigits` and `maxDigits` decimal digits.
    std::optional<int> Number(std::size_t minDigits, std::size_t maxDigits)
    {
        std::size_t start = pos_;
        int value = 0;
        while (!AtEnd() && pos_ - start < maxDigits
               && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        if (pos_ - start < minDigits) {
            pos_ = start;
            return std::nullopt;
        }
        return value;
    }

    // A run of ASCII letters, upper-cased.
    std::string_view Word()
    {
        std::size_t start = pos_;
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    void SkipDigits()
    {
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i]))
            != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool IsLeapYear(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month)
{
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

bool ValidDateTime(std::int64_t year, int month, int day, int hour, int minute, int second)
{
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) && hour <= 23
        && minute <= 59 && second <= 60; // 60: a leap second
}

// 1 to 12 for an English month name or its first three letters; 0 otherwise.
int MonthNumber(std::string_view word)
{
    static constexpr std::array<std::string_view, 12> kMonths = {"JANUARY",
                                                                 "FEBRUARY",
                                                                 "MARCH",
                                                                 "APRIL",
                                                                 "MAY",
                                                                 "JUNE",
                                                                 "JULY",
                                                                 "AUGUST",
                                                                 "SEPTEMBER",
                                                                 "OCTOBER",
                                                                 "NOVEMBER",
                                                                 "DECEMBER"};
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (SameLetters(word, kMonths[i].substr(0, 3)) || SameLetters(word, kMonths[i])
            || (i == 8 && SameLetters(word, "SEPT"))) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// The offset east of UTC in minutes for a named zone.
std::optional<int> NamedZoneOffset(std::string_view name)
{
    struct Zone
    {
        std::string_view name;
        int minutes;
    };
    static constexpr std::array<Zone, 12> kZones = {{{"UT", 0},
                                                     {"UTC", 0},
                                                     {"GMT", 0},
                                                     {"Z", 0},
                                                     {"EST", -300},
                                                     {"EDT", -240},
                                                     {"CST", -360},
                                                     {"CDT", -300},
                                                     {"MST", -420},
                                                     {"MDT", -360},
                                                     {"PST", -480},
                                                     {"PDT", -420}}};
    for (const Zone& zone : kZones) {
        if (SameLetters(name, zone.name)) {
            return zone.minutes;
        }
    }
    if (name.size() == 1 && name[0] != 'J' && name[0] != 'j') {
        return 0;
    }
    return std::nullopt;
}

// "+hhmm", "-hh:mm": minutes east of UTC.
std::optional<int> NumericZoneOffset(DateCursor& cursor, bool colon)
{
    int sign = cursor.Take('+') ? 1 : (cursor.Take('-') ? -1 : 0);
    if (sign == 0) {
        return std::nullopt;
    }
    std::optional<int> hours = cursor.Number(2, 2);
    if (colon && !cursor.Take(':')) {
        return std::nullopt;
    }
    std::optional<int> minutes = cursor.Number(2, 2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
        return std::nullopt;
    }
    return sign * (*hours * 60 + *minutes);
}

} // namespace

std::int64_t FeedDate::ToSeconds(std::int64_t year, int month, int day, int hour, int minute, int second)
{
    // Days from 1970-01-01 by the civil calendar, March-based so the leap day ends the year.
    std::int64_t y = month <= 2 ? year - 1 : year;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yearOfEra = y - era * 400;
    std::int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    std::int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<std::int64_t> FeedDate::ParseRfc822(std::string_view text)
{
    DateCursor cursor(text);
    cursor.SkipSpaces();
    std::string_view dayName = cursor.Word();
    if (!dayName.empty()) {
        cursor.Take(',');
        cursor.SkipSpaces();
    }
    std::optional<int> day = cursor.Number(1, 2);
    cursor.SkipSpaces();
    int month = MonthNumber(cursor.Word());
    cursor.SkipSpaces();
    std::optional<int> year = cursor.Number(2, 4);
    cursor.SkipSpaces();
    if (!day || month == 0 || !year) {
        return std::nullopt;
    }
    std::int64_t fullYear = *year;
    if (*year < 100) {
        // Two-digit years as mail readers take them: 00-49 this century, 50-99 the last.
        fullYear += *year < 50 ? 2000 : 1900;
    }
    std::optional<int> hour = cursor.Number(1, 2);
    if (!hour || !cursor.Take(':')) {
        return std::nullopt;
    }
    std::optional<int> minute = cursor.Number(2, 2);
    int second = 0;
    if (cursor.Take(':')) {
        std::optional<int> seconds = cursor.Number(2, 2);
        if (!seconds) {
            return std::nullopt;
        }
        second = *seconds;
    }
    if (!minute || !ValidDateTime(fullYear, month, *day, *hour, *minute, second)) {
        return std::nullopt;
    }
    cursor.SkipSpaces();
    int offset = 0;
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
        std::optional<int> numeric = NumericZoneOffset(cursor, false);
        if (!numeric) {
            return std::nullopt;
        }
        offset = *numeric;
    } else if (!cursor.AtEnd()) {
        std::optional<int> named = NamedZoneOffset(cursor.Word());
        if (!named) {
            return std::nullopt;
        }
        offset = *named;
    }
    cursor.SkipSpaces();
    if (!cursor.AtEnd()) {
        return std::nullopt;
    }
    return ToSeconds(fullYear, month, *day, *hour, *minute, second) - offset * 60;
}

std::optional<std::int64_t> FeedDate::ParseRfc3339(std::string_view text)
{
    DateCursor cursor(text);
    cursor.SkipSpaces();
    std::optional<int> year = cursor.Number(4, 4);
    if (!year || !cursor.Take('-')) {
        return std::nullopt;
    }
    std::optional<int> month = cursor.Number(2, 2);
    if (!month || !cursor.Take('-')) {
        return std::nullopt;
    }
    std::optional<int> day = cursor.Number(2, 2);
    if (!day) {
        return std::nullopt;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offset = 0;
    if (cursor.Take('T') || cursor.Take('t') || cursor.Take(' ')) {
        std::optional<int> hours = cursor.Number(2, 2);
        if (!hours || !cursor.Take(':')) {
            return std::nullopt;
        }
        std::optional<int> minutes = cursor.Number(2, 2);
        if (!minutes) {
            return std::nullopt;
        }
        hour = *hours;
        minute = *minutes;
        if (cursor.Take(':')) {
            std::optional<int> seconds = cursor.Number(2, 2);
            if (!seconds) {
                return std::nullopt;
            }
            second = *seconds;
            if (cursor.Take('.') || cursor.Take(',')) {
                if (!cursor.Number(1, 1)) {
                    return std::nullopt;
                }
                cursor.SkipDigits(); // fractions of a second are below what items keep
            }
        }
        if (cursor.Peek() == '+' || cursor.Peek() == '-') {
            std::optional<int> numeric = NumericZoneOffset(cursor, true);
            if (!numeric) {
                return std::nullopt;
            }
            offset = *numeric;
        } else if (!cursor.Take('Z')) {
            cursor.Take('z');
        }
    }
    if (!ValidDateTime(*year, *month, *day, hour, minute, second)) {
        return std::nullopt;
    }
    cursor.SkipSpaces();
    if (!cursor.AtEnd()) {
        return std::nullopt;
    }
    return ToSeconds(*year, *month, *day, hour, minute, second) - offset * 60;
}

std::optional<std::int64_t> FeedDate::Parse(std::string_view text)
{
    if (std::optional<std::int64_t> seconds = ParseRfc3339(text)) {
        return seconds;
    }
    return ParseRfc822(text);
}

bool FeedDate::IsExpiryName(std::string_view name)
{
    return name == "expires" || name == "expiry" || name == "expiration_date" || name == "valid_until"
        || name == "end_date";
}

} // namespace tallyhawk::server
