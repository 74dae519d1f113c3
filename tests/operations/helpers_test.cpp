// The shared procedures of the operations: list look-ups, value rendering and INSERT building,
// column suffixes, statement texts, Paradox name checks and the table file procedures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/file_system.h"
#include "engine/paradox/table_name.h"
#include "engine/sql/parser.h"
#include "operations/list_box.h"
#include "operations/paradox_name.h"
#include "operations/statements.h"
#include "operations/table_files.h"
#include "operations/table_replacement.h"
#include "operations/value_rendering.h"
#include "shell/memory_table_list.h"
#include "support/scripted_window_system.h"

namespace qv::ops {
namespace {

TEST(ListBox, FindsAndRemovesNamesWithoutRegardToCase) {
  shell::MemoryTableList list;
  EXPECT_FALSE(IsInListbox(list, QStringLiteral("x")));
  for (const char* name : {"ORDERS", "Customers", "orders", "Shop"}) list.Add(QString::fromLatin1(name));
  EXPECT_TRUE(IsInListbox(list, QStringLiteral("Orders")));
  EXPECT_TRUE(IsInListbox(list, QStringLiteral("CUSTOMERS")));
  EXPECT_FALSE(IsInListbox(list, QStringLiteral("Order")));
  RemoveFromListbox(list, QStringLiteral("oRdErS"));
  EXPECT_EQ(list.texts(), (QStringList{QStringLiteral("Customers"), QStringLiteral("Shop")}));
  RemoveFromListbox(list, QStringLiteral("none"));
  EXPECT_EQ(list.count(), 2);
}

std::string InsertOf(const std::vector<Value>& values) {
  std::string text;
  InsertStatement insert(text);
  insert.Start(InsertPrefix(QStringLiteral("T")));
  for (const Value& v : values) insert.AddValue(RenderValue(v));
  insert.Finish();
  return text;
}

TEST(InsertText, NullEmptyApostrophesAndEnds) {
  // The example of the transfer: 7, O'Brien and an empty memo.
  EXPECT_EQ(InsertOf({std::int64_t{7}, std::string("O'Brien"), std::string()}),
            "INSERT INTO `T` VALUES('7', 'O''Brien', NULL)");
  EXPECT_EQ(InsertOf({Value{}, std::string("a")}), "INSERT INTO `T` VALUES(NULL, 'a')");
  EXPECT_EQ(InsertOf({std::string("a"), Value{}}), "INSERT INTO `T` VALUES('a', NULL)");
  EXPECT_EQ(InsertOf({Value{}, Value{}}), "INSERT INTO `T` VALUES(NULL, NULL)");
  EXPECT_EQ(InsertOf({std::string("''")}), "INSERT INTO `T` VALUES('''''')");
}

TEST(InsertText, ValuesInLocaleIndependentForms) {
  EXPECT_EQ(RenderValue(2.5), "2.5");
  EXPECT_EQ(RenderValue(-0.125), "-0.125");
  EXPECT_EQ(RenderValue(Timestamp{2024, 2, 29, 13, 5, 9, 0}), "2024-02-29 13:05:09");
  EXPECT_EQ(RenderValue(Bytes{0x00, 0xff, 0x10}), "00ff10");
  EXPECT_EQ(RenderValue(true), "true");
  EXPECT_EQ(RenderValue(Value{}), std::nullopt);
  EXPECT_EQ(RenderValue(std::string()), std::nullopt);
  EXPECT_EQ(RenderValue(std::string(" ")), " ");
  const Value replacement{std::string("r")};
  EXPECT_EQ(&ReplaceNull(Value{}, replacement), &replacement);
}

// The row loop writes values straight into the statement; the text must be the one the rendering
// rule gives, value for value, at the edges of every kind's plain form too.
TEST(InsertText, DirectRenderingMatchesTheRule) {
  std::vector<Value> values;
  auto add = [&](Value v) { values.push_back(std::move(v)); };
  add(Value{});
  add(std::string());
  add(std::string("'"));
  add(std::string("a''b'"));
  add(std::string("Zoë's"));
  add(std::string(" "));
  add(std::int64_t{0});
  add(std::int64_t{-1});
  add(std::numeric_limits<std::int64_t>::min());
  add(std::numeric_limits<std::int64_t>::max());
  add(0.0);
  add(-0.0);
  add(0.1);
  add(1e300);
  add(-2.5e-310);
  add(1.0 / 3);
  add(std::numeric_limits<double>::quiet_NaN());
  add(std::numeric_limits<double>::infinity());
  add(-std::numeric_limits<double>::infinity());
  add(true);
  add(false);
  add(Currency{0});
  add(Currency{-1});
  add(Currency{10000});
  add(Currency{-1234500});
  add(Currency{1230});
  add(Currency{std::numeric_limits<std::int64_t>::min()});
  add(Currency{std::numeric_limits<std::int64_t>::max()});
  add(Timestamp{0, 1, 1, 0, 0, 0, 0});
  add(Timestamp{9999, 12, 31, 23, 59, 59, 999});
  add(Timestamp{10000, 1, 1, 0, 0, 0, 0});
  add(Timestamp{-1, 1, 1, 0, 0, 0, 0});
  add(Timestamp{2024, 2, 29, 13, 5, 9, 1});
  add(Timestamp{2024, 2, 29, 13, 5, 9, 10});
  add(Timestamp{2024, 2, 29, 13, 5, 9, 1000});
  add(Timestamp{1899, 255, 100, 99, 60, 61, 0});
  add(Timestamp{7, 1, 1, 0, 0, 0, 0});
  add(Bytes{0x27, 0x00});
  add(Decimal{"-12.50"});
  add(Guid{});
  std::uint64_t seed = 12345;
  auto next = [&] { return seed = seed * 6364136223846793005ull + 1442695040888963407ull; };
  for (int i = 0; i < 2000; ++i) {
    std::uint64_t bits = next();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    values.emplace_back(d);
    values.emplace_back(static_cast<std::int64_t>(next()));
    values.emplace_back(Currency{static_cast<std::int64_t>(next()) >> (next() % 60)});
    values.emplace_back(
        Timestamp{static_cast<std::int32_t>(next() % 12000) - 1000, static_cast<std::uint8_t>(next()),
                  static_cast<std::uint8_t>(next()), static_cast<std::uint8_t>(next() % 120),
                  static_cast<std::uint8_t>(next() % 120), static_cast<std::uint8_t>(next() % 120),
                  static_cast<std::uint16_t>(next() % 1200)});
  }
  // Doubles of few digits (the shortcut's) at every decade and around the bounds where the exponent
  // form becomes shorter, their neighbours, and prices as a transfer carries them.
  std::vector<double> doubles;
  for (int e = -12; e <= 17; ++e) {
    for (double mantissa : {1.0, 1.5, 2.0, 1.25, 9.0, 9.5, 9.999, 1.2345678901234, 9.99999999999999, 7.1}) {
      const double d = mantissa * std::pow(10.0, e);
      doubles.insert(doubles.end(), {d, std::nextafter(d, 0.0), std::nextafter(d, 1e300)});
    }
  }
  for (double d : {1e-8,
                   1e15,
                   0.0001,
                   0.001,
                   0.00012,
                   0.000123,
                   1e5,
                   1e6,
                   1.2e6,
                   1.23e6,
                   1.2e7,
                   100000.5,
                   123456789012345.0,
                   999999999999999.0,
                   99999999999999.9,
                   0.1 + 0.2,
                   4503599627370495.5,
                   9007199254740993.0,
                   0.30000000000000004,
                   5e-9,
                   1.5e-8})
    doubles.push_back(d);
  for (int i = 0; i < 3000; ++i) doubles.push_back(i * 0.25 + (i % 7) * 1e-3);
  for (int i = 0; i < 2000; ++i) {
    // m * 10^-k for m of 1 to 17 digits and k of 0 to 24.
    std::uint64_t m = next() % 100000000000000000ull;
    m /= static_cast<std::uint64_t>(std::pow(10.0, static_cast<double>(next() % 17)));
    doubles.push_back(static_cast<double>(m) / std::pow(10.0, static_cast<double>(next() % 25)));
  }
  // Doubles written in full (16 or 17 digits): quotients as a transfer carries them, random bits
  // between 1e-10 and 1e16, powers of two and their
  // neighbours, and the doubles nearest to numbers halfway between two of 16 or 17 digits.
  for (int i = 1; i <= 20000; ++i) doubles.push_back(1.0 / i);
  for (int i = 0; i < 20000; ++i) {
    const double unit = std::ldexp(static_cast<double>(next() >> 11), -53);  // [0, 1)
    doubles.push_back(unit * std::pow(10.0, static_cast<double>(static_cast<int>(next() % 26) - 10)));
    doubles.push_back(static_cast<double>(next() % 1000000000) / static_cast<double>(1 + next() % 999983));
  }
  for (int e = -30; e <= 52; ++e) {
    const double two = std::ldexp(1.0, e);
    doubles.insert(doubles.end(), {two, std::nextafter(two, 0.0), std::nextafter(two, 1e300)});
  }
  for (int i = 0; i < 2000; ++i) {
    const std::uint64_t m = 10000000000000000ull + next() % 90000000000000000ull;  // 17 digits
    const int k = static_cast<int>(next() % 25);
    const double tie = (static_cast<double>(m) + 0.5) / std::pow(10.0, k);  // near a tie of 17 digits
    const double tie16 = (static_cast<double>(m / 10) + 0.5) / std::pow(10.0, k);
    doubles.insert(doubles.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300), tie16});
  }
  for (double d : doubles) {
    values.emplace_back(d);
    values.emplace_back(-d);
  }
  for (const Value& v : values) {
    std::string direct, rendered;
    InsertStatement a(direct), b(rendered);
    a.Start("P('");
    b.Start("P('");
    a.AddField(v);
    b.AddValue(RenderValue(v));
    a.AddField(v);
    b.AddValue(RenderValue(v));
    a.Finish();
    b.Finish();
    ASSERT_EQ(direct, rendered) << "value index " << v.index();
  }
}

