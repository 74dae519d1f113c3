// The program that overwrite_kill.sh kills: it prepares a Paradox folder and an Access database
// that both hold a table BIG (different rows on each side), runs one overwriting transfer through
// its handler with "Yes" to every question, or does what the next run does first (the clean-up of
// what an interrupted run left).
//
//   overwrite_driver prepare DIR ROWS   DIR/p/BIG.DB: ROWS rows tagged "P"; DIR/a.mdb BIG: ROWS+7 rows tagged
//   "A" overwrite_driver to-paradox DIR     "Send Table/s To Paradox" of BIG, overwriting DIR/p/BIG
//   overwrite_driver to-access DIR      "Send Table/s To Access" of BIG, overwriting BIG in DIR/a.mdb
//   overwrite_driver clean-up DIR       the clean-up both transfers run first
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <string>

#include "engine/jet/write/database_creator.h"
#include "engine/paradox/paradox_folder.h"
#include "operations/handlers.h"
#include "operations/table_replacement.h"
#include "shell/memory_table_list.h"
#include "sources/access_source.h"
#include "support/memory_page.h"
#include "support/scripted_window_system.h"

namespace {

struct Fields : qv::shell::ConnectionFields {
  QString folder, file;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return file; }
  QString accessPassword() const override { return {}; }
};

void WriteTable(const QString& folder, int rows, const std::string& tag) {
  const std::vector<qv::Column> columns{
      {"ID", qv::ColumnType::Int32}, {"TAG", qv::ColumnType::Text, 10}, {"NOTE", qv::ColumnType::Text, 80}};
  qv::paradox::ParadoxFolder db(folder.toStdString());
  auto writer = db.CreateTable("BIG", columns);
  for (int k = 0; k < rows; ++k)
    writer->Append(
        {std::int64_t{k}, tag, std::string("row ") + std::to_string(k) + " of the table tagged " + tag});
  writer->Close();
}

int Run(const QString& step, const QString& dir, int rows) {
  Fields fields;
  fields.folder = QDir(dir).filePath("p");
  fields.file = QDir(dir).filePath("a.mdb");
  qv::shell::MemoryTableList access, paradox;
  qv::shell::MemoryProgress progress;
  qv::shell::MemoryPointer pointer;
  qv::shell::ScriptedWindowSystem windows;
  for (int i = 0; i < 8; ++i) windows.QueueReply(qv::shell::Reply::kYes);
  qv::shell::TablePageContext page{windows, fields, {access, paradox, progress, pointer}};
  auto& objects = qv::sources::DefaultObjects();
  auto select = [](qv::shell::MemoryTableList& list) {
    list.Add(QStringLiteral("BIG"));
    list.SetSelected(0, true);
    list.SetCurrentRow(0);
  };
  if (step == "prepare") {
    QDir(dir).mkpath("p");
    QDir(dir).mkpath("src");
    WriteTable(fields.folder, rows, "P");
    WriteTable(QDir(dir).filePath("src"), rows + 7, "A");
    qv::jet::CreateDatabase(fields.file.toStdString(), qv::jet::DatabaseFormat::Jet4);
    fields.folder = QDir(dir).filePath("src");
    select(paradox);
    qv::ops::SendToAccess(page, objects);
    QDir(QDir(dir).filePath("src")).removeRecursively();
  } else if (step == "to-paradox") {
    select(access);
    paradox.Add(QStringLiteral("BIG"));
    qv::ops::SendToParadox(page, objects);
  } else if (step == "to-access") {
    select(paradox);
    access.Add(QStringLiteral("BIG"));
    qv::ops::SendToAccess(page, objects);
  } else if (step == "clean-up") {
    qv::ops::CleanUpParadoxFolder(fields.folder);
    qv::sources::Connection cn;
    cn.Open(qv::sources::AccessConnectionString(fields.file, QString(), fields).toStdString());
    qv::ops::DropTemporaryAccessTables(cn);
    cn.Close();
  } else {
    std::fprintf(stderr, "unknown step\n");
    return 2;
  }
  for (const auto& m : windows.messages())
    if (m.icon != qv::shell::Icon::kNone) std::fprintf(stderr, "report: %s\n", m.text.toUtf8().constData());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: overwrite_driver prepare|to-paradox|to-access|clean-up DIR [ROWS]\n");
    return 2;
  }
  return Run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
             argc > 3 ? std::atoi(argv[3]) : 0);
}
