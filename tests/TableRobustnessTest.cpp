// Files that other programs, a crash or a full disk may leave behind, and a
// table held by another process.

#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orx;
using namespace orx::test;

namespace {

OperationalRow opRow(int i)
{
    return OperationalRow{std::to_string(i), "A",        std::to_string(i % 8),
                          "01.03.2007",      "12:00:00", std::to_string(i) + ",5"};
}

// The bytes of a closed table with n operational rows.
std::string tableWithRows(int n)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    ArchiveTable::create(f);
    ArchiveTable t;
    t.open(f);
    for (int i = 1; i <= n; ++i)
        appendRow(t, opRow(i));
    t.close();
    return readFile(f);
}

void putLE32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

std::size_t descriptorOf(const std::string& name)
{
    return 32 + 32 * static_cast<std::size_t>(findArchiveColumn(name));
}

struct DamagedCase
{
    const char* name;
    std::function<std::string()> bytes;
    bool opens;
    std::size_t rows; // rows visible when it opens
};

void PrintTo(const DamagedCase& c, std::ostream* os)
{
    *os << c.name;
}

class DamagedFile : public ::testing::TestWithParam<DamagedCase>
{
};

} // namespace

TEST_P(DamagedFile, OpensAsDescribedOrFailsCleanly)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    writeFile(f, GetParam().bytes());
    ArchiveTable t;
    if (!GetParam().opens) {
        try {
            t.open(f);
            FAIL() << "opened";
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::NotATable) << e.what();
        }
        EXPECT_FALSE(t.isOpen());
        return;
    }
    t.open(f);
    EXPECT_EQ(t.countVisible(), GetParam().rows);
    EXPECT_EQ(t.recordCount(), GetParam().rows);
    // Every visible row reads back, and the table takes a further row.
    auto rows = visibleRows(t, {"NO", "TO"});
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    appendRow(t, opRow(static_cast<int>(GetParam().rows) + 1));
    t.close();
    const std::string after = readFile(f);
    EXPECT_EQ(after.size(), 4129 + (GetParam().rows + 1) * 761 + 1);
    t.open(f);
    EXPECT_EQ(t.countVisible(), GetParam().rows + 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, DamagedFile,
    ::testing::Values(
        DamagedCase{"Empty", [] { return std::string(); }, false, 0},
        DamagedCase{"TruncatedHeader", [] { return tableWithRows(0).substr(0, 20); }, false, 0},
        DamagedCase{"TruncatedDescriptors", [] { return tableWithRows(0).substr(0, 2000); }, false, 0},
        DamagedCase{"VersionByteFoxPro",
                    [] { auto s = tableWithRows(1); s[0] = '\x30'; return s; }, false, 0},
        DamagedCase{"VersionByteText",
                    [] { auto s = tableWithRows(1); s[0] = 'x'; return s; }, false, 0},
        DamagedCase{"VersionByteDbase4Memo",
                    [] { auto s = tableWithRows(1); s[0] = '\x8B'; return s; }, true, 1},
        DamagedCase{"MissingColumn",
                    [] { auto s = tableWithRows(1); s[descriptorOf("TYPE") + 3] = 'X'; return s; }, false, 0},
        DamagedCase{"NumericColumn",
                    [] { auto s = tableWithRows(1); s[descriptorOf("TN3") + 11] = 'N'; return s; }, false, 0},
        DamagedCase{"ColumnWithoutWidth",
                    [] { auto s = tableWithRows(1); s[descriptorOf("TO") + 16] = 0; return s; }, false, 0},
        DamagedCase{"RecordLengthTooSmall",
                    [] { auto s = tableWithRows(1); s[10] = 0x10; s[11] = 0; return s; }, false, 0},
        DamagedCase{"HeaderLengthPastEnd",
                    [] { auto s = tableWithRows(0); s[8] = '\xFF'; s[9] = '\x7F'; return s; }, false, 0},
        DamagedCase{"HeaderLengthZero",
                    [] { auto s = tableWithRows(1); s[8] = 0; s[9] = 0; return s; }, false, 0},
        DamagedCase{"TornLastRecord",
                    [] { return tableWithRows(3).substr(0, 4129 + 3 * 761) + tableWithRows(4).substr(4129 + 3 * 761, 300); },
                    true, 3},
        DamagedCase{"CountTooLow",
                    [] { auto s = tableWithRows(6); putLE32(s, 4, 5); return s; }, true, 6},
        DamagedCase{"CountTooHigh",
                    [] { auto s = tableWithRows(2); putLE32(s, 4, 0xFFFFFFFF); return s; }, true, 2},
        DamagedCase{"NoEndOfFileByte",
                    [] { auto s = tableWithRows(2); s.pop_back(); return s; }, true, 2},
        DamagedCase{"IndexFlagWithoutCompanion",
                    [] { auto s = tableWithRows(2); s[28] = 1; return s; }, true, 2}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(TableFileRepair, CountCorrectionAndIndexFlagReachTheDisk)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    std::string s = tableWithRows(6);
    putLE32(s, 4, 5);
    s[28] = 1;
    writeFile(f, s);
    ArchiveTable t;
    t.open(f);
    // Corrected at once on open.
    EXPECT_EQ(static_cast<unsigned char>(readFile(f)[4]), 6u);
    t.close();
    const std::string after = readFile(f);
    EXPECT_EQ(after[28], 0);
    EXPECT_EQ(after.size(), s.size());
}

TEST(TableFileRepair, MissingFileFails)
{
    TempDir tmp;
    ArchiveTable t;
    try {
        t.open(tmp.path("nope.db"));
        FAIL();
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::NotFound);
    }
    EXPECT_FALSE(t.isOpen());
}

