#include "reports/ReportLayout.h"

#include "archive/RecordModel.h"
#include "archive/TextFormats.h"

#include <array>
#include <charconv>
#include <stdexcept>

namespace orx::reports {

namespace {

// Arial of the designer; Liberation Sans has the same metrics.
constexpr const char* kFontFamily = "Liberation Sans";

constexpr double kPageWidthMm = 210;
constexpr double kPageHeightMm = 297;
constexpr double kMarginLeft = 25;
constexpr double kMarginTop = 72;
constexpr double kMarginRight = 25;
constexpr double kMarginBottom = 25;
constexpr double kPaddingX = 2;
constexpr double kPaddingY = 1;
constexpr double kFrameWidth = 1;

constexpr double kTitleHeight = 64;
constexpr double kHeadingHeight = 60;
constexpr double kDataHeight = 40;
constexpr double kFooterHeight = 20;

constexpr double kTitleWidth = 234;
constexpr double kFooterWidth = 202;
constexpr double kLineEnd = 733; // the right margin
constexpr double kObservationLineEnd = 731;
constexpr double kObservationDataLineEnd = 732;
constexpr double kObservationColumn6 = 541;

// Width of the column-6 heading of frReport2 ... frReport21 (observations 1 ... 20).
constexpr std::array<double, kObservationCount> kColumn6Widths = {
    98, 92, 82, 80, 82, 84, 80, 87, 89, 87, 89, 87, 87, 89, 83, 87, 85, 90, 89, 88,
};

CellSpec heading(double x, double width, const char* text)
{
    CellSpec c;
    c.x = x;
    c.width = width;
    c.text = text;
    return c;
}

CellSpec data(double x, double width, std::string column, CellFormat format = CellFormat::Stored)
{
    CellSpec c;
    c.x = x;
    c.width = width;
    c.column = std::move(column);
    c.format = format;
    return c;
}

ReportLayout pageFrame(int tab)
{
    ReportLayout l;
    l.name = "frReport" + std::to_string(tab + 1);
    l.tab = tab;
    l.pageWidth = unitsFromMillimetres(kPageWidthMm);
    l.pageHeight = unitsFromMillimetres(kPageHeightMm);
    l.marginLeft = kMarginLeft;
    l.marginTop = kMarginTop;
    l.marginRight = kMarginRight;
    l.marginBottom = kMarginBottom;
    l.paddingX = kPaddingX;
    l.paddingY = kPaddingY;
    l.frameWidth = kFrameWidth;

    l.title.height = kTitleHeight;
    l.title.font = {kFontFamily, 14, true};
    CellSpec title;
    title.x = kMarginLeft;
    title.width = kTitleWidth;
    title.text = "ВЕЛАРИ-5";
    title.framed = false;
    title.wrap = false;
    title.hAlign = HAlign::Left;
    title.vAlign = VAlign::Top;
    l.title.cells.push_back(title);

    l.headings.height = kHeadingHeight;
    l.headings.font = {kFontFamily, 12, true};
    l.data.height = kDataHeight;
    l.data.font = {kFontFamily, 10, false};

    l.footer.height = kFooterHeight;
    l.footer.font = {kFontFamily, 10, false};
    CellSpec footer;
    footer.x = kLineEnd - kFooterWidth;
    footer.width = kFooterWidth;
    footer.text = "Стр. [PAGE#] из [TOTALPAGES]";
    footer.framed = false;
    footer.wrap = false;
    footer.hAlign = HAlign::Right;
    footer.vAlign = VAlign::Center;
    l.footer.cells.push_back(footer);
    return l;
}

ReportLayout operationalLayout()
{
    ReportLayout l = pageFrame(kOperationalBlock);
    l.headings.cells = {
        heading(25, 61, "N"),          heading(86, 88, "Дата"),
        heading(174, 72, "Время"),     heading(246, 148, "Тип модуля"),
        heading(394, 148, "№ модуля"), heading(542, 72, "T, град.C"),
    };
    l.data.cells = {
        data(25, 61, kColNo),       data(86, 88, kColDate),
        data(174, 72, kColTime),    data(246, 148, kColModule),
        data(394, 148, kColSensor), data(542, 72, kColTemperature, CellFormat::OneDecimal),
    };
    return l;
}

ReportLayout observationLayout(int k)
{
    ReportLayout l = pageFrame(k);
    const double w6 = kColumn6Widths[static_cast<std::size_t>(k - 1)];
    const double boundary = kObservationColumn6 + w6; // between columns 6 and 7
    l.headings.cells = {
        heading(25, 61, "N"),
        heading(86, 88, "Дата"),
        heading(174, 72, "Время"),
        heading(246, 148, "Длительность наблюдения, ч."),
        heading(394, 147, "Период наблюдения, мин."),
        heading(kObservationColumn6, w6, k == 1 ? "T, град. C" : "T, град.C"),
    };
    l.data.cells = {
        data(25, 61, observationColumn(k, ObsField::Seq)),
        data(86, 88, observationColumn(k, ObsField::Date)),
        data(174, 72, observationColumn(k, ObsField::Time)),
        data(246, 148, observationColumn(k, ObsField::Duration)),
        data(394, 148, observationColumn(k, ObsField::Period)),
    };
    if (k == 1) {
        // The first observation's layout as designed: its column-7 heading
        // starts two units inside column 6.
        l.headings.cells.push_back(heading(637, 94, "Тип и № модуля"));
        l.data.cells.push_back(data(542, 97, observationColumn(k, ObsField::Temperature)));
        l.data.cells.push_back(data(638, 94, kColType));
    } else {
        // Column 7 takes the rest of the line; the data cells keep the
        // headings' boundary.
        l.headings.cells.push_back(
            heading(boundary, kObservationLineEnd - boundary, "Тип и № модуля"));
        l.data.cells.push_back(data(kObservationColumn6 + 1, boundary - kObservationColumn6 - 1,
                                    observationColumn(k, ObsField::Temperature)));
        l.data.cells.push_back(data(boundary, kObservationDataLineEnd - boundary, kColType));
    }
    return l;
}

std::vector<ReportLayout> buildLayouts()
{
    std::vector<ReportLayout> all;
    all.push_back(operationalLayout());
    for (int k = 1; k <= kObservationCount; ++k)
        all.push_back(observationLayout(k));
    return all;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

} // namespace

const ReportLayout& reportLayout(int tab)
{
    static const std::vector<ReportLayout> layouts = buildLayouts();
    if (tab < 0 || tab >= kReportCount)
        throw std::out_of_range("no report layout for tab " + std::to_string(tab));
    return layouts[static_cast<std::size_t>(tab)];
}

std::string footerText(const ReportLayout& layout, int pageNumber, int pageCount)
{
    std::string text = layout.footer.cells.front().text;
    replaceAll(text, "[PAGE#]", std::to_string(pageNumber));
    replaceAll(text, "[TOTALPAGES]", std::to_string(pageCount));
    return text;
}

std::string cellText(const CellSpec& cell, const std::string& stored)
{
    if (cell.format != CellFormat::OneDecimal)
        return stored;
    const std::optional<double> value = parseArchiveNumber(stored);
    if (!value)
        return stored;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, *value, std::chars_format::fixed, 1);
    if (res.ec != std::errc())
        return stored;
    std::string text(buf, res.ptr);
    for (char& c : text) {
        if (c == '.')
            c = kDecimalComma;
    }
    return text;
}

} // namespace orx::reports
