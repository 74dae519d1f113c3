#include "engine/jet/write/database_creator.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "engine/core/error.h"
#include "engine/core/file_system.h"
#include "engine/core/local_time.h"
#include "engine/core/text_codec.h"
#include "engine/jet/crypto/encryption_header.h"
#include "engine/jet/crypto/primitives.h"
#include "engine/jet/format.h"
#include "engine/jet/table_definition.h"
#include "engine/jet/write/data_page_writer.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/index_leaf.h"
#include "engine/jet/write/property_blob.h"
#include "engine/jet/write/row_builder.h"
#include "engine/jet/write/system_rows.h"
#include "engine/jet/write/table_definition_writer.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace {

// An inline usage-map row: u8 kind 0 | u32 first page 0 | the bits (64 bytes; 128 in Jet3).
std::size_t UsageMapRowSize(const Layout& l) {
  return 5 + (l.jet3 ? 128 : 64);
}
constexpr std::size_t kInlineLongValue = 256;  // long values up to this size stay in the row
constexpr std::uint32_t kMapPageOwner = 0;     // usage-map rows live on data pages owned by 0
constexpr std::uint16_t kJet3CodePage = 1252;  // the code page of a new Access 97 file's text

// The bytes a column or index name takes in a definition: u16 length and UTF-16 (Jet4 on), u8
// length and one byte per character of the code page (Jet3; the names of a new database are ASCII).
std::size_t NameBytes(const std::string& text, const Layout& l) {
  if (l.jet3) return 1 + text.size();
  std::size_t units = 0;
  bool valid = true;
  EncodeJet4Text(text, false, units, valid);
  return 2 + 2 * units;
}

struct MapRow {
  RowPointer at;
  std::vector<std::uint32_t> pages;  // pages the map marks
};

struct TablePlan {
  const TableDescription* described = nullptr;
  std::string name;  // the described name with its placeholders filled in
  std::uint32_t tdefPage = 0;
  TableDefinition def;
  std::vector<ColumnDef> byNumber;             // the columns by column number (row order of the description)
  std::vector<std::vector<qv::Value>> values;  // resolved values per row, by column number
  std::vector<RowPointer> rowAt;
  std::vector<std::uint32_t> dataPages;
  MapRow used, freeSpace;
  std::vector<MapRow> indexMaps;
  std::vector<std::uint32_t> leafPages;
  struct LongValueColumn {
    std::uint16_t column = 0;
    MapRow owned, withRoom;
    std::uint32_t page = 0;  // the LVAL page being filled
  };
  std::vector<LongValueColumn> longValueColumns;  // in descriptor order
};

class Builder {
 public:
  Builder(const DatabaseDescription& d, const CreateOptions& options)
      : d_(d), layout_(Layout::For(static_cast<JetVersion>(d.versionByte))), options_(options) {
    sort_.id = d.sortOrder;
    sort_.version = d.sortVersion;
    if (layout_.jet3) {
      sort_.version = kSortVersionJet3;
      sort_.codePage = kJet3CodePage;
      codec_ = std::make_unique<TextCodec>(TextCodec::CharsetForCodePage(kJet3CodePage));
    }
    now_ = options.now ? *options.now : LocalNow();
    nowDays_ = DateToDouble(now_);
  }

  Bytes Build() {
    pages_.assign(2, Bytes(layout_.pageSize, 0));
    for (const auto& t : d_.tables) {
      TablePlan p;
      p.described = &t;
      p.tdefPage = NewPage(Bytes(layout_.pageSize, 0));
      p.name = Resolve(t.name);
      tableIds_[p.name] = p.tdefPage;
      plans_.push_back(std::move(p));
    }
    if (plans_.empty() || plans_[0].described->name != "MSysObjects" || plans_[0].tdefPage != 2)
      throw Error(errc::kGeneric, "The description of a new database must start with MSysObjects.");
    for (auto& p : plans_) PrepareTable(p);
    for (auto& p : plans_) PlaceRows(p);
    for (auto& p : plans_) BuildIndexes(p);
    for (auto& p : plans_) FillMaps(p);
    for (auto& p : plans_) WriteDefinition(p);
    WriteGlobalMap();
    WriteHeader();
    Bytes out;
    out.reserve(pages_.size() * layout_.pageSize);
    for (const auto& page : pages_) out.insert(out.end(), page.begin(), page.end());
    return out;
  }

