#include "engine/paradox/table_header.h"

#include "engine/core/error.h"
#include "engine/core/text_codec.h"

namespace qv::paradox {

namespace {

// Offsets in the fixed part of the header (docs/formats/paradox.md, "Table header").
constexpr std::size_t kRecordSize = 0x00;
constexpr std::size_t kHeaderSize = 0x02;
constexpr std::size_t kFileType = 0x04;
constexpr std::size_t kBlockSize = 0x05;
constexpr std::size_t kRecordCount = 0x06;
constexpr std::size_t kNextBlock = 0x0A;
constexpr std::size_t kFileBlocks = 0x0C;
constexpr std::size_t kFirstBlock = 0x0E;
constexpr std::size_t kLastBlock = 0x10;
constexpr std::size_t kFieldCount = 0x21;
constexpr std::size_t kKeyFields = 0x23;
constexpr std::size_t kEncryption1 = 0x25;
constexpr std::size_t kSortOrder = 0x29;
constexpr std::size_t kWriteProtected = 0x38;
constexpr std::size_t kVersion = 0x39;
constexpr std::size_t kAutoIncrement = 0x49;
constexpr std::size_t kEncryption2 = 0x5C;
constexpr std::size_t kCodePage = 0x6A;
constexpr std::size_t kFixedPartV3 = 0x58;
constexpr std::size_t kFixedPartV4 = 0x78;

[[noreturn]] void Bad(const std::string& what, const std::string& file, std::size_t offset) {
  ThrowCorrupt("Damaged Paradox table header: " + what,
               Where(file, "header", 0, static_cast<std::int64_t>(offset)));
}

bool KnownType(std::uint8_t code) {
  switch (code) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x09:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x10:
    case 0x14:
    case 0x15:
    case 0x16:
    case 0x17:
    case 0x18:
      return true;
    default:
      return false;
  }
}

// The record length a type must have, or 0 when the field list chooses it.
std::uint16_t FixedLength(FieldType type) {
  switch (type) {
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
      return 4;
    case FieldType::Short:
      return 2;
    case FieldType::Money:
    case FieldType::Number:
    case FieldType::Timestamp:
      return 8;
    case FieldType::Logical:
      return 1;
    case FieldType::Bcd:
      return 17;
    default:
      return 0;
  }
}

}  // namespace

const char* FieldTypeCode(FieldType type) {
  switch (type) {
    case FieldType::Alpha:
      return "A";
    case FieldType::Date:
      return "D";
    case FieldType::Short:
      return "S";
    case FieldType::Long:
      return "I";
    case FieldType::Money:
      return "$";
    case FieldType::Number:
      return "N";
    case FieldType::Logical:
      return "L";
    case FieldType::Memo:
      return "M";
    case FieldType::Binary:
      return "B";
    case FieldType::FormattedMemo:
      return "F";
    case FieldType::Ole:
      return "O";
    case FieldType::Graphic:
      return "G";
    case FieldType::Time:
      return "T";
    case FieldType::Timestamp:
      return "@";
    case FieldType::AutoIncrement:
      return "+";
    case FieldType::Bcd:
      return "#";
    case FieldType::Bytes:
      return "Y";
  }
  return "?";
}

bool IsBlobType(FieldType type) {
  return type == FieldType::Memo || type == FieldType::Binary || type == FieldType::FormattedMemo ||
         type == FieldType::Ole || type == FieldType::Graphic;
}

int TableHeader::releaseTimesTen() const {
  if (version == 3) return 30;
  if (version == 4) return 35;
  if (version >= 5 && version <= 9) return 40;
  if (version == 10 || version == 11) return 50;
  if (version == 12) return 70;
  return 0;
}

namespace {

// The fixed part at the start of every header, checked against itself and the file's size;
// `fieldCount` is the number of fields it announces.
TableHeader ReadFixedPart(ByteView bytes, std::uint64_t fileSize, const std::string& file,
                          std::uint16_t& fieldCount) {
  if (bytes.size() < kFixedPartV3) Bad("the file is shorter than a table header", file, bytes.size());
  TableHeader h;
  h.recordSize = bytes.U16(kRecordSize);
  h.headerSize = bytes.U16(kHeaderSize);
  h.fileType = bytes.U8(kFileType);
  h.blockSizeK = bytes.U8(kBlockSize);
  h.recordCount = bytes.U32(kRecordCount);
  h.nextBlock = bytes.U16(kNextBlock);
  h.fileBlocks = bytes.U16(kFileBlocks);
  h.firstBlock = bytes.U16(kFirstBlock);
  h.lastBlock = bytes.U16(kLastBlock);
  h.keyFields = bytes.U16(kKeyFields);
  h.sortOrder = bytes.U8(kSortOrder);
  h.writeProtected = bytes.U8(kWriteProtected);
  h.version = bytes.U8(kVersion);
  h.autoIncrement = bytes.U32(kAutoIncrement);
  fieldCount = bytes.U16(kFieldCount);

  if (h.version < 3 || h.version > 12)
    Bad("unknown file version " + std::to_string(h.version), file, kVersion);
  if (h.fileType != kFileTypeKeyed && h.fileType != kFileTypeUnkeyed)
    Bad("file type " + std::to_string(h.fileType) + " is not a table (an index or other family file?)", file,
        kFileType);
  switch (h.blockSizeK) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
    case 16:
    case 32:
      break;
    default:
      Bad("impossible block size of " + std::to_string(h.blockSizeK) + " KiB", file, kBlockSize);
  }
  if (h.recordSize == 0 || h.recordSize > h.blockSize() - kBlockHeaderSize)
    Bad("record size " + std::to_string(h.recordSize) + " does not fit a block", file, kRecordSize);
  if (h.headerSize < kFixedPartV3 || h.headerSize > fileSize)
    Bad("header size " + std::to_string(h.headerSize) + " does not fit the file of " +
            std::to_string(fileSize) + " bytes",
        file, kHeaderSize);
  if (bytes.size() < h.headerSize) Bad("header is truncated", file, bytes.size());
  if (fieldCount == 0 || fieldCount > 255)
    Bad("impossible field count " + std::to_string(fieldCount), file, kFieldCount);
  if (h.keyFields > fieldCount) Bad("more key fields than fields", file, kKeyFields);

