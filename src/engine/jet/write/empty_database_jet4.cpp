// The empty Access 2000 (Jet4, .mdb) database as Access makes it: system tables, their columns and indexes, the
// catalog rows (containers, the database object, the system tables), the access-control rows,
// and the property lists of the catalog rows. Written down from what Access's own empty file of
// this version shows; dates, table ids and generated names are placeholders (see
// database_description.h). Left out on purpose: Access's own user-interface storage (layout,
// VBA project and theme streams), which Access makes again when it needs it; see
// docs/formats/jet-writing.md, "New databases".
#include "engine/jet/write/database_description.h"

namespace qv::jet {

namespace {

DatabaseDescription Make() {
  DatabaseDescription d;
  d.format = DatabaseFormat::Jet4;
  d.versionByte = 1;
  d.versionFlags = 0;
  d.sortOrder = 0x0409;
  d.sortVersion = 0;
  d.headerUnknown6a = 0x21aa;
  d.tables = {
  {"MSysObjects", 0x53, true,
     {{"Connect", 0x0c, 9, 3, 0, 0, 0x12, 0x00, 0x00000409},
      {"Database", 0x0c, 8, 2, 0, 0, 0x12, 0x00, 0x00000409},
      {"DateCreate", 0x08, 4, 1, 10, 8, 0x13, 0x00, 0x00000409},
      {"DateUpdate", 0x08, 5, 1, 18, 8, 0x13, 0x00, 0x00000409},
      {"Flags", 0x04, 7, 2, 26, 4, 0x13, 0x00, 0x00000409},
      {"ForeignName", 0x0a, 10, 4, 0, 510, 0x12, 0x00, 0x00000409},
      {"Id", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x00000409},
      {"Lv", 0x0b, 13, 7, 0, 0, 0x12, 0x00, 0x00000409},
      {"LvExtra", 0x0b, 16, 10, 0, 0, 0x12, 0x00, 0x00000409},
      {"LvModule", 0x0b, 15, 9, 0, 0, 0x12, 0x00, 0x00000409},
      {"LvProp", 0x0b, 14, 8, 0, 0, 0x12, 0x00, 0x00000409},
      {"Name", 0x0a, 2, 0, 0, 510, 0x12, 0x00, 0x00000409},
      {"Owner", 0x09, 6, 1, 0, 510, 0x32, 0x00, 0x00000409},
      {"ParentId", 0x04, 1, 0, 4, 4, 0x13, 0x00, 0x00000409},
      {"RmtInfoLong", 0x0b, 12, 6, 0, 0, 0x12, 0x00, 0x00000409},
      {"RmtInfoShort", 0x09, 11, 5, 0, 510, 0x12, 0x00, 0x00000409},
      {"Type", 0x03, 3, 1, 8, 2, 0x13, 0x00, 0x00000409}},
     {{{{1, true}, {2, true}}, 0x81}, {{{0, true}}, 0x81}},
     {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}},
     {{"251658241", "251658240", "Tables", "3", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"251658242", "251658240", "Databases", "3", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"251658243", "251658240", "Relationships", "3", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"268435456", "251658242", "MSysDb", "2", "{now}", "{now}", "a633", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:MSysDb}", nullptr, nullptr},
      {"{id:MSysObjects}", "251658241", "MSysObjects", "1", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysACEs}", "251658241", "MSysACEs", "1", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysQueries}", "251658241", "MSysQueries", "1", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysRelationships}", "251658241", "MSysRelationships", "1", "{now}", "{now}", "a731", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483648", "251658240", "DataAccessPages", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483647", "251658240", "Forms", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483646", "251658240", "Modules", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483645", "251658240", "Reports", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483644", "251658240", "Scripts", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483643", "251658240", "SysRel", "3", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483642", "251658242", "AccessLayout", "-32757", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:AccessLayout}", nullptr, nullptr},
      {"-2147483641", "251658242", "SummaryInfo", "-32757", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:SummaryInfo}", nullptr, nullptr},
      {"-2147483640", "251658242", "UserDefined", "-32757", "{now}", "{now}", "a633", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:UserDefined}", nullptr, nullptr},
      {"{id:MSysAccessObjects}", "251658241", "MSysAccessObjects", "1", "{now}", "{now}", "a633", "2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}}},
  {"MSysACEs", 0x53, false,
     {{"ACM", 0x04, 2, 1, 4, 4, 0x13, 0x00, 0x00000409},
      {"FInheritable", 0x01, 3, 1, 0, 1, 0x13, 0x00, 0x00000409},
      {"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x00000409},
      {"SID", 0x09, 1, 0, 0, 510, 0x32, 0x00, 0x00000409}},
     {{{{0, true}}, 0x88}},
     {{"ObjectId", 0, 0, 0}},
     {{"-2147483648", "a733", "1048575", "true"},
      {"-2147483648", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483648", "a633", "1048575", "true"},
      {"-2147483648", "a736", "1048575", "true"},
      {"251658242", "a633", "393216", "false"},
      {"-2147483647", "a733", "1048575", "true"},
      {"-2147483647", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483647", "a633", "1048575", "true"},
      {"-2147483647", "a736", "1048575", "true"},
      {"-2147483646", "a733", "1048575", "true"},
      {"-2147483646", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483646", "a633", "1048575", "true"},
      {"-2147483646", "a736", "1048575", "true"},
      {"251658243", "a736", "983294", "true"},
      {"251658243", "a633", "393217", "false"},
      {"251658243", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"251658243", "a733", "1048575", "true"},
      {"-2147483645", "a733", "1048575", "true"},
      {"-2147483645", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483645", "a633", "1048575", "true"},
      {"-2147483645", "a736", "1048575", "true"},
      {"-2147483644", "a733", "1048575", "true"},
      {"-2147483644", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483644", "a633", "1048575", "true"},
      {"-2147483644", "a736", "1048575", "true"},
      {"-2147483643", "a733", "1048575", "true"},
      {"-2147483643", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "true"},
      {"-2147483643", "a633", "1048575", "true"},
      {"-2147483643", "a736", "1048575", "true"},
      {"251658241", "a736", "983294", "true"},
      {"251658241", "a633", "1048319", "true"},
      {"251658241", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048319", "true"},
      {"251658241", "a733", "1048319", "true"},
      {"268435456", "a633", "393230", "false"},
      {"268435456", "a733", "14", "false"},
      {"268435456", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "393230", "false"},
      {"-2147483641", "a733", "65536", "false"},
      {"-2147483640", "a733", "65536", "false"},
      {"{id:MSysAccessObjects}", "a633", "1048575", "false"},
      {"{id:MSysAccessObjects}", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "1048575", "false"},
      {"{id:MSysAccessObjects}", "a733", "1048575", "false"},
      {"{id:MSysACEs}", "a633", "393216", "false"},
      {"{id:MSysACEs}", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "393300", "false"},
      {"{id:MSysObjects}", "a633", "393216", "false"},
      {"{id:MSysObjects}", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "393300", "false"},
      {"{id:MSysObjects}", "a733", "20", "false"},
      {"{id:MSysQueries}", "a633", "393216", "false"},
      {"{id:MSysQueries}", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "393236", "false"},
      {"{id:MSysQueries}", "a733", "20", "false"},
      {"{id:MSysRelationships}", "a633", "917504", "false"},
      {"{id:MSysRelationships}", "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3", "393236", "false"},
      {"{id:MSysRelationships}", "a733", "20", "false"}}},
  {"MSysQueries", 0x53, true,
     {{"Attribute", 0x02, 1, 0, 4, 1, 0x13, 0x00, 0x00000409},
      {"Expression", 0x0c, 5, 3, 0, 0, 0x12, 0x00, 0x00000409},
      {"Flag", 0x03, 6, 4, 5, 2, 0x13, 0x00, 0x00000409},
      {"LvExtra", 0x04, 7, 4, 7, 4, 0x13, 0x00, 0x00000409},
      {"Name1", 0x0a, 3, 1, 0, 510, 0x12, 0x00, 0x00000409},
      {"Name2", 0x0a, 4, 2, 0, 510, 0x12, 0x00, 0x00000409},
      {"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x00000409},
      {"Order", 0x09, 2, 0, 0, 510, 0x12, 0x00, 0x00000409}},
     {{{{0, true}, {1, true}, {2, true}}, 0x81}},
     {{"ObjectIdAttribute", 0, 0, 1}},
     {}},
  {"MSysRelationships", 0x53, false,
     {{"ccolumn", 0x04, 2, 1, 4, 4, 0x13, 0x00, 0x00000409},
      {"grbit", 0x04, 1, 1, 0, 4, 0x13, 0x00, 0x00000409},
      {"icolumn", 0x04, 3, 1, 8, 4, 0x13, 0x00, 0x00000409},
      {"szColumn", 0x0a, 5, 2, 0, 510, 0x12, 0x00, 0x00000409},
      {"szObject", 0x0a, 4, 1, 0, 510, 0x12, 0x00, 0x00000409},
      {"szReferencedColumn", 0x0a, 7, 4, 0, 510, 0x12, 0x00, 0x00000409},
      {"szReferencedObject", 0x0a, 6, 3, 0, 510, 0x12, 0x00, 0x00000409},
      {"szRelationship", 0x0a, 0, 0, 0, 510, 0x12, 0x00, 0x00000409}},
     {{{{0, true}}, 0x82}, {{{4, true}}, 0x82}, {{{6, true}}, 0x82}},
     {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}},
     {}},
  {"MSysAccessObjects", 0x4e, false,
     {{"Data", 0x11, 0, 0, 0, 3992, 0x03, 0x00, 0x00000409},
      {"ID", 0x04, 1, 0, 0, 4, 0x02, 0x00, 0x00000409}},
     {{{{1, true}}, 0x89}},
     {{"AOIndex", 0, 0, 1}},
     {}}};
  d.propertySets = {
    {"MSysDb", {"AccessVersion", "Build"},
      {{0, "", {{10, 0, "AccessVersion", "08.50"},
        {4, 0, "Build", "6620"}}}}},
    {"AccessLayout", {"KeepLocal"},
      {{0, "", {{10, 0, "KeepLocal", "T"}}}}},
    {"SummaryInfo", {"Title", "Author", "Company"},
      {{0, "", {{10, 0, "Title", "    "},
        {10, 0, "Author", "            "},
        {10, 0, "Company", "                     "}}}}},
    {"UserDefined", {"ReplicateProject"},
      {{0, "", {{1, 0, "ReplicateProject", "0x01"}}}}}};

  return d;
}

}  // namespace

const DatabaseDescription& Jet4EmptyDescription() {
  static const DatabaseDescription description = Make();
  return description;
}

}  // namespace qv::jet
