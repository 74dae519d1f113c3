// The encrypted databases of the shared corpus, with the scheme each one uses (read from its
// page 0 by hand and matching the corpus INDEX.md) and the password from passwords.tsv.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/jet/crypto/page_codec.h"

namespace qv::jet::crypto::test {

struct CorpusFile {
  const char* path;  // below corpus/access
  Scheme scheme;
  std::uint32_t pageSize;
  const char* twin;  // an unencrypted copy of the same database, or nullptr
};

// Names the file in test output instead of dumping the struct's bytes.
inline void PrintTo(const CorpusFile& file, std::ostream* os) {
  *os << file.path;
}

inline const std::vector<CorpusFile>& EncryptedCorpus() {
  static const std::vector<CorpusFile> files = {
      {"jackcessencrypt/src/test/data/db-nonstandard.accdb", Scheme::kAesNonStandard, 4096, nullptr},
      {"jackcessencrypt/src/test/data/db2007-enc.accdb", Scheme::kAgile, 4096, nullptr},
      {"jackcessencrypt/src/test/data/db2007-oldenc.accdb", Scheme::kRc4CryptoApi, 4096, nullptr},
      {"jackcessencrypt/src/test/data/db2013-enc.accdb", Scheme::kAgile, 4096, nullptr},
      {"mdb-reader/test/data/real/ASampleDatabase-protected.accdb", Scheme::kAgile, 4096, nullptr},
      {"mdb-reader/test/encryption/data/office-agile-4.2.accdb", Scheme::kRc4CryptoApi, 4096, nullptr},
      {"mdb-reader/test/encryption/data/office-agile-4.4.accdb", Scheme::kAgile, 4096,
       "mdb-reader/test/password/data/V2010_no-password.accdb"},
      {"mdb-reader/test/password/data/V2010_with-password.accdb", Scheme::kAgile, 4096,
       "mdb-reader/test/password/data/V2010_no-password.accdb"},
      {"ucanaccess/src/main/resources/password-protected.accdb", Scheme::kRc4CryptoApi, 4096, nullptr},
      {"jackcessencrypt/src/test/data/db-enc.mdb", Scheme::kJetRc4, 4096, nullptr},
      {"jackcessencrypt/src/test/data/db97-enc.mdb", Scheme::kJetRc4, 2048, nullptr},
  };
  return files;
}

inline std::string CorpusPath(const std::string& relative) {
  return std::string(QV_SHARED_DIR) + "/corpus/access/" + relative;
}

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// passwords.tsv: path, password, source; '#' starts a comment line.
inline std::string CorpusPassword(const std::string& relative) {
  static const std::map<std::string, std::string> passwords = [] {
    std::map<std::string, std::string> out;
    std::ifstream in(CorpusPath("passwords.tsv"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      std::string path, password;
      std::getline(fields, path, '\t');
      std::getline(fields, password, '\t');
      out[path] = password;
    }
    return out;
  }();
  auto it = passwords.find(relative);
  return it == passwords.end() ? std::string() : it->second;
}

}  // namespace qv::jet::crypto::test
