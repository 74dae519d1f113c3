// Tables written by our engine read back identically through our reader and through pxlib
// (pxdump), and every refusal names the row and the field.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/core/error.h"
#include "engine/core/file_system.h"
#include "engine/core/text_codec.h"
#include "engine/core/value_text.h"
#include "engine/paradox/paradox_folder.h"
#include "engine/paradox/table_copy.h"

namespace fs = std::filesystem;
using namespace qv;
using namespace qv::paradox;

namespace {

struct TempFolder {
  fs::path path;
  TempFolder() {
    char tmpl[] = "/tmp/qv-paradox-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempFolder() { fs::remove_all(path); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::string Capture(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buf[1 << 16];
  std::size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int st = p ? pclose(p) : -1;
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

std::vector<std::string> DumpLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("pxlib\t", 0) && line.rfind("paradoxdump\t", 0) && line.rfind("end\t", 0))
      lines.push_back(line);
  return lines;
}

// pxlib must read the file cleanly and see exactly what our dump sees.
void ExpectPxlibAgrees(const fs::path& db) {
  int theirsStatus = 0, oursStatus = 0;
  const std::string theirs =
      Capture(std::string(QV_ORACLE_DIR) + "/pxdump -x '" + db.string() + "' 2>&1", &theirsStatus);
  const std::string ours = Capture(std::string(PARADOXDUMP) + " -x '" + db.string() + "' 2>&1", &oursStatus);
  EXPECT_EQ(theirsStatus, 0) << theirs.substr(0, 2000);
  EXPECT_EQ(oursStatus, 0) << ours.substr(0, 2000);
  EXPECT_NE(theirs.find("end\terrors=0\twarnings=0"), std::string::npos);
  EXPECT_EQ(DumpLines(ours), DumpLines(theirs));
}

Column Col(const std::string& name, ColumnType type, std::uint32_t size = 0) {
  Column c;
  c.name = name;
  c.type = type;
  c.size = size;
  return c;
}

Timestamp Ts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  Timestamp t;
  t.year = y;
  t.month = static_cast<std::uint8_t>(mo);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(h);
  t.minute = static_cast<std::uint8_t>(mi);
  t.second = static_cast<std::uint8_t>(s);
  t.millisecond = static_cast<std::uint16_t>(ms);
  return t;
}

std::vector<Row> ReadAll(TableReader& t) {
  std::vector<Row> rows;
  Row r;
  while (t.Next(r)) rows.push_back(r);
  return rows;
}

}  // namespace

