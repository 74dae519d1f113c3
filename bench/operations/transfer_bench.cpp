// Both transfers through their whole handlers, each against the engine's own work on the same
// rows in the same run, with the peak memory of each side.
//
//   bench_operations [rows] [runs]      (default 1,000,000 rows of 10 fields, best of 5)
//   bench_operations train FOLDER ROWS  (the training run of the release build, in FOLDER)
//
// 1. Paradox -> Access: "Send Table/s To Access" (record set, statement text per row, parser,
//    Access engine, progress bar, throttled yield) against the Access engine's own insert of the
//    same rows: the rows read from the Paradox table by the Paradox engine and handed, typed, to
//    the Access engine's table inserter one row per insert (each insert its own change, as each
//    statement of the handler is), into a table created by the same CREATE TABLE text.
//    Goal: at most 1.5 times.
// 2. Access -> Paradox: "Send Table/s To Paradox" (connections, copy statement, list refill,
//    messages) against the same copy statement run directly on an Access connection.
//    Goal: at most 1.2 times.
// Peak memory (each side's own process, ru_maxrss) goal: at most 96 MiB.
//
// Every side runs in a child process of its own (this program with a step name), so its CPU time
// (user + system) and peak memory are its own; the child times its step itself and leaves out
// only the making of its empty target. Each figure is the best (least CPU) of `runs` runs (twice
// as many for the short copy into Paradox), the sides taking turns. At the end the tables each
// side wrote are compared value by value.
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_run.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/paradox/paradox_folder.h"
#include "operations/handlers.h"
#include "operations/statements.h"
#include "shell/memory_table_list.h"
#include "shell/yield_throttle.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"
#include "support/memory_page.h"
#include "support/scripted_window_system.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// Yields as the program does: throttled, about every 15 ms.
class ThrottledWindows : public qv::shell::ScriptedWindowSystem {
 public:
  void Yield() override {
    if (throttle_.Due()) QCoreApplication::processEvents();
  }

 private:
  qv::shell::YieldThrottle throttle_{NowMs};
};

// A progress bar that keeps its value, as the page's does (the test double keeps every value set,
// a million of them here).
class Progress : public qv::shell::ProgressIndicator {
 public:
  int value() const override { return value_; }
  void SetValue(int percent) override {
    if (percent < 0 || percent > 100) std::abort();
    value_ = percent;
  }

 private:
  int value_ = 0;
};

struct Fields : qv::shell::ConnectionFields {
  QString folder, file;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return file; }
  QString accessPassword() const override { return {}; }
};

std::string AccessString(const std::string& file) {
  Fields fields;
  fields.file = QString::fromStdString(file);
  return qv::sources::AccessConnectionString(QString(), QString(), fields).toStdString();
}

std::string ParadoxString(const std::string& folder) {
  Fields fields;
  fields.folder = QString::fromStdString(folder);
  return qv::sources::ParadoxConnectionString(fields).toStdString();
}

const char* const kEmptyMdb =
    QV_SHARED_DIR "/corpus/access/jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb";

