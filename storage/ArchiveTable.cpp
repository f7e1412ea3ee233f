#include "storage/ArchiveTable.h"

#include "archive/TextFormats.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>

namespace orx {
namespace {

constexpr std::uint32_t kCacheRecords = 256;
constexpr std::size_t kScanChunkBytes = 1u << 20;
constexpr const char* kFilterOperator = " <>''";
// The name a new table is written under until it is whole.
constexpr const char* kNewTableSuffix = ".new~";

std::uint16_t getLE16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t getLE32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void putLE16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void putLE32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string joinPath(const std::string& directory, const std::string& fileName)
{
    if (directory.empty())
        return fileName;
    char last = directory.back();
    if (last == '/' || last == '\\')
        return directory + fileName;
    return directory + "/" + fileName;
}

bool allBlank(const unsigned char* p, int width)
{
    for (int i = 0; i < width; ++i)
        if (p[i] != dbf::kBlank)
            return false;
    return true;
}

std::string trimmedText(const unsigned char* p, int width)
{
    int n = width;
    while (n > 0 && p[n - 1] == dbf::kBlank)
        --n;
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

// The 4129 header bytes of a new table: file header, the 128 descriptors, terminator.
std::vector<unsigned char> newTableHeader()
{
    std::vector<unsigned char> bytes(kTableHeaderLength, 0);
    bytes[0] = dbf::kVersionDbase3;
    putLE16(&bytes[dbf::kOffHeaderLength], kTableHeaderLength);
    putLE16(&bytes[dbf::kOffRecordLength], kRecordLength);
    std::size_t off = dbf::kFileHeaderLength;
    for (const ColumnDef& col : archiveColumns()) {
        std::memcpy(&bytes[off], col.name.data(), col.name.size());
        bytes[off + dbf::kOffFieldType] = dbf::kCharacterType;
        bytes[off + dbf::kOffFieldWidth] = static_cast<unsigned char>(col.width);
        off += dbf::kDescriptorLength;
    }
    bytes[off] = dbf::kHeaderTerminator;
    return bytes;
}

void stampDate(unsigned char* header)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    header[dbf::kOffYear] = static_cast<unsigned char>(local.tm_year); // years since 1900
    header[dbf::kOffMonth] = static_cast<unsigned char>(local.tm_mon + 1);
    header[dbf::kOffDay] = static_cast<unsigned char>(local.tm_mday);
}

[[noreturn]] void fail(StorageError::Kind kind, const std::string& text)
{
    throw StorageError(kind, text);
}

// A failure of one file: its path, then the reason in plain words.
[[noreturn]] void failOn(StorageError::Kind kind, const std::string& path,
                         const std::string& reason)
{
    throw StorageError(kind, path + ": " + reason);
}

} // namespace

ArchiveTable::~ArchiveTable()
{
    if (isOpen()) {
        try {
            close();
        } catch (const StorageError&) {
            // Every posted row is on disk already; only the header date is lost.
        }
    }
}

std::string ArchiveTable::blockFilter(int block)
{
    return sequenceColumn(block) + kFilterOperator;
}

// ---------------------------------------------------------------- create

void ArchiveTable::create(const std::string& directory, const std::string& fileName)
{
    create(joinPath(directory, fileName));
}

void ArchiveTable::create(const std::string& path)
{
    // Through a link, the file it points at is replaced.
    std::error_code ec;
    std::string target = path;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
        if (!ec)
            target = resolved.string();
    }
    // A table another process holds is not replaced.
    TableFile existing;
    switch (existing.open(target, false)) {
    case TableFile::OpenResult::Ok:
    case TableFile::OpenResult::NotFound:
        break;
    case TableFile::OpenResult::Locked:
        failOn(StorageError::Kind::Locked, path, "held open by another program");
    case TableFile::OpenResult::Failed:
        failOn(StorageError::Kind::WriteFailed, path,
               "cannot be created: " + existing.lastErrorText());
    }
    // Only a plain file is replaced (never a device or a pipe).
    if (existing.isOpen() && !existing.isRegularFile())
        failOn(StorageError::Kind::WriteFailed, path, "cannot be created: not a regular file");
    // The new table is written beside the old file and then takes its name in
    // one step: a crash at any moment leaves the old file or the whole new table.
    const std::string temp = target + kNewTableSuffix;
    TableFile file;
    switch (file.open(temp, true)) {
    case TableFile::OpenResult::Ok:
        break;
    case TableFile::OpenResult::Locked:
        failOn(StorageError::Kind::Locked, path, "being created by another program");
    default:
        failOn(StorageError::Kind::WriteFailed, path,
               "cannot be created: " + file.lastErrorText());
    }
    std::vector<unsigned char> bytes = newTableHeader();
    stampDate(bytes.data());
    bytes.push_back(dbf::kEndOfFile);
    // The new table keeps the old file's permissions and owner.
    if (existing.isOpen())
        file.takeAccessFrom(existing);
    bool ok = file.truncate(0) && file.writeAt(0, bytes.data(), bytes.size()) && file.sync();
#ifdef _WIN32
    file.close();
    existing.close();
#endif
    // On other systems both locks are held until the new table has its name.
    ok = ok && TableFile::replaceFile(temp, target);
    file.close();
    if (!ok) {
        TableFile::removeFile(temp);
        fail(StorageError::Kind::WriteFailed, kWriteErrorText);
    }
}

