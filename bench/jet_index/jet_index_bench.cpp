// Indexed insert benchmark: N rows into a copy of an Access-made table with an index, each row's
// entry going into the index tree (splits, new levels), then the same number of rows into a table
// without index of the same file kind for comparison. Prints both times, their ratio, the depth
// the index reached and the peak memory. See README.md.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/jet/database.h"
#include "engine/jet/write/index_writer.h"
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

std::string Copy(const std::string& rel, const std::string& dir, const std::string& name) {
  std::string to = dir + "/" + name;
  std::filesystem::copy_file(std::string(QV_SHARED_DIR) + "/corpus/access/" + rel, to,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  return to;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  std::string dir =
      (std::filesystem::temp_directory_path() / ("qv-jet-index-bench-" + std::to_string(::getpid())))
          .string();
  std::filesystem::create_directories(dir);

  // Table1 of compIndexTestV2000: Long (descending index) and two Text columns.
  std::string indexed = Copy("jackcess/src/test/data/V2000/compIndexTestV2000.mdb", dir, "indexed.mdb");
  auto start = std::chrono::steady_clock::now();
  std::size_t entries = 0;
  {
    auto db = qv::jet::Database::Open(indexed);
    qv::jet::TableInserter ins(*db, "Table1");
    qv::Row row(3);
    for (std::uint64_t i = 0; i < rows; ++i) {
      row[0] = static_cast<std::int64_t>((i * 7919) % 100000007);
      row[1] = std::string("Agent ") + std::to_string(i);
      row[2] = std::string("Example description ") + std::to_string(i % 977);
      ins.Insert(row);
    }
    entries = qv::jet::ReadIndexEntries(db->pages(), ins.definition(), 0).size();
  }
  double indexedSeconds = Seconds(start);

  // The same rows into a table without index (jobDB1 of testPromotionV2003, first three columns
  // filled the same way, the rest NULL).
  std::string plain = Copy("jackcess/src/test/data/V2003/testPromotionV2003.mdb", dir, "plain.mdb");
  start = std::chrono::steady_clock::now();
  {
    auto db = qv::jet::Database::Open(plain);
    qv::jet::TableInserter ins(*db, "jobDB1");
    qv::Row row(ins.definition().columns.size());
    for (std::uint64_t i = 0; i < rows; ++i) {
      row[0] = static_cast<std::int64_t>((i * 7919) % 100000007);
      row[3] = std::string("Agent ") + std::to_string(i);
      row[5] = std::string("Example description ") + std::to_string(i % 977);
      ins.Insert(row);
    }
  }
  double plainSeconds = Seconds(start);
  std::filesystem::remove_all(dir);

  std::printf(
      "rows %llu: indexed insert %.2f s (%zu index entries), plain insert %.2f s, ratio %.2f, peak %.1f "
      "MiB\n",
      static_cast<unsigned long long>(rows), indexedSeconds, entries, plainSeconds,
      plainSeconds > 0 ? indexedSeconds / plainSeconds : 0.0, PeakKiB() / 1024.0);
  return 0;
}