TEST(ColumnSuffix, EveryTypeNameGivesItsColumnType) {
  struct Case {
    std::int16_t type;
    const char* suffix;
  };
  // ADO numbers: the column-type table of the transfer, name by name.
  const Case cases[] = {
      {2, "` INT,"},        {3, "` INT,"},    {4, "` INT,"},      {16, "` INT,"},        {17, "` INT,"},
      {18, "` INT,"},       {19, "` INT,"},   {20, "` INT,"},     {21, "` INT,"},        {131, "` INT,"},
      {139, "` INT,"},      {5, "` FLOAT,"},  {14, "` DECIMAL,"}, {7, "` DATETIME,"},    {133, "` DATETIME,"},
      {135, "` DATETIME,"}, {201, "` MEMO,"}, {203, "` MEMO,"},   {205, "` OLEOBJECT,"}, {129, "` TEXT,"},
      {130, "` TEXT,"},     {200, "` TEXT,"}, {202, "` TEXT,"},   {8, "` TEXT,"},        {6, "` TEXT,"},
      {11, "` TEXT,"},      {134, "` TEXT,"}, {128, "` TEXT,"},   {204, "` TEXT,"},      {72, "` TEXT,"},
      {0, "` TEXT,"},       {10, "` TEXT,"},  {12, "` TEXT,"},    {64, "` TEXT,"},       {999, "` TEXT,"},
  };
  for (const Case& c : cases) EXPECT_EQ(ColumnSuffix(c.type), c.suffix) << "type " << c.type;
}

