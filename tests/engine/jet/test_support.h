// Helpers shared by the Access engine tests: where the corpus and the tools are, running a
// command and capturing its output, reading dump.js-style JSON dumps.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qv::jet::testing {

std::string CorpusDir();                         // ../shared/corpus/access
std::string OracleScript();                      // build/oracles/mdbreader-oracle/dump.js
std::string JetdumpPath();                       // build/tools/jetdump/jetdump
std::vector<std::string> CorpusFiles();          // relative paths of every .mdb/.accdb, sorted
std::map<std::string, std::string> Passwords();  // relative path -> password

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};
// Runs argv[0] with the arguments (no shell), with `env` added to the environment.
RunResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// One table of a dump.js-style JSON document.
struct DumpTable {
  std::string name;  // JSON-unescaped
  std::string rowCount;
  std::vector<std::string> columns;  // one JSON object per line, no trailing comma
  std::vector<std::string> rows;     // one JSON array per line, no trailing comma
  bool hasError = false;
  std::string error;
};
std::vector<DumpTable> ParseDump(const std::string& text);

std::string JsonUnescape(const std::string& quoted);
// Top-level elements of a one-line JSON array ("[a,b,[c]]" -> "a", "b", "[c]").
std::vector<std::string> SplitJsonArray(const std::string& line);

}  // namespace qv::jet::testing
