// Adding rows to a table. Each Insert is one WriteOperation: the values are converted first (a
// value that does not fit throws before anything is written), then long values go to LVAL pages,
// the row goes to the table's last data page with room (or a new page, marked in the table's
// usage maps), the row's entries go into every index of the table (index_writer.h), and the
// table definition's row count (and autonumber) follow. When Insert returns, every connection to
// the file sees the row. A row that would break a unique index (3022) or put a NULL into a
// primary key or required index (3058) is refused before anything is written.
//
// Refused with 3251 before anything is written: tables in relationships (their rules are not
// checked yet), tables with indexes on columns whose keys cannot be made (Decimal, OLE,
// attachments, text in a sort order other than General), system tables, linked tables, and
// columns of kinds this version cannot write (attachments, multi-value, calculated, extended
// dates). See docs/formats/jet-writing.md, "Inserting rows".
//
// Another connection to the file may drop or recreate the table while an inserter lives: each
// operation first checks, under the file's write lock, whether any connection changed the catalog
// since the definition was read. If so the table is looked up again on the pages: rows go on only
// when the catalog still names the same definition page and the definition has the same columns,
// indexes and page maps; otherwise the insert is refused with 3376 before anything is written.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/core/row_reader.h"
#include "engine/jet/database.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

// ACE and Access 97: each long-value column's owned-pages and free-space maps (column number ->
// map rows; 0 for a map the table lacks), as a table definition lists them after its names and
// index sections (on whichever page of its chain they fall). Empty for Jet4 tables.
std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> ReadLongValueMaps(PageStore& ps,
                                                                                   const Layout& l,
                                                                                   const TableDefinition& t);

class TableInserter {
 public:
  TableInserter(Database& db, const std::string& table);

  const TableDefinition& definition() const { return def_; }

  // One value per column in definition order; typed values or literal text (value_encoder.h).
  void Insert(const qv::Row& values);
  // Every row of `rows` (columns in the same order and number), many rows per operation. A bad
  // row stops the copy with an error; the rows before it stay (as separate inserts would).
  std::uint64_t InsertAll(qv::RowReader& rows);

 private:
  void CheckWritable() const;
  std::vector<EncodedValue> Encode(const qv::Row& values);
  // `values` as given (index keys are made from them, with autonumbers filled in).
  void Store(WriteOperation& op, std::vector<EncodedValue>& cells, const qv::Row& values);
  Bytes PlaceLongValue(FileWriter& w, const Bytes& data, std::uint16_t column);
  // `maps`: the page maps a new page goes into (owned pages, free-space pages; 0 = none).
  RowPointer PlaceRow(FileWriter& w, const Bytes& row, std::uint32_t owner, std::uint32_t& hint,
                      std::pair<std::uint32_t, std::uint32_t> maps, bool scanTable);

  // Refuses (3376) when another connection dropped or replaced the table (see the file comment).
  void CheckCatalog();

  std::shared_ptr<SharedFile> file_;
  std::unique_ptr<TextCodec> codec_;  // Jet3: the file's code page
  std::uint64_t rowsGiven_ = 0;       // rows handed to this inserter (errors name the row)
  std::uint64_t catalogGeneration_;   // the file's catalog generation def_ is known to match
  TableDefinition def_;
  std::uint32_t dataHint_ = 0;
  std::map<std::uint16_t, std::uint32_t> lvalHints_;  // per column (ACE keeps a map per column)
  // ACE: each long-value column's owned-pages and free-space maps, listed after the names.
  std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> lvalMaps_;
  bool scanned_ = false;
  bool writing_ = false;  // Store has begun changing pages for the current row
};

}  // namespace qv::jet
