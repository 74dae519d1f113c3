// qvsql: opens a connection string and runs statements on it, printing what they give.
//
//   qvsql [PASSWORD] CONNECTION-STRING [STATEMENT ...]
//
// PASSWORD (--password-file=FILE, --password-env=NAME or --password-prompt) becomes the Access
// string's "Jet OLEDB:Database Password"; a connection string given here with a password in it
// is refused, since every user of the machine sees the command line (ps).
//
// Without statements on the command line, statements are read from standard input, one per
// line (empty lines and lines starting with "--" are skipped). The word SCHEMA prints the
// table-schema rows (OpenSchema(20)). A select that returns rows prints a header line
//   #	NAME:TYPE	NAME:TYPE ...
// (TYPE is the ADO data-type number), one line per row with the values tab-separated (NULL for
// a null; tab, newline, carriage return and backslash escaped as \t \n \r \\), and a last line
//   #	N rows
// Any other statement is executed and prints "ok". A failure prints "error NUMBER: DESCRIPTION"
// on standard error and the run goes on with the next statement, except a failure to write the
// database (3026, 3043): the changes since the last save are lost then, so the run stops there.
// The connection is closed at the end, which saves what is still in memory; a failure of that
// save is reported like a statement's ("ok" before it means the statement ran, not that its
// changes were saved). Exit status: 0 when every statement succeeded and the close saved
// everything, 1 otherwise (or when the connection could not be opened), 2 for usage.
#include <cstdio>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/secrets.h"
#include "engine/core/value_text.h"
#include "engine/sql/connection_string.h"
#include "engine/sql/parser.h"
#include "sources/database_access.h"

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void Print(qv::sources::Recordset& rs) {
  std::string line = "#";
  for (int i = 0; i < rs.FieldCount(); ++i) {
    const auto f = rs.Fields(i);
    line += "\t" + Escape(f.name()) + ":" + std::to_string(f.Type());
  }
  std::cout << line << '\n';
  std::int64_t n = 0;
  while (!rs.Eof()) {
    line.clear();
    for (int i = 0; i < rs.FieldCount(); ++i) {
      if (i) line += '\t';
      const auto text = qv::FormatValueText(rs.Fields(i).Value());
      line += text ? Escape(*text) : "NULL";
    }
    std::cout << line << '\n';
    ++n;
    rs.MoveNext();
  }
  std::cout << "#\t" << n << " rows\n";
  rs.Close();
}

bool ReturnsRows(const std::string& sql) {
  try {
    const auto statement = qv::sql::ParseStatement(sql);
    const auto* select = std::get_if<qv::sql::SelectStatement>(&statement);
    return select != nullptr && !select->into;
  } catch (const qv::Error&) {
    return false;  // Execute reports the syntax error
  }
}

void ReportError(const qv::Error& e) {
  std::cout.flush();
  std::cerr << "error " << e.number() << ": " << e.description() << '\n';
}

// A run of statements stops at a failure to write the database: the changes since the last save
// were dropped with it, and every later change would fail the same way.
bool stopped = false;

bool Run(qv::sources::Connection& cn, const std::string& sql) {
  try {
    if (sql == "SCHEMA" || sql == "schema") {
      Print(*cn.OpenSchema(qv::sources::kSchemaTables));
    } else if (ReturnsRows(sql)) {
      qv::sources::Recordset rs;
      rs.Open(sql, cn);
      Print(rs);
    } else {
      cn.Execute(sql);
      std::cout << "ok\n";
    }
    return true;
  } catch (const qv::Error& e) {
    ReportError(e);
    stopped = qv::IsWriteFailure(e);
    return false;
  }
}

// The Access string with `password` as its password (the key is the string's last: its value
// runs to the end).
std::string WithPassword(std::string connection, const std::string& password) {
  static const std::string kKey = "Jet OLEDB:Database Password=";
  const bool endsWithKey =
      connection.size() >= kKey.size() &&
      qv::sql::NamesEqual(std::string_view(connection).substr(connection.size() - kKey.size()), kKey);
  if (!endsWithKey) connection += ";" + kKey;
  return connection + password;
}

}  // namespace

int main(int argc, char** argv) {
  std::string password;
  bool havePassword = false;
  int first = 1;
  try {
    for (; first < argc && std::string_view(argv[first]).rfind("--", 0) == 0; ++first) {
      if (!qv::TakePasswordOption(argv[first], password)) {
        std::cerr << "qvsql: unknown option " << argv[first] << '\n';
        return 2;
      }
      havePassword = true;
    }
  } catch (const qv::Error& e) {
    std::cerr << "qvsql: " << e.description() << '\n';
    return 2;
  }
  if (argc - first < 1) {
    std::cerr
        << "usage: qvsql [--password-file=FILE|--password-env=NAME|--password-prompt] CONNECTION-STRING "
           "[STATEMENT ...]\n";
    return 2;
  }
  std::string connection = argv[first];
  try {
    if (!qv::sql::ParseConnectionString(connection).password.empty()) {
      std::cerr
          << "qvsql: a password on the command line is visible to every user of the machine; give it with "
             "--password-file=FILE, --password-env=NAME or --password-prompt\n";
      return 2;
    }
  } catch (const qv::Error&) {
    // Open reports a malformed string.
  }
  if (havePassword) connection = WithPassword(connection, password);
  qv::sources::Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Mode = qv::sources::kModeReadWrite;
  try {
    cn.Open(connection);
  } catch (const qv::Error& e) {
    ReportError(e);
    return 1;
  }
  std::fill(connection.begin(), connection.end(), '\0');
  std::fill(password.begin(), password.end(), '\0');
  bool ok = true;
  if (argc - first > 1) {
    for (int i = first + 1; i < argc && !stopped; ++i) ok = Run(cn, argv[i]) && ok;
  } else {
    for (std::string line; !stopped && std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line.rfind("--", 0) == 0) continue;
      ok = Run(cn, line) && ok;
    }
  }
  try {
    cn.Close();
  } catch (const qv::Error& e) {
    if (!stopped) ReportError(e);  // after a stop it repeats the failure already reported
    ok = false;
  }
  return ok ? 0 : 1;
}
