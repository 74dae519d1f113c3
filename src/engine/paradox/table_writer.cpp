#include "engine/paradox/table_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/core/value_text.h"
#include "engine/paradox/blob_file.h"
#include "engine/paradox/field_codec.h"
#include "engine/paradox/table_name.h"

namespace fs = std::filesystem;

namespace qv::paradox {

namespace {

// Characters of a UTF-8 string (lead bytes), for the 25-character rule.
std::size_t Utf8Length(const std::string& s) {
  return static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}
std::string Utf8Prefix(const std::string& s, std::size_t chars) {
  std::size_t n = 0, i = 0;
  for (; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (n == chars) break;
      ++n;
    }
  }
  return s.substr(0, i);
}

// Code page, sort-order byte and driver name as BDE-written tables carry them; the sources of
// each are in docs/formats/paradox.md ("Code page and sort order").
constexpr LanguageDriver kDrivers[] = {
    {437, 0x00, "ascii"},     {850, 0x00, "ascii"}, {1252, 0x62, "ANSIINTL"}, {852, 0x0D, "czech"},
    {1250, 0xDC, "anczech"},  {866, 0xC0, "cyrr"},  {1251, 0x8F, "ancyrr"},   {737, 0x4A, "grcp437"},
    {1253, 0x0E, "angreek1"}, {857, 0xC6, "turk"},  {1254, 0xD5, "ANTURK"},   {862, 0x7D, "hebrew"},
    {1255, 0x4C, "ANHEBREW"},
};

// Alpha lengths of values written as text: "-yyyy-mm-dd hh:mm:ss.fffffff", and a sign, a point
// and the 38 digits of the widest Access decimal.
constexpr std::uint16_t kTimestampTextLength = 28;
constexpr std::uint16_t kDecimalTextLength = 40;

// The next character of UTF-8 text from `i`; false at the end. Bytes that are not UTF-8 give
// U+FFFD (the codec refuses such text anyway).
bool NextCharacter(std::string_view s, std::size_t& i, char32_t& c) {
  if (i >= s.size()) return false;
  if (!DecodeUtf8(s, i, c)) {
    ++i;
    c = 0xFFFD;
  }
  return true;
}

}  // namespace

std::string CharacterUtf8(char32_t c) {
  std::string utf8;
  if (c < 0x80) {
    utf8 += static_cast<char>(c);
  } else if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (c >> 18));
    utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  return utf8;
}

void CollectCharacters(std::string_view utf8, std::set<char32_t>& out) {
  char32_t c;
  for (std::size_t i = 0; NextCharacter(utf8, i, c);)
    if (c >= 0x80) out.insert(c);
}

namespace {

// True when every byte is 1 to 127: ASCII without NUL, eight bytes at a time. Per byte b,
// (b - 1) | b has bit 7 set exactly when b is 0 or above 127; a borrow out of a byte happens
// only for a zero byte, which is already caught, so whole words can be tested at once.
bool IsAsciiWithoutNul(std::string_view text) {
  const char* p = text.data();
  std::size_t n = text.size();
  std::uint64_t bad = 0;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    bad |= (word - 0x0101010101010101ull) | word;
  }
  for (; n > 0; ++p, --n) {
    const unsigned b = static_cast<unsigned char>(*p);
    bad |= (b - 1u) | b;
  }
  return (bad & 0x8080808080808080ull) == 0;
}

}  // namespace

std::span<const LanguageDriver> OfferedLanguageDrivers() {
  return kDrivers;
}

const LanguageDriver* LanguageDriverFor(int codePage) {
  for (const auto& d : kDrivers)
    if (d.codePage == codePage) return &d;
  return nullptr;
}

std::string DescribeCharacter(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  return "'" + CharacterUtf8(c) + "' (" + code + ")";
}

