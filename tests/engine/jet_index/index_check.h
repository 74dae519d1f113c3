// The structural checker of index trees: walks a tree from its root with its own page decoding
// (index_tree.h) and reports every rule the format asks for. Used on the corpus (Access-made
// trees) and after our inserts and removals.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "engine/jet/page_store.h"
#include "engine/jet/table_definition.h"
#include "index_tree.h"

namespace qv::jet::testing {

inline int CompareEntries(const Bytes& a, std::size_t aKey, const Bytes& b, std::size_t bKey) {
  std::size_t n = std::min(aKey, bKey);
  if (int c = std::memcmp(a.data(), b.data(), n)) return c < 0 ? -1 : 1;
  if (aKey != bKey) return aKey < bKey ? -1 : 1;
  if (int c = std::memcmp(a.data() + aKey, b.data() + bKey, 4)) return c < 0 ? -1 : 1;
  return 0;
}

struct TreeReport {
  std::vector<std::string> problems;
  std::vector<LeafEntry> entries;  // in tree order
  std::size_t pages = 0, depth = 0;
  std::vector<std::uint32_t> pageNumbers;
};

class TreeChecker {
 public:
  TreeChecker(PageStore& ps, std::uint32_t owner) : ps_(ps), owner_(owner) {}

  TreeReport Check(std::uint32_t root) {
    report_ = {};
    levels_.clear();
    Bytes max;
    Walk(root, 0, max);
    // each level, left to right, is one chain of previous/next links
    for (std::size_t l = 0; l < levels_.size(); ++l) {
      const auto& pages = levels_[l];
      for (std::size_t i = 0; i < pages.size(); ++i) {
        std::uint32_t wantPrev = i == 0 ? 0 : pages[i - 1].number;
        std::uint32_t wantNext = i + 1 == pages.size() ? 0 : pages[i + 1].number;
        if (pages[i].previous != wantPrev || pages[i].next != wantNext)
          Problem("page " + std::to_string(pages[i].number) + " links " + std::to_string(pages[i].previous) +
                  "/" + std::to_string(pages[i].next) + ", expected " + std::to_string(wantPrev) + "/" +
                  std::to_string(wantNext));
      }
    }
    report_.depth = levels_.size();
    for (std::size_t i = 1; i < report_.entries.size(); ++i) {
      const auto& a = report_.entries[i - 1];
      const auto& b = report_.entries[i];
      Bytes ea = a.key, eb = b.key;
      Append(ea, a.row);
      Append(eb, b.row);
      if (CompareEntries(ea, a.key.size(), eb, b.key.size()) >= 0)
        Problem("entries out of order at " + std::to_string(i) + " (leaf " + std::to_string(b.leaf) + ")");
    }
    return report_;
  }

 private:
  static void Append(Bytes& e, RowPointer r) {
    e.push_back(static_cast<std::uint8_t>(r.page >> 16));
    e.push_back(static_cast<std::uint8_t>(r.page >> 8));
    e.push_back(static_cast<std::uint8_t>(r.page));
    e.push_back(r.row);
  }
  void Problem(std::string s) {
    if (report_.problems.size() < 20) report_.problems.push_back(std::move(s));
  }

  // Walks page `n` at depth `level`; `max` gets the greatest entry (key | row) under it.
  void Walk(std::uint32_t n, std::size_t level, Bytes& max) {
    if (level > 12 || n == 0 || n >= ps_.pageCount()) {
      Problem("bad page number " + std::to_string(n));
      return;
    }
    ++report_.pages;
    report_.pageNumbers.push_back(n);
    TreePage t = DecodeTreePage(*ps_.ReadPage(n), n);
    if (t.owner != owner_) Problem("page " + std::to_string(n) + " names table " + std::to_string(t.owner));
    if (levels_.size() <= level) levels_.resize(level + 1);
    levels_[level].push_back(t);
    if (t.type == 0x04) {
      if (t.tail != 0) Problem("leaf " + std::to_string(n) + " has a tail");
      for (const Bytes& e : t.entries) {
        if (e.size() < 4) {
          Problem("short leaf entry");
          continue;
        }
        report_.entries.push_back({Bytes(e.begin(), e.end() - 4), PointerAt(e, e.size() - 4), n});
      }
      if (!t.entries.empty()) max = t.entries.back();
      if (t.entries.empty() && level > 0) Problem("empty leaf " + std::to_string(n) + " below the root");
      return;
    }
    if (t.type != 0x03) {
      Problem("page " + std::to_string(n) + " is not an index page");
      return;
    }
    if (t.entries.empty()) Problem("node " + std::to_string(n) + " without entries");
    if (t.entries.size() >= 2 && t.tail == 0)
      Problem("node " + std::to_string(n) + " has children but no tail");
    for (const Bytes& e : t.entries) {
      Bytes childMax;
      Walk(LoadU32BE(e.data() + e.size() - 4), level + 1, childMax);
      Bytes keyRow(e.begin(), e.end() - 4);
      if (keyRow != childMax)
        Problem("node " + std::to_string(n) + " entry does not repeat the greatest entry of child " +
                std::to_string(LoadU32BE(e.data() + e.size() - 4)));
      max = keyRow;
    }
    if (t.tail != 0) Walk(t.tail, level + 1, max);
  }

  PageStore& ps_;
  std::uint32_t owner_;
  TreeReport report_;
  std::vector<std::vector<TreePage>> levels_;
};

}  // namespace qv::jet::testing
