#include "engine/jet/write/index_writer.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/format.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/index_leaf.h"
#include "engine/jet/write/usage_map_writer.h"

namespace qv::jet {

namespace {

constexpr std::size_t kMaxDepth = 16;

// One index page of either kind, entries whole (prefix put back).
struct IndexPage {
  std::uint32_t number = 0;
  bool leaf = true;
  std::uint32_t previous = 0, next = 0, tail = 0;
  std::vector<Bytes> entries;  // leaf: key | row (4); node: key | row (4) | child (4)
};

// A child of a node: the greatest entry under it (key | row; empty for the tail child, whose
// greatest entry the node does not store) and its page.
struct Child {
  Bytes keyRow;
  std::uint32_t page = 0;
};

std::size_t TrailerOf(bool leaf) {
  return leaf ? 4 : 8;
}

// Key bytes first (a key that is the start of a longer one sorts first), then the row pointer.
int CompareKeyRow(const std::uint8_t* a, std::size_t aKey, const std::uint8_t* b, std::size_t bKey) {
  std::size_t n = std::min(aKey, bKey);
  if (int c = std::memcmp(a, b, n)) return c < 0 ? -1 : 1;
  if (aKey != bKey) return aKey < bKey ? -1 : 1;
  if (int c = std::memcmp(a + aKey, b + bKey, 4)) return c < 0 ? -1 : 1;
  return 0;
}

// `keyRow` is key | row (4 bytes).
int Compare(const Bytes& entry, bool leaf, const Bytes& keyRow) {
  return CompareKeyRow(entry.data(), entry.size() - TrailerOf(leaf), keyRow.data(), keyRow.size() - 4);
}

Bytes KeyRow(const Bytes& key, RowPointer row) {
  Bytes e = key;
  e.push_back(static_cast<std::uint8_t>(row.page >> 16));
  e.push_back(static_cast<std::uint8_t>(row.page >> 8));
  e.push_back(static_cast<std::uint8_t>(row.page));
  e.push_back(row.row);
  return e;
}

RowPointer RowOf(const Bytes& e, bool leaf) {
  std::size_t at = e.size() - TrailerOf(leaf);
  return {static_cast<std::uint32_t>((e[at] << 16) | (e[at + 1] << 8) | e[at + 2]), e[at + 3]};
}

class IndexTree {
 public:
  IndexTree(FileWriter* writer, PageStore& pages, const TableDefinition& table, std::size_t realIndex)
      : writer_(writer),
        ps_(pages),
        l_(Layout::ForPageSize(pages.pageSize())),
        table_(table),
        ri_(realIndex) {
    if (realIndex >= table.realIndexes.size())
      throw Error(errc::kInvalidArgument,
                  "Table '" + table.name + "' has no index number " + std::to_string(realIndex) + ".",
                  table.name);
    root_ = table.realIndexes[realIndex].firstPage;
  }

