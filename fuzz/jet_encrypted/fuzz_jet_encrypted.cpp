// Fuzz target for encrypted and password-protected Access files read whole: the password is
// proved, the page cipher made, and every page the tables reach is decrypted and decoded.
// Input: one byte N, N bytes of password (UTF-8), then the database file. The engine must read
// it or throw qv::Error; anything else (a crash, another exception, a sanitizer report) is a
// finding. Seeds: make_seeds.sh builds them from the corpus' protected files.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "engine/core/error.h"
#include "engine/jet/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size < 1u + data[0]) return 0;
  qv::jet::OpenOptions options;
  options.password.assign(reinterpret_cast<const char*>(data + 1), data[0]);
  const std::uint8_t* file = data + 1 + data[0];
  const std::size_t fileSize = size - 1 - data[0];
  // A memory file gives every input its own inode, so no page cache is shared between inputs.
  int fd = memfd_create("jet_encrypted_fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < fileSize) {
    ssize_t n = write(fd, file + done, fileSize - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    auto db = qv::jet::Database::Open(path, options);
    db->SchemaTables();
    for (const auto& e : db->catalog()) {
      if (!e.isTable()) continue;
      try {
        qv::jet::ReadOptions skip;
        skip.skipUnreadableColumns = true;
        auto reader = db->ReadTable(e.name, skip);
        qv::Row row;
        while (reader->Next(row)) {
        }
      } catch (const qv::Error&) {
      }
    }
  } catch (const qv::Error&) {
  }
  close(fd);
  return 0;
}
