// The page-accounting checker: walks every page of an Access file and says who owns it, from the
// catalog and the table definitions alone (its own walk, not the writer's bookkeeping):
//  - page 0 the header; the pages of the global usage map (page 1 row 0) and its bitmap pages;
//  - per table of the catalog (system tables included): its definition pages, the data pages its
//    page map lists, the pages holding its usage-map rows (shared: several maps live on one
//    page), the bitmap pages of its reference maps, the pages of every index tree (walked from
//    the root), and the long-value pages its rows point at (shared: Jet4 tables share LVAL pages;
//    ACE files also list them in per-column maps), the catalog's among them: the properties of
//    each object (LvProp), named after the object. Every live row of an LVAL page must be a value
//    some row names. Every index entry must name a live row, and an index that keeps NULLs every
//    row once.
// Then every page must be owned exactly once (shared kinds only by the same kind), owned pages
// must not be marked free, and every page must be owned or marked free (a zero page listed nowhere
// is a page lost to reuse, and counts as a problem too). Problems are texts that do not depend on counters,
// so a test can set aside those an Access-made file already has.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../jet_index/index_check.h"
#include "engine/jet/data_page.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/table_inserter.h"

namespace qv::jet::testing {

struct PageReport {
  std::set<std::string> problems;
  std::size_t owned = 0, free = 0, lostPastMap = 0, pages = 0;
};

class PageAccounting {
 public:
  explicit PageAccounting(Database& db) : db_(db), ps_(db.pages()), l_(db.header().layout) {}

  PageReport Run() {
    report_ = {};
    lvalRows_.clear();
    const std::uint32_t count = ps_.pageCount();
    report_.pages = count;
    owners_.assign(count, {});
    Claim(0, "header", "header");
    // The global map: page 1, row 0; a set bit = a free page.
    std::set<std::uint32_t> freePages;
    {
      RowPointer global{1, 0};
      ClaimMapRow(global, "global map");
      for (auto p : UsageMap::Read(ps_, l_, global).Pages()) freePages.insert(p);
    }
    for (const CatalogEntry& e : db_.catalog()) {
      if (!e.isTable() || e.tablePage() == 0 || !e.database.empty() || !e.connect.empty()) continue;
      try {
        ClaimTable(e);
      } catch (const qv::Error& err) {
        Problem("table " + e.name + " cannot be walked: " + err.description());
      }
    }
    // Every live row of an LVAL page is a long value some row names (a table's value, or a
    // catalog row's properties): a row nobody names is lost, and keeps its page from being freed.
    for (std::uint32_t p = 0; p < count; ++p) {
      if (!owners_[p].count("lval")) continue;
      PagePtr page = ps_.ReadPage(p);
      if ((*page)[0] != page_type::kData) continue;
      DataPageReader reader(ps_, l_, p, *page);
      for (std::uint16_t i = 0; i < reader.rowCount(); ++i)
        if (!reader.Slot(i).deleted && !lvalRows_.count(RowPointer{p, static_cast<std::uint8_t>(i)}.Encode()))
          Problem("LVAL row " + std::to_string(p) + ":" + std::to_string(i) +
                  " is live but no long value names it");
    }
    for (std::uint32_t p = 0; p < count; ++p) {
      const auto& o = owners_[p];
      const bool isFree = freePages.count(p) != 0;
      if (isFree) ++report_.free;
      if (!o.empty()) ++report_.owned;
      if (o.size() > 1) {
        std::string who;
        for (const auto& w : o) who += (who.empty() ? "" : ", ") + w.second;
        Problem("page " + std::to_string(p) + " owned twice: " + who);
      }
      if (!o.empty() && isFree)
        Problem("page " + std::to_string(p) + " of " + o.begin()->second + " is marked free");
      if (o.empty() && !isFree) {
        // A page owned by nobody must be marked free: the global map lists every freed page (an
        // inline map moves its window or becomes a reference map). A zero page listed nowhere is
        // lost to reuse until a compact; one with content is a leak.
        PagePtr page = ps_.ReadPage(p);
        if (std::any_of(page->begin(), page->end(), [](std::uint8_t b) { return b != 0; })) {
          Problem("page " + std::to_string(p) + " (type " + std::to_string((*page)[0]) + ", owner " +
                  std::to_string(LoadU32(page->data() + 4)) + ") is neither owned nor free");
        } else {
          ++report_.lostPastMap;
          Problem("page " + std::to_string(p) + " is zero but not marked free: lost to reuse");
        }
      }
      if (o.empty() && isFree) {
        PagePtr page = ps_.ReadPage(p);
        if (std::any_of(page->begin(), page->end(), [](std::uint8_t b) { return b != 0; }))
          Problem("free page " + std::to_string(p) + " is not zero");
      }
    }
    return report_;
  }

