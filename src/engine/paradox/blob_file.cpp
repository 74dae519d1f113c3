#include "engine/paradox/blob_file.h"

#include "engine/core/error.h"

namespace qv::paradox {

BlobPointer ParseBlobPointer(std::span<const std::uint8_t> field) {
  const std::uint8_t* p = field.data() + field.size() - kBlobPointerSize;
  BlobPointer b;
  const std::uint32_t word = LoadU32(p);
  b.offset = word & 0xFFFFFF00u;
  b.slot = static_cast<std::uint8_t>(word & 0xFF);
  b.size = LoadU32(p + 4);
  b.modification = LoadU16(p + 8);
  return b;
}

BlobFile::BlobFile(const std::filesystem::path& path, FileSystem& files) : file_(path, files) {
  std::uint8_t head[3];
  if (file_.size() < kBlobBlockSize)
    ThrowCorrupt("the blob file '" + file_.name() + "' is shorter than its header block",
                 Where(file_.name(), "block", 0, 0));
  file_.ReadAt(0, head);
  if (head[0] != 0)
    ThrowCorrupt("the blob file '" + file_.name() + "' does not start with a header block",
                 Where(file_.name(), "block", 0, 0));
}

Bytes BlobFile::Read(const BlobPointer& ptr) const {
  const std::string& name = file_.name();
  const auto block = static_cast<std::int64_t>(ptr.offset / kBlobBlockSize);
  const std::string where = Where(name, "block", block, ptr.offset % kBlobBlockSize);
  if (ptr.offset == 0 || ptr.offset % kBlobBlockSize != 0 || ptr.offset >= file_.size())
    ThrowCorrupt(
        "a blob pointer names offset " + std::to_string(ptr.offset) + ", which is no block of the blob file",
        where);
  std::uint8_t head[kSubBlockHeaderSize];
  const std::uint64_t available = file_.size() - ptr.offset;
  file_.ReadAt(ptr.offset, std::span(head, available < sizeof head ? available : sizeof head), where);
  const std::uint8_t type = head[0];
  const std::uint32_t chunks = LoadU16(head + 1);
  const std::uint64_t blockBytes = std::uint64_t{chunks} * kBlobBlockSize;
  if (chunks == 0 || blockBytes > available)
    ThrowCorrupt("blob block of " + std::to_string(chunks) + " chunks runs past the end of the blob file",
                 where);

  if (type == 2) {
    if (ptr.slot != 0xFF)
      ThrowCorrupt("a pointer into a single-value blob block names slot " + std::to_string(ptr.slot), where);
    const std::uint32_t stored = LoadU32(head + 3);
    if (stored != ptr.size)
      ThrowCorrupt("blob block holds " + std::to_string(stored) + " bytes but the record says " +
                       std::to_string(ptr.size),
                   where);
    if (std::uint64_t{kSingleBlobHeaderSize} + ptr.size > blockBytes)
      ThrowCorrupt("blob value of " + std::to_string(ptr.size) + " bytes runs past its block", where);
    Bytes out(ptr.size);
    file_.ReadAt(ptr.offset + kSingleBlobHeaderSize, out, where);
    return out;
  }
  if (type == 3) {
    if (ptr.slot >= kSubBlockSlots)
      ThrowCorrupt("a pointer names slot " + std::to_string(ptr.slot) + " of a shared blob block", where);
    const std::uint64_t slotAt =
        ptr.offset + kSubBlockHeaderSize + std::uint64_t{ptr.slot} * kSubBlockSlotSize;
    std::uint8_t slot[kSubBlockSlotSize];
    file_.ReadAt(slotAt, slot, Where(name, "block", block, static_cast<std::int64_t>(slotAt - ptr.offset)));
    const std::uint32_t start = std::uint32_t{slot[0]} * 16u;
    const std::uint32_t paragraphs = slot[1];
    const std::uint32_t tail = slot[4];
    if (paragraphs == 0 || tail == 0 || tail > 16)
      ThrowCorrupt("slot " + std::to_string(ptr.slot) + " of a shared blob block is empty or damaged", where);
    const std::uint32_t stored = (paragraphs - 1) * 16u + tail;
    if (stored != ptr.size)
      ThrowCorrupt("blob slot holds " + std::to_string(stored) + " bytes but the record says " +
                       std::to_string(ptr.size),
                   where);
    if (start < kSubBlockHeaderSize + kSubBlockSlots * kSubBlockSlotSize ||
        start + std::uint64_t{stored} > blockBytes)
      ThrowCorrupt("blob slot " + std::to_string(ptr.slot) + " points outside its block", where);
    Bytes out(stored);
    file_.ReadAt(ptr.offset + start, out, Where(name, "block", block, start));
    return out;
  }
  if (type == 4) ThrowCorrupt("a blob pointer names a free block of the blob file", where);
  ThrowCorrupt("a blob pointer names a block of unknown type " + std::to_string(type), where);
}

}  // namespace qv::paradox
