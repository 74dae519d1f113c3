#include "engine/jet/usage_map.h"

#include "engine/core/error.h"

namespace qv::jet {

UsageMap UsageMap::Read(PageStore& store, const Layout& layout, RowPointer ptr) {
  UsageMap map(store);
  RowRef row = ReadRowAt(store, layout, ptr);
  ByteView v(row.bytes, store.Where(ptr.page, row.slot.start));
  map.kind_ = v.U8(0);
  if (map.kind_ == 0) {
    map.inlineStart_ = v.U32(1);
    auto bits = v.Span(5, v.size() - 5);
    map.inlineBits_.assign(bits.begin(), bits.end());
  } else if (map.kind_ == 1) {
    map.bitsPerMapPage_ = (layout.pageSize - 4) * 8;
    for (std::size_t off = 1; off + 4 <= v.size(); off += 4) map.mapPages_.push_back(v.U32(off));
  } else {
    ThrowCorrupt("unknown usage map kind " + std::to_string(map.kind_),
                 store.Where(ptr.page, row.slot.start));
  }
  return map;
}

bool UsageMap::NextFrom(std::uint32_t from, std::uint32_t& page) {
  if (kind_ == 0) {
    if (from < inlineStart_) from = inlineStart_;
    std::uint64_t total = static_cast<std::uint64_t>(inlineBits_.size()) * 8;
    for (std::uint64_t bit = from - inlineStart_; bit < total; ++bit) {
      if (inlineBits_[bit / 8] & (1u << (bit % 8))) {
        page = static_cast<std::uint32_t>(inlineStart_ + bit);
        return true;
      }
    }
    return false;
  }
  for (std::uint32_t i = from / bitsPerMapPage_; i < mapPages_.size(); ++i) {
    // 0 names no bitmap page; so does a value with the top bit set (Access leaves 0xffffff80 in
    // the last slot of a reference global map, testRefGlobalV2000.mdb).
    if (mapPages_[i] == 0 || (mapPages_[i] & 0x80000000u) != 0) continue;
    if (loadedIndex_ != i) {
      loaded_ = store_->ReadPage(mapPages_[i]);
      if ((*loaded_)[0] != page_type::kUsageMap)
        ThrowCorrupt("usage map page has type " + std::to_string((*loaded_)[0]) + ", expected 0x05",
                     store_->Where(mapPages_[i], 0));
      loadedIndex_ = i;
    }
    std::uint64_t base = static_cast<std::uint64_t>(i) * bitsPerMapPage_;
    std::uint32_t bit = from > base ? static_cast<std::uint32_t>(from - base) : 0;
    for (; bit < bitsPerMapPage_; ++bit) {
      if ((*loaded_)[4 + bit / 8] & (1u << (bit % 8))) {
        std::uint64_t p = base + bit;
        if (p > 0xffffffffu) return false;
        page = static_cast<std::uint32_t>(p);
        return true;
      }
    }
  }
  return false;
}

std::vector<std::uint32_t> UsageMap::Pages() {
  std::vector<std::uint32_t> out;
  std::uint32_t p = 0, from = 0;
  while (NextFrom(from, p)) {
    out.push_back(p);
    if (p == 0xffffffffu) break;
    from = p + 1;
  }
  return out;
}

}  // namespace qv::jet