 private:
  // kind: shared kinds ("maps", "lval") may claim a page many times; any other kind once.
  void Claim(std::uint32_t page, const std::string& kind, const std::string& who) {
    if (page >= owners_.size()) {
      Problem(who + " names page " + std::to_string(page) + " past the end of the file");
      return;
    }
    auto& o = owners_[page];
    if ((kind == "maps" || kind == "lval") && o.count(kind)) return;
    if (o.count(kind) && kind != "maps" && kind != "lval") {
      Problem("page " + std::to_string(page) + " claimed twice by " + who);
      return;
    }
    o.emplace(kind, who);
  }

  void ClaimMapRow(RowPointer ptr, const std::string& who) {
    Claim(ptr.page, "maps", "usage-map rows");
    RowRef r = ReadRowAt(ps_, l_, ptr);
    if (r.bytes.empty()) return;
    if (r.bytes[0] == 1) {
      for (std::size_t at = 1; at + 4 <= r.bytes.size(); at += 4) {
        std::uint32_t bitmap = LoadU32(r.bytes.data() + at);
        if (bitmap != 0) Claim(bitmap, "bitmap " + who, "bitmap page of " + who);
      }
    }
  }

  std::vector<std::uint32_t> MapPages(std::uint32_t pointer, const std::string& who) {
    RowPointer ptr = RowPointer::Decode(pointer);
    ClaimMapRow(ptr, who);
    return UsageMap::Read(ps_, l_, ptr).Pages();
  }

  void ClaimLongValue(std::span<const std::uint8_t> field, const std::string& who) {
    if (field.size() < 12 || (field[3] & 0x80)) return;  // inline
    const bool single = (field[3] & 0x40) != 0;
    RowPointer ptr = RowPointer::Decode(LoadU32(field.data() + 4));
    for (int hop = 0; !ptr.null() && hop < 100000; ++hop) {
      RowRef r = ReadRowAt(ps_, l_, ptr);
      if (LoadU32(r.page->data() + 4) != 0x4c41564c)  // "LVAL"
        Problem("long value of " + who + " points at page " + std::to_string(ptr.page) +
                ", not an LVAL page");
      Claim(ptr.page, "lval", "long values");
      if (!lvalRows_.insert(ptr.Encode()).second)
        Problem("LVAL row " + std::to_string(ptr.page) + ":" + std::to_string(ptr.row) + " used twice (" +
                who + ")");
      if (single) break;
      if (r.bytes.size() < 4) break;
      ptr = RowPointer::Decode(LoadU32(r.bytes.data()));
    }
  }

