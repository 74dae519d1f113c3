// Where the command-line program takes the Access password from: never its own command line,
// which other users of the machine can read. In this order: --password-file (a file, or "-" for
// standard input: its first line), --ask-password (a prompt on the terminal without echo), the
// environment variable QUORVELLA_PASSWORD; no password otherwise.
#pragma once

#include <QString>
#include <optional>

namespace qv::cli {

inline constexpr char kPasswordVariable[] = "QUORVELLA_PASSWORD";

// The first line of the file (or of standard input for "-"), without its line end. Fails
// (qv::Error 3024 or 75) naming the file when it cannot be read.
QString ReadPasswordFile(const QString& path);

// Asks on the controlling terminal with echo off; nothing when there is no terminal.
std::optional<QString> AskPasswordWithoutEcho(const QString& prompt);

}  // namespace qv::cli
