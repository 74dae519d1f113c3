#include "engine/jet/write/table_dropper.h"

#include <algorithm>
#include <map>
#include <set>

#include "engine/core/error.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_writer.h"

namespace qv::jet {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// A live row of a system table: the slot the indexes name, the slot holding its bytes (differs
// for an overflow row), and its values.
struct FoundRow {
  RowPointer slot;
  RowPointer stored;
  qv::Row values;
};

// Every live row of `t` for which `keep` says yes.
template <typename Keep>
std::vector<FoundRow> FindRows(SharedFile& f, const TableDefinition& t, Keep keep) {
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;
  std::vector<FoundRow> out;
  UsageMap map = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
  RowSplitter splitter(t, l);
  ValueDecoder decoder(ps, f.header);
  std::vector<Cell> cells;
  for (std::uint32_t p : map.Pages()) {
    if (p >= ps.pageCount()) break;
    PagePtr page = ps.ReadPage(p);
    if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage) continue;
    DataPageReader reader(ps, l, p, *page);
    for (std::uint16_t i = 0; i < reader.rowCount(); ++i) {
      RowSlot s = reader.Slot(i);
      if (s.deleted) continue;
      RowPointer slot{p, static_cast<std::uint8_t>(i)}, stored = slot;
      RowRef ref{page, reader.Bytes(s), s};
      if (s.overflow) {
        if (ref.bytes.size() < 4) ThrowCorrupt("overflow row shorter than its pointer", ps.Where(p, s.start));
        stored = RowPointer::Decode(LoadU32(ref.bytes.data()));
        ref = ReadRowAt(ps, l, stored, true);  // the target of an overflow slot carries the deleted flag
      }
      splitter.Split(ref.bytes, ps.Where(stored.page, ref.slot.start), cells);
      FoundRow row{slot, stored, {}};
      for (std::size_t c = 0; c < t.columns.size(); ++c) {
        // Long values of the catalog (properties) are not needed here.
        if (t.columns[c].longValue()) row.values.emplace_back(std::monostate{});
        else row.values.push_back(decoder.Decode(t.columns[c], cells[c], ps.Where(stored.page, ref.slot.start)));
      }
      if (keep(row)) out.push_back(std::move(row));
    }
  }
  return out;
}

int ColumnIndex(const TableDefinition& t, const char* name) {
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].name == name) return static_cast<int>(i);
  ThrowCorrupt(std::string("system table ") + t.name + " lacks its column " + name, t.name);
}

std::int64_t AsInt(const qv::Value& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return *p;
  return 0;
}
std::string AsText(const qv::Value& v) {
  if (auto p = std::get_if<std::string>(&v)) return *p;
  return {};
}

void MarkDeleted(PageStore& ps, const Layout& l, RowPointer r) {
  Bytes p = CopyPage(ps, r.page);
  std::size_t at = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(r.row);
  if (r.row >= LoadU16(p.data() + l.dataRowCountOffset)) ThrowCorrupt("row to delete is not on its page", ps.Where(r.page, at));
  // Access marks a deleted row with both flags (0xc000); mdbtools reads a row flagged 0x8000 alone.
  StoreU16(p.data() + at, static_cast<std::uint16_t>(LoadU16(p.data() + at) | kRowDeleted | kRowOverflow));
  PutPage(ps, r.page, std::move(p));
}

// Removes from every real index of `t` the entries naming one of `rows` (found by the row they
// name, through the whole tree).
void RemoveIndexEntries(FileWriter& w, const TableDefinition& t, const std::set<RowPointer>& rows) {
  for (std::size_t i = 0; i < t.realIndexes.size(); ++i)
    for (const RowPointer& r : rows) RemoveIndexEntry(w, t, i, r);
}

// The row count of a table definition, lowered by `n`. The count each real index keeps is one of
// distinct keys, which Access never lowers; it stays.
void LowerRowCounts(PageStore& ps, const Layout& l, const TableDefinition& t, std::uint32_t n) {
  Bytes p = CopyPage(ps, t.firstPage);
  std::uint32_t v = LoadU32(p.data() + l.tdefRowCount);
  StoreU32(p.data() + l.tdefRowCount, v >= n ? v - n : 0);
  PutPage(ps, t.firstPage, std::move(p));
}

