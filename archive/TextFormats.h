#pragma once

// The stored texts of an archive table. Every text here is built by our own
// code: none of it follows the process locale (decimal comma and
// day.month.year everywhere).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orx {

inline constexpr char kDecimalComma = ',';
inline constexpr const char* kZeroObservationTemperature = "0,0";

// DD.MM.YYYY; a day of 0 or above 31 and a month of 0 or above 12 become "01".
std::string FormatArchiveDate(std::uint8_t year, std::uint8_t month, std::uint8_t day);
// HH:MM:SS; an hour above 23, a minute or second above 59 become "00".
std::string FormatArchiveTime(std::uint8_t hour, std::uint8_t minute, std::uint8_t second);
// HH:MM with the same fallbacks.
std::string FormatArchiveShortTime(std::uint8_t hour, std::uint8_t minute);

// Shortest general decimal text (at most 15 significant digits) with the decimal comma.
std::string formatGeneral(double value);

// The leading characters of text that fit into a column of the given width.
std::string cutToWidth(std::string_view text, int width);

// TO: the general text of the temperature, cut to the column width.
std::string formatOperationalTemperature(double celsius);
// TNk: "0,0" for exactly zero, otherwise two decimals ("%4.2f"), cut to the column width.
std::string formatObservationTemperature(double celsius);

// Parses a stored decimal text with the decimal comma ("23,5", "-12,8", "0,0", "20").
// Leading and trailing blanks are allowed; anything else fails.
std::optional<double> parseArchiveNumber(std::string_view text);

// Seconds since a fixed epoch of the moment "day.month.year hour:minute[:second]".
// Only comparisons between such values are meaningful. Empty when the text is
// not of that form.
std::optional<std::int64_t> parseArchiveMoment(std::string_view text);

// ArchiveSeconds: the moment of a reading from its date and time texts.
std::optional<std::int64_t> ArchiveSeconds(std::string_view date, std::string_view time);

} // namespace orx
