#include "engine/jet/write/table_dropper.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <span>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_writer.h"
#include "engine/jet/write/row_builder.h"
#include "engine/jet/write/system_rows.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/jet/write/usage_map_writer.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace {

// Every live row of `t` for which `keep` says yes.
template <typename Keep>
std::vector<SystemRow> FindRows(SharedFile& f, const TableDefinition& t, Keep keep) {
  std::vector<SystemRow> rows = ReadSystemRows(f, t);
  std::erase_if(rows, [&](const SystemRow& r) { return !keep(r); });
  return rows;
}

void MarkDeleted(PageStore& ps, const Layout& l, RowPointer r) {
  Bytes p = CopyPage(ps, r.page);
  std::size_t at = l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(r.row);
  if (r.row >= LoadU16(p.data() + l.dataRowCountOffset))
    ThrowCorrupt("row to delete is not on its page", ps.Where(r.page, at));
  // Access marks a deleted row with both flags (0xc000); mdbtools reads a row flagged 0x8000 alone.
  StoreU16(p.data() + at, static_cast<std::uint16_t>(LoadU16(p.data() + at) | kRowDeleted | kRowOverflow));
  PutPage(ps, r.page, std::move(p));
}

// Removes from every real index of `t` the entries naming one of `rows`, at whatever depth the
// index tree has (index_writer.h).
void RemoveIndexEntries(FileWriter& w, const TableDefinition& t, const std::set<RowPointer>& rows) {
  for (std::size_t ri = 0; ri < t.realIndexes.size(); ++ri)
    for (RowPointer r : rows) RemoveIndexEntry(w, t, ri, r);
}

// Reads every index tree of `t` through, so that a damaged one is reported before anything
// changes.
void CheckIndexTrees(PageStore& ps, const TableDefinition& t) {
  for (std::size_t ri = 0; ri < t.realIndexes.size(); ++ri) ReadIndexEntries(ps, t, ri);
}

// The row count of a table definition, lowered by `n`. The counts kept per real index are left
// as they are: Access never lowers them when rows go (the corpus' counts are at least the
// number of distinct keys, larger after deletions), and the insert side raises them only for a
// key not yet in the index.
void LowerRowCount(PageStore& ps, const Layout& l, const TableDefinition& t, std::uint32_t n) {
  std::uint32_t v = ReadDefinitionU32(ps, l, t.firstPage, l.tdefRowCount);
  PatchDefinitionU32(ps, l, t.firstPage, l.tdefRowCount, v >= n ? v - n : 0);
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

// Adds to `rows` (LVAL page -> rows) the LVAL rows that hold the long-value field `field`: none
// for a value kept in the row, one row for a value of one page, every row of a chain.
void AddLongValueRows(PageStore& ps, const Layout& l, std::span<const std::uint8_t> field,
                      std::map<std::uint32_t, std::set<std::uint8_t>>& rows) {
  if (field.size() < 12) return;
  const std::uint32_t head = LoadU32(field.data());
  if (head & 0x80000000u) return;  // inline
  const bool chain = (head & 0x40000000u) == 0;
  RowPointer ptr = RowPointer::Decode(LoadU32(field.data() + 4));
  std::set<std::uint32_t> seen;
  while (!ptr.null() && seen.insert(ptr.Encode()).second) {
    rows[ptr.page].insert(ptr.row);
    if (!chain) break;
    RowRef r = ReadRowAt(ps, l, ptr);
    if (r.bytes.size() < 4) break;
    ptr = RowPointer::Decode(LoadU32(r.bytes.data()));
  }
}

}  // namespace

