// Names of the ADO data-type numbers that record-set fields report, as the Paradox-to-Access
// transfer uses them to choose column types by the words a name contains.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv::sources {

// The name of ADO's data-type enumeration member with this number, in its own mixed case
// ("adVarWChar"); std::nullopt for a number that is not a member. The array flag 8192 is not
// a type and gives std::nullopt too.
std::optional<std::string> DataTypeName(std::int16_t type);

}  // namespace qv::sources
