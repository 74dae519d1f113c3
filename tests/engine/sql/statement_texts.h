// The statement texts the program sends, built by the same recipes the table operations follow,
// so the tests parse exactly what the program will send for any table, field or folder name.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::sql::testing {

// Paradox table dropped before it is replaced by a copy from Access, and an Access table dropped
// before a Paradox table replaces it: "DROP TABLE `NAME`".
inline std::string DropForReplace(const std::string& name) {
  return "DROP TABLE `" + name + "`";
}

// Access table deletion: "DROP TABLE `NAME`;".
inline std::string DropForDelete(const std::string& name) {
  return "DROP TABLE `" + name + "`;";
}

// The copy of an Access table into a Paradox folder. The folder gets one separator appended and
// ":\\" made ":\" (a drive root keeps a single backslash).
inline std::string CopyToParadox(const std::string& folder, const std::string& target,
                                 const std::string& source) {
  std::string part = folder + "\\";
  for (std::size_t p = part.find(":\\\\"); p != std::string::npos; p = part.find(":\\\\", p + 1)) {
    part.erase(p + 1, 1);
  }
  return "select * into [Paradox 5.x;Database=" + part + "].[" + target + ".db] from [" + source + "]";
}

// Same copy with a folder that already ends in the separator the platform uses ('/').
inline std::string CopyToParadoxPosix(const std::string& folder, const std::string& target,
                                      const std::string& source) {
  return "select * into [Paradox 5.x;Database=" + folder + "/].[" + target + ".db] from [" + source + "]";
}

// The first `count` characters (not bytes) of a UTF-8 text, as the copy to Paradox shortens names.
inline std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t p = 0;
  for (; p < text.size() && count > 0; --count) {
    ++p;
    while (p < text.size() && (static_cast<unsigned char>(text[p]) & 0xC0) == 0x80) ++p;
  }
  return text.substr(0, p);
}

inline std::string SelectAll(const std::string& name) {
  return "SELECT * FROM `" + name + "`";
}

// CREATE TABLE of the Paradox-to-Access transfer: fields as (name, type word) pairs.
inline std::string CreateTable(const std::string& table,
                               const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string s = "CREATE TABLE `" + table + "`(";
  for (const auto& [name, type] : fields) s += "`" + name + "` " + type + ",";
  s.pop_back();
  s += ");";
  return s;
}

// INSERT of the Paradox-to-Access transfer, step by step as the transfer builds it: a value that
// renders empty (NULL or empty text) is written as NULL, any other between apostrophes with each
// apostrophe doubled.
inline std::string Insert(const std::string& table, const std::vector<std::optional<std::string>>& values) {
  std::string s = "INSERT INTO `" + table + "` VALUES('";
  for (const auto& v : values) {
    if (!v || v->empty()) {
      s.pop_back();
      s += "NULL, '";
    } else {
      for (char c : *v) {
        s += c;
        if (c == '\'') s += '\'';
      }
      s += "', '";
    }
  }
  s.resize(s.size() - 3);
  s += ")";
  return s;
}

// Access table renaming.
inline std::string RenameCopy(const std::string& newName, const std::string& oldName) {
  return "SELECT a1.* INTO `" + newName + "` FROM `" + oldName + "` AS a1;";
}

// Names that real tables and fields carry: blanks, apostrophes, punctuation, non-ASCII letters,
// reserved words and leading digits. None holds a backquote, which the recipes cannot carry.
inline const std::vector<std::string>& OddNames() {
  static const std::vector<std::string> names{"Orders",
                                              "Order Details",
                                              "O'Brien's",
                                              "Kunden Übersicht",
                                              "Straße",
                                              "日本語の表",
                                              "Ñandú 2024",
                                              "a.b.c",
                                              "x;y",
                                              "semi;colon=equals",
                                              "[bracketed]",
                                              "]",
                                              "[",
                                              "a--b",
                                              "123",
                                              "select",
                                              "NULL",
                                              "  leading blanks",
                                              "trailing blanks  ",
                                              "tab\there",
                                              "per%cent#hash",
                                              "(paren)",
                                              "comma, too",
                                              "\"quoted\"",
                                              "emoji 😀"};
  return names;
}

}  // namespace qv::sql::testing
