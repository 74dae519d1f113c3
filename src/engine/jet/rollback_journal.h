// The rollback journal kept beside a database while a checkpoint writes it ("<file>-journal").
// Before any page of the database file is overwritten, the journal holds the page as it was at
// the previous checkpoint; a journal that is complete (valid header) when a database is opened
// means a checkpoint was cut short, and the original pages are put back before anything reads
// the file. Format and protocol: docs/formats/jet-writing.md, "Rollback journal".
//
//   header (64 bytes): "QVJETJNL" | u32 version (1) | u32 page size | u32 pages at the last
//                      checkpoint | u32 record count | u64 file size at the last checkpoint |
//                      u32 checksum of bytes 0..31 | zero padding
//   record:            u32 page number | page bytes as stored on disk | u32 checksum
// Every number is little-endian; checksums are FNV-1a (32 bit). The header is written last (and
// synced) so a journal without a valid header never leads to a rollback.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/core/file_system.h"

namespace qv::jet {

inline constexpr char kJournalMagic[8] = {'Q', 'V', 'J', 'E', 'T', 'J', 'N', 'L'};
inline constexpr std::uint32_t kJournalVersion = 1;
inline constexpr std::size_t kJournalHeaderSize = 64;

std::string JournalPathFor(const std::string& databasePath);
std::uint32_t JournalChecksum(std::span<const std::uint8_t> bytes, std::uint32_t seed = 2166136261u);

// Rolls back an interrupted checkpoint of the database open as `database` (read-write) when its
// journal is complete, then removes the journal. Returns true when pages were put back. A journal
// without a valid header, or one whose records stop early, ends with the records that check out
// (the database was not written past them). Throws qv::Error 3045 when a hot journal exists but
// the database cannot be written (opened read-only), and 3043 (3026 for a full disk) on an I/O
// failure.
bool RecoverJournal(const std::string& databasePath, File& database, bool writable);

}  // namespace qv::jet
