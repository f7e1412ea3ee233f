#pragma once

// Helpers shared by the tests: private temporary folders, whole-file bytes,
// child commands, and rows written through the table.

#include "storage/ArchiveTable.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace orx::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& dir() const { return m_dir; }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};

// Another process with the table open, as a second copy of the program
// would have it, until release() or the object's end.
class TableHolder
{
public:
    explicit TableHolder(const std::string& path);
    ~TableHolder();
    TableHolder(const TableHolder&) = delete;
    TableHolder& operator=(const TableHolder&) = delete;
    bool holding() const { return m_holding; }
    void release();

private:
    int m_pid = -1;
    int m_release[2] = {-1, -1};
    bool m_holding = false;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::uint64_t fileSize(const std::string& path);

struct CommandResult
{
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};
// Runs a shell command line, capturing its standard output and error.
CommandResult runCommand(const std::string& commandLine);
bool haveProgram(const std::string& name);
std::string shellQuote(const std::string& s);

struct OperationalRow
{
    std::string no, module, sensor, date, time, temperature;
};
struct ObservationRow
{
    int k;
    std::string nn, date, time, duration, period, temperature, type;
};

void appendRow(ArchiveTable& table, const OperationalRow& row);
void appendRow(ArchiveTable& table, const ObservationRow& row);

// A new table file at path holding these rows in this order, closed.
using TableRow = std::variant<OperationalRow, ObservationRow>;
void writeTable(const std::string& path, const std::vector<TableRow>& rows);

// Reads every visible row's values of the given columns, in the table's order.
std::vector<std::vector<std::string>> visibleRows(ArchiveTable& table,
                                                  const std::vector<std::string>& columns);

// The 761 bytes of a record as the table stores it: flag byte then the columns,
// each value blank-filled to its width.
std::string recordBytes(const std::vector<std::pair<std::string, std::string>>& values,
                        char flag = ' ');

} // namespace orx::test
