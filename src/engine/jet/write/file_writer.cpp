#include "engine/jet/write/file_writer.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <libgen.h>
#include <unistd.h>

#include "engine/core/error.h"
#include "engine/jet/rollback_journal.h"

namespace qv::jet {

namespace {

constexpr std::uint32_t kGlobalMapPage = 1;
const RowPointer kGlobalMap{kGlobalMapPage, 0};

[[noreturn]] void IoError(const std::string& path, const char* what) {
  throw Error(errc::kDiskIo, std::string("Disk error ") + what + " '" + path + "': " + std::strerror(errno), path);
}

void WriteFully(int fd, std::uint64_t offset, const std::uint8_t* p, std::size_t n, const std::string& path) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) IoError(path, "writing");
    done += static_cast<std::size_t>(w);
  }
}

void SyncDirectoryOf(const std::string& path) {
  std::string copy = path;
  std::string dir = ::dirname(copy.data());
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

bool AllZero(const Bytes& b) {
  for (auto x : b)
    if (x != 0) return false;
  return true;
}

}  // namespace

FileWriter& FileWriter::Attach(SharedFile& file) {
  std::lock_guard lock(file.writeMutex);
  if (!file.writeState) {
    const DatabaseHeader& h = file.header;
    if (h.layout.jet3)
      throw Error(errc::kNotSupported,
                  "The database '" + file.path + "' is an Access 97 (Jet3) file, which this version can read but not change.",
                  file.path);
    // Encrypted files are written like any other: every page but page 0 goes through the page
    // cipher the connection installed when it proved the password (PageStore::EncodeForDisk).
    if (h.pagesEncoded() && !file.pages->hasCipher())
      throw Error(errc::kEncrypted,
                  "The database '" + file.path + "' is encrypted and was opened without its page cipher; it cannot be changed.",
                  file.path);
    if (!file.pages->writable())
      throw Error(errc::kReadOnly, "The database '" + file.path + "' is read-only: it cannot be changed.", file.path);
    file.writeState.reset(new FileWriter(file));
  }
  auto* w = dynamic_cast<FileWriter*>(file.writeState.get());
  if (!w) throw Error(errc::kGeneric, "Unexpected writer state for '" + file.path + "'.", file.path);
  return *w;
}

FileWriter::FileWriter(SharedFile& file) : file_(file), lastCheckpoint_(std::chrono::steady_clock::now()) {}