TEST(StatementTexts, AsTheOperationsSendThem) {
  EXPECT_EQ(
      CopyToParadoxStatement(QStringLiteral("C:\\Data"), QStringLiteral("Orders"), QStringLiteral("Orders")),
      QStringLiteral("select * into [Paradox 5.x;Database=C:\\Data/].[Orders.db] from [Orders]"));
  EXPECT_EQ(
      CopyToParadoxStatement(QStringLiteral("/data"), QStringLiteral("Orders"), QStringLiteral("Orders"),
                             QStringLiteral(" 1250 ")),
      QStringLiteral("select * into [Paradox 5.x;CodePage=1250;Database=/data/].[Orders.db] from [Orders]"));
  EXPECT_EQ(FolderPart(QStringLiteral("/data")), QStringLiteral("/data/"));
  EXPECT_EQ(FolderPart(QStringLiteral("/")), QStringLiteral("/"));
  EXPECT_EQ(FolderPart(QStringLiteral("/data/")), QStringLiteral("/data//"));
  EXPECT_EQ(DropStatement(QStringLiteral("Order Details")), QStringLiteral("DROP TABLE `Order Details`"));
  EXPECT_EQ(DropStatementWithSemicolon(QStringLiteral("Orders")), QStringLiteral("DROP TABLE `Orders`;"));
  EXPECT_EQ(CopyTableStatement(QStringLiteral("Orders"), QStringLiteral("Sales")),
            QStringLiteral("SELECT a1.* INTO `Sales` FROM `Orders` AS a1;"));
  EXPECT_EQ(SelectAllStatement(QStringLiteral("T")), QStringLiteral("SELECT * FROM `T`"));
}

