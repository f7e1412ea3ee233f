#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace orx;
using namespace orx::test;

namespace {

unsigned byteAt(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s.at(i)); }

std::uint32_t le32(const std::string& s, std::size_t i)
{
    return byteAt(s, i) | byteAt(s, i + 1) << 8 | byteAt(s, i + 2) << 16 | byteAt(s, i + 3) << 24;
}

const OperationalRow kOp1{"1", "A", "5", "01.03.2007", "12:00:00", "23,5"};
const OperationalRow kOp2{"2", "\xC1", "12", "02.03.2007", "12:30:15", "-12,8"};
const OperationalRow kOp3{"3", "A", "5", "03.03.2007", "13:00:00", "0"};

class TableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("archive.db");
        ArchiveTable::create(tmp.dir(), "archive.db");
    }
    TempDir tmp;
    std::string file;
};

} // namespace

TEST_F(TableTest, NewTableIsExactly4130Bytes)
{
    const std::string b = readFile(file);
    ASSERT_EQ(b.size(), 4130u);
    EXPECT_EQ(byteAt(b, 0), 0x03u);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(byteAt(b, 1), static_cast<unsigned>(local.tm_year));
    EXPECT_EQ(byteAt(b, 2), static_cast<unsigned>(local.tm_mon + 1));
    EXPECT_EQ(byteAt(b, 3), static_cast<unsigned>(local.tm_mday));
    EXPECT_EQ(le32(b, 4), 0u);
    EXPECT_EQ(byteAt(b, 8), 0x21u);
    EXPECT_EQ(byteAt(b, 9), 0x10u);
    EXPECT_EQ(byteAt(b, 10), 0xF9u);
    EXPECT_EQ(byteAt(b, 11), 0x02u);
    for (int i = 12; i < 32; ++i)
        EXPECT_EQ(byteAt(b, i), 0u) << "header byte " << i;
    EXPECT_EQ(byteAt(b, 4128), 0x0Du);
    EXPECT_EQ(byteAt(b, 4129), 0x1Au);

    // NO: N, O, nine zeros, C, four zeros, width 4, fifteen zeros.
    const std::string no = std::string("NO") + std::string(9, '\0') + "C" + std::string(4, '\0') +
                           "\x04" + std::string(15, '\0');
    EXPECT_EQ(b.substr(32, 32), no);
    const std::string comment = std::string("COMMENTN14") + std::string(1, '\0') + "C" +
                                std::string(4, '\0') + "\x32" + std::string(15, '\0');
    EXPECT_EQ(b.substr(32 + 90 * 32, 32), comment);
    const std::string type = std::string("TYPE") + std::string(7, '\0') + "C" + std::string(4, '\0') +
                             "\x32" + std::string(15, '\0');
    EXPECT_EQ(b.substr(32 + 127 * 32, 32), type);
    const std::string tn20 = std::string("TN20") + std::string(7, '\0') + "C" + std::string(4, '\0') +
                             "\x05" + std::string(15, '\0');
    EXPECT_EQ(b.substr(32 + 126 * 32, 32), tn20);
}

TEST_F(TableTest, ThreeAppendedRowsAndClose)
{
    ArchiveTable t;
    t.open(file);
    EXPECT_TRUE(t.isEmpty());
    appendRow(t, kOp1);
    appendRow(t, kOp2);
    appendRow(t, kOp3);
    // While open the file ends with the last record: no end-of-file byte yet,
    // but the count is already current.
    std::string open = readFile(file);
    EXPECT_EQ(open.size(), 4129u + 3 * 761);
    EXPECT_EQ(le32(open, 4), 3u);
    t.close();

    const std::string b = readFile(file);
    ASSERT_EQ(b.size(), 6413u);
    EXPECT_EQ(le32(b, 4), 3u);
    EXPECT_EQ(byteAt(b, 6412), 0x1Au);
    EXPECT_EQ(b.substr(4129, 761),
              recordBytes({{"NO", "1"}, {"ID_MO", "A"}, {"NO_DO", "5"}, {"DATEO", "01.03.2007"},
                           {"TIMEO", "12:00:00"}, {"TO", "23,5"}}));
    EXPECT_EQ(b.substr(4129 + 761, 761),
              recordBytes({{"NO", "2"}, {"ID_MO", "\xC1"}, {"NO_DO", "12"}, {"DATEO", "02.03.2007"},
                           {"TIMEO", "12:30:15"}, {"TO", "-12,8"}}));
    // The descriptors did not move.
    EXPECT_EQ(b.substr(0, 4129).substr(4), open.substr(4, 4125));
}

TEST_F(TableTest, ObservationRowLayout)
{
    ArchiveTable t;
    t.open(file);
    appendRow(t, ObservationRow{15, "1", "05.06.2024", "10:20", "24", "10", "23,50", "\xC0" "15"});
    t.close();
    const std::string b = readFile(file);
    EXPECT_EQ(b.substr(4129, 761),
              recordBytes({{"NN15", "1"}, {"DATEN15", "05.06.2024"}, {"TIMEN15", "10:20"},
                           {"INTN15", "24"}, {"PERN15", "10"}, {"TN15", "23,50"}, {"TYPE", "\xC0" "15"}}));
    // NN15 sits at 525, TYPE at 711.
    EXPECT_EQ(b.substr(4129 + 525, 4), "1   ");
    EXPECT_EQ(b.substr(4129 + 711, 4), "\xC0" "15 ");
}

