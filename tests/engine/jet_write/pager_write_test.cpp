// The write path of the pager: pages changed in memory are seen by every connection, reach the
// disk only through a checkpoint, and a checkpoint cut short at any step is undone at the next
// open, leaving the file exactly as it was at the previous checkpoint.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/file_lock.h"
#include "engine/jet/rollback_journal.h"
#include "engine/jet/write/file_writer.h"
#include "test_files.h"

namespace qv::jet {
namespace {

using testing::ScratchDir;

const char* kJet4 = "jackcess/src/test/data/V2000/delTestV2000.mdb";
const char* kAce = "jackcess/src/test/data/V2007/delTestV2007.accdb";
const char* kJet3 = "jackcess/src/test/data/V1997/delTestV1997.mdb";

// Changes one existing page (the last byte of a data page's free area) and appends two pages.
void MakeChange(Database& db) {
  WriteOperation op(*db.sharedFile());
  PageStore& ps = db.pages();
  Bytes p = CopyPage(ps, 3);
  p[100] ^= 0x5a;
  PutPage(ps, 3, p);
  std::uint32_t a = op.writer().AllocatePage();
  Bytes fresh(std::max<std::size_t>(ps.pageSize(), 2048), 0);
  fresh[0] = page_type::kData;
  fresh[1] = 0x01;
  PutPage(ps, a, fresh);
  op.writer().AllocatePage();
  op.Commit();
}

TEST(PagerWrite, ChangesAreSharedAtOnceAndReachTheDiskAtCheckpoint) {
  for (const char* rel : {kJet4, kAce}) {
    ScratchDir dir;
    std::string path = dir.Copy(rel, "db");
    Bytes original = testing::ReadFileBytes(path);
    std::uint32_t pages = static_cast<std::uint32_t>(original.size() / 4096);
    {
      auto a = Database::Open(path);
      auto b = Database::Open(path);
      ASSERT_EQ(a->sharedFile(), b->sharedFile());
      {
        WriteOperation op(*a->sharedFile());
        Bytes p = CopyPage(a->pages(), 3);
        p[100] ^= 0x5a;
        PutPage(a->pages(), 3, p);
        EXPECT_EQ(op.writer().AllocatePage(), pages);
        op.Commit();
      }
      EXPECT_EQ((*b->pages().ReadPage(3))[100], original[3 * 4096 + 100] ^ 0x5a) << rel;
      EXPECT_EQ(b->pages().pageCount(), pages + 1);
      // Nothing on disk yet (less than a second, few pages).
      EXPECT_EQ(testing::ReadFileBytes(path), original);
      // A connection's Close puts it there.
      CheckpointIfWritten(*b->sharedFile());
      EXPECT_EQ(testing::ReadFileBytes(path).size(), original.size() + 4096);
      EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path)));
    }
    Bytes after = testing::ReadFileBytes(path);
    ASSERT_EQ(after.size(), original.size() + 4096) << rel;
    EXPECT_EQ(after[3 * 4096 + 100], original[3 * 4096 + 100] ^ 0x5a);
    EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path)));
    // The reader still opens it and the table reads.
    auto db = Database::Open(path);
    EXPECT_FALSE(db->UserTableNames().empty());
  }
}

TEST(PagerWrite, FailedOperationLeavesNothingBehind) {
  ScratchDir dir;
  std::string path = dir.Copy(kJet4, "db.mdb");
  Bytes original = testing::ReadFileBytes(path);
  {
    auto db = Database::Open(path);
    try {
      WriteOperation op(*db->sharedFile());
      Bytes p = CopyPage(db->pages(), 3);
      p[100] ^= 1;
      PutPage(db->pages(), 3, p);
      op.writer().AllocatePage();
      throw Error(errc::kGeneric, "refused half-way");
    } catch (const Error&) {
    }
    EXPECT_EQ((*db->pages().ReadPage(3))[100], original[3 * 4096 + 100]);
    EXPECT_EQ(db->pages().pageCount(), original.size() / 4096);
  }
  EXPECT_EQ(testing::ReadFileBytes(path), original);
}

