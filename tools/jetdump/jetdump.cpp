// jetdump: looks inside an Access database with our own engine.
//
//   jetdump [options] FILE [header|catalog|schema|tabledefs|pages|rows|cells]
//     --password-file=FILE | --password-env=NAME | --password-prompt
//                     database password (also the JETDUMP_PASSWORD environment variable); never
//                     on the command line itself, where every user sees it in ps
//     --table=NAME    only this table (repeatable) for tabledefs, rows and --json
//     --json          the tables as the mdb-reader oracle (dump.js) prints them
//     --sort-rows     with --json: rows ordered by their JSON text (as dump.js --sort-rows)
//
// Without a command it prints the header and the schema rows. Exit status: 0 ok, 1 a table
// could not be read, 2 the file could not be opened. The stored password is never printed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/secrets.h"
#include "engine/jet/database.h"
#include "engine/jet/table_cursor.h"
#include "oracle_json.h"

using namespace qv::jet;

namespace {

std::string Basename(const std::string& p) {
  auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

void PrintHeader(Database& db) {
  const auto& h = db.header();
  std::printf("file: %s\nformat: %s\npage size: %u\npages: %u\ncode page: %u\nsort order: 0x%04x\n",
              db.path().c_str(), VersionName(h.version), h.layout.pageSize, db.pages().pageCount(),
              h.codePage, h.sortOrder);
  if (h.creationDate) std::printf("creation date: %.10g\n", *h.creationDate);
  std::printf("database password: %s\n", h.hasPassword ? "set" : "none");
  std::printf("page encoding: %s\n", h.officeEncrypted() ? "Office encryption"
                                     : h.rc4Encoded()    ? "RC4 (database key)"
                                                         : "none");
}

void PrintCatalog(Database& db) {
  std::printf("%-10s %-6s %-10s %s\n", "id", "type", "flags", "name");
  for (const auto& e : db.catalog())
    std::printf("0x%08x %-6d 0x%08x %s\n", static_cast<unsigned>(e.id), e.type, e.flags, e.name.c_str());
}

void PrintSchema(Database& db) {
  for (const auto& r : db.SchemaTables()) std::printf("%-14s %s\n", r.tableType.c_str(), r.tableName.c_str());
}

void PrintDefinition(Database& db, const std::string& name) {
  TableDefinition t = db.ReadDefinition(name);
  std::printf("table %s: tdef pages", t.name.c_str());
  for (auto p : t.pages) std::printf(" %u", p);
  std::printf("; rows %u; type 0x%02x; max columns %u; variable %u; next autonumber %u\n", t.rowCount,
              t.tableType, t.maxColumns, t.varColumns, t.nextAutoNumber);
  for (const auto& c : t.columns) {
    qv::Column core = ToCoreColumn(c, db.header().layout.jet3);
    std::printf("  column %-3u %-20s %-15s len %-5u flags 0x%02x ext 0x%02x fixed@%u var#%u ado %d", c.number,
                c.name.c_str(), TypeName(c.type), c.length, c.flags, c.extFlags, c.fixedOffset, c.varIndex,
                core.adoType);
    if (c.type == col_type::kNumeric) std::printf(" precision %u scale %u", c.precision, c.scale);
    std::printf("\n");
  }
  for (const auto& ix : t.indexes) {
    std::printf("  index %-20s number %d real %d type %u", ix.name.c_str(), ix.number, ix.realIndex, ix.type);
    if (const auto* ri = t.realIndexOf(ix)) {
      std::printf(" flags 0x%02x root %u columns", ri->flags, ri->firstPage);
      for (const auto& part : ri->columns) {
        const ColumnDef* c = t.columnByNumber(part.columnNumber);
        std::printf(" %s%s", c ? c->name.c_str() : "?", part.ascending ? "" : " DESC");
      }
    }
    if (ix.foreignKey()) std::printf(" references tdef %u index %d", ix.relTablePage, ix.relIndex);
    std::printf("\n");
  }
}

void PrintPages(Database& db) {
  auto& store = db.pages();
  for (std::uint32_t p = 0; p < store.pageCount(); ++p) {
    try {
      auto page = store.ReadPage(p);
      std::uint8_t type = (*page)[0];
      std::printf("page %u: type 0x%02x", p, type);
      if (type == page_type::kData) {
        bool lval = std::memcmp(page->data() + 4, "LVAL", 4) == 0;
        if (lval)
          std::printf(" LVAL");
        else
          std::printf(" data of tdef %u", qv::LoadU32(page->data() + 4));
        DataPageReader r(store, db.header().layout, p, *page);
        std::printf(", %u rows", r.rowCount());
      } else if (type == page_type::kTableDef) {
        std::printf(" table definition, next %u", qv::LoadU32(page->data() + 4));
      }
      std::printf("\n");
    } catch (const qv::Error& e) {
      std::printf(" damaged: %s\n", e.description().c_str());  // go on with the next page
    }
  }
}

// Every stored cell as hexadecimal, for looking at encodings the decoder does not know yet.
void PrintCells(Database& db, const std::string& name) {
  auto cursor = db.OpenCursor(name);
  std::vector<Cell> cells;
  while (cursor->NextRow(cells)) {
    std::printf("row at page %u slot %u\n", cursor->position().page, cursor->position().row);
    const auto& cols = cursor->definition().columns;
    for (std::size_t i = 0; i < cols.size(); ++i) {
      if (cols[i].maskBoolean()) {
        std::printf("  %-20s %s\n", cols[i].name.c_str(), cells[i].flag ? "true" : "false");
      } else if (cells[i].null) {
        std::printf("  %-20s NULL\n", cols[i].name.c_str());
      } else {
        std::printf("  %-20s %s\n", cols[i].name.c_str(), qv::ToHex(cells[i].bytes).c_str());
      }
    }
  }
}

// Every row as one line of tab-separated value texts (the engines' locale-independent form;
// NULL for null), written in large blocks: the text is decoded straight into the block.
int PrintRows(Database& db, const std::string& name) {
  TableRowReader reader(db.OpenCursor(name), ReadOptions{true});
  const auto& cols = reader.columns();
  std::string out;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i) out += '\t';
    out += cols[i].name;
  }
  out += '\n';
  constexpr std::size_t kBlock = 1 << 16;
  out.reserve(2 * kBlock);
  try {
    while (reader.NextText(out, '\t', "NULL")) {
      out += '\n';
      if (out.size() >= kBlock) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
  } catch (const qv::Error&) {
    // The rows before a damaged one are still printed, as they were read; the value the row
    // stopped in is not (the partly appended line is cut off).
    std::size_t lineStart = out.rfind('\n');
    out.resize(lineStart == std::string::npos ? 0 : lineStart + 1);
    std::fwrite(out.data(), 1, out.size(), stdout);
    throw;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  static char outBuffer[1 << 16];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
  OpenOptions options;
  if (const char* env = std::getenv("JETDUMP_PASSWORD")) options.password = env;
  std::vector<std::string> tables, positional;
  bool json = false, sortRows = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    try {
      if (qv::TakePasswordOption(a, options.password)) continue;
    } catch (const qv::Error& e) {
      std::fprintf(stderr, "jetdump: %s\n", e.description().c_str());
      return 2;
    }
    if (a.rfind("--table=", 0) == 0)
      tables.push_back(a.substr(8));
    else if (a == "--json")
      json = true;
    else if (a == "--sort-rows")
      sortRows = true;
    else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "jetdump: unknown option %s\n", a.c_str());
      return 2;
    } else
      positional.push_back(a);
  }
  if (positional.empty() || positional.size() > 2) {
    std::fprintf(stderr,
                 "usage: jetdump [--password-file=FILE|--password-env=NAME|--password-prompt] "
                 "[--table=NAME]... [--json [--sort-rows]] FILE "
                 "[header|catalog|schema|tabledefs|pages|rows|cells]\n");
    return 2;
  }
  const std::string file = positional[0];
  const std::string command = positional.size() > 1 ? positional[1] : "";
  std::unique_ptr<Database> db;
  try {
    db = Database::Open(file, options);
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "%s: cannot open: error %d: %s\n", Basename(file).c_str(), e.number(),
                 e.description().c_str());
    return 2;
  }
  std::fill(options.password.begin(), options.password.end(), '\0');
  int status = 0;
  try {
    if (tables.empty()) {
      tables = db->UserTableNames();
      std::sort(tables.begin(), tables.end());
    }
    if (json) {
      std::string out = "{\n \"file\": " + tools::JsonString(Basename(file)) +
                        ",\n \"format\": " + tools::JsonString(VersionName(db->header().version)) +
                        ",\n \"tables\": [\n";
      for (std::size_t i = 0; i < tables.size(); ++i) {
        std::string t = tools::TableJson(*db, tables[i], sortRows);
        if (t.find("\n   \"error\": ") != std::string::npos) status = 1;
        out += t + (i + 1 < tables.size() ? ",\n" : "\n");
      }
      out += " ]\n}\n";
      std::fwrite(out.data(), 1, out.size(), stdout);
      return status;
    }
    if (command.empty() || command == "header") PrintHeader(*db);
    if (command.empty() || command == "schema") PrintSchema(*db);
    if (command == "catalog") PrintCatalog(*db);
    if (command == "tabledefs")
      for (const auto& t : tables) PrintDefinition(*db, t);
    if (command == "pages") PrintPages(*db);
    if (command == "cells")
      for (const auto& t : tables) PrintCells(*db, t);
    if (command == "rows")
      for (const auto& t : tables) {
        std::printf("== %s\n", t.c_str());
        PrintRows(*db, t);
      }
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "%s: error %d: %s [%s]\n", Basename(file).c_str(), e.number(),
                 e.description().c_str(), e.where().c_str());
    return 1;
  }
  return status;
}