TEST_F(TableTest, TextIsCutAndBlankFilled)
{
    ArchiveTable t;
    t.open(file);
    t.append();
    t.writeText("NO", "12345");
    t.writeText("TO", "");
    t.writeText("NO_DO", "123");
    t.post();
    EXPECT_EQ(t.readText("NO"), "1234");
    EXPECT_EQ(t.readText("NO_DO"), "12");
    EXPECT_EQ(t.readText("TO"), "");
    t.append();
    t.writeText("NO", "  7");
    t.writeText("TYPE", "x");
    t.post();
    EXPECT_EQ(t.readText("NO"), "  7");
    t.append();
    t.writeText("NO", "");
    t.writeText("TYPE", "y");
    t.post();
    t.setFilter(ArchiveTable::blockFilter(0));
    t.setFiltered(true);
    EXPECT_EQ(t.countVisible(), 2u); // the row with an empty NO does not pass
    t.close();
    const std::string b = readFile(file);
    EXPECT_EQ(b.substr(4129 + 1, 4), "1234");
    EXPECT_EQ(b.substr(4129 + 761 + 1, 4), "  7 ");
    EXPECT_EQ(b.substr(4129 + 2 * 761 + 1, 4), "    ");
}

TEST_F(TableTest, NumberAndIntegerForms)
{
    ArchiveTable t;
    t.open(file);
    t.append();
    t.writeNumber("TO", 23.5);
    t.writeInteger("NO", 42);
    t.writeNumber("TN1", -12.8);
    t.post();
    EXPECT_EQ(t.readText("TO"), "23,5");
    EXPECT_EQ(t.readNumber("TO"), 23.5);
    EXPECT_EQ(t.readInteger("NO"), 42);
    EXPECT_EQ(t.readNumber("TN1"), -12.8);
    t.edit();
    t.writeText("TO", "x,y");
    t.post();
    EXPECT_THROW(t.readNumber("TO"), StorageError);
    EXPECT_THROW(t.readInteger("TO"), StorageError);
    EXPECT_THROW(t.writeText("TO", "1"), StorageError); // browsing
}

TEST_F(TableTest, DeleteMarksRowAndMovesOn)
{
    ArchiveTable t;
    t.open(file);
    appendRow(t, kOp1);
    appendRow(t, kOp2);
    appendRow(t, kOp3);
    t.setFilter(ArchiveTable::blockFilter(0));
    t.setFiltered(true);
    t.first();
    t.next(); // row 2
    const std::string before = readFile(file);
    t.remove();
    EXPECT_EQ(t.readText("NO"), "3"); // the following row became current
    EXPECT_EQ(t.countVisible(), 2u);
    t.remove();
    EXPECT_EQ(t.readText("NO"), "1"); // no row follows: the preceding one
    const std::string after = readFile(file);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(le32(after, 4), 3u);
    EXPECT_EQ(byteAt(after, 4129 + 761), 0x2Au);
    EXPECT_EQ(byteAt(after, 4129 + 2 * 761), 0x2Au);
    EXPECT_EQ(after.substr(4129 + 761 + 1), before.substr(4129 + 761 + 1).replace(760, 1, "*"));
    t.close();
    t.open(file);
    EXPECT_EQ(visibleRows(t, {"NO"}), (std::vector<std::vector<std::string>>{{"1"}}));
}

TEST_F(TableTest, RenumberingRewritesInPlace)
{
    ArchiveTable t;
    t.open(file);
    for (int i = 0; i < 5; ++i)
        appendRow(t, OperationalRow{std::to_string(10 + i), "A", "1", "01.01.2024", "00:00:00", "1"});
    const std::string before = readFile(file);
    int n = 1;
    for (t.first(); !t.eof(); t.next()) {
        t.edit();
        t.writeInteger("NO", n++);
        t.post();
    }
    const std::string after = readFile(file);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, 4129), before.substr(0, 4129)); // header untouched until close
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(after.substr(4129 + i * 761 + 1, 4), std::to_string(i + 1) + "   ");
    t.close();
    const std::string closed = readFile(file);
    EXPECT_EQ(closed.size(), before.size() + 1);
    EXPECT_EQ(closed.substr(4, 4125), before.substr(4, 4125));
}