TEST(ParadoxWriter, EveryColumnTypeRoundTrips) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  Column dec = Col("Amount", ColumnType::Decimal);
  dec.precision = 18;
  dec.scale = 4;
  const std::vector<Column> cols = {Col("Flag", ColumnType::Boolean),
                                    Col("Tiny", ColumnType::Byte),
                                    Col("Small", ColumnType::Int16),
                                    Col("Whole", ColumnType::Int32),
                                    Col("Big", ColumnType::Int64),
                                    Col("Single", ColumnType::Single),
                                    Col("Real", ColumnType::Double),
                                    Col("Price", ColumnType::Currency),
                                    dec,
                                    Col("When", ColumnType::DateTime),
                                    Col("Day", ColumnType::Date),
                                    Col("Clock", ColumnType::Time),
                                    Col("Name", ColumnType::Text, 20),
                                    Col("LongText", ColumnType::Text, 0),
                                    Col("Notes", ColumnType::Memo),
                                    Col("Raw", ColumnType::Binary, 16),
                                    Col("Picture", ColumnType::LongBinary),
                                    Col("Key", ColumnType::Guid)};
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 17);
  std::string bigMemo;
  for (int i = 0; bigMemo.size() < 70000; ++i) bigMemo += "line " + std::to_string(i) + " \u00e9t\u00e9\r\n";
  Bytes picture(5000);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
  std::vector<Row> rows = {
      {true, std::int64_t{255}, std::int64_t{-32767}, std::int64_t{2147483647},
       std::int64_t{9007199254740992}, 1.5, -0.0, Currency{-123456789}, Decimal{"-12345678901234.5678"},
       Ts(2024, 2, 29, 23, 59, 58, 999), Ts(1, 1, 1), Ts(1899, 12, 30, 12, 0, 0, 5),
       std::string("Gr\u00fc\u00dfe \u2500 \u00f1"), std::string(300, 'x'), bigMemo, Bytes{0, 1, 2, 0},
       picture, g},
      {false, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, 0.0, 0.0, Currency{0},
       Decimal{"0"}, Ts(1899, 12, 30), Ts(-100, 3, 1), Ts(1899, 12, 30), std::string("a"),
       std::string("short"), std::string("tiny memo"), Bytes{0xFF}, Bytes(100, 0xAB), Value{}},
      Row(cols.size(), Value{}),  // every field blank
  };
  auto out = db.CreateTable("alltypes", cols);
  for (auto& r : rows) out->Append(r);
  out->Close();
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"alltypes.DB", "alltypes.MB"}));

  auto in = db.OpenTable("ALLTYPES");
  EXPECT_EQ(in->header().version, kVersion50);
  EXPECT_EQ(in->header().codePage, 437);
  EXPECT_EQ(in->header().sortOrderName, "ascii");
  ASSERT_EQ(in->rowCount(), 3);
  auto back = ReadAll(*in);
  ASSERT_EQ(back.size(), 3u);
  // What each value becomes through the type mapping.
  std::vector<Row> expected = rows;
  expected[0][5] = 1.5;  // Single travels as double
  expected[0][4] = 9007199254740992.0;
  expected[1][4] = 0.0;
  expected[0][7] = -12345.6789;
  expected[1][7] = 0.0;
  expected[1][8] = Decimal{"0.0000"};
  expected[0][17] = FormatGuid(g);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < cols.size(); ++c)
      EXPECT_EQ(back[r][c], expected[r][c]) << "row " << r << " col " << cols[c].name;
  EXPECT_TRUE(std::signbit(std::get<double>(back[0][6])));  // -0.0 keeps its sign
  ExpectPxlibAgrees(dir.path / "alltypes.DB");

  // pxlib re-encoding from the header's code page gives back the exact text.
  const std::string utf8 =
      Capture(std::string(QV_ORACLE_DIR) + "/pxdump -e UTF-8 '" + (dir.path / "alltypes.DB").string() + "'");
  EXPECT_NE(utf8.find("\"Gr\u00fc\u00dfe \u2500 \u00f1\""), std::string::npos);
}