TEST(TableFileLayout, WidthsFromTheFileAndExtraColumnsCarriedAlong)
{
    // A table written by other software: NO is 6 wide and a column EXTRA of
    // width 3 follows TYPE.
    std::string s = tableWithRows(0).substr(0, 4128);
    s[descriptorOf("NO") + 16] = 6;
    std::string extra(32, '\0');
    extra.replace(0, 5, "EXTRA");
    extra[11] = 'C';
    extra[16] = 3;
    s += extra;
    s += '\x0D';
    const int headerLen = 4129 + 32, recLen = 761 + 2 + 3;
    s[8] = static_cast<char>(headerLen & 0xFF);
    s[9] = static_cast<char>(headerLen >> 8);
    s[10] = static_cast<char>(recLen & 0xFF);
    s[11] = static_cast<char>(recLen >> 8);
    std::string rec(recLen, ' ');
    rec.replace(1, 6, "123456");
    rec.replace(recLen - 3, 3, "xyz");
    putLE32(s, 4, 1);
    s += rec;
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    writeFile(f, s);

    ArchiveTable t;
    t.open(f);
    EXPECT_EQ(t.readText("NO"), "123456");
    EXPECT_EQ(t.readText("EXTRA"), "xyz");
    EXPECT_EQ(t.fieldWidth(t.fieldIndex("NO")), 6);
    t.edit();
    t.writeText("TO", "1,5");
    t.writeText("NO", "12345678");
    t.post();
    t.append();
    t.writeText("NO", "2");
    t.post();
    t.close();
    const std::string after = readFile(f);
    ASSERT_EQ(after.size(), static_cast<std::size_t>(headerLen + 2 * recLen + 1));
    EXPECT_EQ(after.substr(headerLen + 1, 6), "123456");
    EXPECT_EQ(after.substr(headerLen + recLen - 3, 3), "xyz");     // carried along
    EXPECT_EQ(after.substr(headerLen + 2 * recLen - 3, 3), "   "); // blank in a new row
    EXPECT_EQ(after.substr(headerLen + recLen + 1, 6), "2     ");
}

TEST(TableConcurrency, SecondOpenFailsWhileAnotherProcessHoldsTheTable)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    writeFile(f, tableWithRows(2));
    TableHolder holder(f);
    ASSERT_TRUE(holder.holding());
    const std::string before = readFile(f); // other programs may still read it
    EXPECT_EQ(before.size(), 4129u + 2 * 761 + 1);
    ArchiveTable second;
    try {
        second.open(f);
        ADD_FAILURE() << "second open succeeded";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::Locked);
    }
    EXPECT_THROW(ArchiveTable::create(f), StorageError); // nor may it be replaced
    EXPECT_EQ(readFile(f), before);
    holder.release();
    second.open(f); // free again once the holder is gone
    EXPECT_EQ(second.countVisible(), 2u);
}

namespace {

// Runs job in a child process whose files may not grow past limit bytes, as
// on a full disk, and returns the text the job made.
std::string underFileSizeLimit(rlim_t limit, const std::function<std::string()>& job)
{
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid < 0)
        return "no fork";
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        const std::string message = job();
        (void)!write(pipeFd[1], message.data(), message.size());
        _exit(0);
    }
    close(pipeFd[1]);
    std::string message;
    char buf[256];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0)
        message.append(buf, static_cast<std::size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return message;
}

} // namespace

