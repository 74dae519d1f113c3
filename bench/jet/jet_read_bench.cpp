// Reading a large Access table: jetdump (our engine) against mdb-export (mdbtools) on the same
// file in the same run, with the peak memory of each. See README.md.
//
// The table is the largest of the corpus (Jackcess' compIndexTestV2000.mdb, 512 rows) made
// large by appending copies of its data pages to a scratch copy of the file and pointing the
// table's usage map (turned into a reference map) at all of them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "grown_table.h"

namespace fs = std::filesystem;
using namespace qv::jet;

namespace {

// Writes `out`: `source` with table `table` grown by `copies` copies of its data pages.
std::uint64_t BuildLargeFile(const std::string& source, const std::string& table, int copies, const std::string& out) {
  std::uint64_t rows = 0;
  qv::Bytes file = qv::bench::GrowTableFile(source, table, copies, rows);
  std::ofstream o(out, std::ios::binary);
  o.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return rows;
}

struct Measure {
  double seconds = 0;  // CPU time (user + system): steady on a loaded machine, unlike wall time
  double wall = 0;
  long peakKiB = 0;
  int status = -1;
};

Measure Time(const std::vector<std::string>& argv) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  Measure m;
  m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
              static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  m.peakKiB = ru.ru_maxrss;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

Measure Best(const std::vector<std::string>& argv, int runs) {
  Measure best;
  for (int i = 0; i < runs; ++i) {
    Measure m = Time(argv);
    if (i == 0 || m.seconds < best.seconds) best = m;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int copies = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::string source = std::string(QV_SHARED_DIR) + "/corpus/access/jackcess/src/test/data/V2000/compIndexTestV2000.mdb";
  const std::string jetdump = std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump";
  fs::path dir = fs::temp_directory_path() / ("qv_jet_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::printf("times are CPU seconds (user + system), best of 5\n");
  std::printf("%-10s %10s %10s %12s %12s %12s %12s %8s\n", "rows", "MiB", "jetdump s", "mdb-export s", "jetdump KiB",
              "export KiB", "rows/s ours", "speed x");
  for (int factor : {1, 2}) {
    std::string file = (dir / ("large" + std::to_string(factor) + ".mdb")).string();
    std::uint64_t rows = 0;
    try {
      rows = BuildLargeFile(source, "Table1", copies * factor, file);
    } catch (const qv::Error& e) {
      std::fprintf(stderr, "cannot build the large file: %s\n", e.what());
      return 1;
    }
    Measure ours = Best({jetdump, file, "rows"}, 5);
    Measure theirs = Best({"mdb-export", file, "Table1"}, 5);
    if (ours.status != 0 || theirs.status != 0) {
      std::fprintf(stderr, "a reader failed: jetdump %d, mdb-export %d\n", ours.status, theirs.status);
      return 1;
    }
    std::printf("%-10llu %10.1f %10.3f %12.3f %12ld %12ld %12.0f %8.2f\n", static_cast<unsigned long long>(rows),
                static_cast<double>(fs::file_size(file)) / 1048576.0, ours.seconds, theirs.seconds, ours.peakKiB,
                theirs.peakKiB, static_cast<double>(rows) / ours.seconds, theirs.seconds / ours.seconds);
  }
  if (!std::getenv("JET_BENCH_KEEP")) fs::remove_all(dir);
  else std::printf("files kept in %s\n", dir.c_str());
  return 0;
}
