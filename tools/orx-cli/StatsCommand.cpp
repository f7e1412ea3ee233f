// orx-cli stats: the summary of each block, as the program's status line
// shows it for the current tab, one tab-separated line per block.

#include "archive/BlockSummary.h"
#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"
#include "tools/orx-cli/Cli.h"

#include <iostream>

namespace orx::cli {

namespace {

std::string value(const std::optional<double>& v) { return v ? formatTemperature(*v) : std::string(); }

void printLine(const BlockSummary& s)
{
    const std::size_t bad = s.badMoments + s.badTemperatures;
    std::cout << s.block << '\t' << s.rows << '\t' << s.first << '\t' << s.last << '\t'
              << value(s.minimum) << '\t' << value(s.mean) << '\t' << value(s.maximum) << '\t'
              << bad << '\t' << (bad ? cp1251ToUtf8(s.firstBad) : std::string()) << '\n';
}

} // namespace

int runStats(const Args& args)
{
    std::string file;
    int tab = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tab" && i + 1 < args.size()) {
            if (!parseTab(args[++i], tab))
                return usage("--tab takes a number from 0 to 20");
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            return usage("unexpected argument: " + a);
        }
    }
    if (file.empty())
        return usage("stats needs a table file");
    ArchiveTable table;
    if (!openTable(table, file))
        return kExitDamaged;
    try {
        for (int block = 0; block < kBlockCount; ++block)
            if (tab < 0 || block == tab)
                printLine(summarizeBlock(table, block));
        table.release();
    } catch (const std::exception& e) {
        std::cerr << "orx-cli: " << e.what() << "\n";
        return kExitError;
    }
    return kExitOk;
}

} // namespace orx::cli