// ---------------------------------------------------------------------------------------------
// The .MB: a header block, then blocks of its own for values over 2 KiB and shared blocks of 64
// slots (16-byte paragraphs) for smaller ones (docs/formats/paradox.md, "Blob file").
class BlobWriter {
 public:
  BlobWriter(const fs::path& path, FileSystem& files) : file_(path, files) {
    Bytes head(kBlobBlockSize, 0);
    // Header block as BDE writes it: type 0, one chunk, the change count, then fixed bytes.
    static const std::uint8_t fixed[] = {0x00, 0x82, 0x73, 0x02, 0x00, 0x29, 0x00, 0x00, 0x10,
                                         0x00, 0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
    StoreU16(head.data() + 1, 1);
    std::copy(std::begin(fixed), std::end(fixed), head.begin() + 5);
    head[0x29] = 0xA1;
    head[0x2A] = 0x02;
    head[0x38] = 0x02;
    head[0x39] = 0x10;
    file_.Write(head);
  }

  // Stores a value and fills the 10-byte pointer.
  void Store(std::span<const std::uint8_t> value, std::uint8_t* pointer) {
    const auto size = static_cast<std::uint32_t>(value.size());
    ++modifications_;
    std::uint32_t word;
    if (size > kSharedLimit) {
      // An open shared block keeps its place before this value; its contents follow when full.
      if (sharedOffset_ != 0 && !sharedPlaced_) {
        file_.Write(shared_);
        sharedPlaced_ = true;
      }
      const std::uint64_t offset = file_.position();
      if (offset > 0xFFFFFF00u)
        throw Error(errc::kNotSupported, "The blob file would grow beyond 4 GiB.", file_Name());
      const std::uint64_t chunks =
          (kSingleBlobHeaderSize + std::uint64_t{size} + kBlobBlockSize - 1) / kBlobBlockSize;
      if (chunks > 0xFFFF)
        throw Error(errc::kValueTooLong,
                    "A value of " + std::to_string(size) + " bytes is too long for a Paradox blob.",
                    file_Name());
      std::uint8_t head[kSingleBlobHeaderSize] = {2};
      StoreU16(head + 1, static_cast<std::uint16_t>(chunks));
      StoreU32(head + 3, size);
      StoreU16(head + 7, modifications_);
      file_.Write(head);
      file_.Write(value);
      const std::size_t pad =
          static_cast<std::size_t>(chunks * kBlobBlockSize - kSingleBlobHeaderSize - size);
      static const std::uint8_t zeros[kBlobBlockSize] = {};
      file_.Write(std::span(zeros, pad));
      word = static_cast<std::uint32_t>(offset) | 0xFFu;
    } else {
      const std::uint32_t paragraphs = (size + 15) / 16;
      if (sharedOffset_ == 0 || nextSlot_ < 0 || freeParagraph_ + paragraphs > kBlobBlockSize / 16)
        StartShared();
      const auto slot = static_cast<std::uint8_t>(nextSlot_--);
      std::uint8_t* entry = shared_.data() + kSubBlockHeaderSize + std::size_t{slot} * kSubBlockSlotSize;
      entry[0] = static_cast<std::uint8_t>(freeParagraph_);
      entry[1] = static_cast<std::uint8_t>(paragraphs);
      StoreU16(entry + 2, modifications_);
      entry[4] = static_cast<std::uint8_t>(size - (paragraphs - 1) * 16);
      std::memcpy(shared_.data() + freeParagraph_ * 16, value.data(), value.size());
      freeParagraph_ += paragraphs;
      word = static_cast<std::uint32_t>(sharedOffset_) | slot;
    }
    StoreU32(pointer, word);
    StoreU32(pointer + 4, size);
    StoreU16(pointer + 8, modifications_);
  }

  void Close() {
    FlushShared();
    std::uint8_t count[2];
    StoreU16(count, modifications_);
    file_.WriteAt(3, count);
    file_.Close();
  }

 private:
  static constexpr std::uint32_t kSharedLimit = 2048;
  static constexpr std::uint32_t kFirstDataParagraph = 21;  // after the header and the 64 slots

  std::string file_Name() const { return "blob file"; }

  void StartShared() {
    FlushShared();
    sharedOffset_ = file_.position();
    if (sharedOffset_ > 0xFFFFFF00u)
      throw Error(errc::kNotSupported, "The blob file would grow beyond 4 GiB.", file_Name());
    // The block is written once, when full, unless a value of a block of its own comes first:
    // then the block's place is written before that value and its contents rewritten later.
    if (shared_.empty())
      shared_.assign(kBlobBlockSize, 0);
    else
      std::memset(shared_.data(), 0, std::size_t{freeParagraph_} * 16);  // the rest is still zeros
    sharedPlaced_ = false;
    shared_[0] = 3;
    StoreU16(shared_.data() + 1, 1);
    nextSlot_ = static_cast<int>(kSubBlockSlots) - 1;  // BDE fills the slots from the last one down
    freeParagraph_ = kFirstDataParagraph;
  }
  void FlushShared() {
    if (sharedOffset_ == 0) return;
    if (sharedPlaced_)
      file_.WriteAt(sharedOffset_, shared_);
    else
      file_.Write(shared_);
  }

  WriteOnlyFile file_;
  std::uint16_t modifications_ = 0;
  std::uint64_t sharedOffset_ = 0;
  Bytes shared_;
  bool sharedPlaced_ = false;  // the open shared block has been written once already
  int nextSlot_ = -1;
  std::uint32_t freeParagraph_ = 0;
};

// ---------------------------------------------------------------------------------------------

FieldDef FieldForColumn(const Column& c) {
  FieldDef f;
  switch (c.type) {
    case ColumnType::Boolean:
      f.type = FieldType::Logical;
      f.length = 1;
      break;
    case ColumnType::Byte:
    case ColumnType::Int16:
      f.type = FieldType::Short;
      f.length = 2;
      break;
    case ColumnType::Int32:
      f.type = FieldType::Long;
      f.length = 4;
      break;
    case ColumnType::Int64:
    case ColumnType::Single:
    case ColumnType::Double:
      f.type = FieldType::Number;
      f.length = 8;
      break;
    case ColumnType::Currency:
      f.type = FieldType::Money;
      f.length = 8;
      break;
    case ColumnType::Decimal:
      if (c.precision > 32 || c.scale > 32 || c.scale > c.precision)
        throw Error(errc::kNotSupported, "Column '" + c.name + "' is a decimal of precision " +
                                             std::to_string(c.precision) + " and scale " +
                                             std::to_string(c.scale) + ", wider than a Paradox BCD field.");
      f.type = FieldType::Bcd;
      f.length = 17;
      f.decimals = c.scale;
      break;
    case ColumnType::DateTime:
      f.type = FieldType::Timestamp;
      f.length = 8;
      break;
    case ColumnType::Date:
      f.type = FieldType::Date;
      f.length = 4;
      break;
    case ColumnType::Time:
      f.type = FieldType::Time;
      f.length = 4;
      break;
    case ColumnType::Text:
      if (c.size >= 1 && c.size <= 255) {
        f.type = FieldType::Alpha;
        f.length = static_cast<std::uint16_t>(c.size);
      } else {
        f.type = FieldType::Memo;
        f.length = kMemoLeader + kBlobPointerSize;
      }
      break;
    case ColumnType::Memo:
      f.type = FieldType::Memo;
      f.length = kMemoLeader + kBlobPointerSize;
      break;
    case ColumnType::Binary:
    case ColumnType::LongBinary:
      f.type = FieldType::Binary;
      f.length = kBlobPointerSize;
      break;
    case ColumnType::Guid:
      f.type = FieldType::Alpha;
      f.length = 38;
      break;
  }
  return f;
}

std::vector<std::string> FieldNamesFor(const std::vector<Column>& columns) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::string name = columns[i].name.empty() ? "Field" + std::to_string(i + 1) : columns[i].name;
    if (Utf8Length(name) > kMaxFieldNameLength) name = Utf8Prefix(name, kMaxFieldNameLength);
    auto taken = [&](const std::string& n) {
      return std::any_of(names.begin(), names.end(),
                         [&](const std::string& o) { return UpperAscii(o) == UpperAscii(n); });
    };
    if (taken(name)) {
      for (int k = 2;; ++k) {
        std::string suffix = "~";
        suffix += std::to_string(k);
        std::string candidate = Utf8Prefix(name, kMaxFieldNameLength - suffix.size()) + suffix;
        if (!taken(candidate)) {
          name = candidate;
          break;
        }
      }
    }
    names.push_back(name);
  }
  return names;
}

