// A whole table written as a new Paradox table from rows that can be read again from the start,
// with the code page chosen for the table's text (docs/formats/paradox.md, "Choosing the code
// page"). The rows are read once when the text fits the first code page tried; when a character
// turns up that the code page lacks, or a date and time finer than a Timestamp field, the table
// is started again from its first row in the first code page that holds every character met so
// far (or with the column written as text when a value is finer than its Paradox field).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/row_reader.h"

namespace qv::paradox {

// 0: the first offered code page that holds the table's text.
inline constexpr int kAutomaticCodePage = 0;

struct CopyOptions {
  int codePage = kAutomaticCodePage;  // or one of OfferedLanguageDrivers()
};

struct CopyResult {
  int codePage = 0;
  std::int64_t rows = 0;
  int passes = 0;                          // times the rows were read
  std::vector<std::size_t> columnsAsText;  // columns written as text for their precision
};

// Writes the table `tableName` in `folder` from the rows `open` gives (called once per pass; the
// first reader's columns name the fields). The table appears under its name only when whole.
// Throws what the writer throws; a table no offered code page can hold is refused naming the
// row, the field and the character.
CopyResult CopyToNewTable(const std::filesystem::path& folder, const std::string& tableName,
                          const std::function<std::unique_ptr<qv::RowReader>()>& open,
                          const CopyOptions& options = {});

}  // namespace qv::paradox
