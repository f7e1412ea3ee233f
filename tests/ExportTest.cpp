// The workbook export, read back by independent readers: python3-openpyxl
// and LibreOffice Calc (headless, converted to CSV).

#include "archive/RecordModel.h"
#include "export/ExcelExport.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace orx;
using namespace orx::test;

namespace {

const std::string kPython = "/usr/bin/python3";
const std::string kReader = std::string(ORX_TEST_SOURCE_DIR) + "/tests/interop/xlsx_read.py";

// Everything python3-openpyxl reads from a workbook, one fact a line.
std::string readWithOpenpyxl(const std::string& path)
{
    CommandResult r = runCommand(kPython + " " + shellQuote(kReader) + " " + shellQuote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::vector<std::string> folderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The layout lines that every export has, before its headings.
const std::string kSheetLayout = "sheets ВЕЛАРИ-5\n"
                                 "columns 1-1 width 20.7109375 format General\n"
                                 "columns 2-2 width 20.7109375 format dd/mm/yyyy h:mm:ss\n"
                                 "columns 3-6 width 20.7109375 format General\n"
                                 "row 1 bold True size 14.0 color FF0000FF\n"
                                 "row 2 bold True size 11.0 color None\n";

class Export : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("archive.db");
        ArchiveTable::create(file);
        table.open(file);
        appendRow(table, OperationalRow{"1", "\xC0", "3", "01.03.2007", "12:00:07", "23,5"});
        appendRow(table, ObservationRow{15, "2", "05.06.2024", "10:20", "24", "10", "23,50",
                                        "\xC0"
                                        "15"});
        appendRow(table, OperationalRow{"2", "B", "12", "29.02.2024", "23:59:00", "-12,8"});
        appendRow(table, ObservationRow{15, "10", "05.06.2024", "10:30", "48", "5", "0,0",
                                        "\xC0"
                                        "15"});
        appendRow(table, ObservationRow{3, "1", "07.06.2024", "11:00", "12", "1", "1,00",
                                        "\xC1"
                                        "3"});
        appendRow(table,
                  OperationalRow{"9", "C", "1", "02.03.2007", "00:00:01", "0"}); // deleted below
        appendRow(table, ObservationRow{15, "9", "05.06.2024", "10:40", "48", "5", "-5,30",
                                        "\xC0"
                                        "15"});
        appendRow(table, OperationalRow{"3", "", "0", "31.12.2007", "23:59:59", "20"});
        // Text in COMMENTN14 of the observation-15 rows, which stands just
        // before their columns in the file: it must never reach the sheet.
        showTab(15);
        for (table.first(); !table.eof(); table.next()) {
            table.edit();
            table.writeText(kColComment, "COMMENT");
            table.post();
        }
        showTab(0);
        for (table.first(); table.readText(kColNo) != "9"; table.next()) {
        }
        table.remove();
    }

    void showTab(int tab)
    {
        table.setFilter(ArchiveTable::blockFilter(tab));
        table.setFiltered(true);
    }

    std::string exportTab(int tab)
    {
        showTab(tab);
        const std::string out = tmp.path("ВЕЛАРИ-5.xlsx");
        exp2excel(table, tab, out);
        return readWithOpenpyxl(out);
    }

    TempDir tmp;
    std::string file;
    ArchiveTable table;
};

} // namespace

TEST_F(Export, OperationalTabHasTheLayoutHeadingsAndTypedValues)
{
    EXPECT_EQ(exportTab(0), kSheetLayout + "A2 s 'N' bold\n"
                                           "B2 s 'Дата' bold\n"
                                           "C2 s 'Идентификатор модуля' bold\n"
                                           "D2 s 'Номер датчика' bold\n"
                                           "E2 s 'T, °C' bold\n"
                                           "A3 s '1'\n"
                                           "B3 d 2007-03-01 12:00:07 format dd/mm/yyyy h:mm:ss\n"
                                           "C3 s 'А'\n"
                                           "D3 s '3'\n"
                                           "E3 n 23.5\n"
                                           "A4 s '2'\n"
                                           "B4 d 2024-02-29 23:59:00 format dd/mm/yyyy h:mm:ss\n"
                                           "C4 s 'B'\n"
                                           "D4 s '12'\n"
                                           "E4 n -12.8\n"
                                           "A5 s '3'\n"
                                           "B5 d 2007-12-31 23:59:59 format dd/mm/yyyy h:mm:ss\n"
                                           "D5 s '0'\n"
                                           "E5 n 20\n");
    // The cursor ends on the last exported row.
    EXPECT_EQ(table.readText(kColNo), "3");
}

