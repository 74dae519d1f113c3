#include "engine/jet/write/table_creator.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>
#include <set>

#include "engine/core/error.h"
#include "engine/core/local_time.h"
#include "engine/core/text_codec.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/index_writer.h"
#include "engine/jet/write/row_builder.h"
#include "engine/jet/write/system_rows.h"
#include "engine/jet/write/usage_map_writer.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::size_t kMaxNameLength = 64;
constexpr std::size_t kMaxColumns = 255;
// The rights ACE of the Tables container that stands for "the creator" (its SID is the owner's with
// 0x0105 XORed into it, in every corpus file): a new table gives those rights to its owner.
constexpr std::uint16_t kCreatorSidXor = 0x0105;

int ErrInvalidName() {
  return 3125;
}
int ErrDuplicateField() {
  return 3191;
}
int ErrTooManyFields() {
  return 3190;
}

// A row for a system table from values by column name (missing columns are NULL).
qv::Row MakeRow(const TableDefinition& t, const std::map<std::string, qv::Value>& values) {
  qv::Row row(t.columns.size(), std::monostate{});
  for (const auto& [name, v] : values) row[SystemColumn(t, name.c_str())] = v;
  return row;
}

// The rows of system table `t` that something still names: the rows its index entries name, and
// the rows overflow slots point to. Their numbers are not given to new rows even when deleted.
std::set<RowPointer> NamedSystemRows(FileWriter& w, const TableDefinition& t) {
  std::set<RowPointer> named;
  for (std::size_t ri = 0; ri < t.realIndexes.size(); ++ri)
    for (const auto& e : ReadIndexEntries(w.pages(), t, ri)) named.insert(e.row);
  for (const SystemRow& r : ReadSystemRows(w.file(), t)) named.insert(r.stored);
  return named;
}

// Puts `row` on a data page of system table `t`. First in the room of deleted rows, as Access
// reuses it (so that creating and dropping tables does not grow the catalog): the first page
// with a deleted row that nothing names any more and room for the row once the deleted rows'
// bytes are given up is laid out again (AddRowReusingDeleted), and the row takes that number.
// Otherwise the last page it owns with room, or a new page listed in its page and free-space
// maps. Raises the table's row count (the counts kept per index are counts of distinct keys,
// which the index writer keeps).
RowPointer PlaceSystemRow(FileWriter& w, const TableDefinition& t, const Bytes& row) {
  PageStore& ps = w.pages();
  const Layout& l = w.layout();
  if (row.size() > MaxRowSize(l))
    throw Error(errc::kValueTooLong, "A row of system table '" + t.name + "' would not fit a page.",
                ps.Where(t.firstPage, 0));
  std::optional<RowPointer> at;
  UsageMap used = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
  std::uint32_t last = 0, lastOwned = 0;
  std::optional<std::set<RowPointer>> named;
  for (std::uint32_t q : used.Pages()) {
    if (q >= ps.pageCount()) break;
    PagePtr cur = ps.ReadPage(q);
    if ((*cur)[0] != page_type::kData || LoadU32(cur->data() + 4) != t.firstPage) continue;
    lastOwned = q;
    if (RoomForRow(l, *cur) >= row.size()) last = q;
    if (at) continue;
    DataPageReader reader(ps, l, q, *cur);
    std::vector<std::uint8_t> deleted;
    // Deleted rows carry both flags (0xc000); a slot flagged 0x8000 alone may be the target of
    // an overflow slot, and mdbtools reads such rows, so their bytes stay.
    for (std::uint16_t i = 0; i < reader.rowCount() && i < kMaxRowsPerPage; ++i)
      if (RowSlot slot = reader.Slot(i); slot.deleted && slot.overflow)
        deleted.push_back(static_cast<std::uint8_t>(i));
    if (deleted.empty()) continue;
    if (!named) named = NamedSystemRows(w, t);
    std::erase_if(deleted, [&](std::uint8_t i) { return named->count(RowPointer{q, i}) != 0; });
    if (deleted.empty()) continue;
    Bytes p = CopyPage(ps, q);
    if (auto slot = AddRowReusingDeleted(l, p, row, deleted)) {
      PutPage(ps, q, std::move(p));
      at = RowPointer{q, *slot};
    }
  }
  if (!at && last != 0) {
    Bytes p = CopyPage(ps, last);
    if (auto slot = AddRow(l, p, row)) {
      PutPage(ps, last, std::move(p));
      at = RowPointer{last, *slot};
    }
  }
  if (!at) {
    std::uint32_t n = w.AllocatePage();
    Bytes p = NewDataPage(l, t.firstPage);
    auto slot = AddRow(l, p, row);
    if (!slot) throw Error(errc::kValueTooLong, "A catalog row does not fit an empty page.", ps.Where(n, 0));
    PutPage(ps, n, std::move(p));
    UsageMapWriter maps(ps, l, [&w] { return w.AllocatePage(); });
    if (!maps.Set(RowPointer::Decode(t.usedPagesPointer), n, true))
      throw Error(errc::kNotSupported,
                  "The page map of system table '" + t.name + "' cannot list page " + std::to_string(n) + ".",
                  ps.Where(n, 0));
    // The free-space map lists the new page and no longer the one that filled, as Access keeps
    // the catalog's map (only its last page listed in the corpus files).
    if (t.freePagesPointer != 0) {
      if (lastOwned != 0) maps.Set(RowPointer::Decode(t.freePagesPointer), lastOwned, false);
      maps.Set(RowPointer::Decode(t.freePagesPointer), n, true);
    }
    at = RowPointer{n, *slot};
  }
  PatchDefinitionU32(ps, l, t.firstPage, l.tdefRowCount,
                     ReadDefinitionU32(ps, l, t.firstPage, l.tdefRowCount) + 1);
  return *at;
}

