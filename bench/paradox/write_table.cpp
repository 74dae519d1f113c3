// Writes the benchmark table: N rows (default 1,000,000) of Alpha, Long, Number, Money, Date,
// Timestamp, Logical and Memo fields, through the engine's writer, into a folder. Prints the
// elapsed time. Usage: paradox_bench_write FOLDER [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/core/error.h"
#include "engine/paradox/paradox_folder.h"

using namespace qv;
using namespace qv::paradox;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: paradox_bench_write FOLDER [ROWS]\n");
    return 1;
  }
  const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
  auto col = [](const char* name, ColumnType t, std::uint32_t size = 0) {
    Column c;
    c.name = name;
    c.type = t;
    c.size = size;
    return c;
  };
  const std::vector<Column> cols = {col("Name", ColumnType::Text, 30),  col("Qty", ColumnType::Int32),
                                    col("Weight", ColumnType::Double),  col("Price", ColumnType::Currency),
                                    col("Born", ColumnType::Date),      col("Updated", ColumnType::DateTime),
                                    col("Active", ColumnType::Boolean), col("Notes", ColumnType::Memo)};
  // The rows come from a pool built before the clock starts, so that the figure is the writer's
  // work and not the making of test strings; the pool is large enough to vary every field.
  constexpr long kPool = 4096;
  std::vector<Row> pool;
  const std::string longNote(5000, 'L');
  for (long i = 0; i < kPool * 250; i += 250) {
    Row row(cols.size());
    row[0] = "Customer " + std::to_string(i);
    row[1] = std::int64_t{i % 100000 - 50000};
    row[2] = static_cast<double>(i) * 0.25 - 1000.5;
    row[3] = Currency{i * 1234 % 100000000};
    Timestamp d;
    d.year = 1950 + static_cast<int>(i % 70);
    d.month = static_cast<std::uint8_t>(1 + i % 12);
    d.day = static_cast<std::uint8_t>(1 + i % 28);
    row[4] = d;
    d.hour = static_cast<std::uint8_t>(i % 24);
    d.minute = static_cast<std::uint8_t>(i % 60);
    d.second = static_cast<std::uint8_t>(i % 60);
    d.millisecond = static_cast<std::uint16_t>(i % 1000);
    row[5] = d;
    const long k = i / 250;
    row[6] = (k % 3 == 0) ? Value{} : Value{k % 2 == 0};
    if (k % 1000 == 0)
      row[7] = longNote;  // a block of its own
    else if (k % 10 == 0)
      row[7] = std::string(static_cast<std::size_t>(200 + k % 700), 'm');  // a shared block
    else if (k % 10 == 1)
      row[7] = Value{};
    else
      row[7] = "note " + std::to_string(i);  // within the leader
    pool.push_back(std::move(row));
  }
  const auto start = std::chrono::steady_clock::now();
  try {
    ParadoxFolder folder(argv[1]);
    auto out = folder.CreateTable("BENCH", cols);
    for (long i = 0; i < rows; ++i) {
      const Row& row = pool[static_cast<std::size_t>(i % kPool)];
      out->Append(row);
    }
    out->Close();
  } catch (const Error& e) {
    std::fprintf(stderr, "paradox_bench_write: %s\n", e.description().c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("wrote %ld rows in %.3f s\n", rows, seconds);
  return 0;
}