namespace {

// Deletes rows of the system table `t`: their index entries, the rows (and the stored bytes of an
// overflow row), and the table's row count.
void DeleteSystemRows(FileWriter& w, const TableDefinition& t, const std::vector<SystemRow>& rows) {
  PageStore& ps = w.pages();
  const Layout& l = w.layout();
  std::set<RowPointer> slots;
  for (const auto& r : rows) slots.insert(r.slot);
  RemoveIndexEntries(w, t, slots);
  for (const auto& r : rows) {
    MarkDeleted(ps, l, r.slot);
    if (r.stored != r.slot) MarkDeleted(ps, l, r.stored);
  }
  LowerRowCount(ps, l, t, static_cast<std::uint32_t>(rows.size()));
}

// Relationships name their tables in MSysRelationships: a table in one is not dropped.
void RefuseRelatedTable(Database& db, const std::string& name, const char* action) {
  SharedFile& f = *db.sharedFile();
  PageStore& ps = *f.pages;
  for (const auto& c : db.catalog()) {
    if (c.name != "MSysRelationships" || !c.isTable()) continue;
    TableDefinition rel = ReadTableDefinition(ps, f.header, c.tablePage(), c.name);
    const std::size_t cObj = SystemColumn(rel, "szObject"), cRef = SystemColumn(rel, "szReferencedObject"),
                      cRel = SystemColumn(rel, "szRelationship");
    auto rows = FindRows(f, rel, [&](const SystemRow& r) {
      return EqualIgnoringLetterCase(TextOf(r.values[cObj]), name) ||
             EqualIgnoringLetterCase(TextOf(r.values[cRef]), name);
    });
    if (!rows.empty())
      throw Error(errc::kRelationship,
                  "Table '" + name + "' is part of the relationship '" + TextOf(rows[0].values[cRel]) +
                      "': delete the relationship before " + action + " the table.",
                  f.path);
  }
}

// Deletes the long values of the table `t` and of its catalog row `target`; returns the LVAL
// pages left with no value, to be freed.
std::set<std::uint32_t> DropLongValues(Database& db, const TableDefinition& objects, const SystemRow& target,
                                       const TableDefinition& t) {
  SharedFile& f = *db.sharedFile();
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;
  std::map<std::uint32_t, std::set<std::uint8_t>> lvalRows;  // LVAL page -> rows of the dropped values on it
  // Long values: every out-of-row value of every row of the table, and those of the catalog row
  // (its properties, LvProp, which Access keeps on LVAL pages when they do not fit the row).
  for (const auto& [column, field] : target.longFields) AddLongValueRows(ps, l, field, lvalRows);
  {
    TableCursor cursor(db.sharedFile(), t);
    std::vector<Cell> cells;
    while (cursor.NextRow(cells))
      for (std::size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c].longValue() && !cells[c].null) AddLongValueRows(ps, l, cells[c].bytes, lvalRows);
  }
  std::set<std::uint32_t> lvalToFree;
  for (const auto& [page, rows] : lvalRows) {
    PagePtr p = ps.ReadPage(page);
    if (LoadU32(p->data() + 4) != kLvalOwner) continue;
    DataPageReader reader(ps, l, page, *p);
    std::size_t live = 0;
    for (std::uint16_t i = 0; i < reader.rowCount(); ++i) live += reader.Slot(i).deleted ? 0 : 1;
    if (live == rows.size()) {
      lvalToFree.insert(page);
    } else {
      // The page keeps other values (Jet4 tables share LVAL pages; the catalog's properties of
      // several objects share pages too): only these rows are deleted, so that the page is freed
      // with the last value on it.
      for (std::uint8_t row : rows) MarkDeleted(ps, l, {page, row});
    }
  }
  // ACE lists the catalog's LVAL pages in the page maps of its long-value columns: a freed page
  // leaves them (the dropped table's own column maps go as a whole below).
  {
    UsageMapWriter maps(ps, l);
    for (const auto& [column, rows] : ReadLongValueMaps(ps, l, objects))
      for (std::uint32_t page : lvalToFree)
        for (std::uint32_t map : {rows.first, rows.second})
          if (map != 0) maps.Set(RowPointer::Decode(map), page, false);
  }
  return lvalToFree;
}

// A page of usage-map rows (owned by no table) left without a live row is freed: nothing
// else points at it, and CREATE TABLE puts new map rows on a page of their own.
void AddEmptyMapRowPages(PageStore& ps, const Layout& l, const std::set<std::uint32_t>& mapRowPages,
                         std::set<std::uint32_t>& toFree) {
  for (std::uint32_t page : mapRowPages) {
    PagePtr p = ps.ReadPage(page);
    if ((*p)[0] != page_type::kData || LoadU32(p->data() + 4) != 0) continue;
    DataPageReader reader(ps, l, page, *p);
    bool anyLive = false;
    for (std::uint16_t i = 0; i < reader.rowCount() && !anyLive; ++i) anyLive = !reader.Slot(i).deleted;
    if (!anyLive) toFree.insert(page);
  }
}

