#include "engine/jet/write/table_copier.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_set>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/data_page.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/row_builder.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_definition_writer.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/jet/write/usage_map_writer.h"

namespace qv::jet {

namespace {

constexpr std::size_t kLongValueHeader = 12;
constexpr std::uint32_t kInlineFlag = 0x80000000u;
constexpr std::uint32_t kLengthMask = 0x3fffffffu;
constexpr std::uint8_t kUserTable = 0x4e;

// A data or LVAL page being filled from empty, kept in our own buffer until it is full: rows are
// added at the lowest free place without rescanning the slots (data_page_writer.h gives the
// layout; the page is byte for byte what AddRow would make).
class FreshPage {
 public:
  bool open() const { return open_; }
  std::uint32_t number() const { return number_; }
  Bytes& bytes() { return bytes_; }

  void Start(const Layout& l, std::uint32_t owner, std::uint32_t number) {
    bytes_ = NewDataPage(l, owner);
    rows_ = 0;
    lowest_ = l.pageSize;
    number_ = number;
    open_ = true;
  }
  // The new row's number, or nullopt when the page has no room for it.
  std::optional<std::uint8_t> TryAdd(const Layout& l, std::span<const std::uint8_t> row) {
    if (rows_ >= kMaxRowsPerPage) return std::nullopt;
    const std::size_t tableEnd = l.dataRowCountOffset + 2 + 2 * (static_cast<std::size_t>(rows_) + 1);
    if (row.empty() || lowest_ < tableEnd || lowest_ - tableEnd < row.size()) return std::nullopt;
    lowest_ -= row.size();
    std::copy(row.begin(), row.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(lowest_));
    StoreU16(bytes_.data() + l.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(rows_),
             static_cast<std::uint16_t>(lowest_));
    ++rows_;
    StoreU16(bytes_.data() + l.dataRowCountOffset, rows_);
    StoreU16(bytes_.data() + 2, static_cast<std::uint16_t>(lowest_ - tableEnd));
    return static_cast<std::uint8_t>(rows_ - 1);
  }
  // Hands the page content over (the page is then closed).
  Bytes Take() {
    open_ = false;
    return std::move(bytes_);
  }

 private:
  Bytes bytes_;
  std::uint16_t rows_ = 0;
  std::size_t lowest_ = 0;
  std::uint32_t number_ = 0;
  bool open_ = false;
};

// The target's long-value page maps (ACE, Access 97), wherever in its definition chain they lie.
std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> TargetLongValueMaps(
    PageStore& ps, const Layout& l, const TableDefinition& t) {
  if (l.version == JetVersion::Jet4) return {};
  bool longValues =
      std::any_of(t.columns.begin(), t.columns.end(), [](const ColumnDef& c) { return c.longValue(); });
  if (!longValues) return {};
  return ReadLongValueMaps(ps, l, t);
}

void CheckTarget(const TableDefinition& t, const std::string& file) {
  auto refuse = [&](const std::string& why) {
    throw Error(errc::kNotSupported, "Rows cannot be copied into table '" + t.name + "': " + why + ".", file);
  };
  if (t.tableType != kUserTable) refuse("it is a system table");
  if (!t.realIndexes.empty() || !t.indexes.empty())
    refuse("it has indexes, which this version cannot keep up to date yet");
  for (const auto& c : t.columns) {
    if (c.type == col_type::kComplex)
      refuse("column '" + c.name + "' is an attachment or multi-value column");
    if (c.calculated()) refuse("column '" + c.name + "' is a calculated column");
  }
}

// One copy: the state shared by the steps below.
class Copier {
 public:
  Copier(Database& db, TableDefinition source, TableDefinition target, RowLayoutMatch match,
         const CopyOptions& options, std::optional<std::int32_t> counterFloor)
      : file_(*db.sharedFile()),
        ps_(*file_.pages),
        l_(file_.header.layout),
        src_(std::move(source)),
        dst_(std::move(target)),
        rebuild_(match == RowLayoutMatch::kRearranged || options.rebuildRows),
        options_(options),
        splitter_(src_, l_) {
    lvalMaps_ = TargetLongValueMaps(ps_, l_, dst_);
    for (std::size_t i = 0; i < src_.columns.size(); ++i) {
      const ColumnDef& c = src_.columns[i];
      if (c.longValue()) longColumns_.push_back(i);
      if (dst_.columns[i].autoLong() && c.type == col_type::kInt32) autoColumn_ = i;
    }
    if (options_.pagesPerOperation == 0) options_.pagesPerOperation = 1;
    if (autoColumn_) maxAuto_ = counterFloor;
  }

