// jetwrite: changes an Access database from the shell, through the engine's write side, for
// tests, benchmarks and debugging.
//
//   jetwrite [PASSWORD] insert FILE TABLE [TSV]
//       adds one row per line of TSV (standard input when absent): values separated by tabs, in
//       the table's column order, as literal text converted by the column's type; \N is NULL;
//       \t, \n, \r and \\ stand for a tab, a line feed, a carriage return and a backslash.
//       Each line is one insert: a line whose values the table refuses is reported (line number
//       and reason) and skipped; a failure to write the file stops the run at once.
//
//   jetwrite [PASSWORD] drop FILE TABLE
//       drops the table (its name compared without regard to case).
//
//   jetwrite [PASSWORD] create-table FILE TABLE "COLUMN TYPE[(n[,m])], ..."
//       creates an empty table; the column list is that of CREATE TABLE (same type names:
//       INTEGER, TEXT(50), MEMO, DECIMAL(10,2), COUNTER, ...).
//   jetwrite create-db FILE [jet4|ace2007|ace2010|jet3]
//       makes a new, empty database (Access 2000 .mdb, Access 2007 or 2010 .accdb, Access 97
//       .mdb; jet4 when not given). An existing FILE is never replaced.
//
//   jetwrite [PASSWORD] copy FILE SOURCE NEWTABLE
//       SELECT a1.* INTO NEWTABLE FROM SOURCE AS a1: a new table with the source's columns and
//       rows, copied page by page (a failed copy leaves no new table).
//
// PASSWORD: --password-file=FILE (its first line; "-" for standard input), --password-env=NAME
// or --password-prompt; never the password itself, which every user would see in ps.
//
// Every command saves the file before it reports: what it prints as done is on disk. Exit
// status: 0 when everything was written, 1 when some lines were refused, 2 when the database or
// the table cannot be used at all or the changes could not be saved (nothing is then reported as
// inserted).
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/core/error.h"
#include "engine/core/secrets.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/sql/parser.h"

namespace {

int Usage() {
  std::cerr << "usage: jetwrite [PASSWORD] insert FILE TABLE [TSV]\n"
               "       jetwrite [PASSWORD] drop FILE TABLE\n"
               "       jetwrite [PASSWORD] create-table FILE TABLE \"COLUMN TYPE, ...\"\n"
               "       jetwrite create-db FILE [jet4|ace2007|ace2010|jet3]\n"
               "       jetwrite [PASSWORD] copy FILE SOURCE NEWTABLE\n"
               "PASSWORD: --password-file=FILE | --password-env=NAME | --password-prompt\n";
  return 2;
}

// The errors that refuse one row for its values (a value that does not convert or fit, the
// wrong number of values, a key that repeats or is NULL): the next line may go in.
bool IsRowRefusal(const qv::Error& e) {
  switch (e.number()) {
    case qv::errc::kTypeConversion:
    case qv::errc::kValueTooLong:
    case qv::errc::kInvalidArgument:
    case 3022:  // a value a unique index or primary key already holds
    case 3058:  // NULL in a primary key or required index
      return true;
    default:
      return false;
  }
}

void PrintError(const qv::Error& e) {
  std::cerr << "jetwrite: error " << e.number() << ": " << e.description();
  if (!e.where().empty()) std::cerr << " (" << e.where() << ")";
  std::cerr << "\n";
}

// One TSV line to literal values (std::monostate for \N).
qv::Row ParseLine(const std::string& line) {
  qv::Row row;
  std::string cur;
  bool null = false;
  auto flush = [&] {
    if (null)
      row.emplace_back(std::monostate{});
    else
      row.emplace_back(cur);
    cur.clear();
    null = false;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      flush();
    } else if (c == '\\' && i + 1 < line.size()) {
      char e = line[++i];
      if (e == 'N' && cur.empty())
        null = true;
      else if (e == 't')
        cur += '\t';
      else if (e == 'n')
        cur += '\n';
      else if (e == 'r')
        cur += '\r';
      else
        cur += e;
    } else {
      cur += c;
    }
  }
  flush();
  return row;
}

