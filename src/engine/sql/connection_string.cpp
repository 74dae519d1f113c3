#include "engine/sql/connection_string.h"

#include <array>
#include <charconv>

#include "engine/core/error.h"
#include "engine/sql/parser.h"
#include "engine/sql/syntax_error.h"

namespace qv::sql {

namespace {

constexpr std::string_view kContext = "Invalid connection string";

// Access strings.
constexpr std::string_view kProvider = "Provider";
constexpr std::string_view kDataSource = "Data Source";
constexpr std::string_view kPassword = "Jet OLEDB:Database Password";
constexpr std::string_view kCodePage = "Code Page";
constexpr std::array<std::string_view, 4> kAccessKeys{kProvider, kDataSource, kPassword, kCodePage};
constexpr std::string_view kJet4 = "Microsoft.Jet.OLEDB.4.0";
constexpr std::string_view kAce12 = "Microsoft.ACE.OLEDB.12.0";

// Paradox strings.
constexpr std::string_view kDriver = "Driver";
constexpr std::string_view kDriverId = "DriverID";
constexpr std::string_view kFil = "Fil";
constexpr std::string_view kDefaultDir = "DefaultDir";
constexpr std::string_view kDbq = "Dbq";
constexpr std::string_view kCollating = "CollatingSequence";
constexpr std::array<std::string_view, 6> kParadoxKeys{kDriver,     kDriverId, kFil,
                                                       kDefaultDir, kDbq,      kCollating};
// The blank before ')' belongs to the driver's name.
constexpr std::string_view kParadoxDriver = "Microsoft Paradox Driver (*.db )";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string MaskPasswords(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::size_t len = 0;
    if (out.size() - i >= 8 && NamesEqual(std::string_view(out).substr(i, 8), "password"))
      len = 8;
    else if (out.size() - i >= 3 && NamesEqual(std::string_view(out).substr(i, 3), "pwd"))
      len = 3;
    if (len == 0) continue;
    std::size_t p = i + len;
    while (p < out.size() && IsBlank(out[p])) ++p;
    if (p >= out.size() || out[p] != '=') continue;
    // The password may hold ';' itself: everything after the key is hidden.
    for (std::size_t k = p + 1; k < out.size(); ++k) out[k] = '*';
    break;
  }
  return out;
}

namespace {

[[noreturn]] void Fail(std::string_view problem, std::string_view text, std::size_t offset) {
  throw SyntaxError(errc::kBadConnectionString, kContext, problem, text, offset);
}

// Position after blanks from `pos`.
std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// Which of `keys` starts at `pos` followed by '=' (blanks between key and '=' allowed); returns
// the index and sets `valueStart`, or -1.
template <std::size_t N>
int KeyAt(std::string_view text, std::size_t pos, const std::array<std::string_view, N>& keys,
          std::size_t& valueStart) {
  for (std::size_t i = 0; i < N; ++i) {
    const std::string_view key = keys[i];
    if (text.size() - pos < key.size() || !NamesEqual(text.substr(pos, key.size()), key)) continue;
    std::size_t p = SkipBlanks(text, pos + key.size());
    if (p < text.size() && text[p] == '=') {
      valueStart = p + 1;
      return static_cast<int>(i);
    }
  }
  return -1;
}

struct Part {
  int key = -1;
  std::string keyText;
  std::string value;
  std::size_t keyOffset = 0;
};

// Splits `text` into known key=value parts. `lastKey` (or -1) is the key whose value runs to the
// end of the string.
template <std::size_t N>
std::vector<Part> Split(std::string_view text, std::string_view shown,
                        const std::array<std::string_view, N>& keys, int lastKey, std::string_view kind) {
  std::vector<Part> parts;
  std::size_t pos = 0;
  for (;;) {
    pos = SkipBlanks(text, pos);
    if (pos >= text.size()) break;
    std::size_t valueStart = 0;
    const int key = KeyAt(text, pos, keys, valueStart);
    if (key < 0) {
      std::size_t eq = text.find_first_of("=;", pos);
      std::string name(text.substr(pos, eq == std::string_view::npos || text[eq] == ';' ? 0 : eq - pos));
      Fail(name.empty() ? "expected a key and '='"
                        : "'" + name + "' is not a key of " + std::string(kind) + " connection strings",
           shown, pos);
    }
    Part part;
    part.key = key;
    part.keyOffset = pos;
    part.keyText = std::string(text.substr(pos, valueStart - 1 - pos));
    while (!part.keyText.empty() && IsBlank(part.keyText.back())) part.keyText.pop_back();
    for (const Part& earlier : parts) {
      if (earlier.key == key) Fail("the key '" + part.keyText + "' is given twice", shown, pos);
    }
    std::size_t end = text.size();
    std::size_t next = text.size();
    if (key != lastKey && valueStart < text.size() && text[valueStart] == '{') {
      // A value in braces may hold ';' (ODBC's own rule); it ends at the closing brace.
      const std::size_t close = text.find('}', valueStart);
      if (close == std::string_view::npos) Fail("a value in braces is not closed", shown, valueStart);
      end = close + 1;
      if (end < text.size() && text[end] != ';') Fail("expected ';' after the closing brace", shown, end);
      next = end < text.size() ? end + 1 : end;
    } else if (key != lastKey) {
      for (std::size_t semi = text.find(';', valueStart); semi != std::string_view::npos;
           semi = text.find(';', semi + 1)) {
        std::size_t ignored = 0;
        const std::size_t after = SkipBlanks(text, semi + 1);
        if (after >= text.size() || KeyAt(text, after, keys, ignored) >= 0) {
          end = semi;
          next = semi + 1;
          break;
        }
      }
    }
    part.value = std::string(text.substr(valueStart, end - valueStart));
    parts.push_back(std::move(part));
    pos = next;
  }
  return parts;
}

const Part* Find(const std::vector<Part>& parts, int key) {
  for (const Part& p : parts) {
    if (p.key == key) return &p;
  }
  return nullptr;
}

void KeepAttributes(ConnectionString& cs, const std::vector<Part>& parts) {
  for (const Part& p : parts) cs.attributes.emplace_back(p.keyText, p.value);
}

ConnectionString ParseAccess(std::string_view text, std::string_view shown) {
  const std::vector<Part> parts = Split(text, shown, kAccessKeys, 2, "Access");
  ConnectionString cs;
  const Part* provider = Find(parts, 0);
  if (!provider) Fail("the key 'Provider' is missing", shown, text.size());
  if (NamesEqual(provider->value, kJet4)) {
    cs.provider = Provider::AccessJet4;
  } else if (NamesEqual(provider->value, kAce12)) {
    cs.provider = Provider::AccessAce12;
  } else {
    throw qv::Error(errc::kProviderNotFound,
                    "The provider '" + MaskPasswords(provider->value) + "' is not available; use " +
                        std::string(kJet4) + " or " + std::string(kAce12),
                    "connection string");
  }
  const Part* source = Find(parts, 1);
  if (!source) Fail("the key 'Data Source' naming the database file is missing", shown, text.size());
  if (source->value.empty()) Fail("'Data Source' names no database file", shown, source->keyOffset);
  // A password key the parser does not know (misspelt) would run into the file name, and from
  // there into every message that names the file.
  if (MaskPasswords(source->value) != source->value) {
    const std::size_t semi = source->value.find(';');
    Fail(
        "the text after 'Data Source' holds a key that is not one of Access connection strings (a misspelt "
        "password key?)",
        shown, source->keyOffset + source->keyText.size() + 1 + (semi == std::string::npos ? 0 : semi + 1));
  }
  cs.dataSource = source->value;
  if (const Part* password = Find(parts, 2)) cs.password = password->value;
  if (const Part* page = Find(parts, 3)) {
    const std::string& v = page->value;
    int number = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), number);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() || number <= 0 || number > 65535)
      Fail("Code Page '" + v + "' is not a code page number", text, page->keyOffset);
    cs.codePage = number;
  }
  KeepAttributes(cs, parts);
  return cs;
}

