#include "engine/jet/table_definition.h"

#include <algorithm>
#include <set>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/jet_text.h"

namespace qv::jet {

const ColumnDef* TableDefinition::columnByNumber(std::uint16_t number) const {
  for (const auto& c : columns)
    if (c.number == number) return &c;
  return nullptr;
}

namespace {

// Maps an offset in the joined definition back to the page it came from, for error texts.
struct JoinedDefinition {
  Bytes bytes;
  std::vector<std::uint32_t> pages;
  std::uint32_t pageSize = 0;

  std::string Where(const PageStore& store, std::size_t offset) const {
    if (pages.empty()) return store.fileName();
    std::size_t first = pageSize;
    if (offset < first) return store.Where(pages[0], offset);
    std::size_t rest = pageSize - 8;
    std::size_t i = 1 + (offset - first) / rest;
    if (i >= pages.size()) return store.Where(pages.back(), pageSize);
    return store.Where(pages[i], 8 + (offset - first) % rest);
  }
};

class Cursor {
 public:
  Cursor(const JoinedDefinition& def, const PageStore& store) : def_(def), store_(store) {}
  void Require(std::size_t off, std::size_t len, const char* what) const {
    if (off > def_.bytes.size() || len > def_.bytes.size() - off)
      ThrowCorrupt(std::string("table definition ends inside ") + what, def_.Where(store_, off));
  }
  std::uint8_t U8(std::size_t off, const char* what) const {
    Require(off, 1, what);
    return def_.bytes[off];
  }
  std::uint16_t U16(std::size_t off, const char* what) const {
    Require(off, 2, what);
    return LoadU16(def_.bytes.data() + off);
  }
  std::uint32_t U32(std::size_t off, const char* what) const {
    Require(off, 4, what);
    return LoadU32(def_.bytes.data() + off);
  }
  std::span<const std::uint8_t> Span(std::size_t off, std::size_t len, const char* what) const {
    Require(off, len, what);
    return {def_.bytes.data() + off, len};
  }

