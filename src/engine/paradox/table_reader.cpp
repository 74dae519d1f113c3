#include "engine/paradox/table_reader.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/core/error.h"
#include "engine/paradox/field_codec.h"

namespace qv::paradox {

namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

constexpr std::size_t kHeaderReadLimit = 0xFFFF;

}  // namespace

int AdoTypeFor(FieldType type) {
  switch (type) {
    case FieldType::Alpha:
      return 200;  // adVarChar
    case FieldType::Short:
      return 2;  // adSmallInt
    case FieldType::Long:
    case FieldType::AutoIncrement:
      return 3;  // adInteger
    case FieldType::Number:
    case FieldType::Money:
    case FieldType::Bcd:
      return 5;  // adDouble
    case FieldType::Logical:
      return 11;  // adBoolean
    case FieldType::Date:
      return 133;  // adDBDate
    case FieldType::Time:
    case FieldType::Timestamp:
      return 135;  // adDBTimeStamp
    case FieldType::Memo:
      return 201;  // adLongVarChar
    case FieldType::FormattedMemo:
    case FieldType::Binary:
    case FieldType::Ole:
    case FieldType::Graphic:
      return 205;
    case FieldType::Bytes:
      return 128;  // adBinary
  }
  return 0;
}

Column ColumnFor(const FieldDef& f, const std::string& utf8Name) {
  Column c;
  c.name = utf8Name;
  c.adoType = AdoTypeFor(f.type);
  switch (f.type) {
    case FieldType::Alpha:
      c.type = ColumnType::Text;
      c.size = f.length;
      break;
    case FieldType::Short:
      c.type = ColumnType::Int16;
      break;
    case FieldType::Long:
      c.type = ColumnType::Int32;
      break;
    case FieldType::AutoIncrement:
      c.type = ColumnType::Int32;
      c.autoIncrement = true;
      break;
    case FieldType::Number:
    case FieldType::Money:
      c.type = ColumnType::Double;
      break;
    case FieldType::Bcd:
      c.type = ColumnType::Decimal;
      c.precision = 32;
      c.scale = f.decimals;
      break;
    case FieldType::Logical:
      c.type = ColumnType::Boolean;
      break;
    case FieldType::Date:
      c.type = ColumnType::Date;
      break;
    case FieldType::Time:
      c.type = ColumnType::Time;
      break;
    case FieldType::Timestamp:
      c.type = ColumnType::DateTime;
      break;
    case FieldType::Memo:
      c.type = ColumnType::Memo;
      break;
    case FieldType::FormattedMemo:
    case FieldType::Binary:
    case FieldType::Ole:
    case FieldType::Graphic:
      c.type = ColumnType::LongBinary;
      break;
    case FieldType::Bytes:
      c.type = ColumnType::Binary;
      c.size = f.length;
      break;
  }
  return c;
}

std::optional<std::filesystem::path> FindSibling(const std::filesystem::path& dbPath, const std::string& ext,
                                                 FileSystem& files) {
  const std::filesystem::path dir =
      dbPath.has_parent_path() ? dbPath.parent_path() : std::filesystem::path(".");
  const std::string stem = dbPath.stem().string();
  const std::string wanted = Lower(stem + ext);
  std::optional<std::filesystem::path> loose;
  for (const std::string& name : files.List(dir.string())) {
    if (Lower(name) != wanted) continue;
    const std::filesystem::path found = dbPath.has_parent_path() ? dir / name : std::filesystem::path(name);
    if (name.compare(0, stem.size(), stem) == 0) return found;
    if (!loose) loose = found;
  }
  return loose;
}

TableReader::TableReader(const std::filesystem::path& dbPath, const OpenOptions& options)
    : file_(dbPath, options.files ? *options.files : PosixFileSystem()), codec_("CP437") {
  Bytes head(static_cast<std::size_t>(std::min<std::uint64_t>(file_.size(), kHeaderReadLimit)));
  file_.ReadAt(0, head);
  header_ = ParseTableHeader(ByteView(head.data(), head.size(), file_.name()), file_.size(), file_.name());
  if (header_.encryption != 0)
    throw Error(errc::kEncrypted,
                "The Paradox table '" + file_.name() +
                    "' is protected by a password (encrypted); it cannot be read without being decrypted in "
                    "Paradox first.",
                file_.name());
  codec_ = TextCodec(options.charsetOverride.empty() ? CharsetForHeader(header_) : options.charsetOverride);
  asciiCompatible_ = codec_.ToUtf8(std::string_view("AZaz09 ~")) == "AZaz09 ~";
  for (const auto& f : header_.fields) columns_.push_back(ColumnFor(f, codec_.ToUtf8(f.rawName)));
  visited_.assign(std::size_t{header_.fileBlocks} + 1, false);
  if (hasBlobFields()) {
    FileSystem& files = options.files ? *options.files : PosixFileSystem();
    blobPath_ = FindSibling(dbPath, ".mb", files);
    if (blobPath_) {
      try {
        blob_ = std::make_unique<BlobFile>(*blobPath_, files);
      } catch (const Error& e) {
        blobError_ = e.description();
      }
    }
  }
}

