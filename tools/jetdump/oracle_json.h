// The JSON form of tables that the mdb-reader oracle (dump.js) prints, so a dump of ours and one
// of the oracle compare with diff: same keys, same order, same rendering of every value.
#pragma once

#include <string>
#include <vector>

#include "engine/jet/database.h"

namespace qv::jet::tools {

// JSON.stringify of a UTF-8 string.
std::string JsonString(const std::string& s);
// String(x) of a JavaScript number.
std::string JsNumber(double v);
// The shortest text that reads back as the same float32 (dump.js renderFloat32).
std::string JsFloat32(float v);

// One table object as dump.js prints it ("  {" ... "  }" lines without the trailing comma).
// `sortRows` orders the rows by their JSON text (dump.js --sort-rows).
std::string TableJson(Database& db, const std::string& name, bool sortRows = false);

}  // namespace qv::jet::tools
