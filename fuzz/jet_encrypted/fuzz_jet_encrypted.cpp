// Fuzz target for encrypted and password-protected Access files read whole: the password is
// proved, the page cipher made, and every page the tables reach is decrypted and decoded.
// Input: one byte N, N bytes of password (UTF-8), then the database file. The engine must read
// it or throw qv::Error; anything else (a crash, another exception, a sanitizer report) is a
// finding. Seeds: make_seeds.sh builds them from the corpus' protected files.
#include <cstdint>

#include "common/read_access_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size < 1u + data[0]) return 0;
  qv::jet::OpenOptions options;
  options.password.assign(reinterpret_cast<const char*>(data + 1), data[0]);
  qv::fuzz::ReadAccessFile({data + 1 + data[0], size - 1 - data[0]}, options);
  return 0;
}
