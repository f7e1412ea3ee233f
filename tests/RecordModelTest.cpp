#include "archive/RecordModel.h"

#include <gtest/gtest.h>

#include <set>

using namespace orx;

TEST(RecordModel, ColumnsInTableOrderWithOffsets)
{
    const auto& cols = archiveColumns();
    ASSERT_EQ(cols.size(), 128u);
    const char* firstSix[] = {"NO", "ID_MO", "NO_DO", "DATEO", "TIMEO", "TO"};
    const int widths[] = {4, 11, 2, 10, 8, 5};
    const int offsets[] = {1, 5, 16, 18, 28, 36};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(cols[i].name, firstSix[i]);
        EXPECT_EQ(cols[i].width, widths[i]);
        EXPECT_EQ(cols[i].offset, offsets[i]);
        EXPECT_EQ(cols[i].block, 0);
    }
    // Observation block starts, descriptor positions (1-based) and widths.
    const int blockStart[] = {41,  72,  103, 134, 165, 196, 227, 258, 289, 320,
                              351, 382, 413, 444, 525, 556, 587, 618, 649, 680};
    const int obsWidths[] = {4, 10, 6, 3, 3, 5};
    const int obsOffsets[] = {0, 4, 14, 20, 23, 26};
    const char* prefixes[] = {"NN", "DATEN", "TIMEN", "INTN", "PERN", "TN"};
    for (int k = 1; k <= 20; ++k) {
        const int firstPos = k <= 14 ? 6 * k + 1 : 6 * k + 2;
        for (int f = 0; f < 6; ++f) {
            const ColumnDef& c = cols[firstPos - 1 + f];
            EXPECT_EQ(c.name, prefixes[f] + std::to_string(k));
            EXPECT_EQ(c.width, obsWidths[f]);
            EXPECT_EQ(c.offset, blockStart[k - 1] + obsOffsets[f]) << c.name;
            EXPECT_EQ(c.block, k);
        }
    }
    EXPECT_EQ(cols[90].name, "COMMENTN14");
    EXPECT_EQ(cols[90].offset, 475);
    EXPECT_EQ(cols[90].width, 50);
    EXPECT_EQ(cols[127].name, "TYPE");
    EXPECT_EQ(cols[127].offset, 711);
    EXPECT_EQ(cols[127].offset + cols[127].width, kRecordLength);

    std::set<std::string> names;
    int sum = 0;
    for (const auto& c : cols) {
        names.insert(c.name);
        sum += c.width;
        EXPECT_LE(c.name.size(), 10u);
    }
    EXPECT_EQ(names.size(), 128u);
    EXPECT_EQ(sum, 760);
}

TEST(RecordModel, BlockColumnsAndLookup)
{
    EXPECT_EQ(blockColumns(0), (std::vector<std::string>{"NO", "ID_MO", "NO_DO", "DATEO", "TIMEO", "TO"}));
    EXPECT_EQ(blockColumns(7), (std::vector<std::string>{"NN7", "DATEN7", "TIMEN7", "INTN7", "PERN7", "TN7", "TYPE"}));
    EXPECT_EQ(sequenceColumn(0), "NO");
    EXPECT_EQ(sequenceColumn(20), "NN20");
    EXPECT_EQ(findArchiveColumn("TN20"), 126);
    EXPECT_EQ(findArchiveColumn("NN21"), -1);
    EXPECT_EQ(findArchiveColumn("TYPE"), 127);
}
