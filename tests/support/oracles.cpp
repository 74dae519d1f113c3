#include "support/oracles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace qv::testing {
namespace {

bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

bool Present(Oracle oracle) {
  switch (oracle) {
    case Oracle::kMdbTools: {
      // Asked once: the answer does not change while the tests run.
      static const bool present =
          std::system("command -v mdb-tables >/dev/null 2>&1 && command -v mdb-export >/dev/null 2>&1 && "
                      "command -v mdb-count >/dev/null 2>&1") == 0;
      return present;
    }
    case Oracle::kMdbReader:
      return std::filesystem::exists(MdbReaderScript());
    case Oracle::kPxdump:
      return std::filesystem::exists(PxdumpPath());
  }
  return false;
}

std::string Missing(Oracle oracle) {
  switch (oracle) {
    case Oracle::kMdbTools:
      return "the mdbtools oracle (mdb-tables, mdb-export, mdb-count) is not installed; run scripts/setup.sh";
    case Oracle::kMdbReader:
      return "the mdb-reader oracle (" + MdbReaderScript() + ") is not set up; run scripts/setup.sh";
    case Oracle::kPxdump:
      return "the pxdump oracle (" + PxdumpPath() + ") is not built; run scripts/setup.sh";
  }
  return "an unknown oracle";
}

}  // namespace

std::string MdbReaderScript() { return std::string(QV_ORACLE_DIR) + "/mdbreader-oracle/dump.js"; }
std::string PxdumpPath() { return std::string(QV_ORACLE_DIR) + "/pxdump"; }

bool OracleAvailable(Oracle oracle) {
  if (Present(oracle)) return true;
  if (UnderCi()) {
    ADD_FAILURE() << Missing(oracle);
  } else {
    [&] { GTEST_SKIP() << Missing(oracle); }();
  }
  return false;
}

}  // namespace qv::testing
