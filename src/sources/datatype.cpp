#include "sources/datatype.h"

namespace qv::sources {

namespace {

struct TypeName {
  std::int16_t number;
  const char* name;
};

// ADO's DataTypeEnum, every member except the array flag (adArray, 8192).
constexpr TypeName kNames[] = {
    {20, "adBigInt"},
    {128, "adBinary"},
    {11, "adBoolean"},
    {8, "adBSTR"},
    {136, "adChapter"},
    {129, "adChar"},
    {6, "adCurrency"},
    {7, "adDate"},
    {133, "adDBDate"},
    {134, "adDBTime"},
    {135, "adDBTimeStamp"},
    {14, "adDecimal"},
    {5, "adDouble"},
    {0, "adEmpty"},
    {10, "adError"},
    {64, "adFileTime"},
    {72, "adGUID"},
    {9, "adIDispatch"},
    {3, "adInteger"},
    {13, "adIUnknown"},
    {205, "adLongVarBinary"},
    {201, "adLongVarChar"},
    {203, "adLongVarWChar"},
    {131, "adNumeric"},
    {138, "adPropVariant"},
    {4, "adSingle"},
    {2, "adSmallInt"},
    {16, "adTinyInt"},
    {21, "adUnsignedBigInt"},
    {19, "adUnsignedInt"},
    {18, "adUnsignedSmallInt"},
    {17, "adUnsignedTinyInt"},
    {132, "adUserDefined"},
    {204, "adVarBinary"},
    {200, "adVarChar"},
    {12, "adVariant"},
    {139, "adVarNumeric"},
    {202, "adVarWChar"},
    {130, "adWChar"},
};

}  // namespace

std::optional<std::string> DataTypeName(std::int16_t type) {
  for (const TypeName& entry : kNames) {
    if (entry.number == type) return std::string(entry.name);
  }
  return std::nullopt;
}

}  // namespace qv::sources