TEST_F(Export, ObservationTabUsesItsOwnColumnsAndHeadsColumnF)
{
    const std::string read = exportTab(15);
    EXPECT_EQ(read, kSheetLayout + "A2 s 'N' bold\n"
                                   "B2 s 'Дата' bold\n"
                                   "C2 s 'Длительность наблюдений, ч.' bold\n"
                                   "D2 s 'Период наблюдений, м.' bold\n"
                                   "E2 s 'T, °C' bold\n"
                                   "F2 s '№ датчика' bold\n"
                                   "A3 s '2'\n"
                                   "B3 d 2024-06-05 10:20:00 format dd/mm/yyyy h:mm:ss\n"
                                   "C3 s '24'\n"
                                   "D3 s '10'\n"
                                   "E3 n 23.5\n"
                                   "A4 s '10'\n"
                                   "B4 d 2024-06-05 10:30:00 format dd/mm/yyyy h:mm:ss\n"
                                   "C4 s '48'\n"
                                   "D4 s '5'\n"
                                   "E4 n 0\n"
                                   "A5 s '9'\n"
                                   "B5 d 2024-06-05 10:40:00 format dd/mm/yyyy h:mm:ss\n"
                                   "C5 s '48'\n"
                                   "D5 s '5'\n"
                                   "E5 n -5.3\n");
    EXPECT_EQ(read.find("COMMENT"), std::string::npos);
}

TEST_F(Export, EmptyTabGivesTheHeadingsOnly)
{
    EXPECT_EQ(exportTab(20), kSheetLayout + "A2 s 'N' bold\n"
                                            "B2 s 'Дата' bold\n"
                                            "C2 s 'Длительность наблюдений, ч.' bold\n"
                                            "D2 s 'Период наблюдений, м.' bold\n"
                                            "E2 s 'T, °C' bold\n"
                                            "F2 s '№ датчика' bold\n");
}

TEST_F(Export, RowsFollowTheSortOrderBothWays)
{
    auto numbers = [](const std::string& read) {
        std::string out;
        std::istringstream in(read);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("A", 0) == 0 && line.find(" s '") != std::string::npos &&
                line.rfind("A2 ", 0) != 0)
                out += line.substr(line.find('\'')) + " ";
        }
        return out;
    };
    table.setSortOrder(observationColumn(15, ObsField::Seq), false);
    EXPECT_EQ(numbers(exportTab(15)), "'10' '2' '9' ");
    table.setSortOrder(observationColumn(15, ObsField::Seq), true);
    EXPECT_EQ(numbers(exportTab(15)), "'9' '2' '10' ");
}

TEST_F(Export, LibreOfficeShowsTheSameCells)
{
    if (!haveProgram("soffice"))
        GTEST_SKIP() << "LibreOffice is not installed (scripts/deps.sh installs it)";
    const std::string ops = tmp.path("ops.xlsx"), obs = tmp.path("obs.xlsx");
    showTab(0);
    exp2excel(table, 0, ops);
    showTab(15);
    exp2excel(table, 15, obs);
    const std::string out = tmp.path("csv");
    // Its own profile, so that it neither reads nor leaves the user's.
    CommandResult r = runCommand("HOME=" + shellQuote(tmp.dir()) +
                                 " soffice -env:UserInstallation=file://" + tmp.dir() +
                                 "/lo-profile --headless --convert-to 'csv:Text - txt - csv "
                                 "(StarCalc):44,34,76,1' --outdir " +
                                 shellQuote(out) + " " + shellQuote(ops) + " " + shellQuote(obs));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(out + "/ops.csv"),
              ",,,,\n"
              "\"N\",\"Дата\",\"Идентификатор модуля\",\"Номер датчика\",\"T, °C\"\n"
              "\"1\",01/03/2007 12:00:07,\"А\",\"3\",23.5\n"
              "\"2\",29/02/2024 23:59:00,\"B\",\"12\",-12.8\n"
              "\"3\",31/12/2007 23:59:59,,\"0\",20\n");
    EXPECT_EQ(readFile(out + "/obs.csv"), ",,,,,\n"
                                          "\"N\",\"Дата\",\"Длительность наблюдений, ч.\",\"Период "
                                          "наблюдений, м.\",\"T, °C\",\"№ датчика\"\n"
                                          "\"2\",05/06/2024 10:20:00,\"24\",\"10\",23.5,\n"
                                          "\"10\",05/06/2024 10:30:00,\"48\",\"5\",0,\n"
                                          "\"9\",05/06/2024 10:40:00,\"48\",\"5\",-5.3,\n");
}

namespace {

struct BadRow
{
    const char* what;
    int tab;
    OperationalRow op;
    ObservationRow obs;
    ExportError::Kind kind;
    const char* message;
};

const BadRow kBadRows[] = {
    {"empty temperature",
     0,
     {"5", "A", "1", "03.03.2007", "10:15:30", ""},
     {},
     ExportError::Kind::BadNumber,
     "'' is not a valid floating point value"},
    {"temperature with a point",
     0,
     {"5", "A", "1", "03.03.2007", "10:15:30", "23.5"},
     {},
     ExportError::Kind::BadNumber,
     "'23.5' is not a valid floating point value"},
    {"hour 24",
     0,
     {"5", "A", "1", "03.03.2007", "24:15:30", "1"},
     {},
     ExportError::Kind::BadDateTime,
     "'03.03.2007 24:15:30' is not a valid date and time"},
    {"31st of February",
     15,
     {},
     {15, "5", "31.02.2024", "10:00", "1", "1", "1,00", "A15"},
     ExportError::Kind::BadDateTime,
     "'31.02.2024 10:00' is not a valid date and time"},
    {"observation temperature not a number",
     15,
     {},
     {15, "5", "05.06.2024", "10:00", "1", "1", "1,0-", "A15"},
     ExportError::Kind::BadNumber,
     "'1,0-' is not a valid floating point value"},
};

} // namespace

