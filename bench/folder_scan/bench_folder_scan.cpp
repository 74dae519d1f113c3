// Times AddTablesToParadoxListbox over a generated tree against `find` over the same tree in the
// same run. See README.md for what is measured and the goal.
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/memory_table_list.h"
#include "sources/paradox_source.h"
#include "support/scripted_window_system.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 5000;
constexpr int kFilesPerFolder = 10;  // 4 tables (.db), 4 memo files (.mb), 2 index files (.px)
constexpr int kBranching = 10;

// A list that only appends: the scan's own cost, without the sorted list's insertion.
class AppendList : public qv::shell::TableList {
 public:
  int count() const override { return static_cast<int>(items_.size()); }
  QString text(int row) const override { return items_[static_cast<std::size_t>(row)]; }
  bool isSelected(int) const override { return false; }
  void SetSelected(int, bool) override {}
  int selectedCount() const override { return 0; }
  int currentRow() const override { return -1; }
  void SetCurrentRow(int) override {}
  void Add(const QString& text) override { items_.push_back(text); }
  void RemoveAt(int row) override { items_.erase(items_.begin() + row); }
  void Clear() override { items_.clear(); }

 private:
  std::vector<QString> items_;
};

struct Fields : qv::shell::ConnectionFields {
  QString folder;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return {}; }
  QString accessPassword() const override { return {}; }
};

// Throttled like the Qt window system: the clock is read on every call.
class ClockWindows : public qv::shell::ScriptedWindowSystem {
 public:
  void Yield() override {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= std::chrono::milliseconds(15)) {
      last_ = now;
      ++runs_;
    }
  }
  int runs_ = 0;

 private:
  std::chrono::steady_clock::time_point last_{};
};

void MakeTree(const fs::path& root) {
  std::deque<fs::path> queue{root};
  int made = 0;
  std::vector<fs::path> folders;
  while (made < kFolders) {
    const fs::path parent = queue.front();
    queue.pop_front();
    for (int i = 0; i < kBranching && made < kFolders; ++i) {
      fs::path child = parent / ("dir" + std::to_string(made));
      fs::create_directory(child);
      queue.push_back(child);
      folders.push_back(child);
      ++made;
    }
  }
  const char* kinds[kFilesPerFolder] = {".db", ".mb", ".DB", ".MB", ".db", ".mb", ".DB", ".MB", ".px", ".PX"};
  for (std::size_t f = 0; f < folders.size(); ++f)
    for (int k = 0; k < kFilesPerFolder; ++k)
      std::ofstream(folders[f] / ("T" + std::to_string(f) + "_" + std::to_string(k / 2) + kinds[k])) << 'x';
}

double Seconds(const std::function<void()>& body) {
  const auto t0 = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/qv_bench_scan_XXXXXX";
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::path(mkdtemp(tmpl));
  if (argc <= 1) MakeTree(root);
  const std::string findCommand = "find '" + root.string() + "' -type f -iname '*.db' > /dev/null";
  if (std::system(findCommand.c_str()) != 0) return 1;  // warms the cache for both

  Fields fields;
  fields.folder = QString::fromStdString(root.string());
  double best_find = 1e9, best_scan = 1e9, best_sorted = 1e9;
  int tables = 0, sortedCount = 0, yields = 0;
  for (int round = 0; round < 3; ++round) {
    best_find = std::min(best_find, Seconds([&] { (void)std::system(findCommand.c_str()); }));
    ClockWindows windows;
    AppendList list;
    best_scan =
        std::min(best_scan, Seconds([&] { qv::sources::AddTablesToParadoxListbox(list, fields, windows); }));
    tables = list.count();
    yields = windows.runs_;
    qv::shell::MemoryTableList sorted;
    best_sorted = std::min(best_sorted,
                           Seconds([&] { qv::sources::AddTablesToParadoxListbox(sorted, fields, windows); }));
    sortedCount = sorted.count();
  }
  std::printf("tree: %d folders, %d files; tables listed %d (sorted list %d); throttled yields %d\n",
              kFolders, kFolders * kFilesPerFolder, tables, sortedCount, yields);
  std::printf("find               %8.1f ms\n", best_find * 1000);
  std::printf("scan (append list) %8.1f ms   ratio %.2f (goal <= 2.00)\n", best_scan * 1000,
              best_scan / best_find);
  std::printf("scan (sorted list) %8.1f ms   ratio %.2f\n", best_sorted * 1000, best_sorted / best_find);
  if (argc <= 1) fs::remove_all(root);
  return best_scan / best_find <= 2.0 ? 0 : 1;
}