 private:
  const JoinedDefinition& def_;
  const PageStore& store_;
};

std::string DecodeName(std::span<const std::uint8_t> raw, const Layout& l, const TextCodec* codec) {
  if (!l.jet3) return DecodeJet4Text(raw);
  return codec->ToUtf8(raw);
}

}  // namespace

DefinitionChain ReadDefinitionChain(PageStore& store, std::uint32_t firstPage, const std::string& name) {
  DefinitionChain c;
  std::set<std::uint32_t> seen;
  for (std::uint32_t p = firstPage; p != 0;) {
    if (!seen.insert(p).second) ThrowCorrupt("table definition page chain loops", store.Where(p, 4));
    PagePtr page = store.ReadPage(p);  // a page past the end of the file is damage there
    if ((*page)[0] != page_type::kTableDef)
      ThrowCorrupt("expected a table definition page (type 0x02)" +
                       (name.empty() ? "" : " for table '" + name + "'") + ", found type " +
                       std::to_string((*page)[0]),
                   store.Where(p, 0));
    // Continuation pages carry only the 8-byte page start before their share of the block.
    c.bytes.insert(c.bytes.end(), page->begin() + (c.pages.empty() ? 0 : 8), page->end());
    c.pages.push_back(p);
    p = LoadU32(page->data() + 4);
  }
  return c;
}

TableDefinition ReadTableDefinition(PageStore& store, const DatabaseHeader& header, std::uint32_t firstPage,
                                    const std::string& name) {
  const Layout& l = header.layout;
  DefinitionChain chain = ReadDefinitionChain(store, firstPage, name);
  JoinedDefinition def;
  def.pageSize = l.pageSize;
  def.bytes = std::move(chain.bytes);
  def.pages = std::move(chain.pages);
  Cursor c(def, store);
  TableDefinition t;
  t.name = name;
  t.firstPage = firstPage;
  t.pages = def.pages;
  t.rowCount = c.U32(l.tdefRowCount, "the header");
  t.nextAutoNumber = c.U32(l.tdefAutoNumber, "the header");
  t.tableType = c.U8(l.tdefTableType, "the header");
  t.maxColumns = c.U16(l.tdefMaxColumns, "the header");
  t.varColumns = c.U16(l.tdefVarColumns, "the header");
  std::uint16_t columnCount = c.U16(l.tdefColumns, "the header");
  std::uint32_t logicalCount = c.U32(l.tdefLogicalIndexes, "the header");
  std::uint32_t realCount = c.U32(l.tdefRealIndexes, "the header");
  t.usedPagesPointer = c.U32(l.tdefUsedPages, "the header");
  t.freePagesPointer = c.U32(l.tdefFreePages, "the header");
  // Counts beyond what the joined pages could hold are damage, not a reason to allocate.
  if (realCount > def.bytes.size() / l.realIndexEntrySize ||
      logicalCount > def.bytes.size() / l.logicalIndexEntrySize)
    ThrowCorrupt("table definition of '" + name + "' claims " + std::to_string(realCount) + " indexes",
                 def.Where(store, l.tdefRealIndexes));

  std::size_t pos = l.tdefRealIndexStart;
  std::vector<std::uint32_t> realRowCounts;
  for (std::uint32_t i = 0; i < realCount; ++i) {
    realRowCounts.push_back(c.U32(pos + 4, "the index list"));
    pos += l.realIndexEntrySize;
  }
  std::unique_ptr<TextCodec> codec;
  if (l.jet3)
    codec =
        std::make_unique<TextCodec>(TextCodec::CharsetForCodePage(header.codePage ? header.codePage : 1252));

  std::size_t namePos = pos + static_cast<std::size_t>(columnCount) * l.columnEntrySize;
  c.Require(pos, static_cast<std::size_t>(columnCount) * l.columnEntrySize, "the column list");
  for (std::uint16_t i = 0; i < columnCount; ++i) {
    ColumnDef col;
    col.type = c.U8(pos + l.colType, "a column");
    col.number = c.U16(pos + l.colNumber, "a column");
    col.varIndex = c.U16(pos + l.colVarIndex, "a column");
    col.fixedOffset = c.U16(pos + l.colFixedOffset, "a column");
    col.length = c.U16(pos + l.colLength, "a column");
    col.flags = c.U8(pos + l.colFlags, "a column");
    if (l.colExtFlags) col.extFlags = c.U8(pos + l.colExtFlags, "a column");
    if (col.type == col_type::kNumeric) {
      col.precision = c.U8(pos + l.colPrecision, "a column");
      col.scale = c.U8(pos + l.colScale, "a column");
    }
    if (col.type == col_type::kText || col.type == col_type::kMemo)
      col.sortOrder = c.U16(pos + l.colSortOrder, "a column");
    if (l.colCodePage) col.codePage = c.U16(pos + l.colCodePage, "a column");
    if (col.type == col_type::kComplex && !l.jet3) col.complexId = c.U32(pos + l.colPrecision, "a column");
    std::size_t nameLen =
        l.nameLengthSize == 1 ? c.U8(namePos, "a column name") : c.U16(namePos, "a column name");
    namePos += l.nameLengthSize;
    col.name = DecodeName(c.Span(namePos, nameLen, "a column name"), l, codec.get());
    namePos += nameLen;
    t.columns.push_back(std::move(col));
    pos += l.columnEntrySize;
  }
  std::stable_sort(t.columns.begin(), t.columns.end(),
                   [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });

  pos = namePos;
  for (std::uint32_t i = 0; i < realCount; ++i) {
    RealIndexDef ri;
    std::size_t at = pos + l.indexColumnBlockLead;
    for (int k = 0; k < 10; ++k) {
      std::uint16_t colNum = c.U16(at + 3 * k, "an index");
      std::uint8_t order = c.U8(at + 3 * k + 2, "an index");
      // bit 0x01 of the order byte: ascending (checked on descending indexes of the corpus)
      if (colNum != 0xffff) ri.columns.push_back({colNum, (order & 0x01) != 0});
    }
    ri.usedPagesPointer = c.U32(at + 30, "an index");
    ri.firstPage = c.U32(at + 34, "an index");
    // Jet4+ keep four more bytes between the first page and the flags (checked on unique and
    // ignore-nulls indexes of the corpus)
    ri.flags = c.U8(at + (l.jet3 ? 38 : 42), "an index");
    ri.rowCount = realRowCounts[i];
    t.realIndexes.push_back(std::move(ri));
    pos += l.indexColumnBlockSize;
  }
  for (std::uint32_t i = 0; i < logicalCount; ++i) {
    IndexDef ix;
    std::size_t at = pos + l.logicalIndexLead;
    ix.number = static_cast<std::int32_t>(c.U32(at, "an index"));
    ix.realIndex = static_cast<std::int32_t>(c.U32(at + 4, "an index"));
    ix.relTableType = c.U8(at + 8, "an index");
    ix.relIndex = static_cast<std::int32_t>(c.U32(at + 9, "an index"));
    ix.relTablePage = c.U32(at + 13, "an index");
    ix.cascadeUpdates = c.U8(at + 17, "an index") != 0;
    ix.cascadeDeletes = c.U8(at + 18, "an index") != 0;
    ix.type = c.U8(at + 19, "an index");
    t.indexes.push_back(std::move(ix));
    pos += l.logicalIndexEntrySize;
  }
  for (auto& ix : t.indexes) {
    std::size_t nameLen = l.nameLengthSize == 1 ? c.U8(pos, "an index name") : c.U16(pos, "an index name");
    pos += l.nameLengthSize;
    ix.name = DecodeName(c.Span(pos, nameLen, "an index name"), l, codec.get());
    pos += nameLen;
  }
  return t;
}

const char* TypeName(std::uint8_t type) {
  switch (type) {
    case col_type::kBoolean:
      return "boolean";
    case col_type::kByte:
      return "byte";
    case col_type::kInt16:
      return "integer";
    case col_type::kInt32:
      return "long";
    case col_type::kCurrency:
      return "currency";
    case col_type::kSingle:
      return "float";
    case col_type::kDouble:
      return "double";
    case col_type::kDateTime:
      return "datetime";
    case col_type::kBinary:
      return "binary";
    case col_type::kText:
      return "text";
    case col_type::kOle:
      return "ole";
    case col_type::kMemo:
      return "memo";
    case col_type::kGuid:
      return "repid";
    case col_type::kNumeric:
      return "numeric";
    case col_type::kComplex:
      return "complex";
    case col_type::kBigInt:
      return "bigint";
    case col_type::kDateTimeExt:
      return "datetimextended";
    default:
      return "unknown";
  }
}

int AdoTypeOf(const ColumnDef& c) {
  switch (c.type) {
    case col_type::kBoolean:
      return 11;
    case col_type::kByte:
      return 17;
    case col_type::kInt16:
      return 2;
    case col_type::kInt32:
      return 3;
    case col_type::kCurrency:
      return 6;
    case col_type::kSingle:
      return 4;
    case col_type::kDouble:
      return 5;
    case col_type::kDateTime:
      return 7;
    case col_type::kBinary:
      return 204;
    case col_type::kText:
      return 202;
    case col_type::kOle:
      return 205;
    case col_type::kMemo:
      return 203;
    case col_type::kGuid:
      return 72;
    case col_type::kNumeric:
      return 131;
    case col_type::kBigInt:
      return 20;
    case col_type::kDateTimeExt:
      return 7;  // read as a date and time
    case col_type::kComplex:
      return 3;  // the stored value is the row key into the hidden table
    default:
      return 0;
  }
}

qv::Column ToCoreColumn(const ColumnDef& c, bool jet3) {
  qv::Column out;
  out.name = c.name;
  out.adoType = AdoTypeOf(c);
  out.autoIncrement = c.autoLong() || c.autoGuid();
  out.required = !c.nullable();
  switch (c.type) {
    case col_type::kBoolean:
      out.type = ColumnType::Boolean;
      break;
    case col_type::kByte:
      out.type = ColumnType::Byte;
      break;
    case col_type::kInt16:
      out.type = ColumnType::Int16;
      break;
    case col_type::kInt32:
      out.type = ColumnType::Int32;
      break;
    case col_type::kComplex:
      out.type = ColumnType::Int32;
      break;
    case col_type::kCurrency:
      out.type = ColumnType::Currency;
      break;
    case col_type::kSingle:
      out.type = ColumnType::Single;
      break;
    case col_type::kDouble:
      out.type = ColumnType::Double;
      break;
    case col_type::kDateTime:
    case col_type::kDateTimeExt:
      out.type = ColumnType::DateTime;
      break;
    case col_type::kBinary:
      out.type = ColumnType::Binary;
      out.size = c.length;
      break;
    case col_type::kText:
      out.type = ColumnType::Text;
      out.size = jet3 ? c.length : c.length / 2u;
      break;
    case col_type::kOle:
      out.type = ColumnType::LongBinary;
      break;
    case col_type::kMemo:
      out.type = ColumnType::Memo;
      break;
    case col_type::kGuid:
      out.type = ColumnType::Guid;
      break;
    case col_type::kNumeric:
      out.type = ColumnType::Decimal;
      out.precision = c.precision;
      out.scale = c.scale;
      break;
    case col_type::kBigInt:
      out.type = ColumnType::Int64;
      break;
    default:
      out.type = ColumnType::LongBinary;
      break;
  }
  return out;
}

}  // namespace qv::jet
