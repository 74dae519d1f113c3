// The index walker: every real index of every table of a database (the system tables included)
// is walked from its root with the checker's own page decoding (index_check.h), and must keep
//   - the tree rules (levels linked left to right, parent entries repeating their child's
//     greatest entry, entries in key order, pages owned by the table);
//   - exactly one entry per live row (an index that ignores NULLs leaves out rows whose indexed
//     columns are all NULL), each naming the row where it lives (an overflow slot counts as the
//     row it points to);
//   - each key equal to the key made from the row's values (IndexKey).
// Used on Access-made files (as they are, and after our writes into them) and on every file the
// write side makes, Access 97 files included.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/data_page.h"
#include "engine/jet/database.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/value_encoder.h"
#include "index_check.h"

namespace qv::jet::testing {

struct IndexWalkReport {
  std::vector<std::string> problems;  // broken rules; empty when every index is consistent
  std::vector<std::string> unread;    // tables whose rows could not be read (not checked)
  std::size_t tables = 0, indexes = 0, entries = 0, keysChecked = 0;
  std::size_t keysNotMade = 0;  // keys IndexKey refuses (complex columns, unknown characters)
  bool ok() const { return problems.empty(); }
  std::string Summary() const {
    std::string s = std::to_string(tables) + " tables, " + std::to_string(indexes) + " indexes, " +
                    std::to_string(entries) + " entries, " + std::to_string(keysChecked) +
                    " keys recomputed, " + std::to_string(keysNotMade) + " not made";
    for (std::size_t i = 0; i < problems.size() && i < 12; ++i) s += "\n  " + problems[i];
    return s;
  }
};

// Walks the indexes of table `name` into `report`.
inline void WalkTableIndexes(Database& db, const std::string& name, IndexWalkReport& report) {
  TableDefinition def = db.ReadDefinition(name);
  if (def.realIndexes.empty()) return;
  ++report.tables;
  PageStore& ps = db.pages();
  auto problem = [&](const std::string& s) {
    if (report.problems.size() < 200) report.problems.push_back(name + ": " + s);
  };
  std::map<RowPointer, Row> rows;
  // Rows whose stored date/time is finer than the millisecond a Timestamp keeps (Access-made
  // values can be): their keys cannot be made again from the values read.
  std::set<const Row*> inexact;
  try {
    auto cursor = db.OpenCursor(name);
    std::vector<Cell> cells;
    while (cursor->NextRow(cells)) {
      Row row(def.columns.size());
      bool exact = true;
      for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (!def.columns[i].readable()) continue;
        row[i] = cursor->decoder().Decode(def.columns[i], cells[i], cursor->place());
        if (def.columns[i].type == col_type::kDateTime && !cells[i].null) {
          const Bytes again = EncodeValue(def.columns[i], row[i], name).bytes;
          exact =
              exact && std::equal(again.begin(), again.end(), cells[i].bytes.begin(), cells[i].bytes.end());
        }
      }
      auto [at, added] = rows.emplace(cursor->position(), std::move(row));
      if (!exact) inexact.insert(&at->second);
    }
  } catch (const Error& e) {
    report.unread.push_back(name + ": " + e.description());
    return;
  }
  auto rowOf = [&](RowPointer p) { return EntryRow(ps, db.header().layout, rows, p); };
  for (std::size_t ri = 0; ri < def.realIndexes.size(); ++ri) {
    ++report.indexes;
    const RealIndexDef& index = def.realIndexes[ri];
    const std::string which = "index " + std::to_string(ri);
    TreeChecker checker(ps, def.firstPage);
    TreeReport tree = checker.Check(index.firstPage);
    for (const auto& p : tree.problems) problem(which + ": " + p);
    SortOrder sort;
    std::vector<std::size_t> columnAt;
    for (const auto& part : index.columns)
      for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (def.columns[i].number == part.columnNumber) {
          columnAt.push_back(i);
          const ColumnDef& c = def.columns[i];
          if (c.type == col_type::kText || c.type == col_type::kMemo)
            sort = db.header().layout.jet3
                       ? SortOrder{c.sortOrder, kSortVersionJet3, db.header().codePage}  // no version byte
                       : SortOrder{c.sortOrder,
                                   static_cast<std::uint8_t>(std::max(0, SortVersionOf(ps, def, c.number)))};
        }
    std::map<const Row*, std::size_t> named;
    for (const LeafEntry& e : tree.entries) {
      ++report.entries;
      const Row* row = rowOf(e.row);
      if (!row) {
        problem(which + " names page " + std::to_string(e.row.page) + " row " + std::to_string(e.row.row) +
                ", which holds no live row");
        continue;
      }
      ++named[row];
      if (inexact.count(row)) {
        ++report.keysNotMade;
        continue;
      }
      Bytes key;
      try {
        key = IndexKey(def, ri, *row, sort);
      } catch (const Error& err) {
        if (err.number() != errc::kNotSupported) problem(which + ": " + err.description());
        ++report.keysNotMade;
        continue;
      }
      ++report.keysChecked;
      if (key != e.key)
        problem(which + " entry for page " + std::to_string(e.row.page) + " row " +
                std::to_string(e.row.row) + ": key " + ToHex(e.key) + ", the row gives " + ToHex(key));
    }
    const bool ignoresNulls = (index.flags & 0x02) != 0;
    for (const auto& [where, row] : rows) {
      std::size_t n = named.count(&row) ? named[&row] : 0;
      bool allNull = true;
      for (std::size_t i : columnAt)
        allNull = allNull && IsNull(row[i]) && def.columns[i].type != col_type::kBoolean;
      const std::size_t want = ignoresNulls && allNull ? 0 : 1;
      if (n != want)
        problem(which + " names the row at page " + std::to_string(where.page) + " row " +
                std::to_string(where.row) + " " + std::to_string(n) + " times, expected " +
                std::to_string(want));
    }
  }
}

// Walks every index of every local table of `db`.
inline IndexWalkReport WalkEveryIndex(Database& db) {
  IndexWalkReport report;
  for (const CatalogEntry& entry : db.catalog()) {
    if (!entry.isTable() || !entry.database.empty() || !entry.connect.empty()) continue;
    try {
      WalkTableIndexes(db, entry.name, report);
    } catch (const Error& e) {
      report.problems.push_back(entry.name + ": " + e.description());
    }
  }
  return report;
}

}  // namespace qv::jet::testing