// The catalog row of the table `name` to drop, as the catalog is now (another connection may
// have changed it), and its entry; refuses links and system tables.
const SystemRow& FindTableToDrop(SharedFile& f, const TableDefinition& objects,
                                 const std::vector<SystemRow>& all, const std::string& name,
                                 CatalogEntry& e) {
  const std::string& file = f.path;
  const std::size_t cId = SystemColumn(objects, "Id"), cName = SystemColumn(objects, "Name"),
                    cType = SystemColumn(objects, "Type"), cFlags = SystemColumn(objects, "Flags");
  const SystemRow* target = nullptr;
  for (const auto& r : all) {
    int type = static_cast<int>(IntOf(r.values[cType]) & 0x7f);
    if (type != object_type::kTable && type != object_type::kAccessLink && type != object_type::kOdbcLink)
      continue;
    if (EqualIgnoringLetterCase(TextOf(r.values[cName]), name)) target = &r;
  }
  if (!target)
    throw Error(errc::kNoSuchTable, "Table '" + name + "' does not exist in '" + file + "'.", file);
  e.id = static_cast<std::int32_t>(IntOf(target->values[cId]));
  e.name = TextOf(target->values[cName]);
  e.type = static_cast<int>(IntOf(target->values[cType]) & 0x7f);
  e.flags = static_cast<std::uint32_t>(IntOf(target->values[cFlags]));
  if (e.type != object_type::kTable)
    throw Error(errc::kNotSupported,
                "'" + e.name + "' is a linked table; dropping links is not supported yet.", file);
  // Tables whose names begin with "~" are hidden like system tables (Access keeps temporary
  // objects under such names) but are droppable: the program's own temporary tables are, so an
  // interrupted run can be cleaned up.
  const bool hidden_temporary = e.name.starts_with('~') && !e.systemFlagged();
  if (!IsUserTable(e) && !hidden_temporary)
    throw Error(errc::kNotSupported, "'" + e.name + "' is a system table and cannot be dropped.", file);
  return *target;
}

// Every page the dropped table `t` (catalog row `target`) leaves unused: its data and index
// pages, its long values' pages, its usage maps' pages; the map rows themselves are deleted.
std::set<std::uint32_t> TablePagesToFree(Database& db, const TableDefinition& objects,
                                         const SystemRow& target, const TableDefinition& t) {
  SharedFile& f = *db.sharedFile();
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;
  std::set<std::uint32_t> toFree(t.pages.begin(), t.pages.end());
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
        if (std::uint32_t bp = LoadU32(row.bytes.data() + k); bp >= 3 && bp < ps.pageCount())
          toFree.insert(bp);
  };
  auto ownData = [&](const Bytes& p) {
    return p[0] == page_type::kData && LoadU32(p.data() + 4) == t.firstPage;
  };
  auto ownIndex = [&](const Bytes& p) {
    return (p[0] == page_type::kIndexLeaf || p[0] == page_type::kIndexNode) &&
           LoadU32(p.data() + 4) == t.firstPage;
  };
  const std::set<std::uint32_t> lvalToFree = DropLongValues(db, objects, target, t);
  toFree.insert(lvalToFree.begin(), lvalToFree.end());
  std::vector<std::uint32_t> mapRows{t.usedPagesPointer, t.freePagesPointer};
  // ACE: each long-value column's owned-pages and free-space maps (their LVAL pages were found
  // through the rows above; the maps' bitmap pages and rows go with the table).
  for (const auto& [column, maps] : ReadLongValueMaps(ps, l, t)) {
    mapPages(maps.first, [](const Bytes&) { return false; });
    mapPages(maps.second, [](const Bytes&) { return false; });
    mapRows.push_back(maps.first);
    mapRows.push_back(maps.second);
  }
  mapPages(t.usedPagesPointer, ownData);
  mapPages(t.freePagesPointer, [](const Bytes&) { return false; });
  for (const auto& ri : t.realIndexes) {
    if (ri.firstPage >= 3) toFree.insert(ri.firstPage);
    mapPages(ri.usedPagesPointer, ownIndex);
    mapRows.push_back(ri.usedPagesPointer);
  }
  std::set<std::uint32_t> uniqueRows(mapRows.begin(), mapRows.end());
  std::set<std::uint32_t> mapRowPages;
  for (std::uint32_t ptr : uniqueRows) {
    if (ptr == 0 || !LiveRow(ps, l, RowPointer::Decode(ptr))) continue;
    MarkDeleted(ps, l, RowPointer::Decode(ptr));
    mapRowPages.insert(RowPointer::Decode(ptr).page);
  }
  AddEmptyMapRowPages(ps, l, mapRowPages, toFree);
  return toFree;
}

