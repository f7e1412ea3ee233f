#pragma once

#include <string>
#include <vector>

namespace orx {
class ArchiveImage;
class ArchiveTable;
} // namespace orx

namespace orx::cli {

// Exit status of orx-cli.
enum ExitCode
{
    kExitOk = 0,
    kExitError = 1,    // usage or other error
    kExitNotFound = 2, // no instrument on either port
    kExitDamaged = 3,  // the table file does not open
    kExitEmpty = 4,    // the instrument's archive is empty
    kExitWrongDevice = 5,
    kExitBadStream = 6,
    kExitNoAnswer = 7, // the instrument stopped answering (orx-cli's silence rule)
    kExitInterrupted = 130,
};

using Args = std::vector<std::string>;

int usage(const std::string& why = std::string());
// A tab number from 0 to 20 ("--tab N").
bool parseTab(const std::string& text, int& tab);
void printUsage();

int runDump(const Args& args);
int runDecode(const Args& args);
int runDownload(const Args& args, bool append);
int runPorts(const Args& args);
int runExport(const Args& args);
int runReport(const Args& args);
int runStats(const Args& args);

// Opens a table; when it does not open, says "База данных повреждена !" and
// on a second line the path and the reason.
bool openTable(ArchiveTable& table, const std::string& file);
// Puts a downloaded or saved archive into the table as "Создать" or
// "Дополнить" do, prints the total and returns the exit status.
int storeArchive(ArchiveTable& table, const std::string& file, const ArchiveImage& image, bool append);

} // namespace orx::cli