  IndexPage Load(std::uint32_t n) const {
    if (n == 0 || n >= ps_.pageCount()) ThrowCorrupt("index page number out of range", ps_.Where(n, 0));
    PagePtr page = ps_.ReadPage(n);
    const Bytes& p = *page;
    const std::string where = ps_.Where(n, 0);
    if (p.size() < l_.indexEntriesStart + 4 ||
        (p[0] != page_type::kIndexLeaf && p[0] != page_type::kIndexNode))
      ThrowCorrupt("not an index page", where);
    if (LoadU32(p.data() + 4) != table_.firstPage)
      ThrowCorrupt("index page belongs to another table", ps_.Where(n, 4));
    IndexPage out;
    out.number = n;
    out.leaf = p[0] == page_type::kIndexLeaf;
    out.previous = LoadU32(p.data() + l_.indexPreviousAt);
    out.next = LoadU32(p.data() + l_.indexNextAt);
    out.tail = LoadU32(p.data() + l_.indexTailAt);
    const std::size_t prefixLength = IndexPrefixLength(l_, p);
    const std::size_t free = LoadU16(p.data() + 2);
    if (free > p.size() - l_.indexEntriesStart)
      ThrowCorrupt("index page free count too large", ps_.Where(n, 2));
    const std::size_t used = p.size() - l_.indexEntriesStart - free;
    const std::size_t trailer = TrailerOf(out.leaf);
    out.entries.reserve(used / (trailer + 1) + 1);
    std::size_t start = 0;
    Bytes prefix;
    for (std::size_t bit = 1; bit <= used; ++bit) {
      const std::size_t byte = l_.indexBitmapStart + bit / 8;
      if (byte >= l_.indexEntriesStart) ThrowCorrupt("index page bitmap overruns the entries", where);
      if (!((p[byte] >> (bit % 8)) & 1)) continue;
      const bool first = out.entries.empty();
      Bytes e;
      e.reserve((first ? 0 : prefix.size()) + bit - start);
      if (!first) e.assign(prefix.begin(), prefix.end());
      e.insert(e.end(), p.begin() + static_cast<std::ptrdiff_t>(l_.indexEntriesStart + start),
               p.begin() + static_cast<std::ptrdiff_t>(l_.indexEntriesStart + bit));
      if (e.size() < trailer)
        ThrowCorrupt("index entry shorter than its pointers", ps_.Where(n, l_.indexEntriesStart + start));
      if (out.entries.empty()) {
        if (prefixLength > e.size())
          ThrowCorrupt("index prefix longer than the first entry", ps_.Where(n, l_.indexPrefixAt));
        prefix.assign(e.begin(), e.begin() + static_cast<std::ptrdiff_t>(prefixLength));
      }
      out.entries.push_back(std::move(e));
      start = bit;
    }
    if (start != used) ThrowCorrupt("index entries do not end where the free count says", where);
    return out;
  }

  // The page's bytes, or false when its entries do not fit even with a shared prefix.
  bool Encode(const IndexPage& page, Bytes& out) const {
    const std::size_t size = ps_.pageSize();
    const std::size_t room = size - l_.indexEntriesStart;
    const std::size_t trailer = TrailerOf(page.leaf);
    std::size_t whole = 0;
    for (const Bytes& e : page.entries) whole += e.size();
    std::size_t prefix = 0;
    if (whole > room && page.entries.size() > 1) {
      // the prefix the first and last keys share, which every key between them shares too
      const Bytes& a = page.entries.front();
      const Bytes& b = page.entries.back();
      const std::size_t limit = std::min(a.size(), b.size()) - trailer;
      while (prefix < limit && a[prefix] == b[prefix]) ++prefix;
      if (l_.indexPrefixSize == 1) prefix = std::min<std::size_t>(prefix, 0xff);  // a one-byte field
      for (const Bytes& e : page.entries) prefix = std::min(prefix, e.size() - trailer);
    }
    const std::size_t used = whole - prefix * (page.entries.empty() ? 0 : page.entries.size() - 1);
    if (used > room) return false;
    out.assign(size, 0);
    out[0] = page.leaf ? page_type::kIndexLeaf : page_type::kIndexNode;
    out[1] = 0x01;
    StoreU16(out.data() + 2, static_cast<std::uint16_t>(room - used));
    StoreU32(out.data() + 4, table_.firstPage);
    StoreU32(out.data() + l_.indexPreviousAt, page.previous);
    StoreU32(out.data() + l_.indexNextAt, page.next);
    StoreU32(out.data() + l_.indexTailAt, page.leaf ? 0 : page.tail);
    StoreIndexPrefixLength(l_, out, prefix);
    out[l_.indexNodeFlagAt] = page.leaf ? 0 : 1;
    std::size_t at = 0;
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
      const Bytes& e = page.entries[i];
      const std::size_t skip = i == 0 ? 0 : prefix;
      std::copy(e.begin() + static_cast<std::ptrdiff_t>(skip), e.end(),
                out.begin() + static_cast<std::ptrdiff_t>(l_.indexEntriesStart + at));
      at += e.size() - skip;
      out[l_.indexBitmapStart + at / 8] =
          static_cast<std::uint8_t>(out[l_.indexBitmapStart + at / 8] | (1u << (at % 8)));
    }
    return true;
  }

