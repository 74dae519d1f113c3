// Fidelity on real data, Paradox to Access: every table of the Paradox corpus that our Paradox
// reader reads is sent by "Send Table/s To Access" (all tables of a folder selected, every
// question answered Yes) into a new, empty Access database made by the engine (one Jet 4 .mdb and
// one ACE .accdb per corpus folder), then read back twice: by mdb-reader through dump.js (an
// oracle we did not write) and by our Access reader. Every value must arrive as the transfer's
// type choice says, from the type number the Paradox reader gives each field:
//   Alpha -> TEXT; Short, Long, AutoIncrement -> INT; Number, Money, BCD -> FLOAT;
//   Date, Time, Timestamp -> DATETIME (a time on the day 1899-12-30); Memo -> MEMO;
//   Formatted memo, Binary, OLE, Graphic -> OLEOBJECT; Logical, Bytes -> TEXT holding the value's
//   text form ("true"/"false", lower-case hexadecimal).
// The column names must be the field names and the columns of the chosen types.
//
// The known exceptions, each counted and printed; any other difference fails the test:
// - an empty text arrives as NULL: the transfer writes an empty text as NULL by design (Paradox
//   itself stores an empty Alpha field as blank, which its readers give as NULL, so the corpus
//   has no such cell today);
// - a BCD value with more significant digits than a double holds arrives as the nearest double
//   (4 cells, bcd.db and history/fields.db with 32 decimals): BCD fields become FLOAT columns,
//   and Access has no column type of 32 decimals;
// - a Bytes value longer than 127 bytes (fields/bytes.db, Y255): its hexadecimal text does not
//   fit a TEXT column of 255 characters, so Access refuses the row; the transfer reports it
//   (line 246) and goes on;
// - a date outside the years 100 to 9999 (the BC date of Rparadox/TypSammlung): Access cannot hold
//   it, so the row is refused and reported (line 246);
// - tables that our Paradox reader does not read are left out, each named: MEMBRE (its .MB is
//   missing upstream, and record 1 has a memo there) and the three password-protected tables of
//   paradoxdriver/encrypt.
// No field name is changed: every column must carry its field's name exactly.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <map>

#include "engine/core/value_text.h"
#include "engine/jet/write/database_creator.h"
#include "operations/handlers.h"
#include "operations/statements.h"
#include "operations/value_rendering.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"
#include "support/oracles.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const QString kDumpJs = QString::fromStdString(qv::testing::MdbReaderScript());

enum class Target { kText, kMemo, kInt, kFloat, kDecimal, kDateTime, kOleObject };

Target TargetOf(std::int16_t ado_type) {
  const std::string_view suffix = ColumnSuffix(ado_type);
  if (suffix == "` OLEOBJECT,") return Target::kOleObject;
  if (suffix == "` MEMO,") return Target::kMemo;
  if (suffix == "` DECIMAL,") return Target::kDecimal;
  if (suffix == "` INT,") return Target::kInt;
  if (suffix == "` DATETIME,") return Target::kDateTime;
  if (suffix == "` FLOAT,") return Target::kFloat;
  return Target::kText;
}

// mdb-reader's name of the column type each choice makes.
const char* MdbTypeOf(Target t) {
  switch (t) {
    case Target::kText:
      return "text";
    case Target::kMemo:
      return "memo";
    case Target::kInt:
      return "long";
    case Target::kFloat:
      return "double";
    case Target::kDecimal:
      return "numeric";
    case Target::kDateTime:
      return "datetime";
    case Target::kOleObject:
      return "ole";
  }
  return "?";
}

struct SourceTable {
  QString name;  // as listed (and as the Access table is named)
  std::vector<std::string> fields;
  std::vector<std::int16_t> types;
  std::vector<Row> rows;
};

