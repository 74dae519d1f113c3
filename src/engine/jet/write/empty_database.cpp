// The empty databases Access makes, as one description with the differences of each version:
// Access 97 (Jet3, .mdb), Access 2000 (Jet4, .mdb), Access 2007 (ACE12, .accdb) and Access 2010
// (ACE14, .accdb). Each holds system tables (columns, indexes, rows), the catalog rows (containers,
// the database object, the system tables), the access-control rows and the property lists of the
// catalog rows.
//
// Sources: the Jet4 and ACE facts are those of Access's own empty files of each version (jackcess'
// empty.mdb, empty2007.accdb, empty2010.accdb); the Jet3 facts those of the Access-made Access 97
// files of the corpus (every one has these rows with the same values; taken from jackcess'
// delTestV1997.mdb). Dates, table ids and generated names are placeholders (see
// database_description.h). Left out on purpose: Access's own user-interface storage (layout, VBA
// project and theme streams; in Jet3 the tables MSysModules and MSysModules2), which Access makes
// again when it needs it; see docs/formats/jet-writing.md, "New databases".
//
// The tables are written down as Jet4 and later define them; AsJet3 and StampSortVersion turn them
// into what Access 97 and Access 2010 write. The order of tables and rows is Access's wherever it
// shows one and matters: a table's definition page and a row's place follow it.
#include "engine/jet/write/database_description.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/error.h"