  void Store(const IndexPage& page) {
    Bytes out;
    if (!Encode(page, out))
      throw Error(errc::kNotSupported,
                  "An index page of table '" + table_.name + "' cannot hold its entries.",
                  ps_.Where(page.number, 0));
    PutPage(ps_, page.number, std::move(out));
  }

  std::uint32_t NewPage() {
    std::uint32_t n = writer_->AllocatePage();
    UsageMapWriter maps(ps_, writer_->layout(), [this] { return writer_->AllocatePage(); });
    if (!maps.Set(RowPointer::Decode(table_.realIndexes[ri_].usedPagesPointer), n, true))
      throw Error(errc::kNotSupported,
                  "The page map of an index of table '" + table_.name + "' cannot list page " +
                      std::to_string(n) + ".",
                  ps_.Where(n, 0));
    return n;
  }

  void DropPage(std::uint32_t n) {
    UsageMapWriter maps(ps_, writer_->layout(), [this] { return writer_->AllocatePage(); });
    maps.Set(RowPointer::Decode(table_.realIndexes[ri_].usedPagesPointer), n, false);
    writer_->FreePage(n);
  }

  static std::vector<Child> ChildrenOf(const IndexPage& node) {
    std::vector<Child> out;
    for (const Bytes& e : node.entries)
      out.push_back({Bytes(e.begin(), e.end() - 4), LoadU32BE(e.data() + e.size() - 4)});
    if (node.tail != 0) out.push_back({Bytes{}, node.tail});
    return out;
  }

  // The greatest entry (key | row) under page `n`.
  Bytes SubtreeMax(std::uint32_t n) const {
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
      IndexPage p = Load(n);
      if (p.entries.empty() && p.tail == 0) ThrowCorrupt("empty index page inside the tree", ps_.Where(n, 0));
      if (p.leaf) return p.entries.back();
      if (p.tail != 0) {
        n = p.tail;
        continue;
      }
      const Bytes& e = p.entries.back();
      return Bytes(e.begin(), e.end() - 4);
    }
    ThrowCorrupt("index tree too deep", ps_.Where(root_, 0));
  }

