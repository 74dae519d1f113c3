#include "engine/jet/write/system_rows.h"

#include <algorithm>
#include <ctime>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/catalog.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"

namespace qv::jet {

std::vector<SystemRow> ReadSystemRows(SharedFile& f, const TableDefinition& t) {
  PageStore& ps = *f.pages;
  const Layout& l = f.header.layout;
  std::vector<SystemRow> out;
  UsageMap map = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
  RowSplitter splitter(t, l);
  ValueDecoder decoder(ps, f.header);
  std::vector<Cell> cells;
  for (std::uint32_t p : map.Pages()) {
    if (p >= ps.pageCount()) break;
    PagePtr page = ps.ReadPage(p);
    if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage) continue;
    DataPageReader reader(ps, l, p, *page);
    for (std::uint16_t i = 0; i < reader.rowCount(); ++i) {
      RowSlot s = reader.Slot(i);
      if (s.deleted) continue;
      RowPointer slot{p, static_cast<std::uint8_t>(i)}, stored = slot;
      RowRef ref{page, reader.Bytes(s), s};
      if (s.overflow) {
        if (ref.bytes.size() < 4) ThrowCorrupt("overflow row shorter than its pointer", ps.Where(p, s.start));
        stored = RowPointer::Decode(LoadU32(ref.bytes.data()));
        ref = ReadRowAt(ps, l, stored, true);  // the target of an overflow slot carries the deleted flag
      }
      const std::string where = ps.Where(stored.page, ref.slot.start);
      splitter.Split(ref.bytes, where, cells);
      SystemRow row{slot, stored, {}, {}};
      row.values.reserve(t.columns.size());
      for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (t.columns[c].longValue()) {
          row.values.emplace_back(std::monostate{});
          if (!cells[c].null) row.longFields.emplace(c, Bytes(cells[c].bytes.begin(), cells[c].bytes.end()));
        } else {
          row.values.push_back(decoder.Decode(t.columns[c], cells[c], where));
        }
      }
      out.push_back(std::move(row));
    }
  }
  return out;
}

std::uint32_t CurrentTablePage(SharedFile& f, const std::string& name) {
  TableDefinition objects =
      ReadTableDefinition(*f.pages, f.header, 2, "MSysObjects");  // the catalog's definition page
  const std::size_t cId = SystemColumn(objects, "Id"), cName = SystemColumn(objects, "Name"),
                    cType = SystemColumn(objects, "Type");
  std::uint32_t loose = 0;
  for (const auto& r : ReadSystemRows(f, objects)) {
    if (IntOf(r.values[cType]) != object_type::kTable) continue;
    const std::string n = TextOf(r.values[cName]);
    const auto page = static_cast<std::uint32_t>(IntOf(r.values[cId])) & 0x00ffffffu;
    if (n == name) return page;
    if (loose == 0 && EqualIgnoringLetterCase(n, name)) loose = page;
  }
  return loose;
}

std::size_t SystemColumn(const TableDefinition& t, const char* name) {
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].name == name) return i;
  ThrowCorrupt(std::string("system table ") + t.name + " lacks its column " + name, t.name);
}

std::int64_t IntOf(const qv::Value& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return *p;
  return 0;
}

std::string TextOf(const qv::Value& v) {
  if (auto p = std::get_if<std::string>(&v)) return *p;
  return {};
}

}  // namespace qv::jet
