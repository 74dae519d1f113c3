#include "engine/core/error.h"

#include <cstdio>

namespace qv {

std::string Where(const std::string& file, const char* unit, std::int64_t number, std::int64_t offset) {
  char buf[96];
  std::snprintf(buf, sizeof buf, ", %s %lld, offset 0x%llx", unit, static_cast<long long>(number),
                static_cast<unsigned long long>(offset));
  return file + buf;
}

void ThrowCorrupt(const std::string& what, const std::string& where) {
  throw Error(errc::kCorrupt, where.empty() ? what : what + " (" + where + ")", where);
}

}  // namespace qv
