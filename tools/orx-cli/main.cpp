// orx-cli: the jobs of the program without windows, for scripts and
// scheduled readouts.

#include "tools/orx-cli/Cli.h"

#include <csignal>
#include <iostream>

namespace orx::cli {

namespace {
const char* const kUsage =
    "usage:\n"
    "  orx-cli dump FILE [--tab N] [--sort COLUMN] [--desc]\n"
    "      print the visible rows of tab N (0 = operational, k = observation k) as CSV\n"
    "  orx-cli decode IMAGE FILE [--append]\n"
    "      decode a saved archive image into a new table FILE, or append it to FILE\n";
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
    if (command == "dump")
        return runDump(args);
    if (command == "decode")
        return runDecode(args);
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage();
        return kExitOk;
    }
    return usage("unknown command: " + command);
}