  std::uint64_t Run() {
    firstNewPage_ = ps_.pageCount();
    op_.emplace(file_);
    try {
      CopyRows();
      Finish();
    } catch (...) {
      op_.reset();  // the running operation puts back every page it changed
      // Once the last operation was kept, the copy is complete (only its checkpoint failed).
      if (!linked_) FreeCommittedPages();
      throw;
    }
    return rows_;
  }

 private:
  FileWriter& writer() { return op_->writer(); }

  std::uint32_t Allocate() {
    std::uint32_t n = writer().AllocatePage();
    opPages_.push_back(n);
    if (n < firstNewPage_) reused_.insert(n);
    return n;
  }

  // Between rows and between the pieces of a long value: when this operation has written its
  // share of pages, it commits (the writer may checkpoint) and the next one begins. Nothing the
  // copy wrote is reachable before the last operation, so any point is a safe one.
  void MaybeNextOperation() {
    if (opPages_.size() < options_.pagesPerOperation) return;
    // Commit can only fail after the change was kept (in its checkpoint): count the pages first.
    committed_.insert(committed_.end(), opPages_.begin(), opPages_.end());
    opPages_.clear();
    op_->Commit();
    op_.reset();
    if (options_.progress) options_.progress(rows_);
    op_.emplace(file_);
  }

  void CopyRows() {
    UsageMap map = UsageMap::Read(ps_, l_, RowPointer::Decode(src_.usedPagesPointer));
    std::uint32_t from = 0, p = 0;
    while (map.NextFrom(from, p)) {
      // The pages we write are listed in no map until the end; only a map naming a page past
      // the file's end (damage) or a zeroed free page we were given could name one of them.
      if (p >= firstNewPage_)
        ThrowCorrupt("the page map of table '" + src_.name + "' lists page " + std::to_string(p) +
                         " beyond the end of the file",
                     ps_.Where(RowPointer::Decode(src_.usedPagesPointer).page, 0));
      if (!reused_.count(p)) {
        PagePtr page = ps_.ReadPage(p);
        if ((*page)[0] == page_type::kData && LoadU32(page->data() + 4) == src_.firstPage)
          CopyRowsOf(p, page);
      }
      if (p == 0xffffffffu) break;
      from = p + 1;
    }
  }

  void CopyRowsOf(std::uint32_t pageNo, const PagePtr& page) {
    DataPageReader reader(ps_, l_, pageNo, *page);
    for (std::uint16_t i = 0; i < reader.rowCount(); ++i) {
      RowSlot s = reader.Slot(i);
      if (s.deleted) continue;
      RowPointer at{pageNo, static_cast<std::uint8_t>(i)};
      std::span<const std::uint8_t> bytes = reader.Bytes(s);
      PagePtr holder;  // keeps the page of an overflow row alive
      for (int hops = 0; s.overflow; ++hops) {
        if (bytes.size() < 4)
          ThrowCorrupt("overflow row shorter than its pointer", ps_.Where(at.page, s.start));
        if (hops >= 8)
          ThrowCorrupt("overflow rows point on too often (a loop?)", ps_.Where(at.page, s.start));
        at = RowPointer::Decode(LoadU32(bytes.data()));
        RowRef r = ReadRowAt(ps_, l_, at, true);
        holder = r.page;
        s = r.slot;
        bytes = r.bytes;
      }
      CopyRow(bytes, at, s.start);
      MaybeNextOperation();
    }
  }

