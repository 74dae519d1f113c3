// Fuzz target: the input is a whole database file. The engine must read it or throw qv::Error.
//   ./jet_fuzz -max_len=262144 corpus_dir/   (seed with small files of ../shared/corpus/access)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/core/error.h"
#include "engine/jet/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A memory file gives every input its own inode, so no page cache is shared between inputs.
  int fd = memfd_create("jet_fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    auto db = qv::jet::Database::Open(path);
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
