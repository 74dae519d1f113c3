// The uniform error report and the short error message.
//
// Report text, byte for byte: description, CR LF, "in <word>.<location> ", "at line ", label,
// CR CR, "Please email screenshot of this message to <address>" and nothing after it. The
// statement variant appends CR CR, "sql: " and the statement text.
#pragma once

#include <QString>
#include <optional>

#include "shell/failure.h"
#include "shell/window_system.h"

namespace qv::shell {

inline constexpr char kErrorReportTitle[] = "Application Error";

// "in Tessaline2016/11/03.<location> " (ending in one blank).
QString LocationText(const QString& location);

QString ErrorReportText(const QString& description, const QString& location, int label,
                        const std::optional<QString>& statement = std::nullopt);

// "<description> (Error Number = <number>)".
QString ShortErrorText(const QString& description, int number);

// Shows the report: title "Application Error", warning icon, OK only; returns once closed.
void ShowErrorReport(WindowSystem& windows, const QString& description, const QString& location, int label,
                     const std::optional<QString>& statement = std::nullopt);
// The same for a caught failure; the window system also learns the failure's number.
void ShowErrorReport(WindowSystem& windows, const Failure& failure, const QString& location, int label,
                     const std::optional<QString>& statement = std::nullopt);

// Shows the short form: OK only, no icon, the application title.
void ShowShortError(WindowSystem& windows, const QString& description, int number);

}  // namespace qv::shell
