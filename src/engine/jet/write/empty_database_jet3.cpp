// The empty Access 97 (Jet3, .mdb) database as Access makes it: the four system tables, their
// columns and indexes, the catalog rows (containers, the database object, the system tables), the
// access-control rows, and the property lists of the catalog rows. Written down from what the
// Access-made Access 97 files of the corpus show (every one of them has these rows with the same
// values; taken from jackcess' delTestV1997.mdb); dates and table ids are placeholders (see
// database_description.h). Left out on purpose: the VBA project tables MSysModules and
// MSysModules2, which Access makes again when it needs them; see docs/formats/jet-writing.md,
// "New databases".
//
// Jet3 lists the columns of a definition by number. Descriptor bytes 9..12 of every system column
// hold the sort order (0x0409, "General") and the code page (1252), given here as `collation`.
#include "engine/jet/write/database_description.h"

namespace qv::jet {

namespace {

DatabaseDescription Make() {
  DatabaseDescription d;
  d.format = DatabaseFormat::Jet3;
  d.versionByte = 0;
  d.versionFlags = 0;
  d.sortOrder = 0x0409;
  d.sortVersion = 0;
  d.headerUnknown6a = 0x251e;  // at 0x56 in Jet3 (one file of the corpus has 0x0d64)
  d.tables = {
  {"MSysObjects", 0x53, true,
     {{"Id", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x04e40409},
      {"ParentId", 0x04, 1, 0, 4, 4, 0x13, 0x00, 0x04e40409},
      {"Name", 0x0a, 2, 0, 0, 255, 0x12, 0x00, 0x04e40409},
      {"Type", 0x03, 3, 1, 8, 2, 0x13, 0x00, 0x04e40409},
      {"DateCreate", 0x08, 4, 1, 10, 8, 0x13, 0x00, 0x04e40409},
      {"DateUpdate", 0x08, 5, 1, 18, 8, 0x13, 0x00, 0x04e40409},
      {"Owner", 0x09, 6, 1, 0, 255, 0x32, 0x00, 0x04e40409},
      {"Flags", 0x04, 7, 2, 26, 4, 0x13, 0x00, 0x04e40409},
      {"Database", 0x0c, 8, 2, 0, 0, 0x12, 0x00, 0x04e40409},
      {"Connect", 0x0c, 9, 3, 0, 0, 0x12, 0x00, 0x04e40409},
      {"ForeignName", 0x0a, 10, 4, 0, 255, 0x12, 0x00, 0x04e40409},
      {"RmtInfoShort", 0x09, 11, 5, 0, 255, 0x12, 0x00, 0x04e40409},
      {"RmtInfoLong", 0x0b, 12, 6, 0, 0, 0x12, 0x00, 0x04e40409},
      {"Lv", 0x0b, 13, 7, 0, 0, 0x12, 0x00, 0x04e40409},
      {"LvProp", 0x0b, 14, 8, 0, 0, 0x12, 0x00, 0x04e40409},
      {"LvModule", 0x0b, 15, 9, 0, 0, 0x12, 0x00, 0x04e40409},
      {"LvExtra", 0x0b, 16, 10, 0, 0, 0x12, 0x00, 0x04e40409}},
     {{{{1, true}, {2, true}}, 0x01}, {{{0, true}}, 0x01}},
     {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}},
     {
      {"251658241", "251658240", "Tables", "3", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"251658242", "251658240", "Databases", "3", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"251658243", "251658240", "Relationships", "3", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"268435456", "251658242", "MSysDb", "2", "{now}", "{now}", "0301", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:MSysDb}", nullptr, nullptr},
      {"{id:MSysObjects}", "251658241", "MSysObjects", "1", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysACEs}", "251658241", "MSysACEs", "1", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysQueries}", "251658241", "MSysQueries", "1", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"{id:MSysRelationships}", "251658241", "MSysRelationships", "1", "{now}", "{now}", "0203", "-2147483648", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483648", "251658242", "SummaryInfo", "-32757", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:SummaryInfo}", nullptr, nullptr},
      {"-2147483647", "251658242", "UserDefined", "-32757", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "{props:UserDefined}", nullptr, nullptr},
      {"-2147483646", "251658240", "Forms", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483645", "251658240", "Reports", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483644", "251658240", "Scripts", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483643", "251658240", "Modules", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483642", "251658240", "SysRel", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"-2147483641", "251658240", "DataAccessPages", "3", "{now}", "{now}", "0301", "0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
     }},
  {"MSysACEs", 0x53, false,
     {{"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x04e40409},
      {"SID", 0x09, 1, 0, 0, 255, 0x32, 0x00, 0x04e40409},
      {"ACM", 0x04, 2, 1, 4, 4, 0x13, 0x00, 0x04e40409},
      {"FInheritable", 0x01, 3, 1, 0, 1, 0x13, 0x00, 0x04e40409}},
     {{{{0, true}}, 0x08}},
     {{"ObjectId", 0, 0, 0}},
     {
      {"{id:MSysObjects}", "0301", "393216", "false"},
      {"{id:MSysACEs}", "0301", "393216", "false"},
      {"{id:MSysQueries}", "0301", "393216", "false"},
      {"{id:MSysRelationships}", "0301", "917504", "false"},
      {"251658241", "0204", "983294", "true"},
      {"251658241", "0301", "1048319", "true"},
      {"251658243", "0204", "983294", "true"},
      {"251658243", "0301", "393217", "false"},
      {"251658242", "0301", "393216", "false"},
      {"268435456", "0301", "393230", "false"},
      {"268435456", "0201", "14", "false"},
      {"268435456", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "393230", "false"},
      {"{id:MSysObjects}", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "393300", "false"},
      {"{id:MSysACEs}", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "393300", "false"},
      {"{id:MSysQueries}", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "393236", "false"},
      {"{id:MSysQueries}", "0201", "20", "false"},
      {"{id:MSysRelationships}", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "393236", "false"},
      {"{id:MSysRelationships}", "0201", "20", "false"},
      {"{id:MSysObjects}", "0201", "20", "false"},
      {"251658241", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048319", "true"},
      {"251658241", "0201", "1048319", "true"},
      {"251658243", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"251658243", "0201", "1048575", "true"},
      {"-2147483648", "0201", "65536", "false"},
      {"-2147483647", "0201", "65536", "false"},
      {"-2147483646", "0201", "1048575", "true"},
      {"-2147483646", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483646", "0301", "1048575", "true"},
      {"-2147483646", "0204", "1048575", "true"},
      {"-2147483645", "0201", "1048575", "true"},
      {"-2147483645", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483645", "0301", "1048575", "true"},
      {"-2147483645", "0204", "1048575", "true"},
      {"-2147483644", "0201", "1048575", "true"},
      {"-2147483644", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483644", "0301", "1048575", "true"},
      {"-2147483644", "0204", "1048575", "true"},
      {"-2147483643", "0201", "1048575", "true"},
      {"-2147483643", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483643", "0301", "1048575", "true"},
      {"-2147483643", "0204", "1048575", "true"},
      {"-2147483642", "0201", "1048575", "true"},
      {"-2147483642", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483642", "0301", "1048575", "true"},
      {"-2147483642", "0204", "1048575", "true"},
      {"-2147483641", "0201", "1048575", "true"},
      {"-2147483641", "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723", "1048575", "true"},
      {"-2147483641", "0301", "1048575", "true"},
      {"-2147483641", "0204", "1048575", "true"},
     }},
  {"MSysQueries", 0x53, true,
     {{"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00, 0x04e40409},
      {"Attribute", 0x02, 1, 0, 4, 1, 0x13, 0x00, 0x04e40409},
      {"Order", 0x09, 2, 0, 4, 255, 0x12, 0x00, 0x04e40409},
      {"Name1", 0x0a, 3, 1, 4, 255, 0x12, 0x00, 0x04e40409},
      {"Name2", 0x0a, 4, 2, 4, 255, 0x12, 0x00, 0x04e40409},
      {"Expression", 0x0c, 5, 3, 255, 0, 0x12, 0x00, 0x04e40409},
      {"Flag", 0x03, 6, 4, 5, 2, 0x13, 0x00, 0x04e40409}},
     {{{{0, true}, {1, true}, {2, true}}, 0x01}},
     {{"ObjectIdAttribute", 0, 0, 1}},
     {}},
  {"MSysRelationships", 0x53, false,
     {{"szRelationship", 0x0a, 0, 0, 0, 255, 0x12, 0x00, 0x04e40409},
      {"grbit", 0x04, 1, 1, 0, 4, 0x13, 0x00, 0x04e40409},
      {"ccolumn", 0x04, 2, 1, 4, 4, 0x13, 0x00, 0x04e40409},
      {"icolumn", 0x04, 3, 1, 8, 4, 0x13, 0x00, 0x04e40409},
      {"szObject", 0x0a, 4, 1, 0, 255, 0x12, 0x00, 0x04e40409},
      {"szColumn", 0x0a, 5, 2, 0, 255, 0x12, 0x00, 0x04e40409},
      {"szReferencedObject", 0x0a, 6, 3, 0, 255, 0x12, 0x00, 0x04e40409},
      {"szReferencedColumn", 0x0a, 7, 4, 0, 255, 0x12, 0x00, 0x04e40409}},
     {{{{0, true}}, 0x02}, {{{4, true}}, 0x02}, {{{6, true}}, 0x02}},
     {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}},
     {}}};
  d.propertySets = {
    {"MSysDb", {"AccessVersion"},
      {{0, "", {{10, 0, "AccessVersion", "07.53"}}}}},
    {"SummaryInfo", {"Title", "Author", "Company"},
      {{0, "", {{10, 0, "Title", "   "},
        {10, 0, "Author", "             "}}}}},
    {"UserDefined", {"ReplicateProject"},
      {{0, "", {{1, 0, "ReplicateProject", "0x01"}}}}}};

  return d;
}

}  // namespace

const DatabaseDescription& Jet3EmptyDescription() {
  static const DatabaseDescription description = Make();
  return description;
}

}  // namespace qv::jet
