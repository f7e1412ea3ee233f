// orx-cli stats: one tab-separated line per block, from the same summary the
// program's status line shows.

#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace orx;
using namespace orx::test;

TEST(CliStats, OneLinePerBlockWithTheSummary)
{
    TempDir tmp;
    const std::string path = tmp.path("a.db");
    writeTable(path, {OperationalRow{"1", "A", "1", "02.03.2024", "10:00:00", "20"},
                      OperationalRow{"2", "A", "1", "01.03.2024", "23:59:59", "-12,8"},
                      OperationalRow{"3", "A", "1", "02.03.2024", "09:00:00", "23,5"},
                      OperationalRow{"4", "A", "1", "02.03.2024", "09:30:00", "2,x"},
                      ObservationRow{7, "1", "05.05.2024", "10:15", "24", "1", "-5,30", "A7"}});
    const std::string cli = std::string(ORX_CLI_PATH) + " stats " + shellQuote(path);
    const CommandResult tab0 = runCommand(cli + " --tab 0");
    ASSERT_EQ(tab0.status, 0) << tab0.err;
    EXPECT_EQ(tab0.out, "0\t4\t01.03.2024 23:59:59\t02.03.2024 10:00:00\t-12,8\t10,2\t23,5\t1\t2,x\n");

    const CommandResult all = runCommand(cli);
    ASSERT_EQ(all.status, 0) << all.err;
    std::vector<std::string> lines;
    for (std::size_t from = 0, at; (at = all.out.find('\n', from)) != std::string::npos; from = at + 1)
        lines.push_back(all.out.substr(from, at - from));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[7], "7\t1\t05.05.2024 10:15\t05.05.2024 10:15\t-5,3\t-5,3\t-5,3\t0\t");
    EXPECT_EQ(lines[20], "20\t0\t\t\t\t\t\t0\t");

    const CommandResult missing = runCommand(std::string(ORX_CLI_PATH) + " stats " +
                                             shellQuote(tmp.path("none.db")));
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("База данных повреждена !"), std::string::npos);
    EXPECT_EQ(runCommand(cli + " --tab 21").status, 1);
}
