// Application title, home page draw, file checks, yield throttle and twips.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "engine/core/error.h"
#include "shell/app_title.h"
#include "shell/files.h"
#include "shell/home_page.h"
#include "shell/twips.h"
#include "shell/yield_throttle.h"
#include "test_app.h"

namespace qv::shell {
namespace {

TEST(AppTitle, ProductNameIsUsedUnchanged) {
  testing::TestApp();
  EXPECT_EQ(ShortenedAppTitle(QStringLiteral("Quorvella")), QStringLiteral("Quorvella"));
  SetAppTitle();
  EXPECT_EQ(AppTitle(), QStringLiteral("Quorvella"));
}

TEST(AppTitle, LongNamesLoseWholeTrailingWords) {
  const QString forty = QStringLiteral("abcdefghij abcdefghij abcdefghij abcdefg");
  ASSERT_EQ(forty.size(), 40);
  EXPECT_EQ(ShortenedAppTitle(forty), forty);
  EXPECT_EQ(ShortenedAppTitle(forty + QStringLiteral("h")),
            QStringLiteral("abcdefghij abcdefghij abcdefghij"));
  const QString title = ShortenedAppTitle(
      QStringLiteral("Quorvella Table Mover for Access and Paradox Databases Deluxe Edition"));
  EXPECT_EQ(title, QStringLiteral("Quorvella Table Mover for Access and"));
  EXPECT_LE(title.size(), 40);
  EXPECT_FALSE(title.endsWith(QLatin1Char(' ')));
  // Blanks next to each other: the cut drops the blank it cuts at, and the next cut the next.
  const QString word(38, QLatin1Char('a'));
  EXPECT_EQ(ShortenedAppTitle(word + QStringLiteral("  b")), word + QLatin1Char(' '));
}

TEST(HomePage, DrawIsOneToHundred) {
  EXPECT_EQ(DrawOneToHundred(0.0), 1);
  EXPECT_EQ(DrawOneToHundred(0.0699), 7);
  EXPECT_EQ(DrawOneToHundred(0.07), 8);
  EXPECT_EQ(DrawOneToHundred(0.99999), 100);
}

TEST(HomePage, OpensOnlyOnSevenWithTheHomeAddress) {
  QStringList opened;
  auto opener = [&](const QString& address) {
    opened << address;
    return true;
  };
  for (int i = 0; i < 100; ++i) {
    const double r = (i + 0.5) / 100.0;
    MaybeOpenHomePage([r] { return r; }, opener);
  }
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QStringLiteral("https://www.kestrune.example/quorvella"));
}

TEST(HomePage, FailedOpenIsAFailureForTheCallersTrap) {
  EXPECT_THROW(MaybeOpenHomePage([] { return 0.065; }, [](const QString&) { return false; }), qv::Error);
  EXPECT_NO_THROW(MaybeOpenHomePage([] { return 0.5; }, [](const QString&) { return false; }));
}

TEST(HomePage, TimerSeededDrawsStayInRange) {
  RandomSource random = TimerSeededRandom();
  for (int i = 0; i < 1000; ++i) {
    const double r = random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(FileExists, TrueOnlyForAnExistingFile) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("a.mdb"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("missing.mdb"))));
  EXPECT_FALSE(FileExists(QString()));
  EXPECT_FALSE(FileExists(QStringView(u"\0bad", 4).toString()));
  EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("*.mdb"))));
}

TEST(JoinPath, NativeSeparatorWithoutDoubling) {
  EXPECT_EQ(JoinPath(QStringLiteral("/opt/q"), QStringLiteral("x/o.cjs")), QStringLiteral("/opt/q/x/o.cjs"));
  EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("HAND-M.CUR")), QStringLiteral("/HAND-M.CUR"));
  EXPECT_EQ(JoinPath(QStringLiteral("/opt/q/"), QStringLiteral("Samples")), QStringLiteral("/opt/q/Samples"));
}

TEST(YieldThrottle, RunsFirstTimeThenAtMostOncePerInterval) {
  std::int64_t now = 1000;
  YieldThrottle throttle([&] { return now; }, 15);
  EXPECT_TRUE(throttle.Due());
  now += 14;
  EXPECT_FALSE(throttle.Due());
  now += 1;
  EXPECT_TRUE(throttle.Due());
  int runs = 0;
  for (int ms = 0; ms < 150; ++ms) {
    ++now;
    runs += throttle.Due() ? 1 : 0;
  }
  EXPECT_EQ(runs, 10);
}

TEST(YieldThrottle, FastCallsReadTheClockSeldomAndStillRunOncePerInterval) {
  std::int64_t now = 0;
  int reads = 0;
  YieldThrottle throttle(
      [&] {
        ++reads;
        return now;
      },
      15);
  EXPECT_TRUE(throttle.Due());
  // A tight loop: a million calls within the same millisecond read the clock a few thousand times.
  for (int i = 0; i < 1000000; ++i) EXPECT_FALSE(throttle.Due());
  EXPECT_LE(reads, 1000000 / static_cast<int>(YieldThrottle::kMaxStride) + 16);
  EXPECT_EQ(static_cast<std::uint64_t>(reads), throttle.clock_reads());
  // After a pause longer than the interval the next run comes within one stride of calls.
  now += 40;
  int calls = 0;
  while (!throttle.Due()) {
    ++calls;
    ASSERT_LT(calls, static_cast<int>(YieldThrottle::kMaxStride));
  }
  // The slow call just seen brings the stride back to one: the next due call is noticed at once.
  now += 15;
  EXPECT_TRUE(throttle.Due());
}

TEST(YieldThrottle, MixedPaceNeverRunsTwiceWithinAnIntervalNorStarves) {
  std::int64_t now = 5;
  YieldThrottle throttle([&] { return now; }, 15);
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::int64_t lastRun = -1000;
  int runs = 0;
  for (int i = 0; i < 2000000; ++i) {
    // Mostly calls within the same millisecond, now and then a step of 1 to 40 ms.
    if (next() % 1000 == 0) now += 1 + static_cast<std::int64_t>(next() % 40);
    bool due = throttle.Due();
    if (due) {
      ASSERT_GE(now - lastRun, 15) << "call " << i;
      lastRun = now;
      ++runs;
    }
  }
  // Time went on by about 2000 * 20.5 ms: a run per 15 ms or per step, whichever is longer.
  EXPECT_GT(runs, 1000);
  EXPECT_LT(throttle.clock_reads(), 2000000u / 16u);
}

TEST(Twips, FifteenTwipsArePixelAtNinetySixDpi) {
  EXPECT_EQ(TwipsToPixels(8040), 536);
  EXPECT_EQ(TwipsToPixels(4185), 279);
  EXPECT_EQ(TwipsToPixels(345), 23);
  EXPECT_EQ(TwipsToPixels(5965), 398);
  EXPECT_EQ(TwipsToPixels(1440, 144.0), 144);
}

}  // namespace
}  // namespace qv::shell