TableWriter::TableWriter(const fs::path& folder, const std::string& tableName,
                         const std::vector<Column>& columns, const WriteOptions& options)
    : files_(options.files ? *options.files : PosixFileSystem()),
      folder_(folder),
      tableName_(TableBaseName(tableName)),
      columns_(columns),
      codec_("CP437") {
  if (const std::string problem = TableNameProblem(tableName_); !problem.empty())
    throw Error(errc::kInvalidArgument,
                "'" + tableName + "' is not a usable Paradox table name: it " + problem + ".");
  if (!files_.IsFolder(folder_.string()))
    throw Error(errc::kFileNotFound, "Could not find folder '" + folder_.string() + "'.", folder_.string());
  RemoveStaleTempFiles(folder_, files_);
  if (auto existing = FindTableFile(folder_, tableName_, files_)) throw ExistsError(*existing);
  if (columns_.empty() || columns_.size() > 255)
    throw Error(errc::kInvalidArgument, "A Paradox table has 1 to 255 fields; '" + tableName_ +
                                            "' would have " + std::to_string(columns_.size()) + ".");
  const LanguageDriver* driver = LanguageDriverFor(options.codePage);
  if (!driver)
    throw Error(errc::kNotSupported,
                "Code page " + std::to_string(options.codePage) + " is not offered for new Paradox tables.");
  codec_ = TextCodec(TextCodec::CharsetForCodePage(driver->codePage));
  noteCharacters_ = options.noteCharacters;
  asText_.assign(columns_.size(), false);
  for (std::size_t i : options.columnsAsText)
    if (i < columns_.size() &&
        (columns_[i].type == ColumnType::DateTime || columns_[i].type == ColumnType::Decimal))
      asText_[i] = true;

  header_.fileType = kFileTypeUnkeyed;
  header_.version = kVersion50;
  header_.codePage = driver->codePage;
  header_.sortOrder = driver->sortOrder;
  header_.sortOrderName = driver->name;
  names_ = FieldNamesFor(columns_);
  std::uint32_t offset = 0;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    FieldDef f = FieldForColumn(columns_[i]);
    if (asText_[i]) {
      f.type = FieldType::Alpha;
      f.length = columns_[i].type == ColumnType::DateTime ? kTimestampTextLength : kDecimalTextLength;
      f.decimals = 0;
    }
    if (!codec_.FromUtf8(names_[i], f.rawName) || f.rawName.find('\0') != std::string::npos)
      throw Error(errc::kInvalidArgument, "Field name '" + names_[i] + "' has the character " +
                                              DescribeCharacter(LackingCharacter(names_[i])) +
                                              ", which code page " + std::to_string(driver->codePage) +
                                              " lacks.");
    if (noteCharacters_) CollectCharacters(names_[i], seen_);
    f.offset = offset;
    offset += f.length;
    header_.fields.push_back(f);
  }
  // Blocks hold at least 64 records (so 65,535 blocks hold millions of rows), 4 KiB at least.
  std::uint32_t block = 4096;
  while (block < 32768 && (block - kBlockHeaderSize) / offset < 64) block *= 2;
  if (offset > block - kBlockHeaderSize)
    throw Error(errc::kNotSupported, "The fields of '" + tableName_ + "' take " + std::to_string(offset) +
                                         " bytes, more than a Paradox record can hold.");
  header_.recordSize = static_cast<std::uint16_t>(offset);
  header_.blockSizeK = static_cast<std::uint8_t>(block / 1024);
  if (!codec_.FromUtf8(tableName_ + ".DB", header_.tableName)) header_.tableName = tableName_ + ".DB";
  if (header_.tableName.size() > 78) header_.tableName.resize(78);

  std::random_device rd;
  const std::string tag =
      "~qv" + std::to_string(::getpid()) + "." + std::to_string(rd() % 1000000000u) + "-" + tableName_;
  tempDb_ = folder_ / (tag + ".db-tmp");
  tempMb_ = folder_ / (tag + ".mb-tmp");
  const Bytes head = BuildHeader();
  header_.headerSize = static_cast<std::uint16_t>(head.size());
  db_ = std::make_unique<WriteOnlyFile>(tempDb_, files_);
  db_->LockExclusive();  // tells RemoveStaleTempFiles in other processes that the files are in use
  db_->Write(head);
  if (std::any_of(header_.fields.begin(), header_.fields.end(),
                  [](const FieldDef& f) { return IsBlobType(f.type); })) {
    try {
      mb_ = std::make_unique<BlobWriter>(tempMb_, files_);
    } catch (...) {
      db_.reset();
      RemoveQuietly(tempDb_);
      throw;
    }
  }
  for (const auto& f : header_.fields) slots_.push_back({f.type, f.length, f.offset});
  blockSize_ = header_.blockSize();
  recordsPerBlock_ = header_.recordsPerBlock();
  blocksPerWrite_ = std::max<std::uint32_t>(1, (1u << 20) / blockSize_);
  blocks_.assign(std::size_t{blocksPerWrite_ + 1} * blockSize_, 0);
}

