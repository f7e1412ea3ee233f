#include "archive/ArchiveImage.h"

#include "archive/ArchiveError.h"

#include <algorithm>
#include <string>

namespace orx {

ArchiveImage::ArchiveImage() : m_bytes(image::kCapacity, 0) {}

void ArchiveImage::assign(const std::uint8_t* bytes, std::size_t length)
{
    if (length > image::kCapacity)
        throw ArchiveError(ArchiveError::Kind::Range,
                           "Archive of " + std::to_string(length) + " bytes exceeds the capacity");
    std::copy(bytes, bytes + length, m_bytes.begin());
    std::fill(m_bytes.begin() + static_cast<std::ptrdiff_t>(length), m_bytes.end(), 0);
    m_length = length;
}

std::uint8_t ArchiveImage::at(std::size_t i) const
{
    if (i >= image::kCapacity)
        throw ArchiveError(ArchiveError::Kind::Range, "Range check error");
    return m_bytes[i];
}

std::uint16_t ReadWordLE(const ArchiveImage& image, std::size_t offset)
{
    if (offset >= image::kCapacity - 1)
        throw ArchiveError(ArchiveError::Kind::Range, "Range check error");
    return static_cast<std::uint16_t>(image.data()[offset] | image.data()[offset + 1] << 8);
}

double decodeTemperatureWord(std::uint16_t word)
{
    if (word < image::kNegativeWord)
        return word / 10.0;
    // The magnitude of the word as a signed number; the instrument's negative
    // readings come out half a degree lower than their tenths.
    const int magnitude = 65536 - word;
    return -(magnitude + 5) / 10.0;
}

double DecodeTemperature(const ArchiveImage& image, std::size_t offset)
{
    return decodeTemperatureWord(ReadWordLE(image, offset));
}

} // namespace orx
