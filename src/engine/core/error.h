// The one error type of the engines: a number users and support pages know (the Jet error
// numbers where one fits), a description in our own words, and where it happened (file, page or
// block, offset) so a damaged file can be found again.
#pragma once

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv {

// Error numbers. The Jet numbers keep the meaning the Access engine gave them; the others are
// ours and stay out of the Jet range.
namespace errc {
inline constexpr int kGeneric = 3000;            // an engine failure with no closer number
inline constexpr int kTableExists = 3010;        // "Table 'x' already exists."
inline constexpr int kFileNotFound = 3024;       // "Could not find file 'x'."
inline constexpr int kNotADatabase = 3343;       // "Unrecognized database format 'x'."
inline constexpr int kWrongPassword = 3031;      // "Not a valid password."
inline constexpr int kSyntax = 3292;             // "Syntax error in field definition / statement"
inline constexpr int kSyntaxStatement = 3000 + 131; // 3131: syntax error in FROM clause and kin
inline constexpr int kNoSuchTable = 3376;        // "Table 'x' does not exist."
inline constexpr int kCorrupt = 3049;            // "Cannot open database: damaged or not a database."
inline constexpr int kFileInUse = 3045;          // file could not be opened / locked
inline constexpr int kDiskIo = 3043;             // disk or network error
inline constexpr int kDiskFull = 3026;           // not enough space on disk
inline constexpr int kReadOnly = 3027;           // database or object is read-only
inline constexpr int kTypeConversion = 3464;     // data type mismatch in criteria expression
inline constexpr int kValueTooLong = 3163;       // field too small for the data
inline constexpr int kNotSupported = 3251;       // operation not supported for this type of object
inline constexpr int kFieldNotFound = 3265;      // item not found in this collection
inline constexpr int kInvalidArgument = 3001;    // invalid argument
inline constexpr int kRelationship = 3303;       // table is in a relationship
inline constexpr int kEncrypted = 3033;          // no permission / encrypted and cannot be opened
// The program's own controls, with the numbers the same faults carry in the product's forms.
inline constexpr int kInvalidPropertyValue = 380;  // a list position or a progress value out of range
}  // namespace errc

class Error : public std::runtime_error {
 public:
  Error(int number, std::string description, std::string where = {})
      : std::runtime_error(description), number_(number), description_(std::move(description)),
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
inline bool IsWriteFailure(const Error& e) { return e.number() == errc::kDiskFull || e.number() == errc::kDiskIo; }
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
