// orx-cli export and report on real table files.

#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace orx;
using namespace orx::test;

namespace {

const std::string kCli = ORX_CLI_PATH;
const std::string kReader = "/usr/bin/python3 " + shellQuote(std::string(ORX_TEST_SOURCE_DIR) +
                                                             "/tests/interop/xlsx_read.py");

class CliExportReport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("a.db");
        writeTable(file, {OperationalRow{"1", "A", "3", "01.03.2007", "12:00:07", "23,5"},
                          OperationalRow{"2", "B", "4", "01.03.2007", "12:00:08", "20"},
                          ObservationRow{4, "1", "05.06.2024", "10:20", "24", "10", "", "A4"}});
    }
    CommandResult cli(const std::string& args) { return runCommand(kCli + " " + args); }
    bool exists(const std::string& path)
    {
        return std::filesystem::exists(std::filesystem::u8path(path));
    }

    TempDir tmp;
    std::string file;
};

} // namespace

TEST_F(CliExportReport, ExportWritesTheWorkbookBesideTheTableInTheAskedOrder)
{
    CommandResult r = cli("export " + shellQuote(file) + " --tab 0 --sort NO --desc");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = tmp.path("ВЕЛАРИ-5.xlsx");
    EXPECT_EQ(r.out, out + "\n");
    const std::string read = runCommand(kReader + " " + shellQuote(out)).out;
    EXPECT_EQ(read.rfind("sheets ВЕЛАРИ-5\n", 0), 0u) << read;
    EXPECT_NE(read.find("A3 s '2'\n"), std::string::npos) << read;
    EXPECT_NE(read.find("A4 s '1'\n"), std::string::npos) << read;
}

TEST_F(CliExportReport, ErrorsAsTheProgramShowsThem)
{
    struct Case
    {
        std::string args;
        int status;
        std::string err; // the start of standard error
    };
    const Case cases[] = {
        {"export " + shellQuote(file) + " --tab 4 -o " + shellQuote(tmp.path("x.xlsx")), 1,
         "'' is not a valid floating point value.\n"},
        {"export " + shellQuote(tmp.path("missing.db")) + " --tab 0", 3,
         "База данных повреждена !\n"},
        {"report " + shellQuote(tmp.path("missing.db")) + " --tab 0 -o " +
             shellQuote(tmp.path("x.pdf")),
         3, "База данных повреждена !\n"},
        {"report " + shellQuote(file) + " --tab 0", 1, "orx-cli: report needs -o OUT\n"},
        {"export " + shellQuote(file), 1, "orx-cli: export needs --tab N\n"},
        {"report " + shellQuote(file) + " --tab 0 -o " + shellQuote(tmp.path("no/x.pdf")), 1,
         "No such file or directory.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CommandResult r = cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    }
    EXPECT_FALSE(exists(tmp.path("x.xlsx")));
    EXPECT_FALSE(exists(tmp.path("x.pdf")));
}

TEST_F(CliExportReport, ReportWritesThePagesOfTheTab)
{
    const std::string pdf = tmp.path("r.pdf");
    CommandResult r = cli("report " + shellQuote(file) + " --tab 0 -o " + shellQuote(pdf));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string text = runCommand("pdftotext -layout " + shellQuote(pdf) + " -").out;
    EXPECT_NE(text.find("23,5"), std::string::npos) << text;
    EXPECT_NE(text.find("20,0"), std::string::npos) << text;
    EXPECT_NE(text.find("Стр. 1 из 1"), std::string::npos) << text;
}
