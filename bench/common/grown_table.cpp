#include "grown_table.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/jet/data_page.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"

namespace qv::bench {

using namespace qv::jet;

qv::Bytes GrowTableFile(const std::string& source, const std::string& table, int copies,
                        std::uint64_t& rows) {
  std::ifstream in(source, std::ios::binary);
  qv::Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto db = Database::Open(source);
  const Layout& l = db->header().layout;
  const std::uint32_t ps = l.pageSize;
  TableDefinition def = db->ReadDefinition(table);
  RowPointer mapPtr = RowPointer::Decode(def.usedPagesPointer);
  UsageMap map = UsageMap::Read(db->pages(), l, mapPtr);
  std::vector<std::uint32_t> dataPages;
  std::uint64_t rowsPerCopy = 0;
  for (auto p : map.Pages()) {
    auto page = db->pages().ReadPage(p);
    if ((*page)[0] != page_type::kData || qv::LoadU32(page->data() + 4) != def.firstPage) continue;
    dataPages.push_back(p);
    rowsPerCopy += DataPageReader(db->pages(), l, p, *page).rowCount();
  }
  std::uint32_t next = static_cast<std::uint32_t>(file.size() / ps);
  file.resize(static_cast<std::size_t>(next) * ps);
  std::vector<std::uint32_t> all = dataPages;
  for (int c = 0; c < copies; ++c)
    for (auto p : dataPages) {
      file.insert(file.end(), file.begin() + static_cast<std::ptrdiff_t>(p) * ps,
                  file.begin() + static_cast<std::ptrdiff_t>(p + 1) * ps);
      all.push_back(next++);
    }
  std::uint32_t bitmapPage = next++;  // one bitmap page: the data stays under 32,736 pages
  std::size_t at = file.size();
  file.resize(at + ps, 0);
  file.at(at) = page_type::kUsageMap;
  file.at(at + 1) = 0x01;
  for (auto p : all) file.at(at + 4 + p / 8) |= static_cast<std::uint8_t>(1u << (p % 8));
  auto mapPage = db->pages().ReadPage(mapPtr.page);
  RowSlot slot = DataPageReader(db->pages(), l, mapPtr.page, *mapPage).Slot(mapPtr.row);
  std::uint8_t* row = file.data() + static_cast<std::size_t>(mapPtr.page) * ps + slot.start;
  std::fill(row, row + (slot.end - slot.start), 0);
  row[0] = 0x01;
  qv::StoreU32(row + 1, bitmapPage);
  rows = rowsPerCopy * static_cast<std::uint64_t>(copies + 1);
  qv::StoreU32(file.data() + static_cast<std::size_t>(def.firstPage) * ps + l.tdefRowCount,
               static_cast<std::uint32_t>(rows));
  return file;
}

}  // namespace qv::bench
