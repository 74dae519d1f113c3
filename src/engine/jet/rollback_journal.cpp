#include "engine/jet/rollback_journal.h"

#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/error.h"

namespace qv::jet {

std::string JournalPathFor(const std::string& databasePath) {
  return databasePath + "-journal";
}

std::uint32_t JournalChecksum(std::span<const std::uint8_t> bytes, std::uint32_t seed) {
  std::uint32_t h = seed;
  for (auto b : bytes) {
    h ^= b;
    h *= 16777619u;
  }
  return h;
}

bool RecoverJournal(const std::string& databasePath, File& database, bool writable) {
  FileSystem& files = database.fileSystem();
  const std::string jpath = JournalPathFor(databasePath);
  std::unique_ptr<File> journal;
  try {
    journal = files.Open(jpath, OpenMode::kRead);
  } catch (const Error&) {
    return false;
  }
  // A record read whole, or false where the journal ends (or cannot be read) before it.
  auto readAll = [&journal](std::uint64_t offset, std::span<std::uint8_t> out) {
    try {
      return journal->ReadAt(offset, out) == out.size();
    } catch (const Error&) {
      return false;
    }
  };
  std::uint8_t head[kJournalHeaderSize];
  bool valid = readAll(0, head) && std::memcmp(head, kJournalMagic, 8) == 0 &&
               LoadU32(head + 8) == kJournalVersion &&
               LoadU32(head + 32) == JournalChecksum(std::span<const std::uint8_t>(head, 32));
  if (!valid) {
    // The header is written last: without it the database file was never touched.
    if (writable) {
      try {
        files.Remove(jpath);
      } catch (const Error&) {
        // Harmless where it stays: it is never taken for a hot journal.
      }
    }
    return false;
  }
  if (!writable)
    throw Error(
        errc::kFileInUse,
        "The database '" + databasePath +
            "' was left half-written by a program that stopped; it must be opened with write access once "
            "so the interrupted change can be undone.",
        databasePath);
  const std::uint32_t pageSize = LoadU32(head + 12);
  const std::uint32_t records = LoadU32(head + 20);
  const std::uint64_t fileSize = LoadU64(head + 24);
  if (pageSize != 2048 && pageSize != 4096)
    throw Error(errc::kCorrupt, "The journal '" + jpath + "' names a bad page size.", jpath);
  std::vector<std::uint8_t> rec(8 + pageSize);
  std::uint64_t at = kJournalHeaderSize;
  for (std::uint32_t i = 0; i < records; ++i, at += rec.size()) {
    if (!readAll(at, rec)) break;
    std::uint32_t sum = JournalChecksum(std::span<const std::uint8_t>(rec.data(), 4 + pageSize));
    if (sum != LoadU32(rec.data() + 4 + pageSize)) break;
    std::uint32_t page = LoadU32(rec.data());
    database.WriteAt(static_cast<std::uint64_t>(page) * pageSize,
                     std::span<const std::uint8_t>(rec.data() + 4, pageSize));
  }
  database.Truncate(fileSize);
  database.Sync();
  files.Remove(jpath);
  return true;
}

}  // namespace qv::jet
