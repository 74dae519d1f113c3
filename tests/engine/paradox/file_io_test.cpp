// The engines' buffered writer against a model: appends and rewrites before, inside and across
// its buffer must land exactly where a plain byte array says, on the disk and in memory alike;
// the file layer's locks, renames and lists behave the same in both.
#include "engine/core/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/file_system.h"

namespace fs = std::filesystem;
using namespace qv;

TEST(WriteOnlyFile, RewritesLandWhereTheModelSays) {
  char tmpl[] = "/tmp/qv-fileio-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  MemoryFileSystem memory;
  fs::create_directory(dir / "sub");  // in memory a folder is there while files are in it
  for (FileSystem* files : {&PosixFileSystem(), static_cast<FileSystem*>(&memory)}) {
    const fs::path path = dir / "f.bin";
    Bytes model;
    std::mt19937 rng(7);
    {
      WriteOnlyFile f(path, *files);
      for (int i = 0; i < 400; ++i) {
        Bytes chunk(rng() % 20000 + (i == 200 ? 3u << 20 : 0u));
        for (auto& b : chunk) b = static_cast<std::uint8_t>(rng());
        f.Write(chunk);
        model.insert(model.end(), chunk.begin(), chunk.end());
        if (model.empty()) continue;
        Bytes patch(std::min<std::size_t>(rng() % 9000 + 1, model.size()));
        for (auto& b : patch) b = static_cast<std::uint8_t>(rng());
        const std::uint64_t at = rng() % (model.size() - patch.size() + 1);
        f.WriteAt(at, patch);
        std::copy(patch.begin(), patch.end(), model.begin() + static_cast<std::ptrdiff_t>(at));
        ASSERT_EQ(f.position(), model.size());
      }
      EXPECT_THROW(f.WriteAt(model.size() - 1, Bytes(2)), Error);
      f.Close();
    }
    Bytes back(model.size() + 10);
    back.resize(files->Open(path.string(), OpenMode::kRead)->ReadAt(0, back));  // short at the end
    EXPECT_TRUE(back == model);
    EXPECT_THROW(WriteOnlyFile again(path, *files), Error);  // never overwrites
    ReadOnlyFile r(path, *files);
    std::uint8_t b[4];
    EXPECT_THROW(r.ReadAt(r.size() - 2, b), Error);

    // Byte-range locks are held per open file: a second open of the same file sees them.
    auto one = files->Open(path.string(), OpenMode::kReadWrite);
    auto two = files->Open(path.string(), OpenMode::kReadWrite);
    EXPECT_EQ(one->id(), two->id());
    EXPECT_EQ(one->TryLock(0x10000000, 1), LockResult::kTaken);
    EXPECT_EQ(two->TryLock(0x10000000, 1), LockResult::kHeld);
    EXPECT_TRUE(two->LockedByOther(0x10000000, 1));
    EXPECT_FALSE(one->LockedByOther(0x10000000, 1));
    one->Unlock(0x10000000, 1);
    EXPECT_EQ(two->TryLock(0x10000000, 1), LockResult::kTaken);
    two.reset();  // closing a file lets its locks go
    EXPECT_FALSE(one->LockedByOther(0x10000000, 1));
    // The whole-file lock tells a writer's file from one left behind.
    auto reader = files->Open(path.string(), OpenMode::kRead);
    EXPECT_EQ(one->LockWhole(), LockResult::kTaken);
    EXPECT_EQ(reader->LockWhole(), LockResult::kHeld);
    one.reset();
    EXPECT_EQ(reader->LockWhole(), LockResult::kTaken);
    reader.reset();

    const std::string moved = (dir / "g.bin").string();
    files->Rename(path.string(), moved);
    EXPECT_EQ(files->List(dir.string()), std::vector<std::string>{"g.bin"});
    files->Open((dir / "sub" / "h.bin").string(), OpenMode::kCreate);
    const auto entries = files->Entries(dir.string());
    ASSERT_EQ(entries.size(), 2u);
    for (const FolderEntry& e : entries) EXPECT_EQ(e.folder, e.name == "sub") << e.name;
    for (const FolderEntry& e : entries) EXPECT_EQ(e.regular, e.name == "g.bin") << e.name;
    EXPECT_TRUE(files->Remove((dir / "sub" / "h.bin").string()));
    try {
      files->Entries((dir / "none").string());
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kFileNotFound);
    }
    EXPECT_TRUE(files->List((dir / "none").string()).empty());
    EXPECT_THROW(files->Open(path.string(), OpenMode::kRead), Error);
    EXPECT_TRUE(files->Remove(moved));
    EXPECT_FALSE(files->Remove(moved));
  }
  fs::remove_all(dir);
}
