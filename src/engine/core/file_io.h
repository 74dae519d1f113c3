// Whole-file access for the Paradox engine over the file layer (file_system.h): a read-only file
// whose reads must find every byte asked for, and a new file written front to back through its
// own buffer. Every failure is a qv::Error naming the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "engine/core/file_system.h"

namespace qv {

class ReadOnlyFile {
 public:
  // Throws kFileNotFound when the file does not exist, kFileInUse when it cannot be opened.
  explicit ReadOnlyFile(const std::filesystem::path& path, FileSystem& files = PosixFileSystem());
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  const std::string& name() const { return name_; }  // file name without folder, for messages
  std::uint64_t size() const { return size_; }
  // Reads exactly out.size() bytes at `offset`; a read past the end throws a corruption error
  // whose place is `where` (or the file name when empty).
  void ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, const std::string& where = {}) const;

 private:
  std::unique_ptr<File> file_;
  std::uint64_t size_ = 0;
  std::string name_;
};

class WriteOnlyFile {
 public:
  // Creates the file; fails (kFileInUse) if it exists already.
  explicit WriteOnlyFile(const std::filesystem::path& path, FileSystem& files = PosixFileSystem());
  WriteOnlyFile(const WriteOnlyFile&) = delete;
  WriteOnlyFile& operator=(const WriteOnlyFile&) = delete;

  // Appends at the end.
  void Write(std::span<const std::uint8_t> bytes);
  // Rewrites bytes written earlier (patched in the buffer when they are still there).
  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  std::uint64_t position() const { return position_; }
  // Takes an exclusive flock on the file, held until it is closed, so that other processes can
  // tell the file is being written (a file system without flock takes none, silently).
  void LockExclusive();
  // Flushes, syncs to disk and closes; throws kDiskIo (kDiskFull for a full disk) on any failure.
  void Close();

 private:
  void Flush();
  void WriteOut(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

  std::unique_ptr<File> file_;
  std::string name_;
  std::uint64_t position_ = 0;     // end of the file as written so far
  std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::string buffer_;
};

}  // namespace qv
