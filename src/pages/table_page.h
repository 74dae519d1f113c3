// The table page (Form2): the Access tables and the Paradox tables, each list with its
// selection, send, delete and rename buttons; the progress bar, "< Back" and "Help".
#pragma once

#include <QGroupBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "pages/page.h"
#include "pages/widget_table_list.h"
#include "shell/page_hooks.h"
#include "shell/window_system.h"

namespace qv::pages {

class TablePage : public Page {
 public:
  struct Services {
    shell::WindowSystem& windows;
    const shell::ConnectionFields& fields;
    QString program_folder;
  };
  explicit TablePage(Services services);

  void SetFlow(shell::PageFlow* flow) { flow_ = flow; }
  void SetOperations(shell::TablePageOperations* operations) { operations_ = operations; }

  // The load steps (Form2.Form_Load); the program runs them once, on first use.
  void Load();

  shell::TablePageParts Parts() { return {access_list_, paradox_list_, progress_, *this}; }

  // The handlers, as the buttons run them.
  void SelectAllAccess();     // PushButton10
  void DeselectAllAccess();   // PushButton11
  void SelectAllParadox();    // PushButton8
  void DeselectAllParadox();  // PushButton9
  void Back();                // PushButton2
  void Help();                // PushButton12

  QGroupBox* frame1_;
  QListWidget* list1_;
  QPushButton* push_button10_;
  QPushButton* push_button11_;
  QPushButton* push_button3_;
  QPushButton* push_button1_;
  QPushButton* push_button6_;
  QGroupBox* frame2_;
  QListWidget* list2_;
  QPushButton* push_button8_;
  QPushButton* push_button9_;
  QPushButton* push_button4_;
  QPushButton* push_button5_;
  QPushButton* push_button7_;
  QProgressBar* progress_bar1_;
  QPushButton* push_button2_;
  QPushButton* push_button12_;

 private:
  void Build();
  void RunOperation(void (shell::TablePageOperations::*operation)(shell::TablePageContext&));
  void SetAllSelected(const QString& location, QListWidget* list, bool selected);

  Services services_;
  shell::PageFlow* flow_ = nullptr;
  shell::TablePageOperations* operations_ = nullptr;
  WidgetTableList access_list_;
  WidgetTableList paradox_list_;
  WidgetProgress progress_;
};

// "Questions? Please contact Team Kestrune at " and the contact address.
QString HelpText();

// The outer height of the table page in twips: the bottom of "< Back" plus 580 twips for the
// title bar and borders (4980 + 405 + 580 = 5965).
inline constexpr int kTablePageOuterHeightTwips = 4980 + 405 + 580;
// Title bar and borders of a window when the window system does not tell them (before the page
// is first shown, or on a platform without decorations): a typical desktop title bar.
inline constexpr int kTypicalDecorationPixels = 30;

}  // namespace qv::pages