// Every punctuation character inside a name, with backquotes first and with brackets first: the
// statement names exactly that one table (or field), or is refused with 3125.
TEST(StatementTexts, NamesStayNamesWhateverTheyHold) {
  for (char c = 0x21; c < 0x7f; ++c) {
    if (std::isalnum(static_cast<unsigned char>(c))) continue;
    for (const QString& name :
         {QStringLiteral("a") + QChar(c) + QStringLiteral("b"),
          QStringLiteral("OTHER") + QChar(c) + QStringLiteral(" AS ") + QChar(c) + "x"}) {
      for (bool brackets : {false, true}) {
        const std::string select = ("SELECT * FROM " + QuoteName(name, brackets)).toStdString();
        const auto statement = sql::ParseStatement(select);
        EXPECT_EQ(std::get<sql::SelectStatement>(statement).from.text, name.toStdString()) << select;
      }
      const std::string copy = CopyToParadoxStatement("/p", name, name).toStdString();
      if (c == '/' || c == '\\') {  // never a Paradox file name
        EXPECT_THROW(sql::ParseStatement(copy), Error) << copy;
        continue;
      }
      const auto into = std::get<sql::SelectStatement>(sql::ParseStatement(copy));
      EXPECT_EQ(into.from.text, name.toStdString()) << copy;
      EXPECT_EQ(into.into->ExternalTableName(), name.toStdString()) << copy;
      std::string create = CreatePrefix(name) + ColumnDefinition(name.toStdString(), 3);
      create.back() = ')';  // the definition's comma
      const auto table = std::get<sql::CreateTableStatement>(sql::ParseStatement(create));
      ASSERT_EQ(table.columns.size(), 1u) << create;
      EXPECT_EQ(table.columns[0].name.text, name.toStdString()) << create;
    }
  }
  try {
    QuoteName(QStringLiteral("a`]b"));
    ADD_FAILURE() << "a name with both quotes was written";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3125);
  }
}

