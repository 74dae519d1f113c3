// Reading a large Access table: jetdump (our engine) against mdb-export (mdbtools) on the same
// file in the same run, with the peak memory of each. See README.md.
//
// Two tables are read: one generated through the engine's insert call (ten columns of Long,
// Double and Text in an Access-made table), and the largest table of the corpus (Jackcess'
// compIndexTestV2000.mdb, 512 rows) made large by appending copies of its data pages to a
// scratch copy of the file and pointing the table's usage map at all of them.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_run.h"
#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_inserter.h"
#include "grown_table.h"

namespace fs = std::filesystem;
using namespace qv::jet;

namespace {

using qv::bench::BestOf;
using qv::bench::ChildRun;

// Writes `out`: `source` with table `table` grown by `copies` copies of its data pages.
std::uint64_t BuildLargeFile(const std::string& source, const std::string& table, int copies,
                             const std::string& out) {
  std::uint64_t rows = 0;
  qv::Bytes file = qv::bench::GrowTableFile(source, table, copies, rows);
  std::ofstream o(out, std::ios::binary);
  o.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return rows;
}

// Writes `out`: a copy of the Access-made testPromotionV2003.mdb whose table jobDB1 (two Long,
// two Double, six Text columns) holds `rows` generated rows, inserted through the engine.
void BuildGeneratedFile(std::uint64_t rows, const std::string& out) {
  const std::string source =
      std::string(QV_SHARED_DIR) + "/corpus/access/jackcess/src/test/data/V2003/testPromotionV2003.mdb";
  fs::copy_file(source, out, fs::copy_options::overwrite_existing);
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
  auto db = Database::Open(out);
  TableInserter ins(*db, "jobDB1");
  qv::Row row(ins.definition().columns.size());
  for (std::uint64_t i = 0; i < rows; ++i) {
    row[0] = static_cast<std::int64_t>(i);
    row[1] = static_cast<std::int64_t>(i % 977);
    row[2] = static_cast<double>(i) * 0.25;
    row[3] = "Job " + std::to_string(i);
    row[4] = std::string(i % 2 ? "yes" : "no");
    row[5] = "type " + std::to_string(i % 13);
    row[6] = std::string(i % 5 ? "Department of Examples" : "Abteilung f\xc3\xbcr Beispiele");
    row[7] = std::string("Ann");
    row[8] = std::string("Bob");
    row[9] = static_cast<double>(i) / 3.0;
    ins.Insert(row);
  }
}

// Runs BuildGeneratedFile in a child process, so that the memory the insert used does not count
// in the peak memory of the readers this process starts later (a forked child starts with its
// parent's resident pages). False when the child failed.
bool BuildGeneratedFileApart(std::uint64_t rows, const std::string& out) {
  pid_t pid = fork();
  if (pid == 0) {
    try {
      BuildGeneratedFile(rows, out);
      _exit(0);
    } catch (const qv::Error& e) {
      std::fprintf(stderr, "cannot build %s: %s\n", out.c_str(), e.what());
      _exit(1);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// BuildLargeFile in a child process, for the same reason (the grown file is built in memory);
// the row count comes back through a pipe. 0 when the child failed.
std::uint64_t BuildLargeFileApart(const std::string& source, const std::string& table, int copies,
                                  const std::string& out) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    try {
      std::uint64_t rows = BuildLargeFile(source, table, copies, out);
      bool sent = write(fds[1], &rows, sizeof rows) == static_cast<ssize_t>(sizeof rows);
      _exit(sent ? 0 : 1);
    } catch (const qv::Error& e) {
      std::fprintf(stderr, "cannot build %s: %s\n", out.c_str(), e.what());
      _exit(1);
    }
  }
  close(fds[1]);
  std::uint64_t rows = 0;
  if (read(fds[0], &rows, sizeof rows) != static_cast<ssize_t>(sizeof rows)) rows = 0;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? rows : 0;
}

struct Line {
  std::uint64_t rows = 0;
  std::string file;
  std::string table;
};

// Times both readers on `line` and prints one row of the table; false when a reader failed.
bool Report(const Line& line, const std::string& jetdump) {
  ChildRun ours = BestOf({jetdump, "--table=" + line.table, line.file, "rows"}, 5, "/dev/null");
  ChildRun theirs = BestOf({"mdb-export", line.file, line.table}, 5, "/dev/null");
  if (ours.status != 0 || theirs.status != 0) {
    std::fprintf(stderr, "a reader failed: jetdump %d, mdb-export %d\n", ours.status, theirs.status);
    return false;
  }
  std::printf("%-10llu %10.1f %10.3f %12.3f %12ld %12ld %12.0f %8.2f\n",
              static_cast<unsigned long long>(line.rows),
              static_cast<double>(fs::file_size(line.file)) / 1048576.0, ours.cpu, theirs.cpu, ours.peakKiB,
              theirs.peakKiB, static_cast<double>(line.rows) / ours.cpu, theirs.cpu / ours.cpu);
  return true;
}

void PrintHeading(const char* what) {
  std::printf("\n%s\n%-10s %10s %10s %12s %12s %12s %12s %8s\n", what, "rows", "MiB", "jetdump s",
              "mdb-export s", "jetdump KiB", "export KiB", "rows/s ours", "speed x");
}

}  // namespace

int main(int argc, char** argv) {
  int copies = argc > 1 ? std::atoi(argv[1]) : 200;
  std::uint64_t generated = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000;
  const std::string source =
      std::string(QV_SHARED_DIR) + "/corpus/access/jackcess/src/test/data/V2000/compIndexTestV2000.mdb";
  const std::string jetdump = std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump";
  fs::path dir = fs::temp_directory_path() / ("qv_jet_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::printf("times are CPU seconds (user + system), best of 5\n");
  try {
    PrintHeading("generated table (jobDB1: 2 Long, 2 Double, 6 Text), written by the engine");
    for (std::uint64_t factor : {1, 2}) {
      Line line{generated * factor, (dir / ("generated" + std::to_string(factor) + ".mdb")).string(),
                "jobDB1"};
      if (!BuildGeneratedFileApart(line.rows, line.file) || !Report(line, jetdump)) return 1;
    }
    PrintHeading("corpus table grown (Table1: Long, 2 Text)");
    for (int factor : {1, 2}) {
      Line line{0, (dir / ("large" + std::to_string(factor) + ".mdb")).string(), "Table1"};
      line.rows = BuildLargeFileApart(source, "Table1", copies * factor, line.file);
      if (line.rows == 0 || !Report(line, jetdump)) return 1;
    }
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "cannot build a benchmark file: %s\n", e.what());
    return 1;
  }
  if (!std::getenv("JET_BENCH_KEEP"))
    fs::remove_all(dir);
  else
    std::printf("files kept in %s\n", dir.c_str());
  return 0;
}
