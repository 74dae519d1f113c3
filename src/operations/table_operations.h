// The table page's six operation buttons over the program's database objects.
#pragma once

#include "shell/page_hooks.h"
#include "sources/database_access.h"

namespace qv::ops {

class TableOperations : public shell::TablePageOperations {
 public:
  // `objects` makes the connections and record sets of every run; the program's own by default.
  explicit TableOperations(sources::DatabaseObjects& objects = sources::DefaultObjects())
      : objects_(objects) {}

  void SendToParadox(shell::TablePageContext& page) override;
  void SendToAccess(shell::TablePageContext& page) override;
  void DeleteAccessTables(shell::TablePageContext& page) override;
  void DeleteParadoxTables(shell::TablePageContext& page) override;
  void RenameAccessTable(shell::TablePageContext& page) override;
  void RenameParadoxTable(shell::TablePageContext& page) override;

 private:
  sources::DatabaseObjects& objects_;
};

}  // namespace qv::ops
