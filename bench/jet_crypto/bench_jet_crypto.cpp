// Page decryption speed of each scheme on the encrypted corpus databases, against copying the same
// pages (the least any page read costs) in the same run. See README.md.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"

namespace {

using Clock = std::chrono::steady_clock;
using qv::jet::crypto::OpenEncryption;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> Passwords(const std::string& corpus) {
  std::map<std::string, std::string> out;
  std::ifstream in(corpus + "/passwords.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string path, password;
    std::getline(fields, path, '\t');
    std::getline(fields, password, '\t');
    out[path] = password;
  }
  return out;
}

// Seconds per pass over all pages of `file`, repeating for at least 0.3 s.
template <typename Fn>
double SecondsPerPass(Fn&& pass) {
  int passes = 0;
  auto start = Clock::now();
  double elapsed = 0;
  do {
    pass();
    ++passes;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < 0.3);
  return elapsed / passes;
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = argc > 1 ? argv[1] : std::string(QV_SHARED_DIR) + "/corpus/access";
  auto passwords = Passwords(corpus);
  const char* files[] = {"jackcessencrypt/src/test/data/db2007-oldenc.accdb",
                         "jackcessencrypt/src/test/data/db-nonstandard.accdb",
                         "jackcessencrypt/src/test/data/db2007-enc.accdb",
                         "mdb-reader/test/data/real/ASampleDatabase-protected.accdb",
                         "jackcessencrypt/src/test/data/db-enc.mdb"};
  std::printf("%-60s %-22s %9s %10s %10s %8s\n", "file", "scheme", "open ms", "copy MB/s", "dec MB/s",
              "us/page");
  for (const char* relative : files) {
    std::vector<std::uint8_t> file = ReadAll(corpus + "/" + relative);
    const std::uint32_t pageSize = file.size() > 0x14 && file[0x14] == 0 ? 2048 : 4096;
    if (file.size() < 2 * pageSize) {
      std::printf("%-60s missing\n", relative);
      continue;
    }
    std::span<const std::uint8_t> page0(file.data(), pageSize);
    try {
      auto openStart = Clock::now();
      auto codec = OpenEncryption(page0, passwords[relative], pageSize, relative);
      double openMs = std::chrono::duration<double, std::milli>(Clock::now() - openStart).count();
      const std::size_t pages = file.size() / pageSize;
      std::vector<std::uint8_t> buffer(pageSize);
      volatile std::uint8_t sink = 0;
      double copy = SecondsPerPass([&] {
        for (std::size_t n = 1; n < pages; ++n) {
          std::memcpy(buffer.data(), file.data() + n * pageSize, pageSize);
          sink = static_cast<std::uint8_t>(sink + buffer[n % pageSize]);
        }
      });
      double decrypt = SecondsPerPass([&] {
        for (std::size_t n = 1; n < pages; ++n) {
          std::memcpy(buffer.data(), file.data() + n * pageSize, pageSize);
          codec->DecryptPage(static_cast<std::uint32_t>(n), buffer);
          sink = static_cast<std::uint8_t>(sink + buffer[n % pageSize]);
        }
      });
      double megabytes = static_cast<double>((pages - 1) * pageSize) / 1e6;
      std::printf("%-60s %-22s %9.1f %10.0f %10.0f %8.2f\n", relative,
                  std::string(qv::jet::crypto::SchemeName(codec->scheme())).c_str(), openMs, megabytes / copy,
                  megabytes / decrypt, decrypt / static_cast<double>(pages - 1) * 1e6);
    } catch (const qv::Error& e) {
      std::printf("%-60s error %d %s\n", relative, e.number(), e.description().c_str());
    }
  }
  return 0;
}
