#pragma once

// Qt's date-time axis takes milliseconds since 1970 (UTC) and shows them in
// local time. A reading's day count is local wall-clock time, so each value
// is shifted by the local offset of its day, found once per day rather than
// once per point.

#include <QtGlobal>

namespace orx::charts {

class LocalAxisTime
{
public:
    // The axis value of a day count since 30.12.1899 (local time).
    qint64 toAxis(double days);

private:
    static constexpr qint64 kNoDay = -0x7fffffffffffffffLL;
    qint64 m_day = kNoDay;  // local day (since 1970) of the cached offset
    qint64 m_offset = 0;    // wall-clock less UTC, in ms, for that whole day
    bool m_uniform = false; // false: the offset changes during that day
};

} // namespace orx::charts
