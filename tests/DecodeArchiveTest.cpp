#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveImage.h"
#include "archive/DecodeArchive.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

using namespace orx;
using namespace orx::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

OperationalRecord op(std::uint8_t day, std::uint8_t hour, int tenths = 215, std::uint8_t module = 'A',
                     std::uint8_t sensor = 3)
{
    OperationalRecord r;
    r.module = module;
    r.sensor = sensor;
    r.year = 7;
    r.month = 3;
    r.day = day;
    r.hour = hour;
    r.minute = 5;
    r.second = 7;
    r.temperature = temperatureWord(tenths);
    return r;
}

ObservationRecord obs(std::uint8_t hour, std::uint8_t minute, int tenths = 235)
{
    ObservationRecord r;
    r.duration = 24;
    r.spare = 0xEE;
    r.period = 10;
    r.year = 24;
    r.month = 6;
    r.day = 5;
    r.hour = hour;
    r.minute = minute;
    r.temperature = temperatureWord(tenths);
    return r;
}

ObservationBlock block(std::uint8_t slot, std::vector<ObservationRecord> records, std::uint8_t module = 0xC0)
{
    ObservationBlock b;
    b.firstByte = 0x55;
    b.module = module;
    b.slot = slot;
    b.records = std::move(records);
    return b;
}

std::vector<ObservationRecord> obsRun(int n, int startMinute = 0)
{
    std::vector<ObservationRecord> out;
    for (int i = 0; i < n; ++i)
        out.push_back(obs(static_cast<std::uint8_t>((startMinute + i) / 60 % 24),
                          static_cast<std::uint8_t>((startMinute + i) % 60), 100 + i));
    return out;
}

ArchiveImage imageOf(const std::vector<std::uint8_t>& bytes)
{
    ArchiveImage img;
    img.assign(bytes);
    return img;
}

Rows tabRows(ArchiveTable& t, int tab)
{
    t.setFilter(ArchiveTable::blockFilter(tab));
    t.setFiltered(true);
    Rows rows = visibleRows(t, blockColumns(tab));
    t.setFiltered(false);
    return rows;
}

// Every row in file order, as (block, sequence number).
std::vector<std::pair<int, std::string>> fileOrder(ArchiveTable& t)
{
    std::vector<std::pair<int, std::string>> out;
    t.setFiltered(false);
    for (t.first(); !t.eof(); t.next())
        for (int b = 0; b < kBlockCount; ++b)
            if (!t.readText(sequenceColumn(b)).empty())
                out.emplace_back(b, t.readText(sequenceColumn(b)));
    return out;
}

class Decode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("a.db");
        ArchiveTable::create(file);
        table.open(file);
    }
    std::uint64_t decode(const std::vector<std::uint8_t>& bytes, DecodeMode mode = DecodeMode::New)
    {
        ArchiveImage img = imageOf(bytes);
        auto total = DecodeArchive(table, img, mode);
        EXPECT_TRUE(total.has_value());
        return total.value_or(0);
    }
    TempDir tmp;
    std::string file;
    ArchiveTable table;
};

} // namespace

TEST(ArchiveImageWords, TemperatureWordsAndOffsets)
{
    const std::pair<std::uint16_t, double> words[] = {
        {0x00EB, 23.5}, {0x0000, 0.0}, {0x7FFF, 3276.7}, {0xFFFF, -0.6}, {0x8000, -3277.3}, {0xFF85, -12.8},
    };
    for (auto [word, celsius] : words) {
        ArchiveImage img = imageOf({0, static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8)});
        EXPECT_EQ(ReadWordLE(img, 1), word);
        EXPECT_DOUBLE_EQ(DecodeTemperature(img, 1), celsius) << std::hex << word;
    }
    ArchiveImage img;
    EXPECT_NO_THROW(ReadWordLE(img, image::kCapacity - 2));
    EXPECT_THROW(ReadWordLE(img, image::kCapacity - 1), ArchiveError);
    EXPECT_THROW(DecodeTemperature(img, image::kCapacity), ArchiveError);
    EXPECT_THROW(img.at(image::kCapacity), ArchiveError);
    std::vector<std::uint8_t> tooLong(image::kCapacity + 1);
    EXPECT_THROW(img.assign(tooLong), ArchiveError);
}

TEST(ArchiveImageWords, BuilderLayout)
{
    auto bytes = ArchiveBuilder().build();
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xCE, 0, 0}));
    bytes = ArchiveBuilder().operational({op(1, 2, -123)}).observation(block(1, {obs(3, 4, 0)})).build();
    ASSERT_EQ(bytes.size(), 3u + 10 + 5 + 10);
    EXPECT_EQ(ReadWordLE(imageOf(bytes), 1), 1);
    EXPECT_EQ(bytes[3 + 8], 0x85);
    EXPECT_EQ(bytes[3 + 9], 0xFF);
    // The first observation count word lies at 10 * C + 6.
    EXPECT_EQ(ReadWordLE(imageOf(bytes), 16), 1);
    EXPECT_EQ(bytes[13 + 2], 1);
    EXPECT_EQ(bytes[18 + 1], 0xEE);
    // With C = 0 it lies at offset 6.
    bytes = ArchiveBuilder().observation(block(1, obsRun(2))).build();
    EXPECT_EQ(ReadWordLE(imageOf(bytes), 6), 2);
}

