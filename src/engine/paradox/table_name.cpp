#include "engine/paradox/table_name.h"

#include <cctype>

namespace qv::paradox {

std::string TableNameProblem(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name == ".") return "names the folder itself";
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
    return "holds a path separator";
  if (name.find("..") != std::string_view::npos) return "holds \"..\"";
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c == 0) return "holds a NUL character";
    if (c < 0x20 || c == 0x7f) return "holds a control character";
    // C1 controls, U+0080 to U+009F: C2 80 to C2 9F in UTF-8.
    if (c == 0xc2 && i + 1 < name.size()) {
      const auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9f) return "holds a control character";
    }
  }
  return {};
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool IsFamilyExtension(std::string_view extension) {
  const std::string ext = UpperAscii(extension);
  if (ext == ".DB" || ext == ".MB" || ext == ".PX" || ext == ".VAL" || ext == ".TV") return true;
  if (ext.size() != 4 || ext[0] != '.' || (ext[1] != 'X' && ext[1] != 'Y')) return false;
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (hex(ext[2]) && hex(ext[3])) return true;                                    // .X01 .Y0A
  return ext[2] == 'G' && std::isalnum(static_cast<unsigned char>(ext[3])) != 0;  // .XG0 .YG0
}

}  // namespace qv::paradox
