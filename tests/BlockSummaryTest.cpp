// The summary of a block, as the status line, orx-cli stats and scripts see it.

#include "archive/BlockSummary.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace orx;
using namespace orx::test;

namespace {

struct Case
{
    const char* what;
    int block;
    std::vector<OperationalRow> operational;
    std::vector<ObservationRow> observation;
    std::size_t rows;
    std::string first, last;
    std::optional<double> minimum, mean, maximum;
    std::size_t badMoments, badTemperatures;
    std::string firstBad;
};

} // namespace

TEST(BlockSummary, TableOfCases)
{
    const OperationalRow a{"1", "A", "1", "02.03.2024", "10:00:00", "20"};
    const OperationalRow b{"2", "A", "1", "01.03.2024", "23:59:59", "-12,8"};
    const OperationalRow c{"3", "A", "1", "02.03.2024", "09:00:00", "23,5"};
    const Case cases[] = {
        {"empty block", 3, {a}, {}, 0, "", "", {}, {}, {}, 0, 0, ""},
        {"one row", 0, {a}, {}, 1, "02.03.2024 10:00:00", "02.03.2024 10:00:00", 20, 20, 20, 0, 0, ""},
        {"negative temperatures, first and last by time", 0, {a, b, c}, {}, 3,
         "01.03.2024 23:59:59", "02.03.2024 10:00:00", -12.8, (20 - 12.8 + 23.5) / 3, 23.5, 0, 0, ""},
        {"observation with its own columns", 2, {a},
         {{2, "1", "05.05.2024", "10:15", "24", "1", "-5,30", "A2"},
          {2, "2", "05.05.2024", "10:16", "24", "1", "0,0", "A2"}},
         2, "05.05.2024 10:15", "05.05.2024 10:16", -5.3, -2.65, 0, 0, 0, ""},
        {"texts that do not parse are counted and named", 0,
         {a, {"2", "A", "1", "31.13.2024", "10:00:00", "1"}, {"3", "A", "1", "01.03.2024", "10:00:00", "x,5"}},
         {}, 3, "01.03.2024 10:00:00", "02.03.2024 10:00:00", 1, 10.5, 20, 1, 1, "31.13.2024 10:00:00"},
    };
    for (const Case& k : cases) {
        TempDir tmp;
        const std::string path = tmp.path("t.db");
        ArchiveTable::create(path);
        ArchiveTable t;
        t.open(path);
        for (const auto& r : k.operational)
            appendRow(t, r);
        for (const auto& r : k.observation)
            appendRow(t, r);
        t.setFilter(ArchiveTable::blockFilter(1));
        t.setFiltered(true);
        const auto before = t.currentRecord();
        const BlockSummary s = summarizeBlock(t, k.block);
        EXPECT_EQ(t.currentRecord(), before) << k.what << ": the cursor stays";
        EXPECT_EQ(s.rows, k.rows) << k.what;
        EXPECT_EQ(s.first, k.first) << k.what;
        EXPECT_EQ(s.last, k.last) << k.what;
        ASSERT_EQ(s.minimum.has_value(), k.minimum.has_value()) << k.what;
        if (k.minimum) {
            EXPECT_DOUBLE_EQ(*s.minimum, *k.minimum) << k.what;
            EXPECT_NEAR(*s.mean, *k.mean, 1e-9) << k.what;
            EXPECT_DOUBLE_EQ(*s.maximum, *k.maximum) << k.what;
        }
        EXPECT_EQ(s.badMoments, k.badMoments) << k.what;
        EXPECT_EQ(s.badTemperatures, k.badTemperatures) << k.what;
        EXPECT_EQ(s.firstBad, k.firstBad) << k.what;
    }
}

TEST(BlockSummary, StepsGiveTheSameAsOneGo)
{
    TempDir tmp;
    const std::string path = tmp.path("t.db");
    ArchiveTable::create(path);
    ArchiveTable t;
    t.open(path);
    for (int i = 1; i <= 250; ++i)
        appendRow(t, OperationalRow{std::to_string(i), "A", "1", "01.03.2024",
                                    "10:" + std::string(i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + ":00",
                                    std::to_string(i % 40 - 20)});
    BlockSummaryBuilder b(t, 0);
    int turns = 0;
    while (!b.step(7))
        ++turns;
    EXPECT_EQ(turns, 35);
    const BlockSummary whole = summarizeBlock(t, 0);
    EXPECT_EQ(b.result().rows, 250u);
    EXPECT_EQ(b.result().first, whole.first);
    EXPECT_EQ(b.result().mean, whole.mean);
    EXPECT_EQ(formatTemperature(-0.04), "0,0");
    EXPECT_EQ(formatTemperature(23.45), "23,5");
    EXPECT_EQ(formatTemperature(-12.8), "-12,8");
}
