// The folder scan on trees made in a temporary folder: which files count as tables, the
// breadth-first order, the folders it skips, symlink loops and folders it may not read.
#include "sources/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/core/error.h"

namespace fs = std::filesystem;
using namespace qv::sources;

namespace {

struct Tree {
  fs::path root;
  Tree() {
    char tmpl[] = "/tmp/qv_scan_XXXXXX";
    root = mkdtemp(tmpl);
    chmod(root.c_str(), 0755);
  }
  ~Tree() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
    chmod(root.c_str(), 0755);
    fs::remove_all(root, ec);
  }
  std::string dir(const std::string& rel) const {
    fs::create_directories(root / rel);
    chmod((root / rel).c_str(), 0755);
    return (root / rel).string() + "/";
  }
  void file(const std::string& rel) const {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel) << "x";
  }
  std::string base() const { return root.string() + "/"; }
};

std::set<std::string> AsSet(const std::vector<std::string>& v) {
  return {v.begin(), v.end()};
}

}  // namespace

TEST(FolderScanNames, WildcardAndUnusualCharacters) {
  EXPECT_TRUE(WildcardMatch("*.db", "orders.db"));
  EXPECT_TRUE(WildcardMatch("*.db", "ORDERS.DB"));
  EXPECT_TRUE(WildcardMatch("*.db", "Orders.DB.db"));
  EXPECT_TRUE(WildcardMatch("*.db", "~temp.db"));
  EXPECT_FALSE(WildcardMatch("*.db", "a.dbx"));
  EXPECT_FALSE(WildcardMatch("*.db", "a.mb"));
  EXPECT_FALSE(WildcardMatch("*.db", "adb"));
  EXPECT_TRUE(WildcardMatch("a?c*", "abcdef"));

  EXPECT_FALSE(HasUnusualCharacters("Orders 2024"));
  EXPECT_FALSE(HasUnusualCharacters("Grüße ~ ünd"));
  EXPECT_TRUE(HasUnusualCharacters("what?"));
  EXPECT_TRUE(HasUnusualCharacters(std::string("tab\there")));
  EXPECT_TRUE(HasUnusualCharacters("del\x7f"));
  EXPECT_TRUE(HasUnusualCharacters("c1\xc2\x85"));     // U+0085, a C1 control
  EXPECT_FALSE(HasUnusualCharacters("nbsp\xc2\xa0"));  // U+00A0 is 160, just past the range
  EXPECT_TRUE(HasUnusualCharacters("bad\xff"));        // not UTF-8 at all
  EXPECT_TRUE(HasUnusualCharacters("cut\xc3"));        // truncated sequence

  EXPECT_EQ(FileNameFromPath("/data/shop/orders.db"), "orders.db");
  EXPECT_EQ(FileNameFromPath("orders.db"), "orders.db");
  EXPECT_EQ(FileNameFromPath("/data/"), "");
}

TEST(FolderScanListFiles, KeepsOpenableMatchingFilesOnly) {
  Tree t;
  t.file("orders.db");
  t.file("Orders.DB.db");
  t.file(".hidden.db");
  t.file("~temp.db");
  t.file("a.dbx");
  t.file("notes.mb");
  t.dir("folder.db");  // a folder never counts
  fs::create_symlink(t.root / "orders.db", t.root / "link.db");
  fs::create_symlink(t.root / "gone", t.root / "broken.db");
  t.file("locked.db");
  chmod((t.root / "locked.db").c_str(), 0);  // opening for no access still works
  const std::set<std::string> want{"orders.db", "Orders.DB.db", ".hidden.db",
                                   "~temp.db",  "link.db",      "locked.db"};
  EXPECT_EQ(AsSet(ListFiles(t.root.string(), "*.db")), want);
  EXPECT_EQ(AsSet(ListFiles(t.base(), "*.db")), want);  // with or without the final separator
  EXPECT_TRUE(ListFiles((t.root / "missing").string(), "*.db").empty());
  EXPECT_TRUE(ListFiles((t.root / "orders.db").string(), "*.db").empty());
  EXPECT_TRUE(CanOpenFile((t.root / "orders.db").string()));
  EXPECT_FALSE(CanOpenFile((t.root / "folder.db").string()));
  EXPECT_FALSE(CanOpenFile((t.root / "broken.db").string()));
  EXPECT_FALSE(CanOpenFile(""));
}

TEST(FolderScanSubFolders, BreadthFirstSkippingLoopsAndOddNames) {
  Tree t;
  t.dir("a/b/d");
  t.dir("c");
  t.dir("a/e");
  t.dir(std::string("odd\x01name"));
  t.dir("odd\x7fname/below");
  t.dir("q?");
  t.dir("Übersicht");
  fs::create_directory_symlink(t.root, t.root / "a" / "loop");  // a loop back to the top
  int yields = 0;
  std::vector<std::string> folders{t.base()};
  AddSubFolders(folders, true, [&] { ++yields; });
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders[0], t.base());
  // Generation by generation: the given folder, then its subfolders, then theirs.
  const std::string base = t.base();
  auto depth = [&](const std::string& f) {
    return std::count(f.begin(), f.end(), '/') - std::count(base.begin(), base.end(), '/');
  };
  for (std::size_t i = 1; i < folders.size(); ++i)
    EXPECT_LE(depth(folders[i - 1]), depth(folders[i])) << folders[i];
  EXPECT_EQ(AsSet(folders),
            (std::set<std::string>{t.base(), t.base() + "a/", t.base() + "c/", t.base() + "Übersicht/",
                                   t.base() + "a/b/", t.base() + "a/e/", t.base() + "a/b/d/"}));
  EXPECT_GE(yields, 7);

  std::vector<std::string> one{t.base()};
  AddSubFolders(one, false);
  EXPECT_EQ(AsSet(one),
            (std::set<std::string>{t.base(), t.base() + "a/", t.base() + "c/", t.base() + "Übersicht/"}));

  std::vector<std::string> missing{t.base() + "nothere/"};
  try {
    AddSubFolders(missing, true);
    FAIL() << "a missing start folder must fail";
  } catch (const qv::Error& e) {
    EXPECT_EQ(e.number(), qv::errc::kPathNotFound);
    EXPECT_NE(e.description().find("nothere"), std::string::npos);
  }
  EXPECT_EQ(missing.size(), 1u);
}

// A folder the scan may not read drops out with its files. Root reads every folder, so the scan
// runs in a child process that has given up root (when the test runs as root).
TEST(FolderScanSubFolders, UnreadableFolderDropsOutWithItsFiles) {
  Tree t;
  t.dir("open/inner");
  t.dir("shut/inner");
  t.file("open/inner/x.db");
  t.file("shut/y.db");
  chmod((t.root / "shut").c_str(), 0);
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipefd[0]);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    std::vector<std::string> folders{t.base()};
    AddSubFolders(folders, true);
    std::string out;
    for (auto& f : folders) {
      out += f + "\n";
      for (auto& n : ListFiles(f, "*.db")) out += "  " + n + "\n";
    }
    if (write(pipefd[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) _exit(4);
    _exit(0);
  }
  close(pipefd[1]);
  std::string got;
  char buf[4096];
  for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  close(pipefd[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(got, t.base() + "\n" + t.base() + "open/\n" + t.base() + "open/inner/\n  x.db\n");
}