Bytes EncodeSystemRow(const TableDefinition& t, const qv::Row& row, const DatabaseHeader& header) {
  const std::unique_ptr<TextCodec> codec = Jet3TextCodec(header);
  std::vector<EncodedValue> cells;
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    cells.push_back(EncodeValue(t.columns[i], row[i], t.name, codec.get()));
  return BuildRow(t, cells, header.layout);
}

// An inline usage map as Access writes it for a new table: kind 0, first page 0, 64 bytes of bits
// (128 in Access 97 files).
Bytes EmptyInlineMap(const Layout& l) {
  Bytes m(1 + 4 + l.inlineMapBytes, 0);
  return m;
}

}  // namespace

RowPointer PlaceCatalogRow(FileWriter& w, const TableDefinition& t, const Bytes& row) {
  return PlaceSystemRow(w, t, row);
}

void CheckAccessName(const std::string& name, const char* what) {
  auto bad = [&](const std::string& why) {
    throw Error(ErrInvalidName(), "'" + name + "' is not a valid " + what + " name: " + why + ".");
  };
  if (name.empty()) bad("it is empty");
  if (name[0] == ' ') bad("it starts with a space");
  std::size_t i = 0, units = 0;
  while (i < name.size()) {
    char32_t c = 0;
    if (!DecodeUtf8(name, i, c)) bad("it is not valid UTF-8");
    if (c < 0x20 || c == 0x7f) bad("it holds a control character");
    if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
      bad(std::string("it holds the character '") + static_cast<char>(c) + "'");
    units += c > 0xffff ? 2 : 1;
  }
  if (units > kMaxNameLength) bad("it is longer than 64 characters");
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return EqualIgnoringLetterCase(a, b);
}

SortOrder DatabaseSortOrder(const DatabaseHeader& header) {
  SortOrder s;
  s.id = header.sortOrder ? header.sortOrder : 0x0409;
  if (header.layout.jet3) {
    s.version = kSortVersionJet3;
    s.codePage = header.codePage;
    return s;
  }
  if (header.plainPage.size() > 0x71) s.version = header.plainPage[0x71];
  return s;
}

namespace {

// Checks that need no file access: the names and the number of columns.
void CheckNewTable(const std::string& name, const std::vector<qv::Column>& columns, const std::string& file) {
  CheckAccessName(name, "table");
  if (columns.empty())
    throw Error(errc::kInvalidArgument, "Table '" + name + "' needs at least one column.", file);
  if (columns.size() > kMaxColumns)
    throw Error(ErrTooManyFields(), "Too many fields defined: a table holds at most 255.", file);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    CheckAccessName(columns[i].name, "field");
    for (std::size_t k = 0; k < i; ++k)
      if (SameNameIgnoringCase(columns[i].name, columns[k].name))
        throw Error(ErrDuplicateField(),
                    "Field '" + columns[i].name + "' is defined more than once in table '" + name + "'.",
                    file);
  }
}

// What the catalog as it is now (another connection may have changed it) gives a new table: the
// id of the Tables container it goes into and the database's owner.
struct CatalogPlace {
  TableDefinition objects;  // MSysObjects
  std::int32_t tablesId = 0;
  qv::Value owner = std::monostate{};
};

