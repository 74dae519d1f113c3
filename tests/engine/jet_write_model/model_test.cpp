// A long random sequence of CREATE TABLE (some tables wide enough for a definition of several
// pages), inserts, DROP TABLE and copies against a model kept in memory, with the database closed and opened
// again at random points. After each reopen, and every so many operations, every table of the model is read
// back value by value and the page accounting (page_accounting.h) must find every page owned once or free.
// mdbtools lists and exports the file at a few points. The seed is printed with every failure; QV_MODEL_SEED
// picks another one, QV_MODEL_OPS another length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../jet_index/index_walk.h"
#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "page_accounting.h"

namespace qv::jet::testing {
namespace {

struct ModelTable {
  std::vector<qv::Column> columns;
  std::vector<qv::Row> rows;
  std::optional<std::int64_t> counter;  // the autonumber counter when the model knows it
  bool insertable = true;
  bool latin1 = false;  // Access-made tables: their text may be indexed (keys stop at U+00FF)
};

std::string RowText(const qv::Row& row) {
  std::string s;
  for (const auto& v : row) {
    auto t = qv::FormatValueText(v);
    s += t ? "'" + *t + "'" : std::string("NULL");
    s += '|';
  }
  return s;
}

class ModelRun {
 public:
  ModelRun(std::string path, std::uint64_t seed) : path_(std::move(path)), rng_(seed) {}

  void Open() { db_ = Database::Open(path_); }
  void Close() {
    inserters_.clear();
    db_.reset();
  }

  // Reads the tables a corpus file already has into the model.
  void AdoptExistingTables() {
    for (const auto& name : db_->UserTableNames()) {
      ModelTable t;
      auto reader = db_->ReadTable(name);
      t.columns = reader->columns();
      t.latin1 = true;
      qv::Row row;
      while (reader->Next(row)) t.rows.push_back(row);
      model_[name] = std::move(t);
    }
  }

  void Baseline() {
    PageReport r = PageAccounting(*db_).Run();
    baseline_ = r.problems;
    for (const auto& p : qv::jet::testing::WalkEveryIndex(*db_).problems) walkBaseline_.insert(p);
  }

  void Step(int op) {
    std::uniform_int_distribution<int> pick(0, 99);
    int what = pick(rng_);
    if (model_.empty() || what < 12) {
      CreateOne(op);
    } else if (what < 70) {
      InsertSome();
    } else if (what < 80) {
      DropOne();
    } else if (what < 90) {
      CopyOne(op);
    } else if (what < 95) {
      Close();
      Open();
      Verify("reopen");
    } else {
      Verify("check");
    }
  }

  // Every model table reads back as the model says, the catalog lists exactly them, and every
  // page is accounted for.
  void Verify(const std::string& when) {
    SCOPED_TRACE(when);
    std::set<std::string> listed;
    for (const auto& n : db_->UserTableNames()) listed.insert(n);
    std::set<std::string> expected;
    for (const auto& [n, t] : model_) expected.insert(n);
    ASSERT_EQ(listed, expected);
    for (const auto& [name, t] : model_) {
      auto reader = db_->ReadTable(name);
      ASSERT_EQ(reader->columns().size(), t.columns.size()) << name;
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        EXPECT_EQ(reader->columns()[i].name, t.columns[i].name) << name;
        EXPECT_EQ(reader->columns()[i].type, t.columns[i].type) << name << "." << t.columns[i].name;
      }
      std::vector<std::string> got, want;
      qv::Row row;
      while (reader->Next(row)) got.push_back(RowText(row));
      for (const auto& r : t.rows) want.push_back(RowText(r));
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      ASSERT_EQ(got.size(), want.size()) << name;
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << name << " row " << i;
      ASSERT_EQ(reader->rowCount(), static_cast<std::int64_t>(t.rows.size())) << name;
    }
    PageReport r = PageAccounting(*db_).Run();
    for (const auto& p : r.problems)
      if (!baseline_.count(p)) ADD_FAILURE() << p;
    lostPastMap_ = r.lostPastMap;
    pages_ = r.pages;
    // every index of every table (the catalog's included) consistent with its rows
    for (const auto& p : qv::jet::testing::WalkEveryIndex(*db_).problems)
      if (!walkBaseline_.count(p)) ADD_FAILURE() << "index walker: " << p;
    if (::testing::Test::HasFailure()) throw std::runtime_error("verification failed");
  }