TEST(ParadoxWriter, EveryOfferedCodePageReadsBackThroughBothReaders) {
  // Text of each code page's languages, in a field name and in values; the header names the code
  // page and its driver as BDE-written tables do, and pxlib converts the text back from it.
  struct Sample {
    int codePage;
    std::uint8_t sortOrder;
    const char* driver;
    const char* name;
    const char* text;
  };
  const Sample samples[] = {
      {437, 0x00, "ascii", "Gr\u00f6\u00dfe", "\u00bd caf\u00e9 \u2500"},
      {850, 0x00, "ascii", "N\u00famero", "S\u00e3o Jo\u00e3o \u00d8 \u00a7"},
      {1252, 0x62, "ANSIINTL", "Pre\u00e7o", "\u20ac 5 \u2013 caf\u00e9 \u2122"},
      {852, 0x0D, "czech", "\u010c\u00edslo", "P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd \u0150"},
      {1250, 0xDC, "anczech", "\u010c\u00edslo", "Za\u017c\u00f3\u0142\u0107 \u201ej\u0119\u017a\u201d"},
      {866, 0xC0, "cyrr", "\u0418\u043c\u044f", "\u041f\u0440\u0438\u0432\u0435\u0442 \u2116 5"},
      {1251, 0x8F, "ancyrr", "\u0418\u043c\u044f", "\u0491\u0430\u043d\u043e\u043a \u201c\u0403\u201d"},
      {737, 0x4A, "grcp437", "\u038c\u03bd\u03bf\u03bc\u03b1",
       "\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1"},
      {1253, 0x0E, "angreek1", "\u038c\u03bd\u03bf\u03bc\u03b1",
       "\u0386\u03bd\u03bf\u03b9\u03be\u03b7 \u20ac"},
      {857, 0xC6, "turk", "\u0130sim", "\u0131\u011f\u015f \u00e7\u00f6\u00fc"},
      {1254, 0xD5, "ANTURK", "\u0130sim", "\u0131\u011f\u015f \u20ac"},
      {862, 0x7D, "hebrew", "\u05e9\u05dd", "\u05e9\u05dc\u05d5\u05dd"},
      // Ends in a letter: 1255's conversion holds a letter back until it sees what follows.
      {1255, 0x4C, "ANHEBREW", "\u05e9\u05dd", "\u20aa \u05e9\u05b8\u05dc\u05d5\u05b9\u05dd"},
  };
  ASSERT_EQ(OfferedLanguageDrivers().size(), std::size(samples));
  for (std::size_t i = 0; i < std::size(samples); ++i) {
    const Sample& s = samples[i];
    SCOPED_TRACE(s.codePage);
    EXPECT_EQ(OfferedLanguageDrivers()[i].codePage, s.codePage);  // the order of the automatic choice
    TempFolder dir;
    ParadoxFolder db(dir.path);
    auto out = db.CreateTable("cp", {Col(s.name, ColumnType::Text, 60), Col("Notes", ColumnType::Memo)},
                              WriteOptions{s.codePage});
    const std::string memo =
        std::string(s.text) + " " + std::string(200, 'm');  // beyond the leader: in the .MB
    out->Append({std::string(s.text), memo});
    out->Close();
    auto in = db.OpenTable("cp");
    EXPECT_EQ(in->header().codePage, s.codePage);
    EXPECT_EQ(in->header().sortOrder, s.sortOrder);
    EXPECT_EQ(in->header().sortOrderName, s.driver);
    EXPECT_EQ(in->columns()[0].name, s.name);
    Row r;
    ASSERT_TRUE(in->Next(r));
    EXPECT_EQ(std::get<std::string>(r[0]), s.text);
    EXPECT_EQ(std::get<std::string>(r[1]), memo);
    ExpectPxlibAgrees(dir.path / "cp.DB");
    const std::string utf8 =
        Capture(std::string(QV_ORACLE_DIR) + "/pxdump -e UTF-8 '" + (dir.path / "cp.DB").string() + "'");
    // pxlib converts values only, through iconv, which for 1255 composes a letter and its points
    // into one character (our reader keeps them as stored, as Windows does): there its text
    // without the points is compared.
    const std::string seen = s.codePage == 1255 ? "\u20aa \u05e9" : s.text;
    EXPECT_NE(utf8.find("\"" + seen), std::string::npos) << utf8;
  }
  TempFolder dir;
  EXPECT_THROW(ParadoxFolder(dir.path).CreateTable("x", {Col("A", ColumnType::Int32)}, WriteOptions{65001}),
               Error);
  EXPECT_THROW(ParadoxFolder(dir.path).CreateTable("x", {Col("A", ColumnType::Int32)}, WriteOptions{1257}),
               Error);  // no Paradox driver
}

// A row source over fixed rows that counts how often it was opened.
class Rows : public RowReader {
 public:
  Rows(const std::vector<Column>& columns, const std::vector<Row>& rows) : columns_(columns), rows_(rows) {}
  const std::vector<Column>& columns() const override { return columns_; }
  std::int64_t rowCount() const override { return static_cast<std::int64_t>(rows_.size()); }
  bool Next(Row& row) override {
    if (at_ >= rows_.size()) return false;
    row = rows_[at_++];
    return true;
  }

 private:
  const std::vector<Column>& columns_;
  const std::vector<Row>& rows_;
  std::size_t at_ = 0;
};

