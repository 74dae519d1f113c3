// The one error type of the engines: a number users and support pages know (the Jet error
// numbers where one fits), a description in our own words, and where it happened (file, page or
// block, offset) so a damaged file can be found again.
#pragma once

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv {

// Error numbers: the one list of the numbers the program gives. The Jet numbers keep the meaning
// the Access engine gave them; the statement and data-access numbers are the ones the Access
// engine and the data-access layer gave the same faults; the runtime numbers are those of the
// classic runtime the product's forms ran on. Users and support pages know them all; the
// descriptions are ours.
namespace errc {
// ---- The engines (Jet numbers) ----
inline constexpr int kGeneric = 3000;                // an engine failure with no closer number
inline constexpr int kTableExists = 3010;            // "Table 'x' already exists."
inline constexpr int kDuplicateKey = 3022;           // a row would give an index a duplicate key
inline constexpr int kFileNotFound = 3024;           // "Could not find file 'x'."
inline constexpr int kNotADatabase = 3343;           // "Unrecognized database format 'x'."
inline constexpr int kWrongPassword = 3031;          // "Not a valid password."
inline constexpr int kSyntax = 3292;                 // "Syntax error in field definition / statement"
inline constexpr int kSyntaxStatement = 3000 + 131;  // 3131: syntax error in FROM clause and kin
inline constexpr int kNoSuchTable = 3376;            // "Table 'x' does not exist."
inline constexpr int kCorrupt = 3049;                // "Cannot open database: damaged or not a database."
inline constexpr int kFileInUse = 3045;              // file could not be opened / locked
inline constexpr int kDiskIo = 3043;                 // disk or network error
inline constexpr int kInvalidPath = 3044;            // "'x' isn't a valid path."
inline constexpr int kDiskFull = 3026;               // not enough space on disk
inline constexpr int kReadOnly = 3027;               // database or object is read-only
inline constexpr int kNullInIndex = 3058;            // a NULL in a primary key or required index
inline constexpr int kDatabaseExists = 3204;         // "Database already exists."
inline constexpr int kTypeConversion = 3464;         // data type mismatch in criteria expression
inline constexpr int kValueTooLong = 3163;           // field too small for the data
inline constexpr int kNotSupported = 3251;           // operation not supported for this type of object
inline constexpr int kFieldNotFound = 3265;          // item not found in this collection
inline constexpr int kInvalidArgument = 3001;        // invalid argument
inline constexpr int kRelationship = 3303;           // table is in a relationship
inline constexpr int kEncrypted = 3033;              // no permission / encrypted and cannot be opened

// ---- The statement language, by the kind of statement being read when the fault was found ----
inline constexpr int kInvalidStatement = 3129;    // not SELECT, CREATE TABLE, INSERT INTO or DROP TABLE
inline constexpr int kFromClause = 3131;          // fault in the FROM clause (kSyntaxStatement)
inline constexpr int kInsertSyntax = 3134;        // fault in INSERT INTO
inline constexpr int kSelectSyntax = 3141;        // fault in the select list or INTO part
inline constexpr int kTrailingCharacters = 3142;  // text after the end of the statement
inline constexpr int kCreateTableSyntax = 3290;   // fault in CREATE TABLE outside a field definition
inline constexpr int kFieldDefinition = 3292;     // fault in a field definition (kSyntax)
inline constexpr int kDropSyntax = 3295;          // fault in DROP TABLE
// Statement meaning.
inline constexpr int kUnknownFieldName = 3070;    // "a2.*" where no table is called a2
inline constexpr int kInvalidName = 3125;         // "'x' is not a valid name"
inline constexpr int kDuplicateField = 3191;      // a field defined twice in one CREATE TABLE
inline constexpr int kInvalidFieldType = 3259;    // an unknown data type name
inline constexpr int kIsamNotFound = 3170;        // an external database type other than Paradox 5.x
inline constexpr int kValueCountMismatch = 3346;  // INSERT values other in number than the fields

// ---- Connection strings and the data-access objects ----
inline constexpr int kBadConnectionString = 3001;  // malformed, or a needed key missing
inline constexpr int kProviderNotFound = 3706;     // a provider or driver we do not have
inline constexpr int kObjectClosed = 3704;         // operation not allowed when the object is closed
inline constexpr int kObjectOpen = 3705;           // operation not allowed when the object is open
inline constexpr int kNoCurrentRecord = 3021;      // EOF or BOF is true

// ---- The classic runtime ----
inline constexpr int kOutOfMemory = 7;
inline constexpr int kInternal = 51;
inline constexpr int kRuntimeFileNotFound = 53;  // "File not found"
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidPropertyValue = 380;  // a list position or a progress value out of range
inline constexpr int kCannotCreateObject = 429;
inline constexpr int kInvalidPicture = 481;
}  // namespace errc

class Error : public std::runtime_error {
 public:
  Error(int number, std::string description, std::string where = {})
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        where_(std::move(where)) {}

  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  // File, page or block and byte offset, for instance "orders.db, block 3, offset 0x1a2".
  const std::string& where() const noexcept { return where_; }

 private:
  int number_;
  std::string description_;
  std::string where_;
};

// True for the failures of writing a file (a full disk, an I/O error): the file cannot take
// more changes now, so a run of changes stops at the first one instead of failing row by row.
inline bool IsWriteFailure(const Error& e) {
  return e.number() == errc::kDiskFull || e.number() == errc::kDiskIo;
}
// The number of a failed write by its errno: 3026 when the disk (or the quota, or the file size
// limit) is full, 3043 otherwise.
inline int WriteErrorNumber(int errnum) {
  return errnum == ENOSPC || errnum == EDQUOT || errnum == EFBIG ? errc::kDiskFull : errc::kDiskIo;
}

// Builds the "where" text of a structural error: the file name, a unit ("page", "block") with its
// number, and a byte offset within that unit.
std::string Where(const std::string& file, const char* unit, std::int64_t number, std::int64_t offset);

// Throws a corruption error (kCorrupt) whose description names the place as well.
[[noreturn]] void ThrowCorrupt(const std::string& what, const std::string& where);

}  // namespace qv