 private:
  std::uint32_t NewPage(Bytes page) {
    pages_.push_back(std::move(page));
    return static_cast<std::uint32_t>(pages_.size() - 1);
  }

  // Adds `row` to the data page `current` (owned by `owner`), or to a new one when it is full.
  RowPointer AddToPage(std::uint32_t& current, std::uint32_t owner, const Bytes& row,
                       std::vector<std::uint32_t>* newPages = nullptr) {
    if (current) {
      if (auto r = AddRow(layout_, pages_[current], row)) return {current, *r};
    }
    current = NewPage(NewDataPage(layout_, owner));
    if (newPages) newPages->push_back(current);
    auto r = AddRow(layout_, pages_[current], row);
    if (!r)
      throw Error(errc::kGeneric, "A row of " + std::to_string(row.size()) + " bytes does not fit a page.");
    return {current, *r};
  }

  MapRow NewMapRow() {
    MapRow m;
    m.at = AddToPage(mapPage_, kMapPageOwner, Bytes(UsageMapRowSize(layout_), 0));
    return m;
  }

  std::string Resolve(std::string text) {
    // Generated names first: a table id may name a table whose name holds one.
    for (std::size_t at = text.find("{guid:"); at != std::string::npos; at = text.find("{guid:")) {
      std::size_t close = text.find('}', at);
      if (close == std::string::npos) break;
      auto& g = guids_[text.substr(at + 6, close - at - 6)];
      if (g.empty()) g = NewGuidText();
      text.replace(at, close - at + 1, g);
    }
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t open = text.find('{', i);
      if (open == std::string::npos) break;
      std::size_t close = text.find('}', open);
      if (close == std::string::npos) break;
      out.append(text, i, open - i);
      std::string tag = text.substr(open + 1, close - open - 1);
      if (tag.rfind("id:", 0) == 0) {
        auto it = tableIds_.find(tag.substr(3));
        if (it == tableIds_.end())
          throw Error(errc::kGeneric, "The description names no table '" + tag.substr(3) + "'.");
        out += std::to_string(it->second);
      } else {
        out.append(text, open, close - open + 1);
      }
      i = close + 1;
    }
    out.append(text, i, std::string::npos);
    return out;
  }

  std::string NewGuidText() {
    std::uint8_t bytes[16];
    if (options_.random) {
      options_.random(bytes, sizeof bytes);
    } else {
      std::random_device rd;
      for (auto& b : bytes) b = static_cast<std::uint8_t>(rd());
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes) {
      s += kHex[b >> 4];
      s += kHex[b & 15];
    }
    return s;
  }

  qv::Value CellValue(const char* raw) {
    if (!raw) return std::monostate{};
    std::string text = raw;
    if (text == "{now}") return now_;
    if (text.rfind("{props:", 0) == 0 && text.back() == '}') {
      std::string key = text.substr(7, text.size() - 8);
      for (const auto& set : d_.propertySets)
        if (set.key == key) return EncodePropertySet(set, layout_.jet3);
      throw Error(errc::kGeneric, "The description has no property list '" + key + "'.");
    }
    return Resolve(text);
  }

  void PrepareTable(TablePlan& p) {
    const TableDescription& t = *p.described;
    p.def.name = p.name;
    p.def.firstPage = p.tdefPage;
    p.def.pages = {p.tdefPage};
    p.def.tableType = t.tableType;
    for (const auto& c : t.columns) {
      ColumnDef col;
      col.name = c.name;
      col.type = c.type;
      col.number = c.number;
      col.varIndex = c.varIndex;
      col.fixedOffset = c.fixedOffset;
      col.length = c.length;
      col.flags = c.flags;
      col.extFlags = c.extFlags;
      if (c.type == col_type::kComplex) col.complexId = c.collation;
      if (c.type == col_type::kNumeric) {
        col.precision = static_cast<std::uint8_t>(c.collation);
        col.scale = static_cast<std::uint8_t>(c.collation >> 8);
      }
      col.sortOrder = d_.sortOrder;
      if (layout_.jet3) col.codePage = kJet3CodePage;
      p.def.columns.push_back(col);
    }
    for (const auto& c : p.def.columns)
      if (!c.fixedLength()) ++p.def.varColumns;
    p.def.maxColumns = static_cast<std::uint16_t>(p.def.columns.size());
    p.byNumber = p.def.columns;
    std::sort(p.byNumber.begin(), p.byNumber.end(),
              [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    for (std::size_t i = 0; i < p.byNumber.size(); ++i)
      if (p.byNumber[i].number != i)
        throw Error(errc::kGeneric,
                    "Table '" + t.name + "' of the description has gaps in its column numbers.");
    p.used = NewMapRow();
    p.freeSpace = NewMapRow();
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i) p.indexMaps.push_back(NewMapRow());
    if (t.longValueMaps) {
      for (const auto& c : p.def.columns) {
        if (!c.longValue()) continue;
        TablePlan::LongValueColumn lv;
        lv.column = c.number;
        lv.owned = NewMapRow();
        lv.withRoom = NewMapRow();
        p.longValueColumns.push_back(std::move(lv));
      }
      // The definition lists them in the order of their names (Jet4 definitions list every
      // column so; Jet3 ones list columns by number but these maps still by name).
      if (layout_.jet3)
        std::sort(p.longValueColumns.begin(), p.longValueColumns.end(), [&](const auto& a, const auto& b) {
          return p.byNumber[a.column].name < p.byNumber[b.column].name;
        });
    }
  }

  Bytes PlaceLongValue(TablePlan& p, std::uint16_t column, const Bytes& data) {
    Bytes field(12, 0);
    if (data.size() <= kInlineLongValue) {
      StoreU32(field.data(), static_cast<std::uint32_t>(data.size()) | 0x80000000u);
      field.insert(field.end(), data.begin(), data.end());
      return field;
    }
    if (data.size() > MaxRowSize(layout_))
      throw Error(errc::kGeneric, "A long value of the description is longer than one page.");
    TablePlan::LongValueColumn* lv = nullptr;
    for (auto& c : p.longValueColumns)
      if (c.column == column) lv = &c;
    std::uint32_t& page = lv ? lv->page : sharedLvalPage_;
    std::vector<std::uint32_t> fresh;
    RowPointer at = AddToPage(page, kLvalOwner, data, &fresh);
    if (lv) lv->owned.pages.insert(lv->owned.pages.end(), fresh.begin(), fresh.end());
    StoreU32(field.data(), static_cast<std::uint32_t>(data.size()) | 0x40000000u);
    StoreU32(field.data() + 4, at.Encode());
    return field;
  }

  void PlaceRows(TablePlan& p) {
    const TableDescription& t = *p.described;
    std::uint32_t current = 0;
    std::uint32_t autoNumber = 0;
    for (const auto& raw : t.rows) {
      if (raw.size() != p.byNumber.size())
        throw Error(errc::kGeneric, "A row of table '" + t.name + "' in the description has " +
                                        std::to_string(raw.size()) + " values for " +
                                        std::to_string(p.byNumber.size()) + " columns.");
      std::vector<qv::Value> values;
      std::vector<EncodedValue> cells;
      for (std::size_t i = 0; i < raw.size(); ++i) {
        const ColumnDef& c = p.byNumber[i];
        values.push_back(CellValue(raw[i]));
        EncodedValue v = EncodeValue(c, values.back(), t.name, codec_.get());
        if (c.longValue() && !v.null) v.bytes = PlaceLongValue(p, c.number, v.bytes);
        if (c.autoLong() && !v.null) autoNumber = std::max(autoNumber, LoadU32(v.bytes.data()));
        cells.push_back(std::move(v));
      }
      // BuildRow takes the cells in the order of the definition's column list.
      std::vector<EncodedValue> inDefinitionOrder;
      for (const auto& c : p.def.columns) inDefinitionOrder.push_back(cells[c.number]);
      Bytes row = BuildRow(p.def, inDefinitionOrder, layout_);
      p.rowAt.push_back(AddToPage(current, p.tdefPage, row, &p.dataPages));
      p.values.push_back(std::move(values));
    }
    p.def.rowCount = static_cast<std::uint32_t>(t.rows.size());
    p.def.nextAutoNumber = autoNumber;
  }

  void BuildIndexes(TablePlan& p) {
    const TableDescription& t = *p.described;
    // The index keys come from the engine's key writer, which takes a row in the order of the
    // definition's column list: here the columns by number, as the rows are held.
    TableDefinition keyed = p.def;
    keyed.columns = p.byNumber;
    for (const auto& ri : t.realIndexes) {
      RealIndexDef def;
      for (const auto& part : ri.columns) def.columns.push_back({part.column, part.ascending});
      keyed.realIndexes.push_back(def);
    }
    for (std::size_t r = 0; r < t.realIndexes.size(); ++r) {
      const RealIndexDescription& ri = t.realIndexes[r];
      std::vector<Bytes> entries;
      for (std::size_t row = 0; row < p.values.size(); ++row) {
        Bytes entry = IndexKey(keyed, r, p.values[row], sort_);
        RowPointer at = p.rowAt[row];
        entry.push_back(static_cast<std::uint8_t>(at.page >> 16));
        entry.push_back(static_cast<std::uint8_t>(at.page >> 8));
        entry.push_back(static_cast<std::uint8_t>(at.page));
        entry.push_back(at.row);
        entries.push_back(std::move(entry));
      }
      std::sort(entries.begin(), entries.end());
      Bytes page(layout_.pageSize, 0);
      page[0] = page_type::kIndexLeaf;
      page[1] = 0x01;
      StoreU32(page.data() + 4, p.tdefPage);
      IndexLeaf leaf;
      leaf.entries = std::move(entries);
      std::uint32_t n = NewPage(WriteIndexLeaf(page, leaf, layout_.pageSize));
      p.leafPages.push_back(n);
      p.indexMaps[r].pages.push_back(n);

      RealIndexDef def;
      for (const auto& part : ri.columns) def.columns.push_back({part.column, part.ascending});
      def.usedPagesPointer = p.indexMaps[r].at.Encode();
      def.firstPage = n;
      def.flags = ri.flags;
      def.rowCount = static_cast<std::uint32_t>(leaf.entries.size());
      p.def.realIndexes.push_back(def);
    }
    for (const auto& ix : t.indexes) {
      IndexDef def;
      def.name = Resolve(ix.name);
      def.number = ix.number;
      def.realIndex = ix.realIndex;
      def.type = ix.kind;
      p.def.indexes.push_back(def);
    }
  }

  void WriteMap(const MapRow& m) {
    Bytes& page = pages_[m.at.page];
    std::uint16_t slot = LoadU16(page.data() + layout_.dataRowCountOffset + 2 + 2 * m.at.row);
    std::uint8_t* row = page.data() + (slot & kRowOffsetMask);
    const std::size_t size = UsageMapRowSize(layout_);
    std::memset(row, 0, size);  // kind 0 (inline), first page 0
    for (std::uint32_t n : m.pages) {
      if (n >= (size - 5) * 8) throw Error(errc::kGeneric, "A new database outgrew its first usage maps.");
      row[5 + n / 8] |= static_cast<std::uint8_t>(1u << (n % 8));
    }
  }

  void FillMaps(TablePlan& p) {
    p.used.pages = p.dataPages;
    for (std::uint32_t n : p.dataPages)
      if (RoomForRow(layout_, pages_[n]) > 0) p.freeSpace.pages.push_back(n);
    WriteMap(p.used);
    WriteMap(p.freeSpace);
    for (const auto& m : p.indexMaps) WriteMap(m);
    for (auto& lv : p.longValueColumns) {
      for (std::uint32_t n : lv.owned.pages)
        if (RoomForRow(layout_, pages_[n]) > 0) lv.withRoom.pages.push_back(n);
      WriteMap(lv.owned);
      WriteMap(lv.withRoom);
    }
  }

  void WriteDefinition(TablePlan& p) {
    p.def.usedPagesPointer = p.used.at.Encode();
    p.def.freePagesPointer = p.freeSpace.at.Encode();
    p.def.maxColumns = static_cast<std::uint16_t>(p.def.columns.size());
    std::vector<LongValueMaps> maps;
    for (const auto& lv : p.longValueColumns)
      maps.push_back({lv.column, lv.owned.at.Encode(), lv.withRoom.at.Encode()});
    Bytes page = EncodeTableDefinitionInOrder(p.def, sort_, maps, layout_);
    // The system tables of a new file each fit one page; the patches below assume it.
    if (page.size() != layout_.pageSize)
      throw Error(errc::kNotSupported,
                  "The definition of system table '" + p.def.name + "' does not fit one page.");
    // Bytes 11..14 of each descriptor exactly as the description gives them (the encoder derives
    // them from the database's sort order, which differs in byte 14 from what Access keeps on
    // some system columns).
    std::size_t at = layout_.tdefRealIndexStart + layout_.realIndexEntrySize * p.def.realIndexes.size();
    for (const auto& c : p.described->columns) {
      if (layout_.jet3) {
        // Jet3: bytes 5..8 are 0 and 1 (u16 each) on every system column Access made; 9..12 the
        // sort order and the code page.
        StoreU32(page.data() + at + 5, 0x00010000u);
        StoreU32(page.data() + at + 9, c.collation);
      } else {
        StoreU32(page.data() + at + 11, c.collation);
      }
      at += layout_.columnEntrySize;
    }
    // The byte after each physical index's flags (block byte 47), which the definition model does
    // not keep (Jet4 on; a Jet3 block ends with its flags).
    if (!layout_.jet3) {
      for (const auto& c : p.def.columns) at += NameBytes(c.name, layout_);
      for (const auto& ri : p.described->realIndexes) {
        page[at + 47] = ri.extra;
        at += layout_.indexColumnBlockSize;
      }
    }
    pages_[p.tdefPage] = std::move(page);
  }

  // Page 1: a data page (owner 1) holding the global usage map (set bit = free page; every page
  // of the new file is in use, every page after it free) and a second, all-zero map row.
  void WriteGlobalMap() {
    Bytes page = NewDataPage(layout_, 1);
    const std::size_t size = UsageMapRowSize(layout_);
    Bytes map(size, 0);
    std::uint32_t count = static_cast<std::uint32_t>(pages_.size());
    if (count > (size - 5) * 8) throw Error(errc::kGeneric, "A new database outgrew the global usage map.");
    for (std::uint32_t n = count; n < (size - 5) * 8; ++n)
      map[5 + n / 8] |= static_cast<std::uint8_t>(1u << (n % 8));
    AddRow(layout_, page, map);
    AddRow(layout_, page, Bytes(size, 0));
    pages_[1] = std::move(page);
  }

  // Page 0 of an Access 97 file: no creation date, no password mask, no version text; the rest of
  // the masked region zero but for 1 at 0x38 and the constant at 0x56.
  void WriteJet3Header() {
    Bytes& h = pages_[0];
    h.assign(layout_.pageSize, 0);
    h[0] = page_type::kHeader;
    h[1] = 0x01;
    std::memcpy(h.data() + 4, "Standard Jet DB", 16);
    h[0x14] = d_.versionByte;
    const std::uint32_t lead[6] = {0x100, 0x101, 2, 3, 4, 5};
    for (std::size_t i = 0; i < 6; ++i) StoreU32(h.data() + 0x18 + 4 * i, lead[i]);
    StoreU16(h.data() + 0x38, 1);
    StoreU16(h.data() + 0x3a, d_.sortOrder);
    StoreU16(h.data() + 0x3c, kJet3CodePage);
    StoreU16(h.data() + 0x56, static_cast<std::uint16_t>(d_.headerUnknown6a));
    crypto::Rc4(crypto::kHeaderMaskKey,
                std::span<std::uint8_t>(h.data() + crypto::kHeaderMaskOffset, layout_.headerMaskLength));
    for (std::size_t at = layout_.pageSize - 512; at + 1 < layout_.pageSize; at += 2) h[at + 1] = 0x01;
  }

  void WriteHeader() {
    if (layout_.jet3) return WriteJet3Header();
    Bytes& h = pages_[0];
    h.assign(layout_.pageSize, 0);
    h[0] = page_type::kHeader;
    h[1] = 0x01;
    const char* signature = d_.format == DatabaseFormat::Jet4 ? "Standard Jet DB" : "Standard ACE DB";
    std::memcpy(h.data() + 4, signature, 16);
    h[0x14] = d_.versionByte;
    h[0x15] = d_.versionFlags;
    // Inside the masked region: the numbers 0x100, 0x101, 2, 3, 4, 5 as Access writes them, the
    // code page, no database key, the password field (no password: only the date mask), the
    // sort order and the creation date.
    const std::uint32_t lead[6] = {0x100, 0x101, 2, 3, 4, 5};
    for (std::size_t i = 0; i < 6; ++i) StoreU32(h.data() + 0x18 + 4 * i, lead[i]);
    StoreU16(h.data() + 0x3c, 1252);
    std::uint32_t day = static_cast<std::uint32_t>(static_cast<std::int64_t>(nowDays_));
    for (std::size_t i = 0; i < layout_.passwordLength; i += 4) StoreU32(h.data() + 0x42 + i, day);
    StoreU32(h.data() + 0x6a, d_.headerUnknown6a);
    StoreU16(h.data() + 0x6e, d_.sortOrder);
    h[0x71] = d_.sortVersion;
    StoreF64(h.data() + 0x72, nowDays_);
    crypto::Rc4(crypto::kHeaderMaskKey,
                std::span<std::uint8_t>(h.data() + crypto::kHeaderMaskOffset, layout_.headerMaskLength));
    // After the masked region: 1620 and the text "4.0", then from 0xe00 to the end of the page
    // pairs (u8, 1); Access's first pairs vary between files of one version, we write (0, 1).
    StoreU32(h.data() + 0x98, 1620);
    std::memcpy(h.data() + 0x9c, "4.0", 4);
    for (std::size_t at = 0xe00; at + 1 < layout_.pageSize; at += 2) h[at + 1] = 0x01;
  }

  const DatabaseDescription& d_;
  Layout layout_;
  const CreateOptions& options_;
  SortOrder sort_;
  std::unique_ptr<TextCodec> codec_;  // Jet3: the code page text is stored in
  qv::Timestamp now_;
  double nowDays_ = 0;
  std::vector<Bytes> pages_;
  std::vector<TablePlan> plans_;
  std::map<std::string, std::uint32_t> tableIds_;
  std::map<std::string, std::string> guids_;
  std::uint32_t mapPage_ = 0;
  std::uint32_t sharedLvalPage_ = 0;
};