TEST_F(Decode, NotOpenTableChangesNothing)
{
    table.close();
    ArchiveImage img = imageOf(ArchiveBuilder().operational({op(1, 1)}).build());
    EXPECT_FALSE(DecodeArchive(table, img, DecodeMode::New).has_value());
    EXPECT_EQ(fileSize(file), 4130u);
}

TEST_F(Decode, OperationalAndObservationRowsInBlockOrder)
{
    const auto bytes = ArchiveBuilder()
                           .operational({op(1, 12, 235, 'A', 3), op(0, 24, 0, 0, 123)})
                           .observation(block(1, {obs(10, 20, 235), obs(24, 60, 0), obs(10, 22, -53)}))
                           .build();
    EXPECT_EQ(decode(bytes), 5u);
    EXPECT_EQ(tabRows(table, 0), (Rows{{"1", "A", "3", "01.03.2007", "12:05:07", "23,5"},
                                       {"2", "", "12", "01.03.2007", "00:05:07", "0"}}));
    EXPECT_EQ(tabRows(table, 1), (Rows{{"1", "05.06.2024", "10:20", "24", "10", "23,50", "\xC0" "1"},
                                       {"2", "05.06.2024", "00:00", "24", "10", "0,0", "\xC0" "1"},
                                       {"3", "05.06.2024", "10:22", "24", "10", "-5,80", "\xC0" "1"}}));
    using F = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(fileOrder(table), (F{{0, "1"}, {0, "2"}, {1, "1"}, {1, "2"}, {1, "3"}}));
}

