// Start-up of the connection page (its Form_Load), under the trap "Form1.Form_Load":
//   100 ApplySkin, 104 MaybeOpenHomePage, 108 caption, icon and application title,
//   126 test for the hand cursor file, 128 load it, 130/132/134 restore the three settings,
//   then the start-up jump and the prerequisite check (136 to 142, StartupJump).
#pragma once

#include <QString>

#include "shell/home_page.h"
#include "shell/page_hooks.h"
#include "shell/settings_store.h"
#include "shell/window_system.h"

namespace qv::shell {

inline constexpr char kStartupLocation[] = "Form1.Form_Load";

// What start-up does to the connection page.
class StartupPage {
 public:
  virtual ~StartupPage() = default;
  // Background of the page and of its option buttons, check boxes, frames and labels to the
  // system colour of button faces.
  virtual void ApplyFaceColors() = 0;
  // Applies a skin, given as a Qt style sheet, to the page.
  virtual void ApplyStyleSheet(const QString& style_sheet) = 0;
  virtual void SetCaption(const QString& caption) = 0;
  virtual void SetProductIcon() = 0;
  // Loads a cursor file as the page's custom pointer image; a file that is no cursor is a failure.
  virtual void LoadCustomPointer(const QString& cursor_file) = 0;
  // Setting a text that differs from the box's text fires its change event (write-through).
  virtual void SetParadoxFolderText(const QString& text) = 0;
  virtual void SetAccessFileText(const QString& text) = 0;
  virtual void SetAccessPasswordText(const QString& text) = 0;
};

struct StartupServices {
  WindowSystem& windows;
  SettingsStore& settings;
  QString program_folder;
  RandomSource random;
  UrlOpener open_url;
};

// ApplySkin: when program folder + "x/o.cjs" is an ordinary file, resets the page's colours
// and applies the file as a style sheet; otherwise changes nothing. A file that cannot be read
// is a failure.
void ApplySkin(StartupPage& page, const QString& program_folder);

// Runs the start-up sequence, labels 100 to 134, and then `jump` (when given) under the same trap.
void RunStartup(StartupPage& page, StartupServices& services, StartupJump* jump,
                ConnectionPageContext* context);

}  // namespace qv::shell
