// Copying the rows of one table into another of the same file, page by page, without decoding a
// value (the engine side of "SELECT a1.* INTO new FROM old AS a1").
//
// AppendRows adds every row `source` holds when it starts to `target`. When both tables lay out
// their rows the same way (the same columns by number, type, size, variable index, fixed offset,
// precision and scale), each row's stored bytes are valid for the target as they are and are
// copied as they are; when the same columns are only placed differently, each row is rebuilt from
// its cells' stored bytes (CompareRowLayouts). No value is decoded or encoded. Long values (memo, OLE) kept
// inside the row go with it; those on long-value (LVAL) pages, one page or a chain of pages, get new LVAL
// rows of their own and the row's pointer is rewritten. The target's row count and autonumber counter follow.
//
// The copy runs as several WriteOperations, each writing at most `pagesPerOperation` pages, so a
// copy of any size holds only a bounded number of pages in memory (the writer checkpoints between
// operations). The new pages are listed in no usage map until the last operation, which links
// them all to the target together with its new row count: until then, every reader (in this
// process or, after a checkpoint, any other) sees the target exactly as it was. A copy that fails
// half-way frees every page it wrote; a process killed half-way leaves the target as it was, with
// the pages written so far unlisted (lost space, not damage). While the copy runs it holds the
// file's write lock, so no other connection of the process changes either table meanwhile.
//
// Refused with 3251 before anything is written: targets with indexes, system targets, attachment,
// multi-value and calculated columns, and tables whose columns differ (the message names the
// first column that differs). 3376 when a table does not exist; 3027, 3251 as FileWriter::Attach
// refuses files. See docs/formats/jet-writing.md, "Copying a table".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/jet/database.h"

namespace qv::jet {

struct CopyOptions {
  // Pages one WriteOperation writes before it commits and the next one starts.
  std::size_t pagesPerOperation = 256;
  // Called after each operation but the last committed, with the rows copied so far. An
  // exception thrown from it stops the copy as any failure does.
  std::function<void(std::uint64_t rows)> progress;
  // Rebuild every row from its cells even when the layouts are identical (this leaves out the
  // bytes of deleted columns a stored row may still carry).
  bool rebuildRows = false;
};

// Returns the number of rows appended.
std::uint64_t AppendRows(Database& db, const std::string& source, const std::string& target,
                         const CopyOptions& options = {});

// How rows of `source` become rows of `target` (columns matched by position):
//  - kIdentical: the same column numbers, fixed offsets and variable indexes: stored rows are
//    copied byte for byte;
//  - kRearranged: the same columns placed differently (deleted or inserted columns, another
//    order of fixed columns): each row is rebuilt from its cells' stored bytes, still without
//    decoding a value.
// Throws 3251 naming the first column that differs in type, storage (fixed or variable),
// calculated or not, size (a target text or binary column may be longer, not shorter),
// precision or scale, or when the column counts differ.
enum class RowLayoutMatch { kIdentical, kRearranged };
RowLayoutMatch CompareRowLayouts(const TableDefinition& source, const TableDefinition& target,
                                 const std::string& file);

// SELECT a1.* INTO newName FROM source AS a1: CREATE TABLE `newName` with the source's columns
// (CopyColumns) and AppendRows. Returns the rows copied. Checked before anything is written: the
// source exists (3376), its columns can be created and take its rows as stored (3251: attachment
// and multi-value, calculated, Date/Time Extended and fixed-length text columns), the new name
// (CreateTable: 3010 taken, 3125 not valid). When the copy fails, the new table is dropped again;
// a process killed during the copy leaves it empty, never half-filled. The new table's
// autonumber counter is at least the source's.
std::uint64_t CopyTable(Database& db, const std::string& source, const std::string& newName,
                        const CopyOptions& options = {});

// The columns of a copy of `source`: names, types, sizes, precision and scale in column order; a
// Long autonumber stays one. Not kept: NOT NULL, hyperlink flags, properties, indexes. Throws
// 3251 for attachment and multi-value columns.
std::vector<qv::Column> CopyColumns(const TableDefinition& source, const Layout& layout);

}  // namespace qv::jet
