// Copy benchmark: a table of 10 columns (text, long, double, currency, date, boolean, memo) made in
// a new database and filled with N rows through the engine's insert call (bench_table.h), then, in the same
// run, mdb-export reading it (the anchor) and CopyTable copying it inside the file. Each step runs in a
// process of its own (this program started again with --fill or --copy), so its time and peak memory are its
// own. See README.md.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench_table.h"
#include "child_run.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_copier.h"

namespace {

using qv::bench::ChildRun;
using qv::bench::RunChild;

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
  if (const int status = qv::bench::FillStepMain(argc, argv); status >= 0) return status;
  const qv::bench::BenchRun run = qv::bench::ParseBenchRun(argc, argv, "qv-jet-copy-bench");
  const std::uint64_t rows = run.rows;
  const std::string& dir = run.dir;
  const std::string& path = run.path;
  const std::string& self = run.self;
  qv::bench::ChildRun inserted = qv::bench::FillInChild(run);
  const double fileMiB = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;

  ChildRun exported = RunChild({"/bin/sh", "-c", "exec mdb-export '" + path + "' Bench"}, "/dev/null");
  ChildRun copied = RunChild({self, "--copy", path}, "/dev/null");

  // The copy reads back with as many rows as the original.
  std::uint64_t copyRows = 0;
  {
    auto db = qv::jet::Database::Open(path);
    copyRows = db->ReadDefinition("BenchCopy").rowCount;
  }
  std::printf("rows                  %llu (%s)\n", static_cast<unsigned long long>(rows), run.formatName());
  std::printf("file size             %.1f MiB before the copy, %.1f MiB after\n", fileMiB,
              static_cast<double>(std::filesystem::file_size(path)) / 1048576.0);
  std::printf("insert (ours)         %.2f s wall, %.2f s CPU (%.0f rows/s), peak %.1f MiB%s\n", inserted.wall,
              inserted.cpu, static_cast<double>(rows) / inserted.wall,
              static_cast<double>(inserted.peakKiB) / 1024.0, inserted.status == 0 ? "" : "  (FAILED)");
  std::printf("mdb-export (anchor)   %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", exported.wall, exported.cpu,
              static_cast<double>(exported.peakKiB) / 1024.0, exported.status == 0 ? "" : "  (FAILED)");
  std::printf("CopyTable (ours)      %.2f s wall, %.2f s CPU, peak %.1f MiB%s\n", copied.wall, copied.cpu,
              static_cast<double>(copied.peakKiB) / 1024.0, copied.status == 0 ? "" : "  (FAILED)");
  std::printf("speed                 %.2fx wall, %.2fx CPU (mdb-export time / copy time; goal >= 3)\n",
              exported.wall / copied.wall, exported.cpu / copied.cpu);
  std::printf("copied rows           %llu%s\n", static_cast<unsigned long long>(copyRows),
              copyRows == rows ? "" : "  (WRONG)");
  std::filesystem::remove_all(dir);
  return inserted.status == 0 && exported.status == 0 && copied.status == 0 && copyRows == rows ? 0 : 1;
}