  void CopyRow(std::span<const std::uint8_t> row, RowPointer at, std::size_t start) {
    struct Context {
      const PageStore* ps;
      RowPointer at;
      std::size_t start;
      const std::string* table;
    } ctx{&ps_, at, start, &src_.name};
    const Place where(&ctx, [](const void* p) {
      const auto* c = static_cast<const Context*>(p);
      return c->ps->Where(c->at.page, c->start) + ", row " + std::to_string(c->at.row) + " of table '" +
             *c->table + "'";
    });
    // Splitting checks every offset of the row, so a damaged row stops the copy instead of
    // being copied, and finds the long-value fields.
    splitter_.Split(row, where, cells_);
    row_.assign(row.begin(), row.end());
    for (std::size_t i : longColumns_) {
      const Cell& cell = cells_[i];
      if (cell.null || cell.bytes.empty()) continue;
      if (cell.bytes.size() < kLongValueHeader)
        ThrowCorrupt("long value field shorter than its 12-byte header", where.str());
      const std::uint32_t head = LoadU32(cell.bytes.data());
      const std::uint32_t length = head & kLengthMask;
      const std::uint8_t kind = static_cast<std::uint8_t>(head >> 24) & 0xc0;
      const std::size_t field = static_cast<std::size_t>(cell.bytes.data() - row.data());
      const RowPointer ptr = RowPointer::Decode(LoadU32(cell.bytes.data() + 4));
      const std::uint16_t column = dst_.columns[i].number;
      if (kind == 0x80) {
        if (length > cell.bytes.size() - kLongValueHeader)
          ThrowCorrupt("inline long value of " + std::to_string(length) + " bytes overruns its field",
                       where.str());
        continue;
      }
      std::optional<RowPointer> copied;
      if (kind == 0x40)
        copied = CopyOneRowValue(ptr, length, column);
      else if (kind == 0x00)
        copied = CopyChain(ptr, length, column, where);
      else
        ThrowCorrupt("unknown long value kind", where.str());
      if (!copied) {
        // An empty value: kept as an empty inline value, which needs no LVAL row.
        StoreU32(row_.data() + field, kInlineFlag);
        StoreU32(row_.data() + field + 4, 0);
      } else {
        StoreU32(row_.data() + field + 4, copied->Encode());
      }
    }
    if (autoColumn_) {
      const Cell& cell = cells_[*autoColumn_];
      if (!cell.null && cell.bytes.size() == 4) {
        std::int32_t v = static_cast<std::int32_t>(LoadU32(cell.bytes.data()));
        if (!maxAuto_ || v > *maxAuto_) maxAuto_ = v;
      }
    }
    if (rebuild_) Rebuild(row, where);
    PlaceDataRow();
    ++rows_;
  }

  // The row in the target's layout: each cell's stored bytes (long-value fields as rewritten in
  // row_) put at the target column's place.
  void Rebuild(std::span<const std::uint8_t> row, const Place& where) {
    encoded_.resize(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      const Cell& c = cells_[i];
      EncodedValue& e = encoded_[i];
      e.null = c.null;
      e.flag = c.flag;
      e.bytes.clear();
      if (c.null || c.bytes.empty()) continue;
      const ColumnDef& d = dst_.columns[i];
      if (d.fixedLength() && c.bytes.size() != d.length)
        ThrowCorrupt("column '" + src_.columns[i].name + "' holds " + std::to_string(c.bytes.size()) +
                         " bytes, not " + std::to_string(d.length),
                     where.str());
      const auto from = row_.begin() + (c.bytes.data() - row.data());
      e.bytes.assign(from, from + static_cast<std::ptrdiff_t>(c.bytes.size()));
    }
    row_ = BuildRow(dst_, encoded_, l_);
    if (row_.size() > MaxRowSize(l_))
      throw Error(errc::kValueTooLong,
                  "A row of table '" + src_.name + "' takes " + std::to_string(row_.size()) +
                      " bytes in the layout of table '" + dst_.name + "', more than a page holds.",
                  file_.path);
  }

  // ---- Data rows ----

  void PlaceDataRow() {
    if (data_.open() && data_.TryAdd(l_, row_)) return;
    FlushDataPage();
    data_.Start(l_, dst_.firstPage, 0);
    if (!data_.TryAdd(l_, row_))
      throw Error(errc::kValueTooLong,
                  "A row of " + std::to_string(row_.size()) + " bytes does not fit a page.", file_.path);
  }

  // Data pages get their number when full: nothing points at a data row of a table without
  // indexes, so the number is needed only then.
  void FlushDataPage() {
    if (!data_.open()) return;
    std::uint32_t n = Allocate();
    PutPage(ps_, n, data_.Take());
    dataPages_.push_back(n);
  }

  // ---- Long values ----

  struct LvalTarget {
    FreshPage page;
    std::pair<std::uint32_t, std::uint32_t> maps{0, 0};  // ACE: the column's owned and free-space maps
    std::vector<std::uint32_t> pages;                    // pages made for this column
  };

