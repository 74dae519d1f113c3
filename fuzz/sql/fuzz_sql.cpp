// libFuzzer target for statement texts and connection strings: any input must parse or fail
// with qv::Error; a parsed statement must read back the same from its canonical text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/core/error.h"
#include "engine/sql/connection_string.h"
#include "engine/sql/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const std::string canonical = qv::sql::FormatStatement(qv::sql::ParseStatement(text));
    if (qv::sql::FormatStatement(qv::sql::ParseStatement(canonical)) != canonical) std::abort();
  } catch (const qv::Error&) {
  }
  try {
    (void)qv::sql::ParseConnectionString(text);
  } catch (const qv::Error&) {
  }
  return 0;
}
