// Text as Access stores it. Jet4 and ACE keep UTF-16LE, optionally "compressed": a value that
// starts with FF FE holds runs of one-byte characters (the low byte of U+0000..U+00FF) and runs
// of two-byte characters, a 00 byte switching between them, starting with one-byte runs.
// Jet3 keeps single-byte text in the database's code page.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qv::jet {

// UTF-16LE (compressed or not) to UTF-8. Unpaired surrogates become U+FFFD; an odd trailing
// byte is ignored.
std::string DecodeJet4Text(std::span<const std::uint8_t> bytes);
// The same, appended to `out` (which keeps its capacity from value to value).
void AppendJet4Text(std::span<const std::uint8_t> bytes, std::string& out);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, std::uint32_t cp);

}  // namespace qv::jet