  const std::uint32_t enc1 = bytes.U32(kEncryption1);
  if (h.hasDataHeader()) {
    if (h.headerSize < kFixedPartV4) Bad("header too short for its version", file, kHeaderSize);
    h.codePage = bytes.U16(kCodePage);
    h.encryption = enc1 == kEncryptedElsewhere ? bytes.U32(kEncryption2) : enc1;
  } else {
    h.encryption = enc1;
  }
  return h;
}

// The field list (type and size of each field) at `pos`; the fields must fill a record exactly.
void ReadFieldList(TableHeader& h, ByteView header, std::size_t pos, std::uint16_t fieldCount,
                   const std::string& file) {
  std::uint32_t offset = 0;
  for (std::uint16_t i = 0; i < fieldCount; ++i) {
    const std::uint8_t code = header.U8(pos + i * 2u);
    const std::uint8_t size = header.U8(pos + i * 2u + 1);
    if (!KnownType(code))
      Bad("field " + std::to_string(i + 1) + " has unknown type 0x" + ToHex(std::span(&code, 1)), file,
          pos + i * 2u);
    FieldDef f;
    f.type = static_cast<FieldType>(code);
    if (f.type == FieldType::Bcd) {
      if (size > 32)
        Bad("BCD field " + std::to_string(i + 1) + " has " + std::to_string(size) + " decimals", file,
            pos + i * 2u + 1);
      f.decimals = size;
      f.length = 17;
    } else {
      f.length = size;
      const std::uint16_t fixed = FixedLength(f.type);
      const bool bad = fixed ? size != fixed : (IsBlobType(f.type) ? size < 10 : size == 0);
      if (bad)
        Bad("field " + std::to_string(i + 1) + " has impossible size " + std::to_string(size), file,
            pos + i * 2u + 1);
    }
    f.offset = offset;
    offset += f.length;
    h.fields.push_back(f);
  }
  if (offset != h.recordSize)
    Bad("the fields take " + std::to_string(offset) + " bytes but records have " +
            std::to_string(h.recordSize),
        file, kRecordSize);
}

// The table name and the field names after the field list (which ends at `fieldListEnd`), and in
// version 4 and later the language driver's name.
void ReadNames(TableHeader& h, ByteView header, std::size_t fieldListEnd, std::uint16_t fieldCount,
               const std::string& file) {
  // Table name pointer, one name pointer per field, then the table name in a fixed-size slot.
  std::size_t pos = fieldListEnd + 4 + std::size_t{fieldCount} * 4;
  const std::size_t nameSlot = h.version >= kVersion70 ? 261 : 79;
  if (pos + nameSlot > h.headerSize) Bad("the table name runs past the header", file, pos);
  for (std::size_t i = 0; i < nameSlot && header.U8(pos + i) != 0; ++i)
    h.tableName.push_back(static_cast<char>(header.U8(pos + i)));
  pos += nameSlot;

  for (auto& f : h.fields) {
    std::size_t end = pos;
    while (end < h.headerSize && header.U8(end) != 0) ++end;
    if (end >= h.headerSize) Bad("field names run past the header", file, pos);
    f.rawName.assign(reinterpret_cast<const char*>(header.data() + pos), end - pos);
    pos = end + 1;
  }
  if (h.hasDataHeader()) {
    // Field numbers (one word each), then the language driver's name.
    pos += std::size_t{fieldCount} * 2;
    std::size_t end = pos;
    while (end < h.headerSize && header.U8(end) != 0) ++end;
    if (end < h.headerSize)
      h.sortOrderName.assign(reinterpret_cast<const char*>(header.data() + pos), end - pos);
  }
}

}  // namespace

TableHeader ParseTableHeader(ByteView bytes, std::uint64_t fileSize, const std::string& file) {
  std::uint16_t fieldCount = 0;
  TableHeader h = ReadFixedPart(bytes, fileSize, file, fieldCount);
  const std::size_t pos = h.hasDataHeader() ? kFixedPartV4 : kFixedPartV3;
  ByteView header = bytes.Sub(0, h.headerSize);
  const std::size_t fieldListEnd = pos + std::size_t{fieldCount} * 2;
  if (fieldListEnd > h.headerSize) Bad("the field list runs past the header", file, pos);
  ReadFieldList(h, header, pos, fieldCount, file);
  ReadNames(h, header, fieldListEnd, fieldCount, file);
  return h;
}

std::string CharsetForHeader(const TableHeader& header) {
  if (!header.hasDataHeader()) return "CP437";
  if (header.codePage == 0) {
    if (header.sortOrderName.rfind("BLROM8", 0) == 0) return "HP-ROMAN8";
    return "CP437";
  }
  return TextCodec::CharsetForCodePage(header.codePage);
}

}  // namespace qv::paradox
