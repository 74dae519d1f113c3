#include "engine/sql/ddl_types.h"

#include <gtest/gtest.h>

#include "engine/core/error.h"

namespace qv::sql {
namespace {

TEST(DdlTypes, EveryNameAndItsColumn) {
  struct Row {
    const char* name;
    ColumnType type;
    std::uint32_t size;
    int adoType;
    bool autoIncrement;
  };
  const Row rows[] = {
      {"INT", ColumnType::Int32, 0, 3, false},
      {"INTEGER", ColumnType::Int32, 0, 3, false},
      {"LONG", ColumnType::Int32, 0, 3, false},
      {"SHORT", ColumnType::Int16, 0, 2, false},
      {"SMALLINT", ColumnType::Int16, 0, 2, false},
      {"BYTE", ColumnType::Byte, 0, 17, false},
      {"COUNTER", ColumnType::Int32, 0, 3, true},
      {"AUTOINCREMENT", ColumnType::Int32, 0, 3, true},
      {"TEXT", ColumnType::Text, 255, 202, false},
      {"MEMO", ColumnType::Memo, 0, 203, false},
      {"LONGTEXT", ColumnType::Memo, 0, 203, false},
      {"FLOAT", ColumnType::Double, 0, 5, false},
      {"DOUBLE", ColumnType::Double, 0, 5, false},
      {"REAL", ColumnType::Single, 0, 4, false},
      {"SINGLE", ColumnType::Single, 0, 4, false},
      {"DECIMAL", ColumnType::Decimal, 0, 131, false},
      {"CURRENCY", ColumnType::Currency, 0, 6, false},
      {"MONEY", ColumnType::Currency, 0, 6, false},
      {"DATETIME", ColumnType::DateTime, 0, 7, false},
      {"DATE", ColumnType::DateTime, 0, 7, false},
      {"TIME", ColumnType::DateTime, 0, 7, false},
      {"BIT", ColumnType::Boolean, 0, 11, false},
      {"YESNO", ColumnType::Boolean, 0, 11, false},
      {"LOGICAL", ColumnType::Boolean, 0, 11, false},
      {"OLEOBJECT", ColumnType::LongBinary, 0, 205, false},
      {"LONGBINARY", ColumnType::LongBinary, 0, 205, false},
      {"BINARY", ColumnType::Binary, 255, 204, false},
      {"GUID", ColumnType::Guid, 0, 72, false},
  };
  for (const Row& r : rows) {
    for (std::string name : {std::string(r.name), [&] {
                               std::string lower(r.name);
                               for (char& c : lower)
                                 c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                               return lower;
                             }()}) {
      SCOPED_TRACE(name);
      EXPECT_TRUE(IsTypeName(name));
      const Column c = ColumnForTypeName(name, {});
      EXPECT_EQ(c.type, r.type);
      EXPECT_EQ(c.size, r.size);
      EXPECT_EQ(c.adoType, r.adoType);
      EXPECT_EQ(c.autoIncrement, r.autoIncrement);
      EXPECT_TRUE(c.name.empty());
    }
  }
}

TEST(DdlTypes, SizesAndTheirLimits) {
  EXPECT_EQ(ColumnForTypeName("TEXT", {1}).size, 1u);
  EXPECT_EQ(ColumnForTypeName("TEXT", {255}).size, 255u);
  EXPECT_EQ(ColumnForTypeName("BINARY", {16}).size, 16u);
  const Column d = ColumnForTypeName("DECIMAL", {28, 28});
  EXPECT_EQ(d.precision, 28);
  EXPECT_EQ(d.scale, 28);
  EXPECT_EQ(ColumnForTypeName("decimal", {}).precision, 18);
  EXPECT_EQ(ColumnForTypeName("decimal", {1}).scale, 0);

  struct Bad {
    const char* name;
    std::vector<std::uint32_t> args;
    int number;
  };
  for (const Bad& b :
       {Bad{"TEXT", {0}, errc::kFieldDefinition}, Bad{"TEXT", {256}, errc::kFieldDefinition},
        Bad{"TEXT", {1, 1}, errc::kFieldDefinition}, Bad{"BINARY", {0}, errc::kFieldDefinition},
        Bad{"DECIMAL", {0}, errc::kFieldDefinition}, Bad{"DECIMAL", {29}, errc::kFieldDefinition},
        Bad{"DECIMAL", {4, 5}, errc::kFieldDefinition}, Bad{"DECIMAL", {4, 1, 1}, errc::kFieldDefinition},
        Bad{"INT", {4}, errc::kFieldDefinition}, Bad{"GUID", {16}, errc::kFieldDefinition},
        Bad{"VARCHAR", {}, errc::kInvalidFieldType}, Bad{"", {}, errc::kInvalidFieldType},
        Bad{"INT4", {}, errc::kInvalidFieldType}, Bad{"TEXTX", {}, errc::kInvalidFieldType}}) {
    SCOPED_TRACE(b.name);
    try {
      ColumnForTypeName(b.name, b.args);
      ADD_FAILURE() << "accepted";
    } catch (const qv::Error& e) {
      EXPECT_EQ(e.number(), b.number) << e.description();
      EXPECT_NE(e.description().find(b.name), std::string::npos) << e.description();
    }
  }
}

}  // namespace
}  // namespace qv::sql
