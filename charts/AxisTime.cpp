#include "charts/AxisTime.h"

#include "charts/SeriesEngine.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

namespace orx::charts {

namespace {

constexpr qint64 kMsPerDay = 86400000;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

qint64 epochOfWallClock(qint64 day, qint64 msOfDay)
{
    const QDate date = QDate(1970, 1, 1).addDays(day);
    const QDateTime local(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msOfDay)));
    return local.toMSecsSinceEpoch();
}

} // namespace

qint64 LocalAxisTime::toAxis(double days)
{
    const auto wall = static_cast<qint64>(std::llround((days + kChartEpochOffsetDays) * kMsPerDay));
    const qint64 day = floorDiv(wall, kMsPerDay);
    const qint64 msOfDay = wall - day * kMsPerDay;
    if (day != m_day) {
        const qint64 start = day * kMsPerDay;
        const qint64 end = start + kMsPerDay - 1;
        const qint64 offStart = start - epochOfWallClock(day, 0);
        const qint64 offEnd = end - epochOfWallClock(day, kMsPerDay - 1);
        m_day = day;
        m_offset = offStart;
        m_uniform = offStart == offEnd;
    }
    if (m_uniform)
        return wall - m_offset;
    return epochOfWallClock(day, msOfDay); // a day with a change of clock
}

} // namespace orx::charts