  LvalTarget& LvalFor(std::uint16_t column) {
    auto m = lvalMaps_.find(column);
    std::uint16_t key = m == lvalMaps_.end() ? 0xffff : column;  // Jet4: one set of LVAL pages
    LvalTarget& t = lval_[key];
    if (m != lvalMaps_.end()) t.maps = m->second;
    return t;
  }

  // An LVAL row's place. LVAL pages need their number up front: the row's field points at them.
  RowPointer PlaceLvalRow(LvalTarget& t, std::span<const std::uint8_t> row) {
    if (t.page.open()) {
      if (auto slot = t.page.TryAdd(l_, row)) return {t.page.number(), *slot};
      FlushLvalPage(t);
    }
    std::uint32_t n = Allocate();
    t.page.Start(l_, kLvalOwner, n);
    t.pages.push_back(n);
    auto slot = t.page.TryAdd(l_, row);
    if (!slot)
      throw Error(errc::kValueTooLong,
                  "A long-value row of " + std::to_string(row.size()) + " bytes does not fit a page.",
                  file_.path);
    return {n, *slot};
  }

  void FlushLvalPage(LvalTarget& t) {
    if (!t.page.open()) return;
    std::uint32_t n = t.page.number();
    PutPage(ps_, n, t.page.Take());
  }

  std::optional<RowPointer> CopyOneRowValue(RowPointer from, std::uint32_t length, std::uint16_t column) {
    RowRef r = ReadRowAt(ps_, l_, from);
    if (length > r.bytes.size())
      ThrowCorrupt("long value of " + std::to_string(length) + " bytes is longer than its row (" +
                       std::to_string(r.bytes.size()) + ")",
                   ps_.Where(from.page, r.slot.start));
    if (length == 0) return std::nullopt;
    RowPointer at = PlaceLvalRow(LvalFor(column), r.bytes.first(length));
    MaybeNextOperation();
    return at;
  }

  // A chain is copied piece by piece as the source cuts it: each new piece is written with a
  // zero "next" pointer, which is set once the following piece has its place. Memory stays one
  // piece whatever the value's size.
  std::optional<RowPointer> CopyChain(RowPointer ptr, std::uint32_t length, std::uint16_t column,
                                      const Place& where) {
    if (length == 0) return std::nullopt;
    std::set<std::uint32_t> seen;
    std::optional<RowPointer> first, previous;
    std::uint64_t done = 0;
    while (done < length) {
      if (ptr.null())
        ThrowCorrupt("long value chain ends after " + std::to_string(done) + " of " + std::to_string(length) +
                         " bytes",
                     where.str());
      if (!seen.insert(ptr.Encode()).second) ThrowCorrupt("long value chain loops", ps_.Where(ptr.page, 0));
      RowRef r = ReadRowAt(ps_, l_, ptr);
      if (r.bytes.size() < 4)
        ThrowCorrupt("long value chain row shorter than its pointer", ps_.Where(ptr.page, r.slot.start));
      const std::size_t take =
          static_cast<std::size_t>(std::min<std::uint64_t>(r.bytes.size() - 4, length - done));
      piece_.assign(4, 0);
      piece_.insert(piece_.end(), r.bytes.begin() + 4,
                    r.bytes.begin() + 4 + static_cast<std::ptrdiff_t>(take));
      LvalTarget& t = LvalFor(column);
      RowPointer at = PlaceLvalRow(t, piece_);
      if (previous)
        SetNext(t, *previous, at);
      else
        first = at;
      previous = at;
      done += take;
      ptr = RowPointer::Decode(LoadU32(r.bytes.data()));
      MaybeNextOperation();
    }
    return first;
  }

  // Sets the "next" pointer of the piece at `piece` (on the open page or one written before).
  void SetNext(LvalTarget& t, RowPointer piece, RowPointer next) {
    if (t.page.open() && t.page.number() == piece.page) {
      Bytes& b = t.page.bytes();
      std::size_t start =
          LoadU16(b.data() + l_.dataRowCountOffset + 2 + 2 * static_cast<std::size_t>(piece.row)) &
          kRowOffsetMask;
      StoreU32(b.data() + start, next.Encode());
      return;
    }
    RowRef r = ReadRowAt(ps_, l_, piece);
    Bytes b = qv::jet::CopyPage(ps_, piece.page);
    StoreU32(b.data() + r.slot.start, next.Encode());
    PutPage(ps_, piece.page, std::move(b));
  }

  // ---- The last operation: everything becomes part of the target at once ----

