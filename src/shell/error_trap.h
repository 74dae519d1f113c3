// The error trap that handlers and a few shared procedures run under.
//
// A trapped procedure is written as a sequence of labelled steps. When a step fails, the rest of
// that step (including whatever it called) is abandoned, the error report names the procedure's
// location and the step's label, and the procedure goes on with its next step, so every
// procedure runs to its end. A trapped procedure called from a step reports its own failures and
// returns normally, so the caller never sees them.
//
//   ErrorTrap trap(windows, "Form1.PushButton5_Click");
//   QString folder;
//   trap.Step(100, [&] { folder = BrowseForFolder(...); });
//   if (trap.Test(102, [&] { return !folder.isEmpty(); })) trap.Step(104, [&] { ... });
#pragma once

#include <QString>
#include <optional>
#include <utility>

#include "shell/failure.h"
#include "shell/window_system.h"

namespace qv::shell {

// What a failing test of a conditional step means.
enum class FailedTest {
  kRunsGuardedSteps,  // the rule: the steps the test guards run next, as if it had held
  kCountsAsFalse,     // the one exception, the folder check of "Test Connection"
};

class ErrorTrap {
 public:
  enum class Variant { kPlain, kWithStatement };

  ErrorTrap(WindowSystem& windows, QString location, Variant variant = Variant::kPlain)
      : windows_(windows), location_(std::move(location)), variant_(variant) {}
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Runs one labelled step; a failure is reported and the call returns normally.
  template <typename Body>
  void Step(int label, Body&& body) {
    label_ = label;
    try {
      std::forward<Body>(body)();
    } catch (...) {
      Report(CurrentFailure());
    }
  }

  // Evaluates the test of a conditional step. A failure is reported and then counts as held
  // (kRunsGuardedSteps) or as not held (kCountsAsFalse).
  template <typename Check>
  bool Test(int label, Check&& test, FailedTest on_failure = FailedTest::kRunsGuardedSteps) {
    label_ = label;
    try {
      return static_cast<bool>(std::forward<Check>(test)());
    } catch (...) {
      Report(CurrentFailure());
      return on_failure == FailedTest::kRunsGuardedSteps;
    }
  }

  // Runs a step that yields a value; after a reported failure the value is `fallback`.
  template <typename T, typename Body>
  T Value(int label, T fallback, Body&& body) {
    label_ = label;
    try {
      return std::forward<Body>(body)();
    } catch (...) {
      Report(CurrentFailure());
      return fallback;
    }
  }

  // The statement variant quotes the statement being built or run when a step fails.
  void SetStatement(const QString& statement) { statement_ = statement; }

  const QString& location() const { return location_; }
  int label() const { return label_; }
  int reportCount() const { return reports_; }
  // The failure most recently reported (empty before the first).
  const Failure& lastFailure() const { return last_; }

 private:
  void Report(const Failure& failure);

  WindowSystem& windows_;
  QString location_;
  Variant variant_;
  QString statement_;
  int label_ = 0;
  int reports_ = 0;
  Failure last_;
};

}  // namespace qv::shell
