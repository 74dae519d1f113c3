// Insert benchmark: a new database (CreateDatabase) with a table of 10 columns (three text, two
// long, double, currency, date, Yes/No, memo: bench_table.h) made by CREATE TABLE and filled with
// N rows through the engine's insert call; then, in the same run, mdb-export reading the table
// back (the anchor). Each step runs in a process of its own (this program started again with
// --fill), so its time and peak memory are its own. Prints both, the ratio and the peak memory.
// See README.md.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_table.h"
#include "child_run.h"

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--fill") == 0)
    return qv::bench::CreateAndFill(argv[2], std::strcmp(argv[4], "ace") == 0, std::strtoull(argv[3], nullptr, 10));
  std::uint64_t rows = 1000000;
  bool ace = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--accdb") == 0) ace = true;
    else rows = std::strtoull(argv[i], nullptr, 10);
  }
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("qv-jet-write-bench-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const std::string path = dir + (ace ? "/bench.accdb" : "/bench.mdb");
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

  qv::bench::ChildRun inserted = qv::bench::RunChild({self, "--fill", path, std::to_string(rows), ace ? "ace" : "jet4"});
  qv::bench::ChildRun exported =
      qv::bench::RunChild({"/bin/sh", "-c", "exec mdb-export '" + path + "' Bench"}, "/dev/null");

  std::printf("rows                  %llu (%s)\n", static_cast<unsigned long long>(rows), ace ? "ACE14 .accdb" : "Jet4 .mdb");
  std::printf("file size             %.1f MiB\n", static_cast<double>(std::filesystem::file_size(path)) / 1048576.0);
  std::printf("insert (ours)         %.2f s wall, %.2f s CPU (%.0f rows/s), peak %.1f MiB%s\n", inserted.wall, inserted.cpu,
              static_cast<double>(rows) / inserted.wall, static_cast<double>(inserted.peakKiB) / 1024.0,
              inserted.status == 0 ? "" : "  (FAILED)");
  std::printf("mdb-export (anchor)   %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", exported.wall, exported.cpu,
              static_cast<double>(exported.peakKiB) / 1024.0, exported.status == 0 ? "" : "  (FAILED)");
  std::printf("ratio                 %.2f wall, %.2f CPU (insert time / mdb-export time; goal <= 1)\n",
              inserted.wall / exported.wall, inserted.cpu / exported.cpu);
  std::filesystem::remove_all(dir);
  return inserted.status == 0 && exported.status == 0 ? 0 : 1;
}
