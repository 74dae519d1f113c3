// Fuzz target: the input is a whole database file. The engine must read it or throw qv::Error.
//   ./jet_fuzz -max_len=262144 corpus_dir/   (seed with small files of ../shared/corpus/access)
#include <cstdint>

#include "common/read_access_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::fuzz::ReadAccessFile({data, size}, {});
  return 0;
}