// ---------------------------------------------------------------- open and close

void ArchiveTable::open(const std::string& directory, const std::string& fileName)
{
    open(joinPath(directory, fileName));
}

// After an open that failed: no file, no rows.
void ArchiveTable::forgetFile()
{
    m_file.close();
    m_fields.clear();
    m_flags.clear();
    m_order.clear();
    m_cacheCount = 0;
}

void ArchiveTable::open(const std::string& path)
{
    if (isOpen())
        close();
    switch (m_file.open(path, false)) {
    case TableFile::OpenResult::Ok:
        break;
    case TableFile::OpenResult::NotFound:
        failOn(StorageError::Kind::NotFound, path, "no such file");
    case TableFile::OpenResult::Locked:
        failOn(StorageError::Kind::Locked, path, "held open by another program");
    case TableFile::OpenResult::Failed: {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            failOn(StorageError::Kind::NotATable, path, "a folder, not a table file");
        failOn(StorageError::Kind::Io, path, "cannot be opened: " + m_file.lastErrorText());
    }
    }
    m_path = path;
    m_written = false;
    try {
        readLayout();
        scanRecords();
        m_state = State::Browsing;
        m_cacheCount = 0;
        m_row.assign(static_cast<std::size_t>(m_recordLength), dbf::kBlank);
        // A sort order set before a close carries over while its column exists.
        if (m_sorted) {
            auto it = m_fieldByName.find(m_sortColumn);
            if (it == m_fieldByName.end())
                clearSortOrder();
            else
                m_sortField = it->second;
        }
        m_order.clear();
        rebuildOrder();
    } catch (const std::bad_alloc&) {
        forgetFile();
        // A header that promises more records than memory holds.
        failOn(StorageError::Kind::NotATable, path, "too many records to open");
    } catch (...) {
        forgetFile();
        throw;
    }
    first();
}

