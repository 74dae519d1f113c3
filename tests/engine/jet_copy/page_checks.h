// Checks of the pages a copy writes, shared by the copy tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>

#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"

namespace qv::jet::testing {

// ACE: each long-value column's owned-pages map, from the definition (after the column names).
inline std::map<std::uint16_t, RowPointer> AceLongValueMaps(Database& db, const TableDefinition& t) {
  std::map<std::uint16_t, RowPointer> maps;
  if (db.header().layout.version == JetVersion::Jet4) return maps;
  PagePtr tdef = db.pages().ReadPage(t.firstPage);
  std::size_t at = 0x3f + 25 * t.columns.size();
  for (std::size_t i = 0; i < t.columns.size(); ++i) at += 2 + LoadU16(tdef->data() + at);
  while (LoadU16(tdef->data() + at) != 0xffff) {
    maps[LoadU16(tdef->data() + at)] = RowPointer::Decode(LoadU32(tdef->data() + at + 2));
    at += 10;
  }
  return maps;
}

// No two rows share an LVAL row; every LVAL page past `firstNew` that a row of `table` points at
// is listed in its column's map (ACE), and every data page of the table past `firstNew` is
// listed in the table's map.
inline void ExpectNewPagesListed(Database& db, const std::string& table, std::uint32_t firstNew) {
  TableDefinition t = db.ReadDefinition(table);
  const Layout& l = db.header().layout;
  std::set<std::uint32_t> listed;
  for (auto p : UsageMap::Read(db.pages(), l, RowPointer::Decode(t.usedPagesPointer)).Pages())
    listed.insert(p);
  for (std::uint32_t p = firstNew; p < db.pages().pageCount(); ++p) {
    PagePtr page = db.pages().ReadPage(p);
    if ((*page)[0] == page_type::kData && LoadU32(page->data() + 4) == t.firstPage) {
      EXPECT_TRUE(listed.count(p)) << "data page " << p << " is not in the table's map";
    }
  }
  auto maps = AceLongValueMaps(db, t);
  auto cursor = db.OpenCursor(table);
  std::vector<Cell> cells;
  std::set<std::uint32_t> pointers;
  while (cursor->NextRow(cells)) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const ColumnDef& c = t.columns[i];
      if (!c.longValue() || cells[i].null || cells[i].bytes.size() < 12 || (cells[i].bytes[3] & 0x80))
        continue;
      RowPointer ptr = RowPointer::Decode(LoadU32(cells[i].bytes.data() + 4));
      // A copied value has LVAL rows of its own: two rows never share one.
      EXPECT_TRUE(pointers.insert(ptr.Encode()).second)
          << "two rows point at LVAL row " << ptr.page << ":" << int{ptr.row};
      if (ptr.page < firstNew || !maps.count(c.number)) continue;
      std::set<std::uint32_t> own;
      for (auto p : UsageMap::Read(db.pages(), l, maps[c.number]).Pages()) own.insert(p);
      EXPECT_TRUE(own.count(ptr.page))
          << "LVAL page " << ptr.page << " is not in column " << c.name << "'s map";
    }
  }
}

// A copy that must be refused: the error number and a piece of its description.
struct Refusal {
  const char* file;
  const char* source;
  const char* target;
  int number;
  const char* text;
};

// Runs `copy` for each refusal on a scratch copy of its file: it must throw as described and
// leave the file byte for byte as it was.
inline void ExpectRefusedLeavingFileUnchanged(std::span<const Refusal> refusals,
                                              const std::function<void(Database&, const Refusal&)>& copy) {
  ScratchDir dir;
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(std::string(r.file) + " " + r.source + " -> " + r.target);
    std::string path = dir.Copy(r.file, "r" + std::filesystem::path(r.file).extension().string());
    Bytes original = ReadFileBytes(path);
    {
      auto db = Database::Open(path);
      try {
        copy(*db, r);
        ADD_FAILURE() << "accepted";
      } catch (const qv::Error& e) {
        EXPECT_EQ(e.number(), r.number) << e.description();
        EXPECT_NE(e.description().find(r.text), std::string::npos) << e.description();
      }
    }
    EXPECT_EQ(ReadFileBytes(path), original);
  }
}

}  // namespace qv::jet::testing
