// The connection page (Form1): the Paradox folder, the Access file and its password, with
// browse and sample buttons, "Test Connection" and "Next >".
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/page.h"
#include "shell/page_hooks.h"
#include "shell/settings_store.h"
#include "shell/startup.h"
#include "shell/window_system.h"

namespace qv::pages {

class ConnectionPage : public Page, public shell::StartupPage, public shell::ConnectionFields {
 public:
  struct Services {
    shell::WindowSystem& windows;
    shell::SettingsStore& settings;
    QString program_folder;
    QString data_folder;  // empty: the user's data folder (shell::UserDataFolder)
  };
  explicit ConnectionPage(Services services);

  // Wired by the program: the page flow and the actions of "Next >" and "Test Connection".
  void SetFlow(shell::PageFlow* flow) { flow_ = flow; }
  void SetActions(shell::ConnectionPageActions* actions) { actions_ = actions; }
  shell::ConnectionPageContext Context();

  // shell::ConnectionFields
  QString paradoxFolder() const override { return text1_->text(); }
  QString accessFile() const override { return text2_->text(); }
  QString accessPassword() const override { return text3_->text(); }
  // The code-page settings have no box: read from the store each time an operation asks.
  QString paradoxCodePage() const override {
    return services_.settings.Read(QString::fromUtf8(shell::kParadoxCodePageKey));
  }
  QString accessCodePage() const override {
    return services_.settings.Read(QString::fromUtf8(shell::kAccessCodePageKey));
  }

  // shell::StartupPage
  void ApplyFaceColors() override;
  void ApplyStyleSheet(const QString& style_sheet) override;
  void SetCaption(const QString& caption) override { setWindowTitle(caption); }
  void SetProductIcon() override;
  void LoadCustomPointer(const QString& cursor_file) override;
  void SetParadoxFolderText(const QString& text) override { text1_->setText(text); }
  void SetAccessFileText(const QString& text) override { text2_->setText(text); }
  void SetAccessPasswordText(const QString& text) override { text3_->setText(text); }

  // The handlers, as the buttons run them.
  void BrowseAccessFile();     // PushButton1
  void Next();                 // PushButton2
  void TestConnection();       // PushButton3
  void LoadSampleFolder();     // PushButton4
  void BrowseParadoxFolder();  // PushButton5
  void LoadSampleDatabase();   // PushButton7

  // Controls, named as the page names them (tests find them by object name too).
  QGroupBox* frame1_;
  QLabel* label2_;
  QLineEdit* text1_;
  QPushButton* push_button5_;
  QPushButton* push_button4_;
  QPushButton* push_button3_;
  QGroupBox* frame2_;
  QLabel* label5_;
  QLineEdit* text2_;
  QPushButton* push_button1_;
  QLabel* lbl_password_;
  QLineEdit* text3_;
  QPushButton* push_button7_;
  QPushButton* push_button2_;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void SelectAllOnFocus(QLineEdit* edit);

  Services services_;
  shell::PageFlow* flow_ = nullptr;
  shell::ConnectionPageActions* actions_ = nullptr;
};

// BrowseForFolder: a modal folder chooser with the given title; the chosen folder's full path,
// or the empty text on cancel.
QString BrowseForFolder(shell::WindowSystem& windows, const QString& title);

}  // namespace qv::pages
