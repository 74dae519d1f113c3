// Table definitions (TDEF pages, type 0x02): the table's row count, columns, indexes and the
// usage maps of its pages. A definition may span several pages chained through offset 4; the
// reader joins them (each continuation page contributes its bytes from offset 8) and decodes the
// joined block with the Layout of the file's version. The structures are plain data so the write
// side can build and encode them too. See docs/formats/jet.md, "Table definitions".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/value.h"
#include "engine/jet/data_page.h"
#include "engine/jet/header.h"
#include "engine/jet/page_store.h"

namespace qv::jet {

struct ColumnDef {
  std::string name;
  std::uint8_t type = 0;          // col_type::k...
  std::uint16_t number = 0;       // position in the row's null mask (deleted columns leave gaps)
  std::uint16_t varIndex = 0;     // slot in the variable-length offset table
  std::uint16_t fixedOffset = 0;  // offset in the fixed-length area
  std::uint16_t length = 0;       // bytes (Jet4 text: 2 per character); 0 for long values
  std::uint8_t flags = 0;         // col_flag::k...
  std::uint8_t extFlags = 0;      // Jet4+: 0x01 compressed Unicode, 0xC0 calculated
  std::uint8_t precision = 0;     // Numeric only
  std::uint8_t scale = 0;         // Numeric only
  std::uint16_t sortOrder = 0;    // text columns
  std::uint16_t codePage = 0;     // Jet3 text columns
  std::uint32_t complexId = 0;    // complex columns (attachment, multi-value, version history)

  bool fixedLength() const { return (flags & col_flag::kFixedLength) != 0; }
  bool nullable() const { return (flags & col_flag::kNullable) != 0; }
  bool autoLong() const { return (flags & col_flag::kAutoLong) != 0; }
  bool autoGuid() const { return (flags & col_flag::kAutoGuid) != 0; }
  bool hyperlink() const { return (flags & col_flag::kHyperlink) != 0; }
  bool calculated() const { return (extFlags & 0xc0) != 0; }
  bool longValue() const { return type == col_type::kMemo || type == col_type::kOle; }
  // Columns a RowReader cannot deliver as values: complex columns (attachments, multi-value
  // lists, version history), whose data lives in hidden tables, and type codes no Access
  // version documents.
  bool readable() const {
    switch (type) {
      case col_type::kBoolean:
      case col_type::kByte:
      case col_type::kInt16:
      case col_type::kInt32:
      case col_type::kCurrency:
      case col_type::kSingle:
      case col_type::kDouble:
      case col_type::kDateTime:
      case col_type::kBinary:
      case col_type::kText:
      case col_type::kOle:
      case col_type::kMemo:
      case col_type::kGuid:
      case col_type::kNumeric:
      case col_type::kBigInt:
      case col_type::kDateTimeExt:
        return true;
      default:
        return false;
    }
  }
  // Yes/No values that live in the null mask (a calculated Yes/No column stores a value).
  bool maskBoolean() const { return type == col_type::kBoolean && !calculated(); }
};

// One physical index: up to 10 columns, its own usage map and first page.
struct RealIndexDef {
  struct Part {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
  };
  std::vector<Part> columns;
  std::uint32_t usedPagesPointer = 0;  // row pointer of its usage map
  std::uint32_t firstPage = 0;         // root page of the index tree
  std::uint8_t flags = 0;              // 0x01 unique, 0x02 ignore nulls, 0x08 required
  std::uint32_t rowCount = 0;          // the count kept in the real-index entry
};

// One logical index as Access shows it (primary key, unique, plain, foreign key).
struct IndexDef {
  std::string name;
  std::int32_t number = 0;
  std::int32_t realIndex = 0;  // which RealIndexDef holds its entries
  std::uint8_t type = 0;       // 1 primary key, 2 foreign key, 0 other
  std::uint8_t relTableType = 0;
  std::int32_t relIndex = -1;      // the other index of a foreign key
  std::uint32_t relTablePage = 0;  // the other table of a foreign key
  bool cascadeUpdates = false;
  bool cascadeDeletes = false;

  bool primaryKey() const { return type == 1; }
  bool foreignKey() const { return type == 2; }
};

struct TableDefinition {
  std::string name;
  std::uint32_t firstPage = 0;
  std::vector<std::uint32_t> pages;  // the TDEF page chain
  std::uint32_t rowCount = 0;
  std::uint32_t nextAutoNumber = 0;
  std::uint8_t tableType = 0;  // 0x4e user, 0x53 system
  std::uint16_t maxColumns = 0;
  std::uint16_t varColumns = 0;
  std::vector<ColumnDef> columns;  // ordered by column number
  std::vector<RealIndexDef> realIndexes;
  std::vector<IndexDef> indexes;
  std::uint32_t usedPagesPointer = 0;  // row pointer of the table's page usage map
  std::uint32_t freePagesPointer = 0;

  const RealIndexDef* realIndexOf(const IndexDef& index) const {
    return index.realIndex >= 0 && static_cast<std::size_t>(index.realIndex) < realIndexes.size()
               ? &realIndexes[static_cast<std::size_t>(index.realIndex)]
               : nullptr;
  }
  const ColumnDef* columnByNumber(std::uint16_t number) const;
};

// The chain of definition pages starting at `firstPage` and its joined block: the first page
// whole, each continuation page from offset 8 (its 8-byte page start left out). Throws kCorrupt
// on a page of another type, past the end of the file, or a chain that loops; `name`, when given,
// names the table in the error.
struct DefinitionChain {
  std::vector<std::uint32_t> pages;
  Bytes bytes;
};
DefinitionChain ReadDefinitionChain(PageStore& store, std::uint32_t firstPage, const std::string& name = {});

// Reads the definition starting at `firstPage`. Throws kCorrupt naming the page and offset on
// anything out of bounds or inconsistent, and on a page chain that loops.
TableDefinition ReadTableDefinition(PageStore& store, const DatabaseHeader& header, std::uint32_t firstPage,
                                    const std::string& name);

// The engine-neutral description of a column, with the ADO type number the Access providers gave.
qv::Column ToCoreColumn(const ColumnDef& c, bool jet3);
int AdoTypeOf(const ColumnDef& c);
// "text", "long", ... as mdb-reader names the types.
const char* TypeName(std::uint8_t type);

}  // namespace qv::jet