TEST(PagerWrite, FreedPagesAreReusedAndAccessFreeBitsAreNot) {
  // The empty Access 2000 template marks every page free, its system tables included: those
  // pages must never be handed out.
  ScratchDir dir;
  std::string path =
      dir.Copy("jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb", "e.mdb");
  auto db = Database::Open(path);
  std::uint32_t pages = db->pages().pageCount();
  WriteOperation op(*db->sharedFile());
  std::uint32_t a = op.writer().AllocatePage();
  std::uint32_t b = op.writer().AllocatePage();
  EXPECT_EQ(a, pages);
  EXPECT_EQ(b, pages + 1);
  Bytes used(4096, 0);
  used[0] = page_type::kData;
  PutPage(db->pages(), a, used);
  PutPage(db->pages(), b, used);
  op.writer().FreePage(a);
  EXPECT_EQ(op.writer().AllocatePage(), a);
  EXPECT_EQ(op.writer().AllocatePage(), pages + 2);
  op.Commit();
}

TEST(PagerWrite, ReadOnlyFilesAreRefusedAccess97FilesTaken) {
  ScratchDir dir;
  if (::geteuid() != 0) {  // root may write any file
    std::string path = dir.Copy(kJet4, "ro.mdb");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    auto ro = Database::Open(path);
    try {
      WriteOperation op(*ro->sharedFile());
      FAIL() << "wrote to a read-only file";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kReadOnly);
    }
  }
  // Access 97 files are written like the others.
  auto j3 = Database::Open(dir.Copy("jackcess/src/test/data/V1997/delTestV1997.mdb", "j3.mdb"));
  WriteOperation op(*j3->sharedFile());
  EXPECT_EQ(op.writer().layout().pageSize, 2048u);
  op.Commit();
}

// Kills a writer at each step of a checkpoint (and after each page it writes); the next open must
// find the file exactly as before the change, and without the journal.
TEST(PagerWrite, KilledCheckpointIsRolledBackAtNextOpen) {
  struct Point {
    const char* step;
    int occurrence;
  };
  const Point points[] = {{"journal-written", 1}, {"header-synced", 1}, {"page-written", 1},
                          {"page-written", 2},    {"page-written", 3},  {"database-synced", 1}};
  for (const char* rel : {kJet4, kAce, kJet3}) {
    for (const Point& pt : points) {
      ScratchDir dir;
      std::string path = dir.Copy(rel, "db");
      Bytes original = testing::ReadFileBytes(path);
      pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        try {
          auto db = Database::Open(path);
          int seen = 0;
          FileWriter::Attach(*db->sharedFile()).faultHook = [&](const char* step) {
            if (std::string(step) == pt.step && ++seen == pt.occurrence) ::_exit(0);
          };
          MakeChange(*db);
          FileWriter::Attach(*db->sharedFile()).Checkpoint();
        } catch (...) {
          ::_exit(2);
        }
        ::_exit(3);  // the fault point was never reached
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      ASSERT_EQ(WEXITSTATUS(status), 0) << pt.step;
      {
        auto db = Database::Open(path);  // recovers
        EXPECT_FALSE(db->UserTableNames().empty());
      }
      EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path))) << pt.step;
      EXPECT_EQ(testing::ReadFileBytes(path), original)
          << rel << " killed at " << pt.step << " #" << pt.occurrence;
    }
  }
}

TEST(PagerWrite, CompletedCheckpointSurvivesAKillRightAfter) {
  ScratchDir dir;
  std::string path = dir.Copy(kJet4, "db.mdb");
  Bytes original = testing::ReadFileBytes(path);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto db = Database::Open(path);
    MakeChange(*db);
    FileWriter::Attach(*db->sharedFile()).Checkpoint();
    ::_exit(0);  // no close, no destructor
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Bytes after = testing::ReadFileBytes(path);
  ASSERT_EQ(after.size(), original.size() + 2 * 4096);
  EXPECT_EQ(after[3 * 4096 + 100], original[3 * 4096 + 100] ^ 0x5a);
  {
    // The new pages are no longer free in the global map (page 1, row 0).
    auto db = Database::Open(path);
    UsageMapWriter global(db->pages(), db->header().layout);
    std::uint32_t first = static_cast<std::uint32_t>(original.size() / 4096);
    EXPECT_TRUE(global.Test({1, 0}, first + 5));
    EXPECT_FALSE(global.Test({1, 0}, first));
    EXPECT_FALSE(global.Test({1, 0}, first + 1));
  }
  if (testing::HaveMdbTools()) {
    int st = 0;
    testing::Run("mdb-tables -1 " + testing::Quote(path), &st);
    EXPECT_EQ(st, 0);
  }
}

