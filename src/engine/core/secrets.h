// Passwords and keys in a process: kept out of core dumps, and taken by tools from places other
// users cannot see (never the command line, which every user reads through ps).
#pragma once

#include <string>

namespace qv {

// Turns core dumps off for the rest of the process (the dumpable flag and the core size limit):
// called when a password or key comes into memory. Once off they stay off; a dump of a process
// that has held a secret could still hold it.
void KeepSecretsOutOfCoreDumps();

// Takes the password from a tool's option and returns true, or returns false when `option` is
// none of these:
//   --password-file=FILE   the first line of FILE ("-": standard input)
//   --password-env=NAME    the environment variable NAME
//   --password-prompt      asked on the terminal, not echoed
// Throws qv::Error (3001) when the file or variable cannot be read. `option` = "--password=..."
// is refused with a message saying why and what to use instead.
bool TakePasswordOption(const std::string& option, std::string& password);

}  // namespace qv
