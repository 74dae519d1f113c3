// What the Access fuzz targets do with an input: the database file is put in a file system of
// its own in memory (so no page cache is shared between inputs and nothing touches the disk),
// opened, and every table read whole, unreadable columns skipped. Any qv::Error is a clean
// refusal; anything else (a crash, another exception, a sanitizer report) is a finding.
#pragma once

#include <cstdint>
#include <span>

#include "engine/core/error.h"
#include "engine/core/file_system.h"
#include "engine/jet/database.h"

namespace qv::fuzz {

inline void ReadAccessFile(std::span<const std::uint8_t> file, jet::OpenOptions options) {
  MemoryFileSystem memory;
  memory.Put("/fuzz/input.accdb", file);
  options.files = &memory;
  try {
    auto db = jet::Database::Open("/fuzz/input.accdb", options);
    db->SchemaTables();
    for (const auto& e : db->catalog()) {
      if (!e.isTable()) continue;
      try {
        jet::ReadOptions skip;
        skip.skipUnreadableColumns = true;
        auto reader = db->ReadTable(e.name, skip);
        Row row;
        while (reader->Next(row)) {
        }
      } catch (const Error&) {
      }
    }
  } catch (const Error&) {
  }
}

}  // namespace qv::fuzz