int Insert(const std::string& file, const std::string& table, std::istream& in, const std::string& password) {
  qv::jet::OpenOptions options;
  options.password = password;
  auto db = qv::jet::Database::Open(file, options);
  qv::jet::TableInserter inserter(*db, table);
  const std::uint32_t before = inserter.definition().rowCount;
  std::string line;
  std::uint64_t lineNo = 0, written = 0, refused = 0;
  try {
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      try {
        inserter.Insert(ParseLine(line));
        ++written;
      } catch (const qv::Error& e) {
        // Only a row's own values make a line refused; anything else (the file cannot be
        // written, another program is writing it, the table cannot take rows) would fail every
        // later line the same way and ends the run.
        if (!IsRowRefusal(e)) throw;
        ++refused;
        std::cerr << "line " << lineNo << ": error " << e.number() << ": " << e.description() << "\n";
      }
    }
    db->Close();  // the rows are counted as inserted only once they are on disk
  } catch (const qv::Error& e) {
    PrintError(e);
    // The run ends here. The lines before the failing one went in whole; they are saved now,
    // unless saving is what failed (the rows since the last save were then dropped). Either
    // way the file, as on disk, tells how many rows of this run it holds.
    if (!qv::IsWriteFailure(e)) {
      try {
        db->Close();
      } catch (const qv::Error& c) {
        PrintError(c);
      }
    }
    try {
      const std::uint32_t saved = db->ReadDefinition(table).rowCount - before;
      std::cerr << "jetwrite: " << saved << (saved == 1 ? " row" : " rows")
                << " of this run saved before line " << lineNo << "\n";
    } catch (const qv::Error&) {
      // The count cannot be read: the error above says enough.
    }
    return 2;
  }
  std::cout << written << " rows inserted into '" << table << "'";
  if (refused) std::cout << ", " << refused << " refused";
  std::cout << "\n";
  return refused ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string password;
  int i = 1;
  try {
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i)
      if (!qv::TakePasswordOption(argv[i], password)) return Usage();
    if (i >= argc) return Usage();
    const std::string command = argv[i++];
    if (command == "insert" && (argc - i == 2 || argc - i == 3)) {
      std::string file = argv[i], table = argv[i + 1];
      if (argc - i == 3) {
        std::ifstream in(argv[i + 2]);
        if (!in) {
          std::cerr << "jetwrite: cannot read '" << argv[i + 2] << "'\n";
          return 2;
        }
        return Insert(file, table, in, password);
      }
      return Insert(file, table, std::cin, password);
    }
    if (command == "drop" && argc - i == 2) {
      qv::jet::OpenOptions options;
      options.password = password;
      auto db = qv::jet::Database::Open(argv[i], options);
      qv::jet::DropTable(*db, argv[i + 1]);
      db->Close();
      std::cout << "dropped '" << argv[i + 1] << "'\n";
      return 0;
    }
    if (command == "create-table" && argc - i == 3) {
      // The column list is read by the statement parser, so the type names are those of CREATE TABLE.
      auto statement = qv::sql::ParseStatement("CREATE TABLE [x] (" + std::string(argv[i + 2]) + ")");
      std::vector<qv::Column> columns;
      for (const auto& c : std::get<qv::sql::CreateTableStatement>(statement).columns)
        columns.push_back(c.column);
      qv::jet::OpenOptions options;
      options.password = password;
      auto db = qv::jet::Database::Open(argv[i], options);
      qv::jet::CreateTable(*db, argv[i + 1], columns);
      db->Close();
      std::cout << "created '" << argv[i + 1] << "'\n";
      return 0;
    }
    if (command == "create-db" && (argc - i == 1 || argc - i == 2)) {
      qv::jet::DatabaseFormat format = qv::jet::DatabaseFormat::Jet4;
      if (argc - i == 2 && !qv::jet::ParseDatabaseFormat(argv[i + 1], format)) {
        std::cerr << "jetwrite: unknown format '" << argv[i + 1] << "' (jet4, ace2007, ace2010 or jet3)\n";
        return 2;
      }
      qv::jet::CreateDatabase(argv[i], format);
      std::cout << "created '" << argv[i] << "' (" << qv::jet::DatabaseFormatName(format) << ")\n";
      return 0;
    }
    if (command == "copy" && argc - i == 3) {
      qv::jet::OpenOptions options;
      options.password = password;
      auto db = qv::jet::Database::Open(argv[i], options);
      std::uint64_t rows = qv::jet::CopyTable(*db, argv[i + 1], argv[i + 2]);
      db->Close();
      std::cout << "copied " << rows << (rows == 1 ? " row" : " rows") << " into '" << argv[i + 2] << "'\n";
      return 0;
    }
    return Usage();
  } catch (const qv::Error& e) {
    PrintError(e);
    return 2;
  }
}
