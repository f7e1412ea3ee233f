// Our table files read by independent dBase readers (python3-dbf, shapelib's
// dbfdump, GDAL's ogrinfo), and tables those tools write read by us.

#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <shapefil.h>

#include <map>
#include <sstream>
#include <unistd.h>

using namespace orx;
using namespace orx::test;

namespace {

const char* const kPython = "/usr/bin/python3";

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

// A row as column name -> stored text (Windows-1251 bytes).
using Row = std::map<std::string, std::string>;

const std::vector<Row> kRows = {
    {{"NO", "1"}, {"ID_MO", "\xC0"}, {"NO_DO", "3"}, {"DATEO", "01.03.2007"}, {"TIMEO", "12:00:07"}, {"TO", "23,5"}},
    {{"NO", "2"}, {"ID_MO", "B"}, {"NO_DO", "12"}, {"DATEO", "02.03.2007"}, {"TIMEO", "00:05:07"}, {"TO", "-12,8"}},
    {{"NO", "3"}, {"ID_MO", "C"}, {"NO_DO", "0"}, {"DATEO", "03.03.2007"}, {"TIMEO", "23:59:59"}, {"TO", "0"}},
    {{"NN1", "1"}, {"DATEN1", "05.06.2024"}, {"TIMEN1", "10:20"}, {"INTN1", "24"}, {"PERN1", "10"}, {"TN1", "0,0"}, {"TYPE", "\xC0" "1"}},
    {{"NN20", "1"}, {"DATEN20", "05.06.2024"}, {"TIMEN20", "10:30"}, {"INTN20", "255"}, {"PERN20", "1"}, {"TN20", "-5,30"}, {"TYPE", "\xDF" "20"}},
};
constexpr std::size_t kDeletedRow = 1; // written, then deleted

std::vector<Row> liveRows()
{
    std::vector<Row> rows = kRows;
    rows.erase(rows.begin() + kDeletedRow);
    return rows;
}

std::string valueOf(const Row& row, const std::string& column)
{
    auto it = row.find(column);
    return it == row.end() ? std::string() : it->second;
}

// Writes kRows through our table and deletes one.
std::string writeOurTable(const TempDir& tmp)
{
    const std::string f = tmp.path("ours.db");
    ArchiveTable::create(f);
    ArchiveTable t;
    t.open(f);
    for (const Row& row : kRows) {
        t.append();
        for (const auto& [name, value] : row)
            t.writeText(name, value);
        t.post();
    }
    t.first();
    for (std::size_t i = 0; i < kDeletedRow; ++i)
        t.next();
    t.remove();
    t.close();
    // The readers want a .dbf name.
    EXPECT_EQ(symlink(f.c_str(), tmp.path("ours.dbf").c_str()), 0);
    return tmp.path("ours.dbf");
}

void expectOurRows(const std::string& path)
{
    ArchiveTable t;
    t.open(path);
    std::vector<Row> got;
    for (t.first(); !t.eof(); t.next()) {
        Row row;
        for (const ColumnDef& c : archiveColumns()) {
            std::string v = t.readText(c.name);
            if (!v.empty())
                row[c.name] = v;
        }
        got.push_back(row);
    }
    EXPECT_EQ(got, liveRows());
}

} // namespace

TEST(TableInterop, PythonDbfReadsOurTable)
{
    TempDir tmp;
    const std::string dbfPath = writeOurTable(tmp);
    CommandResult r = runCommand(std::string(kPython) + " " + ORX_TEST_SOURCE_DIR "/tests/interop/dbf_read.py " + shellQuote(dbfPath));
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 1 + liveRows().size());
    auto header = split(lines[0], '|');
    ASSERT_EQ(header.size(), 128u);
    for (std::size_t i = 0; i < header.size(); ++i)
        EXPECT_EQ(header[i], archiveColumns()[i].name);
    for (std::size_t row = 0; row < liveRows().size(); ++row) {
        auto values = split(lines[row + 1], '|');
        ASSERT_EQ(values.size(), 128u);
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(values[i], cp1251ToUtf8(valueOf(liveRows()[row], header[i]))) << header[i];
    }
}