TEST(ParadoxCopy, FirstCodePageThatHoldsTheTableAndValuesFinerThanTheirFields) {
  struct Case {
    const char* label;
    std::vector<Column> columns;
    std::vector<Row> rows;
    int fixed;     // 0: automatic
    int codePage;  // expected; 0: refused
    int passes;
    const char* refusal;  // part of the message when refused
  };
  Column dec = Col("Amount", ColumnType::Decimal);
  dec.precision = 28;
  dec.scale = 4;
  std::vector<Row> manyAscii;
  for (int i = 0; i < 3000; ++i) manyAscii.push_back({std::string("row ") + std::to_string(i)});
  std::vector<Row> lateCzech = manyAscii;
  lateCzech[10] = {std::string("caf\u00e9")};           // in 437
  lateCzech[2500] = {std::string("Dvo\u0159\u00e1k")};  // first in 852, which also has the \u00e9
  std::vector<Row> twice = manyAscii;
  twice[5] = {std::string("\u00bd")};     // 437 and 850 only
  twice[2000] = {std::string("\u0416")};  // Cyrillic: with the half, in no code page
  Timestamp fine = Ts(2021, 6, 14, 22, 45, 12, 345);
  fine.tick = 6789;
  const Case cases[] = {
      {"ascii", {Col("Name", ColumnType::Text, 20)}, manyAscii, 0, 437, 1, ""},
      {"late character", {Col("Name", ColumnType::Text, 20)}, lateCzech, 0, 852, 2, ""},
      {"Cyrillic field name",
       {Col("\u0418\u043c\u044f", ColumnType::Text, 20)},
       {{std::string("\u0434\u0430")}},
       0,
       866,
       1,
       ""},
      {"Greek in memos",
       {Col("Notes", ColumnType::Memo)},
       {{std::string("\u2122")}, {std::string("\u03a9")}},
       0,
       1253,
       3,
       ""},
      {"fixed code page",
       {Col("Name", ColumnType::Text, 20)},
       {{std::string("caf\u00e9")}},
       1250,
       1250,
       1,
       ""},
      {"fixed code page lacking",
       {Col("Name", ColumnType::Text, 20)},
       lateCzech,
       437,
       0,
       1,
       "'\u0159' (U+0159), which code page 437 lacks"},
      {"together in none",
       {Col("Name", ColumnType::Text, 20)},
       twice,
       0,
       0,
       1,
       "Row 2001, field 'Name' of table 'T': the text has the character '\u0416' (U+0416), which no code "
       "page offered for new Paradox tables holds together"},
      {"in none at all",
       {Col("Name", ColumnType::Text, 20)},
       {{std::string("ok")}, {std::string("\U0001F600")}},
       0,
       0,
       1,
       "Row 2, field 'Name' of table 'T': the text has the character '\U0001F600' (U+1F600), which none of "
       "the code pages"},
      {"finer than a Timestamp",
       {Col("When", ColumnType::DateTime)},
       {{Ts(2020, 1, 2, 3, 4, 5, 6)}, {fine}, {Value{}}},
       0,
       437,
       2,
       ""},
      {"beyond a BCD field",
       {dec},
       {{Decimal{"1.5000"}}, {Decimal{"-0.0784734499180612994241100748"}}},
       0,
       437,
       2,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder dir;
    int opened = 0;
    auto open = [&]() -> std::unique_ptr<RowReader> {
      ++opened;
      return std::make_unique<Rows>(c.columns, c.rows);
    };
    CopyOptions options;
    options.codePage = c.fixed;
    if (c.codePage == 0) {
      try {
        CopyToNewTable(dir.path, "T", open, options);
        ADD_FAILURE() << "not refused";
      } catch (const Error& e) {
        EXPECT_NE(e.description().find(c.refusal), std::string::npos) << e.description();
      }
      EXPECT_EQ(opened, c.passes);
      EXPECT_EQ(dir.Files(), std::vector<std::string>{});  // nothing left behind
      continue;
    }
    const CopyResult result = CopyToNewTable(dir.path, "T", open, options);
    EXPECT_EQ(result.codePage, c.codePage);
    EXPECT_EQ(result.passes, c.passes);
    EXPECT_EQ(opened, c.passes);
    auto in = ParadoxFolder(dir.path).OpenTable("T");
    EXPECT_EQ(in->header().codePage, c.codePage);
    const auto back = ReadAll(*in);
    ASSERT_EQ(back.size(), c.rows.size());
    for (std::size_t r = 0; r < back.size(); ++r)
      EXPECT_EQ(FormatValueText(back[r][0]), FormatValueText(c.rows[r][0]))
          << r;  // exact, as text where needed
    ExpectPxlibAgrees(dir.path / "T.DB");
  }
  // A table that 437 holds is written exactly as a table written in 437 directly (bar the
  // header's time stamp at 0x60).
  TempFolder a, b;
  const std::vector<Column> cols = {Col("Name", ColumnType::Text, 20), Col("Notes", ColumnType::Memo)};
  std::vector<Row> rows;
  for (int i = 0; i < 500; ++i)
    rows.push_back({std::string("\u00e9t\u00e9 ") + std::to_string(i), std::string(i, 'n')});
  CopyToNewTable(a.path, "same",
                 [&]() -> std::unique_ptr<RowReader> { return std::make_unique<Rows>(cols, rows); });
  auto direct = ParadoxFolder(b.path).CreateTable("same", cols);
  for (const auto& r : rows) direct->Append(r);
  direct->Close();
  auto contents = [](const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream text;
    text << f.rdbuf();
    return text.str();
  };
  for (const char* file : {"same.DB", "same.MB"}) {
    std::string da = contents(a.path / file), db = contents(b.path / file);
    ASSERT_EQ(da.size(), db.size()) << file;
    if (std::string(file) == "same.DB") {
      da.replace(0x60, 4, 4, '\0');
      db.replace(0x60, 4, 4, '\0');
    }
    EXPECT_TRUE(da == db) << file;
  }
}

TEST(ParadoxWriter, EmptyOneRowAndManyBlocks) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  const std::vector<Column> cols = {Col("ID", ColumnType::Int32), Col("Label", ColumnType::Text, 30),
                                    Col("Memo", ColumnType::Memo)};
  db.CreateTable("empty", cols)->Close();
  auto e = db.OpenTable("empty");
  EXPECT_EQ(e->rowCount(), 0);
  Row r;
  EXPECT_FALSE(e->Next(r));
  ExpectPxlibAgrees(dir.path / "empty.DB");

  auto one = db.CreateTable("one", cols);
  one->Append({std::int64_t{1}, std::string("only"), Value{}});
  one->Close();
  ExpectPxlibAgrees(dir.path / "one.DB");

  auto many = db.CreateTable("many", cols);
  const int n = 20000;
  for (int i = 0; i < n; ++i)
    many->Append(
        {std::int64_t{i}, std::string("label ") + std::to_string(i),
         i % 3 ? Value{std::string(static_cast<std::size_t>(i % 3000), static_cast<char>('a' + i % 26))}
               : Value{}});
  many->Close();
  auto in = db.OpenTable("many");
  EXPECT_GT(in->header().fileBlocks, 10);
  int i = 0;
  while (in->Next(r)) {
    ASSERT_EQ(std::get<std::int64_t>(r[0]), i);
    if (i % 3)
      ASSERT_EQ(std::get<std::string>(r[2]).size(), static_cast<std::size_t>(i % 3000)) << i;
    else
      ASSERT_TRUE(IsNull(r[2]));
    ++i;
  }
  EXPECT_EQ(i, n);
  ExpectPxlibAgrees(dir.path / "many.DB");
}