TEST(PagerWrite, IncompleteJournalIsIgnoredAndRemoved) {
  ScratchDir dir;
  std::string path = dir.Copy(kJet4, "db.mdb");
  Bytes original = testing::ReadFileBytes(path);
  {
    std::ofstream j(JournalPathFor(path), std::ios::binary);
    std::string junk(200, 'x');
    j << junk;
  }
  auto db = Database::Open(path);
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path)));
  EXPECT_EQ(testing::ReadFileBytes(path), original);
}

// A save that fails (the disk fills, a write errs) at any step puts the file back as it was
// before that save, says so, drops the lost changes from memory and refuses every later change
// and Close with the same error, so nothing lost is ever reported as saved. Freed space, a new
// open writes again.
TEST(PagerWrite, FailedCheckpointPutsTheFileBackAndStaysFailed) {
  struct Point {
    const char* step;
    int occurrence;
  };
  const Point points[] = {
      {"journal-written", 1}, {"header-synced", 1}, {"page-written", 2}, {"database-synced", 1}};
  for (const char* rel : {kJet4, kAce}) {
    for (const Point& pt : points) {
      ScratchDir dir;
      const std::string path = dir.Copy(rel, "db");
      const Bytes original = testing::ReadFileBytes(path);
      {
        auto db = Database::Open(path);
        int seen = 0;
        FileWriter::Attach(*db->sharedFile()).faultHook = [&](const char* step) {
          if (std::string(step) == pt.step && ++seen == pt.occurrence)
            throw Error(errc::kDiskFull,
                        "Not enough space on disk writing '" + path + "': No space left on device");
        };
        MakeChange(*db);
        try {
          db->Close();
          FAIL() << "a failed save was reported as done";
        } catch (const Error& e) {
          EXPECT_EQ(e.number(), errc::kDiskFull) << pt.step;
          EXPECT_NE(e.description().find("as it was at its last save"), std::string::npos) << e.description();
        }
        EXPECT_EQ(testing::ReadFileBytes(path), original) << rel << " failed at " << pt.step;
        EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path))) << pt.step;
        // Every connection reads the file as it is on disk again.
        EXPECT_EQ((*db->pages().ReadPage(3))[100], original[3 * 4096 + 100]);
        EXPECT_EQ(db->pages().pageCount(), original.size() / 4096);
        // One failure, told again by every later change and close: no row after it is taken
        // for saved.
        EXPECT_THROW({ WriteOperation op(*db->sharedFile()); }, Error);
        EXPECT_THROW(db->Close(), Error);
      }
      EXPECT_EQ(testing::ReadFileBytes(path), original);
      auto db = Database::Open(path);  // space freed: a new open writes again
      MakeChange(*db);
      db->Close();
      const Bytes after = testing::ReadFileBytes(path);
      ASSERT_EQ(after.size(), original.size() + 2 * 4096);
      EXPECT_EQ(after[3 * 4096 + 100], original[3 * 4096 + 100] ^ 0x5a);
    }
  }
}

// When even the undo of a failed save fails, the hot journal stays: nothing is written over it,
// the message says the file will be put back, and the next open does so.
TEST(PagerWrite, JournalOfAFailedUndoIsKeptAndUndoneAtTheNextOpen) {
  ScratchDir dir;
  const std::string path = dir.Copy(kJet4, "db.mdb");
  const Bytes original = testing::ReadFileBytes(path);
  {
    auto db = Database::Open(path);
    int pagesWritten = 0;
    FileWriter::Attach(*db->sharedFile()).faultHook = [&](const char* step) {
      const std::string s = step;
      if ((s == "page-written" && ++pagesWritten == 2) || s == "rolling-back")
        throw Error(errc::kDiskIo, "Disk error writing '" + path + "': Input/output error");
    };
    MakeChange(*db);
    try {
      db->Close();
      FAIL() << "a failed save was reported as done";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kDiskIo);
      EXPECT_NE(e.description().find("next opened"), std::string::npos) << e.description();
    }
    EXPECT_TRUE(std::filesystem::exists(JournalPathFor(path)));
    EXPECT_NE(testing::ReadFileBytes(path), original);
    EXPECT_THROW({ WriteOperation op(*db->sharedFile()); }, Error);
  }
  EXPECT_TRUE(std::filesystem::exists(JournalPathFor(path)));  // the destructor wrote nothing over it
  { auto db = Database::Open(path); }
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path)));
  EXPECT_EQ(testing::ReadFileBytes(path), original);
}

