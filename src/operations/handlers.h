// The six operation buttons of the table page, each one run of its button from start to end under
// the error trap of its location, and the Access renaming procedure they share.
//
// Every handler makes its own database objects through `objects`, reads the folder, file and
// password from the connection page's boxes when it needs them, and reaches the lists, the
// progress bar, the pointer and the dialogs only through the context.
#pragma once

#include <QString>
#include <memory>

#include "shell/failure.h"
#include "shell/page_hooks.h"
#include "sources/database_access.h"

namespace qv::ops {

inline constexpr char kSendToParadoxLocation[] = "Form2.PushButton3_Click";
inline constexpr char kSendToAccessLocation[] = "Form2.PushButton4_Click";
inline constexpr char kDeleteAccessLocation[] = "Form2.PushButton1_Click";
inline constexpr char kDeleteParadoxLocation[] = "Form2.PushButton5_Click";
inline constexpr char kRenameAccessLocation[] = "Form2.PushButton6_Click";
inline constexpr char kRenameParadoxLocation[] = "Form2.PushButton7_Click";

void SendToParadox(shell::TablePageContext& page, sources::DatabaseObjects& objects);           // PushButton3
void SendToAccess(shell::TablePageContext& page, sources::DatabaseObjects& objects);            // PushButton4
void DeleteAccessTables(shell::TablePageContext& page, sources::DatabaseObjects& objects);      // PushButton1
void DeleteParadoxTables(shell::TablePageContext& page);                                        // PushButton5
void RenameAccessTableClick(shell::TablePageContext& page, sources::DatabaseObjects& objects);  // PushButton6
void RenameParadoxTable(shell::TablePageContext& page, sources::DatabaseObjects& objects);      // PushButton7

// Gives the Access table `old_name` the name `new_name` in the database `file`: copies it under
// the new name ("SELECT a1.* INTO `new` FROM `old` AS a1;") and drops the old one. When another
// table already has the new name (ignoring case) the user is asked "Would you like to overwrite
// NEW?"; Yes replaces it in one change of the database (ALTER TABLE ... RENAME TO ... REPLACE),
// No changes nothing and gives false. A new name equal to the old one changes nothing (false);
// one that differs only in letter case is a rename of the catalog entry.
// No trap of its own: a failure ends it and reaches the caller's trap. `fields` are the
// connection page's boxes, which the Access source reads when `file` is empty.
bool RenameAccessTable(shell::WindowSystem& windows, sources::DatabaseObjects& objects,
                       const QString& old_name, const QString& new_name, const QString& file,
                       const QString& password, const shell::ConnectionFields& fields);

// Before a send to, a deletion in or a renaming in the Access database `file`: when the program
// can read but not change it (a file that is read-only) this says so once,
// in one message, and gives true; nothing has been done then. False for a file that can be
// written or that does not exist (opening it reports that as before).
bool RefuseUnwritableAccess(shell::WindowSystem& windows, const QString& file);

// An object that the factory could not make: the failure the runtime gives for an unset object.
template <typename T>
T& Use(const std::unique_ptr<T>& object) {
  if (!object) shell::Fail(91, QStringLiteral("Object variable or With block variable not set"));
  return *object;
}

}  // namespace qv::ops
