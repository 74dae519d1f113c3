#include "engine/jet/write/table_definition_writer.h"

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace {
constexpr std::uint32_t kTableMagic = 1625;
constexpr std::uint32_t kIndexMagic = 1923;

// The header's counts and usage maps, at the same layout offsets in every version.
void StoreDefinitionCounts(Bytes& b, const TableDefinition& t, const Layout& l) {
  std::uint16_t varCount = 0, maxNumber = 0;
  for (const auto& c : t.columns) {
    if (!c.fixedLength()) ++varCount;
    maxNumber = std::max<std::uint16_t>(maxNumber, static_cast<std::uint16_t>(c.number + 1));
  }
  StoreU16(b.data() + l.tdefMaxColumns, std::max<std::uint16_t>(t.maxColumns, maxNumber));
  // Like the column count, Access keeps counting variable columns that were deleted since.
  StoreU16(b.data() + l.tdefVarColumns, std::max(t.varColumns, varCount));
  StoreU16(b.data() + l.tdefColumns, static_cast<std::uint16_t>(t.columns.size()));
  StoreU32(b.data() + l.tdefLogicalIndexes, static_cast<std::uint32_t>(t.indexes.size()));
  StoreU32(b.data() + l.tdefRealIndexes, static_cast<std::uint32_t>(t.realIndexes.size()));
  StoreU32(b.data() + l.tdefUsedPages, t.usedPagesPointer);
  StoreU32(b.data() + l.tdefFreePages, t.freePagesPointer);
}

// The long-value columns' maps (u16 column | u32 owned pages | u32 free space), then 0xffff.
void AppendLongValueMaps(Bytes& b, const std::vector<LongValueMaps>& longValueMaps) {
  for (const auto& m : longValueMaps) {
    AppendU16(b, m.column);
    AppendU32(b, m.ownedPages);
    AppendU32(b, m.freePages);
  }
  AppendU16(b, 0xffff);
}

// The ten column slots of a physical index: u16 column number or 0xffff, u8 order (0x01
// ascending, `descending` for a descending column, 0 in unused slots).
void AppendIndexColumnSlots(Bytes& b, const RealIndexDef& ri, std::uint8_t descending) {
  for (std::size_t k = 0; k < 10; ++k) {
    if (k < ri.columns.size()) {
      AppendU16(b, ri.columns[k].columnNumber);
      b.push_back(ri.columns[k].ascending ? 0x01 : descending);
    } else {
      AppendU16(b, 0xffff);
      b.push_back(0);
    }
  }
}

// The fields of a logical index every version has: u32 number | u32 physical index | u8 related
// table type | i32 related index | u32 related table page | u8 update rule | u8 delete rule (both
// 4 without a relationship) | u8 kind.
void AppendLogicalIndexFields(Bytes& b, const IndexDef& ix) {
  AppendU32(b, static_cast<std::uint32_t>(ix.number));
  AppendU32(b, static_cast<std::uint32_t>(ix.realIndex));
  b.push_back(ix.relTableType);
  AppendU32(b, static_cast<std::uint32_t>(ix.relIndex));
  AppendU32(b, ix.relTablePage);
  b.push_back(ix.foreignKey() ? (ix.cascadeUpdates ? 1 : 0) : 4);
  b.push_back(ix.foreignKey() ? (ix.cascadeDeletes ? 1 : 0) : 4);
  b.push_back(ix.type);
}

// A column or index name of a Jet3 definition: u8 length, the name in the file's code page.
void PutJet3Name(Bytes& b, const std::string& name, const TextCodec& codec, const char* what) {
  std::string bytes;
  if (!codec.FromUtf8(name, bytes))
    throw Error(errc::kInvalidArgument, std::string(what) + " name '" + name +
                                            "' has a character the database's code page (" + codec.charset() +
                                            ") lacks.");
  if (bytes.size() > 255)
    throw Error(errc::kInvalidArgument, std::string(what) + " name '" + name + "' is too long.");
  b.push_back(static_cast<std::uint8_t>(bytes.size()));
  b.insert(b.end(), bytes.begin(), bytes.end());
}

// The Jet3 (Access 97) definition block, as Access 97 lays it out (testV1997.mdb, indexTestV1997.mdb
// and the other Access 97 files of the corpus):
//   0x00 0x02 0x01 | 0x02 "VC" | 0x04 u32 next page | 0x08 u32 length | 0x0c u32 rows |
//   0x10 u32 last autonumber | 0x14 u8 table type | 0x15 u16 max columns | 0x17 u16 variable
//   columns | 0x19 u16 columns | 0x1b u32 indexes | 0x1f u32 real indexes | 0x23 u32 used-pages
//   map | 0x27 u32 free-space map | per real index: u32 rows when Access last counted (0 from
//   us), u32 distinct keys |
//   columns, 18 bytes each: u8 type | u16 number | u16 variable index (a fixed column: the
//     variable columns before it) | u16 number | u16 1 | u16 sort order | u16 code page | u8 flags
//     | u16 fixed offset (0 for variable columns) | u16 length |
//   names: u8 length, code page bytes | physical index blocks (39 bytes) | logical index entries
//   (20 bytes) | index names | per long-value column given a page map (every Access 97 table with
//   memo or OLE columns has them, test2V1997.mdb MSP_PROJECTS and the system tables): u16
//   number, u32 owned-pages map, u32 map of those with room (0 in some system tables) | u16 0xffff
Bytes EncodeJet3Definition(const TableDefinition& t, const SortOrder& sort, const Layout& l,
                           const std::vector<LongValueMaps>& longValueMaps) {
  const TextCodec codec(TextCodec::CharsetForCodePage(sort.codePage ? sort.codePage : 1252));
  constexpr std::size_t kJet3ColumnStart = 0x2b;  // Layout::tdefColumnStart of Jet3
  Bytes b(kJet3ColumnStart, 0);
  b[0] = page_type::kTableDef;
  b[1] = 0x01;
  b[2] = 'V';
  b[3] = 'C';
  StoreU32(b.data() + l.tdefRowCount, t.rowCount);
  StoreU32(b.data() + l.tdefAutoNumber, t.nextAutoNumber);
  b[l.tdefTableType] = t.tableType ? t.tableType : 0x4e;
  StoreDefinitionCounts(b, t, l);
  for (const auto& ri : t.realIndexes) {
    AppendU32(b, 0);
    AppendU32(b, ri.rowCount);
  }
  for (const auto& c : t.columns) {
    b.push_back(c.type);
    AppendU16(b, c.number);
    AppendU16(b, c.varIndex);
    AppendU16(b, c.number);
    AppendU16(b, 1);
    AppendU16(b, sort.id);
    AppendU16(b, sort.codePage ? sort.codePage : 1252);
    b.push_back(c.flags);
    AppendU16(b, c.fixedLength() ? c.fixedOffset : 0);
    AppendU16(b, c.length);
  }
  for (const auto& c : t.columns) PutJet3Name(b, c.name, codec, "Column");
  // Physical indexes, 39 bytes: 10 x (u16 column number or 0xffff, u8 order: 0x01 ascending,
  // 0x00 descending, compIndexTestV1997.mdb and the _desc tables of testIndexCodesV1997.mdb) |
  // u32 usage map | u32 first page | u8 flags.
  for (const auto& ri : t.realIndexes) {
    AppendIndexColumnSlots(b, ri, 0x00);  // Access 97: 0 descending (Jet4: 2)
    AppendU32(b, ri.usedPagesPointer);
    AppendU32(b, ri.firstPage);
    b.push_back(ri.flags);
  }
  // Logical indexes, 20 bytes: u32 number | u32 physical index | u8 related table type | i32
  // related index | u32 related table page | u8 4 | u8 4 | u8 kind.
  for (const auto& ix : t.indexes) {
    AppendLogicalIndexFields(b, ix);
  }
  for (const auto& ix : t.indexes) PutJet3Name(b, ix.name, codec, "Index");
  AppendLongValueMaps(b, longValueMaps);
  StoreU32(b.data() + 8, static_cast<std::uint32_t>(b.size()));
  b.resize(DefinitionCapacity(DefinitionPageCount(b.size(), l), l), 0);
  return b;
}
// A column or index name of a Jet4 or ACE definition: u16 length in bytes, the name in UTF-16
// (never compressed).
void AppendJet4Name(Bytes& b, const std::string& name, const char* what) {
  std::size_t units = 0;
  bool valid = true;
  Bytes bytes = EncodeJet4Text(name, false, units, valid);
  if (!valid)
    throw Error(errc::kInvalidArgument, std::string(what) + " name '" + name + "' is not valid UTF-8.");
  AppendU16(b, static_cast<std::uint16_t>(bytes.size()));
  b.insert(b.end(), bytes.begin(), bytes.end());
}

// Jet4 and ACE column descriptors, 25 bytes each, then the column names (u16 length, UTF-16).
void AppendJet4Columns(Bytes& b, const TableDefinition& t, const SortOrder& sort) {
  for (const auto& c : t.columns) {
    b.push_back(c.type);
    AppendU32(b, kTableMagic);
    AppendU16(b, c.number);
    AppendU16(b, c.varIndex);
    AppendU16(b, c.number);
    if (c.type == col_type::kNumeric) {
      b.push_back(c.precision);
      b.push_back(c.scale);
      AppendU16(b, 0);
    } else if (c.type == col_type::kComplex) {
      AppendU32(b, c.complexId);
    } else {
      AppendU16(b, sort.id);
      b.push_back(0);
      b.push_back(c.type == col_type::kText || c.type == col_type::kMemo ? sort.version : 0);
    }
    b.push_back(c.flags);
    b.push_back(c.extFlags);
    AppendU32(b, 0);
    AppendU16(b, c.fixedLength() ? c.fixedOffset : 0);
    AppendU16(b, c.length);
  }
  for (const auto& c : t.columns) AppendJet4Name(b, c.name, "Column");
}

// Jet4 and ACE physical indexes, logical indexes, then the logical indexes' names.
void AppendJet4Indexes(Bytes& b, const TableDefinition& t) {
  // Physical indexes, 52 bytes each: u32 1923 | 10 x (u16 column number or 0xffff, u8 order:
  // 0x01 ascending, 0x02 descending, 0 in unused slots) | u32 usage map | u32 first page |
  // u32 0 | u8 flags | 5 x 0.
  for (const auto& ri : t.realIndexes) {
    AppendU32(b, kIndexMagic);
    AppendIndexColumnSlots(b, ri, 0x02);
    AppendU32(b, ri.usedPagesPointer);
    AppendU32(b, ri.firstPage);
    AppendU32(b, 0);
    b.push_back(ri.flags);
    b.insert(b.end(), 5, 0);
  }
  // Logical indexes, 28 bytes each: u32 1625 | u32 number | u32 physical index | u8 related table
  // type | i32 related index (-1) | u32 related table page | u8 4 | u8 4 (both 4 in every
  // Access-made definition without relationships) | u8 kind (1 primary key) | 4 x 0.
  for (const auto& ix : t.indexes) {
    AppendU32(b, kTableMagic);
    AppendLogicalIndexFields(b, ix);
    AppendU32(b, 0);
  }
  for (const auto& ix : t.indexes) AppendJet4Name(b, ix.name, "Index");
}

// The type, length and precision of column `c` in the definition; `fixedLength` is set to the
// bytes it takes in the fixed part of a row (0 for a variable-length column and for Yes/No,
// which lives in the null mask).
ColumnDef DescribeColumn(const qv::Column& c, const Layout& layout, std::uint16_t& fixedLength) {
  ColumnDef d;
  d.name = c.name;
  d.flags = col_flag::kNullable;  // 0x02: set on every column Access makes
  fixedLength = 0;
  switch (c.type) {
    case ColumnType::Boolean:
      d.type = col_type::kBoolean;
      d.length = 1;
      break;
    case ColumnType::Byte:
      d.type = col_type::kByte;
      fixedLength = 1;
      break;
    case ColumnType::Int16:
      d.type = col_type::kInt16;
      fixedLength = 2;
      break;
    case ColumnType::Int32:
      d.type = col_type::kInt32;
      fixedLength = 4;
      break;
    case ColumnType::Int64:
      if (layout.jet3)
        throw Error(errc::kNotSupported,
                    "Column '" + c.name + "': an Access 97 database has no Large Number columns.");
      d.type = col_type::kBigInt;
      fixedLength = 8;
      break;
    case ColumnType::Single:
      d.type = col_type::kSingle;
      fixedLength = 4;
      break;
    case ColumnType::Double:
      d.type = col_type::kDouble;
      fixedLength = 8;
      break;
    case ColumnType::Currency:
      d.type = col_type::kCurrency;
      fixedLength = 8;
      break;
    case ColumnType::DateTime:
    case ColumnType::Date:
    case ColumnType::Time:
      d.type = col_type::kDateTime;
      fixedLength = 8;
      break;
    case ColumnType::Guid:
      d.type = col_type::kGuid;
      fixedLength = 16;
      break;
    case ColumnType::Decimal:
      if (layout.jet3)
        throw Error(errc::kNotSupported,
                    "Column '" + c.name + "': an Access 97 database has no Decimal columns.");
      d.type = col_type::kNumeric;
      fixedLength = 17;
      d.precision = c.precision ? c.precision : 18;
      d.scale = c.scale;
      if (d.precision > 28 || d.scale > d.precision)
        throw Error(errc::kInvalidArgument, "Column '" + c.name + "': DECIMAL(" +
                                                std::to_string(d.precision) + "," + std::to_string(d.scale) +
                                                ") is not a valid precision and scale.");
      break;
    case ColumnType::Text: {
      std::uint32_t size = c.size ? c.size : 255;
      if (size > 255)
        throw Error(errc::kInvalidArgument, "Column '" + c.name + "': TEXT(" + std::to_string(size) +
                                                ") is longer than 255 characters (use MEMO).");
      d.type = col_type::kText;
      // Jet3 keeps one byte per character; later formats two, "compressed" as Access makes them.
      d.length = static_cast<std::uint16_t>(layout.jet3 ? size : size * 2);
      d.extFlags = layout.jet3 ? 0 : 0x01;
      break;
    }
    case ColumnType::Memo:
      d.type = col_type::kMemo;
      d.extFlags = layout.jet3 ? 0 : 0x01;
      break;
    case ColumnType::Binary: {
      std::uint32_t size = c.size ? c.size : 255;
      if (size > 255)
        throw Error(errc::kInvalidArgument, "Column '" + c.name + "': BINARY(" + std::to_string(size) +
                                                ") is longer than 255 bytes.");
      d.type = col_type::kBinary;
      d.length = static_cast<std::uint16_t>(size);
      break;
    }
    case ColumnType::LongBinary:
      d.type = col_type::kOle;
      break;
  }
  if (c.autoIncrement) {
    if (d.type != col_type::kInt32)
      throw Error(errc::kNotSupported,
                  "Column '" + c.name + "': only a Long column can count automatically.");
    d.flags |= col_flag::kAutoLong;
  }
  return d;
}

}  // namespace