void FreshCopyOfEmpty(const std::string& path) {
  fs::remove(path);
  fs::copy_file(kEmptyMdb, path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

void FreshFolder(const std::string& path) {
  fs::remove_all(path);
  fs::create_directories(path);
}

// A new Paradox table `name` in the emptied `folder`, of `rows` rows, each made by fill(i, row).
template <typename Fill>
void WriteParadoxTable(const std::string& folder, const std::string& name,
                       const std::vector<qv::Column>& columns, std::int64_t rows, Fill fill) {
  FreshFolder(folder);
  qv::paradox::ParadoxFolder db(folder);
  auto writer = db.CreateTable(name, columns);
  qv::Row row(columns.size());
  for (std::int64_t i = 0; i < rows; ++i) {
    fill(i, row);
    writer->Append(row);
  }
  writer->Close();
}

// CPU and wall time of one step, measured inside the child.
class StepTimer {
 public:
  StepTimer() : wall_(Clock::now()), cpu_(Cpu()) {}
  void Report(const char* out) const {
    std::ofstream f(out);
    f << (Cpu() - cpu_) << ' ' << std::chrono::duration<double>(Clock::now() - wall_).count() << '\n';
  }

 private:
  static double Cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  Clock::time_point wall_;
  double cpu_;
};

// The CREATE TABLE text the handler builds for the Paradox table `name`.
std::string CreateText(const std::string& paradox_folder, const std::string& name,
                       const std::string& target) {
  qv::sources::Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Open(ParadoxString(paradox_folder));
  qv::sources::Recordset rs;
  rs.Open("SELECT * FROM `" + name + "`", cn);
  std::string create = "CREATE TABLE `" + target + "`(";
  for (int j = 0; j < rs.FieldCount(); ++j)
    create += "`" + rs.Fields(j).name() + std::string(qv::ops::ColumnSuffix(rs.Fields(j).Type()));
  create.pop_back();
  return create + ");";
}

// The Paradox table `table` of `folder` into the Access database `mdb` by the Access engine
// alone: the table made by the handler's CREATE TABLE text, then one insert per typed row.
void EngineInsert(const std::string& folder, const std::string& mdb, const std::string& table) {
  qv::sources::Connection cn;
  cn.Open(AccessString(mdb));
  cn.Execute(CreateText(folder, table, table));
  {
    auto db = qv::jet::Database::Open(mdb);
    qv::jet::TableInserter inserter(*db, table);
    auto source = qv::paradox::ParadoxFolder(folder).OpenTable(table);
    qv::Row row;
    while (source->Next(row)) inserter.Insert(row);
  }
  cn.Close();
}

// The copy statement of "Send Table/s To Paradox" for `table`, run directly on a connection.
void EngineCopyToParadox(const std::string& mdb, const std::string& folder, const std::string& table) {
  qv::sources::Connection cn;
  cn.Open(AccessString(mdb));
  const QString name = QString::fromStdString(table);
  cn.Execute(qv::ops::CopyToParadoxStatement(QString::fromStdString(folder), name, name).toStdString());
  cn.Close();
}

// --- the steps, each run in a child process ---

// The Paradox source table and the Access source table for the other direction.
void Setup(const std::string& dir, std::int64_t rows) {
  using qv::ColumnType;
  const std::vector<qv::Column> columns{{"ID", ColumnType::Int32},      {"NAME", ColumnType::Text, 30},
                                        {"CITY", ColumnType::Text, 20}, {"PRICE", ColumnType::Double},
                                        {"WHEN", ColumnType::DateTime}, {"QTY", ColumnType::Int16},
                                        {"PAID", ColumnType::Boolean},  {"AMOUNT", ColumnType::Currency},
                                        {"CODE", ColumnType::Text, 8},  {"RATE", ColumnType::Double}};
  const std::string folder = dir + "/paradox";
  WriteParadoxTable(folder, "BIG", columns, rows, [](std::int64_t i, qv::Row& row) {
    row[0] = i;
    row[1] = std::string("Customer O'Neil ") + std::to_string(i % 9973);
    row[2] = (i % 7 == 0) ? qv::Value{} : qv::Value{std::string("Springfield")};
    row[3] = static_cast<double>(i) * 0.25;
    row[4] = qv::Timestamp{2000 + static_cast<int>(i % 25),
                           static_cast<std::uint8_t>(1 + i % 12),
                           static_cast<std::uint8_t>(1 + i % 28),
                           12,
                           30,
                           0,
                           0};
    row[5] = i % 1000;
    row[6] = (i % 2) == 0;
    row[7] = qv::Currency{i * 125};
    row[8] = std::string("C") + std::to_string(i % 100);
    row[9] = 1.0 / static_cast<double>(i + 1);
  });
  // The Access table of the same rows, written in bulk by the engine.
  const std::string mdb = dir + "/source.mdb";
  FreshCopyOfEmpty(mdb);
  qv::sources::Connection cn;
  cn.Open(AccessString(mdb));
  cn.Execute(CreateText(folder, "BIG", "BIG"));
  auto db = qv::jet::Database::Open(mdb);
  qv::jet::TableInserter inserter(*db, "BIG");
  auto source = qv::paradox::ParadoxFolder(folder).OpenTable("BIG");
  inserter.InsertAll(*source);
  cn.Close();
}

// The table page a handler runs on: the two databases named in its fields, the window system
// with its throttled yield, the two lists, the progress bar and the pointer, all in memory.
struct BenchPage {
  BenchPage(const std::string& folder, const std::string& file) {
    fields.folder = QString::fromStdString(folder);
    fields.file = QString::fromStdString(file);
  }
  // Puts the benchmark's table BIG (or `name`) in `list`, selected and current, as one click would.
  static void SelectBig(qv::shell::MemoryTableList& list, const QString& name = QStringLiteral("BIG")) {
    list.Add(name);
    list.SetSelected(0, true);
    list.SetCurrentRow(0);
  }
  Fields fields;
  ThrottledWindows windows;
  qv::shell::MemoryTableList access_list, paradox_list;
  Progress progress;
  qv::shell::MemoryPointer pointer;
  qv::shell::TablePageContext page{windows, fields, {access_list, paradox_list, progress, pointer}};
};

// "Send Table/s To Access" of BIG into a new copy of the empty database.
int ToAccessHandler(const std::string& dir, const char* out) {
  const std::string mdb = dir + "/handler.mdb";
  FreshCopyOfEmpty(mdb);
  StepTimer timer;
  BenchPage p(dir + "/paradox", mdb);
  BenchPage::SelectBig(p.paradox_list);
  qv::ops::SendToAccess(p.page, qv::sources::DefaultObjects());
  timer.Report(out);
  for (const auto& m : p.windows.messages()) std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
  return p.windows.messages().empty() && p.access_list.count() == 1 ? 0 : 1;
}

// The Access engine inserting the typed rows of the Paradox table, one insert per row.
int ToAccessEngine(const std::string& dir, const char* out) {
  const std::string mdb = dir + "/engine.mdb";
  FreshCopyOfEmpty(mdb);
  StepTimer timer;
  EngineInsert(dir + "/paradox", mdb, "BIG");
  timer.Report(out);
  return 0;
}

// "Send Table/s To Paradox" of the Access source's BIG into an empty folder.
int ToParadoxHandler(const std::string& dir, const char* out) {
  const std::string folder = dir + "/out-handler";
  FreshFolder(folder);
  StepTimer timer;
  BenchPage p(folder, dir + "/source.mdb");
  BenchPage::SelectBig(p.access_list);
  qv::ops::SendToParadox(p.page, qv::sources::DefaultObjects());
  timer.Report(out);
  const auto messages = p.windows.messages();
  for (const auto& m : messages)
    if (m.text != QStringLiteral("Done.")) std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
  return messages.size() == 1 && p.paradox_list.count() == 1 ? 0 : 1;
}

// The copy statement run directly on an Access connection.
int ToParadoxEngine(const std::string& dir, const char* out) {
  const std::string folder = dir + "/out-engine";
  FreshFolder(folder);
  StepTimer timer;
  EngineCopyToParadox(dir + "/source.mdb", folder, "BIG");
  timer.Report(out);
  return 0;
}

// --- the training run of the release build ---

// What scripts/release.sh runs on its instrumented build, so the compiler learns which code the
// program's usual work runs: both transfers through their handlers and the engines' own insert
// and copy, on a table unlike the benchmark's (other columns, memo values, other values and
// sizes), so the profile is of the program's work and not of the one table the benchmark times.
int Train(const std::string& dir, std::int64_t rows) {
  using qv::ColumnType;
  const std::vector<qv::Column> columns{
      {"NUMBER", ColumnType::Int32}, {"TITLE", ColumnType::Text, 60},   {"NOTES", ColumnType::Memo},
      {"UNITS", ColumnType::Int16},  {"WEIGHT", ColumnType::Double},    {"PRICE", ColumnType::Currency},
      {"SOLD", ColumnType::Date},    {"OPENS", ColumnType::Time},       {"ACTIVE", ColumnType::Boolean},
      {"REF", ColumnType::Text, 12}, {"CHANGED", ColumnType::DateTime}, {"SHARE", ColumnType::Double}};
  const std::string folder = dir + "/train-paradox";
  WriteParadoxTable(folder, "LEDGER", columns, rows, [](std::int64_t i, qv::Row& row) {
    const auto day = static_cast<std::uint8_t>(1 + i % 28);
    row[0] = i * 7 - 5000;
    row[1] = "Item " + std::to_string(i % 50021) + (i % 3 == 0 ? " 'special'" : "") + " of lot " +
             std::to_string(i % 97);
    row[2] = (i % 5 == 0) ? qv::Value{} : qv::Value{std::string(static_cast<std::size_t>(20 + i % 300), 'n')};
    row[3] = (i % 11 == 0) ? qv::Value{} : qv::Value{std::int64_t{i % 32000 - 16000}};
    row[4] = static_cast<double>(i % 100000) / 8.0 + 0.001 * static_cast<double>(i % 13);
    row[5] = qv::Currency{(i % 2000000) * 37 - 1000000};
    row[6] = qv::Timestamp{
        1950 + static_cast<int>(i % 75), static_cast<std::uint8_t>(1 + i % 12), day, 0, 0, 0, 0};
    row[7] = qv::Timestamp{1899,
                           12,
                           30,
                           static_cast<std::uint8_t>(i % 24),
                           static_cast<std::uint8_t>(i % 60),
                           static_cast<std::uint8_t>(i % 59),
                           0};
    row[8] = (i % 3) != 0;
    row[9] = (i % 9 == 0) ? qv::Value{std::string()} : qv::Value{"R-" + std::to_string(i % 10007)};
    row[10] = qv::Timestamp{1990 + static_cast<int>(i % 40),
                            static_cast<std::uint8_t>(1 + i % 12),
                            day,
                            static_cast<std::uint8_t>(i % 24),
                            static_cast<std::uint8_t>(i % 60),
                            30,
                            0};
    row[11] = std::sqrt(static_cast<double>(i + 2));
  });
  // Paradox -> Access, through the handler and by the engine's own insert.
  const std::string handler_mdb = dir + "/train-handler.mdb", engine_mdb = dir + "/train-engine.mdb";
  for (const auto& path : {handler_mdb, engine_mdb}) {
    fs::remove(path);
    qv::jet::CreateDatabase(path, qv::jet::DatabaseFormat::Jet4);
  }
  BenchPage to_access(folder, handler_mdb);
  BenchPage::SelectBig(to_access.paradox_list, QStringLiteral("LEDGER"));
  qv::ops::SendToAccess(to_access.page, qv::sources::DefaultObjects());
  bool ok = to_access.windows.messages().empty() && to_access.access_list.count() == 1;
  EngineInsert(folder, engine_mdb, "LEDGER");
  // Access -> Paradox, through the handler and by the copy statement alone.
  const std::string out_handler = dir + "/train-out-handler", out_engine = dir + "/train-out-engine";
  FreshFolder(out_handler);
  FreshFolder(out_engine);
  BenchPage to_paradox(out_handler, handler_mdb);
  BenchPage::SelectBig(to_paradox.access_list, QStringLiteral("LEDGER"));
  qv::ops::SendToParadox(to_paradox.page, qv::sources::DefaultObjects());
  ok = ok && to_paradox.windows.messages().size() == 1 && to_paradox.paradox_list.count() == 1;
  EngineCopyToParadox(engine_mdb, out_engine, "LEDGER");
  for (const auto* page : {&to_access, &to_paradox})
    for (const auto& m : page->windows.messages())
      if (m.text != QStringLiteral("Done.")) std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
  return ok ? 0 : 1;
}

// Two streams of rows hold the same values in the same order.
bool SameRows(qv::RowReader& a, qv::RowReader& b, const char* what, std::int64_t expected) {
  qv::Row x, y;
  std::int64_t n = 0;
  for (;; ++n) {
    const bool more_a = a.Next(x), more_b = b.Next(y);
    if (more_a != more_b) {
      std::printf("  %s: DIFFERENT row counts (from row %lld)\n", what, static_cast<long long>(n));
      return false;
    }
    if (!more_a) break;
    if (x != y) {
      std::printf("  %s: row %lld DIFFERS\n", what, static_cast<long long>(n));
      return false;
    }
  }
  if (n != expected) {
    std::printf("  %s: %lld rows, expected %lld\n", what, static_cast<long long>(n),
                static_cast<long long>(expected));
    return false;
  }
  std::printf("  %s: %lld rows, the same values\n", what, static_cast<long long>(n));
  return true;
}

int Verify(const std::string& dir, std::int64_t rows) {
  bool ok = true;
  {
    auto handler = qv::jet::Database::Open(dir + "/handler.mdb");
    auto engine = qv::jet::Database::Open(dir + "/engine.mdb");
    ok &= SameRows(*handler->ReadTable("BIG"), *engine->ReadTable("BIG"),
                   "paradox->access, handler vs engine", rows);
  }
  {
    auto handler = qv::paradox::ParadoxFolder(dir + "/out-handler").OpenTable("BIG");
    auto engine = qv::paradox::ParadoxFolder(dir + "/out-engine").OpenTable("BIG");
    ok &= SameRows(*handler, *engine, "access->paradox, handler vs engine", rows);
  }
  return ok ? 0 : 1;
}

// --- the parent ---

struct Side {
  double cpu = 0, wall = 0, peakMiB = 0;
  bool ok = true;
};

Side RunStep(const std::string& self, const std::string& step, const std::string& dir) {
  const std::string out = dir + "/" + step + ".time";
  const qv::bench::ChildRun r = qv::bench::RunChild({self, step, dir, out});
  Side s;
  s.ok = r.status == 0;
  s.peakMiB = static_cast<double>(r.peakKiB) / 1024.0;
  std::ifstream f(out);
  if (!(f >> s.cpu >> s.wall)) s.ok = false;
  return s;
}

void Keep(Side& best, const Side& s, int run) {
  if (run == 0 || s.cpu < best.cpu) {
    const double peak = std::max(best.peakMiB, s.peakMiB);
    const bool ok = best.ok && s.ok;
    best = s;
    best.peakMiB = peak;
    best.ok = ok;
  } else {
    best.peakMiB = std::max(best.peakMiB, s.peakMiB);
    best.ok = best.ok && s.ok;
  }
}

void Print(const char* what, const Side& handler, const Side& engine, double goal) {
  std::printf("%s\n", what);
  std::printf("  handler: %.2f s CPU, %.2f s wall, peak %.1f MiB%s\n", handler.cpu, handler.wall,
              handler.peakMiB, handler.ok ? "" : "  (FAILED)");
  std::printf("  engine:  %.2f s CPU, %.2f s wall, peak %.1f MiB%s\n", engine.cpu, engine.wall,
              engine.peakMiB, engine.ok ? "" : "  (FAILED)");
  const double cpu = handler.cpu / engine.cpu, wall = handler.wall / engine.wall;
  std::printf("  ratio: %.2f CPU, %.2f wall (goal <= %.1f): %s\n", cpu, wall, goal,
              cpu <= goal ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 4 && first == "setup") {
      Setup(argv[2], std::stoll(argv[3]));
      return 0;
    }
    if (argc == 4 && first == "train") return Train(argv[2], std::stoll(argv[3]));
    if (argc == 4 && first == "to-access-handler") return ToAccessHandler(argv[2], argv[3]);
    if (argc == 4 && first == "to-access-engine") return ToAccessEngine(argv[2], argv[3]);
    if (argc == 4 && first == "to-paradox-handler") return ToParadoxHandler(argv[2], argv[3]);
    if (argc == 4 && first == "to-paradox-engine") return ToParadoxEngine(argv[2], argv[3]);

    const std::int64_t rows = argc > 1 ? std::stoll(argv[1]) : 1'000'000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir temp;
    const std::string dir = temp.path().toStdString();
    const std::string self = fs::canonical("/proc/self/exe").string();
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "%lld rows of 10 fields, best of %d runs (%d for access->paradox); load average %.2f %.2f %.2f\n",
        static_cast<long long>(rows), runs, 2 * runs, load[0], load[1], load[2]);
    auto start = Clock::now();
    if (qv::bench::RunChild({self, "setup", dir, std::to_string(rows)}).status != 0) {
      std::printf("setup failed\n");
      return 1;
    }
    std::printf("setup: the Paradox and Access source tables written in %.1f s\n",
                std::chrono::duration<double>(Clock::now() - start).count());
    std::fflush(stdout);

    Side to_access_handler, to_access_engine, to_paradox_handler, to_paradox_engine;
    // The sides take turns, each going first every other run. The copy into Paradox writes a
    // table of about 1 GB (the Access text columns become 255-character Paradox fields), whose
    // system time varies with the disk; it is short, so it runs twice as often.
    for (int run = 0; run < runs; ++run) {
      if (run % 2 == 0) {
        Keep(to_access_handler, RunStep(self, "to-access-handler", dir), run);
        Keep(to_access_engine, RunStep(self, "to-access-engine", dir), run);
      } else {
        Keep(to_access_engine, RunStep(self, "to-access-engine", dir), run);
        Keep(to_access_handler, RunStep(self, "to-access-handler", dir), run);
      }
    }
    for (int run = 0; run < 2 * runs; ++run) {
      if (run % 2 == 0) {
        Keep(to_paradox_handler, RunStep(self, "to-paradox-handler", dir), run);
        Keep(to_paradox_engine, RunStep(self, "to-paradox-engine", dir), run);
      } else {
        Keep(to_paradox_engine, RunStep(self, "to-paradox-engine", dir), run);
        Keep(to_paradox_handler, RunStep(self, "to-paradox-handler", dir), run);
      }
    }
    Print("paradox->access", to_access_handler, to_access_engine, 1.5);
    std::printf("  handler: %.0f rows/s\n", static_cast<double>(rows) / to_access_handler.wall);
    Print("access->paradox", to_paradox_handler, to_paradox_engine, 1.2);
    const double peak = std::max({to_access_handler.peakMiB, to_access_engine.peakMiB,
                                  to_paradox_handler.peakMiB, to_paradox_engine.peakMiB});
    std::printf("peak memory of any side: %.1f MiB (goal <= 96): %s\n", peak, peak <= 96 ? "met" : "NOT MET");
    std::printf("checking the last run's tables:\n");
    const int verified = Verify(dir, rows);
    getloadavg(load, 3);
    std::printf("load average at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    const bool ok = verified == 0 && to_access_handler.ok && to_access_engine.ok && to_paradox_handler.ok &&
                    to_paradox_engine.ok;
    return ok ? 0 : 1;
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
    return 1;
  }
}
