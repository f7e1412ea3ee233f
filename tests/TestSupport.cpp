#include "tests/TestSupport.h"

#include "archive/RecordModel.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orx::test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orx-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_dir = buf.data();
}

TempDir::~TempDir()
{
    std::system(("rm -rf " + shellQuote(m_dir)).c_str());
}

TableHolder::TableHolder(const std::string& path)
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    if (pipe(m_release) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        char c = 'n';
        try {
            ArchiveTable table;
            table.open(path);
            c = 'y';
            (void)!write(ready[1], &c, 1);
            (void)!read(m_release[0], &c, 1); // hold until told to go
            table.release();
        } catch (...) {
            (void)!write(ready[1], &c, 1);
        }
        _exit(0);
    }
    char c = 0;
    m_holding = m_pid > 0 && read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    close(ready[1]);
}

TableHolder::~TableHolder()
{
    release();
}

void TableHolder::release()
{
    if (m_release[1] >= 0) {
        (void)!write(m_release[1], "x", 1);
        close(m_release[0]);
        close(m_release[1]);
        m_release[0] = m_release[1] = -1;
    }
    if (m_pid > 0) {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    m_holding = false;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t fileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CommandResult runCommand(const std::string& commandLine)
{
    TempDir tmp;
    const std::string outPath = tmp.path("out"), errPath = tmp.path("err");
    const std::string full = "(" + commandLine + ") >" + shellQuote(outPath) + " 2>" +
                             shellQuote(errPath) + " </dev/null";
    int raw = std::system(full.c_str());
    CommandResult r;
    if (raw != -1 && WIFEXITED(raw))
        r.status = WEXITSTATUS(raw);
    else if (raw != -1 && WIFSIGNALED(raw))
        r.status = 128 + WTERMSIG(raw);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

bool haveProgram(const std::string& name)
{
    return std::system(("command -v " + shellQuote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

void appendRow(ArchiveTable& table, const OperationalRow& row)
{
    table.append();
    table.writeText(kColNo, row.no);
    table.writeText(kColModule, row.module);
    table.writeText(kColSensor, row.sensor);
    table.writeText(kColTime, row.time);
    table.writeText(kColDate, row.date);
    table.writeText(kColTemperature, row.temperature);
    table.post();
}

void writeTable(const std::string& path, const std::vector<TableRow>& rows)
{
    ArchiveTable::create(path);
    ArchiveTable table;
    table.open(path);
    for (const TableRow& row : rows)
        std::visit([&table](const auto& r) { appendRow(table, r); }, row);
    table.close();
}

void appendRow(ArchiveTable& table, const ObservationRow& row)
{
    table.append();
    table.writeText(observationColumn(row.k, ObsField::Seq), row.nn);
    table.writeText(observationColumn(row.k, ObsField::Duration), row.duration);
    table.writeText(observationColumn(row.k, ObsField::Period), row.period);
    table.writeText(observationColumn(row.k, ObsField::Time), row.time);
    table.writeText(observationColumn(row.k, ObsField::Date), row.date);
    table.writeText(observationColumn(row.k, ObsField::Temperature), row.temperature);
    table.writeText(kColType, row.type);
    table.post();
}

std::vector<std::vector<std::string>> visibleRows(ArchiveTable& table,
                                                  const std::vector<std::string>& columns)
{
    std::vector<std::vector<std::string>> rows;
    for (table.first(); !table.eof(); table.next()) {
        std::vector<std::string> row;
        for (const auto& c : columns)
            row.push_back(table.readText(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string recordBytes(const std::vector<std::pair<std::string, std::string>>& values, char flag)
{
    std::string rec(kRecordLength, ' ');
    rec[0] = flag;
    for (const auto& [name, value] : values) {
        const ColumnDef& c = archiveColumns().at(static_cast<std::size_t>(findArchiveColumn(name)));
        rec.replace(static_cast<std::size_t>(c.offset), value.size(), value);
    }
    return rec;
}

} // namespace orx::test