TEST(ParadoxWriter, UnrepresentableValuesNameRowAndField) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  const std::vector<Column> cols = {Col("Big", ColumnType::Int64), Col("Text", ColumnType::Text, 5),
                                    Col("Money", ColumnType::Currency), Col("Small", ColumnType::Int16),
                                    Col("Memo", ColumnType::Memo)};
  auto out = db.CreateTable("bad", cols);
  out->Append({std::int64_t{1}, std::string("ok"), Currency{10000}, std::int64_t{1}, std::string("m")});
  struct Case {
    Row row;
    std::string field;
  };
  const Case cases[] = {
      {{std::int64_t{9007199254740993}, Value{}, Value{}, Value{}, Value{}}, "Big"},
      {{Value{}, std::string("\u20ac"), Value{}, Value{}, Value{}}, "Text"},  // no euro sign in 437
      {{Value{}, std::string("toolong"), Value{}, Value{}, Value{}}, "Text"},
      {{Value{}, Value{}, Currency{9223372036854775807}, Value{}, Value{}}, "Money"},
      {{Value{}, Value{}, Value{}, std::int64_t{-32768}, Value{}}, "Small"},  // the blank pattern
      {{Value{}, Value{}, Value{}, Value{}, std::string("\u4e2d")}, "Memo"},
      {{Value{}, 1.5, Value{}, Value{}, Value{}}, "Text"},
  };
  for (const auto& c : cases) {
    try {
      out->Append(c.row);
      ADD_FAILURE() << "accepted a value for " << c.field;
    } catch (const Error& e) {
      EXPECT_NE(e.description().find("Row 2, field '" + c.field + "'"), std::string::npos) << e.description();
    }
  }
  out->Close();
  EXPECT_EQ(db.OpenTable("bad")->rowCount(), 1);
}

