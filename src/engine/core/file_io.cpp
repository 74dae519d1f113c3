#include "engine/core/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "engine/core/error.h"

namespace qv {

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) : name_(path.filename().string()) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR)
      throw Error(errc::kFileNotFound, "Could not find file '" + path.string() + "'.", path.string());
    throw Error(errc::kFileInUse, "Could not open file '" + path.string() + "': " + std::strerror(e) + ".",
                path.string());
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw Error(errc::kFileInUse, "'" + path.string() + "' is not a readable file.", path.string());
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, const std::string& where) const {
  const std::string& place = where.empty() ? name_ : where;
  if (offset > size_ || out.size() > size_ - offset)
    ThrowCorrupt("'" + name_ + "' ends before the " + std::to_string(out.size()) + " bytes expected at offset " +
                     std::to_string(offset),
                 place);
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw Error(errc::kDiskIo, "Could not read '" + name_ + "': " + (n < 0 ? std::strerror(errno) : "unexpected end") + ".",
                  place);
    done += static_cast<std::size_t>(n);
  }
}

namespace {
constexpr std::size_t kWriteBuffer = 1 << 20;
}

WriteOnlyFile::WriteOnlyFile(const std::filesystem::path& path) : name_(path.string()) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw Error(errc::kFileInUse, "Could not create file '" + name_ + "': " + std::strerror(errno) + ".", name_);
  buffer_.reserve(kWriteBuffer);
}

void WriteOnlyFile::LockExclusive() {
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
  }
}

WriteOnlyFile::~WriteOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

void WriteOnlyFile::WriteOut(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw Error(n < 0 ? WriteErrorNumber(errno) : errc::kDiskIo,
                  "Could not write '" + name_ + "': " + std::strerror(errno) + ".", name_);
    done += static_cast<std::size_t>(n);
  }
}

void WriteOnlyFile::Flush() {
  if (!buffer_.empty()) WriteOut(bufferStart_, reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size());
  bufferStart_ = position_;
  buffer_.clear();
}

void WriteOnlyFile::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
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
  if (fd_ < 0) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
  if (offset + bytes.size() > position_) throw Error(errc::kDiskIo, "Rewrite past the end of '" + name_ + "'.", name_);
  // The part before the buffer goes to the file, the part inside the buffer is patched there.
  const std::uint64_t end = offset + bytes.size();
  if (offset < bufferStart_) {
    const std::size_t direct = static_cast<std::size_t>(std::min(end, bufferStart_) - offset);
    WriteOut(offset, bytes.data(), direct);
  }
  if (end > bufferStart_) {
    const std::uint64_t from = std::max(offset, bufferStart_);
    std::memcpy(buffer_.data() + (from - bufferStart_), bytes.data() + (from - offset), static_cast<std::size_t>(end - from));
  }
}

void WriteOnlyFile::Close() {
  if (fd_ < 0) return;
  Flush();
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed) throw Error(errc::kDiskIo, "Could not finish writing '" + name_ + "'.", name_);
}

}  // namespace qv
