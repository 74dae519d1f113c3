// A table page without a window for operation tests: memory lists, progress and pointer, the
// scripted window system, the three connection fields, and real temporary folders.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "engine/core/value.h"
#include "shell/memory_table_list.h"
#include "shell/page_hooks.h"
#include "shell/page_pointer.h"
#include "support/memory_page.h"
#include "support/scripted_window_system.h"

namespace qv::ops::testing {

struct Fields : shell::ConnectionFields {
  QString folder, file, password;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return file; }
  QString accessPassword() const override { return password; }
};

// One error report as the scripted window system saw it.
struct Report {
  QString description;
  QString location;
  int label = 0;
  QString statement;  // after "sql: ", for the statement variant
};

struct TestPage {
  shell::MemoryTableList access;
  shell::MemoryTableList paradox;
  shell::MemoryProgress progress;
  shell::MemoryPointer pointer;
  shell::ScriptedWindowSystem windows;
  Fields fields;
  shell::TablePageContext context{windows, fields, {access, paradox, progress, pointer}};

  // Fills a list with names and selects those in `selected`; the current row is the first
  // selected one (or -1 when none is).
  static void Fill(shell::MemoryTableList& list, const QStringList& names, const QStringList& selected);
  std::vector<Report> reports() const;
  // Texts of the message boxes that are not error reports, in order.
  QStringList messageTexts() const;
  QStringList messageTitles() const;
};

QString CorpusFile(const QString& relative);
// The connection strings of an Access file without password and of a Paradox folder.
std::string AccessString(const QString& file);
std::string ParadoxString(const QString& folder);
// Copies a file into `folder` and returns the copy's path.
QString CopyInto(const QString& file, const QString& folder);
// Writes a Paradox table through the Paradox engine.
void WriteParadoxTable(const QString& folder, const std::string& name, const std::vector<Column>& columns,
                       const std::vector<Row>& rows);
// Every row of a Paradox table, through the Paradox engine.
std::vector<Row> ReadParadoxTable(const QString& folder, const std::string& name);
// Names of the files in a folder, sorted.
QStringList FileNames(const QString& folder);

}  // namespace qv::ops::testing
