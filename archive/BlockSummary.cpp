#include "archive/BlockSummary.h"

#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
#include "storage/ArchiveTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orx {

namespace {
int blockField(const ArchiveTable& table, int block, ObsField field, const char* operational)
{
    return table.fieldIndex(block == kOperationalBlock ? std::string(operational)
                                                       : observationColumn(block, field));
}
} // namespace

BlockSummaryBuilder::BlockSummaryBuilder(const ArchiveTable& table, int block)
    : m_table(table), m_dateField(blockField(table, block, ObsField::Date, kColDate)),
      m_timeField(blockField(table, block, ObsField::Time, kColTime)),
      m_temperatureField(blockField(table, block, ObsField::Temperature, kColTemperature)),
      m_records(table.recordsOfBlock(block))
{
    m_summary.block = block;
    m_summary.rows = m_records.size();
}

bool BlockSummaryBuilder::step(std::size_t maxRows)
{
    const std::size_t end = std::min(m_records.size(), m_next + maxRows);
    for (; m_next < end; ++m_next) {
        const std::uint32_t r = m_records[m_next];
        const std::string date = m_table.readTextAt(r, m_dateField);
        const std::string time = m_table.readTextAt(r, m_timeField);
        if (const auto moment = ArchiveSeconds(date, time)) {
            const std::string text = date + " " + time;
            if (!m_haveMoment || *moment < m_firstMoment) {
                m_firstMoment = *moment;
                m_summary.first = text;
            }
            if (!m_haveMoment || *moment >= m_lastMoment) {
                m_lastMoment = *moment;
                m_summary.last = text;
            }
            m_haveMoment = true;
        } else {
            if (m_summary.badMoments + m_summary.badTemperatures == 0)
                m_summary.firstBad = date + " " + time;
            ++m_summary.badMoments;
        }
        const std::string t = m_table.readTextAt(r, m_temperatureField);
        const auto value = t.empty() ? std::nullopt : parseArchiveNumber(t);
        if (value) {
            m_summary.minimum = std::min(m_summary.minimum.value_or(*value), *value);
            m_summary.maximum = std::max(m_summary.maximum.value_or(*value), *value);
            m_sum += *value;
            ++m_temperatures;
        } else {
            if (m_summary.badMoments + m_summary.badTemperatures == 0)
                m_summary.firstBad = t;
            ++m_summary.badTemperatures;
        }
    }
    return done();
}

BlockSummary BlockSummaryBuilder::result() const
{
    BlockSummary s = m_summary;
    if (m_temperatures > 0)
        s.mean = m_sum / static_cast<double>(m_temperatures);
    return s;
}

BlockSummary summarizeBlock(const ArchiveTable& table, int block)
{
    BlockSummaryBuilder b(table, block);
    b.step(static_cast<std::size_t>(-1));
    return b.result();
}

std::string formatTemperature(double celsius)
{
    // One decimal with the comma, "-0,0" shown as "0,0".
    double rounded = std::round(celsius * 10.0) / 10.0;
    if (rounded == 0.0)
        rounded = 0.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", rounded);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', kDecimalComma);
    return s;
}

} // namespace orx
