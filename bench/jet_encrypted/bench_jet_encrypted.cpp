// Reading a large table of a password-protected .accdb against reading the same table unencrypted,
// in the same run. See README.md.
//
// The pair is built in a scratch folder: the largest ACE14 table of the corpus (Table1 of
// Jackcess' compIndexTestV2010.accdb, 512 rows on 4 data pages) is made large by appending copies
// of its data pages and pointing its usage map (turned into a reference map) at all of them; that
// file is the unencrypted side. The encrypted side has the same pages 1..n, each encrypted with
// the page codec of a protected corpus file, behind that file's own page 0 (which carries the
// encryption header). Both sides must stream the same rows, checked by a hash of every value.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/data_page.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/providers/provider.h"
#include "grown_table.h"

namespace fs = std::filesystem;
using namespace qv::jet;

namespace {

qv::Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const qv::Bytes& bytes) {
  std::ofstream o(path, std::ios::binary);
  o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Pass {
  double open = 0;     // CPU seconds opening the database: for agile files mostly the key derivation
  double seconds = 0;  // CPU seconds (user + system, every thread) streaming the table after the open
  double wall = 0;     // wall seconds of the same
  std::uint64_t rows = 0;
  std::size_t hash = 0;
};

// Opens the file, streams every row of the table with its values decoded, closes it (closing
// joins the pager's worker, so its CPU time is counted). `worker`: background decryption on.
Pass ReadOnce(const std::string& path, const OpenOptions& options, bool worker) {
  Pass p;
  double start = CpuSeconds();
  double wallStart = 0;
  {
    auto db = Database::Open(path, options);
    db->pages().SetBackgroundDecrypt(worker);
    p.open = CpuSeconds() - start;
    start = CpuSeconds();
    wallStart = WallSeconds();
    auto reader = db->ReadTable("Table1");
    qv::Row row;
    while (reader->Next(row)) {
      ++p.rows;
      for (const auto& v : row) {
        auto text = qv::FormatValueText(v);
        p.hash = p.hash * 1000003u ^ std::hash<std::string>{}(text ? *text : std::string("\x01null"));
      }
    }
  }
  p.seconds = CpuSeconds() - start;
  p.wall = WallSeconds() - wallStart;
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const int copies = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string corpus = std::string(QV_SHARED_DIR) + "/corpus/access/";
  struct Donor {
    const char* rel;
    const char* password;
    const char* label;
  };
  const Donor donors[] = {
      {"mdb-reader/test/encryption/data/office-agile-4.2.accdb", "password", "RC4 CryptoAPI"},
      {"jackcessencrypt/src/test/data/db2007-enc.accdb", "Test123", "agile AES-128/SHA1"},
      {"mdb-reader/test/data/real/ASampleDatabase-protected.accdb", "password", "agile AES-256/SHA512"},
      {"jackcessencrypt/src/test/data/db-nonstandard.accdb", "password", "non-standard AES"},
  };
  fs::path dir = fs::temp_directory_path() / ("qv_jet_encrypted_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  int status = 0;
  try {
    std::uint64_t rows = 0;
    qv::Bytes plain = qv::bench::GrowTableFile(
        corpus + "jackcess/src/test/data/V2010/compIndexTestV2010.accdb", "Table1", copies, rows);
    const std::string plainPath = (dir / "plain.accdb").string();
    WriteAll(plainPath, plain);
    const std::size_t ps = 4096, pages = plain.size() / ps;
    std::printf("Table1: %llu rows, %zu pages (%.1f MiB); seconds per full read, best of %d\n",
                static_cast<unsigned long long>(rows), pages, static_cast<double>(plain.size()) / 1048576.0,
                runs);
    std::printf(
        "CPU = user + system of all threads; wall = elapsed; enc = with the pager's decryption worker,\n"
        "1thr = the same read with the worker off; goal: enc / plain <= 1.5\n");
    std::printf("%-19s %6s %6s %6s %6s %6s | %6s %6s %6s %6s %6s | %6s %6s\n", "scheme", "CPU pl", "enc",
                "ratio", "1thr", "ratio", "wall pl", "enc", "ratio", "1thr", "ratio", "open s", "+open");
    for (const auto& d : donors) {
      qv::Bytes donor = ReadAll(corpus + d.rel);
      auto codec = qv::jet::crypto::OpenEncryption(std::span<const std::uint8_t>(donor.data(), ps),
                                                   d.password, ps, d.rel);
      qv::Bytes enc = plain;
      std::copy(donor.begin(), donor.begin() + static_cast<std::ptrdiff_t>(ps), enc.begin());
      for (std::size_t n = 1; n < pages; ++n)
        codec->EncryptPage(static_cast<std::uint32_t>(n), std::span<std::uint8_t>(enc.data() + n * ps, ps));
      const std::string encPath =
          (dir / (std::string("enc_") + std::to_string(&d - donors) + ".accdb")).string();
      WriteAll(encPath, enc);

      OpenOptions plainOptions;
      OpenOptions encOptions;
      encOptions.password = d.password;
      // Best CPU and best wall time of each side, taken apart (the best of one need not be the
      // best of the other). Alternating the sides spreads the neighbours' load over all three.
      Pass bestPlain, bestEnc, bestOne;
      double wallPlain = 0, wallEnc = 0, wallOne = 0;
      auto keep = [&](int r, const Pass& p, Pass& best, double& bestWall) {
        if (r == 0 || p.seconds < best.seconds) best = p;
        if (r == 0 || p.wall < bestWall) bestWall = p.wall;
      };
      bool same = true;
      for (int r = 0; r < runs; ++r) {
        Pass a = ReadOnce(plainPath, plainOptions, true);
        Pass b = ReadOnce(encPath, encOptions, true);
        Pass c = ReadOnce(encPath, encOptions, false);
        same = same && a.rows == rows && b.rows == rows && c.rows == rows && a.hash == b.hash &&
               a.hash == c.hash;
        keep(r, a, bestPlain, wallPlain);
        keep(r, b, bestEnc, wallEnc);
        keep(r, c, bestOne, wallOne);
      }
      if (!same) {
        std::fprintf(stderr, "%s: the sides differ (rows or values; best passes %llu / %llu / %llu rows)\n",
                     d.rel, static_cast<unsigned long long>(bestPlain.rows),
                     static_cast<unsigned long long>(bestEnc.rows),
                     static_cast<unsigned long long>(bestOne.rows));
        status = 1;
        continue;
      }
      const double withOpen = (bestEnc.seconds + bestEnc.open) / (bestPlain.seconds + bestPlain.open);
      std::printf("%-19s %6.3f %6.3f %6.2f %6.3f %6.2f | %6.3f %6.3f %6.2f %6.3f %6.2f | %6.3f %6.2f\n",
                  d.label, bestPlain.seconds, bestEnc.seconds, bestEnc.seconds / bestPlain.seconds,
                  bestOne.seconds, bestOne.seconds / bestPlain.seconds, wallPlain, wallEnc,
                  wallEnc / wallPlain, wallOne, wallOne / wallPlain, bestEnc.open, withOpen);
      fs::remove(encPath);
    }
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "error %d: %s\n", e.number(), e.what());
    status = 1;
  }
  fs::remove_all(dir);
  return status;
}