TEST(ParadoxWriter, FieldNamesAreShortenedAndMadeUnique) {
  const std::vector<Column> cols = {Col("A very long column name that goes on", ColumnType::Int32),
                                    Col("a very long column name that differs late", ColumnType::Int32),
                                    Col("", ColumnType::Int32), Col("ID", ColumnType::Int32),
                                    Col("id", ColumnType::Int32)};
  const auto names = FieldNamesFor(cols);
  EXPECT_EQ(names[0], "A very long column name t");
  EXPECT_EQ(names[1], "a very long column name~2");
  EXPECT_EQ(names[2], "Field3");
  EXPECT_EQ(names[3], "ID");
  EXPECT_EQ(names[4], "id~2");
  TempFolder dir;
  ParadoxFolder db(dir.path);
  db.CreateTable("names", cols)->Close();
  auto reader = db.OpenTable("names");
  const auto& read = reader->columns();
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(read[i].name, names[i]);
}

TEST(ParadoxWriter, CreateRefusesExistingTablesAndLeavesNothingOnFailure) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  std::ofstream(dir.path / "Orders.db") << "x";
  try {
    db.CreateTable("ORDERS", {Col("A", ColumnType::Int32)});
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kTableExists);
  }
  {
    auto abandoned = db.CreateTable("half", {Col("M", ColumnType::Memo)});
    abandoned->Append({std::string(5000, 'z')});
  }  // never closed
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"Orders.db"});
  // A stale index and .MB of a table whose .DB is gone do not survive into the new table.
  std::ofstream(dir.path / "NEW.px") << "stale";
  std::ofstream(dir.path / "new.mb") << "stale";
  // Temporary files of writers that were killed go at the next write of the folder; those of
  // a live writer (a running pid here, or a lock held from anywhere) stay.
  const std::string live = "~qv" + std::to_string(::getpid()) + ".1-live.db-tmp";
  for (const std::string f : {"~qv999999999.5-old.db-tmp", "~qv999999999.5-old.mb-tmp",
                              "~qv12345-older.db-tmp", "~qv999999999.7-orphan.mb-tmp", live.c_str(),
                              "~qv999999999.9-held.db-tmp", "~qv999999999.9-held.mb-tmp"})
    std::ofstream(dir.path / f) << "tmp";
  const int held = ::open((dir.path / "~qv999999999.9-held.db-tmp").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  auto t = db.CreateTable("new", {Col("M", ColumnType::Memo)});
  t->Append({std::string(3000, 'q')});
  t->Close();
  ::close(held);
  EXPECT_EQ(dir.Files(),
            (std::vector<std::string>{"Orders.db", "new.DB", "new.MB", live, "~qv999999999.9-held.db-tmp",
                                      "~qv999999999.9-held.mb-tmp"}));
  EXPECT_EQ(std::get<std::string>(ReadAll(*db.OpenTable("NEW"))[0][0]), std::string(3000, 'q'));
  db.DropTable("new");  // the lock is gone: the next write removes that pair
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"Orders.db", live}));
}

