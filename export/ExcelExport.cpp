#include "export/ExcelExport.h"

#include "archive/Calendar.h"

#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
#include "storage/ArchiveTable.h"

#include <xlsxwriter.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace orx {

using calendar::daysFromCivil;
using calendar::daysInMonth;
using calendar::readDigits;
using calendar::take;

namespace {

constexpr int kColumnCount = 6; // A to F
constexpr double kColumnWidth = 20;
// Day/month/four-digit year and hours:minutes:seconds, in the spreadsheet's
// own (language-independent) format codes.
constexpr const char* kDateTimeFormat = "dd/mm/yyyy h:mm:ss";
constexpr double kTitleRowFontSize = 14;
// Pure blue: 16711680 in the spreadsheet's blue-green-red order, 0x0000FF as RGB.
constexpr lxw_color_t kPureBlue = 0x0000FF;

constexpr lxw_row_t kTitleRow = 0;
constexpr lxw_row_t kHeadingRow = 1;
constexpr lxw_row_t kFirstDataRow = 2;

constexpr int kSecondsPerDay = 86400;
constexpr int kMaxHour = 23;
constexpr int kMaxMinute = 59;

// The headings of row 2, UTF-8; empty for no heading.
const char* const kOperationalHeadings[kColumnCount] = {
    "N", "Дата", "Идентификатор модуля", "Номер датчика", "T, °C", "",
};
const char* const kObservationHeadings[kColumnCount] = {
    "N", "Дата", "Длительность наблюдений, ч.", "Период наблюдений, м.", "T, °C", "№ датчика",
};

struct WorkbookFree
{
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookFree>;

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string conversionText(const char* pattern, const std::string& value)
{
    std::string text = pattern;
    text.replace(text.find("%s"), 2, value);
    return text;
}

std::string systemText(int error)
{
    return std::generic_category().message(error);
}

// A name in the workbook's folder that no other export uses at the same time.
std::filesystem::path temporaryPathFor(const std::filesystem::path& out)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name = "." + out.filename().string() + "." + std::to_string(stamp) + "." +
                       std::to_string(counter++) + ".part";
    return out.parent_path() / std::filesystem::u8path(name);
}

void checkLxw(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw ExportError(ExportError::Kind::Io, lxw_strerror(error));
}

class TemporaryFile
{
public:
    explicit TemporaryFile(std::filesystem::path path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_kept) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    std::filesystem::path m_path;
    bool m_kept = false;
};

} // namespace

std::optional<double> spreadsheetDateTime(std::string_view text)
{
    std::string_view s = trimBlanks(text);
    int day, month, year;
    if (!readDigits(s, 1, 2, day) || !take(s, '.') || !readDigits(s, 1, 2, month) ||
        !take(s, '.') || !readDigits(s, 4, 4, year))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (!s.empty()) {
        if (!take(s, ' '))
            return std::nullopt;
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
        if (!readDigits(s, 1, 2, hour) || !take(s, ':') || !readDigits(s, 1, 2, minute))
            return std::nullopt;
        if (!s.empty() && !(take(s, ':') && readDigits(s, 1, 2, second)))
            return std::nullopt;
        if (!s.empty() || hour > kMaxHour || minute > kMaxMinute || second > kMaxMinute)
            return std::nullopt;
    }
    // The spreadsheet counts days from 30.12.1899.
    const std::int64_t days = daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30);
    const int seconds = hour * 3600 + minute * 60 + second;
    return static_cast<double>(days) + static_cast<double>(seconds) / kSecondsPerDay;
}