void ArchiveTable::readLayout()
{
    if (!m_file.size(m_fileSize))
        failOn(StorageError::Kind::Io, m_path, "its size cannot be read");
    if (m_fileSize < dbf::kFileHeaderLength)
        failOn(StorageError::Kind::NotATable, m_path, "not a dBase table (too short)");
    if (m_file.readAt(0, m_header, sizeof m_header) != dbf::kFileHeaderLength)
        failOn(StorageError::Kind::Io, m_path, "its header cannot be read");
    if ((m_header[0] & dbf::kVersionMask) != dbf::kVersionDbase3)
        failOn(StorageError::Kind::NotATable, m_path, "not a dBase III table");
    m_headerLength = getLE16(&m_header[dbf::kOffHeaderLength]);
    m_recordLength = getLE16(&m_header[dbf::kOffRecordLength]);
    if (m_headerLength < dbf::kFileHeaderLength + 1 || m_recordLength < 1 ||
        m_fileSize < static_cast<std::uint64_t>(m_headerLength))
        failOn(StorageError::Kind::NotATable, m_path,
               "not a dBase table (its header does not fit the file)");

    std::vector<unsigned char> desc(
        static_cast<std::size_t>(m_headerLength - dbf::kFileHeaderLength));
    if (m_file.readAt(dbf::kFileHeaderLength, desc.data(), desc.size()) !=
        static_cast<long long>(desc.size()))
        failOn(StorageError::Kind::Io, m_path, "its columns cannot be read");

    m_fields.clear();
    m_fieldByName.clear();
    int offset = kRecordFlagLength;
    for (std::size_t p = 0; p + dbf::kDescriptorLength <= desc.size();
         p += dbf::kDescriptorLength) {
        const unsigned char* d = &desc[p];
        if (d[0] == dbf::kHeaderTerminator)
            break;
        Field f;
        std::size_t len = 0;
        while (len < static_cast<std::size_t>(dbf::kNameLength) && d[len] != 0)
            ++len;
        f.name = upper(std::string_view(reinterpret_cast<const char*>(d), len));
        f.type = d[dbf::kOffFieldType];
        f.width = d[dbf::kOffFieldWidth];
        f.offset = offset;
        offset += f.width;
        m_fieldByName.emplace(f.name, static_cast<int>(m_fields.size()));
        m_fields.push_back(std::move(f));
    }
    if (offset > m_recordLength)
        failOn(StorageError::Kind::NotATable, m_path,
               "not a dBase table (its columns are longer than its record)");

    for (const ColumnDef& col : archiveColumns()) {
        auto it = m_fieldByName.find(col.name);
        if (it == m_fieldByName.end())
            failOn(StorageError::Kind::NotATable, m_path, "lacks the column " + col.name);
        if (m_fields[it->second].type != dbf::kCharacterType)
            failOn(StorageError::Kind::NotATable, m_path,
                   "its column " + col.name + " is not a character column");
        // dBase has no empty character column; with widths of zero the record
        // could shrink to its flag byte and the end-of-file byte would count as one.
        if (m_fields[it->second].width < 1)
            failOn(StorageError::Kind::NotATable, m_path, "its column " + col.name + " has no width");
    }
    for (int b = 0; b < kBlockCount; ++b)
        m_sequenceField[b] = m_fieldByName.at(sequenceColumn(b));

    // The records the file holds decide the count; a torn last record and the
    // end-of-file byte do not count.
    const std::uint64_t whole = (m_fileSize - static_cast<std::uint64_t>(m_headerLength)) /
                                static_cast<std::uint64_t>(m_recordLength);
    if (whole > 0xFFFFFFFEu)
        failOn(StorageError::Kind::NotATable, m_path, "too many records");
    m_count = static_cast<std::uint32_t>(whole);

    // We never write a companion index file: a set index flag is cleared in
    // memory and reaches the disk with the next header write.
    m_header[dbf::kOffIndexFlag] = 0;

    if (getLE32(&m_header[dbf::kOffRecordCount]) != m_count) {
        putLE32(&m_header[dbf::kOffRecordCount], m_count);
        writeHeader(true);
    }
}

void ArchiveTable::scanRecords()
{
    m_flags.assign(m_count, 0);
    const std::size_t recLen = static_cast<std::size_t>(m_recordLength);
    // No bigger than the table needs: opening a small table stays cheap.
    const std::size_t perChunk =
        std::min<std::size_t>(std::max<std::size_t>(1, kScanChunkBytes / recLen), m_count);
    std::vector<unsigned char> chunk(perChunk * recLen);
    for (std::uint32_t r = 0; r < m_count;) {
        const std::uint32_t n =
            static_cast<std::uint32_t>(std::min<std::size_t>(perChunk, m_count - r));
        const std::size_t bytes = n * recLen;
        if (m_file.readAt(recordOffset(r), chunk.data(), bytes) != static_cast<long long>(bytes))
            failOn(StorageError::Kind::Io, m_path, "its records cannot be read");
        for (std::uint32_t i = 0; i < n; ++i)
            m_flags[r + i] = flagsOf(&chunk[i * recLen]);
        r += n;
    }
}

