// libFuzzer target for the Paradox table reader. The input is a table file, optionally followed
// by a blob file: when the input starts with the 4 bytes "QVMB", the next 4 bytes (little-endian)
// give the length of the .DB part and the rest is the .MB. Both are files in memory. Any
// qv::Error is a clean refusal; anything else (a crash, another exception, a sanitizer report)
// is a finding.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/core/error.h"
#include "engine/core/file_system.h"
#include "engine/paradox/table_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::MemoryFileSystem memory;
  std::size_t dbSize = size;
  if (size >= 8 && std::memcmp(data, "QVMB", 4) == 0) {
    std::uint32_t n;
    std::memcpy(&n, data + 4, 4);
    data += 8;
    size -= 8;
    dbSize = n % (size + 1);
    memory.Put("/fuzz/T.MB", {data + dbSize, size - dbSize});
  }
  memory.Put("/fuzz/T.DB", {data, dbSize});
  try {
    qv::paradox::OpenOptions options;
    options.files = &memory;
    qv::paradox::TableReader table("/fuzz/T.DB", options);
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
