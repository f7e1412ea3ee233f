// orx-cli dump on real table files.

#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
        writeTable(file,
                   {OperationalRow{"1", "\xC0", "3", "01.03.2007", "12:00:07", "23,5"},
                    ObservationRow{3, "2", "05.06.2024", "10:20", "24", "10", "1,00", "\xC0" "3"},
                    OperationalRow{"2", "\"", "12", "02.03.2007", "00:05:07", "20"},
                    ObservationRow{3, "10", "05.06.2024", "10:30", "24", "10", "-5,30", "\xC0" "3"},
                    ObservationRow{3, "9", "05.06.2024", "10:40", "24", "10", "0,0", "\xC0" "3"}});
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

TEST_F(CliDump, TableThatDoesNotOpenIsDamagedWithTheReasonAndThePath)
{
    const std::string folder = tmp.path("folder.db");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    writeFile(tmp.path("junk.db"), "not a table");
    std::string bytes = readFile(file);
    bytes[0] = 'n'; // a dBase version byte no more
    writeFile(tmp.path("text.db"), bytes);
    // Another program's table: the same but for one column's name (the
    // column descriptors are 32 bytes each, after the 32-byte file header).
    bytes = readFile(file);
    std::size_t tn7 = 32;
    while (tn7 < 4129 && bytes.compare(tn7, 4, std::string("TN7\0", 4)) != 0)
        tn7 += 32;
    ASSERT_LT(tn7, 4129u);
    bytes[tn7] = 'X';
    writeFile(tmp.path("lacking.db"), bytes);
    writeFile(tmp.path("held.db"), readFile(file));
    TableHolder holder(tmp.path("held.db"));
    ASSERT_TRUE(holder.holding());

    struct Case
    {
        std::string name;
        std::string reason;
    };
    const Case cases[] = {
        {"missing.db", "no such file"},
        {"folder.db", "a folder, not a table file"},
        {"junk.db", "not a dBase table (too short)"},
        {"text.db", "not a dBase III table"},
        {"lacking.db", "lacks the column TN7"},
        {"held.db", "held open by another program"},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.path(c.name);
        const std::string before = readFile(path);
        CommandResult r = dump(shellQuote(path));
        EXPECT_EQ(r.status, 3) << c.name;
        EXPECT_EQ(r.err, "База данных повреждена !\norx-cli: " + path + ": " + c.reason + "\n")
            << c.name;
        EXPECT_TRUE(r.out.empty()) << c.name;
        EXPECT_EQ(readFile(path), before) << c.name;
    }
}

TEST_F(CliDump, BadArgumentsShowTheUsage)
{
    const char* bad[] = {"", "--tab 21 " , "--tab x ", "--sort NOPE ", "--desc ", "--frobnicate "};
    for (const char* args : bad) {
        CommandResult r = dump(std::string(args) + (std::string(args).empty() ? "" : shellQuote(file)));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("usage"), std::string::npos) << args;
    }
}
