#include "engine/jet/write/file_writer.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/rollback_journal.h"

namespace qv::jet {

namespace {

constexpr std::uint32_t kGlobalMapPage = 1;
const RowPointer kGlobalMap{kGlobalMapPage, 0};

bool AllZero(const Bytes& b) {
  for (auto x : b)
    if (x != 0) return false;
  return true;
}

// The write order of a checkpoint (docs/formats/jet-writing.md, "Order of the page writes"): a
// reader that knows nothing of the journal must find a whole database between any two writes.
// Pages the old state does not use come first (kUnused, then a sync); pages both states use
// follow by what they hold, from the pages that only hold rows up to the pages that name them
// (for a checkpoint that adds), or the other way round (for one that removes); pages the new
// state no longer uses (zeroed by FreePage) come last, after another sync.
enum class WriteRank {
  kUnused,      // past the old end of the file, or all zeros on disk (nothing names it)
  kLongValue,   // LVAL pages: named by rows
  kRows,        // data pages of a table (not the catalog)
  kIndexLeaf,   // index leaves: named by index nodes and definitions
  kIndexNode,   // index nodes: named by definitions
  kMap,         // usage-map rows (data pages owned by no table) and usage-map bitmap pages
  kDefinition,  // table definitions: named by catalog rows
  kCatalog,     // MSysObjects rows (definition on page 2): name definitions
  kGlobal,      // page 1 (the global map) and anything else: no reader follows it
  kFreed,       // zeroed: the new state no longer uses it
};

WriteRank RankOf(std::uint32_t n, const Bytes& plain) {
  if (n == 1) return WriteRank::kGlobal;
  if (AllZero(plain)) return WriteRank::kFreed;
  switch (plain[0]) {
    case page_type::kData:
      if (std::memcmp(plain.data() + 4, "LVAL", 4) == 0) return WriteRank::kLongValue;
      if (LoadU32(plain.data() + 4) == 0) return WriteRank::kMap;
      if (LoadU32(plain.data() + 4) == 2) return WriteRank::kCatalog;
      return WriteRank::kRows;
    case page_type::kIndexLeaf:
      return WriteRank::kIndexLeaf;
    case page_type::kIndexNode:
      return WriteRank::kIndexNode;
    case page_type::kUsageMap:
      return WriteRank::kMap;
    case page_type::kTableDef:
      return WriteRank::kDefinition;
    default:
      return WriteRank::kGlobal;
  }
}

}  // namespace

FileWriter& FileWriter::Attach(SharedFile& file) {
  std::lock_guard lock(file.writeMutex);
  if (!file.writeState) {
    const DatabaseHeader& h = file.header;
    // Encrypted files are written like any other: every page but page 0 goes through the page
    // cipher the connection installed when it proved the password (PageStore::EncodeForDisk).
    if (h.pagesEncoded() && !file.pages->hasCipher())
      throw Error(errc::kEncrypted,
                  "The database '" + file.path +
                      "' is encrypted and was opened without its page cipher; it cannot be changed.",
                  file.path);
    if (!file.pages->writable())
      throw Error(errc::kReadOnly, "The database '" + file.path + "' is read-only: it cannot be changed.",
                  file.path);
    // One process writes a file at a time: the writer lock says which (file_lock.h).
    File& fd = file.pages->file();
    const LockResult writerLock = TryLockBytes(fd, kWriterLockOffset, 1);
    if (writerLock == LockResult::kHeld)
      throw Error(errc::kFileInUse,
                  "Could not use '" + file.path + "'; file already in use: another program is changing it.",
                  file.path);
    try {
      // A journal left by a writer that stopped is undone before anything of ours is written,
      // and the pages cached so far may predate another process's changes: they are read again.
      RecoverJournal(file.path, fd, true);
      file.pages->ReloadFromDisk();
      ++file.catalogGeneration;
      // The lock file lists this process (computer and user) as Access lists its users.
      if (!file.userSlot)
        file.userSlot = UserSlot::Join(file.path, file.header.version >= JetVersion::Ace12, fd);
    } catch (...) {
      if (writerLock == LockResult::kTaken) UnlockBytes(fd, kWriterLockOffset, 1);
      throw;
    }
    file.writeState.reset(new FileWriter(file, writerLock == LockResult::kTaken));
  }
  auto* w = dynamic_cast<FileWriter*>(file.writeState.get());
  if (!w) throw Error(errc::kGeneric, "Unexpected writer state for '" + file.path + "'.", file.path);
  if (w->failure_) {
    w->failureTold_ = true;
    throw *w->failure_;
  }
  return *w;
}

FileWriter::FileWriter(SharedFile& file, bool holdsLock)
    : file_(file), holdsLock_(holdsLock), lastCheckpoint_(std::chrono::steady_clock::now()) {}

FileWriter::~FileWriter() {
  const bool told = failure_ && failureTold_;
  try {
    Checkpoint();
  } catch (const Error& e) {
    // Nobody closed the file through Close (which reports this failure to its caller): the
    // failure is said here rather than lost.
    if (!told) std::cerr << "error " << e.number() << ": " << e.description() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "error: the changes to '" << file_.path << "' could not be saved: " << e.what() << "\n";
  }
  if (holdsLock_) UnlockBytes(pages().file(), kWriterLockOffset, 1);
}

UsageMapWriter FileWriter::GlobalMap() {
  // A bitmap page of the global map (made when an inline map is promoted to a reference map, or a
  // reference map reaches a range without one) comes from the end of the file, never from the map
  // itself: the map is being changed. Its bit stays clear (= not free) in the map.
  PageStore& ps = pages();
  return UsageMapWriter(ps, layout(), [&ps, this] {
    const std::uint32_t n = ps.pageCount();
    ps.PutPage(n, std::make_shared<const Bytes>(layout().pageSize, 0));
    return n;
  });
}

std::uint32_t FileWriter::AllocatePage() {
  PageStore& ps = pages();
  UsageMapWriter global = GlobalMap();
  const std::uint32_t count = ps.pageCount();
  for (auto it = unlisted_.begin(); it != unlisted_.end();) {
    const std::uint32_t n = *it;
    if (freedSinceCheckpoint_.count(n)) {
      ++it;
      continue;
    }
    it = unlisted_.erase(it);
    if (n >= count || !AllZero(*ps.ReadPage(n))) continue;
    global.Set(kGlobalMap, n, false);  // the window may have come to list it meanwhile
    return n;
  }
  // Reuse only pages that are marked free AND hold nothing at all: Access may leave free bits on
  // pages it still uses (the empty templates mark every page free), and never zeroes the pages it
  // frees, so a zero page marked free can only be one we freed.
  for (std::uint32_t n = nextFreeScan_; n < count; ++n) {
    if (!global.Test(kGlobalMap, n) || freedSinceCheckpoint_.count(n)) continue;
    PagePtr p = ps.ReadPage(n);
    if (!AllZero(*p)) continue;
    global.Set(kGlobalMap, n, false);
    nextFreeScan_ = n + 1;
    return n;
  }
  nextFreeScan_ = count + 1;
  ps.PutPage(count, std::make_shared<const Bytes>(layout().pageSize, 0));
  global.Set(kGlobalMap, count, false);  // pages past the map's range are not free anyway
  return count;
}

void FileWriter::FreePage(std::uint32_t page) {
  if (page < 3)
    throw Error(errc::kGeneric, "Refusing to free page " + std::to_string(page) + " of '" + file_.path + "'.",
                file_.path);
  PageStore& ps = pages();
  ps.PutPage(page, std::make_shared<const Bytes>(layout().pageSize, 0));
  UsageMapWriter global = GlobalMap();
  // An inline global map that cannot reach the page moves its window or becomes a reference map
  // (usage_map_writer.h). Only a page past every range a reference map row can name (beyond the
  // 2 GB a file may have) stays zeroed but unlisted: this writer reuses it while the file stays
  // open; after that it is lost to reuse, never double-booked.
  if (!global.Set(kGlobalMap, page, true)) unlisted_.insert(page);
  if (page < nextFreeScan_) nextFreeScan_ = page;
  // A page past the end of the file on disk is new in this checkpoint whatever it held: it may
  // be reused at once.
  if (page < ps.diskPageCount()) freedSinceCheckpoint_.insert(page);
}

void FileWriter::MaybeCheckpoint() {
  if (pages().dirtyCount() == 0) return;
  if (pages().dirtyCount() >= maxDirtyPages ||
      std::chrono::steady_clock::now() - lastCheckpoint_ >= std::chrono::seconds(1))
    Checkpoint();
}

void FileWriter::Checkpoint() {
  std::lock_guard lock(file_.writeMutex);
  if (failure_) {
    failureTold_ = true;
    throw *failure_;
  }
  PageStore& ps = pages();
  PageStore::DirtyState state = ps.SaveDirty();
  lastCheckpoint_ = std::chrono::steady_clock::now();
  if (!state.pages.empty()) {
    JournalPhase phase = JournalPhase::kNone;
    try {
      WriteCheckpoint(state, phase);
    } catch (const Error& e) {
      FailCheckpoint(e, phase);
    } catch (const std::exception& e) {
      FailCheckpoint(Error(errc::kDiskIo, e.what(), file_.path), phase);
    }
    ps.MarkClean(state.pageCount);
  }
  // The pages freed are zero on disk now: free for reuse like any other.
  if (!freedSinceCheckpoint_.empty() && *freedSinceCheckpoint_.begin() < nextFreeScan_)
    nextFreeScan_ = *freedSinceCheckpoint_.begin();
  freedSinceCheckpoint_.clear();
}

void FileWriter::WriteCheckpoint(const PageStore::DirtyState& state, JournalPhase& phase) {
  PageStore& ps = pages();
  const std::uint32_t pageSize = layout().pageSize;
  const std::uint32_t diskPages = ps.diskPageCount();
  const std::string jpath = JournalPathFor(file_.path);

  // 0. A journal still beside the file holds pages the file may need back: it is undone, never
  //    overwritten. Under the writer lock it can only be one this writer failed to undo, which
  //    leaves the writer failed; this is the last guard.
  if (RecoverJournal(file_.path, ps.file(), true))
    throw Error(errc::kDiskIo, "An unfinished save of '" + file_.path + "' was found and undone.",
                file_.path);

  // 1. The journal: every page that exists on disk and is about to change, as stored. O_EXCL:
  //    a journal that appeared meanwhile is never truncated.
  FileSystem& files = ps.file().fileSystem();
  const std::unique_ptr<File> journal = files.Open(jpath, OpenMode::kCreate);
  phase = JournalPhase::kWriting;
  Bytes header(kJournalHeaderSize, 0);
  journal->WriteAt(0, header);  // stays invalid until step 2
  std::uint32_t records = 0;
  std::uint64_t at = kJournalHeaderSize;
  Bytes rec(8 + pageSize);
  // The write order of step 3, decided while the old pages are read for the journal.
  std::vector<std::pair<WriteRank, std::uint32_t>> order;
  order.reserve(state.pages.size());
  bool removes = false;
  const Bytes zero(pageSize, 0);
  for (const auto& [n, page] : state.pages) {
    if (n >= diskPages) {
      order.emplace_back(WriteRank::kUnused, n);
      continue;
    }
    Bytes raw = ps.ReadRaw(static_cast<std::uint64_t>(n) * pageSize, pageSize);
    if (raw.size() != pageSize) ThrowCorrupt("short read while journaling", ps.Where(n, raw.size()));
    Bytes zeroOnDisk = zero;
    ps.EncodeForDisk(n, zeroOnDisk);
    const WriteRank rank = n > 2 && raw == zeroOnDisk ? WriteRank::kUnused : RankOf(n, *page);
    if (rank == WriteRank::kFreed) removes = true;
    order.emplace_back(rank, n);
    StoreU32(rec.data(), n);
    std::copy(raw.begin(), raw.end(), rec.begin() + 4);
    StoreU32(rec.data() + 4 + pageSize,
             JournalChecksum(std::span<const std::uint8_t>(rec.data(), 4 + pageSize)));
    journal->WriteAt(at, rec);
    at += rec.size();
    ++records;
  }
  journal->Sync();
  Fault("journal-written");
  // 2. The header makes the journal "hot": from here on a crash rolls the database back, and so
  //    does a failure of this checkpoint (FailCheckpoint).
  std::memcpy(header.data(), kJournalMagic, 8);
  StoreU32(header.data() + 8, kJournalVersion);
  StoreU32(header.data() + 12, pageSize);
  StoreU32(header.data() + 16, diskPages);
  StoreU32(header.data() + 20, records);
  StoreU64(header.data() + 24, static_cast<std::uint64_t>(diskPages) * pageSize);
  StoreU32(header.data() + 32, JournalChecksum(std::span<const std::uint8_t>(header.data(), 32)));
  phase = JournalPhase::kHot;
  journal->WriteAt(0, header);
  journal->Sync();
  files.SyncFolder(FolderOf(jpath));
  Fault("header-synced");
  // 3. The database pages, in the order of RankOf: a checkpoint that frees pages (a drop) takes
  //    away what names them before the pages themselves, one that adds names new pages last.
  auto key = [removes](WriteRank r) {
    const int k = static_cast<int>(r);
    if (!removes || r == WriteRank::kUnused || r >= WriteRank::kGlobal) return k;
    return static_cast<int>(WriteRank::kCatalog) + static_cast<int>(WriteRank::kLongValue) - k;  // reversed
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](const auto& a, const auto& b) { return key(a.first) < key(b.first); });
  for (std::size_t i = 0; i < order.size(); ++i) {
    const auto [rank, n] = order[i];
    // The pages nothing names yet are on disk before any page names them, and the pages that
    // stop being named are zeroed only once nothing names them.
    if (i > 0 && (rank == WriteRank::kFreed) != (order[i - 1].first == WriteRank::kFreed))
      ps.Sync();
    else if (i > 0 && rank != WriteRank::kUnused && order[i - 1].first == WriteRank::kUnused)
      ps.Sync();
    const PagePtr& page = state.pages.at(n);
    Bytes out(page->begin(), page->end());
    ps.EncodeForDisk(n, out);
    ps.WriteRaw(static_cast<std::uint64_t>(n) * pageSize, out);
    Fault("page-written");
  }
  ps.Sync();
  Fault("database-synced");
  // 4. Done: the journal goes. Until it is gone the next open would undo this checkpoint, so a
  //    journal that cannot be removed makes the checkpoint fail (and be undone) like any other.
  if (!files.Remove(jpath))
    throw Error(errc::kDiskIo, "Disk error removing '" + jpath + "': it is gone.", jpath);
  phase = JournalPhase::kNone;
  files.SyncFolder(FolderOf(jpath));
}

