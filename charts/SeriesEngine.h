#pragma once

// The chart build without windows: which rows of which block make which
// series, the date, time and temperature texts read back as numbers, and the
// scaling of the temperature axis. Rows are read through the main window's
// table and tabs (ChartSource), so the main window ends on the tabs the build
// visited.

#include "archive/RecordModel.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orx {

class ArchiveTable;

namespace charts {

// Blocks by tab index: 0 the operational block, k observation k.
using ChartSelection = std::array<bool, kBlockCount>;

// The order in which blocks are read and scaled: observations 1 to 20, then
// the operational block.
const std::array<int, kBlockCount>& blockOrder();

// The number of the series (and of the selection box) of a block:
// observation k is k, the operational block 21.
int seriesNumber(int block);

// The main window's table cursor and tabs, as the build uses them.
class ChartSource
{
public:
    virtual ~ChartSource() = default;
    virtual ArchiveTable& table() = 0;
    // Makes the block's tab current and applies its filter.
    virtual void showTab(int block) = 0;
    // The build has left the cursor where it stays (its last row read).
    virtual void cursorSettled() {}
};

struct ChartPoint
{
    double x = 0; // days since 30.12.1899, the time of day as the fraction
    double y = 0; // degrees Celsius as stored
};

struct ChartSeries
{
    std::vector<ChartPoint> points; // ascending x; equal x in read order
    std::string title;
    bool inLegend = false;

    void clear();
    // Keeps the points sorted: after the last point whose x is not greater.
    void add(ChartPoint p);
    // Lowest and highest y; both 0 for an empty series.
    double minY() const;
    double maxY() const;
};

using ChartSeriesSet = std::array<ChartSeries, kBlockCount>; // by block

// A row whose texts are not a date and time or a temperature.
class ChartTextError : public std::runtime_error
{
public:
    enum class Kind
    {
        DateTime,
        Number
    };
    ChartTextError(Kind kind, std::string text);
    Kind kind() const { return m_kind; }
    // The text that did not parse.
    const std::string& text() const { return m_text; }

private:
    Kind m_kind;
    std::string m_text;
};

// "day.month.year hours:minutes:seconds", anything after the seconds ignored;
// a real calendar date, hours 0..23, minutes and seconds 0..59.
std::optional<double> parseChartMoment(std::string_view text);
// A decimal number with the decimal comma, as the table stores temperatures.
std::optional<double> parseChartTemperature(std::string_view text);

// Day count of 30.12.1899 measured from 01.01.1970.
constexpr double kChartEpochOffsetDays = -25569.0;

// Clears every series and takes it out of the legend, then fills the series of
// each selected block in block order from its rows. Throws ChartTextError at
// the first row whose texts do not parse, leaving the cursor on that row;
// table errors pass through as they are.
void buildSeries(ChartSource& source, const ChartSelection& selection, ChartSeriesSet& series);

// The temperature axis: automatic (spanning all plotted points) or fixed.
class TemperatureAxis
{
public:
    bool automatic() const { return m_automatic; }
    double lower() const { return m_lower; }
    double upper() const { return m_upper; }

    void setAutomatic() { m_automatic = true; }
    void setFixed(double lower, double upper);
    // The range an automatic axis spanned when the chart was last drawn.
    void setDrawnRange(double lower, double upper);

    // The limits in force: the fixed ones, or while automatic those last drawn.
    double lowerInForce() const { return m_automatic ? m_drawnLower : m_lower; }
    double upperInForce() const { return m_automatic ? m_drawnUpper : m_upper; }

    // Setting one limit; a limit that would cross the other makes the axis
    // automatic instead. Returns false then.
    bool setUpper(double value);
    bool setLower(double value);

private:
    bool m_automatic = true;
    double m_lower = 0;
    double m_upper = 0;
    double m_drawnLower = 0;
    double m_drawnUpper = 0;
};

// A 10-degree range per selected block in block order (the last one decides),
// then, when observations 1 and 2 are both selected, their common range
// widened by one degree.
void scaleTemperatureAxis(const ChartSelection& selection, const ChartSeriesSet& series,
                          TemperatureAxis& axis);

} // namespace charts
} // namespace orx
