// Arbitrary archive images decoded into a new table and appended onto a small
// stored one. Whatever the image says, the table must stay whole: every row
// posted is on disk after a reopen, and nothing but the described failures
// comes out.

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveImage.h"
#include "archive/DecodeArchive.h"
#include "fuzz/FuzzSupport.h"
#include "storage/ArchiveTable.h"

#include <cstdint>
#include <string>

namespace {

using orx::ArchiveTable;
using orx::fuzz::require;

// A table holding a few readings of the operational block and of two
// observations, as a first download leaves it; built once per process.
const std::string& storedTable()
{
    static const std::string bytes = [] {
        std::vector<orx::OperationalRecord> ops;
        for (int i = 0; i < 4; ++i) {
            orx::OperationalRecord r;
            r.sensor = static_cast<std::uint8_t>(1 + i % 2);
            r.hour = static_cast<std::uint8_t>(9 + i);
            r.temperature = orx::temperatureWord(200 + 5 * i);
            ops.push_back(r);
        }
        orx::ArchiveBuilder builder;
        builder.operational(ops);
        for (std::uint8_t slot = 1; slot <= 2; ++slot) {
            orx::ObservationBlock block;
            block.slot = slot;
            for (int i = 0; i < 3; ++i) {
                orx::ObservationRecord r;
                r.day = static_cast<std::uint8_t>(2 + i);
                r.temperature = orx::temperatureWord(-15 * i);
                block.records.push_back(r);
            }
            builder.observation(block);
        }
        orx::ArchiveImage image;
        image.assign(builder.build());
        const std::string path = orx::fuzz::scratchPath("stored.db");
        ArchiveTable::create(path);
        ArchiveTable table;
        table.open(path);
        orx::DecodeArchive(table, image, orx::DecodeMode::New);
        table.close();
        return orx::fuzz::readBytes(path);
    }();
    return bytes;
}

void decodeInto(ArchiveTable& table, const std::string& path, const orx::ArchiveImage& image,
                orx::DecodeMode mode)
{
    const std::uint32_t before = table.recordCount();
    try {
        const auto total = orx::DecodeArchive(table, image, mode);
        require(total.has_value(), "an open table was not decoded into");
    } catch (const orx::ArchiveError& e) {
        // A stored reference date that does not parse stops an append.
        require(e.kind() == orx::ArchiveError::Kind::Conversion && mode == orx::DecodeMode::Append,
                "an unexpected archive failure");
    }
    require(table.state() == ArchiveTable::State::Browsing, "the decoder left a row unposted");
    const std::uint32_t after = table.recordCount();
    require(after >= before, "the decoder lost rows");
    // Every row comes from a whole record of its own inside the archive.
    require(after - before <= image.length() / orx::image::kRecordSize,
            "more rows than the image holds records");
    table.close();

    ArchiveTable again;
    again.open(path);
    require(again.recordCount() == after, "posted rows are missing after a reopen");
    again.release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One image for the whole run: its buffer is the full capacity.
    static orx::ArchiveImage image;
    if (size > orx::image::kCapacity)
        return 0;
    image.assign(data, size);

    const std::string fresh = orx::fuzz::scratchPath("new.db");
    ArchiveTable::create(fresh);
    ArchiveTable table;
    table.open(fresh);
    decodeInto(table, fresh, image, orx::DecodeMode::New);

    const std::string stored = orx::fuzz::scratchPath("append.db");
    orx::fuzz::writeBytes(stored, storedTable());
    table.open(stored);
    decodeInto(table, stored, image, orx::DecodeMode::Append);
    return 0;
}
