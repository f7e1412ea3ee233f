#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tools/orx-cli/Cli.h"
#include "tools/orx-cli/Csv.h"

#include <iostream>

namespace orx::cli {

bool parseTab(const std::string& s, int& out)
{
    if (s.empty() || s.size() > 2)
        return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    return out < kBlockCount;
}

int runDump(const Args& args)
{
    std::string file;
    int tab = 0;
    std::string sortColumn;
    bool descending = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tab" && i + 1 < args.size()) {
            if (!parseTab(args[++i], tab))
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

    ArchiveTable table;
    if (!openTable(table, file))
        return kExitDamaged;
    try {
        table.setFilter(ArchiveTable::blockFilter(tab));
        table.setFiltered(true);
        if (!sortColumn.empty()) {
            const std::string column = utf8ToCp1251(sortColumn);
            try {
                table.fieldIndex(column);
            } catch (const StorageError&) {
                table.release();
                return usage("no column " + sortColumn);
            }
            table.setSortOrder(column, descending);
        }
        const std::vector<std::string> columns = blockColumns(tab);
        std::vector<int> fields;
        for (const std::string& c : columns)
            fields.push_back(table.fieldIndex(c));
        std::ios::sync_with_stdio(false);
        writeCsvLine(std::cout, columns);
        std::vector<std::string> values(columns.size());
        for (table.first(); !table.eof(); table.next()) {
            for (std::size_t i = 0; i < fields.size(); ++i)
                values[i] = cp1251ToUtf8(table.readText(fields[i]));
            writeCsvLine(std::cout, values);
        }
        std::cout.flush();
    } catch (const StorageError& e) {
        std::cerr << "orx-cli: " << e.what() << "\n";
        table.release();
        return kExitError;
    }
    table.release(); // a dump leaves the file as it was
    return kExitOk;
}

} // namespace orx::cli
