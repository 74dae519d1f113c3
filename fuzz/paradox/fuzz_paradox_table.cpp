// libFuzzer target for the Paradox table reader. The input is a table file, optionally followed
// by a blob file: when the input starts with the 4 bytes "QVMB", the next 4 bytes (little-endian)
// give the length of the .DB part and the rest is the .MB. Any qv::Error is a clean refusal;
// anything else (a crash, another exception, a sanitizer report) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/core/error.h"
#include "engine/paradox/table_reader.h"

namespace fs = std::filesystem;

namespace {

void Save(const fs::path& p, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("qv-fuzz-paradox-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  const fs::path db = dir / "T.DB";
  const fs::path mb = dir / "T.MB";
  std::size_t dbSize = size;
  if (size >= 8 && std::memcmp(data, "QVMB", 4) == 0) {
    std::uint32_t n;
    std::memcpy(&n, data + 4, 4);
    data += 8;
    size -= 8;
    dbSize = n % (size + 1);
    Save(mb, data + dbSize, size - dbSize);
  } else {
    std::error_code ec;
    fs::remove(mb, ec);
  }
  Save(db, data, dbSize);
  try {
    qv::paradox::TableReader table(db);
    qv::Row row;
    for (;;) {
      try {
        if (!table.Next(row)) break;
      } catch (const qv::Error& e) {
        if (e.description().find("field '") == std::string::npos) break;  // the stream itself ended
      }
    }
  } catch (const qv::Error&) {
  }
  return 0;
}
