// New, empty Access databases made from our own description of what Access puts in one
// (database_description.h): page 0, the global usage map on page 1, then every system table with
// its definition (indexes included), usage maps, rows, long values and index leaves, written
// through the engine's row, page, index-leaf and definition writers.
//
// The file appears whole or not at all: it is written under a temporary name in the target's
// folder, synced, then given its name without replacing anything (a file that took the name
// meanwhile is reported) and the folder synced, all through the file layer (file_system.h). An
// existing path is refused (3204), as is a folder that does not exist (3044); a folder where no
// file can be made gives 3045, a full disk 3026 and any other failed write or sync, of the file
// or of the folder, 3043.
// Layouts and facts: docs/formats/jet-writing.md, "New databases".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/core/file_system.h"
#include "engine/core/value.h"
#include "engine/jet/write/database_description.h"

namespace qv::jet {

struct CreateOptions {
  // The creation time written into page 0 and the catalog; unset: the local time now.
  std::optional<qv::Timestamp> now;
  // Fills `out` with random bytes (GUIDs of generated names); unset: std::random_device.
  std::function<void(std::uint8_t* out, std::size_t n)> random;
};

void CreateDatabase(const std::string& path, DatabaseFormat format, const CreateOptions& options = {},
                    FileSystem& files = PosixFileSystem());

// The pages of a new database of `format`, joined, without writing anything (what CreateDatabase
// writes). For tests.
Bytes BuildEmptyDatabase(DatabaseFormat format, const CreateOptions& options = {});

// The same for any description (tests add tables to the empty descriptions with it).
Bytes BuildDatabase(const DatabaseDescription& description, const CreateOptions& options = {});

// "jet4", "ace2007", "ace2010", "jet3" (case-insensitive); false when `name` is none of them.
bool ParseDatabaseFormat(std::string_view name, DatabaseFormat& out);
const char* DatabaseFormatName(DatabaseFormat format);

}  // namespace qv::jet