void ArchiveTable::close()
{
    if (!isOpen())
        return;
    m_state = State::Browsing;
    std::string why;
    try {
        writeHeader(true);
    } catch (const StorageError& e) {
        why = e.what();
    }
    if (why.empty() && !m_file.sync())
        why = "cannot flush " + m_path + ": " + m_file.lastErrorText();
    m_file.close();
    m_flags.clear();
    m_flags.shrink_to_fit();
    m_order.clear();
    m_order.shrink_to_fit();
    m_cache.clear();
    m_cache.shrink_to_fit();
    m_cacheCount = 0;
    m_eof = m_bof = true;
    if (!why.empty())
        fail(StorageError::Kind::WriteFailed, why);
}

void ArchiveTable::release()
{
    if (!isOpen())
        return;
    if (m_written) {
        close();
        return;
    }
    m_state = State::Browsing;
    m_file.close();
    m_flags.clear();
    m_order.clear();
    m_cache.clear();
    m_cacheCount = 0;
    m_eof = m_bof = true;
}

void ArchiveTable::writeHeader(bool withEndMark)
{
    m_written = true;
    stampDate(m_header);
    if (!m_file.writeAt(0, m_header, sizeof m_header))
        fail(StorageError::Kind::WriteFailed, kWriteErrorText);
    if (!withEndMark)
        return;
    const std::uint64_t whole = m_fileSize >= static_cast<std::uint64_t>(m_headerLength)
                                    ? (m_fileSize - static_cast<std::uint64_t>(m_headerLength)) /
                                          static_cast<std::uint64_t>(m_recordLength)
                                    : 0;
    const std::uint64_t at = static_cast<std::uint64_t>(m_headerLength) +
                             whole * static_cast<std::uint64_t>(m_recordLength);
    const unsigned char eof = dbf::kEndOfFile;
    if (!m_file.writeAt(at, &eof, 1))
        fail(StorageError::Kind::WriteFailed, kWriteErrorText);
    m_fileSize = std::max(m_fileSize, at + 1);
}

// ---------------------------------------------------------------- records

void ArchiveTable::requireOpen() const
{
    if (!isOpen())
        fail(StorageError::Kind::NotOpen, "the table is not open");
}

void ArchiveTable::requireWritable() const
{
    requireOpen();
    if (m_state == State::Browsing)
        fail(StorageError::Kind::BadState, "the table is not in edit or insert mode");
}

std::uint64_t ArchiveTable::recordOffset(std::uint32_t record) const
{
    return static_cast<std::uint64_t>(m_headerLength) +
           static_cast<std::uint64_t>(record) * static_cast<std::uint64_t>(m_recordLength);
}

const unsigned char* ArchiveTable::recordBytes(std::uint32_t record) const
{
    const std::size_t recLen = static_cast<std::size_t>(m_recordLength);
    if (m_cacheCount == 0 || record < m_cacheFirst || record >= m_cacheFirst + m_cacheCount) {
        const std::uint32_t first = record - record % kCacheRecords;
        const std::uint32_t n = std::min<std::uint32_t>(kCacheRecords, m_count - first);
        m_cache.resize(n * recLen);
        m_cacheCount = 0;
        if (m_file.readAt(recordOffset(first), m_cache.data(), m_cache.size()) !=
            static_cast<long long>(m_cache.size()))
            fail(StorageError::Kind::Io, "cannot read a record of " + m_path);
        m_cacheFirst = first;
        m_cacheCount = n;
    }
    return &m_cache[(record - m_cacheFirst) * recLen];
}

void ArchiveTable::readRecordDirect(std::uint32_t record, unsigned char* out) const
{
    if (m_cacheCount && record >= m_cacheFirst && record < m_cacheFirst + m_cacheCount) {
        std::memcpy(out, recordBytes(record), static_cast<std::size_t>(m_recordLength));
        return;
    }
    if (m_file.readAt(recordOffset(record), out, static_cast<std::size_t>(m_recordLength)) !=
        m_recordLength)
        fail(StorageError::Kind::Io, "cannot read a record of " + m_path);
}