TEST_F(Export, ATextThatDoesNotConvertStopsAtItsRowAndLeavesTheEarlierWorkbook)
{
    for (const BadRow& bad : kBadRows) {
        SCOPED_TRACE(bad.what);
        const std::string out = tmp.path("ВЕЛАРИ-5.xlsx");
        showTab(bad.tab);
        exp2excel(table, bad.tab, out);
        const std::string before = readFile(out);
        const std::vector<std::string> entries = folderEntries(tmp.dir());

        if (bad.tab == 0)
            appendRow(table, bad.op);
        else
            appendRow(table, bad.obs);
        // A good row after the bad one, which the export never reaches.
        if (bad.tab == 0)
            appendRow(table, OperationalRow{"6", "A", "1", "04.03.2007", "10:00:00", "1"});
        else
            appendRow(table,
                      ObservationRow{15, "6", "05.06.2024", "11:00", "1", "1", "1,00", "A15"});
        showTab(bad.tab);
        try {
            exp2excel(table, bad.tab, out);
            ADD_FAILURE() << "the export went through";
        } catch (const ExportError& e) {
            EXPECT_EQ(e.kind(), bad.kind);
            EXPECT_STREQ(e.what(), bad.message);
        }
        EXPECT_EQ(table.readText(sequenceColumn(bad.tab)), "5") << "the failing row is current";
        EXPECT_EQ(readFile(out), before);
        EXPECT_EQ(folderEntries(tmp.dir()), entries) << "no temporary file is left";

        // Both rows go again, for the next case.
        for (const char* seq : {"5", "6"}) {
            for (table.first(); table.readText(sequenceColumn(bad.tab)) != seq; table.next()) {
            }
            table.remove();
        }
    }
}

TEST_F(Export, AFolderThatCannotBeWrittenGivesTheSystemsText)
{
    showTab(0);
    const std::string out = tmp.path("no-such-folder/ВЕЛАРИ-5.xlsx");
    try {
        exp2excel(table, 0, out);
        FAIL() << "the export went through";
    } catch (const ExportError& e) {
        EXPECT_EQ(e.kind(), ExportError::Kind::Io);
        EXPECT_STREQ(e.what(), "No such file or directory");
    }
    EXPECT_FALSE(std::filesystem::exists(tmp.path("no-such-folder")));
}

TEST(ExportPath, IsTheWorkbookNameInTheTablesFolder)
{
    EXPECT_EQ(workbookPathFor("/data/archives/a.db"), "/data/archives/ВЕЛАРИ-5.xlsx");
}

TEST(SpreadsheetValues, DateAndTimeTextsConvertByTheStoredForm)
{
    struct Case
    {
        const char* text;
        std::optional<double> serial;
    };
    const Case cases[] = {
        {"01.03.2007 12:00:07", 39142.500081018516},
        {"29.02.2024 23:59", 45351.99930555555},
        {"01.01.2000 00:00:00", 36526.0},
        {" 05.06.2024 10:20 ", 45448.430555555555},
        {"29.02.2023 10:00", std::nullopt},
        {"31.04.2024 10:00", std::nullopt},
        {"00.01.2024 10:00", std::nullopt},
        {"01.13.2024 10:00", std::nullopt},
        {"01.01.2024 10:60", std::nullopt},
        {"01.01.2024 10:00:60", std::nullopt},
        {"01/01/2024 10:00", std::nullopt},
        {"01.01.24 10:00", std::nullopt},
        {" ", std::nullopt},
        {"01.01.2024 10:00x", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<double> got = spreadsheetDateTime(c.text);
        ASSERT_EQ(got.has_value(), c.serial.has_value());
        if (got) {
            EXPECT_NEAR(*got, *c.serial, 1e-9);
        }
    }
}

TEST(SpreadsheetValues, TemperatureTextsUseTheDecimalComma)
{
    EXPECT_EQ(spreadsheetNumber("23,5"), 23.5);
    EXPECT_EQ(spreadsheetNumber("-12,8"), -12.8);
    EXPECT_EQ(spreadsheetNumber("0,0"), 0.0);
    EXPECT_EQ(spreadsheetNumber("20"), 20.0);
    for (const char* bad : {"", "23.5", "inf", "nan", "1,2,3", "--1"})
        EXPECT_FALSE(spreadsheetNumber(bad)) << bad;
}
