// Where things are in each version of the Access file format. Every offset used by the readers
// (and later the writers) comes from one Layout, chosen from the version byte of the header, so
// no decoder carries its own magic numbers. The offsets are explained in docs/formats/jet.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::jet {

// The version byte at header offset 0x14.
enum class JetVersion : std::uint8_t {
  Jet3 = 0,
  Jet4 = 1,
  Ace12 = 2,
  Ace14 = 3,
  Ace15 = 4,
  Ace16 = 5,
  Ace17 = 6
};

// "JET3", "JET4", "ACE12", ... as mdb-ver and the oracle name them.
const char* VersionName(JetVersion v);

struct Layout {
  JetVersion version = JetVersion::Jet4;
  bool jet3 = false;
  std::uint32_t pageSize = 4096;

  // Page 0 (database header).
  std::size_t headerMaskLength = 128;  // bytes from 0x18 masked with the fixed RC4 key
  std::size_t passwordLength = 40;     // at 0x42
  bool hasCreationDate = true;         // 8-byte date at 0x72 (also masks the Jet4 password)

  // Data pages.
  std::size_t dataRowCountOffset = 12;  // u16; the row offset table follows it

  // Table definition (TDEF) block, offsets from the start of the first TDEF page.
  std::size_t tdefRowCount = 16;
  std::size_t tdefAutoNumber = 20;
  std::size_t tdefTableType = 40;
  std::size_t tdefMaxColumns = 41;
  std::size_t tdefVarColumns = 43;
  std::size_t tdefColumns = 45;
  std::size_t tdefLogicalIndexes = 47;
  std::size_t tdefRealIndexes = 51;
  std::size_t tdefUsedPages = 55;
  std::size_t tdefFreePages = 59;
  std::size_t tdefRealIndexStart = 63;
  std::size_t realIndexEntrySize = 12;

  // Column descriptor.
  std::size_t columnEntrySize = 25;
  std::size_t colType = 0;
  std::size_t colNumber = 5;
  std::size_t colVarIndex = 7;
  std::size_t colPrecision = 11;
  std::size_t colScale = 12;
  std::size_t colSortOrder = 11;
  std::size_t colCodePage = 0;  // Jet3 only (0 = none)
  std::size_t colFlags = 15;
  std::size_t colExtFlags = 16;  // Jet4+: 0x01 compressed Unicode, 0xC0 calculated
  std::size_t colFixedOffset = 21;
  std::size_t colLength = 23;
  std::size_t nameLengthSize = 2;  // column and index names: u16 (Jet4) or u8 (Jet3) length

  // Index blocks after the column names.
  std::size_t indexColumnBlockSize = 52;  // per real index: columns, usage map, first page, flags
  std::size_t indexColumnBlockLead = 4;   // unknown bytes before the 10 column slots
  std::size_t logicalIndexEntrySize = 28;
  std::size_t logicalIndexLead = 4;

  // Rows.
  std::size_t rowColumnCountSize = 2;  // u16 (Jet4) or u8 (Jet3)

  // Written by the write side (docs/formats/jet-writing.md).
  std::size_t tdefColumnStart = 0x3f;  // end of the fixed definition header (Jet3: 0x2b)
  std::size_t inlineMapBytes = 64;     // bitmap bytes of the inline usage maps Access makes
  // Index pages (leaf 0x04, node 0x03).
  std::size_t indexPreviousAt = 0x0c;
  std::size_t indexNextAt = 0x10;
  std::size_t indexTailAt = 0x14;
  std::size_t indexPrefixAt = 0x18;
  std::size_t indexPrefixSize = 2;     // u16 (Jet4) or u8 (Jet3)
  std::size_t indexNodeFlagAt = 0x1a;  // 1 on node pages
  std::size_t indexBitmapStart = 0x1b;
  std::size_t indexEntriesStart = 0x1e0;

  static Layout For(JetVersion v);
  // The layout of a file with pages of `pageSize` bytes: Jet3 for 2 KB pages (the only format
  // that has them), Jet4 otherwise (every later format keeps Jet4's index page layout).
  static const Layout& ForPageSize(std::size_t pageSize);
};

// Page types (first byte of every page).
namespace page_type {
inline constexpr std::uint8_t kHeader = 0x00;
inline constexpr std::uint8_t kData = 0x01;
inline constexpr std::uint8_t kTableDef = 0x02;
inline constexpr std::uint8_t kIndexNode = 0x03;
inline constexpr std::uint8_t kIndexLeaf = 0x04;
inline constexpr std::uint8_t kUsageMap = 0x05;
}  // namespace page_type

// Column type codes of the column descriptor.
namespace col_type {
inline constexpr std::uint8_t kBoolean = 0x01;
inline constexpr std::uint8_t kByte = 0x02;
inline constexpr std::uint8_t kInt16 = 0x03;
inline constexpr std::uint8_t kInt32 = 0x04;
inline constexpr std::uint8_t kCurrency = 0x05;
inline constexpr std::uint8_t kSingle = 0x06;
inline constexpr std::uint8_t kDouble = 0x07;
inline constexpr std::uint8_t kDateTime = 0x08;
inline constexpr std::uint8_t kBinary = 0x09;
inline constexpr std::uint8_t kText = 0x0a;
inline constexpr std::uint8_t kOle = 0x0b;
inline constexpr std::uint8_t kMemo = 0x0c;
inline constexpr std::uint8_t kGuid = 0x0f;
inline constexpr std::uint8_t kNumeric = 0x10;
inline constexpr std::uint8_t kComplex = 0x12;
inline constexpr std::uint8_t kBigInt = 0x13;
inline constexpr std::uint8_t kDateTimeExt = 0x14;
}  // namespace col_type

// Column flag bits (descriptor byte `colFlags`).
namespace col_flag {
inline constexpr std::uint8_t kFixedLength = 0x01;
inline constexpr std::uint8_t kNullable = 0x02;
inline constexpr std::uint8_t kAutoLong = 0x04;
inline constexpr std::uint8_t kReplication = 0x10;
inline constexpr std::uint8_t kAutoGuid = 0x40;
inline constexpr std::uint8_t kHyperlink = 0x80;
}  // namespace col_flag

}  // namespace qv::jet
