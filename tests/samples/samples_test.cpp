// The sample data a new user loads with the two "Load Sample/Example Database" buttons must cross
// in both directions: every table of sample.mdb becomes a Paradox table (written in the code page
// new Paradox tables get, 437), and every Paradox sample table, the one in the subfolder too,
// becomes an Access table. A sample value the other side cannot hold would greet a new user with
// an error report on the first try.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/paradox/paradox_folder.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(QV_BINARY_DIR) / "bin" / "Samples";

fs::path ScratchFolder(const std::string& name) {
  const fs::path dir =
      fs::temp_directory_path() / ("qv_samples_test_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(Samples, EveryAccessSampleTableBecomesAParadoxTable) {
  auto db = qv::jet::Database::Open((kSamples / "sample.mdb").string());
  const auto names = db->UserTableNames();
  ASSERT_GE(names.size(), 3u);
  const fs::path out = ScratchFolder("paradox");
  qv::paradox::ParadoxFolder folder(out);
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    auto rows = db->ReadTable(name);
    auto writer = folder.CreateTable(name.substr(0, 8), rows->columns());
    qv::Row row;
    std::int64_t written = 0;
    try {
      while (rows->Next(row)) {
        writer->Append(row);
        ++written;
      }
      writer->Close();
    } catch (const qv::Error& e) {
      FAIL() << e.what();
    }
    EXPECT_GT(written, 0);
    EXPECT_EQ(folder.OpenTable(name.substr(0, 8))->rowCount(), written);
  }
  fs::remove_all(out);
}

TEST(Samples, EveryParadoxSampleTableBecomesAnAccessTable) {
  const fs::path out = ScratchFolder("access");
  const std::string file = (out / "target.mdb").string();
  qv::jet::CreateDatabase(file, qv::jet::DatabaseFormat::Jet4);
  auto db = qv::jet::Database::Open(file);
  int tables = 0;
  for (const fs::path& dir : {kSamples, kSamples / "archive"}) {
    qv::paradox::ParadoxFolder folder(dir);
    for (const auto& name : folder.ListTables()) {
      SCOPED_TRACE(name);
      auto rows = folder.OpenTable(name);
      try {
        qv::jet::CreateTable(*db, name, rows->columns());
        qv::jet::TableInserter inserter(*db, name);
        qv::Row row;
        while (rows->Next(row)) inserter.Insert(row);
      } catch (const qv::Error& e) {
        FAIL() << e.what();
      }
      auto back = db->ReadTable(name);
      EXPECT_EQ(back->rowCount(), rows->rowCount());
      ++tables;
    }
  }
  EXPECT_GE(tables, 3);
  db.reset();
  fs::remove_all(out);
}

}  // namespace
