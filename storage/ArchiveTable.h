#pragma once

// One archive in one dBase III table file: 128 character columns, rows read
// on demand. The table keeps a small index per record in memory (the deletion
// flag and which block sequence columns hold a value) and the visible order as
// a list of record numbers; row bytes stay on disk.

#include "archive/RecordModel.h"
#include "storage/StorageError.h"
#include "storage/TableFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orx {

namespace dbf {
constexpr std::uint8_t kVersionDbase3 = 0x03;
constexpr std::uint8_t kVersionMask = 0x07;
constexpr std::uint8_t kHeaderTerminator = 0x0D;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::uint8_t kLiveFlag = 0x20;
constexpr std::uint8_t kDeletedFlag = 0x2A;
constexpr std::uint8_t kBlank = 0x20;
constexpr std::uint8_t kCharacterType = 'C';
constexpr int kFileHeaderLength = 32;
constexpr int kDescriptorLength = 32;
constexpr int kNameLength = 11;
// Offsets inside the file header.
constexpr int kOffYear = 1;
constexpr int kOffMonth = 2;
constexpr int kOffDay = 3;
constexpr int kOffRecordCount = 4;
constexpr int kOffHeaderLength = 8;
constexpr int kOffRecordLength = 10;
constexpr int kOffIndexFlag = 28;
constexpr int kOffLanguageDriver = 29;
constexpr int kYearBase = 1900;
// Offsets inside a field descriptor.
constexpr int kOffFieldType = 11;
constexpr int kOffFieldWidth = 16;
constexpr int kOffFieldDecimals = 17;
} // namespace dbf

// Header and record lengths of the tables we create.
constexpr int kTableHeaderLength = 4129;
constexpr int kNewTableFileLength = kTableHeaderLength + 1;

class ArchiveTable
{
public:
    enum class State
    {
        Browsing,
        Editing,
        Inserting
    };

    ArchiveTable() = default;
    ~ArchiveTable();
    ArchiveTable(const ArchiveTable&) = delete;
    ArchiveTable& operator=(const ArchiveTable&) = delete;

    // Writes a new, empty table (replacing any file of that name); it stays closed.
    static void create(const std::string& directory, const std::string& fileName);
    static void create(const std::string& path);

    void open(const std::string& directory, const std::string& fileName);
    void open(const std::string& path);
    // Writes the header, flushes the file to disk and releases it. A row being
    // edited or inserted and not posted is discarded.
    void close();
    // Releases a table that nothing was written to since it was opened, and
    // leaves the file exactly as it was; otherwise the same as close().
    void release();
    bool isOpen() const { return m_file.isOpen(); }
    const std::string& path() const { return m_path; }

    // Moving through the visible rows.
    void first();
    void next();
    void last();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return m_order.empty(); }
    // Record number (0-based, in the file) of the current row, if there is one.
    std::optional<std::uint32_t> currentRecord() const;
    // The current row's place among the visible rows (0 when there are none).
    std::size_t position() const { return m_pos; }
    // Makes the visible row at pos current (the last one for a pos past the end).
    void moveToPosition(std::size_t pos);
    // Record number of the visible row at pos, without moving; pos < countVisible().
    std::uint32_t recordAtPosition(std::size_t pos) const;

    // Column access, by name or by field index in the file.
    int fieldIndex(std::string_view column) const; // throws UnknownColumn
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    const std::string& fieldName(int field) const { return m_fields[field].name; }
    int fieldWidth(int field) const { return m_fields[field].width; }

    std::string readText(std::string_view column) const;
    std::string readText(int field) const;
    double readNumber(std::string_view column) const;
    long long readInteger(std::string_view column) const;
    void writeText(std::string_view column, std::string_view text);
    void writeText(int field, std::string_view text);
    void writeNumber(std::string_view column, double value);
    void writeInteger(std::string_view column, long long value);

    // Reads a column of any record, whatever the filter.
    std::string readTextAt(std::uint32_t record, std::string_view column) const;
    std::string readTextAt(std::uint32_t record, int field) const;
    // The last record in file order, not deleted, whose sequence column of the
    // block (NO, NNk) holds a value, whatever filter is in force.
    std::optional<std::uint32_t> lastRecordOfBlock(int block) const;
    // Every record of the block in file order, not deleted, whatever filter is in force.
    std::vector<std::uint32_t> recordsOfBlock(int block) const;

    void append();
    void edit();
    void post();
    void cancel();
    // Marks the current row deleted; the following visible row becomes current.
    void remove();
    State state() const { return m_state; }

    std::size_t countVisible() const;
    std::uint32_t recordCount() const { return m_count; }

    // The only filter form in use: a column name, " <>", and the quoted empty string.
    void setFilter(const std::string& filter);
    void setFiltered(bool filtered);
    const std::string& filter() const { return m_filter; }
    bool filtered() const { return m_filtered; }

    // Sort order "tab1" on one column; kept in memory, it lasts across a
    // close and reopen of this object until cleared.
    void setSortOrder(std::string_view column, bool descending);
    void clearSortOrder();
    std::string indexName() const;
    bool sortDescending() const { return m_sortDescending; }
    const std::string& sortColumn() const { return m_sortColumn; }

    void refresh();

    // Builds the filter text of a block: "NO <>''" or "NNk <>''".
    static std::string blockFilter(int block);