  // mdb-tables lists the model's tables; mdb-export gives each as many rows as the model.
  void CheckWithMdbTools() {
    if (!HaveMdbTools()) return;
    Close();
    std::string out = Run("mdb-tables -1 " + Quote(path_));
    std::set<std::string> listed;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) listed.insert(line);
    std::set<std::string> expected;
    for (const auto& [n, t] : model_) expected.insert(n);
    EXPECT_EQ(listed, expected);
    for (const auto& [n, t] : model_) {
      int status = 0;
      std::string csv =
          Run("mdb-export -H -Q -d '\\t' -R '\\n@@\\n' " + Quote(path_) + " " + Quote(n) + " 2>&1", &status);
      EXPECT_EQ(status, 0) << n << ": " << csv.substr(0, 400);
      std::size_t rows = 0;
      for (std::size_t at = csv.find("\n@@\n"); at != std::string::npos; at = csv.find("\n@@\n", at + 4))
        ++rows;
      EXPECT_EQ(rows, t.rows.size()) << n;
    }
    Open();
  }

  std::size_t operations() const { return ops_; }
  std::size_t accessTableRows() const { return accessTableRows_; }
  std::size_t wideTables() const { return wideTables_; }
  std::size_t lostPastMap() const { return lostPastMap_; }
  std::size_t pages() const { return pages_; }

 private:
  std::string NewName(int op) {
    static const char* stems[] = {"Orders", "Kunden", "Stock items", "Café", "t", "Lager_2"};
    std::uniform_int_distribution<int> s(0, 5);
    return std::string(stems[s(rng_)]) + " " + std::to_string(op);
  }

  void CreateOne(int op) {
    std::vector<qv::Column> cols;
    cols.push_back({"ID", qv::ColumnType::Int32, 0, 0, 0, true});
    static const qv::ColumnType kinds[] = {
        qv::ColumnType::Text,     qv::ColumnType::Int32,    qv::ColumnType::Double,
        qv::ColumnType::Currency, qv::ColumnType::DateTime, qv::ColumnType::Boolean,
        qv::ColumnType::Memo,     qv::ColumnType::Int16,    qv::ColumnType::Byte,
        qv::ColumnType::Single,   qv::ColumnType::Binary,   qv::ColumnType::LongBinary};
    // One table in eight is wide: 80 to 160 small columns with long names, a definition of
    // several pages (rows stay within a page).
    static const qv::ColumnType small[] = {
        qv::ColumnType::Text, qv::ColumnType::Int32,   qv::ColumnType::Double,  qv::ColumnType::Int16,
        qv::ColumnType::Byte, qv::ColumnType::Boolean, qv::ColumnType::DateTime};
    std::uniform_int_distribution<int> n(1, 12), k(0, 11), size(1, 255), wideCount(80, 160), ks(0, 6),
        smallSize(1, 8), eighth(0, 7);
    const bool wide = eighth(rng_) == 0;
    int count = wide ? wideCount(rng_) : n(rng_);
    for (int i = 0; i < count; ++i) {
      qv::Column c;
      c.type = wide ? small[ks(rng_)] : kinds[k(rng_)];
      c.name = std::string(qv::ColumnTypeName(c.type)) + " " + std::to_string(i) +
               (wide ? " of a rather wide table" : "");
      if (c.type == qv::ColumnType::Text || c.type == qv::ColumnType::Binary)
        c.size = static_cast<std::uint32_t>(wide ? smallSize(rng_) : size(rng_));
      cols.push_back(c);
    }
    std::string name = NewName(op);
    CreateTable(*db_, name, cols);
    if (db_->ReadDefinition(name).pages.size() > 1) ++wideTables_;
    ModelTable t;
    t.columns = db_->ReadTable(name)->columns();
    t.counter = 0;
    model_[name] = std::move(t);
    ++ops_;
  }

  std::string RandomText(std::size_t max, bool latin1) {
    static const char* pieces[] = {"a", "Z", "7", " ", "é", "ß", "'", "-", "x", "Ö", "Ω", "€"};
    std::uniform_int_distribution<std::size_t> len(0, max), p(0, latin1 ? 9 : 11);
    std::string s;
    std::size_t n = len(rng_);
    for (std::size_t i = 0; i < n; ++i) s += pieces[p(rng_)];
    return s;
  }

