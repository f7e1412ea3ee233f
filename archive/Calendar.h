#pragma once

// Calendar arithmetic and digit reading for the stored date and time texts,
// shared by the readers that need a real calendar date (charts, workbook).
// Plain C++; nothing here looks at the process locale.

#include <cstdint>
#include <string_view>

namespace orx::calendar {

inline bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days in a month (1..12) of the proleptic Gregorian calendar.
inline int daysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 01.01.1970 to the given civil date (proleptic Gregorian calendar).
inline std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Reads minDigits to maxDigits decimal digits from the front of s.
inline bool readDigits(std::string_view& s, int minDigits, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (n < maxDigits && n < static_cast<int>(s.size()) && s[n] >= '0' && s[n] <= '9') {
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    if (n < minDigits)
        return false;
    s.remove_prefix(static_cast<std::size_t>(n));
    return true;
}

// Takes the character c from the front of s.
inline bool take(std::string_view& s, char c)
{
    if (s.empty() || s.front() != c)
        return false;
    s.remove_prefix(1);
    return true;
}

} // namespace orx::calendar