  void Finish() {
    FlushDataPage();
    for (auto& [key, t] : lval_) FlushLvalPage(t);
    if (rows_ == 0 && !maxAuto_) {
      op_->Commit();
      op_.reset();
      return;
    }
    UsageMapWriter maps(ps_, l_, [this] { return Allocate(); });
    auto list = [&](std::uint32_t mapRow, const std::vector<std::uint32_t>& pages) {
      if (mapRow == 0) return;
      for (std::uint32_t n : pages) {
        if (!maps.Set(RowPointer::Decode(mapRow), n, true))
          throw Error(errc::kNotSupported,
                      "A page map of table '" + dst_.name + "' cannot list page " + std::to_string(n) + ".",
                      ps_.Where(n, 0));
      }
    };
    auto lastWithRoom = [&](std::uint32_t mapRow, const std::vector<std::uint32_t>& pages) {
      // The free-space map names the page being filled: the last one made.
      if (mapRow != 0 && !pages.empty()) list(mapRow, {pages.back()});
    };
    list(dst_.usedPagesPointer, dataPages_);
    lastWithRoom(dst_.freePagesPointer, dataPages_);
    for (auto& [key, t] : lval_) {
      list(t.maps.first, t.pages);
      lastWithRoom(t.maps.second, t.pages);
    }
    const std::uint64_t count = ReadDefinitionU32(ps_, l_, dst_.firstPage, l_.tdefRowCount) + rows_;
    if (count > 0xffffffffu)
      throw Error(errc::kNotSupported,
                  "Table '" + dst_.name + "' would hold more rows than a table can count.", file_.path);
    PatchDefinitionU32(ps_, l_, dst_.firstPage, l_.tdefRowCount, static_cast<std::uint32_t>(count));
    // The counter keeps the last number given; copied numbers move it past themselves, as given
    // numbers of an insert do.
    if (maxAuto_) {
      std::int32_t counter =
          static_cast<std::int32_t>(ReadDefinitionU32(ps_, l_, dst_.firstPage, l_.tdefAutoNumber));
      if (*maxAuto_ > counter)
        PatchDefinitionU32(ps_, l_, dst_.firstPage, l_.tdefAutoNumber, static_cast<std::uint32_t>(*maxAuto_));
    }
    linked_ = true;
    op_->Commit();
    op_.reset();
  }

  // After a failure: the pages of the operations already committed go back to the free pages,
  // a bounded number per operation. A failure here leaves them unlisted (lost space only).
  void FreeCommittedPages() {
    try {
      CheckpointIfWritten(file_);  // what the copy added is saved apart from what it frees
      for (std::size_t at = 0; at < committed_.size();) {
        WriteOperation op(file_);
        std::size_t end =
            std::min(committed_.size(), at + std::max<std::size_t>(options_.pagesPerOperation, 64));
        for (; at < end; ++at) op.writer().FreePage(committed_[at]);
        op.Commit();
      }
    } catch (...) {
    }
  }

  SharedFile& file_;
  PageStore& ps_;
  const Layout& l_;
  TableDefinition src_, dst_;
  bool rebuild_;  // rows are rebuilt in the target's layout (CompareRowLayouts)
  CopyOptions options_;
  RowSplitter splitter_;
  std::vector<Cell> cells_;
  Bytes row_, piece_;
  std::vector<EncodedValue> encoded_;
  std::vector<std::size_t> longColumns_;
  std::optional<std::size_t> autoColumn_;
  std::optional<std::int32_t> maxAuto_;
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> lvalMaps_;

