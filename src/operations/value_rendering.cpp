#include "operations/value_rendering.h"

#include "engine/core/value_text.h"

namespace qv::ops {

const Value& ReplaceNull(const Value& value, const Value& replacement) {
  return IsNull(value) ? replacement : value;
}

std::optional<std::string> RenderValue(const Value& value) {
  static const Value kEmptyText{std::string()};
  std::optional<std::string> text = FormatValueText(ReplaceNull(value, kEmptyText));
  if (!text || text->empty()) return std::nullopt;
  return text;
}

}  // namespace qv::ops