// Files in memory whose changes stop working after a given number of them, as a run stopped by
// a crash or a failing disk stops: every rename, removal, file made or folder synced counts.
class StoppingFileSystem : public MemoryFileSystem {
 public:
  int changes_left = -1;  // none left at 0; no limit below 0

  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
    if (mode != OpenMode::kRead) Change(path);
    return MemoryFileSystem::Open(path, mode);
  }
  void Rename(const std::string& from, const std::string& to) override {
    Change(from);
    MemoryFileSystem::Rename(from, to);
  }
  bool Remove(const std::string& path) override {
    Change(path);
    return MemoryFileSystem::Remove(path);
  }
  void SyncFolder(const std::string& folder) override { Change(folder); }

 private:
  void Change(const std::string& path) {
    if (changes_left == 0) throw Error(errc::kDiskIo, "Stopped at '" + path + "'.", path);
    if (changes_left > 0) --changes_left;
  }
};

// A replacement stopped after each of its steps: the next run's clean-up leaves either the old
// table whole (before the marker) or the new one whole (after it), and nothing temporary.
TEST(TableReplacement, AnInterruptionAtAnyStepLeavesOneWholeTable) {
  const QString folder = QStringLiteral("/px");
  auto bytes = [](const char* text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
  };
  auto read = [](StoppingFileSystem& files, const char* name) {
    const std::vector<std::uint8_t> b = files.Get(std::string("/px/") + name);
    return std::string(b.begin(), b.end());
  };
  auto listed = [&](StoppingFileSystem& files) {
    QStringList names;
    for (const std::string& name : files.List("/px")) names << QString::fromStdString(name);
    names.sort();
    return names;
  };
  bool kept_old = false;
  for (int stop = 0;; ++stop) {
    StoppingFileSystem files;
    files.Put("/px/ORDERS.DB", bytes("old db"));
    files.Put("/px/ORDERS.MB", bytes("old mb"));
    files.Put("/px/ORDERS.PX", bytes("old px"));
    files.Put("/px/~qvtemp1.DB", bytes("new db"));
    files.Put("/px/~qvtemp1.MB", bytes("new mb"));
    files.Put("/px/~qv123-ORDERS.db-tmp", bytes("half written"));  // the table writer's, after a kill
    EXPECT_EQ(TemporaryParadoxName(folder, files), QStringLiteral("~qvtemp2"));
    files.changes_left = stop;
    bool stopped = false;
    try {
      ReplaceParadoxTable(folder, QStringLiteral("~qvtemp1"), QStringLiteral("ORDERS"), files);
    } catch (const Error& e) {
      stopped = true;
      EXPECT_TRUE(e.description().find("ORDERS") != std::string::npos) << e.description();
    }
    files.changes_left = -1;
    CleanUpParadoxFolder(folder, files);
    if (listed(files).size() == 3) {  // stopped before the marker was in place
      ASSERT_TRUE(stopped) << stop;
      EXPECT_EQ(listed(files), (QStringList{"ORDERS.DB", "ORDERS.MB", "ORDERS.PX"})) << stop;
      EXPECT_EQ(read(files, "ORDERS.DB"), "old db") << stop;
      EXPECT_EQ(read(files, "ORDERS.MB"), "old mb") << stop;
      kept_old = true;
      continue;
    }
    EXPECT_EQ(listed(files), (QStringList{"ORDERS.DB", "ORDERS.MB"})) << stop;
    EXPECT_EQ(read(files, "ORDERS.DB"), "new db") << stop;
    EXPECT_EQ(read(files, "ORDERS.MB"), "new mb") << stop;
    if (!stopped) break;
    ASSERT_LT(stop, 20) << "the replacement never finishes";
  }
  EXPECT_TRUE(kept_old);
}

TEST(ParadoxName, PathsAndControlCharactersAreRefused) {
  for (const QString& bad :
       {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"), QStringLiteral("a\\b"),
        QStringLiteral("..x"), QStringLiteral("a\tb"), QString(QChar(u'a')) + QChar(u'\0'),
        QStringLiteral("x\x7f"), QString(QChar(u'a')) + QChar(u'\u0085')}) {
    EXPECT_FALSE(ParadoxNameProblem(bad).isEmpty()) << bad.toStdString();
    EXPECT_THROW(CheckParadoxName(bad), std::exception);
    // The Paradox writer refuses every name operations refuse (one rule, table_name.h).
    EXPECT_FALSE(paradox::TableNameProblem(bad.toStdString()).empty()) << bad.toStdString();
  }
  for (const QString& good : {QStringLiteral("Orders"), QStringLiteral("Sales 2024"), QStringLiteral("a.b"),
                              QStringLiteral("Πλήθος"), QStringLiteral("Tab'2;*,")})
    EXPECT_TRUE(ParadoxNameProblem(good).isEmpty()) << good.toStdString();
}

