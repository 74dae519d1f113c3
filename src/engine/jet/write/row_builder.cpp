#include "engine/jet/write/row_builder.h"

#include <algorithm>

namespace qv::jet {

std::size_t MaxRowSize(const Layout& layout) {
  return layout.pageSize - layout.dataRowCountOffset - 2 - 2;
}

namespace {

// The Jet3 end of a row: the variable offsets as single bytes (the end of the last column first,
// then backwards), the jump table (one byte per 256 bytes of row: the first offset entry at or
// past that boundary, 0xff where none is), the variable count, the null mask.
void AppendJet3Tail(Bytes& row, const std::vector<std::uint16_t>& offsets, std::size_t varCount,
                    const Bytes& mask) {
  const std::size_t base = row.size() + (varCount + 1) + 1 + mask.size();
  std::size_t jumps = 0;
  while ((base + jumps - 1) / 256 != jumps) jumps = (base + jumps - 1) / 256;
  for (std::size_t k = varCount + 1; k-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[k] & 0xff));
  std::vector<std::uint8_t> jump(jumps, 0xff);
  for (std::size_t k = 0; k < jumps; ++k)
    for (std::size_t i = 0; i <= varCount; ++i)
      if (offsets[i] >= 256 * (k + 1)) {
        jump[k] = static_cast<std::uint8_t>(i);
        break;
      }
  for (std::size_t k = jumps; k-- > 0;) row.push_back(jump[k]);
  row.push_back(static_cast<std::uint8_t>(varCount));
  row.insert(row.end(), mask.begin(), mask.end());
}

}  // namespace

Bytes BuildRow(const TableDefinition& t, const std::vector<EncodedValue>& cells, const Layout& l) {
  std::size_t rowColumns = 0, fixedSize = 0, varCount = 0;
  for (const auto& c : t.columns) {
    rowColumns = std::max<std::size_t>(rowColumns, c.number + 1u);
    if (c.type == col_type::kBoolean) continue;
    if (c.fixedLength())
      fixedSize = std::max<std::size_t>(fixedSize, static_cast<std::size_t>(c.fixedOffset) + c.length);
    else
      varCount = std::max<std::size_t>(varCount, c.varIndex + 1u);
  }
  if (t.varColumns == 0) varCount = 0;
  const std::size_t lead = l.rowColumnCountSize;
  Bytes row;
  row.reserve(lead + fixedSize + 64);
  row.push_back(static_cast<std::uint8_t>(rowColumns));
  if (lead == 2) row.push_back(static_cast<std::uint8_t>(rowColumns >> 8));
  row.resize(lead + fixedSize, 0);
  Bytes mask((rowColumns + 7) / 8, 0);
  std::vector<const EncodedValue*> byVar(varCount, nullptr);
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnDef& c = t.columns[i];
    const EncodedValue& v = cells[i];
    bool bit = c.type == col_type::kBoolean ? v.flag : !v.null;
    if (bit) mask[c.number / 8] = static_cast<std::uint8_t>(mask[c.number / 8] | (1u << (c.number % 8)));
    if (c.type == col_type::kBoolean || v.null) continue;
    if (c.fixedLength()) {
      std::copy_n(v.bytes.begin(), std::min<std::size_t>(v.bytes.size(), c.length),
                  row.begin() + static_cast<std::ptrdiff_t>(lead + c.fixedOffset));
    } else if (c.varIndex < varCount) {
      byVar[c.varIndex] = &v;
    }
  }
  std::vector<std::uint16_t> offsets(varCount + 1);
  for (std::size_t k = 0; k < varCount; ++k) {
    offsets[k] = static_cast<std::uint16_t>(row.size());
    if (byVar[k]) row.insert(row.end(), byVar[k]->bytes.begin(), byVar[k]->bytes.end());
  }
  offsets[varCount] = static_cast<std::uint16_t>(row.size());
  if (l.jet3) {
    if (t.varColumns > 0)
      AppendJet3Tail(row, offsets, varCount, mask);
    else
      row.insert(row.end(), mask.begin(), mask.end());
    return row;
  }
  if (t.varColumns > 0) {
    for (std::size_t k = varCount + 1; k-- > 0;) {
      std::uint8_t two[2];
      StoreU16(two, offsets[k]);
      row.insert(row.end(), two, two + 2);
    }
    std::uint8_t two[2];
    StoreU16(two, static_cast<std::uint16_t>(varCount));
    row.insert(row.end(), two, two + 2);
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

}  // namespace qv::jet