std::vector<ColumnDef> LayoutColumns(const std::vector<qv::Column>& columns, const Layout& layout) {
  std::vector<ColumnDef> out;
  std::uint16_t fixedOffset = 0, varIndex = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::uint16_t fixedLength = 0;
    ColumnDef d = DescribeColumn(columns[i], layout, fixedLength);
    d.number = static_cast<std::uint16_t>(i);
    if (fixedLength) {
      d.flags |= col_flag::kFixedLength;
      d.length = fixedLength;
      d.fixedOffset = fixedOffset;
      fixedOffset = static_cast<std::uint16_t>(fixedOffset + fixedLength);
    } else if (d.type == col_type::kBoolean) {
      d.flags |= col_flag::kFixedLength;
    } else {
      d.varIndex = varIndex++;
    }
    // Jet3 descriptors give a fixed column the number of variable columns before it.
    if (layout.jet3 && d.fixedLength()) d.varIndex = varIndex;
    out.push_back(std::move(d));
  }
  return out;
}

Bytes EncodeTableDefinition(
    const TableDefinition& t, const SortOrder& sort,
    const std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>>& longValueMaps, const Layout& l) {
  std::vector<LongValueMaps> ordered;
  for (const auto& [number, maps] : longValueMaps) ordered.push_back({number, maps.first, maps.second});
  return EncodeTableDefinitionInOrder(t, sort, ordered, l);
}

