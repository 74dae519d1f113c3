// The running program: the one connection page and the one table page (created on first use),
// the flow between them, start-up and the end when either page is closed.
#pragma once

#include <memory>

#include "pages/connection_page.h"
#include "pages/qt_window_system.h"
#include "pages/table_page.h"
#include "shell/home_page.h"
#include "shell/page_hooks.h"
#include "shell/settings_store.h"

namespace qv::pages {

class Program : public shell::PageFlow {
 public:
  struct Options {
    // Left empty, the program uses its Qt window system, QSettings and the real browser.
    shell::WindowSystem* windows = nullptr;
    shell::SettingsStore* settings = nullptr;
    QString program_folder;  // empty: the folder of the program's files (shell::ResourceFolder)
    QString data_folder;     // empty: the user's data folder, where the sample copy lives
    shell::RandomSource random;
    shell::UrlOpener open_url;
    // The work behind "Next >", "Test Connection", the table page's operation buttons and the
    // last steps of start-up. Any of them may be missing; its buttons then do nothing.
    shell::ConnectionPageActions* connection_actions = nullptr;
    shell::TablePageOperations* table_operations = nullptr;
    shell::StartupJump* startup_jump = nullptr;
  };

  explicit Program(Options options);
  ~Program() override;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs the connection page's load (start-up) and shows it, unless the start-up jump already
  // moved on to the table page.
  void Start();

  ConnectionPage& connectionPage() { return *connection_page_; }
  // The table page; the first call creates it and runs its load.
  TablePage& tablePage();
  bool tablePageCreated() const { return table_page_ != nullptr; }
  bool ended() const { return ended_; }
  shell::WindowSystem& windows() { return *windows_; }

  // shell::PageFlow
  shell::TablePageParts UseTablePage() override { return tablePage().Parts(); }
  void ShowTablePage() override;
  void HideTablePage() override;
  void ShowConnectionPage() override;
  void HideConnectionPage() override;

  // The program ends: every window goes and the event loop is told to stop. Settings need no
  // saving here; they were saved as they were typed.
  void End();

 private:
  Options options_;
  std::unique_ptr<QtWindowSystem> own_windows_;
  std::unique_ptr<shell::SettingsStore> own_settings_;
  shell::WindowSystem* windows_ = nullptr;
  shell::SettingsStore* settings_ = nullptr;
  QString program_folder_;
  std::unique_ptr<ConnectionPage> connection_page_;
  std::unique_ptr<pages::TablePage> table_page_;
  bool ended_ = false;
};

}  // namespace qv::pages
