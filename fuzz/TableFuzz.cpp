// A table file as another program or a crash may have left it: open it, read
// every visible row of every tab in file order and in sort orders, then append
// a row and check it is there after a reopen.

#include "archive/RecordModel.h"
#include "fuzz/FuzzSupport.h"
#include "storage/ArchiveTable.h"

#include <cstdint>
#include <string>

namespace {

using orx::ArchiveTable;
using orx::fuzz::require;

// Reads every column of every visible row; returns how many rows there were.
std::size_t readAllRows(ArchiveTable& table)
{
    std::size_t rows = 0;
    for (table.first(); !table.eof(); table.next()) {
        for (int f = 0; f < table.fieldCount(); ++f) {
            const std::string text = table.readText(f);
            require(text.size() <= static_cast<std::size_t>(table.fieldWidth(f)),
                    "a value is wider than its column");
        }
        require(table.currentRecord().has_value(), "a visible row without a record");
        require(*table.currentRecord() < table.recordCount(), "a row past the record count");
        ++rows;
    }
    return rows;
}

// A stored text that is not a number fails as a conversion, nothing else.
template <typename Read> void conversionMayFail(Read read)
{
    try {
        read();
    } catch (const orx::StorageError& e) {
        require(e.kind() == orx::StorageError::Kind::Conversion,
                "a number read failed other than as a conversion");
    }
}

void readTab(ArchiveTable& table, int block, std::uint8_t choice)
{
    const std::string seq = orx::sequenceColumn(block);
    table.setFilter(ArchiveTable::blockFilter(block));
    table.setFiltered(true);
    const std::size_t visible = table.countVisible();
    require(readAllRows(table) == visible, "the visible count differs from the rows walked");

    table.setSortOrder(seq, (choice & 1) != 0);
    require(readAllRows(table) == visible, "a sort order changed the rows of a tab");
    if (table.fieldCount() > 0) {
        const int f = choice % table.fieldCount();
        table.setSortOrder(table.fieldName(f), (choice & 2) != 0);
        require(readAllRows(table) == visible, "a sort order changed the rows of a tab");
    }
    table.clearSortOrder();
    for (table.first(); !table.eof(); table.next()) {
        conversionMayFail([&] { (void)table.readNumber(seq); });
        conversionMayFail([&] { (void)table.readInteger(seq); });
    }
    (void)table.lastRecordOfBlock(block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = orx::fuzz::scratchPath("table.db");
    orx::fuzz::writeBytes(path, data, size);
    const std::uint8_t choice = size > 0 ? data[size - 1] : 0;

    std::uint32_t count = 0;
    {
        ArchiveTable table;
        try {
            table.open(path);
        } catch (const orx::StorageError&) {
            return 0; // refused as damaged: what the program reports
        }
        table.setFiltered(false);
        require(readAllRows(table) == table.countVisible(), "the whole table walks short");
        for (int block = 0; block < orx::kBlockCount; ++block) {
            try {
                readTab(table, block, choice);
            } catch (const orx::StorageError& e) {
                // A foreign layout without the tab's columns.
                require(e.kind() == orx::StorageError::Kind::UnknownColumn ||
                            e.kind() == orx::StorageError::Kind::Io,
                        "an unexpected storage failure while reading");
            }
        }

        // The file still takes a new row.
        table.clearSortOrder();
        table.setFiltered(false);
        count = table.recordCount();
        try {
            table.append();
            if (table.fieldCount() > 0)
                table.writeText(0, "1");
            table.post();
            table.close();
        } catch (const orx::StorageError&) {
            return 0;
        }
    }
    ArchiveTable again;
    again.open(path);
    require(again.recordCount() == count + 1, "the appended row is missing after a reopen");
    again.release();
    return 0;
}
