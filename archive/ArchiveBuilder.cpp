#include "archive/ArchiveBuilder.h"

#include "archive/ArchiveImage.h"

namespace orx {
namespace {

void putWord(std::vector<std::uint8_t>& out, std::uint16_t w)
{
    out.push_back(static_cast<std::uint8_t>(w & 0xFF));
    out.push_back(static_cast<std::uint8_t>(w >> 8));
}

} // namespace

std::uint16_t temperatureWord(int tenths) { return static_cast<std::uint16_t>(tenths & 0xFFFF); }

ArchiveBuilder& ArchiveBuilder::operational(std::vector<OperationalRecord> records)
{
    m_operational = std::move(records);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::declaredOperationalCount(std::uint16_t count)
{
    m_declaredOperational = count;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::observation(ObservationBlock block)
{
    m_observations.push_back(std::move(block));
    return *this;
}

std::vector<std::uint8_t> ArchiveBuilder::build() const
{
    using namespace image;
    std::vector<std::uint8_t> out;
    out.push_back(kOperationalMarker);
    putWord(out, m_declaredOperational.value_or(static_cast<std::uint16_t>(m_operational.size())));
    for (const OperationalRecord& r : m_operational) {
        const std::uint8_t bytes[] = {r.module, r.sensor, r.year, r.month, r.day, r.hour, r.minute, r.second};
        out.insert(out.end(), bytes, bytes + sizeof bytes);
        putWord(out, r.temperature);
    }
    for (const ObservationBlock& b : m_observations) {
        out.push_back(b.firstByte);
        out.push_back(b.module);
        out.push_back(b.slot);
        putWord(out, b.declaredCount.value_or(static_cast<std::uint16_t>(b.records.size())));
        for (const ObservationRecord& r : b.records) {
            const std::uint8_t bytes[] = {r.duration, r.spare, r.period, r.year,
                                          r.month,    r.day,   r.hour,   r.minute};
            out.insert(out.end(), bytes, bytes + sizeof bytes);
            putWord(out, r.temperature);
        }
    }
    return out;
}

} // namespace orx