Error TableWriter::ExistsError(const fs::path& existing) const {
  return Error(errc::kTableExists,
               "Table '" + tableName_ + "' already exists (" + existing.filename().string() + ").",
               existing.string());
}

bool TableWriter::Publish(const fs::path& from, const fs::path& to, const char* what) {
  try {
    return files_.RenameNoReplace(from.string(), to.string());
  } catch (const Error& e) {
    throw Error(
        e.number(),
        "Could not rename the " + std::string(what) + " into '" + to.string() + "': " + e.description() + ".",
        to.string());
  }
}

TableWriter::~TableWriter() {
  if (closed_) return;
  mb_.reset();
  db_.reset();
  RemoveQuietly(tempDb_);
  RemoveQuietly(tempMb_);
}

void TableWriter::RemoveQuietly(const fs::path& path) {
  try {
    files_.Remove(path.string());
  } catch (const Error&) {
    // A temporary file that stays is removed by the next write of the folder.
  }
}

Bytes TableWriter::BuildHeader() const {
  // Layout of a BDE-written 5.x table header (docs/formats/paradox.md, "Table header").
  const std::size_t nf = header_.fields.size();
  std::size_t namesLength = 0;
  for (const auto& f : header_.fields) namesLength += f.rawName.size() + 1;
  const std::size_t nameSlot = 79;
  const std::size_t used =
      0x78 + nf * 2 + 4 + nf * 4 + nameSlot + namesLength + nf * 2 + header_.sortOrderName.size() + 1;
  const std::size_t size = (used + 2047) / 2048 * 2048;
  Bytes h(size, 0);
  std::uint8_t* const p = &h.at(0);
  StoreU16(p + 0x00, header_.recordSize);
  StoreU16(p + 0x02, static_cast<std::uint16_t>(size));
  p[0x04] = header_.fileType;
  p[0x05] = header_.blockSizeK;
  StoreU32(p + 0x06, header_.recordCount);
  StoreU16(p + 0x0A, header_.fileBlocks);
  StoreU16(p + 0x0C, header_.fileBlocks);
  StoreU16(p + 0x0E, header_.fileBlocks ? 1 : 0);
  StoreU16(p + 0x10, header_.fileBlocks);
  StoreU16(p + 0x21, static_cast<std::uint16_t>(nf));
  StoreU32(p + 0x25, kEncryptedElsewhere);
  p[0x29] = header_.sortOrder;
  p[0x2D] = 2;  // change counts
  p[0x2E] = 1;
  p[0x39] = header_.version;
  StoreU16(p + 0x3A, header_.fileBlocks);
  p[0x3E] = 0x1F;
  p[0x3F] = 0x0F;
  StoreU16(p + 0x51, static_cast<std::uint16_t>(used));
  p[0x56] = 0x20;
  StoreU16(p + 0x58, 0x010B);
  StoreU16(p + 0x5A, 0x010B);
  StoreU32(p + 0x60, static_cast<std::uint32_t>(std::time(nullptr)));
  StoreU16(p + 0x64, static_cast<std::uint16_t>(nf + 1));
  StoreU16(p + 0x66, static_cast<std::uint16_t>(0x20 + nf * 6 + 4 + nameSlot + namesLength));
  StoreU16(p + 0x6A, static_cast<std::uint16_t>(header_.codePage));
  p[0x6C] = 1;
  p[0x6D] = 1;
  StoreU16(p + 0x6E, static_cast<std::uint16_t>(0x18 + nf * 8 + 4 + nameSlot + namesLength + 8));
  StoreU16(p + 0x70, 1);
  std::size_t pos = 0x78;
  for (const auto& f : header_.fields) {
    p[pos++] = static_cast<std::uint8_t>(f.type);
    p[pos++] = static_cast<std::uint8_t>(f.type == FieldType::Bcd ? f.decimals : f.length);
  }
  pos += 4 + nf * 4;  // the table-name and field-name pointers are memory addresses; zero will do
  std::copy(header_.tableName.begin(), header_.tableName.end(), h.begin() + static_cast<std::ptrdiff_t>(pos));
  pos += nameSlot;
  for (const auto& f : header_.fields) {
    std::copy(f.rawName.begin(), f.rawName.end(), h.begin() + static_cast<std::ptrdiff_t>(pos));
    pos += f.rawName.size() + 1;
  }
  for (std::size_t i = 0; i < nf; ++i, pos += 2) StoreU16(p + pos, static_cast<std::uint16_t>(i + 1));
  std::copy(header_.sortOrderName.begin(), header_.sortOrderName.end(),
            h.begin() + static_cast<std::ptrdiff_t>(pos));
  return h;
}