// Keeps the read-ahead window in step with a record just written. A record
// appended right after the window joins it, so a long run of appends never
// reads back what it wrote.
void ArchiveTable::storeInCache(std::uint32_t record, const unsigned char* bytes)
{
    const std::size_t recLen = static_cast<std::size_t>(m_recordLength);
    if (m_cacheCount && record >= m_cacheFirst && record < m_cacheFirst + m_cacheCount) {
        std::memcpy(&m_cache[(record - m_cacheFirst) * recLen], bytes, recLen);
        return;
    }
    if (!(m_cacheCount && record == m_cacheFirst + m_cacheCount && m_cacheCount < kCacheRecords)) {
        m_cacheFirst = record;
        m_cacheCount = 0;
        m_cache.clear();
    }
    m_cache.insert(m_cache.end(), bytes, bytes + recLen);
    ++m_cacheCount;
}

std::string ArchiveTable::readFieldBytes(std::uint32_t record, const Field& f) const
{
    std::string bytes(static_cast<std::size_t>(f.width), ' ');
    if (m_cacheCount && record >= m_cacheFirst && record < m_cacheFirst + m_cacheCount) {
        std::memcpy(bytes.data(), recordBytes(record) + f.offset, bytes.size());
    } else if (m_file.readAt(recordOffset(record) + static_cast<std::uint64_t>(f.offset),
                             bytes.data(), bytes.size()) != static_cast<long long>(bytes.size())) {
        fail(StorageError::Kind::Io, "cannot read a record of " + m_path);
    }
    return bytes;
}

std::uint32_t ArchiveTable::flagsOf(const unsigned char* record) const
{
    if (record[0] == dbf::kDeletedFlag)
        return kDeletedBit;
    std::uint32_t flags = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        const Field& f = m_fields[m_sequenceField[b]];
        if (!allBlank(record + f.offset, f.width))
            flags |= 1u << b;
    }
    return flags;
}

std::optional<std::uint32_t> ArchiveTable::currentRecord() const
{
    if (!isOpen() || m_order.empty())
        return std::nullopt;
    return m_order[m_pos];
}

std::optional<std::uint32_t> ArchiveTable::lastRecordOfBlock(int block) const
{
    requireOpen();
    if (block < 0 || block >= kBlockCount)
        return std::nullopt;
    const std::uint32_t bit = 1u << block;
    for (std::uint32_t r = m_count; r-- > 0;)
        if ((m_flags[r] & (bit | kDeletedBit)) == bit)
            return r;
    return std::nullopt;
}

std::vector<std::uint32_t> ArchiveTable::recordsOfBlock(int block) const
{
    requireOpen();
    std::vector<std::uint32_t> records;
    if (block < 0 || block >= kBlockCount)
        return records;
    const std::uint32_t bit = 1u << block;
    for (std::uint32_t r = 0; r < m_count; ++r)
        if ((m_flags[r] & (bit | kDeletedBit)) == bit)
            records.push_back(r);
    return records;
}

// ---------------------------------------------------------------- columns

int ArchiveTable::fieldIndex(std::string_view column) const
{
    auto it = m_fieldByName.find(upper(column));
    if (it == m_fieldByName.end())
        fail(StorageError::Kind::UnknownColumn, "no column " + std::string(column));
    return it->second;
}

std::string ArchiveTable::readText(std::string_view column) const
{
    return readText(fieldIndex(column));
}

std::string ArchiveTable::readText(int field) const
{
    requireOpen();
    const Field& f = m_fields.at(static_cast<std::size_t>(field));
    return trimmedText(m_row.data() + f.offset, f.width);
}

std::string ArchiveTable::readTextAt(std::uint32_t record, std::string_view column) const
{
    requireOpen();
    return readTextAt(record, fieldIndex(column));
}

std::string ArchiveTable::readTextAt(std::uint32_t record, int field) const
{
    requireOpen();
    const Field& f = m_fields.at(static_cast<std::size_t>(field));
    if (record >= m_count)
        fail(StorageError::Kind::BadState, "no record " + std::to_string(record));
    return trimmedText(recordBytes(record) + f.offset, f.width);
}

double ArchiveTable::readNumber(std::string_view column) const
{
    std::string text = readText(column);
    if (text.empty())
        return 0.0;
    auto value = parseArchiveNumber(text);
    if (!value)
        fail(StorageError::Kind::Conversion, "'" + text + "' is not a valid floating point value");
    return *value;
}

