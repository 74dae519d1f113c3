// The two provider kinds, opened by OpenProvider once the connection string has chosen one.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "engine/core/error.h"
#include "engine/providers/provider.h"
#include "engine/sql/connection_string.h"

namespace qv::providers {

std::unique_ptr<Provider> OpenAccessProvider(const qv::sql::ConnectionString& cs);
std::unique_ptr<Provider> OpenParadoxProvider(const qv::sql::ConnectionString& cs);

// The text of a statement for error descriptions: at most 200 characters.
std::string StatementExcerpt(std::string_view sql);

// Runs `body`; a std::filesystem error from the folder's files (a link that loops, a name the
// system refuses) leaves as a qv::Error 3043 naming the file, as every error of a provider does.
template <typename Body>
decltype(auto) FolderErrorsAsErrors(Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (const std::filesystem::filesystem_error& e) {
    const std::string file = e.path1().string();
    throw Error(errc::kDiskIo, "Could not use '" + file + "': " + e.code().message() + ".", file);
  }
}

}  // namespace qv::providers