bool TableWriter::EncodeText(const std::string& utf8, std::string& scratch, std::string_view& out) {
  // The code pages offered for new tables all keep ASCII unchanged.
  if (IsAscii(utf8)) {
    out = utf8;
    return true;
  }
  if (!codec_.FromUtf8(utf8, scratch)) return false;
  if (noteCharacters_) CollectCharacters(utf8, seen_);
  out = scratch;
  return true;
}

char32_t TableWriter::LackingCharacter(const std::string& utf8) const {
  std::string_view s = utf8;
  std::string scratch;
  char32_t c;
  for (std::size_t i = 0, start = 0; NextCharacter(s, i, c); start = i)
    if (c >= 0x80 && !codec_.FromUtf8(s.substr(start, i - start), scratch)) return c;
  return 0;
}

Error TableWriter::LackingError(std::size_t field, const std::string& utf8) {
  const std::int64_t rowNumber = std::int64_t{header_.recordCount} + 1;
  const char32_t c = LackingCharacter(utf8);
  retryHint_ = RetryHint{RetryHint::Kind::kCharacter, field, c, rowNumber};
  return Error(errc::kTypeConversion,
               "Row " + std::to_string(rowNumber) + ", field '" + names_[field] + "' of table '" +
                   tableName_ + "': the text has the character " + DescribeCharacter(c) +
                   ", which code page " + std::to_string(header_.codePage) + " lacks",
               tableName_ + ", row " + std::to_string(rowNumber) + ", field '" + names_[field] + "'");
}

Error TableWriter::FieldError(std::size_t i, int number, const std::string& why) const {
  const std::int64_t rowNumber = std::int64_t{header_.recordCount} + 1;
  return Error(number,
               "Row " + std::to_string(rowNumber) + ", field '" + names_[i] + "' of table '" + tableName_ +
                   "': " + why,
               tableName_ + ", row " + std::to_string(rowNumber) + ", field '" + names_[i] + "'");
}

Error TableWriter::WrongType(std::size_t i) const {
  return FieldError(i, errc::kTypeConversion,
                    std::string("value does not match the column type ") + ColumnTypeName(columns_[i].type));
}

void TableWriter::EncodeValue(std::size_t i, const Value& v, std::uint8_t* out) {
  if (IsNull(v)) return;  // the record starts as zeros: blank
  switch (header_.fields[i].type) {
    case FieldType::Logical:
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::Number:
    case FieldType::Money:
    case FieldType::Bcd:
      return EncodeNumber(i, v, out);
    case FieldType::Timestamp:
    case FieldType::Date:
    case FieldType::Time:
      return EncodeDateTime(i, v, out);
    case FieldType::Alpha:
      return EncodeAlpha(i, v, out);
    case FieldType::Memo:
    case FieldType::Binary:
      return EncodeBlob(i, v, out);
    default:
      throw WrongType(i);
  }
}

