#include "engine/jet/write/table_inserter.h"

#include <algorithm>
#include <tuple>

#include "engine/core/error.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/index_writer.h"
#include "engine/jet/write/row_builder.h"
#include "engine/jet/write/system_rows.h"

namespace qv::jet {

namespace {
// Long values up to this size stay inside the row when the row has room.
constexpr std::size_t kInlineLongValue = 256;
constexpr std::size_t kLongValueHeader = 12;
}  // namespace

namespace {

// Whether a definition read again describes the table an inserter was made for: the same pages,
// columns, indexes and page maps (row counts and the autonumber aside).
bool SameTable(const TableDefinition& a, const TableDefinition& b) {
  auto column = [](const ColumnDef& c) {
    return std::tie(c.name, c.type, c.number, c.varIndex, c.fixedOffset, c.length, c.flags, c.extFlags,
                    c.precision, c.scale, c.sortOrder, c.codePage, c.complexId);
  };
  auto real = [](const RealIndexDef& r) { return std::tie(r.usedPagesPointer, r.firstPage, r.flags); };
  auto logical = [](const IndexDef& x) {
    return std::tie(x.name, x.number, x.realIndex, x.type, x.relTablePage);
  };
  if (std::tie(a.firstPage, a.pages, a.tableType, a.maxColumns, a.varColumns, a.usedPagesPointer,
               a.freePagesPointer) != std::tie(b.firstPage, b.pages, b.tableType, b.maxColumns, b.varColumns,
                                               b.usedPagesPointer, b.freePagesPointer) ||
      a.columns.size() != b.columns.size() || a.realIndexes.size() != b.realIndexes.size() ||
      a.indexes.size() != b.indexes.size())
    return false;
  for (std::size_t i = 0; i < a.columns.size(); ++i)
    if (column(a.columns[i]) != column(b.columns[i])) return false;
  for (std::size_t i = 0; i < a.realIndexes.size(); ++i) {
    const auto &x = a.realIndexes[i].columns, &y = b.realIndexes[i].columns;
    if (real(a.realIndexes[i]) != real(b.realIndexes[i]) || x.size() != y.size()) return false;
    for (std::size_t k = 0; k < x.size(); ++k)
      if (x[k].columnNumber != y[k].columnNumber || x[k].ascending != y[k].ascending) return false;
  }
  for (std::size_t i = 0; i < a.indexes.size(); ++i)
    if (logical(a.indexes[i]) != logical(b.indexes[i])) return false;
  return true;
}

}  // namespace

// The generation is taken before the definition is read: a change made meanwhile is caught by
// the first operation's check. A connection whose catalog list is already stale does not use it.
TableInserter::TableInserter(Database& db, const std::string& table)
    : file_(db.sharedFile()),
      codec_(Jet3TextCodec(file_->header)),
      catalogGeneration_(file_->catalogGeneration.load()),
      def_(db.CatalogIsStale() ? TableDefinition{} : db.ReadDefinition(table)) {
  if (def_.firstPage == 0) {
    const std::uint32_t page = CurrentTablePage(*file_, table);
    if (page == 0)
      throw Error(errc::kNoSuchTable, "Table '" + table + "' does not exist in '" + file_->path + "'.",
                  file_->path);
    def_ = ReadTableDefinition(*file_->pages, file_->header, page, table);
  }
  FileWriter::Attach(*file_);  // refuses read-only files and encrypted .accdb at once
  CheckWritable();
  lvalMaps_ = ReadLongValueMaps(*file_->pages, file_->header.layout, def_);
}

std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> ReadLongValueMaps(PageStore& ps,
                                                                                   const Layout& l,
                                                                                   const TableDefinition& t) {
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> maps;
  // The whole definition, joined across its pages (the maps may lie on any of them).
  const Bytes joined = ReadDefinitionChain(ps, t.firstPage).bytes;
  ByteView v(joined, ps.Where(t.firstPage, 0));
  // After the column descriptors and names come the index sections: one column block per real
  // index, one entry per logical index, then the logical index names; then, per long-value
  // column, u16 column number, u32 owned-pages map, u32 free-space map, and 0xffff (ACE and
  // Access 97; Jet4 tables end at the names).
  auto name = [&](std::size_t at) {
    return l.nameLengthSize + (l.nameLengthSize == 1 ? v.U8(at) : v.U16(at));
  };
  std::size_t at = l.tdefRealIndexStart + t.realIndexes.size() * l.realIndexEntrySize +
                   t.columns.size() * l.columnEntrySize;
  for (std::size_t i = 0; i < t.columns.size(); ++i) at += name(at);
  at += t.realIndexes.size() * l.indexColumnBlockSize + t.indexes.size() * l.logicalIndexEntrySize;
  for (std::size_t i = 0; i < t.indexes.size(); ++i) at += name(at);
  const std::size_t end = std::min<std::size_t>(v.size(), 8 + v.U32(8));
  while (at + 2 <= end && v.U16(at) != 0xffff) {
    if (at + 10 > end)
      ThrowCorrupt("long-value column maps run past the table definition", ps.Where(t.firstPage, at));
    maps[v.U16(at)] = {v.U32(at + 2), v.U32(at + 6)};
    at += 10;
  }
  return maps;
}

void TableInserter::CheckCatalog() {
  const std::uint64_t generation = file_->catalogGeneration.load();
  if (generation == catalogGeneration_) return;
  const std::uint32_t page = CurrentTablePage(*file_, def_.name);
  TableDefinition now;
  if (page == def_.firstPage) now = ReadTableDefinition(*file_->pages, file_->header, page, def_.name);
  if (page != def_.firstPage || !SameTable(def_, now))
    throw Error(errc::kNoSuchTable,
                "Table '" + def_.name + "' was dropped or replaced through another connection to '" +
                    file_->path + "' after rows began to be added to it; no row was added.",
                file_->path);
  // The same table (or one made again just like it): rows go on, and the page hints start over.
  def_ = std::move(now);
  lvalMaps_ = ReadLongValueMaps(*file_->pages, file_->header.layout, def_);
  dataHint_ = 0;
  lvalHints_.clear();
  scanned_ = false;
  catalogGeneration_ = generation;
}

void TableInserter::CheckWritable() const {
  const std::string& f = file_->path;
  auto refuse = [&](const std::string& why) {
    throw Error(errc::kNotSupported, "Rows cannot be added to table '" + def_.name + "': " + why + ".", f);
  };
  if (def_.tableType != 0x4e) refuse("it is a system table");
  for (const auto& ix : def_.indexes)
    if (ix.foreignKey())
      refuse("its index '" + ix.name +
             "' belongs to a relationship, whose rules this version does not check yet");
  for (const auto& ri : def_.realIndexes)
    for (const auto& part : ri.columns) {
      const ColumnDef* c = def_.columnByNumber(part.columnNumber);
      if (!c) ThrowCorrupt("an index names a column the table does not have", f);
      if (c->type == col_type::kNumeric || c->type == col_type::kOle || c->type == col_type::kComplex ||
          c->type == col_type::kDateTimeExt)
        refuse("column '" + c->name + "' is indexed, and index keys for its type cannot be made yet");
      if ((c->type == col_type::kText || c->type == col_type::kMemo) && c->sortOrder != 0x0409)
        refuse("column '" + c->name + "' is indexed in the sort order " + std::to_string(c->sortOrder) +
               ", for which index keys cannot be made yet (only the General order, 1033)");
    }
  for (const auto& c : def_.columns) {
    if (c.type == col_type::kComplex)
      refuse("column '" + c.name + "' is an attachment or multi-value column");
    if (c.calculated()) refuse("column '" + c.name + "' is a calculated column");
    if (c.type == col_type::kDateTimeExt) refuse("column '" + c.name + "' is a Date/Time Extended column");
    if (c.autoGuid()) refuse("column '" + c.name + "' is an automatic replication ID");
  }
}

std::vector<EncodedValue> TableInserter::Encode(const qv::Row& values) {
  if (values.size() != def_.columns.size())
    throw Error(errc::kInvalidArgument,
                "Table '" + def_.name + "' has " + std::to_string(def_.columns.size()) + " columns but " +
                    std::to_string(values.size()) + " values were given.",
                file_->path);
  ++rowsGiven_;
  std::vector<EncodedValue> cells;
  cells.reserve(values.size());
  try {
    for (std::size_t i = 0; i < values.size(); ++i)
      cells.push_back(EncodeValue(def_.columns[i], values[i], def_.name, codec_.get()));
  } catch (const Error& e) {
    // Which of the rows given it was: the n-th row of a copy is the n-th row of its source.
    if (e.number() != errc::kTypeConversion && e.number() != errc::kValueTooLong) throw;
    throw Error(e.number(), "Row " + std::to_string(rowsGiven_) + ": " + e.description(), e.where());
  }
  return cells;
}

void TableInserter::Insert(const qv::Row& values) {
  std::vector<EncodedValue> cells = Encode(values);  // throws before anything is written
  WriteOperation op(*file_);
  CheckCatalog();
  Store(op, cells, values);
  op.Commit();
}

std::uint64_t TableInserter::InsertAll(qv::RowReader& rows) {
  std::uint64_t n = 0;
  qv::Row row;
  bool more = true;
  while (more) {
    WriteOperation op(*file_);
    CheckCatalog();
    for (int k = 0; k < 256; ++k) {
      if (!rows.Next(row)) {
        more = false;
        break;
      }
      // A row refused before it wrote anything (a value that does not convert, a duplicate key)
      // keeps the rows before it in this operation, as separate inserts would; a failure after
      // writing began undoes the whole operation.
      writing_ = false;
      try {
        std::vector<EncodedValue> cells = Encode(row);
        Store(op, cells, row);
      } catch (...) {
        if (!writing_) op.Commit();
        throw;
      }
      ++n;
    }
    op.Commit();
  }
  return n;
}

Bytes TableInserter::PlaceLongValue(FileWriter& w, const Bytes& data, std::uint16_t column) {
  const Layout& l = w.layout();
  std::uint32_t& hint = lvalHints_[lvalMaps_.count(column) ? column : 0xffff];
  std::pair<std::uint32_t, std::uint32_t> maps{0, 0};
  if (auto it = lvalMaps_.find(column); it != lvalMaps_.end()) maps = it->second;
  Bytes field(kLongValueHeader, 0);
  const std::size_t maxRow = MaxRowSize(l);
  if (data.size() <= maxRow) {
    RowPointer at = PlaceRow(w, data, kLvalOwner, hint, maps, false);
    StoreU32(field.data(), static_cast<std::uint32_t>(data.size()) | 0x40000000u);
    StoreU32(field.data() + 4, at.Encode());
    return field;
  }
  // A chain: each row holds the pointer to the next (0 at the end) and then its piece. The pieces
  // are written last to first so each knows its successor.
  const std::size_t piece = maxRow - 4;
  std::size_t count = (data.size() + piece - 1) / piece;
  RowPointer next{};
  for (std::size_t i = count; i-- > 0;) {
    std::size_t from = i * piece, len = std::min(piece, data.size() - from);
    Bytes row(4 + len);
    StoreU32(row.data(), next.Encode());
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(from), len, row.begin() + 4);
    next = PlaceRow(w, row, kLvalOwner, hint, maps, false);
  }
  if (data.size() > 0x3fffffffu)
    throw Error(errc::kValueTooLong, "A long value is larger than 1 GiB.", file_->path);
  StoreU32(field.data(), static_cast<std::uint32_t>(data.size()));
  StoreU32(field.data() + 4, next.Encode());
  return field;
}