[[noreturn]] void Taken(const std::string& path) {
  throw Error(errc::kDatabaseExists, "Database '" + path + "' already exists.", path);
}

// A new, empty file beside `path` under a name no other file has (".name.new-" and six random
// letters), made with OpenMode::kCreate so that it never takes over a file another process made.
std::unique_ptr<File> CreateTemporary(FileSystem& files, const std::string& folder, const std::string& base,
                                      std::string& tmp) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  for (int attempt = 0;; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 6; ++i) suffix += kLetters[device() % (sizeof kLetters - 1)];
    tmp = (std::filesystem::path(folder) / ("." + base + ".new-" + suffix)).string();
    try {
      return files.Open(tmp, OpenMode::kCreate);
    } catch (const Error&) {
      // another file took this name: try another; any other failure is the caller's
      if (attempt >= 100 || !files.Exists(tmp)) throw;
    }
  }
}

}  // namespace

Bytes BuildEmptyDatabase(DatabaseFormat format, const CreateOptions& options) {
  return Builder(EmptyDatabaseDescription(format), options).Build();
}

Bytes BuildDatabase(const DatabaseDescription& description, const CreateOptions& options) {
  return Builder(description, options).Build();
}

void CreateDatabase(const std::string& path, DatabaseFormat format, const CreateOptions& options,
                    FileSystem& files) {
  namespace fs = std::filesystem;
  if (path.empty()) throw Error(errc::kInvalidPath, "'' isn't a valid path.");
  fs::path target(path);
  std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  if (files.Exists(path)) Taken(path);
  if (!files.IsFolder(folder)) throw Error(errc::kInvalidPath, "'" + folder + "' isn't a valid path.", path);

  Bytes image = BuildEmptyDatabase(format, options);

  // Written whole under a temporary name, synced, then given its name without replacing anything,
  // and the folder synced: the name never shows a half-made database, even after a crash.
  std::string tmp;
  std::unique_ptr<File> file = CreateTemporary(files, folder, target.filename().string(), tmp);
  try {
    file->WriteAt(0, image);
    file->Sync();
    file.reset();
    if (!files.RenameNoReplace(tmp, path)) Taken(path);
    files.SyncFolder(folder);
  } catch (...) {
    file.reset();
    try {
      files.Remove(tmp);
    } catch (const Error&) {
      // the first failure is the one to report
    }
    throw;
  }
}

bool ParseDatabaseFormat(std::string_view name, DatabaseFormat& out) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "jet4")
    out = DatabaseFormat::Jet4;
  else if (lower == "ace2007")
    out = DatabaseFormat::Ace2007;
  else if (lower == "ace2010")
    out = DatabaseFormat::Ace2010;
  else if (lower == "jet3")
    out = DatabaseFormat::Jet3;
  else
    return false;
  return true;
}

const char* DatabaseFormatName(DatabaseFormat format) {
  switch (format) {
    case DatabaseFormat::Jet4:
      return "jet4";
    case DatabaseFormat::Ace2007:
      return "ace2007";
    case DatabaseFormat::Ace2010:
      return "ace2010";
    case DatabaseFormat::Jet3:
      return "jet3";
  }
  return "?";
}

}  // namespace qv::jet
