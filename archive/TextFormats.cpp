#include "archive/TextFormats.h"

#include "archive/RecordModel.h"

#include <charconv>
#include <cstring>

namespace orx {
namespace {

constexpr int kYearBase = 2000;
constexpr int kMaxDay = 31;
constexpr int kMaxMonth = 12;
constexpr int kMaxHour = 23;
constexpr int kMaxMinute = 59;
constexpr int kMaxSecond = 59;
constexpr int kGeneralPrecision = 15;
constexpr int kObservationDecimals = 2;
constexpr std::size_t kObservationMinWidth = 4;
constexpr std::int64_t kSecondsPerDay = 86400;

void appendTwoDigits(std::string& out, unsigned value)
{
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// Two digits of a valid part, otherwise the fallback text.
void appendPart(std::string& out, unsigned value, unsigned low, unsigned high, const char* fallback)
{
    if (value < low || value > high)
        out += fallback;
    else
        appendTwoDigits(out, value);
}

void commaForPoint(std::string& text)
{
    for (char& c : text)
        if (c == '.')
            c = kDecimalComma;
}

bool isBlank(char c) { return c == ' '; }

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Reads 1 to maxDigits decimal digits.
bool readNumber(std::string_view& s, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (n < maxDigits && n < static_cast<int>(s.size()) && s[n] >= '0' && s[n] <= '9') {
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    if (n == 0)
        return false;
    s.remove_prefix(n);
    return true;
}

bool expect(std::string_view& s, char c)
{
    if (s.empty() || s.front() != c)
        return false;
    s.remove_prefix(1);
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date; a day past the month's
// end simply runs into the next month, so comparisons stay monotonic.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

std::string FormatArchiveDate(std::uint8_t year, std::uint8_t month, std::uint8_t day)
{
    std::string out;
    out.reserve(kWidthDate);
    appendPart(out, day, 1, kMaxDay, "01");
    out.push_back('.');
    appendPart(out, month, 1, kMaxMonth, "01");
    out.push_back('.');
    out += std::to_string(kYearBase + year);
    return out;
}

std::string FormatArchiveTime(std::uint8_t hour, std::uint8_t minute, std::uint8_t second)
{
    std::string out = FormatArchiveShortTime(hour, minute);
    out.push_back(':');
    appendPart(out, second, 0, kMaxSecond, "00");
    return out;
}

std::string FormatArchiveShortTime(std::uint8_t hour, std::uint8_t minute)
{
    std::string out;
    out.reserve(kWidthTime);
    appendPart(out, hour, 0, kMaxHour, "00");
    out.push_back(':');
    appendPart(out, minute, 0, kMaxMinute, "00");
    return out;
}

std::string formatGeneral(double value)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general,
                             kGeneralPrecision);
    std::string text(buf, res.ptr);
    // to_chars writes "1e-05"; the general format of the stored texts is "1E-5".
    auto e = text.find('e');
    if (e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string_view exp(text.c_str() + e + 1);
        bool negative = !exp.empty() && exp.front() == '-';
        if (!exp.empty() && (exp.front() == '-' || exp.front() == '+'))
            exp.remove_prefix(1);
        while (exp.size() > 1 && exp.front() == '0')
            exp.remove_prefix(1);
        text = mantissa + "E" + (negative ? "-" : "") + std::string(exp);
    }
    commaForPoint(text);
    return text;
}

std::string cutToWidth(std::string_view text, int width)
{
    if (width < 0)
        width = 0;
    return std::string(text.substr(0, static_cast<std::size_t>(width)));
}

std::string formatOperationalTemperature(double celsius)
{
    return cutToWidth(formatGeneral(celsius), kWidthTemperature);
}

std::string formatObservationTemperature(double celsius)
{
    if (celsius == 0.0)
        return kZeroObservationTemperature;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, celsius, std::chars_format::fixed,
                             kObservationDecimals);
    std::string text(buf, res.ptr);
    if (text.size() < kObservationMinWidth)
        text.insert(0, kObservationMinWidth - text.size(), ' ');
    commaForPoint(text);
    return cutToWidth(text, kWidthObsTemperature);
}

std::optional<double> parseArchiveNumber(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty() || text.size() > 63)
        return std::nullopt;
    char buf[64];
    std::size_t n = 0;
    for (char c : text) {
        if (c == '.')
            return std::nullopt; // the stored texts use the comma only
        buf[n++] = c == kDecimalComma ? '.' : c;
    }
    const char* begin = buf;
    const char* end = buf + n;
    if (*begin == '+')
        ++begin;
    double value = 0;
    auto res = std::from_chars(begin, end, value, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != end)
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> parseArchiveMoment(std::string_view s)
{
    s = trimBlanks(s);
    int day, month, year, hour, minute, second = 0;
    if (!readNumber(s, 2, day) || !expect(s, '.') || !readNumber(s, 2, month) || !expect(s, '.') ||
        !readNumber(s, 4, year))
        return std::nullopt;
    if (!expect(s, ' '))
        return std::nullopt;
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    if (!readNumber(s, 2, hour) || !expect(s, ':') || !readNumber(s, 2, minute))
        return std::nullopt;
    if (!s.empty() && !(expect(s, ':') && readNumber(s, 2, second)))
        return std::nullopt;
    if (!s.empty())
        return std::nullopt;
    if (day < 1 || day > kMaxDay || month < 1 || month > kMaxMonth || hour > kMaxHour ||
        minute > kMaxMinute || second > kMaxSecond)
        return std::nullopt;
    const std::int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<std::int64_t> ArchiveSeconds(std::string_view date, std::string_view time)
{
    std::string text;
    text.reserve(date.size() + 1 + time.size());
    text.append(date).append(" ").append(time);
    return parseArchiveMoment(text);
}

} // namespace orx
