// The work behind the connection page's "Next >" and "Test Connection", the last steps of
// start-up (the jump to the table page and the check that databases can be reached) and
// CheckAccessInstalled.
#pragma once

#include "shell/page_hooks.h"
#include "sources/database_access.h"

namespace qv::sources {

inline constexpr char kAccessNotInstalled[] =
    "Access is not installed on this computer. You need to have it installed to use this software without "
    "error.";

// Makes a connection object; when none results, says that Access is not installed. Every failure
// inside is ignored.
void CheckAccessInstalled(shell::WindowSystem& windows, DatabaseObjects& objects);

class ConnectionActions final : public shell::ConnectionPageActions, public shell::StartupJump {
 public:
  explicit ConnectionActions(DatabaseObjects& objects = DefaultObjects()) : objects_(objects) {}

  // "Next >" (Form1.PushButton2_Click).
  void Next(shell::ConnectionPageContext& page) override;
  // "Test Connection" (Form1.PushButton3_Click).
  void TestConnection(shell::ConnectionPageContext& page) override;
  // Start-up labels 136 to 142.
  void Run(shell::ErrorTrap& startup_trap, shell::ConnectionPageContext& page) override;

 private:
  DatabaseObjects& objects_;
};

}  // namespace qv::sources
