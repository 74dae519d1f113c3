#include "engine/jet/write/usage_map_writer.h"

#include <vector>

#include "engine/core/error.h"

namespace qv::jet {

Bytes CopyPage(PageStore& store, std::uint32_t n) {
  PagePtr p = store.ReadPage(n);
  return Bytes(p->begin(), p->end());
}

void PutPage(PageStore& store, std::uint32_t n, Bytes page) {
  store.PutPage(n, std::make_shared<const Bytes>(std::move(page)));
}

namespace {

// A reference map slot naming no bitmap page: 0, or a value with the top bit set (Access leaves
// 0xffffff80 in the last slot of the global map's row; other readers take it as "none" too).
bool NoBitmapPage(std::uint32_t slot) {
  return slot == 0 || (slot & 0x80000000u) != 0;
}

}  // namespace

bool UsageMapWriter::Test(RowPointer map, std::uint32_t page) {
  RowRef row = ReadRowAt(store_, layout_, map);
  ByteView v(row.bytes, store_.Where(map.page, row.slot.start));
  if (v.U8(0) == 0) {
    std::uint32_t start = v.U32(1);
    if (page < start) return false;
    std::uint64_t bit = page - start;
    if (bit >= (v.size() - 5) * 8) return false;
    return (v.U8(5 + bit / 8) >> (bit % 8)) & 1;
  }
  std::uint32_t perPage = (layout_.pageSize - 4) * 8;
  std::size_t slot = 1 + 4 * (page / perPage);
  if (slot + 4 > v.size()) return false;
  std::uint32_t mapPage = v.U32(slot);
  if (NoBitmapPage(mapPage)) return false;
  PagePtr mp = store_.ReadPage(mapPage);
  std::uint32_t bit = page % perPage;
  return ((*mp)[4 + bit / 8] >> (bit % 8)) & 1;
}

bool UsageMapWriter::Set(RowPointer map, std::uint32_t page, bool on) {
  RowRef row = ReadRowAt(store_, layout_, map);
  const std::string where = store_.Where(map.page, row.slot.start);
  ByteView v(row.bytes, where);
  const std::size_t rowAt = row.slot.start;
  const std::size_t rowLen = row.bytes.size();
  std::uint8_t kind = v.U8(0);
  if (kind == 0) {
    if (rowLen < 5) ThrowCorrupt("inline usage map row too short", where);
    std::uint32_t start = v.U32(1);
    std::uint64_t bits = (rowLen - 5) * 8;
    const bool outside = page < start || page - start >= bits;
    if (outside && !on) return true;  // not marked: nothing to change (no page copy either)
    if (!outside) {
      std::uint64_t bit = page - start;
      if ((((v.U8(5 + bit / 8) >> (bit % 8)) & 1) != 0) == on) return true;  // already so
    }
    Bytes p = CopyPage(store_, map.page);
    if (outside) {
      // Move the window so it starts at the lowest marked page (or at `page`) when that covers
      // both every marked page and `page`.
      std::uint32_t lowest = page, highest = page;
      for (std::uint64_t b = 0; b < bits; ++b) {
        if ((p[rowAt + 5 + b / 8] >> (b % 8)) & 1) {
          std::uint32_t q = static_cast<std::uint32_t>(start + b);
          lowest = std::min(lowest, q);
          highest = std::max(highest, q);
        }
      }
      std::uint32_t newStart = lowest - lowest % 8;
      if (highest - newStart >= bits) {
        if (!allocate_ || rowLen < 9) return false;
        // Promote in place to a reference map: the same row then holds (length - 1) / 4 bitmap
        // page numbers, each page covering (page size - 4) * 8 pages.
        std::vector<std::uint32_t> marked;
        for (std::uint64_t b = 0; b < bits; ++b)
          if ((p[rowAt + 5 + b / 8] >> (b % 8)) & 1) marked.push_back(static_cast<std::uint32_t>(start + b));
        std::uint32_t perPage = (layout_.pageSize - 4) * 8;
        std::size_t slots = (rowLen - 1) / 4;
        for (std::uint32_t q : marked)
          if (q / perPage >= slots) return false;
        if (page / perPage >= slots) return false;
        std::fill(p.begin() + static_cast<std::ptrdiff_t>(rowAt),
                  p.begin() + static_cast<std::ptrdiff_t>(rowAt + rowLen), 0);
        p[rowAt] = 1;
        PutPage(store_, map.page, std::move(p));
        for (std::uint32_t q : marked) Set(map, q, true);
        return Set(map, page, true);
      }
      Bytes fresh(rowLen - 5, 0);
      for (std::uint64_t b = 0; b < bits; ++b) {
        if ((p[rowAt + 5 + b / 8] >> (b % 8)) & 1) {
          std::uint64_t nb = start + b - newStart;
          fresh[nb / 8] = static_cast<std::uint8_t>(fresh[nb / 8] | (1u << (nb % 8)));
        }
      }
      std::copy(fresh.begin(), fresh.end(), p.begin() + static_cast<std::ptrdiff_t>(rowAt + 5));
      StoreU32(p.data() + rowAt + 1, newStart);
      start = newStart;
    }
    std::uint64_t bit = page - start;
    std::uint8_t& byte = p[rowAt + 5 + bit / 8];
    byte = static_cast<std::uint8_t>(on ? (byte | (1u << (bit % 8))) : (byte & ~(1u << (bit % 8))));
    PutPage(store_, map.page, std::move(p));
    return true;
  }
  if (kind != 1) ThrowCorrupt("unknown usage map kind " + std::to_string(kind), where);
  std::uint32_t perPage = (layout_.pageSize - 4) * 8;
  std::size_t slot = 1 + 4 * (page / perPage);
  if (slot + 4 > rowLen) {
    if (!on) return true;
    return false;
  }
  std::uint32_t mapPage = v.U32(slot);
  if (NoBitmapPage(mapPage)) {
    if (!on) return true;
    if (!allocate_) return false;
    mapPage = allocate_();
    Bytes fresh(layout_.pageSize, 0);
    fresh[0] = page_type::kUsageMap;
    fresh[1] = 0x01;
    PutPage(store_, mapPage, std::move(fresh));
    Bytes p = CopyPage(store_, map.page);
    StoreU32(p.data() + rowAt + slot, mapPage);
    PutPage(store_, map.page, std::move(p));
  }
  Bytes mp = CopyPage(store_, mapPage);
  if (mp[0] != page_type::kUsageMap)
    ThrowCorrupt("usage map page has type " + std::to_string(mp[0]) + ", expected 0x05",
                 store_.Where(mapPage, 0));
  std::uint32_t bit = page % perPage;
  std::uint8_t& byte = mp[4 + bit / 8];
  byte = static_cast<std::uint8_t>(on ? (byte | (1u << (bit % 8))) : (byte & ~(1u << (bit % 8))));
  PutPage(store_, mapPage, std::move(mp));
  return true;
}

}  // namespace qv::jet
