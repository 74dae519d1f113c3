// Copy benchmark: a table of 10 columns (text, long, double, currency, date, boolean, memo) filled
// with N rows through the engine's insert call, then, in the same run, mdb-export reading it (the
// anchor) and CopyTable copying it inside the file. Each step runs in a process of its own (this
// program started again with --fill or --copy), so its time and peak memory are its own. See
// README.md.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "child_run.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_inserter.h"

namespace {

using qv::bench::ChildRun;
using qv::bench::RunChild;

std::vector<qv::Column> BenchColumns() {
  auto col = [](const char* name, qv::ColumnType type, std::uint32_t size = 0) {
    qv::Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
  };
  std::vector<qv::Column> cols = {col("ID", qv::ColumnType::Int32),      col("Name", qv::ColumnType::Text, 50),
                                  col("Amount", qv::ColumnType::Double), col("Price", qv::ColumnType::Currency),
                                  col("Created", qv::ColumnType::DateTime), col("Active", qv::ColumnType::Boolean),
                                  col("Notes", qv::ColumnType::Memo),    col("Qty", qv::ColumnType::Int32),
                                  col("Code", qv::ColumnType::Text, 10), col("Ratio", qv::ColumnType::Double)};
  cols[0].autoIncrement = true;
  return cols;
}

// Row i: mostly short memo values kept in the row; every 100th one LVAL row (2,000 characters),
// every 1,000th a chain of LVAL rows (6,000 characters).
void FillRow(qv::Row& row, std::uint64_t i) {
  row[0] = std::monostate{};  // autonumber
  row[1] = "Customer " + std::to_string(i);
  row[2] = static_cast<double>(i) * 0.25;
  row[3] = qv::Currency{static_cast<std::int64_t>(i % 100000) * 125};
  qv::Timestamp t;
  t.year = 1990 + static_cast<std::int32_t>(i % 35);
  t.month = static_cast<std::uint8_t>(1 + i % 12);
  t.day = static_cast<std::uint8_t>(1 + i % 28);
  t.hour = static_cast<std::uint8_t>(i % 24);
  t.minute = static_cast<std::uint8_t>(i % 60);
  row[4] = t;
  row[5] = i % 3 == 0;
  if (i % 1000 == 0) row[6] = std::string(6000, static_cast<char>('a' + i % 26));
  else if (i % 100 == 0) row[6] = std::string(2000, static_cast<char>('A' + i % 26));
  else if (i % 7 == 0) row[6] = std::monostate{};
  else row[6] = "Note " + std::to_string(i);
  row[7] = static_cast<std::int64_t>(i % 977);
  row[8] = "C" + std::to_string(i % 100000);
  row[9] = static_cast<double>(i) / 7.0;
}

int FillMain(const std::string& path, std::uint64_t rows) {
  try {
    auto db = qv::jet::Database::Open(path);
    qv::jet::CreateTable(*db, "Bench", BenchColumns());
    qv::jet::TableInserter ins(*db, "Bench");
    qv::Row row(ins.definition().columns.size());
    for (std::uint64_t i = 0; i < rows; ++i) {
      FillRow(row, i);
      ins.Insert(row);
    }
    return 0;  // the database closes here: final checkpoint
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "insert failed: %d %s\n", e.number(), e.description().c_str());
    return 1;
  }
}

int CopyMain(const std::string& path) {
  try {
    auto db = qv::jet::Database::Open(path);
    std::uint64_t n = qv::jet::CopyTable(*db, "Bench", "BenchCopy");
    std::printf("%llu\n", static_cast<unsigned long long>(n));
    return 0;
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "copy failed: %d %s\n", e.number(), e.description().c_str());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--copy") == 0) return CopyMain(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "--fill") == 0) return FillMain(argv[2], std::strtoull(argv[3], nullptr, 10));
  std::uint64_t rows = 1000000;
  bool ace = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--accdb") == 0) ace = true;
    else rows = std::strtoull(argv[i], nullptr, 10);
  }
  const std::string templ = std::string(QV_SHARED_DIR) + "/corpus/access/jackcess/src/main/resources/com/healthmarketscience/jackcess/" +
                            (ace ? "empty2010.accdb" : "empty2003.mdb");
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("qv-jet-copy-bench-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const std::string path = dir + (ace ? "/bench.accdb" : "/bench.mdb");
  std::filesystem::copy_file(templ, path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // Each step runs in a process of its own, started from this small one: a child's peak memory
  // (wait4) would otherwise start from whatever this process had touched.
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  ChildRun inserted = RunChild({self, "--fill", path, std::to_string(rows)});
  const double fileMiB = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;

  ChildRun exported = RunChild({"/bin/sh", "-c", "exec mdb-export '" + path + "' Bench"}, "/dev/null");
  ChildRun copied = RunChild({self, "--copy", path}, "/dev/null");

  // The copy reads back with as many rows as the original.
  std::uint64_t copyRows = 0;
  {
    auto db = qv::jet::Database::Open(path);
    copyRows = db->ReadDefinition("BenchCopy").rowCount;
  }
  std::printf("rows                  %llu (%s)\n", static_cast<unsigned long long>(rows), ace ? "ACE14 .accdb" : "Jet4 .mdb");
  std::printf("file size             %.1f MiB before the copy, %.1f MiB after\n", fileMiB,
              static_cast<double>(std::filesystem::file_size(path)) / 1048576.0);
  std::printf("insert (ours)         %.2f s wall, %.2f s CPU (%.0f rows/s), peak %.1f MiB%s\n", inserted.wall, inserted.cpu,
              static_cast<double>(rows) / inserted.wall, static_cast<double>(inserted.peakKiB) / 1024.0,
              inserted.status == 0 ? "" : "  (FAILED)");
  std::printf("mdb-export (anchor)   %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", exported.wall, exported.cpu,
              static_cast<double>(exported.peakKiB) / 1024.0, exported.status == 0 ? "" : "  (FAILED)");
  std::printf("CopyTable (ours)      %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", copied.wall, copied.cpu,
              static_cast<double>(copied.peakKiB) / 1024.0, copied.status == 0 ? "" : "  (FAILED)");
  std::printf("speed                 %.2fx wall, %.2fx CPU (mdb-export time / copy time; goal >= 3)\n",
              exported.wall / copied.wall, exported.cpu / copied.cpu);
  std::printf("copied rows           %llu%s\n", static_cast<unsigned long long>(copyRows), copyRows == rows ? "" : "  (WRONG)");
  std::filesystem::remove_all(dir);
  return inserted.status == 0 && exported.status == 0 && copied.status == 0 && copyRows == rows ? 0 : 1;
}
