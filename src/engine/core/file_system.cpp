#include "engine/core/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/core/error.h"

namespace qv {

std::size_t File::ReadScattered(std::uint64_t offset, std::span<const std::span<std::uint8_t>> parts) const {
  std::size_t done = 0;
  for (const auto& part : parts) {
    const std::size_t n = ReadAt(offset + done, part);
    done += n;
    if (n < part.size()) break;
  }
  return done;
}

std::vector<std::string> FileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  try {
    for (FolderEntry& entry : Entries(folder))
      if (entry.regular) names.push_back(std::move(entry.name));
  } catch (const Error&) {
    names.clear();  // a folder that cannot be read lists nothing
  }
  return names;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

// ---- The disk ----

[[noreturn]] void Fail(int number, const char* what, const std::string& path, int errnum,
                       std::uint64_t offset) {
  throw Error(number, std::string("Disk error ") + what + " '" + path + "': " + std::strerror(errnum),
              Where(path, "byte", static_cast<std::int64_t>(offset), 0));
}

[[noreturn]] void FailOpen(const std::string& path, int errnum, bool creating) {
  if (!creating && (errnum == ENOENT || errnum == ENOTDIR))
    throw Error(errc::kFileNotFound, "Could not find file '" + path + "'.", path);
  throw Error(errc::kFileInUse,
              std::string(creating ? "Could not create file '" : "Could not open file '") + path +
                  "': " + std::strerror(errnum) + ".",
              path);
}

[[noreturn]] void FailList(const std::string& folder, int errnum) {
  if (errnum == ENOENT || errnum == ENOTDIR)
    throw Error(errc::kFileNotFound, "Could not find the folder '" + folder + "'.", folder);
  throw Error(errc::kDiskIo, "Disk error listing '" + folder + "': " + std::strerror(errnum), folder);
}

// Open-file-description locks where the kernel has them (Linux 3.15 on), process locks otherwise.
int LockCommand(bool set) {
#ifdef F_OFD_SETLK
  return set ? F_OFD_SETLK : F_OFD_GETLK;
#else
  return set ? F_SETLK : F_GETLK;
#endif
}

struct flock Range(short type, std::int64_t offset, std::int64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required by open-file-description locks
  return fl;
}

int Fcntl(int fd, bool set, struct flock& fl) {
  int r = ::fcntl(fd, LockCommand(set), &fl);
#ifdef F_OFD_SETLK
  if (r != 0 && errno == EINVAL) {  // a kernel without open-file-description locks
    fl.l_pid = 0;
    r = ::fcntl(fd, set ? F_SETLK : F_GETLK, &fl);
  }
#endif
  return r;
}

class PosixFile : public File {
 public:
  PosixFile(std::string path, FileSystem& files, int fd, FileId id)
      : File(std::move(path), files), fd_(fd), id_(id) {}
  ~PosixFile() override { ::close(fd_); }

  FileId id() const override { return id_; }

