// Insert benchmark: N rows through the engine's insert call into a copy of an Access-made table,
// then, in the same run, mdb-export reading the same table back (the anchor). Prints both times,
// the ratio and the peak memory of the insert. See README.md.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "engine/jet/database.h"
#include "engine/jet/write/table_inserter.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKiB() {
  struct rusage ru {};
  ::getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  std::string source = std::string(QV_SHARED_DIR) + "/corpus/access/jackcess/src/test/data/V2003/testPromotionV2003.mdb";
  std::string dir = (std::filesystem::temp_directory_path() / ("qv-jet-write-bench-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  std::string path = dir + "/bench.mdb";
  std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  long baseKiB = PeakKiB();
  auto start = std::chrono::steady_clock::now();
  {
    auto db = qv::jet::Database::Open(path);
    qv::jet::TableInserter ins(*db, "jobDB1");
    qv::Row row(ins.definition().columns.size());
    for (std::uint64_t i = 0; i < rows; ++i) {
      row[0] = static_cast<std::int64_t>(i);
      row[1] = static_cast<std::int64_t>(i % 977);
      row[2] = static_cast<double>(i) * 0.25;
      row[3] = std::string("Job ") + std::to_string(i);
      row[4] = std::string(i % 2 ? "yes" : "no");
      row[5] = std::string("type ") + std::to_string(i % 13);
      row[6] = std::string("Department of Examples");
      row[7] = std::string("Ann");
      row[8] = std::string("Bob");
      row[9] = static_cast<double>(i) / 3.0;
      ins.Insert(row);
    }
  }  // close: final checkpoint
  double insertSeconds = Seconds(start);
  long insertKiB = PeakKiB();

  start = std::chrono::steady_clock::now();
  std::string cmd = "mdb-export '" + path + "' jobDB1 > /dev/null";
  int st = std::system(cmd.c_str());
  double exportSeconds = Seconds(start);

  std::printf("rows                 %llu\n", static_cast<unsigned long long>(rows));
  std::printf("file size            %.1f MiB\n", static_cast<double>(std::filesystem::file_size(path)) / 1048576.0);
  std::printf("insert (ours)        %.2f s  (%.0f rows/s)\n", insertSeconds, static_cast<double>(rows) / insertSeconds);
  std::printf("mdb-export (anchor)  %.2f s%s\n", exportSeconds, st == 0 ? "" : "  (mdb-export failed)");
  std::printf("ratio                %.2f (insert time / mdb-export time; goal <= 1)\n", insertSeconds / exportSeconds);
  std::printf("peak memory          %.1f MiB (process, before insert %.1f MiB; goal <= 64 MiB)\n", insertKiB / 1024.0,
              baseKiB / 1024.0);
  std::filesystem::remove_all(dir);
  return st == 0 ? 0 : 1;
}