// Reads the catalog and refuses a name the Tables container has already. Two names are the same
// when they differ only in letter case, or when the catalog's name index gives them one key (the
// unique ParentId + Name index could not hold both).
CatalogPlace ReadCatalogFor(SharedFile& f, PageStore& ps, const std::string& name) {
  CatalogPlace place;
  TableDefinition& objects = place.objects;
  objects = ReadTableDefinition(ps, f.header, kCatalogPage, "MSysObjects");
  const std::size_t cId = SystemColumn(objects, "Id"), cParent = SystemColumn(objects, "ParentId"),
                    cName = SystemColumn(objects, "Name"), cType = SystemColumn(objects, "Type"),
                    cOwner = SystemColumn(objects, "Owner");
  std::vector<SystemRow> catalog = ReadSystemRows(f, objects);
  std::optional<std::int32_t> tablesId;
  for (const auto& r : catalog) {
    std::string n = TextOf(r.values[cName]);
    if (IntOf(r.values[cType]) == kContainerType && IntOf(r.values[cParent]) == kRootContainerId &&
        n == "Tables")
      tablesId = static_cast<std::int32_t>(IntOf(r.values[cId]));
    if (n == "MSysDb") place.owner = r.values[cOwner];
  }
  if (!tablesId) ThrowCorrupt("the catalog has no 'Tables' container", ps.Where(kCatalogPage, 0));
  place.tablesId = *tablesId;
  const SortOrder catalogSort = DatabaseSortOrder(f.header);
  std::optional<Bytes> nameKey;
  try {
    nameKey = TextIndexKey(name, catalogSort);
  } catch (const Error&) {
    // a name the index cannot key is refused when the catalog row's entries are prepared
  }
  for (const auto& r : catalog) {
    if (IntOf(r.values[cParent]) != *tablesId) continue;
    const std::string other = TextOf(r.values[cName]);
    bool same = SameNameIgnoringCase(other, name);
    if (!same && nameKey) {
      try {
        same = TextIndexKey(other, catalogSort) == *nameKey;
      } catch (const Error&) {
      }
    }
    if (same) throw Error(errc::kTableExists, "Table '" + name + "' already exists.", f.path);
  }
  return place;
}

// Access rights: the new table inherits the Tables container's inheritable entries; the creator's
// entry goes to the owner. `aces` is left empty when the database has no MSysACEs.
std::vector<qv::Row> InheritedAccessRows(Database& db, SharedFile& f, PageStore& ps,
                                         const CatalogPlace& place, TableDefinition& aces) {
  std::vector<qv::Row> aceRows;
  for (const auto& c : db.catalog()) {
    if (c.name != "MSysACEs" || !c.isTable()) continue;
    aces = ReadTableDefinition(ps, f.header, c.tablePage(), c.name);
  }
  if (aces.columns.empty()) return aceRows;
  const std::size_t aObject = SystemColumn(aces, "ObjectId"), aSid = SystemColumn(aces, "SID"),
                    aAcm = SystemColumn(aces, "ACM"), aInherit = SystemColumn(aces, "FInheritable");
  Bytes ownerSid;
  if (auto b = std::get_if<Bytes>(&place.owner)) ownerSid = *b;
  Bytes creatorSid = ownerSid;
  if (creatorSid.size() == 2) {
    creatorSid[0] ^= static_cast<std::uint8_t>(kCreatorSidXor >> 8);
    creatorSid[1] ^= static_cast<std::uint8_t>(kCreatorSidXor & 0xff);
  }
  std::vector<std::pair<Bytes, std::int64_t>> inherited;  // in the container's order
  for (const auto& r : ReadSystemRows(f, aces)) {
    if (IntOf(r.values[aObject]) != place.tablesId) continue;
    const bool* inherit = std::get_if<bool>(&r.values[aInherit]);
    if (!inherit || !*inherit) continue;
    Bytes sid;
    if (auto b = std::get_if<Bytes>(&r.values[aSid])) sid = *b;
    if (sid == creatorSid && !ownerSid.empty()) sid = ownerSid;
    std::int64_t acm = IntOf(r.values[aAcm]);
    auto it = std::find_if(inherited.begin(), inherited.end(), [&](const auto& e) { return e.first == sid; });
    if (it == inherited.end())
      inherited.emplace_back(sid, acm);
    else
      it->second |= acm;
  }
  for (const auto& [sid, acm] : inherited)
    aceRows.push_back(MakeRow(aces, {{"SID", sid}, {"ACM", acm}, {"FInheritable", false}}));
  return aceRows;
}

