// Writes the sample data of a small shop into the folder given on the command line:
//   SUPPLIER  suppliers: names with accents, a logical, a date, a money field
//   STOCK     stock levels: integers, money, a memo per line
//   archive/ORDERLOG  an order log in a subfolder: timestamps and memos
//   sample.mdb  an Access 2000 database with other tables than the Paradox ones, so that a new
//               user can send tables both ways at once:
//     Customers  names and towns with accents, a Yes/No, the date they joined
//   The Access texts keep to characters that code page 437 has (the code page of the Paradox
//   tables a transfer writes), so that every sample table can be sent to Paradox.
//     Products   prices, stock counts, a long description (memo) per product
//     Orders     order lines with dates and times, money, a discount rate
// Everything is made up here. Tables and the database of an earlier run are replaced.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/paradox/paradox_folder.h"

namespace fs = std::filesystem;
using qv::Column;
using qv::ColumnType;
using qv::Row;

namespace {

Column Col(const char* name, ColumnType type, std::uint32_t size = 0) {
  Column c;
  c.name = name;
  c.type = type;
  c.size = size;
  return c;
}

qv::Timestamp At(int y, int m, int d, int hh = 0, int mm = 0) {
  qv::Timestamp t;
  t.year = y;
  t.month = static_cast<std::uint8_t>(m);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(hh);
  t.minute = static_cast<std::uint8_t>(mm);
  return t;
}

qv::Currency Money(std::int64_t cents) {
  return qv::Currency{cents * 100};
}

void Write(const fs::path& folder, const std::string& name, const std::vector<Column>& columns,
           const std::vector<Row>& rows) {
  fs::create_directories(folder);
  qv::paradox::ParadoxFolder db(folder);
  if (db.HasTable(name)) db.DropTable(name);
  auto writer = db.CreateTable(name, columns, {1252});
  for (const auto& row : rows) writer->Append(row);
  writer->Close();
}

void WriteAccessTable(qv::jet::Database& db, const std::string& name, const std::vector<Column>& columns,
                      const std::vector<Row>& rows) {
  qv::jet::CreateTable(db, name, columns);
  qv::jet::TableInserter inserter(db, name);
  for (const auto& row : rows) inserter.Insert(row);
}

void WriteAccessSample(const fs::path& file) {
  // A new file each run: the database is written whole under a temporary name and renamed, so a
  // stale sample from an older build is replaced only by a complete one.
  const fs::path fresh = file.string() + ".new";
  fs::remove(fresh);
  qv::jet::CreateDatabase(fresh.string(), qv::jet::DatabaseFormat::Jet4);
  {
    auto db = qv::jet::Database::Open(fresh.string());
    WriteAccessTable(
        *db, "Customers",
        {Col("CustomerID", ColumnType::Int32), Col("Name", ColumnType::Text, 50),
         Col("Town", ColumnType::Text, 40), Col("Newsletter", ColumnType::Boolean),
         Col("Joined", ColumnType::Date)},
        {
            {std::int64_t{1}, std::string("Åsa Lindström"), std::string("Göteborg"), true, At(2015, 6, 2)},
            {std::int64_t{2}, std::string("François Dubois-Léger"), std::string("Besançon"), false,
             At(2017, 9, 14)},
            {std::int64_t{3}, std::string("José Núñez"), std::string("Málaga"), true, At(2020, 1, 8)},
            {std::int64_t{4}, std::string("Nuala Ní Bhriain"), std::string("Dún Laoghaire"), false,
             std::monostate{}},
            {std::int64_t{5}, std::string("Jürgen Weiß"), std::string("Köln"), true, At(2023, 11, 30)},
        });
    WriteAccessTable(
        *db, "Products",
        {Col("ProductCode", ColumnType::Text, 12), Col("Title", ColumnType::Text, 60),
         Col("Price", ColumnType::Currency), Col("InStock", ColumnType::Int16),
         Col("Description", ColumnType::Memo)},
        {
            {std::string("DESK-OAK"), std::string("Oak writing desk"), Money(34900), std::int64_t{3},
             std::string("Solid oak, two drawers with brass handles. Delivered flat; assembly takes "
                         "about an hour with the included key.")},
            {std::string("LAMP-GRN"), std::string("Banker's lamp, green shade"), Money(5990),
             std::int64_t{12},
             std::string("Green glass shade on a brass stand; pull-chain switch.\nBulb not included.")},
            {std::string("CHAIR-SWV"), std::string("Swivel chair"), Money(12900), std::int64_t{0},
             std::monostate{}},
            {std::string("TRAY-3"), std::string("Letter tray, three tiers"), Money(1850), std::int64_t{40},
             std::string("Stackable trays for A4 and US letter: one for \"in\", one for \"out\", one for "
                         "\"later\".")},
        });
    WriteAccessTable(*db, "Orders",
                     {Col("OrderID", ColumnType::Int32), Col("CustomerID", ColumnType::Int32),
                      Col("ProductCode", ColumnType::Text, 12), Col("Quantity", ColumnType::Int16),
                      Col("Ordered", ColumnType::DateTime), Col("Total", ColumnType::Currency),
                      Col("Discount", ColumnType::Double)},
                     {
                         {std::int64_t{1001}, std::int64_t{1}, std::string("DESK-OAK"), std::int64_t{1},
                          At(2024, 2, 12, 10, 5), Money(34900), 0.0},
                         {std::int64_t{1002}, std::int64_t{3}, std::string("LAMP-GRN"), std::int64_t{2},
                          At(2024, 2, 13, 14, 30), Money(10782), 0.1},
                         {std::int64_t{1003}, std::int64_t{2}, std::string("TRAY-3"), std::int64_t{5},
                          At(2024, 3, 1, 9, 0), Money(9250), std::monostate{}},
                         {std::int64_t{1004}, std::int64_t{5}, std::string("CHAIR-SWV"), std::int64_t{1},
                          At(2024, 12, 24, 17, 45), Money(12900), 0.0},
                     });
    db->Close();  // everything on disk, or an error: a sample that failed to save never takes the name
  }
  fs::rename(fresh, file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qv_make_samples FOLDER\n");
    return 2;
  }
  const fs::path out(argv[1]);
  try {
    Write(out, "SUPPLIER",
          {Col("SupplierID", ColumnType::Int32), Col("Company", ColumnType::Text, 40),
           Col("City", ColumnType::Text, 30), Col("Preferred", ColumnType::Boolean),
           Col("Since", ColumnType::Date), Col("CreditLimit", ColumnType::Currency)},
          {
              {std::int64_t{1}, std::string("Müller & Söhne Papierwaren"), std::string("Düsseldorf"), true,
               At(1998, 4, 1), Money(500000)},
              {std::int64_t{2}, std::string("Café Lumière Fournitures"), std::string("Québec"), false,
               At(2003, 11, 17), Money(125050)},
              {std::int64_t{3}, std::string("Ørsted Kontorartikler"), std::string("Århus"), true,
               At(2011, 2, 28), Money(0)},
              {std::int64_t{4}, std::string("O'Brien Office Supply"), std::string("Cork"), false,
               std::monostate{}, std::monostate{}},
          });
    Write(out, "STOCK",
          {Col("ProductCode", ColumnType::Text, 12), Col("OnHand", ColumnType::Int16),
           Col("Reorder", ColumnType::Int16), Col("UnitCost", ColumnType::Currency),
           Col("Shelf", ColumnType::Text, 8), Col("Remarks", ColumnType::Memo)},
          {
              {std::string("PEN-BLK-01"), std::int64_t{240}, std::int64_t{50}, Money(45), std::string("A1"),
               std::string("Black ballpoint pens, boxes of ten.\nCount them by the box, not by the pen.")},
              {std::string("NB-A5-RUL"), std::int64_t{75}, std::int64_t{20}, Money(189), std::string("B3"),
               std::string(
                   "A5 ruled notebooks. The supplier changed the cover colour in spring; both kinds sell.")},
              {std::string("INK-CART-7"), std::int64_t{0}, std::int64_t{10}, Money(2399), std::string("C2"),
               std::monostate{}},
              {std::string("CLIP-100"), std::int64_t{512}, std::int64_t{100}, Money(120), std::string("A4"),
               std::string("Paper clips, 100 per tin — weigh a tin (112 g) when counting.")},
          });
    Write(out / "archive", "ORDERLOG",
          {Col("Entry", ColumnType::Int32), Col("Logged", ColumnType::DateTime),
           Col("Clerk", ColumnType::Text, 20), Col("Amount", ColumnType::Double),
           Col("Note", ColumnType::Memo)},
          {
              {std::int64_t{1}, At(2019, 3, 4, 9, 15), std::string("Zoë"), 149.5,
               std::string("Phone order, delivered next day.")},
              {std::int64_t{2}, At(2019, 3, 4, 16, 40), std::string("Hernán"), 12.25,
               std::string("Walk-in; paid cash.")},
              {std::int64_t{3}, At(2020, 12, 31, 23, 59), std::string("Zoë"), 0.0, std::string()},
          });
    WriteAccessSample(out / "sample.mdb");
  } catch (const qv::Error& e) {
    std::fprintf(stderr, "qv_make_samples: %s (error %d)\n", e.description().c_str(), e.number());
    return 1;
  }
  return 0;
}
