// Writes a new, unkeyed Paradox 5.x table (.DB, and .MB when it has memo or binary fields) from
// engine-neutral columns and rows, as Paradox 5 for Windows and the BDE lay such a table out.
// The files are written under temporary names in the target folder and renamed into place by
// Close(), so a failure never leaves a half-written table under the real name.
//
// Column type -> Paradox field (docs/formats/paradox.md, "Writing: type mapping"):
//   Boolean -> Logical L          Byte, Int16 -> Short S        Int32 -> Long I
//   Int64 -> Number N (exact only up to 2^53)                   Single, Double -> Number N
//   Currency -> Money $ (exact only where the double holds it)  Decimal(p,s) -> BCD # with s decimals
//   DateTime -> Timestamp @       Date -> Date D                Time -> Time T
//   Text(1..255) -> Alpha A(n)    Text(0 or >255), Memo -> Memo M (40-byte leader)
//   Binary, LongBinary -> Binary B (no leader)                  Guid -> Alpha A38 "{...}"
// A value the field cannot hold exactly fails the append with an error naming the row and field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/file_io.h"
#include "engine/core/text_codec.h"
#include "engine/core/value.h"
#include "engine/paradox/table_family.h"
#include "engine/paradox/table_header.h"

namespace qv::paradox {

inline constexpr std::size_t kMaxFieldNameLength = 25;
inline constexpr std::size_t kMemoLeader = 40;

// A code page offered for new tables, with the language driver the header names for it
// (docs/formats/paradox.md, "Code page and sort order").
struct LanguageDriver {
  int codePage;
  std::uint8_t sortOrder;  // header byte 0x29
  const char* name;        // the driver's name after the field numbers
};
// The code pages offered for new tables in the order the automatic choice tries them: 437 first
// (what Paradox 5 for Windows used out of the box), then Western Europe, then Central Europe,
// Cyrillic, Greek, Turkish and Hebrew, each DOS before Windows. Every one of them is single-byte
// and keeps ASCII as it is.
std::span<const LanguageDriver> OfferedLanguageDrivers();
// The driver of an offered code page, or nullptr.
const LanguageDriver* LanguageDriverFor(int codePage);

struct WriteOptions {
  WriteOptions() = default;
  WriteOptions(int page) : codePage(page) {}  // NOLINT: {1252} names the code page alone
  // Code page of the new table: one of OfferedLanguageDrivers().
  int codePage = 437;
  // Date-and-time and decimal columns written as Alpha text with their full precision
  // ("2024-05-06 07:08:09.1234567", "-0.0784734499180612994241100748") rather than as Timestamp
  // fields, which keep milliseconds, or BCD fields, which keep 32 digits at fixed decimals.
  std::vector<std::size_t> columnsAsText;
  // Keep the non-ASCII characters that the table's text holds (seenCharacters()).
  bool noteCharacters = false;
  // Where the folder is: the disk when null. A memory file system (tests) must outlive the
  // writer.
  FileSystem* files = nullptr;
};

// Why the last Append failed, when starting the table again with other options would store the
// row: a character that the code page lacks, or a value that only text holds exactly (a date and
// time finer than a Timestamp field, a decimal beyond its BCD field).
struct RetryHint {
  enum class Kind { kCharacter, kNeedsText } kind = Kind::kCharacter;
  std::size_t column = 0;
  char32_t character = 0;  // kCharacter: the first one the code page lacks
  std::int64_t row = 0;    // 1-based
};

// "'é' (U+00E9)": a character as the writer's messages name it.
std::string DescribeCharacter(char32_t c);
// The character in UTF-8.
std::string CharacterUtf8(char32_t c);
// Adds every character above ASCII of UTF-8 text to `out`.
void CollectCharacters(std::string_view utf8, std::set<char32_t>& out);

// The Paradox field that a column becomes (name not set). Throws kNotSupported for a column the
// format cannot take (a Decimal wider than 32 digits).
FieldDef FieldForColumn(const Column& column);

// Field names: longer than 25 characters are cut to 25; a name equal (ignoring case) to an
// earlier one gets "~2", "~3", ... in place of its last characters; an empty name becomes
// "Field<n>". Names are returned in UTF-8.
std::vector<std::string> FieldNamesFor(const std::vector<Column>& columns);

class BlobWriter;

class TableWriter {
 public:
  // Starts the table `tableName` in `folder`. Throws kTableExists when a .DB of that name exists
  // in any letter case, kInvalidArgument for an unusable name, column list or field name.
  TableWriter(const std::filesystem::path& folder, const std::string& tableName,
              const std::vector<Column>& columns, const WriteOptions& options = {});
  ~TableWriter();  // discards the temporary files unless Close() succeeded
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  const std::vector<FieldDef>& fields() const { return header_.fields; }
  const std::vector<std::string>& fieldNames() const { return names_; }  // UTF-8
  int codePage() const { return header_.codePage; }
  std::int64_t rowsWritten() const { return header_.recordCount; }

