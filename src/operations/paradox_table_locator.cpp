#include "operations/paradox_table_locator.h"

#include <QDir>
#include <QFileInfo>

#include "engine/core/error.h"
#include "operations/table_files.h"
#include "sources/access_source.h"

namespace qv::ops {
namespace {
QString Clean(const QString& path) {
  return QDir::cleanPath(path);
}
}  // namespace

bool ParadoxTableLocator::Handled(const QString& path) const {
  return handled_.contains(Clean(path));
}

std::optional<sources::ListedParadoxTable> ParadoxTableLocator::Find(const QString& name) {
  if (folder_.isEmpty() || name.isEmpty()) return std::nullopt;
  std::vector<sources::ListedParadoxTable> own;
  for (const QString& path : TableFiles(folder_, name)) {
    sources::ListedParadoxTable table;
    table.file = QFileInfo(path).fileName();
    if (table.file.startsWith(QLatin1Char('~')) || Handled(path)) continue;  // "~" files are never listed
    table.name = sources::ParadoxTableName(table.file);
    table.folder = folder_;
    table.in_start_folder = true;
    if (table.providerName() == name) return table;
    own.push_back(std::move(table));
  }
  if (!scan_) {
    try {
      scan_ = sources::ScanParadoxTables(folder_, [this] { windows_.Yield(); });
    } catch (const Error&) {
      scan_.emplace();  // nothing more to be found where nothing can be listed
    }
  }
  const auto usable = [&](const sources::ListedParadoxTable& table) {
    return table.name.compare(name, Qt::CaseInsensitive) == 0 && !Handled(table.path()) &&
           QFileInfo(table.path()).isFile();
  };
  for (const sources::ListedParadoxTable& table : *scan_)
    if (usable(table) && table.providerName() == name) return table;
  if (!own.empty()) return own.front();
  for (const sources::ListedParadoxTable& table : *scan_)
    if (usable(table)) return table;
  return std::nullopt;
}

void ParadoxTableLocator::MarkHandled(const sources::ListedParadoxTable& table) {
  handled_ << Clean(table.path());
}

sources::Connection& ParadoxTableLocator::ConnectionFor(const sources::ListedParadoxTable& table,
                                                        sources::Connection& start,
                                                        sources::DatabaseObjects& objects) {
  if (table.in_start_folder) return start;
  std::unique_ptr<sources::Connection>& connection = folder_connections_[Clean(table.folder)];
  if (!connection) {
    std::unique_ptr<sources::Connection> made = sources::MakeConnection(objects);
    made->CursorLocation = start.CursorLocation;
    made->Mode = start.Mode;
    made->Open(sources::ParadoxConnectionString(table.folder).toStdString());
    connection = std::move(made);
  }
  return *connection;
}

}  // namespace qv::ops
