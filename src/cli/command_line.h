// The command line of quorvella-cli: a subcommand, its options and its operands, and the help
// text of each subcommand.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "cli/terminal_window_system.h"

namespace qv::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;  // every table went through
inline constexpr int kExitSomeNot =
    1;  // some table did not (failed, skipped, not found), or a failure outside them
inline constexpr int kExitUsage = 2;  // the command line itself is wrong

struct CommandLine {
  QString command;  // tables, to-paradox, to-access, delete, rename; empty for the general help
  QStringList operands;
  bool help = false;
  bool version = false;
  bool all = false;
  bool json = false;
  OverwritePolicy overwrite = OverwritePolicy::kAsk;
  QString password_file;
  bool ask_password = false;
  // The code page of Paradox tables written by to-paradox belongs here, as --code-page NAME,
  // once the Paradox writer takes one; until then the option is not accepted.
};

struct UsageError {
  QString message;
  QString command;  // whose help to point at; empty for the general one
};

// Parses the arguments after the program name. Options may stand anywhere after the
// subcommand; "--" ends them.
std::optional<CommandLine> ParseCommandLine(const QStringList& arguments, UsageError* error);

// The help of a subcommand, or the general help for an empty or unknown one.
QString HelpText(const QString& command);

}  // namespace qv::cli
