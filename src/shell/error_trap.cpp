#include "shell/error_trap.h"

#include "shell/error_report.h"

namespace qv::shell {

void ErrorTrap::Report(const Failure& failure) {
  ++reports_;
  last_ = failure;
  std::optional<QString> statement;
  if (variant_ == Variant::kWithStatement) statement = statement_;
  // A failure while the report itself is shown is not handled further: it propagates.
  ShowErrorReport(windows_, failure, location_, label_, statement);
}

}  // namespace qv::shell
