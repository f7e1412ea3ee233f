#pragma once

// Lays out archive bytes as the instrument does, from records. The tests and
// the emulated instrument build their archives with it.

#include <cstdint>
#include <optional>
#include <vector>

namespace orx {

struct OperationalRecord
{
    std::uint8_t module = 'A';
    std::uint8_t sensor = 1;
    std::uint8_t year = 24; // year - 2000
    std::uint8_t month = 1;
    std::uint8_t day = 1;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint16_t temperature = 0; // the instrument's word: signed tenths of a degree
};

struct ObservationRecord
{
    std::uint8_t duration = 24; // hours
    std::uint8_t spare = 0;
    std::uint8_t period = 1;    // minutes
    std::uint8_t year = 24;
    std::uint8_t month = 1;
    std::uint8_t day = 1;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint16_t temperature = 0;
};

struct ObservationBlock
{
    std::uint8_t firstByte = 0;
    std::uint8_t module = 'A';
    std::uint8_t slot = 1;
    std::vector<ObservationRecord> records;
    // A count word other than records.size(), for archives that declare more
    // (or fewer) records than they carry.
    std::optional<std::uint16_t> declaredCount;
};

// The instrument's word for a reading in tenths of a degree (negative tenths
// are stored as their 16-bit two's complement).
std::uint16_t temperatureWord(int tenths);

class ArchiveBuilder
{
public:
    ArchiveBuilder& operational(std::vector<OperationalRecord> records);
    ArchiveBuilder& declaredOperationalCount(std::uint16_t count);
    ArchiveBuilder& observation(ObservationBlock block);

    std::vector<std::uint8_t> build() const;

private:
    std::vector<OperationalRecord> m_operational;
    std::optional<std::uint16_t> m_declaredOperational;
    std::vector<ObservationBlock> m_observations;
};

} // namespace orx
