// A table definition laid out on a chain of TDEF pages, and changes to single fields of it.
//
// The definition is one logical block of bytes (what the reader joins): the first page whole,
// then each continuation page's bytes from offset 8. Layout of the chain, as Access writes it
// (Table2 of testV2000/testV2003/testV2007/testV2010, MSP_PROJECTS of test2V2000..test2V2010 in
// the corpus, each two pages):
//   every page: 0x00 u8 0x02 | 0x01 u8 0x01 | 0x02 u16 free bytes | 0x04 u32 next page (0 on the
//   last) | the first page goes on with the definition at 0x08 (u32 length, ...), a continuation
//   page with the next bytes of the block at 0x08 (no header of its own beyond these 8 bytes);
//   - the block is cut at page boundaries wherever they fall: a column name (MSP_PROJECTS: 41
//     bytes on the first page, 1 on the next) or a physical-index block (Table2: 8 bytes on the
//     first page) may straddle two pages, and every page but the last is filled to its end;
//   - the length field (first page, 0x08) is the length of the whole logical block up to and
//     including the closing 0xffff, the first page's 8 header bytes counted, continuation
//     headers not (Table2: 4096 + 320 = 4416);
//   - the free field of each page is page size - 8 - the bytes used on that page (header
//     included): 0 on a full page, 3760 (= 4096 - 8 - 328) on Table2's second page. Access so
//     keeps 8 spare bytes after the end of the block: we add a page rather than end a block in
//     the last 8 bytes of a page.
// See docs/formats/jet-writing.md, "Table definitions".
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/jet/format.h"
#include "engine/jet/page_store.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

class FileWriter;

// Bytes kept free after the end of a definition on its last page, as Access keeps them (its free
// field, page size - 8 - bytes used, is never below 0 on the last page).
constexpr std::size_t kDefinitionSpareBytes = 8;

// Pages a definition block of `length` bytes takes.
std::size_t DefinitionPageCount(std::size_t length, const Layout& l);
// Bytes of the logical block a chain of `pages` pages holds.
std::size_t DefinitionCapacity(std::size_t pages, const Layout& l);

// The page images of the encoded block `block` (as EncodeTableDefinition gives it: length field
// set, at most DefinitionCapacity(pages.size()) bytes) on the chain `pages`: next-page pointers
// and free fields set.
std::vector<Bytes> SplitDefinition(const Bytes& block, const std::vector<std::uint32_t>& pages,
                                   const Layout& l);

// Writes the encoded block of a new table: the first page is `firstPage` (already allocated,
// its number is the table's id), the others come from the writer's free pages. Returns the chain.
std::vector<std::uint32_t> WriteNewDefinition(FileWriter& w, std::uint32_t firstPage, const Bytes& block);

// Reading and patching a field at a logical offset of the definition, whichever page of the
// chain holds it (a field may straddle two pages). Throws kCorrupt when the field lies beyond
// the definition's length, or the chain is damaged.
Bytes ReadDefinitionField(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                          std::size_t size);
void PatchDefinition(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                     std::span<const std::uint8_t> bytes);
std::uint32_t ReadDefinitionU32(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset);
void PatchDefinitionU32(PageStore& ps, const Layout& l, std::uint32_t firstPage, std::size_t offset,
                        std::uint32_t value);

}  // namespace qv::jet
