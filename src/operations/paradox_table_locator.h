// Which table file an entry of the Paradox list stands for.
//
// The list shows bare names for the tables of the Paradox folder and of all its subfolders, so an
// entry alone does not say where its table lives. An entry stands for a table of its name (letter
// case ignored) that the current run has not handled yet:
// - first, one whose file is named exactly as the entry (letter case included): a table renamed
//   in this session is listed as its new name was typed, and its file carries that name, so it
//   stays with its own entry even where another folder holds a table of the same name;
// - otherwise the first in the list filler's order: the folder itself, then its subfolders
//   breadth-first.
// A name found once is therefore that one table wherever it lives, and entries of one name
// selected together stand for different tables, so no run reads, deletes or renames one table in
// place of another.
//
// The folder itself is looked at first and directly; the subfolders are scanned, once per run,
// only when it holds no table named exactly as the entry.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "shell/window_system.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"

namespace qv::ops {

class ParadoxTableLocator {
 public:
  // `folder` is the folder box's text; `windows` is yielded to while the subfolders are scanned.
  ParadoxTableLocator(QString folder, shell::WindowSystem& windows)
      : folder_(std::move(folder)), windows_(windows) {}

  // The table `name` stands for, or std::nullopt when the folder and its subfolders hold no table
  // of that name that this run has not handled (a folder that cannot be scanned holds none).
  std::optional<sources::ListedParadoxTable> Find(const QString& name);
  // Takes the table out of what later entries of the same run may stand for.
  void MarkHandled(const sources::ListedParadoxTable& table);

  // The connection through which the table is reached: `start` (the run's connection on the
  // folder itself) for a table of the folder, otherwise a connection opened for this run on the
  // table's own folder with the same cursor location and mode. Throws what opening throws.
  sources::Connection& ConnectionFor(const sources::ListedParadoxTable& table, sources::Connection& start,
                                     sources::DatabaseObjects& objects);

 private:
  bool Handled(const QString& path) const;

  QString folder_;
  shell::WindowSystem& windows_;
  std::optional<std::vector<sources::ListedParadoxTable>> scan_;
  QStringList handled_;
  std::map<QString, std::unique_ptr<sources::Connection>> folder_connections_;
};

}  // namespace qv::ops