TEST(ParadoxFolderApi, ListOpenAndDropIgnoreCase) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  db.CreateTable("Orders", {Col("A", ColumnType::Int32)})->Close();
  db.CreateTable("keep", {Col("A", ColumnType::Int32)})->Close();
  for (const char* f : {"orders.px", "ORDERS.X02", "Orders.Y02", "orders.XG0", "ORDERS.YG0", "orders.val",
                        "Orders.TV", "orders.mb", "ordersx.db", "orders.txt", "~tmp.db"})
    std::ofstream(dir.path / f) << "x";
  // Links that loop or dangle are no tables, and nothing about them throws.
  fs::create_symlink("loop.db", dir.path / "loop.db");
  fs::create_symlink("nowhere.db", dir.path / "GONE.DB");
  fs::create_symlink("keep.DB", dir.path / "alias.db");
  EXPECT_EQ(db.ListTables(), (std::vector<std::string>{"alias", "keep", "Orders", "ordersx"}));
  for (const char* name : {"loop", "gone"}) {
    EXPECT_FALSE(db.HasTable(name));
    try {
      db.OpenTable(name);
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNoSuchTable);
    }
    try {
      db.DropTable(name);
      ADD_FAILURE() << name;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNoSuchTable);
    }
  }
  db.CreateTable("LOOP", {Col("A", ColumnType::Int32)})->Close();  // the looping name goes with it
  EXPECT_EQ(ReadAll(*db.OpenTable("loop")).size(), 0u);
  db.DropTable("loop");
  fs::remove(dir.path / "GONE.DB");
  fs::remove(dir.path / "alias.db");
  EXPECT_EQ(db.ListTables(), (std::vector<std::string>{"keep", "Orders", "ordersx"}));
  EXPECT_TRUE(db.HasTable("ORDERS.DB"));
  EXPECT_EQ(db.OpenTable("oRdErS")->columns()[0].adoType, 3);
  db.DropTable("ORDERS");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"keep.DB", "orders.txt", "ordersx.db", "~tmp.db"}));
  try {
    db.DropTable("orders");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kNoSuchTable);
  }
  try {
    db.OpenTable("missing");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kNoSuchTable);
  }
}

// Files in memory where another process makes "/px/RACE.DB" just as the writer publishes its own.
class RacingFileSystem : public MemoryFileSystem {
 public:
  bool RenameNoReplace(const std::string& from, const std::string& to) override {
    if (to == "/px/RACE.DB") Put(to, std::vector<std::uint8_t>{'o', 't', 'h', 'e', 'r'});
    return MemoryFileSystem::RenameNoReplace(from, to);
  }
};

TEST(ParadoxFolderApi, WorksInMemoryAndNeverReplacesATableMadeMeanwhile) {
  RacingFileSystem files;
  files.Put("/px/old.mb", std::vector<std::uint8_t>{1});  // stale: goes with the new table's close
  ParadoxFolder db("/px", files);
  auto out = db.CreateTable("Old", {Col("M", ColumnType::Memo)});
  out->Append({std::string(3000, 'm')});
  out->Close();
  EXPECT_EQ(std::get<std::string>(ReadAll(*db.OpenTable("OLD"))[0][0]), std::string(3000, 'm'));
  auto race = db.CreateTable("RACE", {Col("M", ColumnType::Memo)});
  race->Append({std::string("x")});
  try {
    race->Close();
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kTableExists);
  }
  race.reset();
  EXPECT_EQ(files.Get("/px/RACE.DB"), (std::vector<std::uint8_t>{'o', 't', 'h', 'e', 'r'}));
  auto names = files.List("/px");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Old.DB", "Old.MB", "RACE.DB"}));  // nothing temporary
  db.DropTable("old");
  EXPECT_EQ(files.List("/px"), std::vector<std::string>{"RACE.DB"});
}

TEST(ParadoxWriter, FailedRowsLeaveNoTraceAtBlockEdges) {
  // A row that fails after some of its fields were coded must leave zeros behind, also when it
  // was to open a new block and when the buffered blocks were just written out.
  TempFolder dir;
  ParadoxFolder db(dir.path);
  const std::vector<Column> cols = {Col("ID", ColumnType::Int32), Col("Code", ColumnType::Text, 5),
                                    Col("Memo", ColumnType::Memo)};
  {
    auto probe = db.CreateTable("probe", cols);
    probe->Append({std::int64_t{1}, std::string("a"), Value{}});
    probe->Close();
  }
  const std::int64_t perBlock = db.OpenTable("probe")->header().recordsPerBlock();
  const std::int64_t n =
      40000 / perBlock * perBlock;  // well past a 1 MiB buffer of blocks; ends on a full block
  auto good = [](std::int64_t i) -> Row {
    return {i % 7 ? Value{i} : Value{}, std::string(static_cast<std::size_t>(i % 6), 'c'),
            i % 5 ? Value{}
                  : Value{"memo " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 60), 'm')}};
  };
  auto out = db.CreateTable("edges", cols);
  int refused = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    out->Append(good(i));
    if ((i + 1) % perBlock == 0 || i % 1000 == 3) {
      try {
        out->Append({std::int64_t{999999}, std::string("toolong"), std::string(30, 'x')});
      } catch (const Error&) {
        ++refused;
      }
    }
  }
  out->Close();
  EXPECT_GT(refused, 40000 / perBlock);
  auto in = db.OpenTable("edges");
  ASSERT_EQ(in->rowCount(), n);
  Row r;
  for (std::int64_t i = 0; i < n; ++i) {
    ASSERT_TRUE(in->Next(r)) << i;
    const Row want = good(i);
    ASSERT_EQ(r[0], want[0]) << "row " << i;
    ASSERT_EQ(r[1], want[1].index() && std::get<std::string>(want[1]).empty() ? Value{} : want[1])
        << "row " << i;
    ASSERT_EQ(r[2], want[2]) << "row " << i;
  }
  EXPECT_FALSE(in->Next(r));
  ExpectPxlibAgrees(dir.path / "edges.DB");
}

