// qvsql: opens a connection string and runs statements on it, printing what they give.
//
//   qvsql CONNECTION-STRING [STATEMENT ...]
//
// Without statements on the command line, statements are read from standard input, one per
// line (empty lines and lines starting with "--" are skipped). The word SCHEMA prints the
// table-schema rows (OpenSchema(20)). A select that returns rows prints a header line
//   #	NAME:TYPE	NAME:TYPE ...
// (TYPE is the ADO data-type number), one line per row with the values tab-separated (NULL for
// a null; tab, newline, carriage return and backslash escaped as \t \n \r \\), and a last line
//   #	N rows
// Any other statement is executed and prints "ok". A failure prints "error NUMBER: DESCRIPTION"
// on standard error and the run goes on with the next statement. Exit status: 0 when every
// statement succeeded, 1 when one failed (or the connection could not be opened), 2 for usage.
#include <cstdio>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/sql/parser.h"
#include "sources/database_access.h"

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
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
    std::cout.flush();
    std::cerr << "error " << e.number() << ": " << e.description() << '\n';
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: qvsql CONNECTION-STRING [STATEMENT ...]\n";
    return 2;
  }
  qv::sources::Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Mode = qv::sources::kModeReadWrite;
  try {
    cn.Open(argv[1]);
  } catch (const qv::Error& e) {
    std::cerr << "error " << e.number() << ": " << e.description() << '\n';
    return 1;
  }
  bool ok = true;
  if (argc > 2) {
    for (int i = 2; i < argc; ++i) ok = Run(cn, argv[i]) && ok;
  } else {
    for (std::string line; std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line.rfind("--", 0) == 0) continue;
      ok = Run(cn, line) && ok;
    }
  }
  cn.Close();
  return ok ? 0 : 1;
}