void FileWriter::FailCheckpoint(const Error& cause, JournalPhase phase) {
  const std::string jpath = JournalPathFor(file_.path);
  PageStore& ps = pages();
  std::string outcome;
  try {
    if (phase == JournalPhase::kHot) {
      Fault("rolling-back");
      RecoverJournal(file_.path, ps.file(), true);
    } else if (phase == JournalPhase::kWriting) {
      // Without a valid header the file was not touched; the partial journal is only removed.
      ps.file().fileSystem().Remove(jpath);
    } else if (ps.file().fileSystem().Exists(jpath)) {
      // A journal this checkpoint did not write and could not undo (step 0): it stays for the
      // next open, which undoes it.
      throw Error(errc::kDiskIo, "journal left", jpath);
    }
    outcome = " The database is as it was at its last save; the changes made since then were not saved.";
  } catch (const std::exception&) {
    outcome =
        " The database could not be put back yet: it will be put back as it was at its last save when it is "
        "next opened. The changes made since that save were not saved.";
  }
  // Memory goes back to the file on disk: no connection goes on reading or building on changes
  // that were lost.
  ps.DiscardDirty();
  unlisted_.clear();
  freedSinceCheckpoint_.clear();
  nextFreeScan_ = 2;
  ++file_.catalogGeneration;
  std::string description = "The changes to '" + file_.path + "' could not be saved: " + cause.description();
  if (!description.empty() && description.back() != '.') description += '.';
  failure_ =
      std::make_unique<Error>(cause.number() == errc::kDiskFull ? errc::kDiskFull : errc::kDiskIo,
                              description + outcome, cause.where().empty() ? file_.path : cause.where());
  failureTold_ = true;
  throw *failure_;
}

void CheckpointIfWritten(SharedFile& file) {
  std::lock_guard lock(file.writeMutex);
  if (auto* w = dynamic_cast<FileWriter*>(file.writeState.get())) w->Checkpoint();
}

WriteOperation::WriteOperation(SharedFile& file) : lock_(file.writeMutex), writer_(FileWriter::Attach(file)) {
  // After an operation that freed pages (a drop), the next one starts from a save: one save
  // never both takes pages away and adds others ("Order of the page writes").
  if (writer_.freedSinceCheckpoint()) writer_.Checkpoint();
  writer_.pages().BeginUndo();
}

WriteOperation::~WriteOperation() {
  if (!done_) writer_.pages().EndUndo(false);
}

void WriteOperation::Commit() {
  done_ = true;
  writer_.pages().EndUndo(true);
  writer_.MaybeCheckpoint();
}

}  // namespace qv::jet
