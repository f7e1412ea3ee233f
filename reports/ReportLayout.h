#pragma once

// The 21 paper report layouts, one per tab, as plain data: page, margins,
// bands, cells, fonts and positions in report units of 1/91.6256 inch, with x
// measured from the left edge of the paper. No Qt.

#include <string>
#include <vector>

namespace orx::reports {

inline constexpr double kUnitsPerInch = 91.6256;
inline constexpr double kMillimetresPerInch = 25.4;

inline constexpr double unitsFromMillimetres(double mm)
{
    return mm / kMillimetresPerInch * kUnitsPerInch;
}

inline constexpr int kReportCount = 21;

enum class HAlign
{
    Left,
    Center,
    Right
};
enum class VAlign
{
    Top,
    Center
};

struct FontSpec
{
    std::string family; // the face that stands for the designer's Arial
    double pointSize = 10;
    bool bold = false;
};

// How a data cell shows its column's stored text.
enum class CellFormat
{
    Stored,     // unchanged
    OneDecimal, // a number with one decimal and the decimal comma; other text unchanged
};

struct CellSpec
{
    double x = 0;
    double width = 0;
    std::string text;   // fixed text, UTF-8 (title, headings, footer)
    std::string column; // the table column of a data cell
    CellFormat format = CellFormat::Stored;
    bool framed = true;
    bool wrap = true;
    HAlign hAlign = HAlign::Center;
    VAlign vAlign = VAlign::Center;
};

struct BandSpec
{
    double height = 0;
    FontSpec font;
    std::vector<CellSpec> cells;
};

struct ReportLayout
{
    std::string name; // frReport1 ... frReport21
    int tab = 0;      // 0 operational, k observation k
    // A4 portrait.
    double pageWidth = 0;
    double pageHeight = 0;
    double marginLeft = 0;
    double marginTop = 0;
    double marginRight = 0;
    double marginBottom = 0;
    // Inner margins of every cell's text, and the width of the frame lines.
    double paddingX = 0;
    double paddingY = 0;
    double frameWidth = 0;
    BandSpec title;    // top of page 1
    BandSpec headings; // top of every page, below the title on page 1
    BandSpec data;     // one per row; its cells name their columns
    BandSpec footer;   // bottom of every page; "[PAGE#]" and "[TOTALPAGES]" in its text
};

// The layout of a tab: frReport1 for tab 0, frReport(k+1) for observation k.
const ReportLayout& reportLayout(int tab);

// The footer text with the page number (from 1) and the page count put in.
std::string footerText(const ReportLayout& layout, int pageNumber, int pageCount);

// What a data cell prints for a stored text.
std::string cellText(const CellSpec& cell, const std::string& stored);

} // namespace orx::reports
