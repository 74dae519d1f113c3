#include "engine/jet/rollback_journal.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/bytes.h"
#include "engine/core/error.h"

namespace qv::jet {

std::string JournalPathFor(const std::string& databasePath) { return databasePath + "-journal"; }

std::uint32_t JournalChecksum(std::span<const std::uint8_t> bytes, std::uint32_t seed) {
  std::uint32_t h = seed;
  for (auto b : bytes) {
    h ^= b;
    h *= 16777619u;
  }
  return h;
}

namespace {

[[noreturn]] void IoError(const std::string& path, const char* what) {
  throw Error(WriteErrorNumber(errno), std::string("Disk error ") + what + " '" + path + "': " + std::strerror(errno), path);
}

bool ReadAll(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t len) {
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = ::pread(fd, out + done, len - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void WriteAll(int fd, std::uint64_t offset, const std::uint8_t* in, std::size_t len, const std::string& path) {
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = ::pwrite(fd, in + done, len - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(path, "rolling back");
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool RecoverJournal(const std::string& databasePath, int fd, bool fdWritable) {
  const std::string jpath = JournalPathFor(databasePath);
  int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{jfd};
  std::uint8_t head[kJournalHeaderSize];
  bool valid = ReadAll(jfd, 0, head, sizeof head) && std::memcmp(head, kJournalMagic, 8) == 0 &&
               LoadU32(head + 8) == kJournalVersion &&
               LoadU32(head + 32) == JournalChecksum(std::span<const std::uint8_t>(head, 32));
  if (!valid) {
    // The header is written last: without it the database file was never touched.
    if (fdWritable) ::unlink(jpath.c_str());
    return false;
  }
  if (!fdWritable)
    throw Error(errc::kFileInUse,
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
    if (!ReadAll(jfd, at, rec.data(), rec.size())) break;
    std::uint32_t sum = JournalChecksum(std::span<const std::uint8_t>(rec.data(), 4 + pageSize));
    if (sum != LoadU32(rec.data() + 4 + pageSize)) break;
    std::uint32_t page = LoadU32(rec.data());
    WriteAll(fd, static_cast<std::uint64_t>(page) * pageSize, rec.data() + 4, pageSize, databasePath);
  }
  if (::ftruncate(fd, static_cast<off_t>(fileSize)) != 0) IoError(databasePath, "truncating");
  if (::fsync(fd) != 0) IoError(databasePath, "flushing");
  if (::unlink(jpath.c_str()) != 0 && errno != ENOENT) IoError(jpath, "removing");
  return true;
}

}  // namespace qv::jet