// Whether `ptr` names a live row of a data page (Access leaves some map pointers of indexes
// naming rows it has deleted).
bool LiveRow(PageStore& ps, const Layout& l, RowPointer ptr) {
  if (ptr.page < 3 || ptr.page >= ps.pageCount()) return false;
  PagePtr page = ps.ReadPage(ptr.page);
  if ((*page)[0] != page_type::kData) return false;
  DataPageReader reader(ps, l, ptr.page, *page);
  return ptr.row < reader.rowCount() && !reader.Slot(ptr.row).deleted;
}

}  // namespace

void DropTable(Database& db, const std::string& name) {
  SharedFile& f = *db.sharedFile();
  WriteOperation op(f);
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;
  const std::string file = f.path;

  // Which table: the catalog as it is now (another connection may have changed it).
  TableDefinition objects = ReadTableDefinition(ps, f.header, 2, "MSysObjects");
  int cId = ColumnIndex(objects, "Id"), cName = ColumnIndex(objects, "Name"), cType = ColumnIndex(objects, "Type"),
      cFlags = ColumnIndex(objects, "Flags");
  std::vector<FoundRow> all = FindRows(f, objects, [](const FoundRow&) { return true; });
  const FoundRow* target = nullptr;
  for (const auto& r : all) {
    int type = static_cast<int>(AsInt(r.values[static_cast<std::size_t>(cType)]) & 0x7f);
    if (type != object_type::kTable && type != object_type::kAccessLink && type != object_type::kOdbcLink) continue;
    if (Lower(AsText(r.values[static_cast<std::size_t>(cName)])) == Lower(name)) target = &r;
  }
  if (!target) throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + file + "'.", file);
  CatalogEntry e;
  e.id = static_cast<std::int32_t>(AsInt(target->values[static_cast<std::size_t>(cId)]));
  e.name = AsText(target->values[static_cast<std::size_t>(cName)]);
  e.type = static_cast<int>(AsInt(target->values[static_cast<std::size_t>(cType)]) & 0x7f);
  e.flags = static_cast<std::uint32_t>(AsInt(target->values[static_cast<std::size_t>(cFlags)]));
  if (e.type != object_type::kTable)
    throw Error(errc::kNotSupported, "'" + e.name + "' is a linked table; dropping links is not supported yet.", file);
  if (!IsUserTable(e))
    throw Error(errc::kNotSupported, "'" + e.name + "' is a system table and cannot be dropped.", file);

  // Relationships name their tables in MSysRelationships.
  for (const auto& c : db.catalog()) {
    if (c.name != "MSysRelationships" || !c.isTable()) continue;
    TableDefinition rel = ReadTableDefinition(ps, f.header, c.tablePage(), c.name);
    int cObj = ColumnIndex(rel, "szObject"), cRef = ColumnIndex(rel, "szReferencedObject"),
        cRel = ColumnIndex(rel, "szRelationship");
    auto rows = FindRows(f, rel, [&](const FoundRow& r) {
      return Lower(AsText(r.values[static_cast<std::size_t>(cObj)])) == Lower(e.name) ||
             Lower(AsText(r.values[static_cast<std::size_t>(cRef)])) == Lower(e.name);
    });
    if (!rows.empty())
      throw Error(errc::kRelationship,
                  "Table '" + e.name + "' is part of the relationship '" + AsText(rows[0].values[static_cast<std::size_t>(cRel)]) +
                      "': delete the relationship before dropping the table.",
                  file);
  }

  TableDefinition aces;
  std::vector<FoundRow> aceRows;
  for (const auto& c : db.catalog()) {
    if (c.name != "MSysACEs" || !c.isTable()) continue;
    aces = ReadTableDefinition(ps, f.header, c.tablePage(), c.name);
    int cObject = ColumnIndex(aces, "ObjectId");
    aceRows = FindRows(f, aces, [&](const FoundRow& r) { return AsInt(r.values[static_cast<std::size_t>(cObject)]) == e.id; });
  }

  TableDefinition t = ReadTableDefinition(ps, f.header, e.tablePage(), e.name);

  // Everything is known and checked: now the changes.
  std::set<RowPointer> gone{target->slot};
  RemoveIndexEntries(op.writer(), objects, gone);
  MarkDeleted(ps, l, target->slot);
  if (target->stored != target->slot) MarkDeleted(ps, l, target->stored);
  LowerRowCounts(ps, l, objects, 1);
  if (!aceRows.empty()) {
    std::set<RowPointer> aceSlots;
    for (const auto& r : aceRows) aceSlots.insert(r.slot);
    RemoveIndexEntries(op.writer(), aces, aceSlots);
    for (const auto& r : aceRows) {
      MarkDeleted(ps, l, r.slot);
      if (r.stored != r.slot) MarkDeleted(ps, l, r.stored);
    }
    LowerRowCounts(ps, l, aces, static_cast<std::uint32_t>(aceRows.size()));
  }

  // The table's pages.
  std::set<std::uint32_t> toFree(t.pages.begin(), t.pages.end());
  std::map<std::uint32_t, int> lvalRowsOfTable;  // LVAL page -> rows of this table on it
  auto mapPages = [&](std::uint32_t ptr, auto accept) {
    RowPointer at = RowPointer::Decode(ptr);
    if (ptr == 0 || !LiveRow(ps, l, at)) return;
    UsageMap m = UsageMap::Read(ps, l, at);
    for (std::uint32_t p : m.Pages()) {
      if (p >= ps.pageCount() || p < 3) continue;
      PagePtr page = ps.ReadPage(p);
      if (accept(*page)) toFree.insert(p);
    }
    RowRef row = ReadRowAt(ps, l, at);
    if (row.bytes.size() >= 1 && row.bytes[0] == 1)
      for (std::size_t k = 1; k + 4 <= row.bytes.size(); k += 4)
        if (std::uint32_t bp = LoadU32(row.bytes.data() + k); bp >= 3 && bp < ps.pageCount()) toFree.insert(bp);
  };
  auto ownData = [&](const Bytes& p) { return p[0] == page_type::kData && LoadU32(p.data() + 4) == t.firstPage; };
  auto ownIndex = [&](const Bytes& p) {
    return (p[0] == page_type::kIndexLeaf || p[0] == page_type::kIndexNode) && LoadU32(p.data() + 4) == t.firstPage;
  };
  // Long values: every out-of-row value of every row.
  {
    TableCursor cursor(db.sharedFile(), t);
    std::vector<Cell> cells;
    while (cursor.NextRow(cells)) {
      for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (!t.columns[c].longValue() || cells[c].null || cells[c].bytes.size() < 12) continue;
        std::uint32_t head = LoadU32(cells[c].bytes.data());
        if (head & 0x80000000u) continue;  // inline
        RowPointer ptr = RowPointer::Decode(LoadU32(cells[c].bytes.data() + 4));
        std::set<std::uint32_t> seen;
        bool chain = (head & 0x40000000u) == 0;
        while (!ptr.null() && seen.insert(ptr.Encode()).second) {
          ++lvalRowsOfTable[ptr.page];
          if (!chain) break;
          RowRef r = ReadRowAt(ps, l, ptr);
          if (r.bytes.size() < 4) break;
          ptr = RowPointer::Decode(LoadU32(r.bytes.data()));
        }
      }
    }
  }
  for (const auto& [page, rows] : lvalRowsOfTable) {
    PagePtr p = ps.ReadPage(page);
    DataPageReader reader(ps, l, page, *p);
    int live = 0;
    for (std::uint16_t i = 0; i < reader.rowCount(); ++i) live += reader.Slot(i).deleted ? 0 : 1;
    if (LoadU32(p->data() + 4) == kLvalOwner && live == rows) toFree.insert(page);
  }
  std::vector<std::uint32_t> mapRows{t.usedPagesPointer, t.freePagesPointer};
  mapPages(t.usedPagesPointer, ownData);
  mapPages(t.freePagesPointer, [](const Bytes&) { return false; });
  for (const auto& ri : t.realIndexes) {
    if (ri.firstPage >= 3) toFree.insert(ri.firstPage);
    mapPages(ri.usedPagesPointer, ownIndex);
    mapRows.push_back(ri.usedPagesPointer);
  }
  std::set<std::uint32_t> uniqueRows(mapRows.begin(), mapRows.end());
  for (std::uint32_t ptr : uniqueRows)
    if (ptr != 0 && LiveRow(ps, l, RowPointer::Decode(ptr))) MarkDeleted(ps, l, RowPointer::Decode(ptr));
  for (std::uint32_t p : toFree) op.writer().FreePage(p);
  op.Commit();
  db.RefreshCatalog();
}

}  // namespace qv::jet
