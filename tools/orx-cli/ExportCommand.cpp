// orx-cli export: the workbook of one tab, as "Экспорт в Excel" writes it.

#include "export/ExcelExport.h"
#include "storage/ArchiveTable.h"
#include "tools/orx-cli/TabCommand.h"

#include <iostream>

namespace orx::cli {

int runExport(const Args& args)
{
    TabCommandArgs a;
    const std::string wrong = parseTabCommandArgs(args, "export", false, a);
    if (!wrong.empty())
        return usage(wrong);
    ArchiveTable table;
    if (const int status = openTabTable(table, a); status != kExitOk)
        return status;
    const std::string out = a.output.empty() ? workbookPathFor(a.file) : a.output;
    try {
        exp2excel(table, a.tab, out);
    } catch (const std::exception& e) {
        std::cerr << errorBoxText(e.what()) << "\n";
        table.release();
        return kExitError;
    }
    table.release(); // an export leaves the table file as it was
    std::cout << out << "\n";
    return kExitOk;
}

} // namespace orx::cli