  // Node entries and tail from children: every child but the last as an entry, the last in the
  // tail field; a single child is an entry of its own.
  void SetChildren(IndexPage& node, std::vector<Child> children) const {
    node.entries.clear();
    node.tail = 0;
    if (children.size() == 1 && children[0].keyRow.empty()) children[0].keyRow = SubtreeMax(children[0].page);
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (children.size() > 1 && i + 1 == children.size()) {
        node.tail = children[i].page;
        break;
      }
      Bytes e = children[i].keyRow;
      if (e.empty()) e = SubtreeMax(children[i].page);
      e.resize(e.size() + 4);
      StoreU32BE(e.data() + e.size() - 4, children[i].page);
      node.entries.push_back(std::move(e));
    }
  }

  struct Step {
    IndexPage page;
    std::vector<Child> children;  // made from the page when first needed (Kids)
    std::size_t slot = 0;         // which child the path goes on to
    bool changed = false;         // a child's greatest entry was raised
  };

  static std::vector<Child>& Kids(Step& s) {
    if (s.children.empty()) s.children = ChildrenOf(s.page);
    return s.children;
  }

  // From the root to the leaf where `keyRow` belongs. When `keyRow` is greater than the greatest
  // entry a node stores and the node has no tail, the last child's entry is raised to it.
  IndexPage Descend(const Bytes& keyRow, std::vector<Step>& path, bool raise) const {
    IndexPage p = Load(root_);
    std::set<std::uint32_t> seen{root_};
    while (!p.leaf) {
      if (path.size() >= kMaxDepth) ThrowCorrupt("index tree too deep", ps_.Where(root_, 0));
      if (p.entries.empty()) ThrowCorrupt("index node without entries", ps_.Where(p.number, 0));
      Step step;
      // the first child whose greatest entry is not below `keyRow`, else the tail, else the last
      std::size_t i = 0;
      while (i < p.entries.size() && CompareKeyRow(p.entries[i].data(), p.entries[i].size() - 8,
                                                   keyRow.data(), keyRow.size() - 4) < 0)
        ++i;
      std::uint32_t next = 0;
      if (i < p.entries.size()) {
        next = LoadU32BE(p.entries[i].data() + p.entries[i].size() - 4);
      } else if (p.tail != 0) {
        next = p.tail;
      } else {
        i = p.entries.size() - 1;
        next = LoadU32BE(p.entries[i].data() + p.entries[i].size() - 4);
        if (raise) {
          step.children = ChildrenOf(p);
          step.children[i].keyRow = keyRow;
          step.changed = true;
        }
      }
      step.slot = i;
      step.page = std::move(p);
      path.push_back(std::move(step));
      if (!seen.insert(next).second) ThrowCorrupt("index tree loops", ps_.Where(next, 0));
      p = Load(next);
    }
    return p;
  }

  // Splits `entries` where the bytes are about half, keeping both halves non-empty.
  static std::size_t SplitPoint(const std::vector<Bytes>& entries) {
    std::size_t total = 0;
    for (const Bytes& e : entries) total += e.size();
    std::size_t acc = 0, k = 0;
    while (k + 1 < entries.size() && acc + entries[k].size() <= total / 2) acc += entries[k++].size();
    return std::max<std::size_t>(k, 1);
  }

  // Stores `page` (at depth `level` of `path`), splitting it and going up while pages overflow.
  void StoreUpwards(IndexPage page, std::vector<Step>& path) {
    std::size_t level = path.size();
    for (;;) {
      Bytes encoded;
      if (Encode(page, encoded)) {
        PutPage(ps_, page.number, std::move(encoded));
        // the nodes above may have had a child's greatest entry raised
        for (std::size_t i = level; i-- > 0;) {
          if (!path[i].changed) continue;
          SetChildren(path[i].page, path[i].children);
          Store(path[i].page);
        }
        return;
      }
      if (page.entries.size() < 2 && page.leaf)
        throw Error(errc::kNotSupported,
                    "An index key of table '" + table_.name + "' is too long for an index page.",
                    ps_.Where(page.number, 0));
      // the two halves, as children lists for nodes
      IndexPage left, right;
      left.leaf = right.leaf = page.leaf;
      Bytes leftMax;
      if (page.leaf) {
        std::size_t k = SplitPoint(page.entries);
        left.entries.assign(page.entries.begin(), page.entries.begin() + static_cast<std::ptrdiff_t>(k));
        right.entries.assign(page.entries.begin() + static_cast<std::ptrdiff_t>(k), page.entries.end());
        leftMax = left.entries.back();
      } else {
        std::vector<Child> children = ChildrenOf(page);
        std::vector<Bytes> sizes;
        for (const Child& c : children) sizes.push_back(Bytes(c.keyRow.size() + 8));
        std::size_t k = SplitPoint(sizes);
        std::vector<Child> a(children.begin(), children.begin() + static_cast<std::ptrdiff_t>(k));
        std::vector<Child> b(children.begin() + static_cast<std::ptrdiff_t>(k), children.end());
        leftMax = a.back().keyRow;
        if (leftMax.empty()) leftMax = SubtreeMax(a.back().page);
        SetChildren(left, a);
        SetChildren(right, b);
      }
      if (level == 0) {
        // the root keeps its page: its entries move to two new pages below it
        left.number = NewPage();
        right.number = NewPage();
        left.previous = 0;
        left.next = right.number;
        right.previous = left.number;
        right.next = 0;
        Store(left);
        Store(right);
        IndexPage root;
        root.number = page.number;
        root.leaf = false;
        SetChildren(root, {{leftMax, left.number}, {Bytes{}, right.number}});
        page = std::move(root);
        continue;  // stores the root
      }
      left.number = page.number;
      right.number = NewPage();
      left.previous = page.previous;
      right.previous = left.number;
      right.next = page.next;
      left.next = right.number;
      if (right.next != 0) {
        IndexPage after = Load(right.next);
        after.previous = right.number;
        Store(after);
      }
      Store(left);
      Store(right);
      Step& up = path[level - 1];
      std::vector<Child>& kids = Kids(up);
      const Bytes oldMax = kids[up.slot].keyRow;
      kids[up.slot] = {leftMax, left.number};
      kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(up.slot + 1), Child{oldMax, right.number});
      SetChildren(up.page, kids);
      page = up.page;
      path.pop_back();
      --level;
    }
  }

  // Whether some entry has exactly `key` (ignoring the row).
  bool HasKey(const Bytes& key) const {
    std::vector<Step> path;
    const Bytes probe = KeyRow(key, RowPointer{0, 0});
    IndexPage leaf = Descend(probe, path, false);
    for (std::size_t hops = 0; hops < 2; ++hops) {
      for (const Bytes& e : leaf.entries) {
        int c = CompareKeyRow(e.data(), e.size() - 4, probe.data(), probe.size() - 4);
        if (c < 0) continue;
        return e.size() - 4 == key.size() && std::equal(key.begin(), key.end(), e.begin());
      }
      if (leaf.next == 0) return false;
      leaf = Load(leaf.next);
    }
    return false;
  }

  void Insert(const Bytes& key, RowPointer row) {
    const Bytes entry = KeyRow(key, row);
    std::vector<Step> path;
    IndexPage leaf = Descend(entry, path, true);
    auto at = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry,
                               [](const Bytes& e, const Bytes& k) { return Compare(e, true, k) < 0; });
    if (at != leaf.entries.end() && Compare(*at, true, entry) == 0) return;  // already there
    // a key already present sits next to the new entry; at the ends of the leaf the neighbour
    // may be on the next or previous leaf
    auto sameKey = [&](const Bytes& e) {
      return e.size() - 4 == key.size() && std::equal(key.begin(), key.end(), e.begin());
    };
    bool newKey;
    if (at != leaf.entries.begin() && at != leaf.entries.end())
      newKey = !sameKey(*(at - 1)) && !sameKey(*at);
    else
      newKey = !HasKey(key);
    leaf.entries.insert(at, entry);
    StoreUpwards(std::move(leaf), path);
    if (newKey) {
      const Layout& l = writer_->layout();
      // The count of distinct keys in the physical index's entry (on whichever definition page
      // holds it).
      const std::size_t off = l.tdefRealIndexStart + ri_ * l.realIndexEntrySize + 4;
      PatchDefinitionU32(ps_, l, table_.firstPage, off, ReadDefinitionU32(ps_, l, table_.firstPage, off) + 1);
    }
  }

  // Every leaf entry in order, walking the whole tree (so a damaged child or tail pointer is
  // found even where the leaf chain is intact).
  std::vector<IndexEntryView> All() const {
    std::vector<IndexEntryView> out;
    std::set<std::uint32_t> seen;
    Walk(root_, 0, seen, out);
    return out;
  }

  void Walk(std::uint32_t n, std::size_t depth, std::set<std::uint32_t>& seen,
            std::vector<IndexEntryView>& out) const {
    if (depth >= kMaxDepth) ThrowCorrupt("index tree too deep", ps_.Where(n, 0));
    if (!seen.insert(n).second) ThrowCorrupt("index tree loops", ps_.Where(n, 0));
    IndexPage p = Load(n);
    if (p.leaf) {
      for (const Bytes& e : p.entries) out.push_back({Bytes(e.begin(), e.end() - 4), RowOf(e, true)});
      return;
    }
    std::vector<Child> children = ChildrenOf(p);
    if (children.empty()) ThrowCorrupt("index node without children", ps_.Where(n, 0));
    for (const Child& c : children) Walk(c.page, depth + 1, seen, out);
  }

  void Remove(RowPointer row) {
    // find the entry by the row it names, then the path to it by its key
    Bytes entry;
    for (const IndexEntryView& v : All())
      if (v.row == row) {
        entry = KeyRow(v.key, v.row);
        break;
      }
    if (entry.empty()) return;
    std::vector<Step> path;
    IndexPage leaf = Descend(entry, path, false);
    auto at = std::find_if(leaf.entries.begin(), leaf.entries.end(),
                           [&](const Bytes& e) { return Compare(e, true, entry) == 0; });
    if (at == leaf.entries.end())
      ThrowCorrupt("index entry not where its key leads", ps_.Where(leaf.number, 0));
    leaf.entries.erase(at);
    IndexPage page = std::move(leaf);
    std::size_t level = path.size();
    // pages left empty leave the tree (the root stays, as an empty leaf)
    while (page.entries.empty() && page.tail == 0 && level > 0) {
      if (page.previous != 0) {
        IndexPage before = Load(page.previous);
        before.next = page.next;
        Store(before);
      }
      if (page.next != 0) {
        IndexPage after = Load(page.next);
        after.previous = page.previous;
        Store(after);
      }
      DropPage(page.number);
      Step& up = path[level - 1];
      std::vector<Child>& kids = Kids(up);
      kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(up.slot));
      if (up.children.empty()) {
        up.page.entries.clear();
        up.page.tail = 0;
      } else {
        SetChildren(up.page, up.children);
      }
      page = up.page;
      path.pop_back();
      --level;
    }
    if (level == 0 && page.entries.empty() && page.tail == 0) {
      page.leaf = true;
      page.previous = page.next = 0;
    }
    Store(page);
    // a page whose greatest entry went: the entry above it follows (not needed for the search
    // order, but Access keeps them exact)
    for (std::size_t i = level; i-- > 0;) {
      Step& up = path[i];
      Child& c = Kids(up)[up.slot];
      if (!c.keyRow.empty()) c.keyRow = SubtreeMax(c.page);
      SetChildren(up.page, up.children);
      Store(up.page);
    }
  }

 private:
  FileWriter* writer_;
  PageStore& ps_;
  const Layout& l_;  // the index page offsets
  const TableDefinition& table_;
  std::size_t ri_;
  std::uint32_t root_ = 0;
};

