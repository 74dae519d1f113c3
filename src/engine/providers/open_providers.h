// The two provider kinds, opened by OpenProvider once the connection string has chosen one.
#pragma once

#include <memory>

#include "engine/providers/provider.h"
#include "engine/sql/connection_string.h"

namespace qv::providers {

std::unique_ptr<Provider> OpenAccessProvider(const qv::sql::ConnectionString& cs, const ProviderOptions& options);
std::unique_ptr<Provider> OpenParadoxProvider(const qv::sql::ConnectionString& cs);

// The text of a statement for error descriptions: at most 200 characters.
std::string StatementExcerpt(std::string_view sql);

}  // namespace qv::providers