// A process opened the file while another's checkpoint was cut short (its journal not visible
// to that open), then writes: the journal is undone before anything of this process is written,
// and the pages it had cached from the half-written file are read again.
TEST(PagerWrite, JournalLeftBesideAnOpenFileIsUndoneBeforeItsFirstWrite) {
  ScratchDir dir;
  const std::string path = dir.Copy(kJet4, "db.mdb");
  const Bytes original = testing::ReadFileBytes(path);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto db = Database::Open(path);
    int seen = 0;
    // The two new pages are written first, then page 3: stopped right after page 3.
    FileWriter::Attach(*db->sharedFile()).faultHook = [&](const char* step) {
      if (std::string(step) == "page-written" && ++seen == 3) ::_exit(0);
    };
    MakeChange(*db);
    db->Close();
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string aside = path + ".aside";
  std::filesystem::rename(JournalPathFor(path), aside);
  auto db = Database::Open(path);
  EXPECT_EQ((*db->pages().ReadPage(3))[100], original[3 * 4096 + 100] ^ 0x5a);  // the half-written page
  std::filesystem::rename(aside, JournalPathFor(path));
  MakeChange(*db);
  db->Close();
  const Bytes after = testing::ReadFileBytes(path);
  ASSERT_EQ(after.size(), original.size() + 2 * 4096);
  EXPECT_EQ(after[3 * 4096 + 100], original[3 * 4096 + 100] ^ 0x5a);  // flipped once, by this process
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(path)));
}

// Two processes: the writer's journal is left alone by another process's open, that process is
// refused writing with 3045 while the writer lives, and the lock file lists the writer until
// the last user goes.
TEST(PagerWrite, AnotherProcessNeitherUndoesNorJoinsALiveWriter) {
  ScratchDir dir;
  const std::string path = dir.Copy(kJet4, "db.mdb");
  const Bytes original = testing::ReadFileBytes(path);
  const std::string lockFile = dir.Path("db.ldb");
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char c = 0;
    auto db = Database::Open(path);
    FileWriter::Attach(*db->sharedFile()).faultHook = [&](const char* step) {
      if (std::string(step) != "header-synced") return;
      // The journal is hot and the database not written yet: the parent opens now.
      if (::write(toParent[1], "h", 1) != 1 || ::read(toChild[0], &c, 1) != 1) ::_exit(4);
    };
    MakeChange(*db);
    db->Close();
    db.reset();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(toParent[0], &c, 1), 1);
  EXPECT_TRUE(std::filesystem::exists(JournalPathFor(path)));
  EXPECT_TRUE(std::filesystem::exists(lockFile));
  {
    auto db = Database::Open(path);  // must not undo the live writer's journal
    EXPECT_TRUE(std::filesystem::exists(JournalPathFor(path)));
    try {
      WriteOperation op(*db->sharedFile());
      FAIL() << "two processes wrote the file at once";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kFileInUse);
    }
    EXPECT_FALSE(db->UserTableNames().empty());
    Bytes entry = testing::ReadFileBytes(lockFile);
    ASSERT_GE(entry.size(), kLockFileEntrySize);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data()) + 32), "Admin");
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(lockFile));  // its last user went; this one only read
    // The writer is gone: this process may write now, and sees the writer's change.
    MakeChange(*db);
    db->Close();
    EXPECT_TRUE(std::filesystem::exists(lockFile));
  }
  EXPECT_FALSE(std::filesystem::exists(lockFile));
  const Bytes after = testing::ReadFileBytes(path);
  ASSERT_EQ(after.size(), original.size() + 4 * 4096);
  EXPECT_EQ(after[3 * 4096 + 100], original[3 * 4096 + 100]);  // flipped by each process
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
}

}  // namespace
}  // namespace qv::jet