  std::optional<WriteOperation> op_;
  std::uint32_t firstNewPage_ = 0;
  std::unordered_set<std::uint32_t> reused_;  // pages below firstNewPage_ we were given
  std::vector<std::uint32_t> opPages_;        // allocated by the running operation
  std::vector<std::uint32_t> committed_;      // allocated by operations already committed
  FreshPage data_;
  std::vector<std::uint32_t> dataPages_;
  std::map<std::uint16_t, LvalTarget> lval_;
  std::uint64_t rows_ = 0;
  bool linked_ = false;
};

}  // namespace

RowLayoutMatch CompareRowLayouts(const TableDefinition& s, const TableDefinition& t,
                                 const std::string& file) {
  auto refuse = [&](const std::string& why) {
    throw Error(
        errc::kNotSupported,
        "The rows of table '" + s.name + "' cannot be copied into table '" + t.name + "': " + why + ".",
        file);
  };
  if (s.columns.size() != t.columns.size())
    refuse("they have " + std::to_string(s.columns.size()) + " and " + std::to_string(t.columns.size()) +
           " columns");
  bool identical = (s.varColumns == 0) == (t.varColumns == 0);
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDef& a = s.columns[i];
    const ColumnDef& b = t.columns[i];
    auto differ = [&](const char* what) {
      refuse("column " + std::to_string(i + 1) + " ('" + a.name + "', '" + b.name + "') differs in its " +
             what);
    };
    if (a.type != b.type) differ("type");
    if (a.calculated() != b.calculated()) differ("kind (calculated or stored)");
    if (a.number != b.number) identical = false;
    if (a.type == col_type::kBoolean) continue;  // kept in the null mask only
    // Access stores some numbers (Decimal in some ACE files) in the variable area, with the same
    // bytes: those move between the two areas. Text and binary columns of fixed length are
    // padded and do not.
    const bool sized = a.type != col_type::kText && a.type != col_type::kBinary && !a.longValue();
    if (a.fixedLength() != b.fixedLength()) {
      if (!sized) differ("storage (fixed or variable length)");
      identical = false;
    }
    if (sized || a.fixedLength() ? a.length != b.length : a.length > b.length) differ("size");
    if (a.type == col_type::kNumeric && (a.precision != b.precision || a.scale != b.scale))
      differ("precision or scale");
    if (a.fixedLength() ? a.fixedOffset != b.fixedOffset : a.varIndex != b.varIndex) identical = false;
  }
  return identical ? RowLayoutMatch::kIdentical : RowLayoutMatch::kRearranged;
}

namespace {

std::uint64_t Append(Database& db, const std::string& source, const std::string& target,
                     const CopyOptions& options, std::optional<std::int32_t> counterFloor) {
  SharedFile& file = *db.sharedFile();
  FileWriter::Attach(file);  // refuses read-only files and encrypted .accdb at once
  // The whole copy holds the write lock: no other connection of this process changes the two
  // tables between its operations.
  std::unique_lock lock(file.writeMutex);
  TableDefinition src = db.ReadDefinition(source);
  TableDefinition dst = db.ReadDefinition(target);
  CheckTarget(dst, file.path);
  RowLayoutMatch match = CompareRowLayouts(src, dst, file.path);
  Copier copier(db, std::move(src), std::move(dst), match, options, counterFloor);
  return copier.Run();
}

}  // namespace

std::uint64_t AppendRows(Database& db, const std::string& source, const std::string& target,
                         const CopyOptions& options) {
  return Append(db, source, target, options, std::nullopt);
}

std::vector<qv::Column> CopyColumns(const TableDefinition& source, const Layout& layout) {
  std::vector<qv::Column> columns;
  for (const ColumnDef& c : source.columns) {
    if (c.type == col_type::kComplex)
      throw Error(errc::kNotSupported, "Table '" + source.name + "' cannot be copied: column '" + c.name +
                                           "' is an attachment, multi-value or version-history column.");
    qv::Column k = ToCoreColumn(c, layout.jet3);
    // Only a Long counts automatically in a new table; automatic replication IDs are copied as
    // the values they hold.
    if (c.type != col_type::kInt32) k.autoIncrement = false;
    columns.push_back(std::move(k));
  }
  return columns;
}

std::uint64_t CopyTable(Database& db, const std::string& source, const std::string& newName,
                        const CopyOptions& options) {
  SharedFile& file = *db.sharedFile();
  FileWriter::Attach(file);
  std::unique_lock lock(file.writeMutex);
  TableDefinition src = db.ReadDefinition(source);
  const Layout& l = file.header.layout;
  std::vector<qv::Column> columns = CopyColumns(src, l);
  // The layout the new table will get: checked against the source before anything is written.
  TableDefinition planned;
  planned.name = newName;
  planned.columns = LayoutColumns(columns, l);
  for (const auto& c : planned.columns)
    if (!c.fixedLength()) ++planned.varColumns;
  CompareRowLayouts(src, planned, file.path);
  CreateTable(db, newName, columns);
  try {
    return Append(db, src.name, newName, options, static_cast<std::int32_t>(src.nextAutoNumber));
  } catch (...) {
    // The new table goes again: a failed copy leaves no table behind, full or partial.
    try {
      DropTable(db, newName);
    } catch (...) {
    }
    throw;
  }
}

}  // namespace qv::jet