// The sort order a text column's descriptor carries (bytes 11..12, version in byte 14; Jet3
// descriptors have no version: their order is the Jet3 one, over the database's code page).
SortOrder SortOrderOf(FileWriter& writer, const Layout& l, const TableDefinition& t, const ColumnDef& c) {
  PageStore& ps = writer.pages();
  SortOrder s;
  s.id = c.sortOrder;
  if (l.jet3) {
    s.version = kSortVersionJet3;
    s.codePage = writer.file().header.codePage;
    return s;
  }
  const Bytes joined = ReadDefinitionChain(ps, t.firstPage).bytes;
  std::size_t at = l.tdefRealIndexStart + l.realIndexEntrySize * t.realIndexes.size();
  for (std::size_t i = 0; i < t.columns.size(); ++i, at += l.columnEntrySize) {
    if (at + l.columnEntrySize > joined.size()) break;
    if (LoadU16(joined.data() + at + l.colNumber) == c.number) {
      s.version = joined[at + 14];
      break;
    }
  }
  return s;
}

}  // namespace

void InsertIndexEntry(FileWriter& writer, const TableDefinition& table, std::size_t realIndex,
                      const Bytes& key, RowPointer row) {
  IndexTree(&writer, writer.pages(), table, realIndex).Insert(key, row);
}

