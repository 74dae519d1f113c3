// The independent readers the tests compare our files with: mdbtools (mdb-tables, mdb-export,
// mdb-count on PATH), mdb-reader (dump.js under Node) and pxdump over pxlib, the last two
// prepared by scripts/setup.sh. One rule for a missing one: under CI=true the test fails, since
// a machine that is meant to check must not pass without checking; elsewhere the test is marked
// skipped with the reason and the checks that need the oracle are left out.
#pragma once

#include <string>

namespace qv::testing {

enum class Oracle { kMdbTools, kMdbReader, kPxdump };

std::string MdbReaderScript();  // build/oracles/mdbreader-oracle/dump.js
std::string PxdumpPath();       // build/oracles/pxdump

// True when `oracle` can run. When it cannot, the running test is failed (CI=true) or marked
// skipped with the reason, and false comes back: the caller leaves out what needs the oracle.
bool OracleAvailable(Oracle oracle);

}  // namespace qv::testing
