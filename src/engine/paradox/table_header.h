// The header of a Paradox table file (.DB): the fixed part, the field list, the names and the
// language driver. Offsets and rules are in docs/formats/paradox.md ("Table header").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/bytes.h"

namespace qv::paradox {

// Field type codes as stored in the field list.
enum class FieldType : std::uint8_t {
  Alpha = 0x01,
  Date = 0x02,
  Short = 0x03,
  Long = 0x04,
  Money = 0x05,
  Number = 0x06,
  Logical = 0x09,
  Memo = 0x0C,
  Binary = 0x0D,
  FormattedMemo = 0x0E,
  Ole = 0x0F,
  Graphic = 0x10,
  Time = 0x14,
  Timestamp = 0x15,
  AutoIncrement = 0x16,
  Bcd = 0x17,
  Bytes = 0x18,
};

// One-letter code Paradox shows for a type ("A", "$", "+", ...), "?" for an unknown code.
const char* FieldTypeCode(FieldType type);
bool IsBlobType(FieldType type);

// File version bytes (offset 0x39).
inline constexpr std::uint8_t kVersion30 = 0x03;
inline constexpr std::uint8_t kVersion35 = 0x04;
inline constexpr std::uint8_t kVersion50 = 0x0B;
inline constexpr std::uint8_t kVersion70 = 0x0C;

// File types (offset 0x04) of the two kinds of table file.
inline constexpr std::uint8_t kFileTypeKeyed = 0;
inline constexpr std::uint8_t kFileTypeUnkeyed = 2;

inline constexpr std::size_t kBlockHeaderSize = 6;  // next, previous, last record offset
inline constexpr std::uint32_t kEncryptedElsewhere = 0xFF00FF00u;

struct FieldDef {
  std::string rawName;  // the name's bytes in the table's code page
  FieldType type = FieldType::Alpha;
  std::uint16_t length = 0;   // bytes in the record
  std::uint8_t decimals = 0;  // BCD only: digits after the point
  std::uint32_t offset = 0;   // within the record
};

struct TableHeader {
  std::uint16_t recordSize = 0;
  std::uint16_t headerSize = 0;
  std::uint8_t fileType = 0;
  std::uint8_t blockSizeK = 0;  // block size in KiB
  std::uint32_t recordCount = 0;
  std::uint16_t nextBlock = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t keyFields = 0;
  std::uint8_t sortOrder = 0;
  std::uint8_t writeProtected = 0;
  std::uint8_t version = 0;  // raw byte at 0x39
  std::uint32_t autoIncrement = 0;
  std::uint32_t encryption = 0;  // non-zero: the table is password-protected
  int codePage = 0;              // 0 when the header has none (versions 3.0 and 3.5) or says 0
  std::string tableName;         // raw bytes
  std::string sortOrderName;     // language driver name ("ascii", "ANSIINTL", ...), may be empty
  std::vector<FieldDef> fields;

  std::uint32_t blockSize() const { return static_cast<std::uint32_t>(blockSizeK) * 1024u; }
  bool hasDataHeader() const { return version >= 5; }
  // 30, 35, 40, 50, 70: the Paradox release that wrote this file layout.
  int releaseTimesTen() const;
  std::uint32_t recordsPerBlock() const { return (blockSize() - kBlockHeaderSize) / recordSize; }
};

// Parses and checks a header. `bytes` holds the start of the file (at least 0x58 bytes or the
// whole file, whichever is smaller); `fileSize` is the file's full size. Throws a corruption
// error naming `file` and the offset for anything impossible.
TableHeader ParseTableHeader(ByteView bytes, std::uint64_t fileSize, const std::string& file);

// The iconv character set for a header's text: 437 for tables without a code page, the header's
// code page otherwise, Roman-8 for the "BLROM800" driver that writes code page 0.
std::string CharsetForHeader(const TableHeader& header);

}  // namespace qv::paradox