TEST(ParadoxWriter, AsciiIsCopiedAsItIsAndOtherTextIsConverted) {
  // Plain ASCII text is stored without conversion; that is right only while every code page
  // offered keeps ASCII as it is, and only for text with no other character anywhere in it.
  std::string ascii;
  for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
  for (const LanguageDriver& driver : OfferedLanguageDrivers()) {
    const int codePage = driver.codePage;
    SCOPED_TRACE(codePage);
    TempFolder dir;
    ParadoxFolder db(dir.path);
    auto out = db.CreateTable("text", {Col("Name", ColumnType::Text, 200), Col("Notes", ColumnType::Memo)},
                              WriteOptions{codePage});
    // A character of this code page above ASCII: several bytes in UTF-8, one in the code page.
    const std::uint8_t high = 0xE9;
    const std::string other =
        TextCodec(TextCodec::CharsetForCodePage(codePage)).ToUtf8(std::span<const std::uint8_t>(&high, 1));
    ASSERT_GE(other.size(), 2u);
    std::vector<std::string> texts = {ascii};
    for (std::size_t length = 1; length <= 18; ++length)
      for (std::size_t at = 0; at < length; ++at) {
        std::string s(length, 'a');
        s.replace(at, 1, other);
        texts.push_back(s);
      }
    for (const auto& s : texts) out->Append({s, s});
    for (std::size_t length = 1; length <= 18; ++length)
      for (std::size_t at = 0; at < length; ++at) {
        std::string s(length, 'a');
        s[at] = '\0';
        EXPECT_THROW(out->Append({s, Value{}}), Error) << length << " " << at;
      }
    out->Close();
    auto back = ReadAll(*db.OpenTable("text"));
    ASSERT_EQ(back.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(back[i][0], Value{texts[i]}) << i;
      EXPECT_EQ(back[i][1], Value{texts[i]}) << i;
    }
    ExpectPxlibAgrees(dir.path / "text.DB");
  }
}

TEST(ParadoxWriter, MoneyKeepsEveryAmountItAccepts) {
  TempFolder dir;
  ParadoxFolder db(dir.path);
  auto out = db.CreateTable("money", {Col("Price", ColumnType::Currency)});
  std::vector<std::int64_t> amounts;
  for (std::int64_t base : {std::int64_t{1} << 50, std::int64_t{1} << 53, std::int64_t{1} << 60})
    for (std::int64_t d = -300; d <= 300; ++d) {
      amounts.push_back(base + d);
      amounts.push_back(-(base + d));
    }
  std::vector<std::int64_t> accepted;
  for (std::int64_t a : amounts) {
    try {
      out->Append({Currency{a}});
      accepted.push_back(a);
    } catch (const Error&) {
    }
  }
  out->Close();
  EXPECT_GT(accepted.size(), 1200u);
  EXPECT_LT(accepted.size(), amounts.size());  // some amounts near 2^60 have no exact double
  auto back = ReadAll(*db.OpenTable("money"));
  ASSERT_EQ(back.size(), accepted.size());
  for (std::size_t i = 0; i < accepted.size(); ++i)
    EXPECT_EQ(std::llround(std::get<double>(back[i][0]) * 10000.0), accepted[i]) << accepted[i];
}
