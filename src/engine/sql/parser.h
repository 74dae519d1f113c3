// Reads one statement text into a statement tree. Anything outside the accepted forms
// (statement.h, docs/formats/sql.md) throws SyntaxError, whose number follows the Access engine's
// numbering for the kind of statement and whose description names the character position and
// the text found there. The parser never guesses at what a faulty statement meant.
#pragma once

#include <string>
#include <string_view>

#include "engine/sql/statement.h"

namespace qv::sql {

Statement ParseStatement(std::string_view text);

// The same, into `out`. An INSERT INTO read into an `out` that holds one already overwrites its
// values in place, so a run of INSERTs allocates next to nothing per statement. On a syntax
// error `out` is left half overwritten.
void ParseStatement(std::string_view text, Statement& out);

// The statement as text in one canonical form that ParseStatement reads back to the same tree:
// keywords in capitals, names in backquotes (in brackets when they hold a backquote), texts in
// apostrophes, numbers and type names as written, no final ';'. A name that can be written in
// neither form (it holds both '`' and ']') throws qv::Error numbered errc::kInvalidName.
std::string FormatStatement(const Statement& statement);

// Letter-case-blind comparison of names as the Access engine makes it for ASCII letters; other
// characters must match exactly.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace qv::sql
