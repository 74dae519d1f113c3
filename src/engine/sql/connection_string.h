// Connection strings as the program writes them, and the provider each one chooses.
//
//   Provider=Microsoft.ACE.OLEDB.12.0;Data Source=FILE;JET OLEDB:Database Password=PASSWORD
//   PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=FILE;JET OLEDB:Database Password=PASSWORD
//   PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=FILE;Code Page=936;JET OLEDB:Database Password=PASSWORD
//   Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=FOLDER;
//     Dbq=FOLDER;CollatingSequence=ASCII;
//
// Keys are compared without regard to letter case (blanks before a key are skipped); values are
// kept verbatim. The program never escapes a value, so a value runs up to the next ';' that
// starts another key of the same kind of string ("; Key=" with one of the keys below), and the
// password, which the program always writes last, is everything after "Database Password=" up to
// the end of the string, whatever it holds. A file or folder name that itself holds ";KEY=" for
// one of these keys cannot be written in a connection string; docs/formats/sql.md has the details.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::sql {

enum class Provider {
  AccessJet4,   // Microsoft.Jet.OLEDB.4.0
  AccessAce12,  // Microsoft.ACE.OLEDB.12.0
  Paradox,      // the Paradox ODBC driver
};

const char* ProviderName(Provider provider);

struct ConnectionString {
  Provider provider = Provider::AccessJet4;

  // Access: the database file (Data Source) and the password ("" when the key is missing or
  // empty). Paradox: the folder (Dbq, or DefaultDir when Dbq is missing), password unused.
  std::string dataSource;
  std::string password;
  // Access only: "Code Page=NNN", the code page of Access 97 text when the header's is wrong; 0
  // when the key is missing (the header's).
  int codePage = 0;

  // Paradox only, as written: the driver name without braces, DriverID (0 when missing), Fil
  // and CollatingSequence ("" when missing).
  std::string driver;
  int driverId = 0;
  std::string fileType;
  std::string collatingSequence;

  // Every key and value in the order written, keys as written.
  std::vector<std::pair<std::string, std::string>> attributes;
};

// Parses a connection string. Anything unusable (no provider or driver, an unknown one, a
// missing database file or folder, an unknown or repeated key, a malformed part) throws
// qv::Error: errc::kProviderNotFound for an unknown provider or driver, errc::kBadConnectionString
// otherwise, with a description naming the key or the character position.
// Descriptions never show a password: the text they quote is MaskPasswords' (and a password
// key the parser does not know, which would otherwise run into the file name, is refused).
ConnectionString ParseConnectionString(std::string_view text);

// `text` with everything after the first "password=" or "pwd=" (any letter case, blanks before
// '=' allowed) replaced by '*', one per byte, so character positions stay the same.
std::string MaskPasswords(std::string_view text);

}  // namespace qv::sql