FileWriter::~FileWriter() {
  try {
    Checkpoint();
  } catch (...) {
    // A failed final checkpoint leaves the file as it was at the previous one (the journal, if
    // any, is rolled back at the next open): nothing more can be done in a destructor.
  }
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
  while (!unlisted_.empty()) {
    const std::uint32_t n = *unlisted_.begin();
    unlisted_.erase(unlisted_.begin());
    if (n >= count || !AllZero(*ps.ReadPage(n))) continue;
    global.Set(kGlobalMap, n, false);  // the window may have come to list it meanwhile
    return n;
  }
  // Reuse only pages that are marked free AND hold nothing at all: Access may leave free bits on
  // pages it still uses (the empty templates mark every page free), and never zeroes the pages it
  // frees, so a zero page marked free can only be one we freed.
  for (std::uint32_t n = nextFreeScan_; n < count; ++n) {
    if (!global.Test(kGlobalMap, n)) continue;
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
  if (page < 3) throw Error(errc::kGeneric, "Refusing to free page " + std::to_string(page) + " of '" + file_.path + "'.", file_.path);
  PageStore& ps = pages();
  ps.PutPage(page, std::make_shared<const Bytes>(layout().pageSize, 0));
  UsageMapWriter global = GlobalMap();
  // An inline global map that cannot reach the page moves its window or becomes a reference map
  // (usage_map_writer.h). Only a page past every range a reference map row can name (beyond the
  // 2 GB a file may have) stays zeroed but unlisted: this writer reuses it while the file stays
  // open; after that it is lost to reuse, never double-booked.
  if (!global.Set(kGlobalMap, page, true)) unlisted_.insert(page);
  if (page < nextFreeScan_) nextFreeScan_ = page;
}

void FileWriter::MaybeCheckpoint() {
  if (pages().dirtyCount() == 0) return;
  if (pages().dirtyCount() >= maxDirtyPages ||
      std::chrono::steady_clock::now() - lastCheckpoint_ >= std::chrono::seconds(1))
    Checkpoint();
}

void FileWriter::Checkpoint() {
  std::lock_guard lock(file_.writeMutex);
  PageStore& ps = pages();
  PageStore::DirtyState state = ps.SaveDirty();
  lastCheckpoint_ = std::chrono::steady_clock::now();
  if (state.pages.empty()) return;
  const std::uint32_t pageSize = layout().pageSize;
  const std::uint32_t diskPages = ps.diskPageCount();
  const std::string jpath = JournalPathFor(file_.path);

  // 1. The journal: every page that exists on disk and is about to change, as stored.
  int jfd = ::open(jpath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (jfd < 0) IoError(jpath, "creating");
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{jfd};
  Bytes header(kJournalHeaderSize, 0);
  WriteFully(jfd, 0, header.data(), header.size(), jpath);  // stays invalid until step 2
  std::uint32_t records = 0;
  std::uint64_t at = kJournalHeaderSize;
  Bytes rec(8 + pageSize);
  for (const auto& [n, page] : state.pages) {
    if (n >= diskPages) continue;
    Bytes raw = ps.ReadRaw(static_cast<std::uint64_t>(n) * pageSize, pageSize);
    if (raw.size() != pageSize) ThrowCorrupt("short read while journaling", ps.Where(n, raw.size()));
    StoreU32(rec.data(), n);
    std::copy(raw.begin(), raw.end(), rec.begin() + 4);
    StoreU32(rec.data() + 4 + pageSize, JournalChecksum(std::span<const std::uint8_t>(rec.data(), 4 + pageSize)));
    WriteFully(jfd, at, rec.data(), rec.size(), jpath);
    at += rec.size();
    ++records;
  }
  if (::fsync(jfd) != 0) IoError(jpath, "flushing");
  Fault("journal-written");
  // 2. The header makes the journal "hot": from here on a crash rolls the database back.
  std::memcpy(header.data(), kJournalMagic, 8);
  StoreU32(header.data() + 8, kJournalVersion);
  StoreU32(header.data() + 12, pageSize);
  StoreU32(header.data() + 16, diskPages);
  StoreU32(header.data() + 20, records);
  StoreU64(header.data() + 24, static_cast<std::uint64_t>(diskPages) * pageSize);
  StoreU32(header.data() + 32, JournalChecksum(std::span<const std::uint8_t>(header.data(), 32)));
  WriteFully(jfd, 0, header.data(), header.size(), jpath);
  if (::fsync(jfd) != 0) IoError(jpath, "flushing");
  SyncDirectoryOf(jpath);
  Fault("header-synced");
  // 3. The database pages.
  for (const auto& [n, page] : state.pages) {
    Bytes out(page->begin(), page->end());
    ps.EncodeForDisk(n, out);
    ps.WriteRaw(static_cast<std::uint64_t>(n) * pageSize, out);
    Fault("page-written");
  }
  ps.Sync();
  Fault("database-synced");
  // 4. Done: the journal goes, the pages become ordinary cached pages.
  if (::unlink(jpath.c_str()) != 0) IoError(jpath, "removing");
  SyncDirectoryOf(jpath);
  ps.MarkClean(state.pageCount);
}

void CheckpointIfWritten(SharedFile& file) {
  std::lock_guard lock(file.writeMutex);
  if (auto* w = dynamic_cast<FileWriter*>(file.writeState.get())) w->Checkpoint();
}

WriteOperation::WriteOperation(SharedFile& file)
    : lock_(file.writeMutex), writer_(FileWriter::Attach(file)) {
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
