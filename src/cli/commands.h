// The subcommands of quorvella-cli over the window program's own sources and operations: each
// fills the terminal's lists as "Next >" fills the table page's, selects the tables the command
// line names, runs the operation of the matching button and sums up what it reported.
#pragma once

#include "cli/command_line.h"

namespace qv::cli {

// Runs a parsed command line; the result is the exit status.
int RunCommand(const CommandLine& line);

}  // namespace qv::cli
