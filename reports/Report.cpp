#include "reports/Report.h"

#include "archive/Cp1251.h"
#include "storage/ArchiveTable.h"

#include <cmath>

namespace orx::reports {

namespace {

// Rows between two progress reports.
constexpr std::size_t kProgressStep = 512;
// Band edges are compared with this much slack, so that a band ending exactly
// on the footer still fits despite rounding in the millimetre conversion.
constexpr double kFitSlack = 1e-9;

} // namespace

PagePlacement pagePlacement(const ReportLayout& layout, int pageIndex)
{
    PagePlacement p;
    double y = layout.marginTop;
    if (pageIndex == 0) {
        p.titleTop = y;
        y += layout.title.height;
    }
    p.headingsTop = y;
    p.dataTop = y + layout.headings.height;
    p.footerTop = layout.pageHeight - layout.marginBottom - layout.footer.height;
    return p;
}

std::size_t rowsPerPage(const ReportLayout& layout, int pageIndex)
{
    const PagePlacement p = pagePlacement(layout, pageIndex);
    const double room = p.footerTop - p.dataTop;
    if (room < layout.data.height)
        return 0;
    return static_cast<std::size_t>(std::floor(room / layout.data.height + kFitSlack));
}

int countPages(const ReportLayout& layout, std::size_t rowCount)
{
    const std::size_t first = rowsPerPage(layout, 0);
    if (rowCount <= first)
        return 1;
    const std::size_t later = rowsPerPage(layout, 1);
    return 1 + static_cast<int>((rowCount - first + later - 1) / later);
}

std::vector<PageSpan> paginate(const ReportLayout& layout, std::size_t rowCount)
{
    // The first pass counts the pages, so that every footer can name their
    // total; the second places the rows.
    std::vector<PageSpan> pages;
    pages.reserve(static_cast<std::size_t>(countPages(layout, rowCount)));
    std::size_t row = 0;
    do {
        const std::size_t fit = rowsPerPage(layout, static_cast<int>(pages.size()));
        const std::size_t n = std::min(fit, rowCount - row);
        pages.push_back({row, n});
        row += n;
    } while (row < rowCount);
    return pages;
}

PreparedReport::PreparedReport(const ReportLayout& layout, std::vector<std::string> cells)
    : m_layout(&layout), m_columnCount(layout.data.cells.size()),
      m_rowCount(m_columnCount ? cells.size() / m_columnCount : 0), m_cells(std::move(cells))
{
    m_pages = paginate(layout, m_rowCount);
}

std::string PreparedReport::footer(int pageIndex) const
{
    return footerText(*m_layout, pageIndex + 1, pageCount());
}

std::optional<PreparedReport> prepareReport(ArchiveTable& table, int tab,
                                            const PrepareProgress& progress)
{
    const ReportLayout& layout = reportLayout(tab);
    std::vector<int> fields;
    for (const CellSpec& c : layout.data.cells)
        fields.push_back(table.fieldIndex(c.column));

    const std::size_t total = table.countVisible();
    std::vector<std::string> cells;
    cells.reserve(total * fields.size());
    if (progress && !progress(0, total))
        return std::nullopt;
    table.first();
    for (std::size_t row = 0; row < total && !table.eof(); ++row) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            cells.push_back(
                cellText(layout.data.cells[i], cp1251ToUtf8(table.readText(fields[i]))));
        if (progress && (row + 1) % kProgressStep == 0 && !progress(row + 1, total))
            return std::nullopt;
        if (row + 1 < total)
            table.next();
    }
    if (progress && !progress(total, total))
        return std::nullopt;
    return PreparedReport(layout, std::move(cells));
}

} // namespace orx::reports