// The usage-map rows: pages used, free space, then (ACE, Access 97) two per long-value column, on
// data pages owned by no table (owner 0), as Access keeps them.
std::vector<RowPointer> WriteUsageMapRows(FileWriter& w, std::size_t count) {
  PageStore& ps = w.pages();
  const Layout& l = w.layout();
  std::vector<RowPointer> mapRows;
  std::uint32_t mapPage = 0;
  Bytes page;
  for (std::size_t k = 0; k < count; ++k) {
    Bytes row = EmptyInlineMap(l);
    std::optional<std::uint8_t> slot;
    if (mapPage != 0) slot = AddRow(l, page, row);
    if (!slot) {
      if (mapPage != 0) PutPage(ps, mapPage, std::move(page));
      mapPage = w.AllocatePage();
      page = NewDataPage(l, 0);
      slot = AddRow(l, page, row);
    }
    mapRows.push_back({mapPage, *slot});
  }
  PutPage(ps, mapPage, std::move(page));
  return mapRows;
}

}  // namespace

void CreateTable(Database& db, const std::string& name, const std::vector<qv::Column>& columns) {
  SharedFile& f = *db.sharedFile();
  CheckNewTable(name, columns, f.path);

  WriteOperation op(f);  // refuses read-only and encrypted files
  FileWriter& w = op.writer();
  PageStore& ps = w.pages();
  const Layout& l = w.layout();
  const SortOrder sort = DatabaseSortOrder(f.header);

  TableDefinition table;
  table.name = name;
  table.tableType = 0x4e;
  table.columns = LayoutColumns(columns, l);
  for (const auto& c : table.columns)
    table.maxColumns = std::max<std::uint16_t>(table.maxColumns, static_cast<std::uint16_t>(c.number + 1));
  std::vector<std::uint16_t> longColumns;
  if (f.header.ace || l.jet3)  // Jet4 keeps no maps per long-value column
    for (const auto& c : table.columns)
      if (c.longValue()) longColumns.push_back(c.number);
  {
    // Encoded once with placeholder map pointers: names the definition cannot hold are refused
    // before anything is written. A definition longer than a page takes a chain of pages.
    std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> probe;
    for (auto n : longColumns) probe[n] = {0, 0};
    EncodeTableDefinition(table, sort, probe, l);
  }

  const CatalogPlace place = ReadCatalogFor(f, ps, name);
  const TableDefinition& objects = place.objects;
  TableDefinition aces;
  std::vector<qv::Row> aceRows = InheritedAccessRows(db, f, ps, place, aces);

  // Everything checked that can be without writing: now the pages.
  const std::uint32_t tdefPage = w.AllocatePage();
  const std::int32_t id = static_cast<std::int32_t>(tdefPage);
  const qv::Timestamp now = LocalNow();
  qv::Row objectRow = MakeRow(objects, {{"Id", static_cast<std::int64_t>(id)},
                                        {"ParentId", static_cast<std::int64_t>(place.tablesId)},
                                        {"Name", name},
                                        {"Type", static_cast<std::int64_t>(object_type::kTable)},
                                        {"DateCreate", now},
                                        {"DateUpdate", now},
                                        {"Owner", place.owner},
                                        {"Flags", static_cast<std::int64_t>(0)}});
  for (auto& r : aceRows) r[SystemColumn(aces, "ObjectId")] = static_cast<std::int64_t>(id);
  // Index entries (their keys refuse a name the collation cannot code) before anything changes.
  std::vector<PendingIndexEntry> objectKeys = PrepareIndexEntries(w, objects, objectRow);
  std::vector<std::vector<PendingIndexEntry>> aceKeys;
  for (const auto& r : aceRows) aceKeys.push_back(PrepareIndexEntries(w, aces, r));
  Bytes objectBytes = EncodeSystemRow(objects, objectRow, f.header);
  std::vector<Bytes> aceBytes;
  for (const auto& r : aceRows) aceBytes.push_back(EncodeSystemRow(aces, r, f.header));

  std::vector<RowPointer> mapRows = WriteUsageMapRows(w, 2 + 2 * longColumns.size());
  table.firstPage = tdefPage;
  table.usedPagesPointer = mapRows[0].Encode();
  table.freePagesPointer = mapRows[1].Encode();
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> longMaps;
  for (std::size_t k = 0; k < longColumns.size(); ++k)
    longMaps[longColumns[k]] = {mapRows[2 + 2 * k].Encode(), mapRows[3 + 2 * k].Encode()};
  // The first page is the table's id; continuation pages, when the definition needs them, come
  // from the free pages like any other page (owned by the definition, listed in no table map).
  table.pages = WriteNewDefinition(w, tdefPage, EncodeTableDefinition(table, sort, longMaps, l));

  // The catalog row, the access rows, and their index entries.
  WriteIndexEntries(w, objects, objectKeys, PlaceSystemRow(w, objects, objectBytes));
  for (std::size_t r = 0; r < aceRows.size(); ++r)
    WriteIndexEntries(w, aces, aceKeys[r], PlaceSystemRow(w, aces, aceBytes[r]));
  op.Commit();
  db.CatalogChanged();
}

}  // namespace qv::jet
