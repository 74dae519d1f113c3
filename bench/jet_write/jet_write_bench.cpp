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
  if (const int status = qv::bench::FillStepMain(argc, argv); status >= 0) return status;
  const qv::bench::BenchRun run = qv::bench::ParseBenchRun(argc, argv, "qv-jet-write-bench");
  const std::uint64_t rows = run.rows;
  const std::string& dir = run.dir;
  const std::string& path = run.path;
  qv::bench::ChildRun inserted = qv::bench::FillInChild(run);
  qv::bench::ChildRun exported =
      qv::bench::RunChild({"/bin/sh", "-c", "exec mdb-export '" + path + "' Bench"}, "/dev/null");

  std::printf("rows                  %llu (%s)\n", static_cast<unsigned long long>(rows), run.formatName());
  std::printf("file size             %.1f MiB\n",
              static_cast<double>(std::filesystem::file_size(path)) / 1048576.0);
  std::printf("insert (ours)         %.2f s wall, %.2f s CPU (%.0f rows/s), peak %.1f MiB%s\n", inserted.wall,
              inserted.cpu, static_cast<double>(rows) / inserted.wall,
              static_cast<double>(inserted.peakKiB) / 1024.0, inserted.status == 0 ? "" : "  (FAILED)");
  std::printf("mdb-export (anchor)   %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", exported.wall, exported.cpu,
              static_cast<double>(exported.peakKiB) / 1024.0, exported.status == 0 ? "" : "  (FAILED)");
  std::printf("ratio                 %.2f wall, %.2f CPU (insert time / mdb-export time; goal <= 1)\n",
              inserted.wall / exported.wall, inserted.cpu / exported.cpu);
  std::filesystem::remove_all(dir);
  return inserted.status == 0 && exported.status == 0 ? 0 : 1;
}
