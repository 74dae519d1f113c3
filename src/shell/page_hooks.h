// The seams between the pages and the work that the data sources and the table operations do.
// The pages call these hooks from their buttons; whoever implements them gets everything they
// may touch in a context, so they can be driven in tests with MemoryTableList, MemoryPointer and
// ScriptedWindowSystem and no window at all.
#pragma once

#include <QString>

#include "shell/error_trap.h"
#include "shell/page_pointer.h"
#include "shell/table_list.h"
#include "shell/window_system.h"

namespace qv::shell {

// The three text boxes of the connection page, read at the moment they are needed (also while
// the page is hidden).
class ConnectionFields {
 public:
  virtual ~ConnectionFields() = default;
  virtual QString paradoxFolder() const = 0;   // Text1
  virtual QString accessFile() const = 0;      // Text2
  virtual QString accessPassword() const = 0;  // Text3
  // The two code-page settings (settings_store.h), read when needed; empty: automatic for new
  // Paradox tables, the file header's for Access 97 text.
  virtual QString paradoxCodePage() const { return {}; }
  virtual QString accessCodePage() const { return {}; }
};

// The table page as operations see it.
struct TablePageParts {
  TableList& access_list;   // List1
  TableList& paradox_list;  // List2
  ProgressIndicator& progress;
  PagePointer& pointer;
};

// Moving between the pages. UseTablePage() creates and loads the table page on first use.
class PageFlow {
 public:
  virtual ~PageFlow() = default;
  virtual TablePageParts UseTablePage() = 0;
  virtual void ShowTablePage() = 0;
  virtual void HideTablePage() = 0;
  virtual void ShowConnectionPage() = 0;
  virtual void HideConnectionPage() = 0;
};

struct ConnectionPageContext {
  WindowSystem& windows;
  const ConnectionFields& fields;
  PagePointer& pointer;  // the connection page's pointer
  PageFlow& flow;
};

// "Next >" and "Test Connection" of the connection page. Each carries its own error trap
// (locations Form1.PushButton2_Click and Form1.PushButton3_Click).
class ConnectionPageActions {
 public:
  virtual ~ConnectionPageActions() = default;
  virtual void Next(ConnectionPageContext& page) = 0;
  virtual void TestConnection(ConnectionPageContext& page) = 0;
};

struct TablePageContext {
  WindowSystem& windows;
  const ConnectionFields& fields;
  TablePageParts page;
};

// The six operation buttons of the table page; each carries its own error trap under its
// button's location (Form2.PushButton3_Click and so on).
class TablePageOperations {
 public:
  virtual ~TablePageOperations() = default;
  virtual void SendToParadox(TablePageContext& page) = 0;        // PushButton3
  virtual void SendToAccess(TablePageContext& page) = 0;         // PushButton4
  virtual void DeleteAccessTables(TablePageContext& page) = 0;   // PushButton1
  virtual void DeleteParadoxTables(TablePageContext& page) = 0;  // PushButton5
  virtual void RenameAccessTable(TablePageContext& page) = 0;    // PushButton6
  virtual void RenameParadoxTable(TablePageContext& page) = 0;   // PushButton7
};

// The last steps of start-up (labels 136 to 142): the jump to the table page when the restored
// folder and file are usable, and the check that databases can be reached. They run under the
// start-up trap, which they receive.
class StartupJump {
 public:
  virtual ~StartupJump() = default;
  virtual void Run(ErrorTrap& startup_trap, ConnectionPageContext& page) = 0;
};

}  // namespace qv::shell
