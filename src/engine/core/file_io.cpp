#include "engine/core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

WriteOnlyFile::WriteOnlyFile(const std::filesystem::path& path) : name_(path.string()) {
  file_ = std::fopen(path.c_str(), "wbxe");
  if (!file_)
    throw Error(errc::kFileInUse, "Could not create file '" + name_ + "': " + std::strerror(errno) + ".", name_);
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

WriteOnlyFile::~WriteOnlyFile() {
  if (file_) std::fclose(file_);
}

void WriteOnlyFile::Write(std::span<const std::uint8_t> bytes) {
  if (!file_) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    throw Error(errc::kDiskIo, "Could not write '" + name_ + "': " + std::strerror(errno) + ".", name_);
  position_ += bytes.size();
}

void WriteOnlyFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!file_) throw Error(errc::kDiskIo, "'" + name_ + "' is already closed.", name_);
  const std::uint64_t keep = position_;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
    throw Error(errc::kDiskIo, "Could not seek in '" + name_ + "'.", name_);
  position_ = offset;
  Write(bytes);
  if (std::fseek(file_, static_cast<long>(keep), SEEK_SET) != 0)
    throw Error(errc::kDiskIo, "Could not seek in '" + name_ + "'.", name_);
  position_ = keep;
}

void WriteOnlyFile::Close() {
  if (!file_) return;
  const bool ok = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok || !closed) throw Error(errc::kDiskIo, "Could not finish writing '" + name_ + "'.", name_);
}

}  // namespace qv