TEST(TableDiskFull, AppendFailsWithWriteErrorAndKeepsWrittenRows)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    ArchiveTable::create(f);
    // Room for 10 whole rows and part of an eleventh.
    const std::string message = underFileSizeLimit(4129 + 10 * 761 + 300, [&] {
        std::string text = "no error";
        int posted = 0;
        try {
            ArchiveTable t;
            t.open(f);
            for (int i = 1; i <= 20; ++i) {
                appendRow(t, opRow(i));
                ++posted;
            }
        } catch (const StorageError& e) {
            text = e.what();
        }
        return std::to_string(posted) + "|" + text;
    });
    EXPECT_EQ(message, "10|Error while writing occurred. (Disk full?)");

    const std::string bytes = readFile(f);
    EXPECT_EQ(bytes.size(), 4129u + 10 * 761 + 1);        // the torn bytes were cut
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 10u); // count taken back
    ArchiveTable t;
    t.open(f);
    auto rows = visibleRows(t, {"NO", "TO"});
    ASSERT_EQ(rows.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rows[i],
                  (std::vector<std::string>{std::to_string(i + 1), std::to_string(i + 1) + ",5"}));
}

TEST(TableCreate, ReplacesTheOldTableInOneStep)
{
    TempDir tmp;
    const std::string f = tmp.path("t.db");
    const std::string link = tmp.path("link.db");
    writeFile(f, tableWithRows(2));
    ASSERT_EQ(symlink(f.c_str(), link.c_str()), 0);
    const std::string before = readFile(f);

    // A new table that cannot be written leaves the old one as it was.
    const std::string message = underFileSizeLimit(1000, [&] {
        try {
            ArchiveTable::create(f);
        } catch (const StorageError& e) {
            return std::string(e.what());
        }
        return std::string("created");
    });
    EXPECT_EQ(message, "Error while writing occurred. (Disk full?)");
    EXPECT_EQ(readFile(f), before);
    EXPECT_EQ(runCommand("ls -A " + shellQuote(tmp.dir())).out, "link.db\nt.db\n");

    // Through a link, the table it points at is replaced and the link stays;
    // the new table keeps the old one's permissions.
    ASSERT_EQ(chmod(f.c_str(), 0600), 0);
    ArchiveTable::create(link);
    EXPECT_EQ(fileSize(f), 4130u);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(runCommand("ls -A " + shellQuote(tmp.dir())).out, "link.db\nt.db\n");

    // Something that is no plain file is not replaced.
    const std::string fifo = tmp.path("pipe.db");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_THROW(ArchiveTable::create(fifo), StorageError);
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(TableScale, MillionRowsOpenAndWork)
{
    TempDir tmp;
    const std::string f = tmp.path("big.db");
    constexpr std::uint32_t kRows = 1000000;
    {
        // Written in bulk: a header, then the records, as a long download would leave them.
        std::string s = tableWithRows(0).substr(0, 4129);
        putLE32(s, 4, kRows);
        writeFile(f, s);
        std::FILE* out = std::fopen(f.c_str(), "ab");
        ASSERT_TRUE(out);
        std::string chunk;
        for (std::uint32_t r = 0; r < kRows; ++r) {
            const int block = static_cast<int>(r % 21);
            const std::string seq = sequenceColumn(block);
            chunk += recordBytes({{seq, std::to_string(r % 10000)}});
            if (chunk.size() > (1u << 20)) {
                std::fwrite(chunk.data(), 1, chunk.size(), out);
                chunk.clear();
            }
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
        std::fputc(0x1A, out);
        std::fclose(out);
    }
    ArchiveTable t;
    t.open(f);
    EXPECT_EQ(t.recordCount(), kRows);
    t.setFilter(ArchiveTable::blockFilter(20));
    t.setFiltered(true);
    EXPECT_EQ(t.countVisible(), kRows / 21);
    t.setSortOrder("NN20", true);
    std::string previous = "\xFF";
    std::size_t seen = 0;
    for (t.first(); !t.eof(); t.next(), ++seen) {
        std::string key = t.readText("NN20");
        key.resize(4, ' ');
        ASSERT_LE(key, previous);
        previous = key;
    }
    EXPECT_EQ(seen, kRows / 21);
    EXPECT_EQ(previous, "0   ");
    t.clearSortOrder();
    t.last();
    EXPECT_EQ(*t.currentRecord(), 999998u);
    appendRow(t, ObservationRow{20, "x", "01.01.2024", "00:00", "1", "1", "1,00", "A20"});
    EXPECT_EQ(t.countVisible(), kRows / 21 + 1);
    t.close();
    EXPECT_EQ(fileSize(f), 4129ull + (kRows + 1ull) * 761 + 1);
}