private:
    struct Field
    {
        std::string name;
        std::uint8_t type = 0;
        int width = 0;
        int offset = 0;
    };

    // Per record: bit b set when the sequence column of block b holds a value;
    // kDeletedBit for a deleted record.
    static constexpr std::uint32_t kDeletedBit = 0x80000000u;

    void requireOpen() const;
    void requireWritable() const;
    std::uint64_t recordOffset(std::uint32_t record) const;
    const unsigned char* recordBytes(std::uint32_t record) const;
    void readRecordDirect(std::uint32_t record, unsigned char* out) const;
    void storeInCache(std::uint32_t record, const unsigned char* bytes);
    std::string readFieldBytes(std::uint32_t record, const Field& f) const;
    std::uint32_t flagsOf(const unsigned char* record) const;
    bool passesFilter(std::uint32_t record) const;
    void parseFilter();
    void rebuildOrder();
    void sortOrder(std::vector<std::uint32_t>& order) const;
    bool keyLess(std::uint32_t a, std::uint32_t b) const;
    std::size_t sortedInsertPosition(std::uint32_t record) const;
    void placeRecord(std::uint32_t record);
    void moveTo(std::size_t pos);
    void loadCurrent();
    void writeHeader(bool withEndMark);
    void scanRecords();
    void forgetFile();
    void readLayout();

    std::string m_path;
    TableFile m_file;
    std::uint64_t m_fileSize = 0;
    unsigned char m_header[dbf::kFileHeaderLength] = {};
    int m_headerLength = 0;
    int m_recordLength = 0;
    std::uint32_t m_count = 0;
    bool m_written = false; // anything written since open

    std::vector<Field> m_fields;
    std::unordered_map<std::string, int> m_fieldByName;
    int m_sequenceField[kBlockCount] = {};

    std::vector<std::uint32_t> m_flags;
    std::vector<std::uint32_t> m_order;
    std::size_t m_pos = 0;
    bool m_eof = true;
    bool m_bof = true;

    State m_state = State::Browsing;
    std::vector<unsigned char> m_row;
    std::uint32_t m_rowRecord = 0;

    std::string m_filter;
    bool m_filtered = false;
    int m_filterField = -1; // -1: no filter applied
    int m_filterBlock = -1; // block whose sequence column the filter tests, or -1

    bool m_sorted = false;
    std::string m_sortColumn;
    int m_sortField = -1;
    bool m_sortDescending = false;

    // A window of consecutive records read ahead for browsing and scans.
    mutable std::vector<unsigned char> m_cache;
    mutable std::uint32_t m_cacheFirst = 0;
    mutable std::uint32_t m_cacheCount = 0;
};

} // namespace orx