  void ClaimTable(const CatalogEntry& e) {
    TableDefinition t = ReadTableDefinition(ps_, db_.header(), e.tablePage(), e.name);
    const std::string& n = e.name;
    for (auto p : t.pages) Claim(p, "tdef " + n, "definition of " + n);
    std::set<std::uint32_t> used;
    for (auto p : MapPages(t.usedPagesPointer, "pages map of " + n)) {
      used.insert(p);
      Claim(p, "data " + n, "data of " + n);
      if (p >= ps_.pageCount()) continue;
      PagePtr page = ps_.ReadPage(p);
      if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage)
        Problem("page " + std::to_string(p) + " in the map of " + n + " is not its data page");
    }
    for (auto p : MapPages(t.freePagesPointer, "free-space map of " + n))
      if (!used.count(p))
        Problem("page " + std::to_string(p) + " in the free-space map of " + n + " is not in its map");
    std::vector<std::vector<LeafEntry>> indexEntries;
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i) {
      const RealIndexDef& ri = t.realIndexes[i];
      const std::string who = "index " + std::to_string(i) + " of " + n;
      std::set<std::uint32_t> listed;
      for (auto p : MapPages(ri.usedPagesPointer, who)) listed.insert(p);
      TreeReport tree = TreeChecker(ps_, t.firstPage).Check(ri.firstPage);
      for (const auto& pr : tree.problems) Problem(who + ": " + pr);
      indexEntries.push_back(tree.entries);
      for (auto p : tree.pageNumbers) {
        Claim(p, "index " + n, who);
        if (!listed.count(p)) Problem("page " + std::to_string(p) + " of " + who + " is not in its map");
      }
      for (auto p : listed)
        if (std::find(tree.pageNumbers.begin(), tree.pageNumbers.end(), p) == tree.pageNumbers.end())
          Problem("page " + std::to_string(p) + " in the map of " + who + " is not in its tree");
    }
    for (const auto& [column, maps] : ReadLongValueMaps(ps_, l_, t)) {
      std::set<std::uint32_t> own;
      for (auto p : MapPages(maps.first, "long values of " + n)) {
        own.insert(p);
        Claim(p, "lval", "long values");
      }
      for (auto p : MapPages(maps.second, "long-value free space of " + n))
        if (!own.count(p))
          Problem("LVAL page " + std::to_string(p) + " of " + n + " has room but is not owned");
    }
    bool hasLong =
        std::any_of(t.columns.begin(), t.columns.end(), [](const ColumnDef& c) { return c.longValue(); });
    if (!hasLong && indexEntries.empty()) return;
    TableCursor cursor(db_.sharedFile(), t);
    std::vector<Cell> cells;
    std::set<RowPointer> live;
    // The catalog's long values (object properties, LvProp; LvExtra, LvModule) are named after the
    // object whose row holds them.
    std::size_t nameColumn = t.columns.size();
    if (e.tablePage() == 2)
      for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].name == "Name") nameColumn = i;
    while (cursor.NextRow(cells)) {
      live.insert(cursor.position());
      std::string who = n;
      if (nameColumn < cells.size()) {
        qv::Value name = cursor.decoder().Decode(t.columns[nameColumn], cells[nameColumn], cursor.place());
        if (auto* s = std::get_if<std::string>(&name)) who = n + " row of " + *s;
      }
      for (std::size_t i = 0; i < cells.size(); ++i)
        if (t.columns[i].longValue() && !cells[i].null)
          ClaimLongValue(cells[i].bytes, who + " (" + t.columns[i].name + ")");
    }
    // Every index entry names a live row, and an index that keeps NULLs names every row once.
    for (std::size_t i = 0; i < indexEntries.size(); ++i) {
      std::set<RowPointer> named;
      for (const auto& entry : indexEntries[i]) {
        if (!live.count(entry.row))
          Problem("index " + std::to_string(i) + " of " + n + " names a row that is not live");
        named.insert(entry.row);
      }
      if (named.size() != indexEntries[i].size())
        Problem("index " + std::to_string(i) + " of " + n + " names a row twice");
      if (!(t.realIndexes[i].flags & 0x02) && named.size() != live.size())
        Problem("index " + std::to_string(i) + " of " + n + " does not name every row");
    }
  }

  void Problem(std::string s) { report_.problems.insert(std::move(s)); }

  Database& db_;
  PageStore& ps_;
  const Layout& l_;
  PageReport report_;
  std::vector<std::map<std::string, std::string>> owners_;  // per page: kind -> who
  std::set<std::uint32_t> lvalRows_;
};

}  // namespace qv::jet::testing
