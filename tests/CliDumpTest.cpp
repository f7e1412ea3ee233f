// orx-cli dump on real table files.

#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace orx;
using namespace orx::test;

namespace {

const std::string kCli = ORX_CLI_PATH;

class CliDump : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("a.db");
        ArchiveTable::create(file);
        ArchiveTable t;
        t.open(file);
        appendRow(t, OperationalRow{"1", "\xC0", "3", "01.03.2007", "12:00:07", "23,5"});
        appendRow(t, ObservationRow{3, "2", "05.06.2024", "10:20", "24", "10", "1,00", "\xC0" "3"});
        appendRow(t, OperationalRow{"2", "\"", "12", "02.03.2007", "00:05:07", "20"});
        appendRow(t, ObservationRow{3, "10", "05.06.2024", "10:30", "24", "10", "-5,30", "\xC0" "3"});
        appendRow(t, ObservationRow{3, "9", "05.06.2024", "10:40", "24", "10", "0,0", "\xC0" "3"});
        t.close();
    }
    CommandResult dump(const std::string& args) { return runCommand(kCli + " dump " + args); }
    TempDir tmp;
    std::string file;
};

} // namespace

TEST_F(CliDump, OperationalTabByDefault)
{
    CommandResult r = dump(shellQuote(file));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "NO,ID_MO,NO_DO,DATEO,TIMEO,TO\r\n"
                     "1,А,3,01.03.2007,12:00:07,\"23,5\"\r\n"
                     "2,\"\"\"\",12,02.03.2007,00:05:07,20\r\n");
}

TEST_F(CliDump, ObservationTabSortedBothWays)
{
    CommandResult r = dump(shellQuote(file) + " --tab 3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "NN3,DATEN3,TIMEN3,INTN3,PERN3,TN3,TYPE\r\n"
                     "2,05.06.2024,10:20,24,10,\"1,00\",А3\r\n"
                     "10,05.06.2024,10:30,24,10,\"-5,30\",А3\r\n"
                     "9,05.06.2024,10:40,24,10,\"0,0\",А3\r\n");
    r = dump(shellQuote(file) + " --tab 3 --sort NN3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("TYPE\r\n10,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("А3\r\n2,"), std::string::npos) << r.out;
    r = dump(shellQuote(file) + " --tab 3 --sort NN3 --desc");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("TYPE\r\n9,"), std::string::npos) << r.out;
    EXPECT_EQ(dump(shellQuote(file) + " --tab 20").out, "NN20,DATEN20,TIMEN20,INTN20,PERN20,TN20,TYPE\r\n");
}

TEST_F(CliDump, FailuresAndExitStatus)
{
    const std::string damaged = "База данных повреждена !\n";
    CommandResult r = dump(shellQuote(tmp.path("missing.db")));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, damaged);
    writeFile(tmp.path("junk.db"), "not a table at all, not even close to 32 bytes long");
    r = dump(shellQuote(tmp.path("junk.db")));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, damaged);
    EXPECT_TRUE(r.out.empty());
    const char* bad[] = {"", "--tab 21 " , "--tab x ", "--sort NOPE ", "--desc ", "--frobnicate "};
    for (const char* args : bad) {
        r = dump(std::string(args) + (std::string(args).empty() ? "" : shellQuote(file)));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("usage"), std::string::npos) << args;
    }
}
