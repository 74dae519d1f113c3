// Error numbers of the statement language and of connection strings. They are the numbers the
// Access engine and the data-access layer gave the same faults, so users and support pages
// recognise them; the descriptions are ours and always name the position in the text.
#pragma once

namespace qv::sql::errc {

// Statement syntax, by the kind of statement being read when the fault was found.
inline constexpr int kInvalidStatement = 3129;   // not SELECT, CREATE TABLE, INSERT INTO or DROP TABLE
inline constexpr int kFromClause = 3131;         // fault in the FROM clause
inline constexpr int kInsertSyntax = 3134;       // fault in INSERT INTO
inline constexpr int kSelectSyntax = 3141;       // fault in the select list or INTO part
inline constexpr int kTrailingCharacters = 3142; // text after the end of the statement
inline constexpr int kCreateTableSyntax = 3290;  // fault in CREATE TABLE outside a field definition
inline constexpr int kFieldDefinition = 3292;    // fault in a field definition (same as qv::errc::kSyntax)
inline constexpr int kDropSyntax = 3295;         // fault in DROP TABLE

// Statement meaning.
inline constexpr int kUnknownFieldName = 3070;   // "a2.*" where no table is called a2
inline constexpr int kInvalidName = 3125;        // an empty name
inline constexpr int kDuplicateField = 3191;     // a field defined twice in one CREATE TABLE
inline constexpr int kInvalidFieldType = 3259;   // an unknown data type name
inline constexpr int kIsamNotFound = 3170;       // an external database type other than Paradox 5.x

// Connection strings.
inline constexpr int kBadConnectionString = 3001;  // malformed, or a needed key missing
inline constexpr int kProviderNotFound = 3706;     // a provider or driver we do not have

}  // namespace qv::sql::errc
