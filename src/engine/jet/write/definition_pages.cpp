#include "engine/jet/write/definition_pages.h"

#include <algorithm>
#include <set>
#include <string>

#include "engine/core/error.h"
#include "engine/jet/data_page.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/usage_map_writer.h"

namespace qv::jet {

namespace {

constexpr std::size_t kPageHeader = 8;  // type, 0x01, free bytes, next page
constexpr std::size_t kLengthField = 8;

// Block bytes page `index` of a chain holds: the first page whole, the others after their header.
std::size_t PageShare(std::size_t index, const Layout& l) {
  return index == 0 ? l.pageSize : l.pageSize - kPageHeader;
}

// One piece of a field: `count` bytes at `offset` of page `page`, from byte `from` of the field.
struct Piece {
  std::uint32_t page = 0;
  std::size_t offset = 0;
  std::size_t count = 0;
  std::size_t from = 0;
};

// Walks the chain from `firstPage` and cuts the range [offset, offset + size) of the logical
// block into the pieces the pages hold.
std::vector<Piece> Locate(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                          std::size_t size) {
  PagePtr first = ps.ReadPage(firstPage);
  if ((*first)[0] != page_type::kTableDef)
    ThrowCorrupt("expected a table definition page (type 0x02), found type " + std::to_string((*first)[0]),
                 ps.Where(firstPage, 0));
  const std::size_t length = LoadU32(first->data() + kLengthField);
  if (offset > length || size > length - offset)
    ThrowCorrupt("field at offset " + std::to_string(offset) + " lies outside the table definition (" +
                     std::to_string(length) + " bytes)",
                 ps.Where(firstPage, kLengthField));
  std::vector<Piece> out;
  std::set<std::uint32_t> seen;
  std::size_t start = 0;  // block offset of the page's first byte of definition
  std::uint32_t p = firstPage;
  for (std::size_t index = 0; start < offset + size; ++index) {
    if (p == 0 || p >= ps.pageCount())
      ThrowCorrupt("table definition chain ends before offset " + std::to_string(offset + size) + " of its " +
                       std::to_string(length) + " bytes",
                   ps.Where(firstPage, 4));
    // Most patches touch the first page only: the loop check keeps no set for it.
    if (index > 0 && (p == firstPage || !seen.insert(p).second))
      ThrowCorrupt("table definition page chain loops", ps.Where(p, 4));
    PagePtr page = index == 0 ? first : ps.ReadPage(p);
    if ((*page)[0] != page_type::kTableDef)
      ThrowCorrupt("expected a table definition page (type 0x02), found type " + std::to_string((*page)[0]),
                   ps.Where(p, 0));
    const std::size_t share = PageShare(index, l);
    const std::size_t head = index == 0 ? 0 : kPageHeader;
    const std::size_t lo = std::max(offset, start), hi = std::min(offset + size, start + share);
    if (lo < hi) out.push_back({p, head + (lo - start), hi - lo, lo - offset});
    start += share;
    p = LoadU32(page->data() + 4);
  }
  return out;
}

}  // namespace

std::size_t DefinitionCapacity(std::size_t pages, const Layout& l) {
  return pages == 0 ? 0 : l.pageSize + (pages - 1) * (l.pageSize - kPageHeader);
}

std::size_t DefinitionPageCount(std::size_t length, const Layout& l) {
  const std::size_t need = length + kDefinitionSpareBytes;
  if (need <= l.pageSize) return 1;
  const std::size_t rest = l.pageSize - kPageHeader;
  return 1 + (need - l.pageSize + rest - 1) / rest;
}

std::vector<Bytes> SplitDefinition(const Bytes& block, const std::vector<std::uint32_t>& pages,
                                   const Layout& l) {
  if (pages.empty() || block.size() < kLengthField + 4 || block.size() > DefinitionCapacity(pages.size(), l))
    throw Error(errc::kInvalidArgument, "A table definition of " + std::to_string(block.size()) +
                                            " bytes does not match a chain of " +
                                            std::to_string(pages.size()) + " pages.");
  const std::size_t length = LoadU32(block.data() + kLengthField);
  std::vector<Bytes> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::size_t share = PageShare(i, l);
    const std::size_t head = i == 0 ? 0 : kPageHeader;
    Bytes page(l.pageSize, 0);
    const std::size_t end = std::min(block.size(), start + share);
    if (start < end)
      std::copy(block.begin() + static_cast<std::ptrdiff_t>(start),
                block.begin() + static_cast<std::ptrdiff_t>(end),
                page.begin() + static_cast<std::ptrdiff_t>(head));
    page[0] = page_type::kTableDef;
    page[1] = 0x01;
    // Bytes in use on this page, its header included; a full page shows 0 free.
    const std::size_t used = head + (length > start ? std::min(length - start, share) : 0);
    StoreU16(page.data() + 2, static_cast<std::uint16_t>(used + 8 <= l.pageSize ? l.pageSize - 8 - used : 0));
    if (l.jet3) {
      // Access 97 keeps "VC" there on every page of the chain, no free count.
      page[2] = 'V';
      page[3] = 'C';
    }
    StoreU32(page.data() + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    out.push_back(std::move(page));
    start += share;
  }
  return out;
}

std::vector<std::uint32_t> WriteNewDefinition(FileWriter& w, std::uint32_t firstPage, const Bytes& block) {
  const Layout& l = w.layout();
  if (block.size() < kLengthField + 4)
    throw Error(errc::kInvalidArgument, "A table definition block is too short.");
  std::vector<std::uint32_t> pages{firstPage};
  while (pages.size() < DefinitionPageCount(LoadU32(block.data() + kLengthField), l))
    pages.push_back(w.AllocatePage());
  std::vector<Bytes> images = SplitDefinition(block, pages, l);
  for (std::size_t i = 0; i < pages.size(); ++i) PutPage(w.pages(), pages[i], std::move(images[i]));
  return pages;
}

Bytes ReadDefinitionField(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                          std::size_t size) {
  Bytes out(size, 0);
  for (const Piece& piece : Locate(ps, l, firstPage, offset, size)) {
    PagePtr page = ps.ReadPage(piece.page);
    std::copy_n(page->begin() + static_cast<std::ptrdiff_t>(piece.offset), piece.count,
                out.begin() + static_cast<std::ptrdiff_t>(piece.from));
  }
  return out;
}

void PatchDefinition(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                     std::span<const std::uint8_t> bytes) {
  for (const Piece& piece : Locate(ps, l, firstPage, offset, bytes.size())) {
    Bytes page = CopyPage(ps, piece.page);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(piece.from), piece.count,
                page.begin() + static_cast<std::ptrdiff_t>(piece.offset));
    PutPage(ps, piece.page, std::move(page));
  }
}

std::uint32_t ReadDefinitionU32(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset) {
  Bytes b = ReadDefinitionField(ps, l, firstPage, offset, 4);
  return LoadU32(b.data());
}

void PatchDefinitionU32(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                        std::uint32_t value) {
  std::uint8_t b[4];
  StoreU32(b, value);
  PatchDefinition(ps, l, firstPage, offset, b);
}

}  // namespace qv::jet