Bytes EncodeTableDefinitionInOrder(const TableDefinition& t, const SortOrder& sort,
                                   const std::vector<LongValueMaps>& longValueMaps, const Layout& l) {
  if (t.realIndexes.size() > 255 || t.indexes.size() > 255)
    throw Error(errc::kNotSupported, "Table '" + t.name + "' has more indexes than a definition can hold.");
  for (const auto& ix : t.indexes)
    if (ix.realIndex < 0 || static_cast<std::size_t>(ix.realIndex) >= t.realIndexes.size())
      throw Error(errc::kInvalidArgument,
                  "Index '" + ix.name + "' of table '" + t.name + "' names no physical index.");
  for (const auto& ri : t.realIndexes)
    if (ri.columns.empty() || ri.columns.size() > 10)
      throw Error(errc::kInvalidArgument, "An index of table '" + t.name + "' has " +
                                              std::to_string(ri.columns.size()) +
                                              " columns (1 to 10 are possible).");
  if (l.jet3) return EncodeJet3Definition(t, sort, l, longValueMaps);
  constexpr std::size_t kColumnStart = 0x3f;  // Layout::tdefColumnStart of Jet4 and ACE
  Bytes b(kColumnStart, 0);
  b[0] = page_type::kTableDef;
  b[1] = 0x01;
  StoreU32(b.data() + 0x0c, kTableMagic);
  StoreU32(b.data() + l.tdefRowCount, t.rowCount);
  StoreU32(b.data() + l.tdefAutoNumber, t.nextAutoNumber);
  StoreU32(b.data() + 0x18, 1);
  b[l.tdefTableType] = t.tableType ? t.tableType : 0x4e;
  StoreDefinitionCounts(b, t, l);
  // One 12-byte entry per physical index: u32 0 | u32 entries in the index | u32 0.
  for (const auto& ri : t.realIndexes) {
    AppendU32(b, 0);
    AppendU32(b, ri.rowCount);
    AppendU32(b, 0);
  }
  AppendJet4Columns(b, t, sort);
  AppendJet4Indexes(b, t);
  AppendLongValueMaps(b, longValueMaps);
  // The length counts the whole block, the first page's 8 header bytes included. A block longer
  // than a page goes on on continuation pages (definition_pages.h): returned here as the reader
  // joins it, padded to the capacity of its chain.
  StoreU32(b.data() + 8, static_cast<std::uint32_t>(b.size()));
  const std::size_t pages = DefinitionPageCount(b.size(), l);
  StoreU16(b.data() + 2, static_cast<std::uint16_t>(pages == 1 ? l.pageSize - 8 - b.size() : 0));
  b.resize(DefinitionCapacity(pages, l), 0);
  return b;
}

}  // namespace qv::jet