  qv::Value RandomValue(const qv::Column& c, ModelTable& t) {
    std::uniform_int_distribution<int> pct(0, 99);
    if (c.autoIncrement) {
      if (t.counter && pct(rng_) < 50) return std::monostate{};
      return static_cast<std::int64_t>(t.counter.value_or(1000000) + 1 + pct(rng_));
    }
    if (c.type != qv::ColumnType::Boolean && pct(rng_) < 10) return std::monostate{};
    switch (c.type) {
      case qv::ColumnType::Boolean:
        return pct(rng_) < 50;
      case qv::ColumnType::Byte:
        return static_cast<std::int64_t>(pct(rng_) * 2);
      case qv::ColumnType::Int16:
        return static_cast<std::int64_t>(std::uniform_int_distribution<int>(-32768, 32767)(rng_));
      case qv::ColumnType::Int32:
        return static_cast<std::int64_t>(std::uniform_int_distribution<std::int32_t>()(rng_));
      case qv::ColumnType::Single:
        return static_cast<double>(static_cast<float>(pct(rng_)) / 8.0f);
      case qv::ColumnType::Double:
        return std::uniform_real_distribution<double>(-1e9, 1e9)(rng_);
      case qv::ColumnType::Currency:
        return qv::Currency{std::uniform_int_distribution<std::int64_t>(-1000000000000, 1000000000000)(rng_)};
      case qv::ColumnType::DateTime: {
        qv::Timestamp ts;
        ts.year = std::uniform_int_distribution<int>(1800, 2100)(rng_);
        ts.month = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 12)(rng_));
        ts.day = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 28)(rng_));
        ts.hour = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 23)(rng_));
        ts.minute = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 59)(rng_));
        ts.second = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 59)(rng_));
        return ts;
      }
      case qv::ColumnType::Text:
        return RandomText(std::min<std::size_t>(c.size ? c.size : 255, 40), t.latin1);
      case qv::ColumnType::Memo: {
        int kind = pct(rng_);
        std::size_t max = kind < 60 ? 100 : kind < 85 ? 1500 : kind < 97 ? 5000 : 20000;
        return RandomText(max, t.latin1);
      }
      case qv::ColumnType::Binary:
      case qv::ColumnType::LongBinary: {
        std::size_t max =
            c.type == qv::ColumnType::Binary ? (c.size ? c.size : 255) : (pct(rng_) < 80 ? 200 : 9000);
        qv::Bytes b(std::uniform_int_distribution<std::size_t>(0, max)(rng_));
        for (auto& x : b) x = static_cast<std::uint8_t>(rng_());
        return b;
      }
      default:
        return std::monostate{};
    }
  }

  // What the table reads back for an inserted value.
  static qv::Value Stored(const qv::Column& c, const qv::Value& v) {
    if (c.type == qv::ColumnType::Boolean && qv::IsNull(v)) return false;
    return v;
  }

  std::string PickTable() {
    std::uniform_int_distribution<std::size_t> i(0, model_.size() - 1);
    auto it = model_.begin();
    std::advance(it, static_cast<std::ptrdiff_t>(i(rng_)));
    return it->first;
  }

  void InsertSome() {
    std::string name = PickTable();
    ModelTable& t = model_[name];
    if (!t.insertable) return;
    int rows = std::uniform_int_distribution<int>(1, 40)(rng_);
    // An inserter lives on across other creates, drops and copies until its table goes or the
    // file is closed, as a connection keeps one: what it remembers (its last page) must stay
    // right.
    auto& ins = inserters_[name];
    if (!ins) {
      try {
        ins = std::make_unique<TableInserter>(*db_, name);
      } catch (const qv::Error& e) {
        inserters_.erase(name);
        if (e.number() != errc::kNotSupported) throw;
        t.insertable = false;
        return;
      }
    }
    for (int r = 0; r < rows; ++r) {
      qv::Row row;
      for (const auto& c : t.columns) row.push_back(RandomValue(c, t));
      try {
        ins->Insert(row);
      } catch (const qv::Error& e) {
        // Access-made tables: keys that repeat, kinds of table we do not write.
        if (e.number() == errc::kNotSupported) {
          t.insertable = false;
          return;
        }
        if (e.number() == 3022 || e.number() == 3058) continue;
        throw;
      }
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].autoIncrement && t.counter) {
          if (qv::IsNull(row[i]))
            row[i] = ++*t.counter;
          else
            t.counter = std::max(*t.counter, std::get<std::int64_t>(row[i]));
        }
        row[i] = Stored(t.columns[i], row[i]);
      }
      t.rows.push_back(row);
      if (t.latin1) ++accessTableRows_;
      ++ops_;
    }
  }

  void DropOne() {
    std::string name = PickTable();
    try {
      DropTable(*db_, name);
    } catch (const qv::Error& e) {
      if (e.number() == 3303) return;  // in a relationship
      throw;
    }
    model_.erase(name);
    inserters_.erase(name);
    ++ops_;
  }

  void CopyOne(int op) {
    std::string source = PickTable();
    std::string target = NewName(op);
    std::uniform_int_distribution<int> pct(0, 99);
    try {
      if (pct(rng_) < 20 && model_.size() > 1) {
        // AppendRows into a table made by the model with the same columns.
        CopyTable(*db_, source, target);
        AppendRows(*db_, source, target);
        ModelTable t = model_[source];
        t.columns = db_->ReadTable(target)->columns();
        std::vector<qv::Row> twice = t.rows;
        twice.insert(twice.end(), t.rows.begin(), t.rows.end());
        t.rows = std::move(twice);
        t.counter.reset();
        model_[target] = std::move(t);
      } else {
        CopyTable(*db_, source, target);
        ModelTable t = model_[source];
        t.columns = db_->ReadTable(target)->columns();
        t.counter.reset();
        t.insertable = true;
        model_[target] = std::move(t);
      }
    } catch (const qv::Error& e) {
      if (e.number() != errc::kNotSupported) throw;
      // Refused copies write nothing; the check below (name not listed) sees a leftover.
    }
    ++ops_;
  }

  std::string path_;
  std::mt19937_64 rng_;
  std::unique_ptr<Database> db_;
  std::map<std::string, std::unique_ptr<TableInserter>> inserters_;
  std::map<std::string, ModelTable> model_;
  std::set<std::string> baseline_;
  std::set<std::string> walkBaseline_;
  std::size_t ops_ = 0, lostPastMap_ = 0, pages_ = 0, accessTableRows_ = 0, wideTables_ = 0;
};

