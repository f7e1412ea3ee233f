#pragma once

// The workbook export of one tab: the visible rows of the tab's block, in the
// table's current filter and order, written as a workbook of one worksheet
// "ВЕЛАРИ-5". Plain C++ over libxlsxwriter; no Qt.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orx {

class ArchiveTable;

// The one error type of the export. The text is the one the operator sees in
// the general error box.
class ExportError : public std::runtime_error
{
public:
    enum class Kind
    {
        BadDateTime, // a date and time text that does not convert; value() holds it
        BadNumber,   // a temperature text that does not convert; value() holds it
        Io,          // the workbook could not be written; the system's text
    };

    ExportError(Kind kind, const std::string& text, const std::string& value = std::string())
        : std::runtime_error(text), m_kind(kind), m_value(value)
    {
    }
    Kind kind() const { return m_kind; }
    // The failing text, UTF-8, for the conversion errors.
    const std::string& value() const { return m_value; }

private:
    Kind m_kind;
    std::string m_value;
};

// The name of the saved workbook, UTF-8: the worksheet's name and ".xlsx".
inline constexpr const char* kWorkbookSheetName = "ВЕЛАРИ-5";
inline constexpr const char* kWorkbookFileName = "ВЕЛАРИ-5.xlsx";

// The workbook's place for a table: "ВЕЛАРИ-5.xlsx" in the table's folder.
std::string workbookPathFor(const std::string& tablePath);

// exp2excel: writes the visible rows of tab `tab` (0 operational, k
// observation k) into a workbook at outPath. The workbook is written under a
// temporary name in the same folder and renamed over outPath only when it is
// complete, so a failed export leaves an earlier one as it was. Reads through
// the table's cursor: afterwards the current row is the last exported row, or
// the failing row when a text does not convert. Throws ExportError, and lets
// the table's StorageError pass.
void exp2excel(ArchiveTable& table, int tab, const std::string& outPath);

// The spreadsheet's serial date-time value (days since 30.12.1899, the time
// as the fraction of a day) of "DD.MM.YYYY HH:MM[:SS]", the stored date and
// time texts joined by one blank. Blanks around the text are allowed. Empty
// when the text is not a valid date and time of that form.
std::optional<double> spreadsheetDateTime(std::string_view text);

// A stored temperature text as a finite number ("23,5", "-12,8", "0,0").
std::optional<double> spreadsheetNumber(std::string_view text);

} // namespace orx
