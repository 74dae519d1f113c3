// Large Access tables for the read benchmarks, made from a small corpus table without the
// write side: `source` is copied with table `table`'s data pages repeated `copies` more times,
// its usage map turned into a reference map over one bitmap page that names all of them, and
// its row count in the table definition updated. `rows` receives the new row count.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/bytes.h"

namespace qv::bench {

qv::Bytes GrowTableFile(const std::string& source, const std::string& table, int copies, std::uint64_t& rows);

}  // namespace qv::bench
