// orx-cli: the jobs of the program without windows, for scripts and
// scheduled readouts.

#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "storage/UserTexts.h"
#include "tools/orx-cli/Csv.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitDamaged = 3 };

const char* const kUsage =
    "usage:\n"
    "  orx-cli dump FILE [--tab N] [--sort COLUMN] [--desc]\n"
    "      print the visible rows of tab N (0 = operational, k = observation k) as CSV\n";

int usage(const std::string& why = std::string())
{
    if (!why.empty())
        std::cerr << "orx-cli: " << why << "\n";
    std::cerr << kUsage;
    return kExitUsage;
}

bool parseInt(const std::string& s, int& out)
{
    if (s.empty() || s.size() > 3)
        return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

int runDump(const std::vector<std::string>& args)
{
    std::string file;
    int tab = 0;
    std::string sortColumn;
    bool descending = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tab" && i + 1 < args.size()) {
            if (!parseInt(args[++i], tab) || tab >= orx::kBlockCount)
                return usage("--tab takes a number from 0 to 20");
        } else if (a == "--sort" && i + 1 < args.size()) {
            sortColumn = args[++i];
        } else if (a == "--desc") {
            descending = true;
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            return usage("unexpected argument: " + a);
        }
    }
    if (file.empty())
        return usage("dump needs a table file");
    if (descending && sortColumn.empty())
        return usage("--desc goes with --sort");

    orx::ArchiveTable table;
    try {
        table.open(file);
    } catch (const orx::StorageError&) {
        std::cerr << orx::kTextDatabaseDamaged << "\n";
        return kExitDamaged;
    }
    try {
        table.setFilter(orx::ArchiveTable::blockFilter(tab));
        table.setFiltered(true);
        if (!sortColumn.empty()) {
            try {
                table.fieldIndex(orx::utf8ToCp1251(sortColumn));
            } catch (const orx::StorageError&) {
                return usage("no column " + sortColumn);
            }
            table.setSortOrder(orx::utf8ToCp1251(sortColumn), descending);
        }
        const std::vector<std::string> columns = orx::blockColumns(tab);
        std::vector<int> fields;
        for (const std::string& c : columns)
            fields.push_back(table.fieldIndex(c));
        std::ios::sync_with_stdio(false);
        orx::cli::writeCsvLine(std::cout, columns);
        std::vector<std::string> values(columns.size());
        for (table.first(); !table.eof(); table.next()) {
            for (std::size_t i = 0; i < fields.size(); ++i)
                values[i] = orx::cp1251ToUtf8(table.readText(fields[i]));
            orx::cli::writeCsvLine(std::cout, values);
        }
        std::cout.flush();
    } catch (const orx::StorageError& e) {
        std::cerr << "orx-cli: " << e.what() << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "dump")
        return runDump(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    return usage("unknown command: " + command);
}