std::optional<double> spreadsheetNumber(std::string_view text)
{
    std::optional<double> value = parseArchiveNumber(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::string workbookPathFor(const std::string& tablePath)
{
    const std::filesystem::path folder = std::filesystem::u8path(tablePath).parent_path();
    return (folder / std::filesystem::u8path(kWorkbookFileName)).u8string();
}

void exp2excel(ArchiveTable& table, int tab, const std::string& outPath)
{
    const std::filesystem::path out = std::filesystem::u8path(outPath);
    TemporaryFile temp(temporaryPathFor(out));
    // Creating the file first gives the system's own text for a folder that
    // cannot be written; the writer itself only says that it failed.
    if (std::FILE* probe = std::fopen(temp.path().c_str(), "wb")) {
        std::fclose(probe);
    } else {
        throw ExportError(ExportError::Kind::Io, systemText(errno));
    }

    // Rows go out in order, so the writer keeps one row in memory at a time.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    WorkbookPtr workbook(workbook_new_opt(temp.path().c_str(), &options));
    if (!workbook)
        throw ExportError(ExportError::Kind::Io, systemText(ENOMEM));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), kWorkbookSheetName);
    if (!sheet)
        throw ExportError(ExportError::Kind::Io, systemText(ENOMEM));

    lxw_format* dateFormat = workbook_add_format(workbook.get());
    format_set_num_format(dateFormat, kDateTimeFormat);
    lxw_format* titleFormat = workbook_add_format(workbook.get());
    format_set_bold(titleFormat);
    format_set_font_size(titleFormat, kTitleRowFontSize);
    format_set_font_color(titleFormat, kPureBlue);
    lxw_format* headingFormat = workbook_add_format(workbook.get());
    format_set_bold(headingFormat);

    // Column B apart from the others: overlapping column ranges give a file
    // that the spreadsheet may refuse.
    checkLxw(worksheet_set_column(sheet, 0, 0, kColumnWidth, nullptr));
    checkLxw(worksheet_set_column(sheet, 1, 1, kColumnWidth, dateFormat));
    checkLxw(worksheet_set_column(sheet, 2, kColumnCount - 1, kColumnWidth, nullptr));
    checkLxw(worksheet_set_row(sheet, kTitleRow, LXW_DEF_ROW_HEIGHT, titleFormat));
    checkLxw(worksheet_set_row(sheet, kHeadingRow, LXW_DEF_ROW_HEIGHT, headingFormat));

    const bool operational = tab == kOperationalBlock;
    const char* const* headings = operational ? kOperationalHeadings : kObservationHeadings;
    for (int c = 0; c < kColumnCount; ++c) {
        if (*headings[c])
            checkLxw(worksheet_write_string(sheet, kHeadingRow, static_cast<lxw_col_t>(c),
                                            headings[c], headingFormat));
    }

    // The block's number, date, time, third, fourth and temperature columns.
    std::vector<std::string> names;
    if (operational) {
        names = {kColNo, kColDate, kColTime, kColModule, kColSensor, kColTemperature};
    } else {
        names = {observationColumn(tab, ObsField::Seq),
                 observationColumn(tab, ObsField::Date),
                 observationColumn(tab, ObsField::Time),
                 observationColumn(tab, ObsField::Duration),
                 observationColumn(tab, ObsField::Period),
                 observationColumn(tab, ObsField::Temperature)};
    }
    int fields[6];
    for (int i = 0; i < 6; ++i)
        fields[i] = table.fieldIndex(names[static_cast<std::size_t>(i)]);
    enum
    {
        kNumber,
        kDate,
        kTime,
        kThird,
        kFourth,
        kTemperature
    };

    lxw_row_t row = kFirstDataRow;
    std::string moment;
    const std::size_t count = table.countVisible();
    table.first();
    for (std::size_t i = 0; i < count && !table.eof(); ++i) {
        moment = table.readText(fields[kDate]);
        moment += ' ';
        moment += table.readText(fields[kTime]);
        const std::optional<double> when = spreadsheetDateTime(moment);
        if (!when) {
            const std::string shown = cp1251ToUtf8(moment);
            throw ExportError(ExportError::Kind::BadDateTime,
                              conversionText("'%s' is not a valid date and time", shown), shown);
        }
        const std::string temperatureText = table.readText(fields[kTemperature]);
        const std::optional<double> temperature = spreadsheetNumber(temperatureText);
        if (!temperature) {
            const std::string shown = cp1251ToUtf8(temperatureText);
            throw ExportError(ExportError::Kind::BadNumber,
                              conversionText("'%s' is not a valid floating point value", shown),
                              shown);
        }
        checkLxw(worksheet_write_string(
            sheet, row, 0, cp1251ToUtf8(table.readText(fields[kNumber])).c_str(), nullptr));
        checkLxw(worksheet_write_number(sheet, row, 1, *when, dateFormat));
        checkLxw(worksheet_write_string(
            sheet, row, 2, cp1251ToUtf8(table.readText(fields[kThird])).c_str(), nullptr));
        checkLxw(worksheet_write_string(
            sheet, row, 3, cp1251ToUtf8(table.readText(fields[kFourth])).c_str(), nullptr));
        checkLxw(worksheet_write_number(sheet, row, 4, *temperature, nullptr));
        ++row;
        if (i + 1 < count)
            table.next();
    }

    const lxw_error closed = workbook_close(workbook.release());
    if (closed != LXW_NO_ERROR) {
        const int saved = errno;
        throw ExportError(ExportError::Kind::Io, closed == LXW_ERROR_CREATING_XLSX_FILE && saved
                                                     ? systemText(saved)
                                                     : lxw_strerror(closed));
    }
    std::error_code renamed;
    std::filesystem::rename(temp.path(), out, renamed);
    if (renamed)
        throw ExportError(ExportError::Kind::Io, renamed.message());
    temp.keep();
}

} // namespace orx