ConnectionString ParseParadox(std::string_view text, std::string_view shown) {
  const std::vector<Part> parts = Split(text, shown, kParadoxKeys, -1, "Paradox");
  ConnectionString cs;
  cs.provider = Provider::Paradox;
  const Part* driver = Find(parts, 0);
  if (!driver) Fail("the key 'Driver' is missing", shown, text.size());
  std::string_view name = driver->value;
  if (name.size() >= 2 && name.front() == '{' && name.back() == '}') name = name.substr(1, name.size() - 2);
  if (!NamesEqual(name, kParadoxDriver)) {
    throw qv::Error(errc::kProviderNotFound,
                    "The driver '" + std::string(name) + "' is not available; the Paradox driver is named '" +
                        std::string(kParadoxDriver) + "'",
                    "connection string");
  }
  cs.driver = std::string(name);

  if (const Part* id = Find(parts, 1)) {
    const std::string& v = id->value;
    int number = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), number);
    // 26, 282 and 538 are the driver's numbers for Paradox 3.x, 4.x and 5.x tables.
    if (ec != std::errc() || end != v.data() + v.size() || (number != 26 && number != 282 && number != 538)) {
      Fail("DriverID '" + v + "' is not one of the Paradox drivers 26, 282 or 538", shown, id->keyOffset);
    }
    cs.driverId = number;
  }
  if (const Part* fil = Find(parts, 2)) {
    if (!NamesEqual(fil->value, "Paradox 3.X") && !NamesEqual(fil->value, "Paradox 4.X") &&
        !NamesEqual(fil->value, "Paradox 5.X")) {
      Fail("Fil '" + fil->value + "' is not Paradox 3.X, 4.X or 5.X", shown, fil->keyOffset);
    }
    cs.fileType = fil->value;
  }
  const Part* defaultDir = Find(parts, 3);
  const Part* dbq = Find(parts, 4);
  if (defaultDir && dbq && defaultDir->value != dbq->value) {
    Fail("DefaultDir and Dbq name different folders", shown, dbq->keyOffset);
  }
  const Part* folder = dbq ? dbq : defaultDir;
  if (!folder) Fail("the key 'Dbq' or 'DefaultDir' naming the folder is missing", shown, text.size());
  if (folder->value.empty()) Fail("'" + folder->keyText + "' names no folder", shown, folder->keyOffset);
  cs.dataSource = folder->value;
  if (const Part* collating = Find(parts, 5)) cs.collatingSequence = collating->value;
  KeepAttributes(cs, parts);
  return cs;
}

}  // namespace

const char* ProviderName(Provider provider) {
  switch (provider) {
    case Provider::AccessJet4:
      return "Microsoft.Jet.OLEDB.4.0";
    case Provider::AccessAce12:
      return "Microsoft.ACE.OLEDB.12.0";
    case Provider::Paradox:
      return "Microsoft Paradox Driver (*.db )";
  }
  return "";
}

ConnectionString ParseConnectionString(std::string_view text) {
  const std::size_t start = SkipBlanks(text, 0);
  const std::string shown = MaskPasswords(text);
  if (start >= text.size()) Fail("the connection string is empty", shown, text.size());
  std::size_t valueStart = 0;
  // The first key tells the kind of string; the keys may then come in any order.
  if (KeyAt(text, start, kAccessKeys, valueStart) >= 0) return ParseAccess(text, shown);
  if (KeyAt(text, start, kParadoxKeys, valueStart) >= 0) return ParseParadox(text, shown);
  Fail("expected 'Provider=' (an Access database) or 'Driver=' (a Paradox folder)", shown, start);
}

}  // namespace qv::sql
