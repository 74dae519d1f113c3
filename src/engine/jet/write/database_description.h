// What a new, empty Access database holds, written down as data: the system tables with their
// columns, indexes and rows, and the property lists some catalog rows carry. The creator
// (database_creator.h) turns one of these descriptions into pages through the engine's writers;
// no page image of any existing file is involved. The facts come from the empty databases Access
// 2000, 2007 and 2010 make and from Access-made Access 97 files (see docs/formats/jet-writing.md,
// "New databases").
//
// Row values are literal text as the value encoder takes it (numbers, hexadecimal for binary
// columns, true/false), nullptr for NULL, or one of these placeholders, filled in per database:
//   {id:NAME}     the catalog id of system table NAME (its definition page)
//   {now}         the creation time
//   {props:KEY}   the property list KEY of the description, encoded
//   {guid:N}      a GUID made for this database (32 hex digits without dashes), one per N
// Placeholders may sit inside a longer text ("f_{guid:1}_Data").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::jet {

enum class DatabaseFormat { Jet4, Ace2007, Ace2010, Jet3 };

struct ColumnDescription {
  std::string name;
  std::uint8_t type = 0;
  std::uint16_t number = 0;
  std::uint16_t varIndex = 0;
  std::uint16_t fixedOffset = 0;
  std::uint16_t length = 0;
  std::uint8_t flags = 0;
  std::uint8_t extFlags = 0;
  // Descriptor bytes 11..14 as Access keeps them (little-endian): for most columns the sort
  // order (0x0409) and, in byte 14, a version that varies from column to column in Access 2010
  // files; for Decimal the precision and scale; for complex (attachment) columns the complex id.
  // Jet3: bytes 9..12, the sort order and the code page.
  std::uint32_t collation = 0x0409;
};

struct RealIndexDescription {
  struct Part {
    std::uint16_t column = 0;  // column number
    bool ascending = true;
  };
  std::vector<Part> columns;
  std::uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required, 0x80 always set by Access
  std::uint8_t extra = 0;  // the byte after the flags: 2 on the index of an attachment column
};

struct LogicalIndexDescription {
  std::string name;
  std::int32_t number = 0;
  std::int32_t realIndex = 0;
  std::uint8_t kind = 0;  // 1 primary key
};

struct TableDescription {
  std::string name;
  std::uint8_t tableType = 0x4e;           // 0x53 for the core system tables
  bool longValueMaps = false;              // the definition lists page maps for each long-value column
  std::vector<ColumnDescription> columns;  // in the order the definition lists them
  std::vector<RealIndexDescription> realIndexes;
  std::vector<LogicalIndexDescription> indexes;
  std::vector<std::vector<const char*>> rows;  // values by column number; nullptr = NULL
};

struct PropertyDescription {
  std::uint8_t type = 0;  // column type code of the value
  std::uint8_t ddl = 0;   // 1: made through DDL (cannot be changed by users)
  std::string name;
  std::string value;  // text for text types, decimal for Byte/Integer/Long, else 0x-prefixed hex
};

struct PropertyBlockDescription {
  std::uint16_t kind = 0;  // 0 for the object's own properties, 1 for a column's
  std::string name;        // "" for the object, else the column's name
  std::vector<PropertyDescription> properties;
};

struct PropertySetDescription {
  std::string key;
  // The names block as Access writes it, which may list names no value uses; empty: the names
  // the values use, in the order of first use.
  std::vector<std::string> names;
  std::vector<PropertyBlockDescription> blocks;
};

struct DatabaseDescription {
  DatabaseFormat format = DatabaseFormat::Jet4;
  std::uint8_t versionByte = 1;          // header offset 0x14
  std::uint8_t versionFlags = 0;         // header offset 0x15
  std::uint16_t sortOrder = 0x0409;      // General
  std::uint8_t sortVersion = 0;          // 1 for the Access 2010 "General" order
  std::uint32_t headerUnknown6a = 0;     // header 0x6a (Jet3: 0x56), a constant per version in Access's files
  std::vector<TableDescription> tables;  // MSysObjects first (its definition must be page 2)
  std::vector<PropertySetDescription> propertySets;
};

// The description of an empty database of `format`.
const DatabaseDescription& EmptyDatabaseDescription(DatabaseFormat format);

}  // namespace qv::jet