void TableWriter::EncodeNumber(std::size_t i, const Value& v, std::uint8_t* out) {
  const FieldDef& f = header_.fields[i];
  auto integer = [&]() -> std::int64_t {
    if (auto p = std::get_if<std::int64_t>(&v)) return *p;
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    throw WrongType(i);
  };
  auto real = [&]() -> double {
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<std::int64_t>(&v)) {
      const double d = static_cast<double>(*p);
      if (std::fabs(d) > 9007199254740992.0 || static_cast<std::int64_t>(d) != *p)
        throw FieldError(i, errc::kValueTooLong,
                         std::to_string(*p) + " is beyond what a Number field holds exactly (2^53)");
      return d;
    }
    throw WrongType(i);
  };
  switch (f.type) {
    case FieldType::Logical:
      if (auto b = std::get_if<bool>(&v))
        out[0] = *b ? 0x81 : 0x80;
      else if (auto n = std::get_if<std::int64_t>(&v))
        out[0] = *n ? 0x81 : 0x80;
      else
        throw WrongType(i);
      return;
    case FieldType::Short: {
      const std::int64_t n = integer();
      if (n < -32767 || n > 32767)
        throw FieldError(i, errc::kValueTooLong,
                         std::to_string(n) + " does not fit a Short field (-32767 to 32767)");
      EncodeShort(out, static_cast<std::int16_t>(n));
      return;
    }
    case FieldType::Long: {
      const std::int64_t n = integer();
      if (n < -2147483647LL || n > 2147483647LL)
        throw FieldError(i, errc::kValueTooLong,
                         std::to_string(n) + " does not fit a Long field (-2147483647 to 2147483647)");
      EncodeLong(out, static_cast<std::int32_t>(n));
      return;
    }
    case FieldType::Number: {
      const double d = real();
      if (!std::isfinite(d))
        throw FieldError(i, errc::kTypeConversion, "a Number field cannot hold infinity or NaN");
      EncodeDouble(out, d);
      return;
    }
    case FieldType::Money: {
      double d;
      if (auto cur = std::get_if<Currency>(&v)) {
        d = static_cast<double>(cur->scaled) / 10000.0;
        if (std::fabs(d * 10000.0) >= 9.2e18 || std::llround(d * 10000.0) != cur->scaled)
          throw FieldError(i, errc::kValueTooLong,
                           FormatCurrency(*cur) + " has more digits than a Money field holds exactly");
      } else {
        d = real();
      }
      if (!std::isfinite(d))
        throw FieldError(i, errc::kTypeConversion, "a Money field cannot hold infinity or NaN");
      EncodeDouble(out, d);
      return;
    }
    default: {  // Bcd
      std::string text;
      if (auto dec = std::get_if<Decimal>(&v))
        text = dec->text;
      else if (auto n = std::get_if<std::int64_t>(&v))
        text = std::to_string(*n);
      else if (auto cur = std::get_if<Currency>(&v))
        text = FormatCurrency(*cur);
      else
        throw WrongType(i);
      if (!EncodeBcd(out, f.decimals, text)) {
        if (std::holds_alternative<Decimal>(v))
          retryHint_ = RetryHint{RetryHint::Kind::kNeedsText, i, 0, std::int64_t{header_.recordCount} + 1};
        throw FieldError(
            i, errc::kValueTooLong,
            "'" + text + "' does not fit a BCD field with " + std::to_string(f.decimals) + " decimals");
      }
      return;
    }
  }
}

void TableWriter::EncodeDateTime(std::size_t i, const Value& v, std::uint8_t* out) {
  const auto* p = std::get_if<Timestamp>(&v);
  if (!p) throw WrongType(i);
  const Timestamp& t = *p;
  switch (header_.fields[i].type) {
    case FieldType::Timestamp: {
      if (t.tick != 0) {
        retryHint_ = RetryHint{RetryHint::Kind::kNeedsText, i, 0, std::int64_t{header_.recordCount} + 1};
        throw FieldError(i, errc::kValueTooLong,
                         FormatTimestamp(t) + " is finer than the millisecond a Timestamp field keeps");
      }
      const double ms = static_cast<double>(DaysFromTimestamp(t) * kMillisecondsPerDay + MillisecondOfDay(t));
      EncodeDouble(out, ms);
      return;
    }
    case FieldType::Date: {
      if (MillisecondOfDay(t) != 0 || t.tick != 0)
        throw FieldError(i, errc::kTypeConversion,
                         FormatTimestamp(t) + " has a time of day; a Date field holds none");
      const std::int64_t days = DaysFromTimestamp(t);
      if (days <= -2147483647LL || days > 2147483647LL)
        throw FieldError(i, errc::kValueTooLong, "date out of range");
      EncodeLong(out, static_cast<std::int32_t>(days));
      return;
    }
    default: {  // Time
      if (t.year != 1899 || t.month != 12 || t.day != 30)
        throw FieldError(i, errc::kTypeConversion,
                         FormatTimestamp(t) + " has a date; a Time field holds the time of day only");
      if (t.tick != 0)
        throw FieldError(i, errc::kValueTooLong,
                         FormatTimestamp(t) + " is finer than the millisecond a Time field keeps");
      EncodeLong(out, static_cast<std::int32_t>(MillisecondOfDay(t)));
      return;
    }
  }
}

