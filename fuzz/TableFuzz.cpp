// A table file as another program or a crash may have left it: open it, read
// every visible row of every tab in file order and in sort orders, then append
// a row into a sorted view and check it is there after a reopen. Once a file
// has opened, no operation here may fail, except a number read of a text that
// is no number.

#include "archive/RecordModel.h"
#include "fuzz/FuzzSupport.h"
#include "storage/ArchiveTable.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using orx::ArchiveTable;
using orx::fuzz::require;

struct Row
{
    std::uint32_t record;
    std::string key; // the sort column's stored bytes, blanks included
};

// Walks the visible rows, reading every column; returns each row's record
// number and its value of keyField.
std::vector<Row> walk(ArchiveTable& table, int keyField)
{
    std::vector<Row> rows;
    for (table.first(); !table.eof(); table.next()) {
        for (int f = 0; f < table.fieldCount(); ++f) {
            const std::string text = table.readText(f);
            require(text.size() <= static_cast<std::size_t>(table.fieldWidth(f)),
                    "a value is wider than its column");
        }
        require(table.currentRecord().has_value(), "a visible row without a record");
        require(*table.currentRecord() < table.recordCount(), "a row past the record count");
        std::string key = table.readText(keyField);
        key.resize(static_cast<std::size_t>(table.fieldWidth(keyField)), ' ');
        rows.push_back({*table.currentRecord(), key});
    }
    require(rows.size() == table.countVisible(), "the visible count differs from the rows walked");
    return rows;
}

std::vector<std::uint32_t> records(const std::vector<Row>& rows)
{
    std::vector<std::uint32_t> out;
    for (const Row& r : rows)
        out.push_back(r.record);
    return out;
}

int compareKeys(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Keys in order byte by byte (unsigned), equal keys in file order.
void requireSorted(const std::vector<Row>& rows, bool descending)
{
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const int c = compareKeys(rows[i - 1].key, rows[i].key);
        require(descending ? c >= 0 : c <= 0, "a sort order out of order");
        require(c != 0 || rows[i - 1].record < rows[i].record, "equal keys out of file order");
    }
}

// Sorted on field, the tab shows the same rows as unsorted, in key order.
void checkSortOrder(ArchiveTable& table, int field, bool descending,
                    const std::vector<std::uint32_t>& unsorted)
{
    table.setSortOrder(table.fieldName(field), descending);
    const std::vector<Row> rows = walk(table, field);
    std::vector<std::uint32_t> got = records(rows);
    std::sort(got.begin(), got.end());
    require(got == unsorted, "a sort order changed the rows of a tab");
    requireSorted(rows, descending);
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

void readTab(ArchiveTable& table, int block, std::size_t salt)
{
    const std::string seq = orx::sequenceColumn(block);
    const int seqField = table.fieldIndex(seq);
    table.clearSortOrder();
    table.setFilter(ArchiveTable::blockFilter(block));
    table.setFiltered(true);
    const std::vector<std::uint32_t> unsorted = records(walk(table, seqField));
    require(std::is_sorted(unsorted.begin(), unsorted.end()), "file order out of order");

    checkSortOrder(table, seqField, false, unsorted);
    checkSortOrder(table, seqField, true, unsorted);
    checkSortOrder(table,
                   static_cast<int>((salt + 37u * static_cast<unsigned>(block)) %
                                    static_cast<unsigned>(table.fieldCount())),
                   block % 2 == 1, unsorted);
    table.clearSortOrder();
    for (table.first(); !table.eof(); table.next()) {
        conversionMayFail([&] { (void)table.readNumber(seq); });
        conversionMayFail([&] { (void)table.readInteger(seq); });
    }
    const auto last = table.lastRecordOfBlock(block);
    require(!last || *last < table.recordCount(), "a last record past the count");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = orx::fuzz::scratchPath("table.db");
    orx::fuzz::writeBytes(path, data, size);

    std::uint32_t count = 0;
    {
        ArchiveTable table;
        try {
            table.open(path);
        } catch (const orx::StorageError&) {
            return 0; // refused as damaged: what the program reports
        }
        table.setFiltered(false);
        (void)walk(table, 0);
        for (int block = 0; block < orx::kBlockCount; ++block)
            readTab(table, block, size);

        // The file takes a new row while a sorted tab is shown.
        const int noField = table.fieldIndex(orx::kColNo);
        table.setFilter(ArchiveTable::blockFilter(orx::kOperationalBlock));
        table.setFiltered(true);
        table.setSortOrder(orx::kColNo, true);
        const std::size_t visible = table.countVisible();
        count = table.recordCount();
        table.append();
        table.writeText(noField, "1");
        table.post();
        require(table.countVisible() == visible + 1, "the new row is not in its tab");
        requireSorted(walk(table, noField), true);
        table.close();
    }
    ArchiveTable again;
    again.open(path);
    require(again.recordCount() == count + 1, "the appended row is missing after a reopen");
    again.release();
    return 0;
}
