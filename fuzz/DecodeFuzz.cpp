// Arbitrary archive images decoded into a new table and appended onto a
// stored one made from their first part. Whatever the image says, the table
// must stay whole: every row posted is on disk after a reopen, and nothing but
// the described failures comes out.

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

// The input is one control byte and the archive image. The image is decoded
// into a new table; then the first part of it (the control byte's share of
// the length) is decoded into another table as an earlier download would
// have left it, and the whole image is appended to that.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size - 1 > orx::image::kCapacity)
        return 0;
    const std::size_t length = size - 1;
    const std::size_t earlier = length * data[0] / 255;
    // One image for the whole run: its buffer is the full capacity.
    static orx::ArchiveImage image;

    image.assign(data + 1, length);
    const std::string fresh = orx::fuzz::scratchPath("new.db");
    ArchiveTable::create(fresh);
    ArchiveTable table;
    table.open(fresh);
    decodeInto(table, fresh, image, orx::DecodeMode::New);

    const std::string stored = orx::fuzz::scratchPath("append.db");
    image.assign(data + 1, earlier);
    ArchiveTable::create(stored);
    table.open(stored);
    decodeInto(table, stored, image, orx::DecodeMode::New);
    image.assign(data + 1, length);
    table.open(stored);
    decodeInto(table, stored, image, orx::DecodeMode::Append);
    return 0;
}
