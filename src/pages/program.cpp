#include "pages/program.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "shell/files.h"
#include "shell/startup.h"

namespace qv::pages {

Program::Program(Options options) : options_(std::move(options)) {
  if (options_.windows != nullptr) {
    windows_ = options_.windows;
  } else {
    own_windows_ = std::make_unique<QtWindowSystem>();
    own_windows_->SetOwner([this]() -> QWidget* {
      if (table_page_ && table_page_->isVisible()) return table_page_.get();
      return connection_page_.get();
    });
    windows_ = own_windows_.get();
  }
  if (options_.settings != nullptr) {
    settings_ = options_.settings;
  } else {
    own_settings_ = std::make_unique<shell::QSettingsStore>();
    settings_ = own_settings_.get();
  }
  program_folder_ = options_.program_folder.isEmpty() ? shell::ResourceFolder() : options_.program_folder;
  if (!options_.random) options_.random = shell::TimerSeededRandom();
  if (!options_.open_url) {
    options_.open_url = [](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); };
  }

  connection_page_ = std::make_unique<ConnectionPage>(
      ConnectionPage::Services{*windows_, *settings_, program_folder_, options_.data_folder});
  connection_page_->SetFlow(this);
  connection_page_->SetActions(options_.connection_actions);
  connection_page_->OnClosed([this] { End(); });
}

Program::~Program() = default;

void Program::Start() {
  shell::StartupServices services{*windows_, *settings_, program_folder_, options_.random, options_.open_url};
  shell::ConnectionPageContext context = connection_page_->Context();
  shell::RunStartup(*connection_page_, services, options_.startup_jump, &context);
  if (ended_) return;
  const bool jumped = table_page_ && table_page_->isVisible();
  if (!jumped) {
    connection_page_->CentreOnScreen();
    connection_page_->show();
    connection_page_->text1_->setFocus(Qt::TabFocusReason);
  }
}

TablePage& Program::tablePage() {
  if (!table_page_) {
    table_page_ = std::make_unique<pages::TablePage>(
        pages::TablePage::Services{*windows_, *connection_page_, program_folder_});
    table_page_->SetFlow(this);
    table_page_->SetOperations(options_.table_operations);
    table_page_->OnClosed([this] { End(); });
    table_page_->Load();
  }
  return *table_page_;
}

void Program::ShowTablePage() {
  if (!ended_) tablePage().show();
}

void Program::HideTablePage() {
  tablePage().hide();
}

void Program::ShowConnectionPage() {
  if (!ended_) connection_page_->show();
}

void Program::HideConnectionPage() {
  connection_page_->hide();
}

void Program::End() {
  if (ended_) return;
  ended_ = true;
  if (own_windows_) own_windows_->SetEnding();
  connection_page_->hide();
  if (table_page_) table_page_->hide();
  QCoreApplication::exit(0);
}

}  // namespace qv::pages