TableReader::~TableReader() = default;

bool TableReader::hasBlobFields() const {
  return std::any_of(header_.fields.begin(), header_.fields.end(),
                     [](const FieldDef& f) { return IsBlobType(f.type); });
}

void TableReader::LoadBlock(std::uint16_t number) {
  const std::string where = Where(file_.name(), "block", number, 0);
  if (number == 0 || number > header_.fileBlocks)
    ThrowCorrupt("the block list names block " + std::to_string(number) + " of a table with " +
                     std::to_string(header_.fileBlocks) + " blocks",
                 where);
  if (visited_[number]) ThrowCorrupt("the block list loops back to block " + std::to_string(number), where);
  visited_[number] = true;
  const std::uint64_t start = header_.headerSize + std::uint64_t{number - 1u} * header_.blockSize();
  std::uint8_t head[kBlockHeaderSize];
  file_.ReadAt(start, head, where);
  const auto lastOffset = static_cast<std::int16_t>(LoadU16(head + 4));
  // The third word is the offset of the last record: -recordSize for an empty block.
  const std::int32_t used = lastOffset + header_.recordSize;
  if (used < 0 || used % header_.recordSize != 0 ||
      static_cast<std::uint32_t>(used / header_.recordSize) > header_.recordsPerBlock())
    ThrowCorrupt("block " + std::to_string(number) + " claims an impossible record area (" +
                     std::to_string(lastOffset) + ")",
                 Where(file_.name(), "block", number, 4));
  recordsInBlock_ = static_cast<std::uint32_t>(used / header_.recordSize);
  block_.resize(kBlockHeaderSize + static_cast<std::size_t>(used));
  file_.ReadAt(start, block_, where);
  blockNumber_ = number;
  nextBlock_ = LoadU16(head);
  indexInBlock_ = 0;
}

bool TableReader::NextRecord() {
  if (!started_) {
    started_ = true;
    if (header_.recordCount > std::uint64_t{header_.fileBlocks} * header_.recordsPerBlock())
      ThrowCorrupt("the header counts " + std::to_string(header_.recordCount) + " records, more than its " +
                       std::to_string(header_.fileBlocks) + " blocks can hold",
                   Where(file_.name(), "header", 0, 6));
    if (header_.recordCount > 0) LoadBlock(header_.firstBlock);
  } else {
    ++indexInBlock_;
  }
  if (delivered_ >= static_cast<std::int64_t>(header_.recordCount)) return false;
  while (indexInBlock_ >= recordsInBlock_) {
    if (nextBlock_ == 0)
      ThrowCorrupt("the block list ends after " + std::to_string(delivered_) + " of the " +
                       std::to_string(header_.recordCount) + " records the header counts",
                   Where(file_.name(), "block", blockNumber_, 0));
    LoadBlock(nextBlock_);
  }
  ++delivered_;
  return true;
}

std::span<const std::uint8_t> TableReader::record() const {
  return std::span<const std::uint8_t>(block_).subspan(
      kBlockHeaderSize + std::size_t{indexInBlock_} * header_.recordSize, header_.recordSize);
}

std::string TableReader::FieldWhere(std::size_t field) const {
  return Where(file_.name(), "block", blockNumber_,
               static_cast<std::int64_t>(kBlockHeaderSize + std::size_t{indexInBlock_} * header_.recordSize +
                                         header_.fields[field].offset));
}

std::optional<Bytes> TableReader::ReadBlobBytes(std::size_t i) const {
  const FieldDef& f = header_.fields[i];
  const auto data = record().subspan(f.offset, f.length);
  const BlobPointer ptr = ParseBlobPointer(data);
  if (ptr.size == 0) return std::nullopt;
  const std::size_t leader = f.length - kBlobPointerSize;
  if (ptr.size <= leader) return Bytes(data.begin(), data.begin() + ptr.size);
  if (!blob_) {
    const std::string fieldName = codec_.ToUtf8(f.rawName);
    const std::string what = blobPath_ ? "cannot be read: " + blobError_ : "is missing";
    throw Error(blobPath_ ? errc::kCorrupt : errc::kFileNotFound,
                "The blob file (.MB) of the Paradox table '" + file_.name() + "' " + what + "; field '" +
                    fieldName + "' of record " + std::to_string(recordNumber() + 1) + " has its value there.",
                FieldWhere(i));
  }
  try {
    return blob_->Read(ptr);
  } catch (const Error& e) {
    const std::string fieldName = codec_.ToUtf8(f.rawName);
    throw Error(e.number(),
                e.description() + " [field '" + fieldName + "' of record " +
                    std::to_string(recordNumber() + 1) + ", " + FieldWhere(i) + "]",
                e.where());
  }
}

