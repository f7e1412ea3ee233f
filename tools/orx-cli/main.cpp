// orx-cli: the jobs of the program without windows, for scripts and
// scheduled readouts.

#include "tools/orx-cli/Cli.h"

#include <csignal>
#include <exception>
#include <iostream>

namespace orx::cli {

namespace {
const char* const kUsage =
    "usage:\n"
    "  orx-cli dump FILE [--tab N] [--sort COLUMN] [--desc]\n"
    "      print the visible rows of tab N (0 = operational, k = observation k) as CSV\n"
    "  orx-cli decode IMAGE FILE [--append]\n"
    "      decode a saved archive image into a new table FILE, or append it to FILE\n"
    "  orx-cli download FILE [--raw IMAGE] [--timeout SECONDS]\n"
    "      download the instrument's archive (COM1, then COM2) into a new table FILE\n"
    "  orx-cli append FILE [--raw IMAGE] [--timeout SECONDS]\n"
    "      download and add the readings newer than those stored in FILE\n"
    "  orx-cli export|report FILE --tab N [-o OUT] [--sort COLUMN [--desc]]\n"
    "      tab N as a workbook (OUT by default ВЕЛАРИ-5.xlsx beside FILE) or a PDF report (-o needed)\n"
    "  orx-cli stats FILE [--tab N]\n"
    "      per block (all, or tab N): block, rows, first and last reading, lowest, mean and\n"
    "      highest temperature, count of stored texts that do not parse and the first of them,\n"
    "      separated by tabs, one line per block\n"
    "  orx-cli ports\n"
    "      list the serial ports and whether they can be opened\n"
    "\n"
    "COM1 and COM2 are the devices in ORX_COM1 and ORX_COM2 (default /dev/ttyS0, /dev/ttyS1).\n"
    "--raw keeps the downloaded archive image in a file, for 'orx-cli decode'.\n"
    "--timeout ends the exchange when an instrument that has answered makes no progress\n"
    "for that many seconds (default 10, 0 for none); 'Z' (busy) is no progress.\n"
    "Exit status: 0 done, 1 error, 2 no instrument, 3 table damaged, 4 archive empty,\n"
    "5 wrong instrument, 6 bad data from the instrument, 7 the instrument stopped\n"
    "answering, 130 interrupted.\n";
}

void printUsage() { std::cout << kUsage; }

int usage(const std::string& why)
{
    if (!why.empty())
        std::cerr << "orx-cli: " << why << "\n";
    std::cerr << kUsage;
    return kExitError;
}

} // namespace orx::cli

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file-size limit then shows as a failed write, reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    using namespace orx::cli;
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    try {
        if (command == "dump")
            return runDump(args);
        if (command == "decode")
            return runDecode(args);
        if (command == "download")
            return runDownload(args, false);
        if (command == "append")
            return runDownload(args, true);
        if (command == "export" || command == "report")
            return command == "export" ? runExport(args) : runReport(args);
        if (command == "stats")
            return runStats(args);
        if (command == "ports")
            return runPorts(args);
    } catch (const std::exception& e) {
        // Whatever the commands do not expect (memory running out, say) still
        // ends with a message and the error status, not an abort.
        std::cerr << "orx-cli: " << e.what() << "\n";
        return kExitError;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage();
        return kExitOk;
    }
    return usage("unknown command: " + command);
}
