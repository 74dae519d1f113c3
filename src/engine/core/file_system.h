// The engines' one way to files: a File read and written at absolute offsets (no shared file
// position, so several readers of one file never disturb each other), with the byte-range locks
// the Access engine's protocol needs, and a FileSystem that opens, lists, renames and removes
// them. PosixFileSystem() is the disk; MemoryFileSystem keeps files in memory (fuzz targets,
// tests). Every failure is a qv::Error naming the file: 3024 for a file that is not there, 3045
// for one that cannot be opened or made, 3026 when the disk is full and 3043 for any other
// failed read, write or sync. A failed sync, of a file or of a folder, is always an error: what
// was written may not be on the disk.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace qv {

class FileSystem;

enum class LockResult {
  kTaken,        // the lock is ours now
  kHeld,         // another open of the file (another process) holds a conflicting lock
  kUnsupported,  // the file system takes no locks: nothing can be told
};

// Which file an open file is, whatever path named it (device and inode on disk).
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  auto operator<=>(const FileId&) const = default;
};

class File {
 public:
  virtual ~File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // The path the file was opened by, for messages and for the files kept beside it.
  const std::string& path() const { return path_; }
  // Where the file was opened, for the files kept beside it (a journal, a lock file).
  FileSystem& fileSystem() const { return files_; }
  virtual FileId id() const = 0;
  virtual std::uint64_t Size() const = 0;

  // Up to out.size() bytes at `offset`; fewer only where the file ends.
  virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
  // Fills `parts` one after the other from `offset` (a page each, say: one system call for all of
  // them on disk); the bytes read, fewer only where the file ends.
  virtual std::size_t ReadScattered(std::uint64_t offset,
                                    std::span<const std::span<std::uint8_t>> parts) const;
  virtual void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  virtual void Truncate(std::uint64_t size) = 0;
  virtual void Sync() = 0;

  // Advisory exclusive locks on [offset, offset + length) between opens of the file, without
  // waiting. They belong to the open file: closing it releases them.
  virtual LockResult TryLock(std::int64_t offset, std::int64_t length) = 0;
  virtual void Unlock(std::int64_t offset, std::int64_t length) = 0;
  // True when another open of the file holds a lock on the range.
  virtual bool LockedByOther(std::int64_t offset, std::int64_t length) const = 0;
  // A lock on the whole file, held until it is closed, that tells other processes the file is
  // being written: kHeld when another open of the file holds it already, kUnsupported where the
  // file system takes none.
  virtual LockResult LockWhole() = 0;

 protected:
  File(std::string path, FileSystem& files) : path_(std::move(path)), files_(files) {}

 private:
  std::string path_;
  FileSystem& files_;
};

enum class OpenMode {
  kRead,          // an existing file, for reading
  kReadWrite,     // an existing file, for reading and writing
  kCreate,        // a new file for reading and writing; 3045 when one exists already
  kOpenOrCreate,  // for reading and writing, made empty when there is none
};

// A name in a folder, with what it leads to (through links).
struct FolderEntry {
  std::string name;
  bool regular = false;  // a regular file
  bool folder = false;   // a folder; neither for a device, a pipe, a link that dangles or loops
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // 3024 when the file (kRead, kReadWrite) is not there, 3045 when it cannot be opened or made
  // or is not a regular file.
  virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode) = 0;
  virtual bool Exists(const std::string& path) const = 0;
  virtual bool IsFolder(const std::string& path) const = 0;
  // A regular file (not a folder, a device or a pipe).
  virtual bool IsFile(const std::string& path) const = 0;
  // Every name in `folder` ("." and ".." aside), in no particular order. 3024 when there is no
  // such folder, 3043 when it cannot be read.
  virtual std::vector<FolderEntry> Entries(const std::string& folder) const = 0;
  // The names (not paths) of the regular files in `folder`, in no particular order; none when
  // the folder cannot be read.
  std::vector<std::string> List(const std::string& folder) const;
  // Replaces `to` when it exists.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Gives `from` the name `to` only while no file (nor link) has that name: false, with nothing
  // done, when one has. Never replaces `to`, so a finished file can be published under a name
  // without losing one another process made meanwhile.
  virtual bool RenameNoReplace(const std::string& from, const std::string& to) = 0;
  // False when there was no such file; throws on any other failure.
  virtual bool Remove(const std::string& path) = 0;
  // Makes the folder's entries (files made, renamed, removed) last on the disk.
  virtual void SyncFolder(const std::string& folder) = 0;
};

// The disk, through POSIX calls. It keeps no state, so one serves the whole process.
FileSystem& PosixFileSystem();

// The folder part of `path` ("." when it has none).
std::string FolderOf(const std::string& path);

// Files in memory, keyed by their path as given. Byte-range locks are kept per open file, as on
// disk. It must outlive the files open on it; it is safe to use from several threads.
class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // Puts a file with these bytes at `path` (replacing one there).
  void Put(const std::string& path, std::span<const std::uint8_t> bytes);
  // The bytes of the file at `path` (empty when there is none).
  std::vector<std::uint8_t> Get(const std::string& path) const;

  std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override;
  bool Exists(const std::string& path) const override;
  bool IsFolder(const std::string& path) const override;
  bool IsFile(const std::string& path) const override { return Exists(path); }
  std::vector<FolderEntry> Entries(const std::string& folder) const override;
  void Rename(const std::string& from, const std::string& to) override;
  bool RenameNoReplace(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  void SyncFolder(const std::string&) override {}

  struct Node;  // a file's bytes and locks, shared with the Files open on it

 private:
  mutable std::mutex mu_;
  std::uint64_t device_;
  std::uint64_t nextInode_ = 1;
  std::map<std::string, std::shared_ptr<Node>> files_;
};

}  // namespace qv