// The drop itself, inside the caller's operation (which commits it).
void DropTableIn(Database& db, WriteOperation& op, const std::string& name) {
  SharedFile& f = *db.sharedFile();
  PageStore& ps = *f.pages;

  TableDefinition objects = ReadTableDefinition(ps, f.header, 2, "MSysObjects");
  std::vector<SystemRow> all = ReadSystemRows(f, objects);
  CatalogEntry e;
  const SystemRow& target = FindTableToDrop(f, objects, all, name, e);
  RefuseRelatedTable(db, e.name, "dropping");
  TableDefinition aces;
  std::vector<SystemRow> aceRows;
  for (const auto& c : db.catalog()) {
    if (c.name != "MSysACEs" || !c.isTable()) continue;
    aces = ReadTableDefinition(ps, f.header, c.tablePage(), c.name);
    const std::size_t cObject = SystemColumn(aces, "ObjectId");
    aceRows = FindRows(f, aces, [&](const SystemRow& r) { return IntOf(r.values[cObject]) == e.id; });
  }
  CheckIndexTrees(ps, objects);
  if (!aces.columns.empty()) CheckIndexTrees(ps, aces);

  TableDefinition t = ReadTableDefinition(ps, f.header, e.tablePage(), e.name);

  // Everything is known and checked: now the changes.
  DeleteSystemRows(op.writer(), objects, {target});
  if (!aceRows.empty()) DeleteSystemRows(op.writer(), aces, aceRows);

  for (std::uint32_t p : TablePagesToFree(db, objects, target, t)) op.writer().FreePage(p);
}

// The catalog row `source` as bytes again, with the values `row`. Long values (the properties,
// LvProp) stay where they are: the new row keeps their stored fields as they were.
Bytes EncodeCatalogRow(SharedFile& f, const TableDefinition& objects, const SystemRow& source,
                       const qv::Row& row) {
  const std::unique_ptr<TextCodec> codec = Jet3TextCodec(f.header);
  std::vector<EncodedValue> cells;
  for (std::size_t i = 0; i < objects.columns.size(); ++i) {
    auto stored = source.longFields.find(i);
    if (stored != source.longFields.end()) {
      EncodedValue kept;
      kept.null = false;
      kept.bytes = stored->second;
      cells.push_back(std::move(kept));
    } else {
      cells.push_back(EncodeValue(objects.columns[i], row[i], objects.name, codec.get()));
    }
  }
  return BuildRow(objects, cells, f.header.layout);
}

}  // namespace

void DropTable(Database& db, const std::string& name) {
  // The changes before the drop are saved first: a save either adds to the file or takes away
  // from it, so that its pages can be written in an order where every step is a whole database
  // (docs/formats/jet-writing.md, "Order of the page writes"). The next operation saves the
  // drop before it begins (it frees pages).
  CheckpointIfWritten(*db.sharedFile());
  WriteOperation op(*db.sharedFile());
  DropTableIn(db, op, name);
  op.Commit();
  db.CatalogChanged();
}