long long ArchiveTable::readInteger(std::string_view column) const
{
    std::string text = readText(column);
    if (text.empty())
        return 0;
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    long long value = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size())
        fail(StorageError::Kind::Conversion, "'" + text + "' is not a valid integer value");
    return value;
}

void ArchiveTable::writeText(std::string_view column, std::string_view text)
{
    writeText(fieldIndex(column), text);
}

void ArchiveTable::writeText(int field, std::string_view text)
{
    requireWritable();
    const Field& f = m_fields.at(static_cast<std::size_t>(field));
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(f.width));
    unsigned char* dst = m_row.data() + f.offset;
    std::memcpy(dst, text.data(), n);
    std::memset(dst + n, dbf::kBlank, static_cast<std::size_t>(f.width) - n);
}

void ArchiveTable::writeNumber(std::string_view column, double value)
{
    writeText(column, formatGeneral(value));
}

void ArchiveTable::writeInteger(std::string_view column, long long value)
{
    writeText(column, std::to_string(value));
}

// ---------------------------------------------------------------- navigation

void ArchiveTable::loadCurrent()
{
    if (m_order.empty())
        std::fill(m_row.begin(), m_row.end(), dbf::kBlank);
    else
        std::memcpy(m_row.data(), recordBytes(m_order[m_pos]), m_row.size());
}

void ArchiveTable::moveTo(std::size_t pos)
{
    requireOpen();
    m_state = State::Browsing;
    m_pos = m_order.empty() ? 0 : std::min(pos, m_order.size() - 1);
    loadCurrent();
}

void ArchiveTable::first()
{
    moveTo(0);
    m_bof = true;
    m_eof = m_order.empty();
}

void ArchiveTable::last()
{
    moveTo(m_order.empty() ? 0 : m_order.size() - 1);
    m_eof = true;
    m_bof = m_order.empty();
}

void ArchiveTable::moveToPosition(std::size_t pos)
{
    moveTo(pos);
    m_bof = m_pos == 0;
    m_eof = m_order.empty();
}

std::uint32_t ArchiveTable::recordAtPosition(std::size_t pos) const
{
    requireOpen();
    if (pos >= m_order.size())
        fail(StorageError::Kind::BadState, "no visible row " + std::to_string(pos));
    return m_order[pos];
}

void ArchiveTable::next()
{
    requireOpen();
    if (m_order.empty() || m_pos + 1 >= m_order.size()) {
        m_state = State::Browsing;
        m_eof = true;
        return;
    }
    moveTo(m_pos + 1);
    m_eof = false;
    m_bof = false;
}

// ---------------------------------------------------------------- editing

void ArchiveTable::append()
{
    requireOpen();
    std::fill(m_row.begin(), m_row.end(), dbf::kBlank);
    m_row[0] = dbf::kLiveFlag;
    m_state = State::Inserting;
}

void ArchiveTable::edit()
{
    requireOpen();
    if (m_order.empty())
        fail(StorageError::Kind::BadState, "no current row to edit");
    loadCurrent();
    m_rowRecord = m_order[m_pos];
    m_state = State::Editing;
}

void ArchiveTable::cancel()
{
    if (m_state == State::Browsing)
        return;
    m_state = State::Browsing;
    if (isOpen())
        loadCurrent();
}