  std::uint64_t Size() const override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(errc::kDiskIo, "reading", path(), errno, 0);
    return static_cast<std::uint64_t>(st.st_size);
  }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(errc::kDiskIo, "reading", path(), errno, offset + done);
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  std::size_t ReadScattered(std::uint64_t offset,
                            std::span<const std::span<std::uint8_t>> parts) const override {
    std::vector<iovec> vec(parts.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      vec[i] = {parts[i].data(), parts[i].size()};
      total += parts[i].size();
    }
    std::size_t done = 0, first = 0;  // the first part not yet filled
    while (done < total) {
      const ssize_t n = ::preadv(fd_, vec.data() + first, static_cast<int>(vec.size() - first),
                                 static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(errc::kDiskIo, "reading", path(), errno, offset + done);
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
      // Skip the parts filled, and shorten a part filled halfway.
      auto left = static_cast<std::size_t>(n);
      while (first < vec.size() && left >= vec[first].iov_len) left -= vec[first++].iov_len;
      if (left > 0) {
        vec[first].iov_base = static_cast<char*>(vec[first].iov_base) + left;
        vec[first].iov_len -= left;
      }
    }
    return done;
  }

  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n =
          ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(WriteErrorNumber(errno), "writing", path(), errno, offset + done);
      if (n == 0) Fail(errc::kDiskIo, "writing", path(), EIO, offset + done);
      done += static_cast<std::size_t>(n);
    }
  }

  void Truncate(std::uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
      Fail(WriteErrorNumber(errno), "truncating", path(), errno, size);
  }

  void Sync() override {
    if (::fsync(fd_) != 0) Fail(WriteErrorNumber(errno), "flushing", path(), errno, 0);
  }

  LockResult TryLock(std::int64_t offset, std::int64_t length) override {
    struct flock fl = Range(F_WRLCK, offset, length);
    for (;;) {
      if (Fcntl(fd_, true, fl) == 0) return LockResult::kTaken;
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return LockResult::kHeld;
      return LockResult::kUnsupported;  // ENOLCK, EINVAL, EBADF (read-only), ...
    }
  }

  void Unlock(std::int64_t offset, std::int64_t length) override {
    struct flock fl = Range(F_UNLCK, offset, length);
    while (Fcntl(fd_, true, fl) != 0 && errno == EINTR) {
    }
  }

  bool LockedByOther(std::int64_t offset, std::int64_t length) const override {
    struct flock fl = Range(F_WRLCK, offset, length);
    if (Fcntl(fd_, false, fl) != 0) return false;
    return fl.l_type != F_UNLCK;
  }

  LockResult LockWhole() override {
    for (;;) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return LockResult::kTaken;
      if (errno == EINTR) continue;
      return errno == EWOULDBLOCK ? LockResult::kHeld : LockResult::kUnsupported;
    }
  }

 private:
  int fd_;
  FileId id_;
};

class PosixFileSystemImpl : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead:
        flags |= O_RDONLY;
        break;
      case OpenMode::kReadWrite:
        flags |= O_RDWR;
        break;
      case OpenMode::kCreate:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
      case OpenMode::kOpenOrCreate:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) FailOpen(path, errno, mode == OpenMode::kCreate || mode == OpenMode::kOpenOrCreate);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      throw Error(errc::kFileInUse, "'" + path + "' is not a regular file.", path);
    }
    return std::make_unique<PosixFile>(
        path, *this, fd,
        FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
  }

  bool Exists(const std::string& path) const override { return ::access(path.c_str(), F_OK) == 0; }

  bool IsFolder(const std::string& path) const override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool IsFile(const std::string& path) const override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  std::vector<FolderEntry> Entries(const std::string& folder) const override {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) FailList(folder, errno);
    std::vector<FolderEntry> entries;
    for (;;) {
      errno = 0;
      const dirent* e = ::readdir(dir);
      if (e == nullptr) break;
      FolderEntry entry{e->d_name};
      if (entry.name == "." || entry.name == "..") continue;
      entry.regular = e->d_type == DT_REG;
      entry.folder = e->d_type == DT_DIR;
      if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {  // what a link leads to, if anything
        struct stat st {};
        if (::stat((folder + "/" + entry.name).c_str(), &st) == 0) {
          entry.regular = S_ISREG(st.st_mode);
          entry.folder = S_ISDIR(st.st_mode);
        }
      }
      entries.push_back(std::move(entry));
    }
    const int errnum = errno;
    ::closedir(dir);
    if (errnum != 0) FailList(folder, errnum);
    return entries;
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) Fail(WriteErrorNumber(errno), "renaming", from, errno, 0);
  }

  // renameat2(RENAME_NOREPLACE) where the file system has it, else link() + unlink() (link never
  // replaces either), else, on file systems with neither (FAT, some network shares), a last look
  // for the name followed by rename(), which leaves only that instant unguarded.
  bool RenameNoReplace(const std::string& from, const std::string& to) override {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
      Fail(WriteErrorNumber(errno), "renaming", from, errno, 0);
#endif
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return true;
    }
    if (errno == EEXIST) return false;
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
      Fail(WriteErrorNumber(errno), "renaming", from, errno, 0);
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    Rename(from, to);
    return true;
  }

  bool Remove(const std::string& path) override {
    if (::unlink(path.c_str()) == 0) return true;
    if (errno == ENOENT) return false;
    Fail(WriteErrorNumber(errno), "removing", path, errno, 0);
  }

  void SyncFolder(const std::string& folder) override {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(errc::kDiskIo, "flushing the folder", folder, errno, 0);
    const bool synced = ::fsync(fd) == 0;
    const int errnum = errno;
    ::close(fd);
    if (!synced) Fail(WriteErrorNumber(errnum), "flushing the folder", folder, errnum, 0);
  }
};

}  // namespace