void TableWriter::EncodeAlpha(std::size_t i, const Value& v, std::uint8_t* out) {
  const FieldDef& f = header_.fields[i];
  std::string formatted, scratch;
  const std::string* text = std::get_if<std::string>(&v);
  if (auto g = std::get_if<Guid>(&v)) text = &(formatted = FormatGuid(*g));
  if (asText_[i] && !text) text = &(formatted = FormatValueText(v).value_or(std::string()));
  if (!text) throw WrongType(i);
  if (text->empty()) return;  // Paradox keeps no difference between empty and blank
  std::string_view bytes;
  if (!EncodeText(*text, scratch, bytes)) throw LackingError(i, *text);
  if (bytes.find('\0') != std::string_view::npos)
    throw FieldError(i, errc::kTypeConversion, "an Alpha field cannot hold a NUL character");
  if (bytes.size() > f.length)
    throw FieldError(
        i, errc::kValueTooLong,
        "the text takes " + std::to_string(bytes.size()) + " bytes, the field " + std::to_string(f.length));
  std::memcpy(out, bytes.data(), bytes.size());
}

void TableWriter::EncodeBlob(std::size_t i, const Value& v, std::uint8_t* out) {
  const FieldDef& f = header_.fields[i];
  std::string scratch;
  std::span<const std::uint8_t> data;
  if (f.type == FieldType::Memo) {
    const auto* s = std::get_if<std::string>(&v);
    if (!s) throw WrongType(i);
    std::string_view encoded;
    if (!EncodeText(*s, scratch, encoded)) throw LackingError(i, *s);
    data = std::span(reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size());
  } else {
    const auto* b = std::get_if<Bytes>(&v);
    if (!b) throw WrongType(i);
    data = *b;
  }
  if (data.empty()) return;
  if (data.size() > 0x7FFFFFFFu) throw FieldError(i, errc::kValueTooLong, "the value is too long for a blob");
  const std::size_t leader = f.length - kBlobPointerSize;
  std::uint8_t* pointer = out + leader;
  std::memcpy(out, data.data(), std::min(leader, data.size()));
  if (data.size() <= leader) {
    StoreU32(pointer + 4, static_cast<std::uint32_t>(data.size()));
    return;
  }
  try {
    mb_->Store(data, pointer);
  } catch (const Error& e) {
    throw FieldError(i, e.number(), e.description());
  }
}

void TableWriter::EncodeRecord(const Row& row, std::uint8_t* record) {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const Value& v = row[i];
    if (v.index() == 0) continue;  // blank: the record starts as zeros
    const Slot& s = slots_[i];
    std::uint8_t* const out = record + s.offset;
    // Each case takes only values that EncodeValue would code the same way without complaint;
    // the rest (other value types, values out of range, non-ASCII text) go to EncodeValue.
    switch (s.type) {
      case FieldType::Logical:
        if (const auto* b = std::get_if<bool>(&v)) {
          out[0] = *b ? 0x81 : 0x80;
          continue;
        }
        break;
      case FieldType::Long:
        if (const auto* n = std::get_if<std::int64_t>(&v); n && *n >= -2147483647LL && *n <= 2147483647LL) {
          EncodeLong(out, static_cast<std::int32_t>(*n));
          continue;
        }
        break;
      case FieldType::Number:
        if (const auto* d = std::get_if<double>(&v); d && std::isfinite(*d)) {
          EncodeDouble(out, *d);
          continue;
        }
        break;
      case FieldType::Money:
        // Up to 2^50 ten-thousandths the division and the multiplication back are each off by
        // at most half an ulp, together less than a quarter unit: the amount always comes back
        // exactly, which EncodeValue would confirm with llround.
        if (const auto* c = std::get_if<Currency>(&v);
            c && c->scaled >= -(std::int64_t{1} << 50) && c->scaled <= (std::int64_t{1} << 50)) {
          EncodeDouble(out, static_cast<double>(c->scaled) / 10000.0);
          continue;
        }
        break;
      case FieldType::Timestamp:
        if (const auto* t = std::get_if<Timestamp>(&v); t && t->tick == 0) {
          EncodeDouble(
              out, static_cast<double>(DaysFromTimestamp(*t) * kMillisecondsPerDay + MillisecondOfDay(*t)));
          continue;
        }
        break;
      case FieldType::Date:
        if (const auto* t = std::get_if<Timestamp>(&v); t && MillisecondOfDay(*t) == 0 && t->tick == 0) {
          const std::int64_t days = DaysFromTimestamp(*t);
          if (days > -2147483647LL && days <= 2147483647LL) {
            EncodeLong(out, static_cast<std::int32_t>(days));
            continue;
          }
        }
        break;
      case FieldType::Alpha:
        // ASCII bytes are the same in both code pages offered for new tables (checked by the
        // writer tests for each of them), so ASCII text is copied as it is.
        if (const auto* text = std::get_if<std::string>(&v);
            text && text->size() <= s.length && IsAsciiWithoutNul(*text)) {
          std::memcpy(out, text->data(), text->size());
          continue;
        }
        break;
      case FieldType::Memo:
        // Values that fit the leader; longer ones go to the blob file through EncodeValue.
        if (const auto* text = std::get_if<std::string>(&v);
            text && text->size() <= s.length - kBlobPointerSize && IsAscii(*text)) {
          if (text->empty()) continue;
          std::memcpy(out, text->data(), text->size());
          StoreU32(out + (s.length - kBlobPointerSize) + 4, static_cast<std::uint32_t>(text->size()));
          continue;
        }
        break;
      default:
        break;
    }
    EncodeValue(i, v, out);
  }
}