void Touch(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QStringList Files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files, QDir::Name);
}

TEST(TableFiles, FamilyFoundWithoutRegardToCase) {
  QTemporaryDir dir;
  for (const char* name : {"orders.db", "ORDERS.MB", "Orders.px", "ORDERS.X02", "ORDERS.YG1", "ORDERS.VAL",
                           "ORDERS.TV", "ORDERS.txt", "ORDERSX.DB", "other.db"})
    Touch(dir.filePath(QString::fromLatin1(name)), "x");
  EXPECT_EQ(TableFiles(dir.path(), QStringLiteral("ORDERS")),
            QStringList{dir.filePath(QStringLiteral("orders.db"))});
  QStringList family;
  for (const QString& p : FamilyFiles(dir.path(), QStringLiteral("Orders")))
    family << QFileInfo(p).fileName();
  family.sort();
  EXPECT_EQ(family, (QStringList{"ORDERS.MB", "ORDERS.TV", "ORDERS.VAL", "ORDERS.X02", "ORDERS.YG1",
                                 "Orders.px", "orders.db"}));
}

TEST(RenameFile, MovesTheWholeFamilyAndKeepsTheData) {
  QTemporaryDir dir;
  Touch(dir.filePath("ORDERS.DB"), "table");
  Touch(dir.filePath("ORDERS.MB"), "blobs");
  Touch(dir.filePath("ORDERS.PX"), "index");
  Touch(dir.filePath("Sales.MB"), "stale");  // replaced by the moved blob file
  shell::ScriptedWindowSystem windows;
  EXPECT_TRUE(RenameFile(windows, dir.filePath("ORDERS.DB"), dir.filePath("Sales.DB")));
  EXPECT_EQ(Files(dir.path()), (QStringList{"Sales.DB", "Sales.MB", "Sales.PX"}));
  QFile mb(dir.filePath("Sales.MB"));
  ASSERT_TRUE(mb.open(QIODevice::ReadOnly));
  EXPECT_EQ(mb.readAll(), "blobs");
  EXPECT_TRUE(windows.messages().empty());
  EXPECT_GE(windows.yieldCount(), 3);  // one yield before each deletion
}

TEST(RenameFile, AMissingSourceIsReportedUnderItsOwnLocation) {
  QTemporaryDir dir;
  shell::ScriptedWindowSystem windows;
  EXPECT_FALSE(RenameFile(windows, dir.filePath("NONE.DB"), dir.filePath("X.DB")));
  ASSERT_EQ(windows.messages().size(), 1u);
  EXPECT_TRUE(windows.messages()[0].text.contains(
      QStringLiteral("in Tessaline2016/11/03.Main.RenameFile at line 100")));
  EXPECT_TRUE(Files(dir.path()).isEmpty());
}

TEST(DeleteFileQuietly, IgnoresEveryFailure) {
  QTemporaryDir dir;
  shell::ScriptedWindowSystem windows;
  Touch(dir.filePath("A.DB"), "x");
  DeleteFileQuietly(windows, dir.filePath("A.DB"));
  DeleteFileQuietly(windows, dir.filePath("A.DB"));
  DeleteFileQuietly(windows, QString());
  EXPECT_TRUE(Files(dir.path()).isEmpty());
  EXPECT_TRUE(windows.messages().empty());
  EXPECT_EQ(windows.yieldCount(), 3);
}

}  // namespace
}  // namespace qv::ops