  // Appends one row (one value per column). Throws qv::Error naming the row (1-based) and field
  // when a value cannot be stored exactly; the table can still be closed or abandoned.
  void Append(const Row& row);
  // Finishes both files and renames them into place. Throws kTableExists when a table of the
  // name appeared meanwhile (nothing of it is replaced).
  void Close();

  // Set when the last Append failed for a reason another code page, or the column written as
  // text, would cure; cleared by the next Append.
  const std::optional<RetryHint>& retryHint() const { return retryHint_; }
  // With WriteOptions::noteCharacters: every character above ASCII that the field names and the
  // values stored so far hold.
  const std::set<char32_t>& seenCharacters() const { return seen_; }

 private:
  // Any value into any field, with every check and every error message; `out` starts as zeros.
  // It hands each field type to the coder of its kind below.
  void EncodeValue(std::size_t field, const Value& value, std::uint8_t* out);
  void EncodeNumber(std::size_t field, const Value& value, std::uint8_t* out);    // Logical to BCD
  void EncodeDateTime(std::size_t field, const Value& value, std::uint8_t* out);  // Timestamp, Date, Time
  void EncodeAlpha(std::size_t field, const Value& value, std::uint8_t* out);
  void EncodeBlob(std::size_t field, const Value& value, std::uint8_t* out);  // Memo, Binary
  // The error of a value refused for `field` of the row being written, naming row and field.
  Error FieldError(std::size_t field, int number, const std::string& why) const;
  Error WrongType(std::size_t field) const;
  // The common values of the common field types, straight into the record; falls back to
  // EncodeValue for anything else (and for every value that would fail).
  void EncodeRecord(const Row& row, std::uint8_t* record);
  void FlushBlock(bool last);
  // Text in the table's code page: `out` views either `utf8` itself or `scratch`.
  bool EncodeText(const std::string& utf8, std::string& scratch, std::string_view& out);
  // The first character of `utf8` that the code page lacks (0 when there is none).
  char32_t LackingCharacter(const std::string& utf8) const;
  Error LackingError(std::size_t field, const std::string& utf8);
  Bytes BuildHeader() const;
  // 3010 for the table's name, taken by `existing`.
  Error ExistsError(const std::filesystem::path& existing) const;
  // Gives the finished file `from` the name `to` unless a file has that name (false then).
  bool Publish(const std::filesystem::path& from, const std::filesystem::path& to, const char* what);
  void RemoveQuietly(const std::filesystem::path& path);

  FileSystem& files_;
  std::filesystem::path folder_;
  std::string tableName_;
  std::vector<Column> columns_;
  TableHeader header_;
  TextCodec codec_;
  std::vector<std::string> names_;  // UTF-8, for messages
  std::vector<bool> asText_;        // per column: written as Alpha text (WriteOptions::columnsAsText)
  bool noteCharacters_ = false;
  std::set<char32_t> seen_;
  std::optional<RetryHint> retryHint_;
  std::filesystem::path tempDb_, tempMb_;
  std::unique_ptr<WriteOnlyFile> db_;
  std::unique_ptr<BlobWriter> mb_;
  // Where each field goes in the record and how it is coded, taken out of header_.fields so that
  // the per-value loop reads one small array.
  struct Slot {
    FieldType type;
    std::uint16_t length;
    std::uint32_t offset;
  };
  std::vector<Slot> slots_;
  // The blocks not yet written (up to 1 MiB of them) and one spare block after them: records are
  // coded in place, and the first record of a block may be coded before the block before it is
  // finished, so it needs a place even when the buffer is full.
  Bytes blocks_;
  std::uint32_t blocksPerWrite_ = 1;
  std::uint32_t blockIndex_ = 0;  // the block being filled, within blocks_
  std::uint32_t blockSize_ = 0;
  std::uint32_t recordsPerBlock_ = 0;
  std::uint32_t inBlock_ = 0;
  bool closed_ = false;
};

}  // namespace qv::paradox