RowPointer TableInserter::PlaceRow(FileWriter& w, const Bytes& row, std::uint32_t owner, std::uint32_t& hint,
                                   std::pair<std::uint32_t, std::uint32_t> maps, bool scanTable) {
  const Layout& l = w.layout();
  PageStore& ps = w.pages();
  auto tryPage = [&](std::uint32_t n, RowPointer& at) {
    if (n == 0 || n >= ps.pageCount()) return false;
    PagePtr cur = ps.ReadPage(n);
    if ((*cur)[0] != page_type::kData || LoadU32(cur->data() + 4) != owner) return false;
    if (RoomForRow(l, *cur) < row.size()) return false;
    Bytes p(cur->begin(), cur->end());
    auto slot = AddRow(l, p, row);
    if (!slot) return false;
    PutPage(ps, n, std::move(p));
    at = {n, *slot};
    return true;
  };
  RowPointer at;
  if (tryPage(hint, at)) return at;
  if (scanTable && !scanned_) {
    // First row of this inserter: the last page the table already owns may have room.
    scanned_ = true;
    UsageMap used = UsageMap::Read(ps, l, RowPointer::Decode(def_.usedPagesPointer));
    std::uint32_t last = 0;
    for (std::uint32_t q : used.Pages()) {
      if (q >= ps.pageCount()) break;
      PagePtr cur = ps.ReadPage(q);
      if ((*cur)[0] == page_type::kData && LoadU32(cur->data() + 4) == owner) last = q;
    }
    if (last && tryPage(last, at)) {
      hint = last;
      return at;
    }
  }
  std::uint32_t n = w.AllocatePage();
  Bytes p = NewDataPage(l, owner);
  auto slot = AddRow(l, p, row);
  if (!slot)
    throw Error(errc::kValueTooLong, "A row of " + std::to_string(row.size()) + " bytes does not fit a page.",
                file_->path);
  PutPage(ps, n, std::move(p));
  if (maps.first != 0) {
    UsageMapWriter writer(ps, l, [&w] { return w.AllocatePage(); });
    if (!writer.Set(RowPointer::Decode(maps.first), n, true))
      throw Error(errc::kNotSupported,
                  "A page map of table '" + def_.name + "' cannot list page " + std::to_string(n) + ".",
                  ps.Where(n, 0));
    // The free-space map lists the page being filled; the one before is full now.
    if (maps.second != 0) {
      RowPointer freeMap = RowPointer::Decode(maps.second);
      if (hint != 0) writer.Set(freeMap, hint, false);
      writer.Set(freeMap, n, true);
    }
  }
  hint = n;
  return {n, *slot};
}

