#include "shell/error_trap.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "engine/core/error.h"
#include "shell/error_report.h"
#include "support/scripted_window_system.h"
#include "test_app.h"

namespace qv::shell {
namespace {

class ErrorTrapTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApp(); }

  // The label quoted by each report, in order.
  std::vector<int> ReportedLabels() const {
    std::vector<int> labels;
    for (const MessageRequest& m : windows_.messages()) {
      const qsizetype at = m.text.indexOf(QStringLiteral(" at line "));
      const qsizetype end = m.text.indexOf(QLatin1Char('\r'), at);
      labels.push_back(m.text.mid(at + 9, end - at - 9).toInt());
    }
    return labels;
  }

  ScriptedWindowSystem windows_;
};

// A helper without a trap of its own: its failure surfaces in the caller's trap.
void UntrappedCallee(std::vector<int>& trace) {
  trace.push_back(1);
  throw qv::Error(3024, "Could not find file 'gone.mdb'.");
}

TEST_F(ErrorTrapTest, FailingStepIsReportedAndTheNextStepRuns) {
  std::vector<int> trace;
  ErrorTrap trap(windows_, QStringLiteral("Form1.Form_Load"));
  trap.Step(100, [&] { trace.push_back(100); });
  trap.Step(130, [&] {
    UntrappedCallee(trace);
    trace.push_back(999);  // the rest of the failing step is abandoned
  });
  trap.Step(132, [&] { trace.push_back(132); });
  EXPECT_EQ(trace, (std::vector<int>{100, 1, 132}));
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_EQ(windows_.messages()[0].text, ErrorReportText(QStringLiteral("Could not find file 'gone.mdb'."),
                                                         QStringLiteral("Form1.Form_Load"), 130));
  EXPECT_EQ(trap.reportCount(), 1);
}

TEST_F(ErrorTrapTest, EachFailingStepGivesItsOwnReportInOrder) {
  ErrorTrap trap(windows_, QStringLiteral("Form2.PushButton1_Click"));
  int ran = 0;
  for (int label : {100, 102, 104, 106}) {
    trap.Step(label, [&] {
      ++ran;
      if (label != 102) throw std::runtime_error("step failed");
    });
  }
  EXPECT_EQ(ran, 4);
  EXPECT_EQ(ReportedLabels(), (std::vector<int>{100, 104, 106}));
}

TEST_F(ErrorTrapTest, InsideALoopTheLoopGoesOn) {
  ErrorTrap trap(windows_, QStringLiteral("Paradox.AddTablesToParadoxListbox"));
  std::vector<int> added;
  for (int i = 0; i < 4; ++i) {
    trap.Step(118, [&] {
      if (i == 1 || i == 2) throw qv::Error(75, "Path/File access error");
    });
    trap.Step(128, [&] { added.push_back(i); });
  }
  EXPECT_EQ(added, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ReportedLabels(), (std::vector<int>{118, 118}));
}

TEST_F(ErrorTrapTest, FailingTestRunsTheGuardedStepsUnlessItCountsAsFalse) {
  ErrorTrap trap(windows_, QStringLiteral("Form1.PushButton2_Click"));
  const bool guarded = trap.Test(102, []() -> bool { throw qv::Error(76, "Path not found"); });
  EXPECT_TRUE(guarded);
  EXPECT_TRUE(trap.Test(104, [] { return true; }));
  EXPECT_FALSE(trap.Test(104, [] { return false; }));

  ErrorTrap test_connection(windows_, QStringLiteral("Form1.PushButton3_Click"));
  EXPECT_FALSE(test_connection.Test(
      104, []() -> bool { throw qv::Error(76, "Path not found"); }, FailedTest::kCountsAsFalse));
  EXPECT_EQ(ReportedLabels(), (std::vector<int>{102, 104}));
  EXPECT_TRUE(windows_.messages()[1].text.contains(QStringLiteral("Form1.PushButton3_Click at line 104")));
}

TEST_F(ErrorTrapTest, TrappedCalleeReportsItselfAndTheCallerSeesNothing) {
  ErrorTrap caller(windows_, QStringLiteral("Form1.Form_Load"));
  bool after = false;
  caller.Step(140, [&] {
    ErrorTrap callee(windows_, QStringLiteral("Form1.PushButton2_Click"));
    callee.Step(106, [] { throw qv::Error(3031, "Not a valid password."); });
    callee.Step(114, [] {});
  });
  caller.Step(142, [&] { after = true; });
  EXPECT_TRUE(after);
  EXPECT_EQ(caller.reportCount(), 0);
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.contains(QStringLiteral("Form1.PushButton2_Click at line 106")));
}

TEST_F(ErrorTrapTest, ValueFallsBackAfterAReport) {
  ErrorTrap trap(windows_, QStringLiteral("Form2.PushButton6_Click"));
  EXPECT_EQ(trap.Value(110, -1, [] { return 5; }), 5);
  EXPECT_EQ(trap.Value(112, -1, []() -> int { throw std::bad_alloc(); }), -1);
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.startsWith(QStringLiteral("Out of memory\r\n")));
}

TEST_F(ErrorTrapTest, StatementVariantQuotesTheCurrentStatement) {
  ErrorTrap trap(windows_, QStringLiteral("Form2.PushButton4_Click"), ErrorTrap::Variant::kWithStatement);
  trap.Step(108, [] { throw qv::Error(3024, "first"); });
  trap.SetStatement(QStringLiteral("CREATE TABLE [A] ([x] text(50))"));
  trap.Step(200, [] { throw qv::Error(3010, "Table 'A' already exists."); });
  ASSERT_EQ(windows_.messages().size(), 2u);
  EXPECT_TRUE(windows_.messages()[0].text.endsWith(QStringLiteral("support@kestrune.example\r\rsql: ")));
  EXPECT_EQ(windows_.messages()[1].text, ErrorReportText(QStringLiteral("Table 'A' already exists."),
                                                         QStringLiteral("Form2.PushButton4_Click"), 200,
                                                         QStringLiteral("CREATE TABLE [A] ([x] text(50))")));
}

TEST_F(ErrorTrapTest, PlainTrapNeverAppendsAStatement) {
  ErrorTrap trap(windows_, QStringLiteral("Form2.PushButton3_Click"));
  trap.SetStatement(QStringLiteral("ignored"));
  trap.Step(150, [] { throw qv::Error(3376, "Table 'X' does not exist."); });
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.endsWith(QStringLiteral("support@kestrune.example")));
}

}  // namespace
}  // namespace qv::shell