TEST(TableInterop, DbfdumpReadsOurTable)
{
    TempDir tmp;
    const std::string dbfPath = writeOurTable(tmp);
    CommandResult r = runCommand("dbfdump -m " + shellQuote(dbfPath));
    ASSERT_EQ(r.status, 0) << r.err;
    // "Record: i", then "NAME: value" per column, "(DELETED)" after a deleted one.
    std::vector<Row> rows;
    std::vector<bool> deleted;
    for (const std::string& line : splitLines(r.out)) {
        if (line.rfind("Record: ", 0) == 0) {
            rows.emplace_back();
            deleted.push_back(false);
        } else if (line == "(DELETED)") {
            deleted.back() = true;
        } else if (!line.empty() && !rows.empty()) {
            auto colon = line.find(": ");
            ASSERT_NE(colon, std::string::npos) << line;
            std::string value = line.substr(colon + 2);
            while (!value.empty() && value.back() == ' ')
                value.pop_back();
            if (!value.empty() && value != "(NULL)") // shapelib shows a blank text as null
                rows.back()[line.substr(0, colon)] = value;
        }
    }
    ASSERT_EQ(rows.size(), kRows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(deleted[i], i == kDeletedRow);
        EXPECT_EQ(rows[i], kRows[i]);
    }
}

TEST(TableInterop, OgrinfoReadsOurTable)
{
    TempDir tmp;
    const std::string dbfPath = writeOurTable(tmp);
    CommandResult r = runCommand("ogrinfo --config SHAPE_ENCODING CP1251 -ro -al -q " + shellQuote(dbfPath));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Row> rows;
    for (const std::string& line : splitLines(r.out)) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            rows.emplace_back();
        } else if (!rows.empty() && line.rfind("  ", 0) == 0) {
            auto eq = line.find(" (String) = ");
            if (eq == std::string::npos)
                continue;
            const std::string value = utf8ToCp1251(line.substr(eq + 12));
            if (!value.empty() && value != "(null)") // GDAL shows a blank text as null
                rows.back()[line.substr(2, eq - 2)] = value;
        }
    }
    EXPECT_EQ(rows, liveRows());
}

TEST(TableInterop, WeReadATableWrittenByPythonDbf)
{
    TempDir tmp;
    std::string input;
    for (const ColumnDef& c : archiveColumns())
        input += (input.empty() ? "" : ";") + c.name + " " + std::to_string(c.width);
    input += "\n";
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (i == kDeletedRow)
            input += "*";
        for (const auto& [name, value] : kRows[i])
            input += name + "=" + cp1251ToUtf8(value) + "|";
        input += "\n";
    }
    writeFile(tmp.path("in.txt"), input);
    const std::string path = tmp.path("theirs.dbf");
    CommandResult r = runCommand(std::string(kPython) + " " + ORX_TEST_SOURCE_DIR "/tests/interop/dbf_write.py " +
                                 shellQuote(path) + " <" + shellQuote(tmp.path("in.txt")));
    ASSERT_EQ(r.status, 0) << r.err;
    expectOurRows(path);
}

TEST(TableInterop, WeReadATableWrittenByShapelib)
{
    TempDir tmp;
    const std::string path = tmp.path("shp.dbf");
    DBFHandle h = DBFCreate(path.c_str());
    ASSERT_TRUE(h);
    for (const ColumnDef& c : archiveColumns())
        ASSERT_GE(DBFAddField(h, c.name.c_str(), FTString, c.width, 0), 0);
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const int rec = static_cast<int>(i);
        for (const auto& [name, value] : kRows[i])
            DBFWriteStringAttribute(h, rec, DBFGetFieldIndex(h, name.c_str()), value.c_str());
        if (i == kDeletedRow)
            DBFMarkRecordDeleted(h, rec, 1);
    }
    DBFClose(h);
    expectOurRows(path);
}
