#include "tools/orx-cli/TabCommand.h"

#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "storage/UserTexts.h"

#include <iostream>

namespace orx::cli {

std::string parseTabCommandArgs(const Args& args, const std::string& command, bool needOutput,
                                TabCommandArgs& out)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tab" && i + 1 < args.size()) {
            if (!parseTab(args[++i], out.tab))
                return "--tab takes a number from 0 to 20";
        } else if (a == "-o" && i + 1 < args.size()) {
            out.output = args[++i];
        } else if (a == "--sort" && i + 1 < args.size()) {
            out.sortColumn = args[++i];
        } else if (a == "--desc") {
            out.descending = true;
        } else if (!a.empty() && a[0] != '-' && out.file.empty()) {
            out.file = a;
        } else {
            return "unexpected argument: " + a;
        }
    }
    if (out.file.empty())
        return command + " needs a table file";
    if (out.tab < 0)
        return command + " needs --tab N";
    if (needOutput && out.output.empty())
        return command + " needs -o OUT";
    if (out.descending && out.sortColumn.empty())
        return "--desc goes with --sort";
    return std::string();
}

int openTabTable(ArchiveTable& table, const TabCommandArgs& args)
{
    try {
        table.open(args.file);
    } catch (const StorageError&) {
        std::cerr << kTextDatabaseDamaged << "\n";
        return kExitDamaged;
    }
    try {
        table.setFilter(ArchiveTable::blockFilter(args.tab));
        table.setFiltered(true);
        if (!args.sortColumn.empty()) {
            const std::string column = utf8ToCp1251(args.sortColumn);
            try {
                table.fieldIndex(column);
            } catch (const StorageError&) {
                table.release();
                return usage("no column " + args.sortColumn);
            }
            table.setSortOrder(column, args.descending);
        }
    } catch (const StorageError& e) {
        std::cerr << errorBoxText(e.what()) << "\n";
        table.release();
        return kExitError;
    }
    return kExitOk;
}

std::string errorBoxText(const std::string& text)
{
    if (!text.empty() && text.back() == '.')
        return text;
    return text + ".";
}

} // namespace orx::cli