void RenameTable(Database& db, const std::string& from, const std::string& to, bool replace) {
  SharedFile& f = *db.sharedFile();
  const std::string file = f.path;
  CheckAccessName(to, "table");
  // What was written before (the new table's rows) is saved before the catalog changes, as for
  // a drop. A rename that replaces a table both frees pages and rewrites catalog rows in one
  // save: docs/formats/jet-writing.md says what another reader may see if that save is killed.
  CheckpointIfWritten(f);
  WriteOperation op(f);
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;

  // The catalog as it is now; the rows of the Tables container are the names a table may not share.
  auto readCatalog = [&](TableDefinition& objects) {
    objects = ReadTableDefinition(ps, f.header, 2, "MSysObjects");
    return ReadSystemRows(f, objects);
  };
  TableDefinition objects;
  std::vector<SystemRow> all = readCatalog(objects);
  std::size_t cId = SystemColumn(objects, "Id"), cParent = SystemColumn(objects, "ParentId"),
              cName = SystemColumn(objects, "Name"), cType = SystemColumn(objects, "Type");
  std::optional<std::int64_t> tablesId;
  for (const auto& r : all)
    if (IntOf(r.values[cType]) == kContainerType && IntOf(r.values[cParent]) == kRootContainerId &&
        TextOf(r.values[cName]) == "Tables")
      tablesId = IntOf(r.values[cId]);
  if (!tablesId) ThrowCorrupt("the catalog has no 'Tables' container", ps.Where(2, 0));
  // The table to rename: its exact name first, else the one equal without regard to case.
  auto findTable = [&](const std::string& name) -> const SystemRow* {
    const SystemRow* loose = nullptr;
    for (const auto& r : all) {
      if ((IntOf(r.values[cType]) & 0x7f) != object_type::kTable || IntOf(r.values[cParent]) != *tablesId)
        continue;
      const std::string n = TextOf(r.values[cName]);
      if (n == name) return &r;
      if (!loose && SameNameIgnoringCase(n, name)) loose = &r;
    }
    return loose;
  };
  const SystemRow* source = findTable(from);
  if (!source)
    throw Error(errc::kNoSuchTable, "Table '" + from + "' does not exist in '" + file + "'.", file);
  const std::int64_t sourceId = IntOf(source->values[cId]);
  for (const auto& r : all) {
    if (IntOf(r.values[cParent]) != *tablesId || IntOf(r.values[cId]) == sourceId) continue;
    if (!SameNameIgnoringCase(TextOf(r.values[cName]), to)) continue;
    if (!replace || (IntOf(r.values[cType]) & 0x7f) != object_type::kTable)
      throw Error(errc::kTableExists, "Table '" + to + "' already exists.", file);
    // The table that gives up its name goes in this same change; the catalog is read again.
    DropTableIn(db, op, TextOf(r.values[cName]));
    all = readCatalog(objects);
    source = nullptr;
    for (const auto& s : all)
      if (IntOf(s.values[cId]) == sourceId && IntOf(s.values[cParent]) == *tablesId) source = &s;
    if (!source) ThrowCorrupt("the table to rename left the catalog", ps.Where(2, 0));
    break;
  }
  const std::string oldName = TextOf(source->values[cName]);
  // Relationships name their tables: a table in one keeps its name.
  RefuseRelatedTable(db, oldName, "renaming");
  CheckIndexTrees(ps, objects);

  qv::Row row = source->values;
  row[cName] = to;
  const Bytes bytes = EncodeCatalogRow(f, objects, *source, row);

  // The old row and its index entries go first (the unique index on Id would refuse the new row
  // beside it); a key that cannot be made undoes the whole change with the operation.
  const std::set<RowPointer> gone{source->slot};
  const RowPointer slot = source->slot, stored = source->stored;
  RemoveIndexEntries(op.writer(), objects, gone);
  MarkDeleted(ps, l, slot);
  if (stored != slot) MarkDeleted(ps, l, stored);
  LowerRowCount(ps, l, objects, 1);
  const std::vector<PendingIndexEntry> keys = PrepareIndexEntries(op.writer(), objects, row);
  WriteIndexEntries(op.writer(), objects, keys, PlaceCatalogRow(op.writer(), objects, bytes));
  op.Commit();
  db.CatalogChanged();
}

}  // namespace qv::jet
