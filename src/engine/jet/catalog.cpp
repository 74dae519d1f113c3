#include "engine/jet/catalog.h"

namespace qv::jet {

namespace {
bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (std::size_t i = 0; prefix[i]; ++i) {
    if (i >= s.size()) return false;
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}
}  // namespace

bool IsUserTable(const CatalogEntry& e) {
  return e.isTable() && !e.systemFlagged() && !StartsWithNoCase(e.name, "MSys") &&
         !StartsWithNoCase(e.name, "~");
}

std::optional<std::string> SchemaTypeOf(const CatalogEntry& e) {
  switch (e.type) {
    case object_type::kTable:
      return IsUserTable(e) ? "TABLE" : "SYSTEM TABLE";
    case object_type::kAccessLink:
      return std::string("LINK");
    case object_type::kOdbcLink:
      return std::string("PASS-THROUGH");
    case object_type::kQuery:
      // MSysObjects.Flags of a query holds its kind in the high nibble of the low byte: 0 is a
      // select query (a view); crosstab, action, pass-through and union queries are procedures.
      if ((e.flags & 0xf0) == 0) return std::string("VIEW");
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace qv::jet
