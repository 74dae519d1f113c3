#include "engine/core/file_io.h"

#include <algorithm>
#include <cstring>

#include "engine/core/error.h"

namespace qv {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path, FileSystem& files)
    : file_(files.Open(path.string(), OpenMode::kRead)),
      size_(file_->Size()),
      name_(path.filename().string()) {}

void ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, const std::string& where) const {
  const std::string& place = where.empty() ? name_ : where;
  if (offset > size_ || out.size() > size_ - offset)
    ThrowCorrupt("'" + name_ + "' ends before the " + std::to_string(out.size()) +
                     " bytes expected at offset " + std::to_string(offset),
                 place);
  if (file_->ReadAt(offset, out) != out.size())
    throw Error(errc::kDiskIo, "Could not read '" + name_ + "': unexpected end.", place);
}

namespace {
constexpr std::size_t kWriteBuffer = 1 << 20;
}

WriteOnlyFile::WriteOnlyFile(const std::filesystem::path& path, FileSystem& files)
    : file_(files.Open(path.string(), OpenMode::kCreate)), name_(path.string()) {
  buffer_.reserve(kWriteBuffer);
}

void WriteOnlyFile::LockExclusive() {
  file_->LockWhole();
}

void WriteOnlyFile::WriteOut(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  file_->WriteAt(offset, std::span<const std::uint8_t>(data, size));
}

void WriteOnlyFile::Flush() {
  if (!buffer_.empty())
    WriteOut(bufferStart_, reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size());
  bufferStart_ = position_;
  buffer_.clear();
}

void WriteOnlyFile::Write(std::span<const std::uint8_t> bytes) {
  if (!file_) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
  if (buffer_.size() + bytes.size() > kWriteBuffer) Flush();
  if (bytes.size() >= kWriteBuffer / 2) {  // large pieces skip the copy into the buffer
    Flush();
    WriteOut(position_, bytes.data(), bytes.size());
    position_ += bytes.size();
    bufferStart_ = position_;
    return;
  }
  buffer_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  position_ += bytes.size();
}

void WriteOnlyFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!file_) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
  if (offset + bytes.size() > position_)
    throw Error(errc::kDiskIo, "Rewrite past the end of '" + name_ + "'.", name_);
  // The part before the buffer goes to the file, the part inside the buffer is patched there.
  const std::uint64_t end = offset + bytes.size();
  if (offset < bufferStart_) {
    const std::size_t direct = static_cast<std::size_t>(std::min(end, bufferStart_) - offset);
    WriteOut(offset, bytes.data(), direct);
  }
  if (end > bufferStart_) {
    const std::uint64_t from = std::max(offset, bufferStart_);
    std::memcpy(buffer_.data() + (from - bufferStart_), bytes.data() + (from - offset),
                static_cast<std::size_t>(end - from));
  }
}

void WriteOnlyFile::Close() {
  if (!file_) return;
  Flush();
  const std::unique_ptr<File> file = std::move(file_);  // closed even when the sync fails
  file->Sync();
}

}  // namespace qv