void ArchiveTable::post()
{
    requireWritable();
    if (m_state == State::Inserting) {
        const std::uint32_t record = m_count;
        putLE32(&m_header[dbf::kOffRecordCount], m_count + 1);
        // The header goes first; its end-of-file byte would land where the new
        // record is written next, so only the header bytes are written here.
        bool ok = true;
        try {
            writeHeader(false);
        } catch (const StorageError&) {
            ok = false;
        }
        const std::uint64_t at = recordOffset(record);
        if (ok)
            ok = m_file.writeAt(at, m_row.data(), m_row.size());
        if (!ok) {
            // Take the count back and cut any torn bytes of the new record.
            putLE32(&m_header[dbf::kOffRecordCount], m_count);
            m_file.truncate(at);
            m_fileSize = at;
            try {
                writeHeader(true);
            } catch (const StorageError&) {
            }
            m_state = State::Browsing;
            loadCurrent();
            fail(StorageError::Kind::WriteFailed, kWriteErrorText);
        }
        m_count = record + 1;
        m_fileSize = std::max(m_fileSize, at + m_row.size());
        m_flags.push_back(flagsOf(m_row.data()));
        storeInCache(record, m_row.data());
        m_state = State::Browsing;
        placeRecord(record);
        return;
    }
    // Editing: the row goes back to its own place; count and header stay.
    const std::uint32_t record = m_rowRecord;
    m_written = true;
    if (!m_file.writeAt(recordOffset(record), m_row.data(), m_row.size())) {
        m_state = State::Browsing;
        loadCurrent();
        fail(StorageError::Kind::WriteFailed, kWriteErrorText);
    }
    m_flags[record] = flagsOf(m_row.data());
    storeInCache(record, m_row.data());
    m_state = State::Browsing;
    auto it = std::find(m_order.begin(), m_order.end(), record);
    if (it != m_order.end())
        m_order.erase(it);
    placeRecord(record);
}

// Puts a new or changed record into the visible order (by key when sorted,
// otherwise at its place in file order) and makes it current when visible.
void ArchiveTable::placeRecord(std::uint32_t record)
{
    if (!passesFilter(record)) {
        moveTo(m_pos);
        m_eof = m_order.empty();
        return;
    }
    std::size_t pos;
    if (m_sorted)
        pos = sortedInsertPosition(record);
    else
        pos = static_cast<std::size_t>(std::lower_bound(m_order.begin(), m_order.end(), record) -
                                       m_order.begin());
    m_order.insert(m_order.begin() + static_cast<std::ptrdiff_t>(pos), record);
    moveTo(pos);
    m_eof = false;
    m_bof = false;
}

void ArchiveTable::remove()
{
    requireOpen();
    if (m_state == State::Inserting) {
        cancel();
        return;
    }
    m_state = State::Browsing;
    if (m_order.empty())
        fail(StorageError::Kind::BadState, "no current row to delete");
    const std::uint32_t record = m_order[m_pos];
    std::vector<unsigned char> bytes(static_cast<std::size_t>(m_recordLength));
    readRecordDirect(record, bytes.data());
    bytes[0] = dbf::kDeletedFlag;
    if (!m_file.writeAt(recordOffset(record), bytes.data(), bytes.size()))
        fail(StorageError::Kind::WriteFailed, kWriteErrorText);
    m_written = true;
    m_flags[record] = kDeletedBit;
    storeInCache(record, bytes.data());
    m_order.erase(m_order.begin() + static_cast<std::ptrdiff_t>(m_pos));
    moveTo(m_pos); // the following row, or the preceding one at the end
    m_eof = m_order.empty();
}

// ---------------------------------------------------------------- filter and order

std::size_t ArchiveTable::countVisible() const
{
    requireOpen();
    return m_order.size();
}

void ArchiveTable::setFilter(const std::string& filter)
{
    m_filter = filter;
    if (isOpen() && m_filtered) {
        rebuildOrder();
        first();
    }
}

void ArchiveTable::setFiltered(bool filtered)
{
    m_filtered = filtered;
    if (isOpen()) {
        rebuildOrder();
        first();
    }
}

void ArchiveTable::parseFilter()
{
    m_filterField = -1;
    m_filterBlock = -1;
    if (!m_filtered || m_filter.empty())
        return;
    const std::string op = kFilterOperator;
    if (m_filter.size() <= op.size() ||
        m_filter.compare(m_filter.size() - op.size(), op.size(), op) != 0)
        fail(StorageError::Kind::BadFilter, "unsupported filter: " + m_filter);
    std::string name = m_filter.substr(0, m_filter.size() - op.size());
    auto it = m_fieldByName.find(upper(name));
    if (it == m_fieldByName.end())
        fail(StorageError::Kind::BadFilter, "filter names no column: " + m_filter);
    m_filterField = it->second;
    for (int b = 0; b < kBlockCount; ++b)
        if (m_sequenceField[b] == m_filterField)
            m_filterBlock = b;
}

