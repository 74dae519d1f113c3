// Reads one Paradox table (.DB, with its .MB when present) as a stream of rows: the header and
// the record count first, then the data blocks in the order of the table's block list, one block
// in memory at a time. Values follow docs/formats/paradox.md ("Field values"): a blank field is
// NULL, and the blank and zero encodings never mix.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/file_io.h"
#include "engine/core/row_reader.h"
#include "engine/core/text_codec.h"
#include "engine/paradox/blob_file.h"
#include "engine/paradox/table_header.h"

namespace qv::paradox {

struct OpenOptions {
  // iconv character set to use instead of the one the header names (for tables whose header
  // code page is known to be wrong). Empty: follow the header.
  std::string charsetOverride;
  // Where the files are: the disk when null. A memory file system (fuzz targets, tests) must
  // outlive the reader.
  FileSystem* files = nullptr;
};

// ADO data-type number the Paradox ODBC driver reported for a field type.
int AdoTypeFor(FieldType type);
// The engine-neutral column for a field (name already decoded to UTF-8).
Column ColumnFor(const FieldDef& field, const std::string& utf8Name);

class TableReader final : public RowReader {
 public:
  // Opens the table file; the .MB is looked for beside it (same name, either letter case).
  // Throws kFileNotFound, kCorrupt for a damaged header, kEncrypted for a password-protected
  // table.
  explicit TableReader(const std::filesystem::path& dbPath, const OpenOptions& options = {});
  ~TableReader() override;

  const TableHeader& header() const { return header_; }
  const std::string& charset() const { return codec_.charset(); }
  const std::string& fileName() const { return file_.name(); }
  // The .MB found beside the table, if any.
  const std::optional<std::filesystem::path>& blobPath() const { return blobPath_; }
  bool hasBlobFields() const;

  // RowReader: columns with ADO types, the header's record count, and rows in table order. When
  // single values of a row cannot be read (a blob whose .MB is missing or damaged), Next() still
  // fills every other value (the failed ones are NULL), moves past the row and then throws the
  // first such error; the following call goes on with the next row. Damage to the block list
  // itself ends the stream with an error.
  const std::vector<Column>& columns() const override { return columns_; }
  std::int64_t rowCount() const override { return header_.recordCount; }
  bool Next(Row& row) override;

  // Lower level, used by the dump tool: step to the next record and look at its bytes.
  bool NextRecord();
  std::span<const std::uint8_t> record() const;
  std::int64_t recordNumber() const { return delivered_ - 1; }  // 0-based, in table order
  // The field's value; throws for this field only.
  Value DecodeField(std::size_t field) const;
  // Blob fields: the stored bytes (graphic and OLE prefixes kept), or nullopt when blank.
  std::optional<Bytes> ReadBlobBytes(std::size_t field) const;
  // "file, block N, offset X" of a field of the current record.
  std::string FieldWhere(std::size_t field) const;

 private:
  void LoadBlock(std::uint16_t number);

  ReadOnlyFile file_;
  TableHeader header_;
  TextCodec codec_;
  bool asciiCompatible_ = false;  // the code page maps bytes below 0x80 to ASCII
  std::vector<Column> columns_;
  std::optional<std::filesystem::path> blobPath_;
  std::unique_ptr<BlobFile> blob_;
  std::string blobError_;  // why the .MB could not be opened, when it could not

  Bytes block_;  // the used part of the current block
  std::uint16_t blockNumber_ = 0;
  std::uint16_t nextBlock_ = 0;
  std::uint32_t recordsInBlock_ = 0;
  std::uint32_t indexInBlock_ = 0;
  std::int64_t delivered_ = 0;
  std::vector<bool> visited_;
  bool started_ = false;
};

// Finds the file beside `dbPath` with the same base name and extension `ext` (".MB", ".PX"),
// comparing without regard to letter case; the exact base name wins when both exist.
std::optional<std::filesystem::path> FindSibling(const std::filesystem::path& dbPath, const std::string& ext,
                                                 FileSystem& files = PosixFileSystem());

}  // namespace qv::paradox
