// The table page's progress bar and pointer as plain numbers, for tests of operations and of the
// shell and for the benchmarks that run operations without a window.
#pragma once

#include <vector>

#include "shell/page_pointer.h"
#include "shell/table_list.h"

namespace qv::shell {

class MemoryProgress : public ProgressIndicator {
 public:
  int value() const override { return value_; }
  void SetValue(int percent) override;
  // Every value set, in order.
  const std::vector<int>& history() const { return history_; }

 private:
  int value_ = 0;
  std::vector<int> history_;
};

class MemoryPointer : public PagePointer {
 public:
  int pointer() const override { return pointer_; }
  void SetPointer(int pointer) override { pointer_ = pointer; }

 private:
  int pointer_ = kPointerDefault;
};

}  // namespace qv::shell
