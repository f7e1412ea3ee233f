#pragma once

// Pagination and the prepared report: the rows of a tab read through the
// table's cursor and laid out on pages by arithmetic, since every band has a
// fixed height. No Qt, no paint device.

#include "reports/ReportLayout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orx {
class ArchiveTable;
}

namespace orx::reports {

// Where the bands of one page stand, in report units from the paper's top edge.
struct PagePlacement
{
    std::optional<double> titleTop; // page 1 only
    double headingsTop = 0;
    double dataTop = 0;   // the first data band
    double footerTop = 0; // the footer ends at the bottom margin
};

PagePlacement pagePlacement(const ReportLayout& layout, int pageIndex);

// How many data bands fit between the headings and the footer of a page.
std::size_t rowsPerPage(const ReportLayout& layout, int pageIndex);

struct PageSpan
{
    std::size_t firstRow = 0;
    std::size_t rowCount = 0;
};

// First pass: the number of pages for rowCount rows; one page without rows.
int countPages(const ReportLayout& layout, std::size_t rowCount);
// Second pass: the rows on each page.
std::vector<PageSpan> paginate(const ReportLayout& layout, std::size_t rowCount);

// A report ready to be drawn: the cell texts of every row (UTF-8, as printed)
// and the rows of every page.
class PreparedReport
{
public:
    PreparedReport(const ReportLayout& layout, std::vector<std::string> cells);

    const ReportLayout& layout() const { return *m_layout; }
    std::size_t rowCount() const { return m_rowCount; }
    int pageCount() const { return static_cast<int>(m_pages.size()); }
    const PageSpan& page(int pageIndex) const
    {
        return m_pages[static_cast<std::size_t>(pageIndex)];
    }
    // The printed text of a data cell.
    const std::string& cell(std::size_t row, std::size_t column) const
    {
        return m_cells[row * m_columnCount + column];
    }
    std::string footer(int pageIndex) const;

private:
    const ReportLayout* m_layout;
    std::size_t m_columnCount;
    std::size_t m_rowCount;
    std::vector<std::string> m_cells;
    std::vector<PageSpan> m_pages;
};

// Told the rows read so far and the total; returns false to cancel.
using PrepareProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Prepares the report of tab `tab` (0 operational, k observation k) from the
// visible rows of the table in its current filter and order. Reads through
// the table's cursor and leaves it on the last row (on the row reached when
// cancelled). Empty when cancelled; the table's errors pass.
std::optional<PreparedReport> prepareReport(ArchiveTable& table, int tab,
                                            const PrepareProgress& progress = {});

} // namespace orx::reports
