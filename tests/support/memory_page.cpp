#include "support/memory_page.h"

namespace qv::shell {

void MemoryProgress::SetValue(int percent) {
  CheckProgressValue(percent);
  value_ = percent;
  history_.push_back(percent);
}

}  // namespace qv::shell