namespace {

struct WalkCase
{
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;
    std::uint64_t total;
    std::vector<std::pair<int, std::size_t>> rowsPerTab; // tabs with rows; all others empty
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class DecodeWalk : public Decode, public ::testing::WithParamInterface<WalkCase>
{
};

} // namespace

TEST_P(DecodeWalk, BlocksFoundAndTotal)
{
    EXPECT_EQ(decode(GetParam().bytes()), GetParam().total);
    std::vector<std::size_t> expected(kBlockCount, 0);
    for (auto [tab, n] : GetParam().rowsPerTab)
        expected[tab] = n;
    for (int tab = 0; tab < kBlockCount; ++tab)
        EXPECT_EQ(tabRows(table, tab).size(), expected[tab]) << "tab " << tab;
}

INSTANTIATE_TEST_SUITE_P(
    Archive, DecodeWalk,
    ::testing::Values(
        WalkCase{"Empty", [] { return ArchiveBuilder().build(); }, 0, {}},
        WalkCase{"ThreeBytesOnly", [] { return std::vector<std::uint8_t>{0xCE, 0, 0}; }, 0, {}},
        WalkCase{"ShorterThanCountWord", [] { return std::vector<std::uint8_t>{0xCE, 5}; }, 0, {}},
        WalkCase{"FirstHeaderSlot2",
                 [] { return ArchiveBuilder().operational({op(1, 1)}).observation(block(2, obsRun(4))).build(); },
                 1 + 4 + 4, {{0, 1}, {2, 4}}},
        WalkCase{"Slots3And7Only",
                 [] { return ArchiveBuilder().observation(block(3, obsRun(2))).observation(block(7, obsRun(5))).build(); },
                 3 * 2 + 4 * 5, {{3, 2}, {7, 5}}},
        WalkCase{"CountZeroHeaderEndsTheWalk",
                 [] {
                     return ArchiveBuilder().observation(block(1, obsRun(2))).observation(block(2, {}))
                         .observation(block(3, obsRun(4))).build();
                 },
                 2, {{1, 2}}},
        WalkCase{"LowerSlotAfterHigher",
                 [] { return ArchiveBuilder().observation(block(5, obsRun(1))).observation(block(2, obsRun(3))).build(); },
                 5 * 1 + 15 * 3, {{5, 1}}},
        WalkCase{"ZeroOperationalCount",
                 [] { return ArchiveBuilder().observation(block(1, obsRun(3))).build(); }, 3, {{1, 3}}},
        WalkCase{"OperationalRecordsPastTheEnd",
                 [] {
                     auto b = ArchiveBuilder().operational({op(1, 1), op(1, 2), op(1, 3)}).declaredOperationalCount(5).build();
                     b.push_back(0x11); // a torn fourth record
                     return b;
                 },
                 5, {{0, 3}}},
        WalkCase{"ObservationRecordsPastTheEnd",
                 [] {
                     auto blk = block(1, obsRun(2));
                     blk.declaredCount = 4;
                     auto b = ArchiveBuilder().observation(blk).build();
                     b.resize(b.size() + 9, 0x22); // most of a third record
                     return b;
                 },
                 4, {{1, 2}}},
        WalkCase{"HeaderCutByTheEnd",
                 [] {
                     auto b = ArchiveBuilder().operational({op(1, 1)}).observation(block(1, obsRun(1))).build();
                     b.resize(b.size() - 10 - 2); // header up to its slot byte
                     return b;
                 },
                 1, {{0, 1}}},
        WalkCase{"TotalAbove65535",
                 [] { return ArchiveBuilder().operational({op(1, 1)}).observation(block(20, obsRun(3277))).build(); },
                 1 + 20ull * 3277, {{0, 1}, {20, 3277}}},
        WalkCase{"AllTwentySlots",
                 [] {
                     ArchiveBuilder b;
                     b.operational({op(1, 1), op(1, 2)});
                     for (int k = 1; k <= 20; ++k)
                         b.observation(block(static_cast<std::uint8_t>(k), obsRun(k)));
                     return b.build();
                 },
                 2 + 210,
                 {{0, 2}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}, {10, 10},
                  {11, 11}, {12, 12}, {13, 13}, {14, 14}, {15, 15}, {16, 16}, {17, 17}, {18, 18}, {19, 19}, {20, 20}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Decode, WidthCutsAndTypeText)
{
    std::vector<OperationalRecord> many(10000, op(2, 3));
    many.push_back(op(2, 4, 32767, 'Z', 200));
    const auto bytes = ArchiveBuilder().operational(many).observation(block(12, {obs(1, 2, -123)}, 'q')).build();
    EXPECT_EQ(decode(bytes), 10001u + 12); // the slot-12 header is offered to 1..12
    table.setFilter(ArchiveTable::blockFilter(0));
    table.setFiltered(true);
    table.last();
    EXPECT_EQ(table.readText("NO"), "1000"); // 10001 cut to four characters
    EXPECT_EQ(table.readText("NO_DO"), "20");
    EXPECT_EQ(table.readText("TO"), "3276,");
    EXPECT_EQ(tabRows(table, 12), (Rows{{"1", "05.06.2024", "01:02", "24", "10", "-12,8", "q12"}}));
}

TEST_F(Decode, AppendContinuesNumberingFromSkippedRecords)
{
    std::vector<OperationalRecord> first;
    for (int i = 0; i < 120; ++i)
        first.push_back(op(static_cast<std::uint8_t>(1 + i / 24), static_cast<std::uint8_t>(i % 24)));
    EXPECT_EQ(decode(ArchiveBuilder().operational(first).observation(block(2, obsRun(10))).build()), 120u + 2 * 10);

    std::vector<OperationalRecord> second = first;
    for (int i = 120; i < 150; ++i)
        second.push_back(op(static_cast<std::uint8_t>(1 + i / 24), static_cast<std::uint8_t>(i % 24)));
    // Observation 2 gains 5 records; observation 4 has no stored rows yet.
    const auto bytes = ArchiveBuilder()
                           .operational(second)
                           .observation(block(2, obsRun(15)))
                           .observation(block(4, obsRun(6)))
                           .build();
    EXPECT_EQ(decode(bytes, DecodeMode::Append), 150u + 2 * 15 + 2 * 6);
    Rows tab0 = tabRows(table, 0);
    ASSERT_EQ(tab0.size(), 150u);
    EXPECT_EQ(tab0[120][0], "121");
    EXPECT_EQ(tab0[149][0], "150");
    Rows tab2 = tabRows(table, 2);
    ASSERT_EQ(tab2.size(), 15u);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(tab2[i][0], std::to_string(i + 1));
    EXPECT_EQ(tabRows(table, 4).size(), 6u); // no stored rows: every record, numbered from 1
    EXPECT_EQ(tabRows(table, 4)[0][0], "1");
    // Appended rows come after all existing rows, again in block order.
    auto order = fileOrder(table);
    ASSERT_EQ(order.size(), 130u + 30 + 5 + 6);
    EXPECT_EQ(order[130], (std::pair<int, std::string>{0, "121"}));
    EXPECT_EQ(order[160], (std::pair<int, std::string>{2, "11"}));
    EXPECT_EQ(order[165], (std::pair<int, std::string>{4, "1"}));
}

TEST_F(Decode, AppendSkipRules)
{
    EXPECT_EQ(decode(ArchiveBuilder().operational({op(1, 1), op(1, 2), op(1, 3)})
                         .observation(block(1, obsRun(3)))
                         .build()),
              6u);
    // Operational: the first three are not later than the newest stored row
    // (01.03 03:05:07); the two after it are. Observation 1: all old, so no
    // row, and the header after it (slot 2) is still found.
    const auto bytes = ArchiveBuilder()
                           .operational({op(1, 1), op(1, 2), op(1, 3), op(1, 4), op(1, 0)})
                           .observation(block(1, obsRun(3)))
                           .observation(block(2, obsRun(2)))
                           .build();
    EXPECT_EQ(decode(bytes, DecodeMode::Append), 5u + 3 + 2);
    Rows tab0 = tabRows(table, 0);
    ASSERT_EQ(tab0.size(), 5u);
    // The skip stops at the first later record; the earlier one after it is written too.
    EXPECT_EQ(tab0[3], (Rows::value_type{"4", "A", "3", "01.03.2007", "04:05:07", "21,5"}));
    EXPECT_EQ(tab0[4], (Rows::value_type{"5", "A", "3", "01.03.2007", "00:05:07", "21,5"}));
    EXPECT_EQ(tabRows(table, 1).size(), 3u);
    EXPECT_EQ(tabRows(table, 2).size(), 2u);
}

TEST_F(Decode, AppendStopsOnReferenceThatDoesNotParse)
{
    decode(ArchiveBuilder().operational({op(1, 1)}).observation(block(1, obsRun(2))).build());
    // A file changed outside the tool: the last row of observation 1 has a bad date.
    table.setFilter(ArchiveTable::blockFilter(1));
    table.setFiltered(true);
    table.last();
    table.edit();
    table.writeText("DATEN1", "32.13.2024");
    table.post();
    table.setFiltered(false);
    const auto bytes = ArchiveBuilder()
                           .operational({op(1, 1), op(1, 2)})
                           .observation(block(1, obsRun(4)))
                           .build();
    ArchiveImage img = imageOf(bytes);
    try {
        DecodeArchive(table, img, DecodeMode::Append);
        FAIL() << "no error";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::Conversion);
        EXPECT_STREQ(e.what(), "'32.13.2024 00:01' is not a valid date and time");
    }
    // The operational row posted before the error stays.
    EXPECT_EQ(tabRows(table, 0).size(), 2u);
    EXPECT_EQ(tabRows(table, 1).size(), 2u);
}

TEST_F(Decode, WholeFileMatchesExpectedRowsAndPythonDbfReadsIt)
{
    const auto bytes = ArchiveBuilder()
                           .operational({op(1, 12, 235, 'A', 3), op(2, 13, -5, 0xC1, 12)})
                           .observation(block(3, {obs(10, 20, 235), obs(10, 30, 0)}, 0xC0))
                           .build();
    EXPECT_EQ(decode(bytes), 2u + 3 * 2);
    table.close();
    std::string expected = readFile(file).substr(0, 4129);
    expected.replace(4, 1, "\x04");
    expected += recordBytes({{"NO", "1"}, {"ID_MO", "A"}, {"NO_DO", "3"}, {"DATEO", "01.03.2007"}, {"TIMEO", "12:05:07"}, {"TO", "23,5"}});
    expected += recordBytes({{"NO", "2"}, {"ID_MO", "\xC1"}, {"NO_DO", "12"}, {"DATEO", "02.03.2007"}, {"TIMEO", "13:05:07"}, {"TO", "-1"}});
    expected += recordBytes({{"NN3", "1"}, {"DATEN3", "05.06.2024"}, {"TIMEN3", "10:20"}, {"INTN3", "24"}, {"PERN3", "10"}, {"TN3", "23,50"}, {"TYPE", "\xC0" "3"}});
    expected += recordBytes({{"NN3", "2"}, {"DATEN3", "05.06.2024"}, {"TIMEN3", "10:30"}, {"INTN3", "24"}, {"PERN3", "10"}, {"TN3", "0,0"}, {"TYPE", "\xC0" "3"}});
    expected += "\x1A";
    const std::string got = readFile(file);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got.substr(4), expected.substr(4)); // bytes 1-3 hold the date of the last write
    EXPECT_EQ(got[0], '\x03');

    ASSERT_EQ(symlink(file.c_str(), tmp.path("a.dbf").c_str()), 0);
    CommandResult r = runCommand("/usr/bin/python3 " ORX_TEST_SOURCE_DIR "/tests/interop/dbf_read.py " +
                                 shellQuote(tmp.path("a.dbf")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n1|A|3|01.03.2007|12:05:07|23,5|||"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n2|Б|12|02.03.2007|13:05:07|-1|||"), std::string::npos);
    EXPECT_NE(r.out.find("|||1|05.06.2024|10:20|24|10|23,50|||"), std::string::npos);
    EXPECT_NE(r.out.find("|А3\n"), std::string::npos);
}
