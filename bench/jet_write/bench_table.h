// The table both write benchmarks fill: 10 columns of the kinds the insert goal names (three
// text, two long, double, currency, date, Yes/No, memo), made by CREATE TABLE in a database made
// by CreateDatabase, filled through the engine's insert call. See README.md.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "child_run.h"
#include "engine/core/error.h"
#include "engine/core/value.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_inserter.h"

namespace qv::bench {

inline std::vector<qv::Column> BenchColumns() {
  auto col = [](const char* name, qv::ColumnType type, std::uint32_t size = 0) {
    qv::Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
  };
  std::vector<qv::Column> cols = {
      col("ID", qv::ColumnType::Int32),         col("Name", qv::ColumnType::Text, 50),
      col("Amount", qv::ColumnType::Double),    col("Price", qv::ColumnType::Currency),
      col("Created", qv::ColumnType::DateTime), col("Active", qv::ColumnType::Boolean),
      col("Notes", qv::ColumnType::Memo),       col("Qty", qv::ColumnType::Int32),
      col("Code", qv::ColumnType::Text, 10),    col("City", qv::ColumnType::Text, 30)};
  cols[0].autoIncrement = true;
  return cols;
}

// Row i: mostly short memo values kept in the row; every 100th one LVAL row (2,000 characters),
// every 1,000th a chain of LVAL rows (6,000 characters), every 7th NULL.
inline void FillRow(qv::Row& row, std::uint64_t i) {
  static const char* cities[] = {"Amsterdam", "Zürich", "São Paulo", "Oslo", "Kraków", "Lyon", "Graz"};
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
  if (i % 1000 == 0)
    row[6] = std::string(6000, static_cast<char>('a' + i % 26));
  else if (i % 100 == 0)
    row[6] = std::string(2000, static_cast<char>('A' + i % 26));
  else if (i % 7 == 0)
    row[6] = std::monostate{};
  else
    row[6] = "Note " + std::to_string(i);
  row[7] = static_cast<std::int64_t>(i % 977);
  row[8] = "C" + std::to_string(i % 100000);
  row[9] = std::string(cities[i % 7]);
}

// Which kind of file the benchmarks write.
enum class BenchFormat { kJet4, kAce, kJet3 };

// A new database at `path` with table "Bench" of `rows` rows, one Insert call per row.
inline int CreateAndFill(const std::string& path, BenchFormat format, std::uint64_t rows) {
  try {
    qv::jet::CreateDatabase(path, format == BenchFormat::kAce    ? qv::jet::DatabaseFormat::Ace2010
                                  : format == BenchFormat::kJet3 ? qv::jet::DatabaseFormat::Jet3
                                                                 : qv::jet::DatabaseFormat::Jet4);
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

// What both benchmarks are started with: `[ROWS] [--accdb|--jet3]`, a scratch folder of their own
// under the temporary folder, the database file in it, and this program's path for its child
// steps.
struct BenchRun {
  std::uint64_t rows = 1000000;
  bool ace = false;
  BenchFormat format = BenchFormat::kJet4;
  std::string dir, path, self;
  const char* formatName() const {
    return format == BenchFormat::kAce    ? "ACE14 .accdb"
           : format == BenchFormat::kJet3 ? "Jet3 .mdb"
                                          : "Jet4 .mdb";
  }
};

inline BenchRun ParseBenchRun(int argc, char** argv, const std::string& name) {
  BenchRun run;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--accdb") == 0)
      run.ace = true;
    else if (std::strcmp(argv[i], "--jet3") == 0)
      run.format = BenchFormat::kJet3;
    else
      run.rows = std::strtoull(argv[i], nullptr, 10);
  }
  if (run.ace) run.format = BenchFormat::kAce;
  run.dir = (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(run.dir);
  run.path = run.dir + (run.ace ? "/bench.accdb" : "/bench.mdb");
  run.self = std::filesystem::read_symlink("/proc/self/exe").string();
  return run;
}

// The child step `--fill PATH ROWS ace|jet4|jet3`: -1 when argv asks for something else.
inline int FillStepMain(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], "--fill") != 0) return -1;
  const BenchFormat format = std::strcmp(argv[4], "ace") == 0    ? BenchFormat::kAce
                             : std::strcmp(argv[4], "jet3") == 0 ? BenchFormat::kJet3
                                                                 : BenchFormat::kJet4;
  return CreateAndFill(argv[2], format, std::strtoull(argv[3], nullptr, 10));
}

// Creates and fills the database in a process of its own: its peak memory (wait4) then counts the
// insert alone, not whatever the starting process had touched.
inline ChildRun FillInChild(const BenchRun& run) {
  const char* format = run.format == BenchFormat::kAce    ? "ace"
                       : run.format == BenchFormat::kJet3 ? "jet3"
                                                          : "jet4";
  return RunChild({run.self, "--fill", run.path, std::to_string(run.rows), format});
}

}  // namespace qv::bench
