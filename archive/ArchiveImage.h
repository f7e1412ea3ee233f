#pragma once

// The instrument's archive as bytes: an operational block at offset 0, then
// observation blocks. Only the first length() bytes belong to the archive.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orx {

namespace image {
// Indices 0 to 555350.
constexpr std::size_t kCapacity = 555351;
// The most a download can deliver: its receive buffer holds 262144 characters, two per byte.
constexpr std::size_t kMaxDownloadLength = 131071;

constexpr std::uint8_t kOperationalMarker = 0xCE; // "О" in code page 1251
constexpr std::size_t kMarkerOffset = 0;
constexpr std::size_t kOperationalCountOffset = 1;
constexpr std::size_t kOperationalHeaderSize = 3;
constexpr std::size_t kRecordSize = 10;

// Operational record.
constexpr std::size_t kOpModule = 0;
constexpr std::size_t kOpSensor = 1;
constexpr std::size_t kOpYear = 2;
constexpr std::size_t kOpMonth = 3;
constexpr std::size_t kOpDay = 4;
constexpr std::size_t kOpHour = 5;
constexpr std::size_t kOpMinute = 6;
constexpr std::size_t kOpSecond = 7;
constexpr std::size_t kOpTemperature = 8;

// Observation block header.
constexpr std::size_t kObsFirstByte = 0;
constexpr std::size_t kObsModule = 1;
constexpr std::size_t kObsSlot = 2;
constexpr std::size_t kObsCount = 3;
constexpr std::size_t kObsHeaderSize = 5;

// Observation record.
constexpr std::size_t kObsDuration = 0;
constexpr std::size_t kObsSpare = 1;
constexpr std::size_t kObsPeriod = 2;
constexpr std::size_t kObsYear = 3;
constexpr std::size_t kObsMonth = 4;
constexpr std::size_t kObsDay = 5;
constexpr std::size_t kObsHour = 6;
constexpr std::size_t kObsMinute = 7;
constexpr std::size_t kObsTemperature = 8;

constexpr std::uint16_t kNegativeWord = 0x8000;
} // namespace image

class ArchiveImage
{
public:
    ArchiveImage();

    // Replaces the archive; more than the capacity is refused (ArchiveError).
    void assign(const std::uint8_t* bytes, std::size_t length);
    void assign(const std::vector<std::uint8_t>& bytes) { assign(bytes.data(), bytes.size()); }

    std::size_t length() const { return m_length; }
    const std::uint8_t* data() const { return m_bytes.data(); }
    // The byte at i, refusing an index outside the capacity.
    std::uint8_t at(std::size_t i) const;
    // Whether the count bytes from offset on all belong to the archive.
    bool holds(std::size_t offset, std::size_t count) const
    {
        return offset <= m_length && count <= m_length - offset;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_length = 0;
};

// byte[i] + 256 * byte[i + 1]; refuses offsets outside the capacity.
std::uint16_t ReadWordLE(const ArchiveImage& image, std::size_t offset);
// The temperature word at offset in degrees Celsius.
double DecodeTemperature(const ArchiveImage& image, std::size_t offset);
double decodeTemperatureWord(std::uint16_t word);

} // namespace orx
