#include "engine/paradox/table_copy.h"

#include <algorithm>
#include <set>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/paradox/table_writer.h"

namespace qv::paradox {

namespace {

std::string Utf8Of(const std::set<char32_t>& characters) {
  std::string out;
  for (char32_t c : characters) out += CharacterUtf8(c);
  return out;
}

// The first offered code page from `from` on that holds every one of `characters`; -1 if none.
int FirstHolding(const std::set<char32_t>& characters, std::size_t from) {
  const auto drivers = OfferedLanguageDrivers();
  const std::string text = Utf8Of(characters);
  std::string scratch;
  for (std::size_t i = from; i < drivers.size(); ++i) {
    if (text.empty()) return static_cast<int>(i);
    const TextCodec codec(TextCodec::CharsetForCodePage(drivers[i].codePage));
    if (codec.FromUtf8(text, scratch)) return static_cast<int>(i);
  }
  return -1;
}

std::size_t IndexOf(int codePage) {
  const auto drivers = OfferedLanguageDrivers();
  for (std::size_t i = 0; i < drivers.size(); ++i)
    if (drivers[i].codePage == codePage) return i;
  throw Error(errc::kNotSupported,
              "Code page " + std::to_string(codePage) + " is not offered for new Paradox tables.");
}

}  // namespace

CopyResult CopyToNewTable(const std::filesystem::path& folder, const std::string& tableName,
                          const std::function<std::unique_ptr<qv::RowReader>()>& open,
                          const CopyOptions& options) {
  const auto drivers = OfferedLanguageDrivers();
  const bool automatic = options.codePage == kAutomaticCodePage;
  std::unique_ptr<qv::RowReader> rows = open();
  const std::vector<Column> columns = rows->columns();
  std::size_t driver = automatic ? 0 : IndexOf(options.codePage);
  std::set<char32_t> needed;  // characters the table is known to hold
  if (automatic) {
    // The field names are known before any row: start in the first code page that holds them.
    for (const std::string& name : FieldNamesFor(columns)) CollectCharacters(name, needed);
    const int first = FirstHolding(needed, 0);
    if (first < 0)
      throw Error(errc::kInvalidArgument,
                  "The field names of table '" + tableName + "' hold the characters '" + Utf8Of(needed) +
                      "', which no code page offered for new Paradox tables holds together.");
    driver = static_cast<std::size_t>(first);
  }
  CopyResult result;
  WriteOptions write;
  write.noteCharacters = automatic;
  for (;;) {
    ++result.passes;
    if (!rows) rows = open();
    write.codePage = drivers[driver].codePage;
    auto writer = std::make_unique<TableWriter>(folder, tableName, columns, write);
    qv::Row row;
    try {
      while (rows->Next(row)) writer->Append(row);
      writer->Close();
    } catch (const Error& e) {
      const auto& hint = writer->retryHint();
      if (!hint) throw;
      if (hint->kind == RetryHint::Kind::kNeedsText) {
        if (std::find(write.columnsAsText.begin(), write.columnsAsText.end(), hint->column) !=
            write.columnsAsText.end())
          throw;
        write.columnsAsText.push_back(hint->column);
      } else {
        if (!automatic || hint->character == 0) throw;
        needed.insert(writer->seenCharacters().begin(), writer->seenCharacters().end());
        needed.insert(hint->character);
        const int next = driver + 1 < drivers.size() ? FirstHolding(needed, driver + 1) : -1;
        if (next < 0) {
          const std::string& field = writer->fieldNames()[hint->column];
          const bool alone = FirstHolding({hint->character}, 0) >= 0;
          throw Error(e.number(),
                      "Row " + std::to_string(hint->row) + ", field '" + field + "' of table '" + tableName +
                          "': the text has the character " + DescribeCharacter(hint->character) + ", which " +
                          (alone ? "no code page offered for new Paradox tables holds together with the "
                                   "table's other text"
                                 : "none of the code pages offered for new Paradox tables holds"),
                      e.where());
        }
        driver = static_cast<std::size_t>(next);
      }
      writer.reset();  // the temporary files go
      rows.reset();
      continue;
    }
    result.codePage = drivers[driver].codePage;
    result.rows = writer->rowsWritten();
    result.columnsAsText = write.columnsAsText;
    return result;
  }
}

}  // namespace qv::paradox