std::uint64_t SeedFor(std::uint64_t fallback) {
  const char* s = std::getenv("QV_MODEL_SEED");
  return s ? std::strtoull(s, nullptr, 10) : fallback;
}
int Operations(int fallback) {
  const char* s = std::getenv("QV_MODEL_OPS");
  return s ? std::atoi(s) : fallback;
}

void RunModel(const std::string& path, std::uint64_t seed, int steps, bool adopt) {
  SCOPED_TRACE("seed " + std::to_string(seed) + " (QV_MODEL_SEED=" + std::to_string(seed) + " repeats it)");
  ModelRun run(path, seed);
  run.Open();
  if (adopt) run.AdoptExistingTables();
  run.Baseline();
  for (int i = 0; i < steps; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    try {
      run.Step(i);
    } catch (const qv::Error& e) {
      FAIL() << "qv::Error " << e.number() << ": " << e.description() << " at " << e.where();
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    if (i % 150 == 149) {
      ASSERT_NO_FATAL_FAILURE(run.Verify("every 150 steps"));
    }
    if (i % 500 == 499) {
      ASSERT_NO_FATAL_FAILURE(run.CheckWithMdbTools());
    }
  }
  ASSERT_NO_FATAL_FAILURE(run.Close());
  ASSERT_NO_FATAL_FAILURE(run.Open());
  ASSERT_NO_FATAL_FAILURE(run.Verify("end"));
  ASSERT_NO_FATAL_FAILURE(run.CheckWithMdbTools());
  std::printf(
      "seed %llu: %zu operations (%zu rows into Access-made tables, %zu tables of several definition pages), "
      "%zu pages, %zu zero pages lost to reuse\n",
      static_cast<unsigned long long>(seed), run.operations(), run.accessTableRows(), run.wideTables(),
      run.pages(), run.lostPastMap());
}

TEST(WriteModel, NewJet4Database) {
  ScratchDir dir;
  std::string path = dir.Path("model.mdb");
  CreateDatabase(path, DatabaseFormat::Jet4);
  RunModel(path, SeedFor(20261208), Operations(600), false);
}

TEST(WriteModel, NewAce2010Database) {
  ScratchDir dir;
  std::string path = dir.Path("model.accdb");
  CreateDatabase(path, DatabaseFormat::Ace2010);
  RunModel(path, SeedFor(4711), Operations(500), false);
}

TEST(WriteModel, CopyOfAccessMadeFile) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/indexTestV2003.mdb", "model.mdb");
  RunModel(path, SeedFor(99), Operations(500), true);
}

TEST(WriteModel, CopyOfAccessMadeAceFile) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2010/indexTestV2010.accdb", "model.accdb");
  RunModel(path, SeedFor(7), Operations(300), true);
}

}  // namespace
}  // namespace qv::jet::testing