namespace {

// A stored timestamp: milliseconds since day 0 (the days and the time of day split so that the
// time is never negative).
Timestamp TimestampFromMilliseconds(double total) {
  auto ms = static_cast<std::int64_t>(total);
  std::int64_t days = ms / kMillisecondsPerDay;
  ms %= kMillisecondsPerDay;
  if (ms < 0) {
    ms += kMillisecondsPerDay;
    --days;
  }
  return TimestampFromDays(days, ms);
}

}  // namespace

Value TableReader::DecodeField(std::size_t i) const {
  const FieldDef& f = header_.fields[i];
  const std::uint8_t* p = record().data() + f.offset;
  auto bad = [&](const std::string& what) -> Error {
    const std::string where = FieldWhere(i);
    return Error(errc::kCorrupt,
                 "Damaged value in field '" + codec_.ToUtf8(f.rawName) + "': " + what + " (" + where + ")",
                 where);
  };
  switch (f.type) {
    case FieldType::Alpha: {
      const auto* end = std::find(p, p + f.length, std::uint8_t{0});
      if (end == p) return {};
      const std::span<const std::uint8_t> text(p, static_cast<std::size_t>(end - p));
      // Every code page a table can name keeps ASCII as it is: no conversion needed for it.
      if (asciiCompatible_ && IsAscii(text)) return std::string(text.begin(), text.end());
      return codec_.ToUtf8(text);
    }
    case FieldType::Short: {
      auto v = DecodeShort(p);
      return v ? Value(std::int64_t{*v}) : Value();
    }
    case FieldType::Long:
    case FieldType::AutoIncrement: {
      auto v = DecodeLong(p);
      return v ? Value(std::int64_t{*v}) : Value();
    }
    case FieldType::Date: {
      auto v = DecodeLong(p);
      if (!v) return {};
      return TimestampFromDays(*v);
    }
    case FieldType::Time: {
      auto v = DecodeLong(p);
      if (!v) return {};
      if (*v < 0 || *v >= kMillisecondsPerDay)
        throw bad("time of day " + std::to_string(*v) + " ms is out of range");
      return TimestampFromDays(DaysFromTimestamp(Timestamp{}), *v);
    }
    case FieldType::Number:
    case FieldType::Money: {
      auto v = DecodeDouble(p);
      return v ? Value(*v) : Value();
    }
    case FieldType::Timestamp: {
      auto v = DecodeDouble(p);
      if (!v) return {};
      if (!std::isfinite(*v) || std::fabs(*v) > 1e17) throw bad("timestamp out of range");
      return TimestampFromMilliseconds(std::nearbyint(*v));
    }
    case FieldType::Logical:
      if (p[0] == 0) return {};
      if (p[0] == 0x80) return false;
      if (p[0] == 0x81) return true;
      throw bad("logical byte 0x" + ToHex(std::span(p, 1)) + " is neither true nor false");
    case FieldType::Bcd: {
      try {
        auto v = DecodeBcd(p, f.decimals);
        if (!v) return {};
        return Decimal{BcdToDecimalText(*v)};
      } catch (const std::invalid_argument& e) {
        throw bad(e.what());
      }
    }
    case FieldType::Bytes: {
      if (std::all_of(p, p + f.length, [](std::uint8_t b) { return b == 0; })) return {};
      return Bytes(p, p + f.length);
    }
    case FieldType::Memo: {
      auto bytes = ReadBlobBytes(i);
      if (!bytes) return {};
      if (asciiCompatible_ && IsAscii(*bytes)) return std::string(bytes->begin(), bytes->end());
      return codec_.ToUtf8(std::span<const std::uint8_t>(*bytes));
    }
    case FieldType::FormattedMemo:
    case FieldType::Binary: {
      auto bytes = ReadBlobBytes(i);
      if (!bytes) return {};
      return std::move(*bytes);
    }
    case FieldType::Graphic:
    case FieldType::Ole: {
      auto bytes = ReadBlobBytes(i);
      if (!bytes) return {};
      // The stored value starts with a type word and the length of what follows.
      if (bytes->size() < kBlobPrefixSize || LoadU32(bytes->data() + 4) != bytes->size() - kBlobPrefixSize)
        throw bad("graphic or OLE value lacks its 8-byte type and length prefix");
      return Bytes(bytes->begin() + kBlobPrefixSize, bytes->end());
    }
  }
  throw bad("unknown field type");
}

bool TableReader::Next(Row& row) {
  if (!NextRecord()) return false;
  row.assign(header_.fields.size(), Value{});
  std::optional<Error> first;
  for (std::size_t i = 0; i < header_.fields.size(); ++i) {
    try {
      row[i] = DecodeField(i);
    } catch (const Error& e) {
      if (!first) first = e;
    }
  }
  if (first) throw *first;
  return true;
}

}  // namespace qv::paradox
