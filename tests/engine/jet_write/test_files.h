// Helpers of the write tests: scratch copies of corpus files and running the oracle tools.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/jet/database.h"
#include "support/oracles.h"

namespace qv::jet::testing {

// Every row of `table`, in stored order.
inline std::vector<qv::Row> ReadAll(Database& db, const std::string& table, ReadOptions options = {}) {
  auto r = db.ReadTable(table, options);
  std::vector<qv::Row> rows;
  qv::Row row;
  while (r->Next(row)) rows.push_back(row);
  return rows;
}

inline std::string CorpusPath(const std::string& rel) {
  return std::string(QV_SHARED_DIR) + "/corpus/access/" + rel;
}

// A fresh, writable temporary folder removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvjetwrite-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Copies a corpus file into the folder (writable) and returns its path.
  std::string Copy(const std::string& corpusRel, const std::string& name) const {
    std::string to = Path(name);
    std::filesystem::copy_file(CorpusPath(corpusRel), to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return to;
  }

 private:
  std::string dir_;
};

inline qv::Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return qv::Bytes(std::istreambuf_iterator<char>(in), {});
}

// Runs a shell command and returns its standard output; `status` gets the exit status.
inline std::string Run(const std::string& cmd, int* status = nullptr) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = ::pclose(p);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Whether the oracle runs; a missing one fails the test under CI and skips it elsewhere.
inline bool HaveMdbTools() {
  return qv::testing::OracleAvailable(qv::testing::Oracle::kMdbTools);
}
inline std::string MdbReaderDump() {
  return qv::testing::MdbReaderScript();
}
inline bool HaveMdbReader() {
  return qv::testing::OracleAvailable(qv::testing::Oracle::kMdbReader);
}

}  // namespace qv::jet::testing