namespace qv::jet {

namespace {

using Row = std::vector<const char*>;
using Rows = std::vector<Row>;

// What differs between the versions outside the tables: page 0 and the SIDs of the access rows.
// SIDs are stored scrambled per file, so each version's empty file has its own (see
// docs/formats/jet-writing.md, "Access rights").
struct Version {
  DatabaseFormat format;
  std::uint8_t versionByte;      // header 0x14
  std::uint8_t versionFlags;     // header 0x15
  std::uint8_t sortVersion;      // header 0x71; also byte 14 of the Access 2010 column descriptors
  std::uint32_t headerUnknown6a;
  const char* engine;   // the engine: owner of the containers and the core system tables
  const char* owner;    // the database owner ("Admin"): owner of every other object
  const char* users;    // the Users group
  const char* creator;  // the creator placeholder: the owner's SID with 0x0105 XORed into it
  const char* admins;   // the Admins group (a long SID)
  const char* other;    // a second long SID, on the tables ACE added; whose it is is not known
};

constexpr Version kJet3{DatabaseFormat::Jet3, 0, 0, 0,
  0x251e,  // at 0x56 in Jet3 (one file of the corpus has 0x0d64)
  "0203", "0301", "0201", "0204",
  "01c55432436202841bdf561a17236a4b11ff2e1db3a05806306694bbcd5a29edbbdf561a17236a4b11df561a17236a4b11df561a17236a4b11adc3b2bccb7ce7d6ea33a3a555e5fb96df561a17236a4b11df561a17236a4b11df561a17236a4b11df561a1723",
  nullptr};
constexpr Version kJet4{DatabaseFormat::Jet4, 1, 0, 0, 0x21aa,
  "a731", "a633", "a733", "a736",
  "a4f74667e17167eed7b10f8ffeef76ffaae3665105bdd29d4d4b3952d9fb9a07660c5bd2d87dddb31e659019009489c23c256acfdb349a57af50c5149a9830e62c35553f0e95cfb6ecb570b2f0a99b1cdbce60747b7b13cf1dafc3d6185f9c5be4e87e37edb3",
  nullptr};
constexpr Version kAce2007{DatabaseFormat::Ace2007, 2, 0, 0, 0x11a6,
  "52a6", "53a4", "52a4", "52a1",
  "5160d0ebcfc8dadb329da660dde959a92a984076bf9cc4947917aa645f4c3e9ee1dd65f12e16dce27ae645a379d60055426e134971171a52bd42d8eeedbacdb7e8468cdddb4d665dffe8dfad73fb4bd55a2edd06a540286b01e6644ed9e13fd7e806eab30fdf",
  "517e034aac2b97f4119da660dde959a92a15a21de84bf0233bae68c585357d384bdd65f12e16dce27ae645a379d60055426e134971171a52bd9dd72ab506dde14c73e964693be9ed78e8dfad73fb4bd55a2edd06a540286b01e6644ed9e13fd7e806eab30fdf"};
constexpr Version kAce2010{DatabaseFormat::Ace2010, 3, 1, 1, 0x11a6,
  "4259", "435b", "425b", "425e",
  "419f1b72a6e785dacc8520a66c6dfc1b5151563b916c3bc7c849a7a588a3270b7c3190ff554ef3e8b3981866eda97a9d03e5502423e01ffcecd0021aafad6f5bea647db9059919e662b43cf05787ac1276985b9f6db7bdfab76c7714ffb0dd3e0f2a3d73cb2e",
  "4181c8d3c504c8f5ef8520a66c6dfc1b51dcb450c6bb0f708af0650452da64add63190ff554ef3e8b3981866eda97a9d03e5502423e01ffcec0f0ddef7117f0d4e511800b7ef9656e5b43cf05787ac1276985b9f6db7bdfab76c7714ffb0dd3e0f2a3d73cb2e"};

// A catalog row (MSysObjects by column number): dates are the creation time, the columns not
// named are NULL.
Row Object(const char* id, const char* parent, const char* name, const char* type, const char* owner,
           const char* flags, const char* lvProp = nullptr) {
  return {id, parent, name, type, "{now}", "{now}", owner, flags, nullptr,
          nullptr, nullptr, nullptr, nullptr, nullptr, lvProp, nullptr, nullptr};
}

// An access-control row (MSysACEs): object, SID, rights, inheritable.
Row Ace(const char* object, const char* sid, const char* rights, bool inheritable = false) {
  return {object, sid, rights, inheritable ? "true" : "false"};
}

// The four entries every version gives an Access container (Forms, Reports ...): all rights,
// inheritable, for the Users group, the Admins group, the owner and the creator placeholder.
void ContainerAces(Rows& rows, const Version& v, const char* id) {
  for (const char* sid : {v.users, v.admins, v.owner, v.creator}) rows.push_back(Ace(id, sid, "1048575", true));
}

// --- The core system tables, in every version ------------------------------------------------

TableDescription MSysObjects() {
  return {"MSysObjects", 0x53, true,
     {{"Connect", 0x0c, 9, 3, 0, 0, 0x12, 0x00},
      {"Database", 0x0c, 8, 2, 0, 0, 0x12, 0x00},
      {"DateCreate", 0x08, 4, 1, 10, 8, 0x13, 0x00},
      {"DateUpdate", 0x08, 5, 1, 18, 8, 0x13, 0x00},
      {"Flags", 0x04, 7, 2, 26, 4, 0x13, 0x00},
      {"ForeignName", 0x0a, 10, 4, 0, 510, 0x12, 0x00},
      {"Id", 0x04, 0, 0, 0, 4, 0x13, 0x00},
      {"Lv", 0x0b, 13, 7, 0, 0, 0x12, 0x00},
      {"LvExtra", 0x0b, 16, 10, 0, 0, 0x12, 0x00},
      {"LvModule", 0x0b, 15, 9, 0, 0, 0x12, 0x00},
      {"LvProp", 0x0b, 14, 8, 0, 0, 0x12, 0x00},
      {"Name", 0x0a, 2, 0, 0, 510, 0x12, 0x00},
      {"Owner", 0x09, 6, 1, 0, 510, 0x32, 0x00},
      {"ParentId", 0x04, 1, 0, 4, 4, 0x13, 0x00},
      {"RmtInfoLong", 0x0b, 12, 6, 0, 0, 0x12, 0x00},
      {"RmtInfoShort", 0x09, 11, 5, 0, 510, 0x12, 0x00},
      {"Type", 0x03, 3, 1, 8, 2, 0x13, 0x00}},
     {{{{1, true}, {2, true}}, 0x81}, {{{0, true}}, 0x81}},
     {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}},
     {}};
}

TableDescription MSysACEs() {
  return {"MSysACEs", 0x53, false,
     {{"ACM", 0x04, 2, 1, 4, 4, 0x13, 0x00},
      {"FInheritable", 0x01, 3, 1, 0, 1, 0x13, 0x00},
      {"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00},
      {"SID", 0x09, 1, 0, 0, 510, 0x32, 0x00}},
     {{{{0, true}}, 0x88}},
     {{"ObjectId", 0, 0, 0}},
     {}};
}

TableDescription MSysQueries() {
  return {"MSysQueries", 0x53, true,
     {{"Attribute", 0x02, 1, 0, 4, 1, 0x13, 0x00},
      {"Expression", 0x0c, 5, 3, 0, 0, 0x12, 0x00},
      {"Flag", 0x03, 6, 4, 5, 2, 0x13, 0x00},
      {"LvExtra", 0x04, 7, 4, 7, 4, 0x13, 0x00},
      {"Name1", 0x0a, 3, 1, 0, 510, 0x12, 0x00},
      {"Name2", 0x0a, 4, 2, 0, 510, 0x12, 0x00},
      {"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00},
      {"Order", 0x09, 2, 0, 0, 510, 0x12, 0x00}},
     {{{{0, true}, {1, true}, {2, true}}, 0x81}},
     {{"ObjectIdAttribute", 0, 0, 1}},
     {}};
}

TableDescription MSysRelationships() {
  return {"MSysRelationships", 0x53, false,
     {{"ccolumn", 0x04, 2, 1, 4, 4, 0x13, 0x00},
      {"grbit", 0x04, 1, 1, 0, 4, 0x13, 0x00},
      {"icolumn", 0x04, 3, 1, 8, 4, 0x13, 0x00},
      {"szColumn", 0x0a, 5, 2, 0, 510, 0x12, 0x00},
      {"szObject", 0x0a, 4, 1, 0, 510, 0x12, 0x00},
      {"szReferencedColumn", 0x0a, 7, 4, 0, 510, 0x12, 0x00},
      {"szReferencedObject", 0x0a, 6, 3, 0, 510, 0x12, 0x00},
      {"szRelationship", 0x0a, 0, 0, 0, 510, 0x12, 0x00}},
     {{{{0, true}}, 0x82}, {{{4, true}}, 0x82}, {{{6, true}}, 0x82}},
     {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}},
     {}};
}

// The catalog rows every version begins with: the containers Tables, Databases and
// Relationships, the database object, and the core system tables.
Rows CatalogHead(const Version& v) {
  return {Object("251658241", "251658240", "Tables", "3", v.engine, "-2147483648"),
          Object("251658242", "251658240", "Databases", "3", v.engine, "-2147483648"),
          Object("251658243", "251658240", "Relationships", "3", v.engine, "-2147483648"),
          Object("268435456", "251658242", "MSysDb", "2", v.owner, "-2147483648", "{props:MSysDb}"),
          Object("{id:MSysObjects}", "251658241", "MSysObjects", "1", v.engine, "-2147483648"),
          Object("{id:MSysACEs}", "251658241", "MSysACEs", "1", v.engine, "-2147483648"),
          Object("{id:MSysQueries}", "251658241", "MSysQueries", "1", v.engine, "-2147483648"),
          Object("{id:MSysRelationships}", "251658241", "MSysRelationships", "1", v.engine, "-2147483648")};
}

// The Access containers and documents of Jet4 and later, after the system tables ACE adds.
void AccessContainers(Rows& rows, const Version& v) {
  rows.push_back(Object("-2147483648", "251658240", "DataAccessPages", "3", v.owner, "0"));
  rows.push_back(Object("-2147483647", "251658240", "Forms", "3", v.owner, "0"));
  rows.push_back(Object("-2147483646", "251658240", "Modules", "3", v.owner, "0"));
  rows.push_back(Object("-2147483645", "251658240", "Reports", "3", v.owner, "0"));
  rows.push_back(Object("-2147483644", "251658240", "Scripts", "3", v.owner, "0"));
  rows.push_back(Object("-2147483643", "251658240", "SysRel", "3", v.owner, "0"));
  rows.push_back(Object("-2147483642", "251658242", "AccessLayout", "-32757", v.owner, "0", "{props:AccessLayout}"));
  rows.push_back(Object("-2147483641", "251658242", "SummaryInfo", "-32757", v.owner, "0", "{props:SummaryInfo}"));
  rows.push_back(Object("-2147483640", "251658242", "UserDefined", "-32757", v.owner, "0", "{props:UserDefined}"));
}

// The access rows of the containers above and of the catalog's first rows, Jet4 and later.
void ContainerAccess(Rows& rows, const Version& v) {
  ContainerAces(rows, v, "-2147483648");
  rows.push_back(Ace("251658242", v.owner, "393216"));
  ContainerAces(rows, v, "-2147483647");
  ContainerAces(rows, v, "-2147483646");
  rows.push_back(Ace("251658243", v.creator, "983294", true));
  rows.push_back(Ace("251658243", v.owner, "393217"));
  rows.push_back(Ace("251658243", v.admins, "1048575", true));
  rows.push_back(Ace("251658243", v.users, "1048575", true));
  ContainerAces(rows, v, "-2147483645");
  ContainerAces(rows, v, "-2147483644");
  ContainerAces(rows, v, "-2147483643");
  rows.push_back(Ace("251658241", v.creator, "983294", true));
  for (const char* sid : {v.owner, v.admins, v.users}) rows.push_back(Ace("251658241", sid, "1048319", true));
  rows.push_back(Ace("268435456", v.owner, "393230"));
  rows.push_back(Ace("268435456", v.users, "14"));
  rows.push_back(Ace("268435456", v.admins, "393230"));
  rows.push_back(Ace("-2147483641", v.users, "65536"));
  rows.push_back(Ace("-2147483640", v.users, "65536"));
}

// The access rows of one system table; the rights per table are the same in every version.
void SystemTableAces(Rows& rows, const Version& v, const char* id) {
  const std::string table(id);
  if (table == "{id:MSysObjects}") {
    rows.insert(rows.end(), {Ace(id, v.owner, "393216"), Ace(id, v.admins, "393300"), Ace(id, v.users, "20")});
  } else if (table == "{id:MSysACEs}") {
    rows.insert(rows.end(), {Ace(id, v.owner, "393216"), Ace(id, v.admins, "393300")});
  } else if (table == "{id:MSysQueries}") {
    rows.insert(rows.end(), {Ace(id, v.owner, "393216"), Ace(id, v.admins, "393236"), Ace(id, v.users, "20")});
  } else if (table == "{id:MSysRelationships}") {
    rows.insert(rows.end(), {Ace(id, v.owner, "917504"), Ace(id, v.admins, "393236"), Ace(id, v.users, "20")});
  } else if (table == "{id:MSysAccessStorage}") {
    rows.insert(rows.end(), {Ace(id, v.owner, "1048575"), Ace(id, v.admins, "1048319"), Ace(id, v.users, "1048575"),
                             Ace(id, v.other, "1048575")});
  } else if (table.rfind("{id:MSysComplex", 0) == 0) {
    rows.insert(rows.end(), {Ace(id, v.owner, "393216"), Ace(id, v.other, "393236"), Ace(id, v.users, "20")});
  } else if (table.rfind("{id:MSysNavPane", 0) == 0) {
    rows.insert(rows.end(), {Ace(id, v.owner, "393216"), Ace(id, v.admins, "1048319"), Ace(id, v.users, "244"),
                             Ace(id, v.other, "0")});
  } else if (table == "{id:MSysResources}") {
    for (const char* sid : {v.owner, v.admins, v.users}) rows.push_back(Ace(id, sid, "1048319"));
  } else if (table == "{id:f_{guid:1}_Data}") {
    for (const char* sid : {v.owner, v.admins, v.users}) rows.push_back(Ace(id, sid, "1048319", true));
  } else if (table == "{id:MSysAccessObjects}") {
    for (const char* sid : {v.owner, v.admins, v.users}) rows.push_back(Ace(id, sid, "1048575"));
  } else {
    throw Error(errc::kGeneric, "No access rows are described for the system table " + table + ".");
  }
}

// --- The tables ACE added (Access 2007 and 2010) -----------------------------------------------

// The MSysComplexType tables with one Value column each, in Access's order.
struct ComplexType {
  const char* name;
  const char* id;  // its catalog id placeholder
  std::uint8_t type;
  std::uint16_t length;
  std::uint8_t flags;
  std::uint32_t collation;
};
constexpr ComplexType kComplexTypes[] = {
    {"MSysComplexType_UnsignedByte", "{id:MSysComplexType_UnsignedByte}", 0x02, 1, 0x03, 0x0409},
    {"MSysComplexType_Short", "{id:MSysComplexType_Short}", 0x03, 2, 0x03, 0x0409},
    {"MSysComplexType_Long", "{id:MSysComplexType_Long}", 0x04, 4, 0x03, 0x0409},
    {"MSysComplexType_IEEESingle", "{id:MSysComplexType_IEEESingle}", 0x06, 4, 0x03, 0x0409},
    {"MSysComplexType_IEEEDouble", "{id:MSysComplexType_IEEEDouble}", 0x07, 8, 0x03, 0x0409},
    {"MSysComplexType_GUID", "{id:MSysComplexType_GUID}", 0x0f, 16, 0x03, 0x0409},
    {"MSysComplexType_Decimal", "{id:MSysComplexType_Decimal}", 0x10, 9, 0x02, 0x0012},  // precision 18, scale 0
    {"MSysComplexType_Text", "{id:MSysComplexType_Text}", 0x0a, 510, 0x02, 0x0409},
    // MSysComplexType_Attachment, the last, has columns of its own (ComplexTables)
};

// MSysComplexColumns and the complex-type tables, as every ACE version has them.
void ComplexTables(std::vector<TableDescription>& tables) {
  tables.push_back({"MSysComplexColumns", 0x4e, false,
     {{"ColumnName", 0x0a, 0, 0, 0, 510, 0x12, 0x00},
      {"ComplexID", 0x04, 4, 1, 12, 4, 0x17, 0x00},
      {"ComplexTypeObjectID", 0x04, 1, 1, 0, 4, 0x13, 0x00},
      {"ConceptualTableID", 0x04, 3, 1, 8, 4, 0x13, 0x00},
      {"FlatTableID", 0x04, 2, 1, 4, 4, 0x13, 0x00}},
     {{{{4, true}}, 0x8b}, {{{3, true}}, 0x8a}, {{{2, true}}, 0x8a}},
     {{"IdxConceptualTableID", 1, 1, 0}, {"IdxFlatTableID", 2, 2, 0}, {"IdxID", 0, 0, 1}},
     {}});
  for (const ComplexType& t : kComplexTypes)
    tables.push_back({t.name, 0x4e, false, {{"Value", t.type, 0, 0, 0, t.length, t.flags, 0x00, t.collation}}, {}, {}, {}});
  tables.push_back({"MSysComplexType_Attachment", 0x4e, true,
     {{"FileData", 0x0b, 3, 3, 0, 0, 0x02, 0x10},
      {"FileFlags", 0x04, 5, 4, 8, 4, 0x03, 0x10},
      {"FileName", 0x0a, 1, 1, 0, 510, 0x02, 0x10},
      {"FileTimeStamp", 0x08, 4, 4, 0, 8, 0x03, 0x10},
      {"FileType", 0x0a, 2, 2, 0, 510, 0x02, 0x10},
      {"FileURL", 0x0c, 0, 0, 0, 0, 0x02, 0x10}},
     {},
     {},
     {}});
}

// The catalog rows of MSysComplexColumns and the complex-type tables (no owner).
void ComplexCatalog(Rows& rows) {
  rows.push_back(Object("{id:MSysComplexColumns}", "251658241", "MSysComplexColumns", "1", nullptr, "-2147483648"));
  for (const ComplexType& t : kComplexTypes) rows.push_back(Object(t.id, "251658241", t.name, "1", nullptr, "-2147287040"));
  rows.push_back(Object("{id:MSysComplexType_Attachment}", "251658241", "MSysComplexType_Attachment", "1", nullptr,
                        "-2147287040"));
}

// MSysNavPaneObjectIDs lists the system tables (their ids and names) in the order of the catalog:
// those every ACE version has, then `tail` (id placeholder, name).
TableDescription MSysNavPaneObjectIDs(const std::vector<std::pair<const char*, const char*>>& tail) {
  TableDescription t{"MSysNavPaneObjectIDs", 0x4e, false,
     {{"Id", 0x04, 0, 0, 0, 4, 0x02, 0x00},
      {"Name", 0x0a, 1, 1, 0, 130, 0x02, 0x00},
      {"Type", 0x04, 2, 2, 0, 4, 0x02, 0x00}},
     {},
     {},
     {{"{id:MSysObjects}", "MSysObjects", "1"},
      {"{id:MSysACEs}", "MSysACEs", "1"},
      {"{id:MSysQueries}", "MSysQueries", "1"},
      {"{id:MSysRelationships}", "MSysRelationships", "1"},
      {"{id:MSysComplexColumns}", "MSysComplexColumns", "1"}}};
  for (const ComplexType& c : kComplexTypes) t.rows.push_back({c.id, c.name, "1"});
  t.rows.push_back({"{id:MSysComplexType_Attachment}", "MSysComplexType_Attachment", "1"});
  for (const auto& [id, name] : tail) t.rows.push_back({id, name, "1"});
  return t;
}

TableDescription MSysNavPaneGroupCategories(const char* tablesSelectedObject) {
  return {"MSysNavPaneGroupCategories", 0x4e, false,
     {{"Filter", 0x0a, 0, 0, 0, 510, 0x02, 0x00},
      {"Flags", 0x04, 1, 1, 0, 4, 0x02, 0x00},
      {"Id", 0x04, 2, 2, 0, 4, 0x06, 0x00},
      {"Name", 0x0a, 3, 3, 0, 510, 0x02, 0x00},
      {"Position", 0x04, 4, 4, 0, 4, 0x02, 0x00},
      {"SelectedObjectID", 0x04, 5, 5, 0, 4, 0x02, 0x00},
      {"Type", 0x04, 6, 6, 0, 4, 0x02, 0x00}},
     {{{{2, true}}, 0x89}},
     {{"Id", 0, 0, 1}},
     {{nullptr, "16", "1", nullptr, "1", nullptr, "1"},
      {"Tables", "0", "2", nullptr, "2", tablesSelectedObject, "0"},
      {nullptr, "0", "3", "Custom", "3", nullptr, "4"}}};
}

TableDescription MSysNavPaneGroups() {
  return {"MSysNavPaneGroups", 0x4e, false,
     {{"Flags", 0x04, 0, 0, 0, 4, 0x02, 0x00},
      {"GroupCategoryID", 0x04, 1, 1, 0, 4, 0x02, 0x00},
      {"Id", 0x04, 2, 2, 0, 4, 0x06, 0x00},
      {"Name", 0x0a, 3, 3, 0, 510, 0x02, 0x00},
      {"Object Type Group", 0x04, 4, 4, 0, 4, 0x02, 0x00},
      {"ObjectID", 0x04, 5, 5, 0, 4, 0x02, 0x00},
      {"Position", 0x04, 6, 6, 0, 4, 0x02, 0x00}},
     {{{{1, true}}, 0x80}, {{{2, true}}, 0x89}},
     {{"GroupCategoryID", 0, 0, 0}, {"Id", 1, 1, 1}},
     {{"0", "2", "1", nullptr, "0", "0", "1"},
      {"0", "2", "2", nullptr, "1", "0", "2"},
      {"0", "2", "3", nullptr, "4", "0", "3"},
      {"0", "2", "4", nullptr, "5", "0", "4"},
      {"0", "2", "5", nullptr, "6", "0", "5"},
      {"0", "2", "6", nullptr, "7", "0", "5"},
      {"0", "2", "7", nullptr, "8", "0", "6"},
      {"0", "3", "8", "Custom Group 1", "-1", "0", "2"},
      {"4", "3", "9", nullptr, "-1", "0", "3"}}};
}

// The rows both versions share come first; `tail` adds the version's own.
TableDescription MSysNavPaneGroupToObjects(const Rows& tail) {
  TableDescription t{"MSysNavPaneGroupToObjects", 0x4e, false,
     {{"Flags", 0x04, 0, 0, 0, 4, 0x02, 0x00},
      {"GroupID", 0x04, 1, 1, 0, 4, 0x02, 0x00},
      {"Icon", 0x04, 2, 2, 0, 4, 0x02, 0x00},
      {"Id", 0x04, 3, 3, 0, 4, 0x06, 0x00},
      {"Name", 0x0a, 4, 4, 0, 510, 0x02, 0x00},
      {"ObjectID", 0x04, 5, 5, 0, 4, 0x02, 0x00},
      {"Position", 0x04, 6, 6, 0, 4, 0x02, 0x00}},
     {{{{1, true}}, 0x80}, {{{3, true}}, 0x89}},
     {{"GroupID", 0, 0, 0}, {"Id", 1, 1, 1}},
     {{"0", "1", "0", "1", nullptr, "{id:MSysObjects}", "0"},
      {"0", "1", "0", "2", nullptr, "{id:MSysACEs}", "1"},
      {"0", "1", "0", "3", nullptr, "{id:MSysQueries}", "2"},
      {"0", "1", "0", "4", nullptr, "{id:MSysRelationships}", "3"},
      {"0", "1", "0", "7", nullptr, "{id:MSysComplexType_IEEESingle}", "7"},
      {"0", "1", "0", "8", nullptr, "{id:MSysComplexType_GUID}", "8"},
      {"0", "1", "0", "9", nullptr, "{id:MSysComplexColumns}", "4"},
      {"0", "1", "0", "10", nullptr, "{id:MSysNavPaneGroupCategories}", "5"},
      {"0", "1", "0", "11", nullptr, "{id:MSysNavPaneGroups}", "6"}}};
  t.rows.insert(t.rows.end(), tail.begin(), tail.end());
  return t;
}

// MSysAccessStorage: the same columns and rows in both versions, but Access 2007 numbers the
// columns Id, Name, ParentId, Type, DateCreate, DateUpdate, Lv and Access 2010 in name order,
// which also reorders the physical indexes (listed by column number).
TableDescription MSysAccessStorage(bool columnsInNameOrder) {
  enum { kId, kName, kParentId, kType, kDateCreate, kDateUpdate, kLv, kCount };
  const std::uint16_t n2007[kCount] = {0, 1, 2, 3, 4, 5, 6};
  const std::uint16_t n2010[kCount] = {2, 4, 5, 6, 0, 1, 3};
  const std::uint16_t* n = columnsInNameOrder ? n2010 : n2007;
  auto column = [n](const char* name, std::uint8_t type, int which, std::uint16_t length, std::uint8_t flags) {
    return ColumnDescription{name, type, n[which], n[which], 0, length, flags, 0x00};
  };
  TableDescription t{"MSysAccessStorage", 0x4e, true,
     {column("DateCreate", 0x08, kDateCreate, 8, 0x02),
      column("DateUpdate", 0x08, kDateUpdate, 8, 0x02),
      column("Id", 0x04, kId, 4, 0x06),
      column("Lv", 0x0b, kLv, 0, 0x02),
      column("Name", 0x0a, kName, 256, 0x02),
      column("ParentId", 0x04, kParentId, 4, 0x02),
      column("Type", 0x04, kType, 4, 0x02)},
     {},
     {},
     {}};
  // The primary key on Id, then the two (ParentId, x) indexes: Access 2007 lists the one on Name
  // first, Access 2010 the one on Id.
  const RealIndexDescription byName{{{n[kParentId], true}, {n[kName], true}}, 0x81};
  const RealIndexDescription byId{{{n[kParentId], true}, {n[kId], true}}, 0x81};
  const bool nameFirst = !columnsInNameOrder;
  t.realIndexes = {{{{n[kId], true}}, 0x89}, nameFirst ? byName : byId, nameFirst ? byId : byName};
  const std::int32_t idIndex = nameFirst ? 2 : 1, nameIndex = nameFirst ? 1 : 2;
  t.indexes = {{"Id", 0, 0, 1}, {"ParentIdId", idIndex, idIndex, 0}, {"ParentIdName", nameIndex, nameIndex, 0}};
  struct Entry {
    const char* id;
    const char* name;
    const char* parent;
    const char* type;
    const char* lv;
  };
  const Entry entries[] = {
      {"1", "MSysAccessStorage_ROOT", "1", "1", nullptr},
      {"2", "MSysAccessStorage_SCRATCH", "2", "1", nullptr},
      {"11", "Forms", "1", "1", nullptr},
      {"12", "Cmdbars", "1", "1", nullptr},
      {"13", "Modules", "1", "1", nullptr},
      {"14", "Reports", "1", "1", nullptr},
      {"15", "Scripts", "1", "1", nullptr},
      {"16", "PropData", "1", "2", "00000000026a000000e4040000026900000004000000"},
      {"17", "Databases", "1", "1", nullptr},
      {"18", "0", "17", "1", nullptr},
      {"19", "Blob", "18", "2", nullptr},
      {"21", "ImExSpecs", "1", "1", nullptr},
      {"22", "CustomGroups", "1", "1", nullptr},
      {"23", "DataAccessPages", "1", "1", nullptr},
  };
  for (const Entry& e : entries) {
    Row row(kCount);
    row[n[kId]] = e.id;
    row[n[kName]] = e.name;
    row[n[kParentId]] = e.parent;
    row[n[kType]] = e.type;
    row[n[kDateCreate]] = "{now}";
    row[n[kDateUpdate]] = "{now}";
    row[n[kLv]] = e.lv;
    t.rows.push_back(row);
  }
  return t;
}

// --- Property lists ------------------------------------------------------------------------------

PropertySetDescription KeepLocal(const char* key, std::uint8_t ddl) {
  return {key, {"KeepLocal"}, {{0, "", {{10, ddl, "KeepLocal", "T"}}}}};
}

PropertySetDescription UserDefined() {
  return {"UserDefined", {"ReplicateProject"}, {{0, "", {{1, 0, "ReplicateProject", "0x01"}}}}};
}

// SummaryInfo of Jet4 and later.
PropertySetDescription SummaryInfo() {
  return {"SummaryInfo", {"Title", "Author", "Company"},
      {{0, "", {{10, 0, "Title", "    "},
        {10, 0, "Author", "            "},
        {10, 0, "Company", "                     "}}}}};
}

// MSysDb of Access 2007; Access 2010 adds to it (Ace2010).
PropertySetDescription AceMSysDb() {
  return {"MSysDb", {"AccessVersion", "Build", "ProjVer", "Track Name AutoCorrect Info", "Perform Name AutoCorrect", "HasOfflineLists", "NavPane Closed", "NavPane Width", "NavPane Category", "NavPane Category Name", "NavPane View By", "NavPane Sort By", "Show Navigation Pane Search Bar"},
      {{0, "", {{10, 0, "AccessVersion", "09.50"},
        {4, 0, "Build", "1150"},
        {3, 0, "ProjVer", "0x77000000"},
        {4, 1, "Track Name AutoCorrect Info", "0"},
        {4, 1, "Perform Name AutoCorrect", "0"},
        {3, 0, "HasOfflineLists", "70"},
        {4, 1, "NavPane Closed", "0"},
        {4, 1, "NavPane Width", "215"},
        {4, 1, "NavPane Category", "0"},
        {4, 1, "NavPane View By", "0"},
        {4, 1, "NavPane Sort By", "1"},
        {4, 1, "Show Navigation Pane Search Bar", "0"}}}}};
}

// --- The versions --------------------------------------------------------------------------------

constexpr std::uint32_t kJet3Collation = 0x04e40409;  // sort order 0x0409 ("General"), code page 1252

// Access 97 writes the same core tables with its own column descriptors: lengths of text and
// binary columns in bytes of the code page (half those of UTF-16), descriptor bytes 9..12 holding
// the sort order and the code page, the columns listed by number, and physical index flags
// without the 0x80 bit the later versions always set.
void AsJet3(TableDescription& t) {
  for (auto& c : t.columns) {
    if (c.type == 0x09 || c.type == 0x0a) c.length /= 2;
    c.collation = kJet3Collation;
  }
  std::stable_sort(t.columns.begin(), t.columns.end(),
                   [](const ColumnDescription& a, const ColumnDescription& b) { return a.number < b.number; });
  for (auto& r : t.realIndexes) r.flags &= 0x7f;
}

// Access 2010 puts its sort version into byte 14 of the column descriptors: of every column of
// the core system tables, MSysComplexColumns and the MSysComplexType tables, and of the text and
// memo columns of the other tables.
void StampSortVersion(TableDescription& t, std::uint8_t version) {
  const bool everyColumn = t.tableType == 0x53 || t.name.rfind("MSysComplex", 0) == 0;
  for (auto& c : t.columns)
    if (everyColumn || c.type == 0x0a || c.type == 0x0c) c.collation |= std::uint32_t{version} << 24;
}

void Jet3(DatabaseDescription& d, const Version& v) {
  d.tables = {MSysObjects(), MSysACEs(), MSysQueries(), MSysRelationships()};
  for (auto& t : d.tables) AsJet3(t);
  // MSysQueries of Access 97 has no LvExtra, and its variable columns keep fixed offsets of
  // their own.
  d.tables[2].columns = {{"ObjectId", 0x04, 0, 0, 0, 4, 0x13, 0x00, kJet3Collation},
                         {"Attribute", 0x02, 1, 0, 4, 1, 0x13, 0x00, kJet3Collation},
                         {"Order", 0x09, 2, 0, 4, 255, 0x12, 0x00, kJet3Collation},
                         {"Name1", 0x0a, 3, 1, 4, 255, 0x12, 0x00, kJet3Collation},
                         {"Name2", 0x0a, 4, 2, 4, 255, 0x12, 0x00, kJet3Collation},
                         {"Expression", 0x0c, 5, 3, 255, 0, 0x12, 0x00, kJet3Collation},
                         {"Flag", 0x03, 6, 4, 5, 2, 0x13, 0x00, kJet3Collation}};

  // The Access containers and documents of Access 97 come in an order (and so with ids) of their own.
  Rows& catalog = d.tables[0].rows;
  catalog = CatalogHead(v);
  catalog.push_back(Object("-2147483648", "251658242", "SummaryInfo", "-32757", v.owner, "0", "{props:SummaryInfo}"));
  catalog.push_back(Object("-2147483647", "251658242", "UserDefined", "-32757", v.owner, "0", "{props:UserDefined}"));
  catalog.push_back(Object("-2147483646", "251658240", "Forms", "3", v.owner, "0"));
  catalog.push_back(Object("-2147483645", "251658240", "Reports", "3", v.owner, "0"));
  catalog.push_back(Object("-2147483644", "251658240", "Scripts", "3", v.owner, "0"));
  catalog.push_back(Object("-2147483643", "251658240", "Modules", "3", v.owner, "0"));
  catalog.push_back(Object("-2147483642", "251658240", "SysRel", "3", v.owner, "0"));
  catalog.push_back(Object("-2147483641", "251658240", "DataAccessPages", "3", v.owner, "0"));

  // The same rights as the later versions give these objects, in the order of Access 97's file.
  d.tables[1].rows = {
      Ace("{id:MSysObjects}", v.owner, "393216"),
      Ace("{id:MSysACEs}", v.owner, "393216"),
      Ace("{id:MSysQueries}", v.owner, "393216"),
      Ace("{id:MSysRelationships}", v.owner, "917504"),
      Ace("251658241", v.creator, "983294", true),
      Ace("251658241", v.owner, "1048319", true),
      Ace("251658243", v.creator, "983294", true),
      Ace("251658243", v.owner, "393217"),
      Ace("251658242", v.owner, "393216"),
      Ace("268435456", v.owner, "393230"),
      Ace("268435456", v.users, "14"),
      Ace("268435456", v.admins, "393230"),
      Ace("{id:MSysObjects}", v.admins, "393300"),
      Ace("{id:MSysACEs}", v.admins, "393300"),
      Ace("{id:MSysQueries}", v.admins, "393236"),
      Ace("{id:MSysQueries}", v.users, "20"),
      Ace("{id:MSysRelationships}", v.admins, "393236"),
      Ace("{id:MSysRelationships}", v.users, "20"),
      Ace("{id:MSysObjects}", v.users, "20"),
      Ace("251658241", v.admins, "1048319", true),
      Ace("251658241", v.users, "1048319", true),
      Ace("251658243", v.admins, "1048575", true),
      Ace("251658243", v.users, "1048575", true),
      Ace("-2147483648", v.users, "65536"),
      Ace("-2147483647", v.users, "65536"),
  };
  for (const char* id : {"-2147483646", "-2147483645", "-2147483644", "-2147483643", "-2147483642", "-2147483641"})
    ContainerAces(d.tables[1].rows, v, id);

  d.propertySets = {
    {"MSysDb", {"AccessVersion"},
      {{0, "", {{10, 0, "AccessVersion", "07.53"}}}}},
    {"SummaryInfo", {"Title", "Author", "Company"},
      {{0, "", {{10, 0, "Title", "   "},
        {10, 0, "Author", "             "}}}}},
    UserDefined()};
}

void Jet4(DatabaseDescription& d, const Version& v) {
  d.tables = {MSysObjects(), MSysACEs(), MSysQueries(), MSysRelationships(),
              {"MSysAccessObjects", 0x4e, false,
               {{"Data", 0x11, 0, 0, 0, 3992, 0x03, 0x00},
                {"ID", 0x04, 1, 0, 0, 4, 0x02, 0x00}},
               {{{{1, true}}, 0x89}},
               {{"AOIndex", 0, 0, 1}},
               {}}};
  Rows& catalog = d.tables[0].rows;
  catalog = CatalogHead(v);
  AccessContainers(catalog, v);
  catalog.push_back(Object("{id:MSysAccessObjects}", "251658241", "MSysAccessObjects", "1", v.owner, "2"));

  Rows& aces = d.tables[1].rows;
  ContainerAccess(aces, v);
  for (const char* id : {"{id:MSysAccessObjects}", "{id:MSysACEs}", "{id:MSysObjects}", "{id:MSysQueries}",
                         "{id:MSysRelationships}"})
    SystemTableAces(aces, v, id);

  d.propertySets = {
    {"MSysDb", {"AccessVersion", "Build"},
      {{0, "", {{10, 0, "AccessVersion", "08.50"},
        {4, 0, "Build", "6620"}}}}},
    KeepLocal("AccessLayout", 0), SummaryInfo(), UserDefined()};
}

void Ace2007(DatabaseDescription& d, const Version& v) {
  d.tables = {MSysObjects(), MSysACEs(), MSysQueries(), MSysRelationships()};
  ComplexTables(d.tables);
  d.tables.push_back(MSysNavPaneObjectIDs({
      {"{id:MSysNavPaneGroupCategories}", "MSysNavPaneGroupCategories"},
      {"{id:MSysNavPaneGroups}", "MSysNavPaneGroups"},
      {"{id:MSysNavPaneGroupToObjects}", "MSysNavPaneGroupToObjects"},
      {"{id:MSysAccessStorage}", "MSysAccessStorage"},
      {"{id:MSysNavPaneObjectIDs}", "MSysNavPaneObjectIDs"}}));
  d.tables.push_back(MSysNavPaneGroupCategories("9"));
  d.tables.push_back(MSysNavPaneGroups());
  d.tables.push_back(MSysNavPaneGroupToObjects({
      {"0", "1", "0", "12", nullptr, "{id:MSysNavPaneGroupToObjects}", "7"},
      {"0", "1", "0", "13", nullptr, "65", "8"},
      {"0", "1", "0", "14", nullptr, "{id:MSysAccessStorage}", "9"},
      {"0", "1", "0", "15", nullptr, "{id:MSysNavPaneObjectIDs}", "10"}}));
  d.tables.push_back(MSysAccessStorage(false));

  Rows& catalog = d.tables[0].rows;
  catalog = CatalogHead(v);
  ComplexCatalog(catalog);
  AccessContainers(catalog, v);
  catalog.push_back(Object("{id:MSysNavPaneGroupCategories}", "251658241", "MSysNavPaneGroupCategories", "1", v.owner,
                           "10", "{props:MSysNavPaneGroupCategories}"));
  catalog.push_back(Object("{id:MSysNavPaneGroups}", "251658241", "MSysNavPaneGroups", "1", v.owner, "10",
                           "{props:MSysNavPaneGroups}"));
  catalog.push_back(Object("{id:MSysNavPaneGroupToObjects}", "251658241", "MSysNavPaneGroupToObjects", "1", v.owner,
                           "10", "{props:MSysNavPaneGroupToObjects}"));
  catalog.push_back(Object("{id:MSysAccessStorage}", "251658241", "MSysAccessStorage", "1", v.owner, "10"));
  catalog.push_back(Object("{id:MSysNavPaneObjectIDs}", "251658241", "MSysNavPaneObjectIDs", "1", v.owner, "10"));

  // Access 2007's file lists the rights of the complex tables SID by SID, and splits those of
  // MSysNavPaneGroups around MSysNavPaneObjectIDs.
  Rows& aces = d.tables[1].rows;
  auto complexAces = [&](const char* sid, const char* rights) {
    aces.push_back(Ace("{id:MSysComplexColumns}", sid, rights));
    for (const ComplexType& t : kComplexTypes) aces.push_back(Ace(t.id, sid, rights));
    aces.push_back(Ace("{id:MSysComplexType_Attachment}", sid, rights));
  };
  complexAces(v.owner, "393216");
  complexAces(v.other, "393236");
  complexAces(v.users, "20");
  ContainerAccess(aces, v);
  SystemTableAces(aces, v, "{id:MSysACEs}");
  SystemTableAces(aces, v, "{id:MSysNavPaneGroupCategories}");
  aces.push_back(Ace("{id:MSysNavPaneGroups}", v.owner, "393216"));
  SystemTableAces(aces, v, "{id:MSysNavPaneObjectIDs}");
  aces.push_back(Ace("{id:MSysNavPaneGroups}", v.admins, "1048319"));
  aces.push_back(Ace("{id:MSysNavPaneGroups}", v.users, "244"));
  aces.push_back(Ace("{id:MSysNavPaneGroups}", v.other, "0"));
  for (const char* id : {"{id:MSysNavPaneGroupToObjects}", "{id:MSysObjects}", "{id:MSysQueries}",
                         "{id:MSysRelationships}", "{id:MSysAccessStorage}"})
    SystemTableAces(aces, v, id);

  d.propertySets = {AceMSysDb(),
                    KeepLocal("AccessLayout", 0),
                    SummaryInfo(),
                    UserDefined(),
                    KeepLocal("MSysNavPaneGroupCategories", 1),
                    KeepLocal("MSysNavPaneGroups", 1),
                    KeepLocal("MSysNavPaneGroupToObjects", 1)};
}

void Ace2010(DatabaseDescription& d, const Version& v) {
  d.tables = {MSysObjects(), MSysACEs(), MSysQueries(), MSysRelationships()};
  ComplexTables(d.tables);
  // MSysComplexColumns ties the attachment column Data of MSysResources to its flat table.
  d.tables[4].rows = {{"Data", "{id:MSysComplexType_Attachment}", "{id:f_{guid:1}_Data}", "{id:MSysResources}", "1"}};
  d.tables.push_back({"f_{guid:1}_Data", 0x4e, true,
     {{"_Data", 0x04, 0, 0, 0, 4, 0x02, 0x08, 0x00000000},
      {"FileData", 0x0b, 1, 1, 0, 0, 0x02, 0x10},
      {"FileFlags", 0x04, 2, 2, 0, 4, 0x03, 0x10},
      {"FileName", 0x0a, 3, 2, 0, 510, 0x02, 0x10},
      {"FileTimeStamp", 0x08, 4, 3, 4, 8, 0x03, 0x10},
      {"FileType", 0x0a, 5, 3, 0, 510, 0x02, 0x10},
      {"FileURL", 0x0c, 6, 4, 0, 0, 0x02, 0x10},
      {"MSysResources_Data", 0x04, 7, 5, 0, 4, 0x06, 0x04, 0x00000000}},
     {{{{0, true}}, 0x88}, {{{0, true}, {3, true}}, 0x89}, {{{7, true}}, 0x89}},
     {{"_Data", 0, 0, 0}, {"IdxFKPrimaryScalar", 1, 1, 0}, {"MSysComplexPKIndex", 2, 2, 1}},
     {}});
  d.tables.push_back(MSysAccessStorage(true));
  d.tables.push_back(MSysNavPaneGroupCategories(nullptr));
  d.tables.push_back(MSysNavPaneGroups());
  d.tables.push_back(MSysNavPaneGroupToObjects({
      {"0", "1", "0", "12", nullptr, "{id:MSysNavPaneGroupToObjects}", "9"},
      {"0", "1", "0", "14", nullptr, "{id:MSysAccessStorage}", "10"},
      {"0", "1", "0", "15", nullptr, "{id:MSysNavPaneObjectIDs}", "11"},
      {"0", "1", "0", "16", nullptr, "{id:MSysResources}", "12"}}));
  d.tables.push_back(MSysNavPaneObjectIDs({
      {"{id:f_{guid:1}_Data}", "f_{guid:1}_Data"},
      {"{id:MSysAccessStorage}", "MSysAccessStorage"},
      {"{id:MSysNavPaneGroupCategories}", "MSysNavPaneGroupCategories"},
      {"{id:MSysNavPaneGroups}", "MSysNavPaneGroups"},
      {"{id:MSysNavPaneGroupToObjects}", "MSysNavPaneGroupToObjects"},
      {"{id:MSysNavPaneObjectIDs}", "MSysNavPaneObjectIDs"},
      {"{id:MSysResources}", "MSysResources"}}));
  d.tables.push_back({"MSysResources", 0x4e, false,
     {{"Data", 0x12, 0, 0, 0, 4, 0x07, 0x00, 0x00000001},  // complex id 1
      {"Extension", 0x0a, 1, 0, 0, 510, 0x02, 0x00},
      {"Id", 0x04, 2, 1, 0, 4, 0x06, 0x00},
      {"Name", 0x0a, 3, 2, 0, 510, 0x02, 0x00},
      {"Type", 0x0a, 4, 3, 0, 510, 0x02, 0x00}},
     {{{{0, true}}, 0x89, 2}, {{{2, true}}, 0x89}},
     {{"Data_{guid:2}", 0, 0, 0}, {"Id", 1, 1, 1}},
     {}});

  Rows& catalog = d.tables[0].rows;
  catalog = CatalogHead(v);
  ComplexCatalog(catalog);
  AccessContainers(catalog, v);
  catalog.push_back(Object("{id:f_{guid:1}_Data}", "251658241", "f_{guid:1}_Data", "1", v.owner, "-2146828288"));
  catalog.push_back(Object("{id:MSysAccessStorage}", "251658241", "MSysAccessStorage", "1", v.owner, "10"));
  catalog.push_back(Object("{id:MSysNavPaneGroupCategories}", "251658241", "MSysNavPaneGroupCategories", "1", v.owner,
                           "10", "{props:MSysNavPaneGroupCategories}"));
  catalog.push_back(Object("{id:MSysNavPaneGroups}", "251658241", "MSysNavPaneGroups", "1", v.owner, "10",
                           "{props:MSysNavPaneGroups}"));
  catalog.push_back(Object("{id:MSysNavPaneGroupToObjects}", "251658241", "MSysNavPaneGroupToObjects", "1", v.owner,
                           "10", "{props:MSysNavPaneGroupToObjects}"));
  catalog.push_back(Object("{id:MSysNavPaneObjectIDs}", "251658241", "MSysNavPaneObjectIDs", "1", v.owner, "10"));
  catalog.push_back(Object("{id:MSysResources}", "251658241", "MSysResources", "1", v.owner, "262154"));

  // After the containers, Access 2010's file gives the rights of each system table in name order.
  Rows& aces = d.tables[1].rows;
  ContainerAccess(aces, v);
  for (const char* id : {"{id:f_{guid:1}_Data}", "{id:MSysAccessStorage}", "{id:MSysACEs}", "{id:MSysComplexColumns}",
                         "{id:MSysComplexType_Attachment}", "{id:MSysComplexType_Decimal}", "{id:MSysComplexType_GUID}",
                         "{id:MSysComplexType_IEEEDouble}", "{id:MSysComplexType_IEEESingle}",
                         "{id:MSysComplexType_Long}", "{id:MSysComplexType_Short}", "{id:MSysComplexType_Text}",
                         "{id:MSysComplexType_UnsignedByte}", "{id:MSysNavPaneGroupCategories}",
                         "{id:MSysNavPaneGroups}", "{id:MSysNavPaneGroupToObjects}", "{id:MSysNavPaneObjectIDs}",
                         "{id:MSysObjects}", "{id:MSysQueries}", "{id:MSysRelationships}", "{id:MSysResources}"})
    SystemTableAces(aces, v, id);

  // MSysDb: Access 2007's list, then the start-up and application options Access 2010 writes.
  PropertySetDescription db = AceMSysDb();
  for (const char* name : {"AppTitle", "StartUpShowDBWindow", "StartUpShowStatusBar", "StartUpMenuBar", "AllowShortcutMenus", "AllowFullMenus", "AllowBuiltInToolbars", "AllowToolbarChanges", "AllowSpecialKeys", "AppIcon", "StartupShortcutMenuBar", "UseAppIconForFrmRpt", "UseMDIMode", "ShowDocumentTabs", "AllowDatasheetSchema", "CustomRibbonID", "WebDesignMode", "DesignWithData", "WebStartUpView", "StartUpForm", "Show Values Limit", "Show Values in Indexed", "Show Values in Non-Indexed", "Show Values in Remote", "Auto Compact", "ANSI Query Mode", "Picture Property Storage Format"})
    db.names.push_back(name);
  auto& p = db.blocks[0].properties;
  p.insert(p.end(), {
        {1, 1, "StartUpShowDBWindow", "0x01"},
        {1, 1, "StartUpShowStatusBar", "0x01"},
        {1, 1, "AllowShortcutMenus", "0x01"},
        {1, 1, "AllowFullMenus", "0x01"},
        {1, 1, "AllowBuiltInToolbars", "0x01"},
        {1, 1, "AllowToolbarChanges", "0x01"},
        {1, 1, "AllowSpecialKeys", "0x01"},
        {1, 1, "UseAppIconForFrmRpt", "0x00"},
        {2, 1, "UseMDIMode", "1"},
        {1, 1, "ShowDocumentTabs", "0x01"},
        {1, 1, "AllowDatasheetSchema", "0x01000000"},
        {2, 1, "WebDesignMode", "0"},
        {1, 1, "DesignWithData", "0x01"},
        {4, 1, "Show Values Limit", "1000"},
        {4, 1, "Show Values in Indexed", "1"},
        {4, 1, "Show Values in Non-Indexed", "1"},
        {4, 1, "Show Values in Remote", "0"},
        {4, 1, "Auto Compact", "0"},
        {4, 1, "ANSI Query Mode", "0"},
        {4, 1, "Picture Property Storage Format", "1"}});
  d.propertySets = {db,
                    KeepLocal("AccessLayout", 0),
                    SummaryInfo(),
                    UserDefined(),
                    KeepLocal("MSysNavPaneGroupCategories", 1),
                    KeepLocal("MSysNavPaneGroups", 1),
                    KeepLocal("MSysNavPaneGroupToObjects", 1)};
  for (auto& t : d.tables) StampSortVersion(t, v.sortVersion);
}

DatabaseDescription Make(const Version& v) {
  DatabaseDescription d;
  d.format = v.format;
  d.versionByte = v.versionByte;
  d.versionFlags = v.versionFlags;
  d.sortOrder = 0x0409;  // General
  d.sortVersion = v.sortVersion;
  d.headerUnknown6a = v.headerUnknown6a;
  switch (v.format) {
    case DatabaseFormat::Jet3:
      Jet3(d, v);
      break;
    case DatabaseFormat::Jet4:
      Jet4(d, v);
      break;
    case DatabaseFormat::Ace2007:
      Ace2007(d, v);
      break;
    case DatabaseFormat::Ace2010:
      Ace2010(d, v);
      break;
  }
  return d;
}

}  // namespace

const DatabaseDescription& EmptyDatabaseDescription(DatabaseFormat format) {
  switch (format) {
    case DatabaseFormat::Jet3: {
      static const DatabaseDescription jet3 = Make(kJet3);
      return jet3;
    }
    case DatabaseFormat::Jet4: {
      static const DatabaseDescription jet4 = Make(kJet4);
      return jet4;
    }
    case DatabaseFormat::Ace2007: {
      static const DatabaseDescription ace2007 = Make(kAce2007);
      return ace2007;
    }
    case DatabaseFormat::Ace2010: {
      static const DatabaseDescription ace2010 = Make(kAce2010);
      return ace2010;
    }
  }
  throw Error(errc::kInvalidArgument, "Unknown database format.");
}

}  // namespace qv::jet
