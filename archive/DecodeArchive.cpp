#include "archive/DecodeArchive.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveImage.h"
#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
#include "storage/ArchiveTable.h"

#include <string>

namespace orx {
namespace {

using namespace image;

// The moment of the newest stored reading of a block, or 0 when it has none.
std::int64_t referenceMoment(const ArchiveTable& table, int block, const std::string& dateColumn,
                             const std::string& timeColumn)
{
    auto record = table.lastRecordOfBlock(block);
    if (!record)
        return 0;
    const std::string date = table.readTextAt(*record, dateColumn);
    const std::string time = table.readTextAt(*record, timeColumn);
    auto moment = ArchiveSeconds(date, time);
    if (!moment)
        throw ArchiveError(ArchiveError::Kind::Conversion,
                           "'" + date + " " + time + "' is not a valid date and time");
    return *moment;
}

// How many of the declared records at pos lie wholly inside the archive.
std::size_t recordsInside(const ArchiveImage& image, std::size_t pos, std::size_t declared)
{
    if (pos >= image.length())
        return 0;
    return std::min(declared, (image.length() - pos) / kRecordSize);
}

// The count word of a header, or 0 when it does not lie wholly inside the archive.
std::uint16_t countAt(const ArchiveImage& image, std::size_t offset)
{
    return image.holds(offset, 2) ? ReadWordLE(image, offset) : 0;
}

std::string operationalDate(const std::uint8_t* r)
{
    return FormatArchiveDate(r[kOpYear], r[kOpMonth], r[kOpDay]);
}
std::string operationalTime(const std::uint8_t* r)
{
    return FormatArchiveTime(r[kOpHour], r[kOpMinute], r[kOpSecond]);
}
std::string observationDate(const std::uint8_t* r)
{
    return FormatArchiveDate(r[kObsYear], r[kObsMonth], r[kObsDay]);
}
std::string observationTime(const std::uint8_t* r)
{
    return FormatArchiveShortTime(r[kObsHour], r[kObsMinute]);
}

// Skips the records at pos that are not later than the reference; returns how many.
template <typename DateFn, typename TimeFn>
std::size_t skipOlder(const ArchiveImage& image, std::size_t pos, std::size_t available,
                      std::int64_t reference, DateFn date, TimeFn time)
{
    std::size_t skipped = 0;
    while (skipped < available) {
        const std::uint8_t* r = image.data() + pos + skipped * kRecordSize;
        const auto moment = ArchiveSeconds(date(r), time(r));
        if (moment && *moment > reference)
            break;
        ++skipped;
    }
    return skipped;
}

void decodeOperational(ArchiveTable& table, const ArchiveImage& image, bool append,
                       std::uint64_t& total)
{
    const std::uint16_t declared = countAt(image, kOperationalCountOffset);
    total = declared;
    const std::size_t pos = kOperationalHeaderSize;
    const std::size_t available = recordsInside(image, pos, declared);
    std::size_t base = 0;
    if (append) {
        const std::int64_t reference = referenceMoment(table, kOperationalBlock, kColDate, kColTime);
        base = skipOlder(image, pos, available, reference, operationalDate, operationalTime);
    }
    const int fNo = table.fieldIndex(kColNo);
    const int fModule = table.fieldIndex(kColModule);
    const int fSensor = table.fieldIndex(kColSensor);
    const int fTime = table.fieldIndex(kColTime);
    const int fDate = table.fieldIndex(kColDate);
    const int fTemp = table.fieldIndex(kColTemperature);
    for (std::size_t i = base; i < available; ++i) {
        const std::uint8_t* r = image.data() + pos + i * kRecordSize;
        table.append();
        table.writeText(fNo, std::to_string(i + 1));
        table.writeText(fModule, r[kOpModule] ? std::string(1, static_cast<char>(r[kOpModule])) : std::string());
        table.writeText(fSensor, std::to_string(r[kOpSensor]));
        table.writeText(fTime, operationalTime(r));
        table.writeText(fDate, operationalDate(r));
        table.writeText(fTemp, formatOperationalTemperature(
                                   decodeTemperatureWord(static_cast<std::uint16_t>(
                                       r[kOpTemperature] | r[kOpTemperature + 1] << 8))));
        table.post();
    }
}

// Writes the records of the block at hdr as rows of observation k; returns
// the offset of the next block header.
std::size_t decodeObservation(ArchiveTable& table, const ArchiveImage& image, int k,
                              std::size_t hdr, std::uint16_t declared, bool append)
{
    const std::size_t pos = hdr + kObsHeaderSize;
    const std::size_t available = recordsInside(image, pos, declared);
    std::size_t base = 0;
    if (append) {
        const std::int64_t reference = referenceMoment(
            table, k, observationColumn(k, ObsField::Date), observationColumn(k, ObsField::Time));
        base = skipOlder(image, pos, available, reference, observationDate, observationTime);
    }
    const int fSeq = table.fieldIndex(observationColumn(k, ObsField::Seq));
    const int fDuration = table.fieldIndex(observationColumn(k, ObsField::Duration));
    const int fPeriod = table.fieldIndex(observationColumn(k, ObsField::Period));
    const int fTime = table.fieldIndex(observationColumn(k, ObsField::Time));
    const int fDate = table.fieldIndex(observationColumn(k, ObsField::Date));
    const int fTemp = table.fieldIndex(observationColumn(k, ObsField::Temperature));
    const int fType = table.fieldIndex(kColType);
    const std::uint8_t* h = image.data() + hdr;
    std::string type;
    if (h[kObsModule])
        type.push_back(static_cast<char>(h[kObsModule]));
    type += std::to_string(h[kObsSlot]);
    for (std::size_t i = base; i < available; ++i) {
        const std::uint8_t* r = image.data() + pos + i * kRecordSize;
        table.append();
        table.writeText(fSeq, std::to_string(i + 1));
        table.writeText(fDuration, std::to_string(r[kObsDuration]));
        table.writeText(fPeriod, std::to_string(r[kObsPeriod]));
        table.writeText(fTime, observationTime(r));
        table.writeText(fDate, observationDate(r));
        table.writeText(fTemp, formatObservationTemperature(decodeTemperatureWord(
                                   static_cast<std::uint16_t>(r[kObsTemperature] | r[kObsTemperature + 1] << 8))));
        table.writeText(fType, type);
        table.post();
    }
    return pos + static_cast<std::size_t>(declared) * kRecordSize;
}

} // namespace

std::optional<std::uint64_t> DecodeArchive(ArchiveTable& table, const ArchiveImage& image,
                                           DecodeMode mode)
{
    if (!table.isOpen())
        return std::nullopt;
    const bool append = mode == DecodeMode::Append;
    table.refresh();
    table.last();

    std::uint64_t total = 0;
    decodeOperational(table, image, append, total);

    // The first observation header follows the operational records.
    std::size_t pos = kOperationalHeaderSize +
                      static_cast<std::size_t>(countAt(image, kOperationalCountOffset)) * kRecordSize;
    for (int k = 1; k <= kObservationCount; ++k) {
        const std::uint16_t n = countAt(image, pos + kObsCount);
        total += n;
        // A header with another slot number, or with no records, is offered
        // to the next observation number as it stands.
        if (n == 0 || image.at(pos + kObsSlot) != k)
            continue;
        pos = decodeObservation(table, image, k, pos, n, append);
    }
    return total;
}

} // namespace orx