void RemoveIndexEntry(FileWriter& writer, const TableDefinition& table, std::size_t realIndex,
                      RowPointer row) {
  IndexTree(&writer, writer.pages(), table, realIndex).Remove(row);
}

Bytes NewIndexRootPage(std::uint32_t tdefPage, std::size_t pageSize) {
  if (pageSize < 2048 || pageSize > 65536)
    throw Error(errc::kInvalidArgument, "bad page size for an index page");
  Bytes out(pageSize, 0);
  std::uint8_t header[8] = {page_type::kIndexLeaf, 0x01, 0, 0, 0, 0, 0, 0};
  StoreU16(header + 2,
           static_cast<std::uint16_t>(pageSize - Layout::ForPageSize(pageSize).indexEntriesStart));
  StoreU32(header + 4, tdefPage);
  std::copy(header, header + 8, out.begin());
  return out;
}

std::vector<IndexEntryView> ReadIndexEntries(PageStore& pages, const TableDefinition& table,
                                             std::size_t realIndex) {
  return IndexTree(nullptr, pages, table, realIndex).All();
}

std::vector<PendingIndexEntry> PrepareIndexEntries(FileWriter& writer, const TableDefinition& table,
                                                   const qv::Row& row) {
  std::vector<PendingIndexEntry> out;
  const Layout& l = writer.layout();
  for (std::size_t ri = 0; ri < table.realIndexes.size(); ++ri) {
    const RealIndexDef& index = table.realIndexes[ri];
    bool primary = false;
    std::string name;
    for (const IndexDef& d : table.indexes)
      if (d.realIndex == static_cast<std::int32_t>(ri)) {
        primary = primary || d.primaryKey();
        if (name.empty() || d.primaryKey()) name = d.name;
      }
    const bool unique = primary || (index.flags & 0x01) != 0;
    const bool ignoreNulls = (index.flags & 0x02) != 0;
    const bool required = primary || (index.flags & 0x08) != 0;
    SortOrder sort;
    std::size_t nulls = 0;
    for (const auto& part : index.columns) {
      for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        if (c.number != part.columnNumber) continue;
        if (IsNull(row.at(i)) && c.type != col_type::kBoolean) {
          ++nulls;
          if (required)
            throw Error(errc::kNullInIndex,
                        "Index or primary key cannot contain a Null value: column '" + c.name +
                            "' of table '" + table.name + "' is part of index '" + name + "'.",
                        table.name + "." + c.name);
        }
        if (c.type == col_type::kText || c.type == col_type::kMemo) sort = SortOrderOf(writer, l, table, c);
      }
    }
    if (ignoreNulls && nulls == index.columns.size()) continue;
    Bytes key = IndexKey(table, ri, row, sort);
    if (unique && nulls != index.columns.size() && IndexTree(&writer, writer.pages(), table, ri).HasKey(key))
      throw Error(errc::kDuplicateKey,
                  "The row would create duplicate values in index '" + name + "' of table '" + table.name +
                      "', which allows each value only once.",
                  table.name);
    for (const PendingIndexEntry& p : out)
      if (p.realIndex == ri) throw Error(errc::kGeneric, "index listed twice", table.name);
    out.push_back({ri, std::move(key)});
  }
  return out;
}

void WriteIndexEntries(FileWriter& writer, const TableDefinition& table,
                       const std::vector<PendingIndexEntry>& entries, RowPointer where) {
  for (const PendingIndexEntry& p : entries) InsertIndexEntry(writer, table, p.realIndex, p.key, where);
}

void AddRowToIndexes(FileWriter& writer, const TableDefinition& table, const qv::Row& row, RowPointer where) {
  WriteIndexEntries(writer, table, PrepareIndexEntries(writer, table, row), where);
}

}  // namespace qv::jet