TEST_F(TableTest, SortByKeyWithTiesInFileOrder)
{
    ArchiveTable t;
    t.open(file);
    const char* values[] = {"2", "10", "1", "10"};
    for (int i = 0; i < 4; ++i)
        appendRow(t, ObservationRow{1, values[i], "01.01.2024", "00:00", "1", "1", "1,00", "A1"});
    appendRow(t, kOp1); // not in tab 1
    t.setFilter(ArchiveTable::blockFilter(1));
    t.setFiltered(true);
    auto order = [&] {
        std::vector<std::pair<std::string, std::uint32_t>> out;
        for (t.first(); !t.eof(); t.next())
            out.emplace_back(t.readText("NN1"), *t.currentRecord());
        return out;
    };
    using V = std::vector<std::pair<std::string, std::uint32_t>>;
    t.setSortOrder("NN1", false);
    EXPECT_EQ(t.indexName(), "tab1");
    EXPECT_EQ(order(), (V{{"1", 2}, {"10", 1}, {"10", 3}, {"2", 0}}));
    t.setSortOrder("NN1", true);
    EXPECT_EQ(order(), (V{{"2", 0}, {"10", 1}, {"10", 3}, {"1", 2}}));

    // The current row stays current when the order changes.
    t.first();
    t.next(); // record 1
    t.setSortOrder("NN1", false);
    EXPECT_EQ(*t.currentRecord(), 1u);
    t.clearSortOrder();
    EXPECT_EQ(*t.currentRecord(), 1u);
    EXPECT_EQ(t.indexName(), "");
    EXPECT_EQ(order(), (V{{"2", 0}, {"10", 1}, {"1", 2}, {"10", 3}}));

    // Appended and edited rows take their place by key; the order lasts
    // across a close and reopen.
    t.setSortOrder("NN1", false);
    appendRow(t, ObservationRow{1, "10", "01.01.2024", "00:00", "1", "1", "1,00", "A1"});
    EXPECT_EQ(*t.currentRecord(), 5u);
    EXPECT_EQ(order(), (V{{"1", 2}, {"10", 1}, {"10", 3}, {"10", 5}, {"2", 0}}));
    t.first();
    t.edit();
    t.writeText("NN1", "3");
    t.post();
    EXPECT_EQ(order(), (V{{"10", 1}, {"10", 3}, {"10", 5}, {"2", 0}, {"3", 2}}));
    t.close();
    EXPECT_EQ(byteAt(readFile(file), 28), 0u); // kept in memory, no companion file
    t.open(file);
    EXPECT_EQ(t.indexName(), "tab1");
    EXPECT_EQ(order(), (V{{"10", 1}, {"10", 3}, {"10", 5}, {"2", 0}, {"3", 2}}));
}

TEST_F(TableTest, CountVisibleWithFilterLeavesCurrentRow)
{
    ArchiveTable t;
    t.open(file);
    appendRow(t, ObservationRow{2, "1", "01.01.2024", "00:00", "1", "1", "1,00", "A2"});
    appendRow(t, ObservationRow{1, "1", "01.01.2024", "00:00", "1", "1", "1,00", "A1"});
    appendRow(t, ObservationRow{2, "2", "01.01.2024", "00:00", "1", "1", "1,00", "A2"});
    appendRow(t, ObservationRow{2, "3", "01.01.2024", "00:00", "1", "1", "1,00", "A2"});
    appendRow(t, kOp1);
    t.setFilter("NN2 <>''");
    t.setFiltered(true);
    EXPECT_EQ(t.countVisible(), 3u);
    t.next();
    t.remove(); // NN2 = 2
    EXPECT_EQ(t.readText("NN2"), "3");
    EXPECT_EQ(t.countVisible(), 2u);
    EXPECT_EQ(t.readText("NN2"), "3");
    t.setFiltered(false);
    EXPECT_EQ(t.countVisible(), 4u);
    // Filters in use name a column; a filter on a column outside the sequence
    // columns works the same way.
    t.setFilter("TYPE <>''");
    t.setFiltered(true);
    EXPECT_EQ(t.countVisible(), 3u);
    EXPECT_THROW(t.setFilter("NN2 = '1'"), StorageError);
    EXPECT_THROW(t.setFilter("NOPE <>''"), StorageError);
}

TEST_F(TableTest, LastRecordOfBlockIgnoresFilterAndDeletedRows)
{
    ArchiveTable t;
    t.open(file);
    appendRow(t, kOp1);
    appendRow(t, ObservationRow{4, "1", "01.01.2024", "00:00", "1", "1", "1,00", "A4"});
    appendRow(t, kOp2);
    appendRow(t, kOp3);
    t.setFilter(ArchiveTable::blockFilter(4));
    t.setFiltered(true);
    EXPECT_EQ(*t.lastRecordOfBlock(0), 3u);
    EXPECT_EQ(t.readTextAt(3, "DATEO"), "03.03.2007");
    EXPECT_EQ(*t.lastRecordOfBlock(4), 1u);
    EXPECT_FALSE(t.lastRecordOfBlock(5));
    t.setFiltered(false);
    t.last();
    t.remove();
    EXPECT_EQ(*t.lastRecordOfBlock(0), 2u);
}

TEST_F(TableTest, CreateReplacesAnExistingFile)
{
    {
        ArchiveTable t;
        t.open(file);
        appendRow(t, kOp1);
    }
    EXPECT_EQ(fileSize(file), 4129u + 761 + 1);
    ArchiveTable::create(file);
    EXPECT_EQ(fileSize(file), 4130u);
}
