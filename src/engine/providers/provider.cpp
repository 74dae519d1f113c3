#include "engine/providers/provider.h"

#include "engine/providers/open_providers.h"

namespace qv::providers {

std::unique_ptr<Provider> OpenProvider(std::string_view connectionString) {
  const qv::sql::ConnectionString cs = qv::sql::ParseConnectionString(connectionString);
  switch (cs.provider) {
    case qv::sql::Provider::AccessJet4:
    case qv::sql::Provider::AccessAce12:
      return OpenAccessProvider(cs);
    case qv::sql::Provider::Paradox:
      return OpenParadoxProvider(cs);
  }
  return nullptr;  // unreachable: the parser knows no other provider
}

std::string StatementExcerpt(std::string_view sql) {
  constexpr std::size_t kMax = 200;
  if (sql.size() <= kMax) return std::string(sql);
  return std::string(sql.substr(0, kMax)) + "...";
}

}  // namespace qv::providers