bool ArchiveTable::passesFilter(std::uint32_t record) const
{
    const std::uint32_t flags = m_flags[record];
    if (flags & kDeletedBit)
        return false;
    if (m_filterField < 0)
        return true;
    if (m_filterBlock >= 0)
        return (flags & (1u << m_filterBlock)) != 0;
    const Field& f = m_fields[m_filterField];
    return !allBlank(recordBytes(record) + f.offset, f.width);
}

void ArchiveTable::rebuildOrder()
{
    parseFilter();
    std::optional<std::uint32_t> current = currentRecord();
    m_order.clear();
    for (std::uint32_t r = 0; r < m_count; ++r)
        if (passesFilter(r))
            m_order.push_back(r);
    if (m_sorted)
        sortOrder(m_order);
    m_pos = 0;
    if (current) {
        auto it = std::find(m_order.begin(), m_order.end(), *current);
        if (it != m_order.end())
            m_pos = static_cast<std::size_t>(it - m_order.begin());
    }
}

void ArchiveTable::sortOrder(std::vector<std::uint32_t>& order) const
{
    const Field& f = m_fields[m_sortField];
    const std::size_t w = static_cast<std::size_t>(f.width);
    if (w == 0 || order.size() < 2)
        return;
    // Keys are gathered in record order (the order list is in file order here),
    // so the reads run through the file front to back.
    std::vector<unsigned char> keys(order.size() * w);
    for (std::size_t i = 0; i < order.size(); ++i)
        std::memcpy(&keys[i * w], recordBytes(order[i]) + f.offset, w);
    std::vector<std::uint32_t> idx(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i)
        idx[i] = static_cast<std::uint32_t>(i);
    const bool desc = m_sortDescending;
    std::stable_sort(idx.begin(), idx.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = std::memcmp(&keys[a * w], &keys[b * w], w);
        return desc ? c > 0 : c < 0;
    });
    std::vector<std::uint32_t> sorted(order.size());
    for (std::size_t i = 0; i < idx.size(); ++i)
        sorted[i] = order[idx[i]];
    order.swap(sorted);
}

bool ArchiveTable::keyLess(std::uint32_t a, std::uint32_t b) const
{
    const Field& f = m_fields[m_sortField];
    const std::string ka = readFieldBytes(a, f);
    const std::string kb = readFieldBytes(b, f);
    const int c = std::memcmp(ka.data(), kb.data(), static_cast<std::size_t>(f.width));
    if (c != 0)
        return m_sortDescending ? c > 0 : c < 0;
    return a < b; // equal keys stay in file order in both directions
}

std::size_t ArchiveTable::sortedInsertPosition(std::uint32_t record) const
{
    std::size_t lo = 0, hi = m_order.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (keyLess(m_order[mid], record))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void ArchiveTable::setSortOrder(std::string_view column, bool descending)
{
    requireOpen();
    const int field = fieldIndex(column);
    m_sorted = true;
    m_sortField = field;
    m_sortColumn = m_fields[field].name;
    m_sortDescending = descending;
    std::optional<std::uint32_t> current = currentRecord();
    std::sort(m_order.begin(), m_order.end());
    sortOrder(m_order);
    if (current) {
        auto it = std::find(m_order.begin(), m_order.end(), *current);
        moveTo(static_cast<std::size_t>(it - m_order.begin()));
    }
}

void ArchiveTable::clearSortOrder()
{
    m_sorted = false;
    m_sortField = -1;
    m_sortColumn.clear();
    m_sortDescending = false;
    if (!isOpen())
        return;
    std::optional<std::uint32_t> current = currentRecord();
    std::sort(m_order.begin(), m_order.end());
    if (current) {
        auto it = std::lower_bound(m_order.begin(), m_order.end(), *current);
        moveTo(static_cast<std::size_t>(it - m_order.begin()));
    }
}

std::string ArchiveTable::indexName() const
{
    return m_sorted ? "tab1" : std::string();
}

void ArchiveTable::refresh()
{
    requireOpen();
    m_state = State::Browsing;
    rebuildOrder();
    loadCurrent();
    m_eof = m_order.empty();
}

} // namespace orx