// A table through the Paradox provider of its folder, as the transfer reads it.
SourceTable ReadSource(const QString& folder, const QString& stem) {
  sources::Connection cn;
  cn.CursorLocation = sources::kUseClient;
  cn.Open(sources::ParadoxConnectionString(folder).toStdString());
  sources::Recordset rs;
  rs.Open(SelectAllStatement(stem).toStdString(), cn);
  SourceTable t;
  t.name = sources::ParadoxTableName(stem + ".db");
  for (int j = 0; j < rs.FieldCount(); ++j) {
    t.fields.push_back(rs.Fields(j).name());
    t.types.push_back(rs.Fields(j).Type());
  }
  for (; !rs.Eof(); rs.MoveNext()) {
    Row row;
    for (int j = 0; j < rs.FieldCount(); ++j) row.push_back(rs.Fields(j).Value());
    t.rows.push_back(std::move(row));
  }
  return t;
}

// The value Access must hold for a source cell, and the known exception it falls under, if any.
struct Expected {
  Value value;
  const char* exception = nullptr;
};

// A decimal text without trailing zeros after the point ("-12.3400" -> "-12.34", "5.00" -> "5").
std::string TrimDecimal(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

Expected Expect(const Value& v, Target target) {
  if (IsNull(v)) return {};
  const std::optional<std::string> rendered = RenderValue(v);
  if (!rendered) return {Value{}, "empty text arriving as NULL"};
  switch (target) {
    case Target::kText:
    case Target::kMemo:
      return {*rendered};
    case Target::kInt:
      if (const auto* i = std::get_if<std::int64_t>(&v)) return {*i};
      return {*ParseInteger(*rendered)};
    case Target::kFloat: {
      if (const auto* d = std::get_if<double>(&v)) return {*d};
      const double nearest = std::strtod(rendered->c_str(), nullptr);
      if (FormatDouble(nearest) != TrimDecimal(*rendered))
        return {nearest, "BCD value beyond a double's digits"};
      return {nearest};
    }
    case Target::kDateTime:
      if (const auto* t = std::get_if<Timestamp>(&v)) {
        if (t->year < 100 || t->year > 9999) return {*t, "date outside the years Access holds"};
        return {*t};
      }
      return {*ParseTimestamp(*rendered)};
    case Target::kOleObject:
      if (std::holds_alternative<Bytes>(v)) return {v};
      return {*rendered};
    case Target::kDecimal:
      return {v};
  }
  return {v};
}

// mdb-reader's text for a value our engine holds (see the oracle's README).
QJsonValue MdbForm(const Value& v, Target target) {
  if (IsNull(v)) return QJsonValue::Null;
  if (target == Target::kDateTime) {
    const auto& t = std::get<Timestamp>(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return QString::fromLatin1(buf);
  }
  return QString::fromStdString(FormatValueText(v).value_or(""));
}

bool SameAsMdb(const QJsonValue& theirs, const Value& want, Target target) {
  const QJsonValue form = MdbForm(want, target);
  if (form.isNull() || theirs.isNull()) return form.isNull() && theirs.isNull();
  if (target == Target::kFloat || target == Target::kInt) {
    // Both sides print the shortest text of the same number, in their own notation.
    return std::strtod(theirs.toString().toStdString().c_str(), nullptr) ==
           std::strtod(form.toString().toStdString().c_str(), nullptr);
  }
  return theirs.toString() == form.toString();
}

struct Tally {
  int databases = 0, tables = 0, rows = 0, cells_by_reader = 0, cells_by_mdb = 0;
  std::map<std::string, int> known;
  std::map<std::string, QStringList> known_in;  // the tables each exception was met in
  QStringList refusals;                         // the report of every refused row, printed
  QStringList failures;
};

// The folders of the corpus that hold tables, and each folder's table files (stems), sorted.
std::map<QString, QStringList> CorpusFolders() {
  std::map<QString, QStringList> out;
  QDirIterator it(testing::CorpusFile(QStringLiteral("paradox")), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    if (info.suffix().compare(QStringLiteral("db"), Qt::CaseInsensitive) != 0) continue;
    out[info.path()] << info.completeBaseName();
  }
  for (auto& [folder, stems] : out) stems.sort();
  return out;
}

QJsonObject MdbDump(const QString& file, Tally& tally, const QString& where) {
  QProcess node;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
  node.setProcessEnvironment(env);
  node.start(QStringLiteral("node"), {kDumpJs, file});
  node.waitForFinished(300000);
  const QByteArray out = node.readAllStandardOutput();
  if (node.exitCode() != 0)
    tally.failures << where + ": dump.js exit " + QString::number(node.exitCode()) + ": " +
                          QString::fromUtf8(node.readAllStandardError()).left(300);
  return QJsonDocument::fromJson(out).object();
}

void CheckFolder(const QString& folder, const QStringList& stems, jet::DatabaseFormat format, Tally& tally) {
  const QString rel = QDir(testing::CorpusFile(QStringLiteral("paradox"))).relativeFilePath(folder);
  // What our Paradox reader reads: the reference for every value.
  std::vector<SourceTable> sources_read;
  for (const QString& stem : stems) {
    try {
      sources_read.push_back(ReadSource(folder, stem));
    } catch (const std::exception& e) {
      if (format == jet::DatabaseFormat::Jet4)
        std::printf("  left out, not read by our Paradox reader: %s/%s (%s)\n", rel.toUtf8().constData(),
                    stem.toUtf8().constData(), e.what());
      ++tally.known["table our Paradox reader does not read (left out)"];
    }
  }
  if (sources_read.empty()) return;

  QTemporaryDir work;
  TestPage page;
  page.fields.folder = folder;
  page.fields.file =
      QDir(work.path()).filePath(format == jet::DatabaseFormat::Jet4 ? "new.mdb" : "new.accdb");
  jet::CreateDatabase(page.fields.file.toStdString(), format);
  ++tally.databases;
  const QString where = rel + " (" + QFileInfo(page.fields.file).suffix() + ")";

  QStringList names;
  for (const SourceTable& t : sources_read) names << t.name;
  TestPage::Fill(page.paradox, names, names);
  // The new database has no table to overwrite: the only questions are those of a table's first
  // failing row, answered "Skip Rows".
  for (int i = 0; i < names.size(); ++i) page.windows.QueueReply(shell::Reply::kSkipRows);
  SendToAccess(page.context, sources::DefaultObjects());
  // The run ends with "Done." or with a summary that counts each table's rows left out.
  std::map<QString, int> left_out;
  QStringList messages;
  for (const auto& m : page.windows.messages())
    if (m.buttons == shell::Buttons::kOk && m.icon == shell::Icon::kNone) messages << m.text;
  if (messages.size() != 1) tally.failures << where + ": messages: " + messages.join(" | ");
  for (const QString& line : messages.value(messages.size() - 1).split('\n')) {
    static const QRegularExpression kIncomplete(
        QStringLiteral("^(.*): incomplete, sent without (\\d+) rows? "));
    const auto m = kIncomplete.match(line);
    if (m.hasMatch())
      left_out[m.captured(1)] = m.captured(2).toInt();
    else if (line != "Done." && !line.startsWith("Tables sent: "))
      tally.failures << where + ": unexpected line at the end: " + line;
  }

  // Reported rows, by table: each must be a known exception, and its row is missing in Access.
  // The first refused row of a table is reported; the summary counts them all.
  std::map<QString, int> refused = left_out;
  for (const auto& r : page.reports()) {
    const QString table = r.statement.section('`', 1, 1);
    if (r.label == 246) {
      if (!left_out.count(table))
        tally.failures << where + ": a reported row is not counted at the end: " + table;
      tally.refusals << where + ": " + r.description.left(160);
      continue;  // matched against the rows below
    }
    tally.failures << where + ": report at line " + QString::number(r.label) + ": " +
                          r.description.left(200) + " [" + r.statement.left(120) + "]";
  }

  const QJsonObject dump = MdbDump(page.fields.file, tally, where);
  std::map<QString, QJsonObject> mdb_tables;
  for (const QJsonValue& t : dump.value(QStringLiteral("tables")).toArray())
    mdb_tables[t.toObject().value(QStringLiteral("name")).toString()] = t.toObject();

  sources::Connection access;
  access.Open(testing::AccessString(page.fields.file));
  for (const SourceTable& source : sources_read) {
    const QString at = where + ":" + source.name;
    sources::Recordset rs;
    try {
      rs.Open(SelectAllStatement(source.name).toStdString(), access);
    } catch (const std::exception& e) {
      tally.failures << at + ": not in the Access database: " + e.what();
      continue;
    }
    ++tally.tables;
    std::vector<Target> targets;
    for (std::int16_t type : source.types) targets.push_back(TargetOf(type));

    // Columns: the field names, the chosen types (by both readers).
    const QJsonObject mdb = mdb_tables[source.name];
    const QJsonArray mdb_columns = mdb.value(QStringLiteral("columns")).toArray();
    if (mdb.contains(QStringLiteral("error")))
      tally.failures << at + ": mdb-reader: " + mdb.value(QStringLiteral("error")).toString();
    if (rs.FieldCount() != static_cast<int>(source.fields.size()) ||
        mdb_columns.size() != static_cast<qsizetype>(source.fields.size())) {
      tally.failures << at + QStringLiteral(": %1 columns (mdb-reader %2) instead of %3")
                                 .arg(rs.FieldCount())
                                 .arg(mdb_columns.size())
                                 .arg(source.fields.size());
      continue;
    }
    for (std::size_t j = 0; j < source.fields.size(); ++j) {
      const QJsonObject column = mdb_columns[static_cast<qsizetype>(j)].toObject();
      if (rs.Fields(static_cast<int>(j)).name() != source.fields[j] ||
          column.value(QStringLiteral("name")).toString().toStdString() != source.fields[j])
        tally.failures << at + ": column " + QString::number(j + 1) + " is named '" +
                              QString::fromStdString(rs.Fields(static_cast<int>(j)).name()) + "' / '" +
                              column.value(QStringLiteral("name")).toString() + "', not '" +
                              QString::fromStdString(source.fields[j]) + "'";
      if (column.value(QStringLiteral("type")).toString() != QLatin1String(MdbTypeOf(targets[j])))
        tally.failures << at + ": column " + QString::fromStdString(source.fields[j]) + " has the type " +
                              column.value(QStringLiteral("type")).toString() + ", not " +
                              MdbTypeOf(targets[j]);
    }

    std::vector<Row> ours;
    for (; !rs.Eof(); rs.MoveNext()) {
      Row row;
      for (int j = 0; j < rs.FieldCount(); ++j) row.push_back(rs.Fields(j).Value());
      ours.push_back(std::move(row));
    }
    const QJsonArray theirs = mdb.value(QStringLiteral("rows")).toArray();
    if (theirs.size() != static_cast<qsizetype>(ours.size()))
      tally.failures << at + QStringLiteral(": mdb-reader sees %1 rows, our reader %2")
                                 .arg(theirs.size())
                                 .arg(ours.size());

    // Source rows in order against the Access rows in order; a source row whose INSERT was
    // refused must fall under a known exception and is missing in Access.
    int budget = refused[source.name];
    std::size_t k = 0;
    for (std::size_t r = 0; r < source.rows.size(); ++r) {
      std::vector<Expected> want;
      const char* row_exception = nullptr;
      for (std::size_t j = 0; j < targets.size(); ++j) {
        want.push_back(Expect(source.rows[r][j], targets[j]));
        const char* e = want.back().exception;
        if (e && (std::string_view(e) == "date outside the years Access holds")) row_exception = e;
        if (targets[j] == Target::kText && !IsNull(source.rows[r][j]) &&
            std::holds_alternative<Bytes>(source.rows[r][j]) &&
            std::holds_alternative<std::string>(want.back().value) &&
            std::get<std::string>(want.back().value).size() > 255)
          row_exception = "Bytes value longer than 127 bytes";
      }
      if (row_exception && budget > 0) {
        --budget;
        ++tally.known[std::string(row_exception) + " (row refused and reported)"];
        continue;
      }
      if (k >= ours.size()) {
        tally.failures << at + QStringLiteral(": source row %1 is missing in Access").arg(r + 1);
        continue;
      }
      ++tally.rows;
      const QJsonArray mdb_row = k < static_cast<std::size_t>(theirs.size())
                                     ? theirs[static_cast<qsizetype>(k)].toArray()
                                     : QJsonArray();
      for (std::size_t j = 0; j < targets.size(); ++j) {
        const Expected& e = want[j];
        if (e.exception) {
          ++tally.known[e.exception];
          if (!tally.known_in[e.exception].contains(at)) tally.known_in[e.exception] << at;
        }
        const std::optional<std::string> have = FormatValueText(ours[k][j]);
        const std::optional<std::string> need = FormatValueText(e.value);
        ++tally.cells_by_reader;
        if (have != need)
          tally.failures << at + QStringLiteral(": row %1 field %2: '%3' arrived as '%4' (our reader)")
                                     .arg(r + 1)
                                     .arg(QString::fromStdString(source.fields[j]),
                                          QString::fromStdString(need.value_or("<NULL>")).left(60),
                                          QString::fromStdString(have.value_or("<NULL>")).left(60));
        if (j < static_cast<std::size_t>(mdb_row.size())) {
          ++tally.cells_by_mdb;
          if (!SameAsMdb(mdb_row[static_cast<qsizetype>(j)], e.value, targets[j]))
            tally.failures << at + QStringLiteral(": row %1 field %2: mdb-reader reads %3, expected %4")
                                       .arg(r + 1)
                                       .arg(QString::fromStdString(source.fields[j]),
                                            QString::fromUtf8(
                                                QJsonDocument(QJsonArray{mdb_row[static_cast<qsizetype>(j)]})
                                                    .toJson(QJsonDocument::Compact))
                                                .left(60),
                                            QString::fromUtf8(
                                                QJsonDocument(QJsonArray{MdbForm(e.value, targets[j])})
                                                    .toJson(QJsonDocument::Compact))
                                                .left(60));
        }
      }
      ++k;
    }
    if (budget > 0)
      tally.failures << at + QStringLiteral(": %1 refused rows that no known exception explains").arg(budget);
    if (k < ours.size())
      tally.failures << at + QStringLiteral(": %1 rows more in Access than sent").arg(ours.size() - k);
  }
}

void RunFidelity(jet::DatabaseFormat format, int min_tables, int min_cells) {
  if (!qv::testing::OracleAvailable(qv::testing::Oracle::kMdbReader)) return;
  Tally tally;
  for (const auto& [folder, stems] : CorpusFolders()) CheckFolder(folder, stems, format, tally);
  std::printf("paradox->%s: %d databases, %d tables, %d rows, %d cells by our reader, %d by mdb-reader\n",
              jet::DatabaseFormatName(format), tally.databases, tally.tables, tally.rows,
              tally.cells_by_reader, tally.cells_by_mdb);
  for (const auto& [what, count] : tally.known)
    std::printf("  known exception: %s: %d %s\n", what.c_str(), count,
                tally.known_in[what].join(QStringLiteral(", ")).toUtf8().constData());
  for (const QString& r : tally.refusals) std::printf("  refused row: %s\n", r.toUtf8().constData());
  for (const QString& f : tally.failures) ADD_FAILURE() << f.toStdString();
  EXPECT_GE(tally.tables, min_tables);
  EXPECT_GE(tally.cells_by_mdb, min_cells);
}

TEST(ParadoxToAccessFidelity, EveryReadableCorpusTableArrivesInANewJet4Database) {
  RunFidelity(jet::DatabaseFormat::Jet4, 70, 230000);
}

TEST(ParadoxToAccessFidelity, EveryReadableCorpusTableArrivesInANewAceDatabase) {
  RunFidelity(jet::DatabaseFormat::Ace2007, 70, 230000);
}

}  // namespace
}  // namespace qv::ops
