#pragma once

// What the export and report commands share: their arguments, and the table
// opened read-only with the tab's filter and the asked order in force, as the
// main window has it when the operator gives the command.

#include "tools/orx-cli/Cli.h"

#include <string>

namespace orx::cli {

struct TabCommandArgs
{
    std::string file;
    int tab = -1;
    std::string output;
    std::string sortColumn; // UTF-8
    bool descending = false;
};

// Parses FILE --tab N [-o OUT] [--sort COLUMN [--desc]]. Returns an empty
// string when they are well formed, or what is wrong.
std::string parseTabCommandArgs(const Args& args, const std::string& command, bool needOutput,
                                TabCommandArgs& out);

// Opens the table and puts the tab's filter and the sort order in force.
// Returns kExitOk, or prints the reason and returns the exit status.
int openTabTable(ArchiveTable& table, const TabCommandArgs& args);

// The text the general error box shows: a full stop added when it lacks one.
std::string errorBoxText(const std::string& text);

} // namespace orx::cli
