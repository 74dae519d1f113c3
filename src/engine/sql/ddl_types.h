// The data type names of CREATE TABLE and the column each stands for. The providers use this to
// turn a field definition into a column of the engine-neutral model.
//
//   INT, INTEGER, LONG            Int32                  adInteger (3)
//   SHORT, SMALLINT               Int16                  adSmallInt (2)
//   BYTE                          Byte                   adUnsignedTinyInt (17)
//   COUNTER, AUTOINCREMENT        Int32, auto-increment  adInteger (3)
//   TEXT[(n)]                     Text, n 1..255, 255 when missing   adVarWChar (202)
//   MEMO, LONGTEXT                Memo                   adLongVarWChar (203)
//   FLOAT, DOUBLE                 Double                 adDouble (5)
//   REAL, SINGLE                  Single                 adSingle (4)
//   DECIMAL[(p[,s])]              Decimal, p 1..28 (18 when missing), s 0..p (0)   adNumeric (131)
//   CURRENCY, MONEY               Currency               adCurrency (6)
//   DATETIME, DATE, TIME          DateTime               adDate (7)
//   BIT, YESNO, LOGICAL           Boolean                adBoolean (11)
//   OLEOBJECT, LONGBINARY         LongBinary             adLongVarBinary (205)
//   BINARY[(n)]                   Binary, n 1..255, 255 when missing  adVarBinary (204)
//   GUID                          Guid                   adGUID (72)
//
// DATE and TIME are, as in the Access engine, other names of DATETIME: an Access column has one
// date/time type, so both keep the time of day as well as the date.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/core/value.h"

namespace qv::sql {

// The column for a type name (any letter case) and the numbers given in parentheses after it.
// The column's name is left empty. An unknown name throws qv::Error numbered
// errc::kInvalidFieldType; numbers a type does not take, or out of range, throw
// errc::kFieldDefinition. Descriptions name the type but no position (the parser adds that).
qv::Column ColumnForTypeName(std::string_view typeName, const std::vector<std::uint32_t>& arguments);

// True when `typeName` is one of the names above (any letter case).
bool IsTypeName(std::string_view typeName);

}  // namespace qv::sql