void TableInserter::Store(WriteOperation& op, std::vector<EncodedValue>& cells, const qv::Row& values) {
  FileWriter& w = op.writer();
  const Layout& l = w.layout();
  PageStore& ps = w.pages();
  // The row count and the autonumber counter, which follows it in every version's header: read
  // once here, written back once at the end (nothing in between changes them).
  const Bytes counted = ReadDefinitionField(ps, l, def_.firstPage, l.tdefRowCount, 8);
  const std::uint32_t rowCount = LoadU32(counted.data());
  std::uint32_t autoNumber = LoadU32(counted.data() + 4);
  // Autonumbers: a NULL gets the next number; a given number moves the counter past it.
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const ColumnDef& c = def_.columns[i];
    if (!c.autoLong() || c.type != col_type::kInt32) continue;
    if (cells[i].null) {
      ++autoNumber;
      cells[i].null = false;
      cells[i].bytes.resize(4);
      StoreU32(cells[i].bytes.data(), autoNumber);
    } else {
      std::int32_t given = static_cast<std::int32_t>(LoadU32(cells[i].bytes.data()));
      if (given > static_cast<std::int32_t>(autoNumber)) autoNumber = static_cast<std::uint32_t>(given);
    }
  }
  // Index entries: every key is made and every unique index checked before anything is written.
  std::vector<PendingIndexEntry> indexEntries;
  if (!def_.realIndexes.empty()) {
    qv::Row keyed = values;
    for (std::size_t i = 0; i < cells.size(); ++i)
      if (def_.columns[i].autoLong() && def_.columns[i].type == col_type::kInt32)
        keyed[i] = std::int64_t{static_cast<std::int32_t>(LoadU32(cells[i].bytes.data()))};
    indexEntries = PrepareIndexEntries(w, def_, keyed);
  }
  writing_ = true;  // from here on pages change
  // Long values: small ones inline, the rest on LVAL pages; the row must fit one page.
  std::vector<std::size_t> longs;
  std::vector<Bytes> content(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!def_.columns[i].longValue() || cells[i].null) continue;
    longs.push_back(i);
    content[i] = std::move(cells[i].bytes);
    Bytes field(kLongValueHeader, 0);
    if (content[i].size() <= kInlineLongValue) {
      StoreU32(field.data(), static_cast<std::uint32_t>(content[i].size()) | 0x80000000u);
      field.insert(field.end(), content[i].begin(), content[i].end());
    }
    cells[i].bytes = std::move(field);
  }
  auto rowSize = [&] { return BuildRow(def_, cells, l).size(); };
  // Move inline values out, largest first, while the row is too long.
  std::sort(longs.begin(), longs.end(),
            [&](std::size_t a, std::size_t b) { return content[a].size() > content[b].size(); });
  for (std::size_t i : longs) {
    bool inlined = cells[i].bytes.size() > kLongValueHeader || content[i].empty();
    if (inlined && !content[i].empty() && rowSize() <= MaxRowSize(l)) continue;
    if (inlined) {
      if (content[i].empty()) continue;
      cells[i].bytes.resize(kLongValueHeader);  // placed below
    }
    cells[i].bytes = PlaceLongValue(w, content[i], def_.columns[i].number);
  }
  Bytes row = BuildRow(def_, cells, l);
  if (row.size() > MaxRowSize(l))
    throw Error(errc::kValueTooLong,
                "The record is too large: a row of table '" + def_.name + "' would take " +
                    std::to_string(row.size()) + " bytes, a page holds " + std::to_string(MaxRowSize(l)) +
                    ".",
                file_->path);
  RowPointer at =
      PlaceRow(w, row, def_.firstPage, dataHint_, {def_.usedPagesPointer, def_.freePagesPointer}, true);
  WriteIndexEntries(w, def_, indexEntries, at);
  // The definition: one more row, and the autonumber counter, in one patch.
  std::uint8_t counts[8];
  StoreU32(counts, rowCount + 1);
  StoreU32(counts + 4, autoNumber);
  PatchDefinition(ps, l, def_.firstPage, l.tdefRowCount, counts);
}

}  // namespace qv::jet
