// orx-cli decode: saved archive images into new and existing tables.

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveImage.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace orx;
using namespace orx::test;

namespace {

const std::string kCli = ORX_CLI_PATH;

std::vector<OperationalRecord> readings(int n, int firstHour = 0)
{
    std::vector<OperationalRecord> out;
    for (int i = 0; i < n; ++i) {
        OperationalRecord r;
        r.day = static_cast<std::uint8_t>(1 + (firstHour + i) / 24);
        r.hour = static_cast<std::uint8_t>((firstHour + i) % 24);
        r.temperature = temperatureWord(200 + i);
        out.push_back(r);
    }
    return out;
}

std::string bytesOf(const std::vector<std::uint8_t>& v)
{
    return std::string(v.begin(), v.end());
}

class CliDecode : public ::testing::Test
{
protected:
    std::string image(const std::string& name, const ArchiveBuilder& b)
    {
        const std::string p = tmp.path(name);
        writeFile(p, bytesOf(b.build()));
        return p;
    }
    CommandResult cli(const std::string& args) { return runCommand(kCli + " " + args); }
    std::string dump(const std::string& file, int tab)
    {
        return cli("dump " + shellQuote(file) + " --tab " + std::to_string(tab)).out;
    }
    TempDir tmp;
    std::string table = tmp.path("t.db");
};

} // namespace

TEST_F(CliDecode, NewTableThenAppend)
{
    ObservationBlock obs;
    obs.slot = 1;
    obs.records.resize(3);
    const std::string first =
        image("first.bin", ArchiveBuilder().operational(readings(120)).observation(obs));
    CommandResult r = cli("decode " + shellQuote(first) + " " + shellQuote(table));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "123\n");
    const std::string tab0 = dump(table, 0);
    EXPECT_NE(tab0.find("\r\n120,A,1,05.01.2024,23:00:00,\"31,9\"\r\n"), std::string::npos) << tab0;

    const std::string second =
        image("second.bin", ArchiveBuilder().operational(readings(150)).observation(obs));
    r = cli("decode " + shellQuote(second) + " " + shellQuote(table) + " --append");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "153\n");
    const std::string appended = dump(table, 0);
    EXPECT_EQ(appended.substr(0, tab0.size()), tab0);
    EXPECT_NE(appended.find("\r\n121,A,1,06.01.2024,00:00:00,32\r\n"), std::string::npos)
        << appended;
    EXPECT_NE(appended.find("\r\n150,"), std::string::npos);
    EXPECT_EQ(dump(table, 1), "NN1,DATEN1,TIMEN1,INTN1,PERN1,TN1,TYPE\r\n"
                              "1,01.01.2024,00:00,24,1,\"0,0\",A1\r\n"
                              "2,01.01.2024,00:00,24,1,\"0,0\",A1\r\n"
                              "3,01.01.2024,00:00,24,1,\"0,0\",A1\r\n");

    // A new decode replaces the table.
    r = cli("decode " + shellQuote(first) + " " + shellQuote(table));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(dump(table, 0), tab0);
}

TEST_F(CliDecode, EmptyArchiveLeavesAnEmptyTable)
{
    const std::string empty = image("empty.bin", ArchiveBuilder());
    CommandResult r = cli("decode " + shellQuote(empty) + " " + shellQuote(table));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "Архив прибора пуст!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fileSize(table), 4130u);
}

TEST_F(CliDecode, Failures)
{
    const std::string img = image("a.bin", ArchiveBuilder().operational(readings(2)));
    // Append to a table that does not open.
    CommandResult r =
        cli("decode " + shellQuote(img) + " " + shellQuote(tmp.path("none.db")) + " --append");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "База данных повреждена !\norx-cli: " + tmp.path("none.db") + ": no such file\n");
    // An image larger than an archive can be.
    writeFile(tmp.path("huge.bin"), std::string(image::kCapacity + 1, '\0'));
    r = cli("decode " + shellQuote(tmp.path("huge.bin")) + " " + shellQuote(table));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(fileSize(table), 0u) << "the table must not be touched";
    // Missing image, bad arguments.
    EXPECT_EQ(cli("decode " + shellQuote(tmp.path("none.bin")) + " " + shellQuote(table)).status,
              1);
    EXPECT_EQ(cli("decode " + shellQuote(img)).status, 1);
    EXPECT_EQ(cli("decode " + shellQuote(img) + " " + shellQuote(table) + " --bogus").status, 1);
}

TEST_F(CliDecode, ReferenceThatDoesNotParse)
{
    const std::string img = image("a.bin", ArchiveBuilder().operational(readings(2)));
    ASSERT_EQ(cli("decode " + shellQuote(img) + " " + shellQuote(table)).status, 0);
    // Another program changed the date of the newest operational row.
    std::string bytes = readFile(table);
    bytes.replace(4129 + 761 + 18, 10, "99.99.2024");
    writeFile(table, bytes);
    const std::string more = image("b.bin", ArchiveBuilder().operational(readings(4)));
    CommandResult r = cli("decode " + shellQuote(more) + " " + shellQuote(table) + " --append");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "'99.99.2024 01:00:00' is not a valid date and time\n");
    EXPECT_EQ(fileSize(table), 4129u + 2 * 761 + 1);
}

TEST_F(CliDecode, FileSizeLimitReportsTheWriteError)
{
    const std::string img = image("a.bin", ArchiveBuilder().operational(readings(40)));
    const std::string older = image("older.bin", ArchiveBuilder().operational(readings(5)));
    // 12 KiB: the header and 10 whole rows fit, the eleventh does not. A new
    // table gets rows 1 to 10; an append onto 5 stored rows gets rows 6 to 10.
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "append" : "new table");
        std::remove(table.c_str());
        if (append) {
            ASSERT_EQ(cli("decode " + shellQuote(older) + " " + shellQuote(table)).status, 0);
        }
        CommandResult r = runCommand(
            "bash -c " + shellQuote("ulimit -f 12; " + kCli + " decode " + shellQuote(img) + " " +
                                    shellQuote(table) + (append ? " --append" : "")));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Error while writing occurred. (Disk full?)\n");
        // The count taken back, no torn bytes, the file closed with its end byte.
        const std::string bytes = readFile(table);
        EXPECT_EQ(bytes.size(), 4129u + 10 * 761 + 1);
        EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 10u);
        EXPECT_EQ(bytes.back(), '\x1A');
        // Every row posted before the failure reads back whole.
        std::string expected = "NO,ID_MO,NO_DO,DATEO,TIMEO,TO\r\n";
        for (int i = 0; i < 10; ++i)
            expected += std::to_string(i + 1) + ",A,1,01.01.2024,0" + std::to_string(i) +
                        ":00:00," +
                        (i == 0 ? std::string("20") : "\"20," + std::to_string(i) + "\"") + "\r\n";
        EXPECT_EQ(dump(table, 0), expected);
    }
}