FileSystem& PosixFileSystem() {
  static PosixFileSystemImpl disk;
  return disk;
}

// ---- Memory ----

struct MemoryFileSystem::Node {
  std::mutex mu;
  std::vector<std::uint8_t> bytes;
  FileId id;
  // Byte-range locks: [offset, offset + length) held by the open file `owner`.
  struct Lock {
    const File* owner;
    std::int64_t offset;
    std::int64_t length;
  };
  std::vector<Lock> locks;
  const File* wholeOwner = nullptr;  // the open file holding the whole-file lock
};

namespace {

bool Overlaps(std::int64_t a, std::int64_t alen, std::int64_t b, std::int64_t blen) {
  return a < b + blen && b < a + alen;
}

class MemoryFile : public File {
 public:
  MemoryFile(std::string path, FileSystem& files, std::shared_ptr<MemoryFileSystem::Node> node, bool writable)
      : File(std::move(path), files), node_(std::move(node)), writable_(writable) {}
  ~MemoryFile() override {
    std::lock_guard lock(node_->mu);
    std::erase_if(node_->locks, [this](const auto& l) { return l.owner == this; });
    if (node_->wholeOwner == this) node_->wholeOwner = nullptr;
  }

  FileId id() const override { return node_->id; }

  std::uint64_t Size() const override {
    std::lock_guard lock(node_->mu);
    return node_->bytes.size();
  }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    std::lock_guard lock(node_->mu);
    const auto& b = node_->bytes;
    if (offset >= b.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), b.size() - offset));
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
    return n;
  }

  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    CheckWritable(offset);
    std::lock_guard lock(node_->mu);
    auto& b = node_->bytes;
    if (b.size() < offset + bytes.size()) b.resize(static_cast<std::size_t>(offset + bytes.size()));
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
  }

  void Truncate(std::uint64_t size) override {
    CheckWritable(size);
    std::lock_guard lock(node_->mu);
    node_->bytes.resize(static_cast<std::size_t>(size));
  }

  void Sync() override {}

  LockResult TryLock(std::int64_t offset, std::int64_t length) override {
    std::lock_guard lock(node_->mu);
    for (const auto& l : node_->locks)
      if (l.owner != this && Overlaps(l.offset, l.length, offset, length)) return LockResult::kHeld;
    node_->locks.push_back({this, offset, length});
    return LockResult::kTaken;
  }

  void Unlock(std::int64_t offset, std::int64_t length) override {
    std::lock_guard lock(node_->mu);
    // Our locks inside the range go; those reaching past it keep the parts outside.
    std::vector<MemoryFileSystem::Node::Lock> kept;
    for (const auto& l : node_->locks) {
      if (l.owner != this || !Overlaps(l.offset, l.length, offset, length)) {
        kept.push_back(l);
        continue;
      }
      if (l.offset < offset) kept.push_back({this, l.offset, offset - l.offset});
      if (l.offset + l.length > offset + length)
        kept.push_back({this, offset + length, l.offset + l.length - offset - length});
    }
    node_->locks = std::move(kept);
  }

  bool LockedByOther(std::int64_t offset, std::int64_t length) const override {
    std::lock_guard lock(node_->mu);
    for (const auto& l : node_->locks)
      if (l.owner != this && Overlaps(l.offset, l.length, offset, length)) return true;
    return false;
  }

  LockResult LockWhole() override {
    std::lock_guard lock(node_->mu);
    if (node_->wholeOwner != nullptr && node_->wholeOwner != this) return LockResult::kHeld;
    node_->wholeOwner = this;
    return LockResult::kTaken;
  }

 private:
  void CheckWritable(std::uint64_t offset) const {
    if (!writable_) Fail(errc::kDiskIo, "writing", path(), EBADF, offset);
  }

  std::shared_ptr<MemoryFileSystem::Node> node_;
  bool writable_;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() : device_(reinterpret_cast<std::uintptr_t>(this)) {}
MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::Put(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mu_);
  auto node = std::make_shared<Node>();
  node->bytes.assign(bytes.begin(), bytes.end());
  node->id = FileId{device_, nextInode_++};
  files_[path] = std::move(node);
}

std::vector<std::uint8_t> MemoryFileSystem::Get(const std::string& path) const {
  std::shared_ptr<Node> node;
  {
    std::lock_guard lock(mu_);
    auto it = files_.find(path);
    if (it == files_.end()) return {};
    node = it->second;
  }
  std::lock_guard lock(node->mu);
  return node->bytes;
}

std::unique_ptr<File> MemoryFileSystem::Open(const std::string& path, OpenMode mode) {
  std::lock_guard lock(mu_);
  auto it = files_.find(path);
  if (mode == OpenMode::kCreate && it != files_.end()) FailOpen(path, EEXIST, true);
  if ((mode == OpenMode::kCreate || mode == OpenMode::kOpenOrCreate) && it == files_.end()) {
    auto node = std::make_shared<Node>();
    node->id = FileId{device_, nextInode_++};
    it = files_.emplace(path, std::move(node)).first;
  } else if (it == files_.end()) {
    FailOpen(path, ENOENT, false);
  }
  return std::make_unique<MemoryFile>(path, *this, it->second, mode != OpenMode::kRead);
}

bool MemoryFileSystem::Exists(const std::string& path) const {
  std::lock_guard lock(mu_);
  return files_.count(path) != 0;
}

bool MemoryFileSystem::IsFolder(const std::string& path) const {
  std::lock_guard lock(mu_);
  const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
  for (const auto& [name, node] : files_)
    if (name.compare(0, prefix.size(), prefix) == 0) return true;
  return path == "." || path == "/";
}

std::vector<FolderEntry> MemoryFileSystem::Entries(const std::string& folder) const {
  if (!IsFolder(folder)) FailList(folder, ENOENT);
  std::lock_guard lock(mu_);
  std::vector<FolderEntry> entries;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const auto& [name, node] : files_) {
    if (FolderOf(name) == folder) {
      entries.push_back({name.substr(name.find_last_of('/') + 1), true, false});
    } else if (name.compare(0, prefix.size(), prefix) == 0) {  // a file of a folder inside
      const std::string inner = name.substr(prefix.size(), name.find('/', prefix.size()) - prefix.size());
      if (entries.empty() || entries.back().name != inner) entries.push_back({inner, false, true});
    }
  }
  return entries;
}

void MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mu_);
  auto it = files_.find(from);
  if (it == files_.end()) Fail(errc::kDiskIo, "renaming", from, ENOENT, 0);
  auto node = it->second;
  files_.erase(it);
  files_[to] = std::move(node);
}

bool MemoryFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  std::lock_guard lock(mu_);
  auto it = files_.find(from);
  if (it == files_.end()) Fail(errc::kDiskIo, "renaming", from, ENOENT, 0);
  if (files_.count(to) != 0) return false;
  auto node = it->second;
  files_.erase(it);
  files_[to] = std::move(node);
  return true;
}

bool MemoryFileSystem::Remove(const std::string& path) {
  std::lock_guard lock(mu_);
  return files_.erase(path) != 0;
}

}  // namespace qv
