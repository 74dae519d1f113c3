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

namespace fs = std::filesystem;
using namespace qv::jet;

namespace {

// Builds `out` from `source`: table `table` gets `copies` extra copies of its data pages.
std::uint64_t BuildLargeFile(const std::string& source, const std::string& table, int copies, const std::string& out) {
  std::ifstream in(source, std::ios::binary);
  qv::Bytes file(std::istreambuf_iterator<char>(in), {});
  auto db = Database::Open(source);
  const Layout& l = db->header().layout;
  const std::uint32_t ps = l.pageSize;
  TableDefinition def = db->ReadDefinition(table);
  RowPointer mapPtr = RowPointer::Decode(def.usedPagesPointer);
  UsageMap map = UsageMap::Read(db->pages(), l, mapPtr);
  std::vector<std::uint32_t> dataPages;
  std::uint64_t rowsPerCopy = 0;
  for (auto p : map.Pages()) {
    auto page = db->pages().ReadPage(p);
    if ((*page)[0] != page_type::kData || qv::LoadU32(page->data() + 4) != def.firstPage) continue;
    dataPages.push_back(p);
    rowsPerCopy += DataPageReader(db->pages(), l, p, *page).rowCount();
  }
  std::uint32_t next = static_cast<std::uint32_t>(file.size() / ps);
  file.resize(static_cast<std::size_t>(next) * ps);
  std::vector<std::uint32_t> all = dataPages;
  for (int c = 0; c < copies; ++c)
    for (auto p : dataPages) {
      file.insert(file.end(), file.begin() + static_cast<std::ptrdiff_t>(p) * ps,
                  file.begin() + static_cast<std::ptrdiff_t>(p + 1) * ps);
      all.push_back(next++);
    }
  // One bitmap page (type 0x05) for the whole map: the data stays well under 32,736 pages.
  std::uint32_t bitmapPage = next++;
  std::size_t at = file.size();
  file.resize(at + ps, 0);
  file.at(at) = page_type::kUsageMap;
  file.at(at + 1) = 0x01;
  for (auto p : all) file.at(at + 4 + p / 8) |= static_cast<std::uint8_t>(1u << (p % 8));
  // The map row becomes a reference map naming that page.
  auto mapPage = db->pages().ReadPage(mapPtr.page);
  RowSlot slot = DataPageReader(db->pages(), l, mapPtr.page, *mapPage).Slot(mapPtr.row);
  std::uint8_t* row = file.data() + static_cast<std::size_t>(mapPtr.page) * ps + slot.start;
  std::fill(row, row + (slot.end - slot.start), 0);
  row[0] = 0x01;
  qv::StoreU32(row + 1, bitmapPage);
  std::uint64_t total = rowsPerCopy * static_cast<std::uint64_t>(copies + 1);
  qv::StoreU32(file.data() + static_cast<std::size_t>(def.firstPage) * ps + l.tdefRowCount,
               static_cast<std::uint32_t>(total));
  std::ofstream o(out, std::ios::binary);
  o.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return total;
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