void TableWriter::Append(const Row& row) {
  if (closed_ || !db_) throw Error(errc::kInvalidArgument, "Table '" + tableName_ + "' is already closed.");
  if (row.size() != columns_.size())
    throw Error(errc::kInvalidArgument, "Row " + std::to_string(header_.recordCount + 1) + " has " +
                                            std::to_string(row.size()) + " values for " +
                                            std::to_string(columns_.size()) + " fields.");
  if (header_.recordCount == 0xFFFFFFFFu)
    throw Error(errc::kNotSupported, "Table '" + tableName_ + "' is full.");
  retryHint_.reset();
  // The record is coded in its place in the buffer. When the block is full it goes first into
  // the next block, and the full block is finished only once the record is whole, so a row that
  // fails leaves the last block the last one.
  const bool full = inBlock_ == recordsPerBlock_;
  std::uint8_t* const record = blocks_.data() +
                               std::size_t{full ? blockIndex_ + 1 : blockIndex_} * blockSize_ +
                               kBlockHeaderSize + std::size_t{full ? 0 : inBlock_} * header_.recordSize;
  try {
    EncodeRecord(row, record);
    if ((full || inBlock_ == 0) && header_.fileBlocks == 0xFFFF)
      throw Error(errc::kNotSupported,
                  "Table '" + tableName_ + "' reached the 65,535 blocks a Paradox table can have.");
  } catch (...) {
    std::memset(record, 0, header_.recordSize);  // the next row is coded onto zeros
    throw;
  }
  if (full) FlushBlock(false);
  if (inBlock_ == 0) ++header_.fileBlocks;
  ++inBlock_;
  ++header_.recordCount;
}

void TableWriter::FlushBlock(bool last) {
  if (inBlock_ == 0) return;
  const std::uint16_t number = header_.fileBlocks;
  std::uint8_t* block = blocks_.data() + std::size_t{blockIndex_} * blockSize_;
  StoreU16(block, last ? 0 : static_cast<std::uint16_t>(number + 1));
  StoreU16(block + 2, static_cast<std::uint16_t>(number - 1));
  StoreU16(block + 4, static_cast<std::uint16_t>((inBlock_ - 1) * header_.recordSize));
  inBlock_ = 0;
  // Finished blocks leave in large writes, straight from this buffer.
  if (++blockIndex_ == blocksPerWrite_ || last) {
    const std::size_t used = std::size_t{blockIndex_} * blockSize_;
    db_->Write(std::span<const std::uint8_t>(blocks_.data(), used));
    std::memset(blocks_.data(), 0, used);
    blockIndex_ = 0;
    if (!last) {
      // The first record of the next block waits in the spare block: it moves to the front.
      std::uint8_t* spare = blocks_.data() + used + kBlockHeaderSize;
      std::memcpy(blocks_.data() + kBlockHeaderSize, spare, header_.recordSize);
      std::memset(spare, 0, header_.recordSize);
    }
  }
}

void TableWriter::Close() {
  if (closed_) return;
  if (!db_) throw Error(errc::kInvalidArgument, "Table '" + tableName_ + "' was abandoned.");
  FlushBlock(true);
  db_->WriteAt(0, BuildHeader());
  db_->Close();
  if (mb_) mb_->Close();
  // Files of an earlier table of this name whose .DB is gone (an index, a stale .MB) would be
  // taken for parts of the new table: they go before the new files take the name.
  if (auto existing = FindTableFile(folder_, tableName_, files_)) throw ExistsError(*existing);
  for (const auto& p : FamilyFiles(folder_, tableName_, files_)) RemoveQuietly(p);
  // Neither file replaces one of the same name that another process made meanwhile.
  const fs::path finalDb = folder_ / (tableName_ + ".DB");
  const fs::path finalMb = folder_ / (tableName_ + ".MB");
  if (mb_ && !Publish(tempMb_, finalMb, "blob file")) throw ExistsError(finalMb);
  if (!Publish(tempDb_, finalDb, "table")) {
    if (mb_) RemoveQuietly(finalMb);
    throw ExistsError(finalDb);
  }
  closed_ = true;
}

}  // namespace qv::paradox
