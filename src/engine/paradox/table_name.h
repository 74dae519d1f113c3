// The names of Paradox tables and of the files of a table's family: one rule for every place that
// takes a table name from a person or a statement (the statement parser, the Paradox writer, the
// table operations). A Paradox table is a plain file in its folder, so its name must be a file
// name there and never a path: a name that could reach outside the folder, or that no file system
// takes, is refused before anything is written (docs/formats/paradox.md, "Table names").
#pragma once

#include <string>
#include <string_view>

namespace qv::paradox {

// Why `name` (UTF-8, with or without its ".db") cannot name a Paradox table, or the empty text
// when it can. The text reads after the name: "'x' holds a path separator". Refused: the empty
// name, "." and "..", any name holding "..", '/' or '\', NUL or another control character (C0,
// DEL and C1). Everything else a file system takes is kept (spaces, quotes, '*', non-Latin
// letters), as Paradox on the systems it shares folders with reads such files.
std::string TableNameProblem(std::string_view name);

// True for the extensions of a table's family, in any letter case, the dot included: .DB (the
// table), .MB (memo and blob values), .PX (primary index), .VAL (validity checks), .TV (view
// settings), .Xnn/.Ynn (secondary indexes, nn hexadecimal) and .XGn/.YGn (composite ones).
bool IsFamilyExtension(std::string_view extension);

// `text` with its ASCII letters in upper case: how names of tables and files are compared.
std::string UpperAscii(std::string_view text);

}  // namespace qv::paradox
