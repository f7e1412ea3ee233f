#include "charts/SeriesEngine.h"

#include "archive/Calendar.h"
#include "archive/TextFormats.h"
#include "storage/ArchiveTable.h"

#include <algorithm>

namespace orx::charts {

using calendar::daysFromCivil;
using calendar::daysInMonth;
using calendar::take;

namespace {

constexpr int kOperationalSeries = 21;
constexpr double kAxisWidth = 10.0; // degrees of a fixed range
constexpr double kPairMargin = 1.0; // degrees around observations 1 and 2
constexpr double kSecondsPerDay = 86400.0;
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
constexpr int kYearDigits = 4;
constexpr int kFieldDigits = 2;
constexpr const char* kDegreesTitle = " T,°C";

struct BlockColumns
{
    int date, time, temperature, titleA, titleB; // titleB -1: one column
    const char* titleTail;
};

BlockColumns columnsOf(const ArchiveTable& t, int block)
{
    if (block == kOperationalBlock)
        return {t.fieldIndex(kColDate),   t.fieldIndex(kColTime),   t.fieldIndex(kColTemperature),
                t.fieldIndex(kColModule), t.fieldIndex(kColSensor), kDegreesTitle};
    constexpr int kTitleWithoutBlank = 17; // its title has no blank before "T"
    return {t.fieldIndex(observationColumn(block, ObsField::Date)),
            t.fieldIndex(observationColumn(block, ObsField::Time)),
            t.fieldIndex(observationColumn(block, ObsField::Temperature)),
            t.fieldIndex(kColType),
            -1,
            block == kTitleWithoutBlank ? kDegreesTitle + 1 : kDegreesTitle};
}

void readBlock(ArchiveTable& t, int block, ChartSeries& s)
{
    const BlockColumns c = columnsOf(t, block);
    t.first();
    const std::size_t n = t.countVisible();
    s.points.reserve(n);
    std::string moment;
    for (std::size_t i = 0; i < n; ++i) {
        moment.assign(t.readText(c.date)).append(" ").append(t.readText(c.time)).append(":00");
        const std::optional<double> x = parseChartMoment(moment);
        if (!x)
            throw ChartTextError(ChartTextError::Kind::DateTime, moment);
        const std::string temperature = t.readText(c.temperature);
        const std::optional<double> y = parseChartTemperature(temperature);
        if (!y)
            throw ChartTextError(ChartTextError::Kind::Number, temperature);
        s.add({*x, *y});
        if (i + 1 < n)
            t.next(); // the cursor stays on the last row read
    }
    if (n > 0) {
        s.title = t.readText(c.titleA);
        if (c.titleB >= 0)
            s.title += t.readText(c.titleB);
    }
    s.title += c.titleTail; // an empty block reads its columns as empty
    s.inLegend = true;
}

} // namespace

const std::array<int, kBlockCount>& blockOrder()
{
    static const std::array<int, kBlockCount> order = [] {
        std::array<int, kBlockCount> o{};
        for (int k = 1; k <= kObservationCount; ++k)
            o[static_cast<std::size_t>(k - 1)] = k;
        o[kObservationCount] = kOperationalBlock;
        return o;
    }();
    return order;
}

int seriesNumber(int block)
{
    return block == kOperationalBlock ? kOperationalSeries : block;
}

void ChartSeries::clear()
{
    points.clear();
    title.clear();
    inLegend = false;
}

void ChartSeries::add(ChartPoint p)
{
    if (points.empty() || p.x >= points.back().x) {
        points.push_back(p);
        return;
    }
    const auto at = std::upper_bound(points.begin(), points.end(), p.x,
                                     [](double x, const ChartPoint& q) { return x < q.x; });
    points.insert(at, p);
}

double ChartSeries::minY() const
{
    if (points.empty())
        return 0;
    return std::min_element(points.begin(), points.end(),
                            [](auto& a, auto& b) { return a.y < b.y; })
        ->y;
}

double ChartSeries::maxY() const
{
    if (points.empty())
        return 0;
    return std::max_element(points.begin(), points.end(),
                            [](auto& a, auto& b) { return a.y < b.y; })
        ->y;
}

ChartTextError::ChartTextError(Kind kind, std::string text)
    : std::runtime_error(text), m_kind(kind), m_text(std::move(text))
{
}

std::optional<double> parseChartMoment(std::string_view s)
{
    int day, month, year, hour, minute, second;
    if (!calendar::readDigits(s, 1, kFieldDigits, day) || !take(s, '.') ||
        !calendar::readDigits(s, 1, kFieldDigits, month) || !take(s, '.'))
        return std::nullopt;
    if (!calendar::readDigits(s, kYearDigits, kYearDigits, year))
        return std::nullopt;
    if (!take(s, ' ') || !calendar::readDigits(s, 1, kFieldDigits, hour) || !take(s, ':') ||
        !calendar::readDigits(s, 1, kFieldDigits, minute) || !take(s, ':') ||
        !calendar::readDigits(s, 1, kFieldDigits, second))
        return std::nullopt;
    if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const long long days =
        daysFromCivil(year, month, day) -
        static_cast<long long>(kChartEpochOffsetDays);
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

std::optional<double> parseChartTemperature(std::string_view text)
{
    return parseArchiveNumber(text);
}

void buildSeries(ChartSource& source, const ChartSelection& selection, ChartSeriesSet& series)
{
    for (ChartSeries& s : series)
        s.clear();
    bool any = false;
    try {
        for (int block : blockOrder()) {
            if (!selection[static_cast<std::size_t>(block)])
                continue;
            any = true;
            source.showTab(block);
            readBlock(source.table(), block, series[static_cast<std::size_t>(block)]);
        }
    } catch (...) {
        source.cursorSettled();
        throw;
    }
    if (any)
        source.cursorSettled();
}

void TemperatureAxis::setFixed(double lower, double upper)
{
    m_automatic = false;
    m_lower = lower;
    m_upper = upper;
}

void TemperatureAxis::setDrawnRange(double lower, double upper)
{
    m_drawnLower = lower;
    m_drawnUpper = upper;
}

bool TemperatureAxis::setUpper(double value)
{
    if (value < lowerInForce()) {
        m_automatic = true;
        return false;
    }
    setFixed(lowerInForce(), value);
    return true;
}

bool TemperatureAxis::setLower(double value)
{
    if (value > upperInForce()) {
        m_automatic = true;
        return false;
    }
    setFixed(value, upperInForce());
    return true;
}

void scaleTemperatureAxis(const ChartSelection& selection, const ChartSeriesSet& series,
                          TemperatureAxis& axis)
{
    for (int block : blockOrder()) {
        if (!selection[static_cast<std::size_t>(block)])
            continue;
        const ChartSeries& s = series[static_cast<std::size_t>(block)];
        const double max = s.maxY();
        const double min = s.minY();
        const double span = max - min;
        if (span >= kAxisWidth) {
            axis.setAutomatic();
            continue;
        }
        const double d = (kAxisWidth - span) / 2;
        if (axis.setUpper(max + d))
            axis.setLower(min - d);
    }
    if (selection[1] && selection[2]) {
        const ChartSeries& a = series[1];
        const ChartSeries& b = series[2];
        if (axis.setLower(std::min(a.minY(), b.minY()) - kPairMargin))
            axis.setUpper(std::max(a.maxY(), b.maxY()) + kPairMargin);
    }
}

} // namespace orx::charts
