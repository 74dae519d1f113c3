// Reading values out of a table's blob file (.MB). The record keeps a leader (the value's first
// bytes) and a 10-byte pointer; longer values live in the .MB in a block of their own (type 2) or
// in a slot of a block shared by small values (type 3). Layout: docs/formats/paradox.md ("Blob
// file").
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "engine/core/bytes.h"
#include "engine/core/file_io.h"

namespace qv::paradox {

inline constexpr std::uint32_t kBlobBlockSize = 4096;
inline constexpr std::size_t kBlobPointerSize = 10;
inline constexpr std::size_t kSingleBlobHeaderSize = 9;
inline constexpr std::size_t kSubBlockHeaderSize = 12;
inline constexpr std::size_t kSubBlockSlots = 64;
inline constexpr std::size_t kSubBlockSlotSize = 5;
inline constexpr std::size_t kBlobPrefixSize = 8;  // graphic and OLE values carry a type and a length first

// The pointer at the end of a blob field in the record.
struct BlobPointer {
  std::uint32_t offset = 0;  // of the .MB block, a multiple of 256 (low byte of the stored word is the slot)
  std::uint8_t slot = 0;     // 0xFF for a block of its own, the slot number in a shared block
  std::uint32_t size = 0;    // bytes of the value, 0 for blank
  std::uint16_t modification = 0;
};

BlobPointer ParseBlobPointer(std::span<const std::uint8_t> field);

class BlobFile {
 public:
  // Opens the .MB and checks its header block.
  explicit BlobFile(const std::filesystem::path& path, FileSystem& files = PosixFileSystem());

  const std::string& name() const { return file_.name(); }
  // Reads the value a pointer names (all `size` bytes). Throws a corruption error naming the
  // .MB, its block and the offset when the pointer or the block is damaged.
  Bytes Read(const BlobPointer& pointer) const;

 private:
  ReadOnlyFile file_;
};

}  // namespace qv::paradox
