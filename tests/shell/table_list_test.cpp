#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/error.h"
#include "shell/memory_table_list.h"
#include "support/memory_page.h"

namespace qv::shell {
namespace {

TEST(SortedInsertRow, IgnoresCaseAndPutsEqualNamesAfterTheirEquals) {
  const QStringList items = {QStringLiteral("alpha"), QStringLiteral("Beta"), QStringLiteral("gamma")};
  EXPECT_EQ(SortedInsertRow(items, QStringLiteral("ALPHA")), 1);
  EXPECT_EQ(SortedInsertRow(items, QStringLiteral("b")), 1);
  EXPECT_EQ(SortedInsertRow(items, QStringLiteral("BETA")), 2);
  EXPECT_EQ(SortedInsertRow(items, QStringLiteral("Zulu")), 3);
  EXPECT_EQ(SortedInsertRow({}, QStringLiteral("x")), 0);
}

TEST(MemoryTableList, MatchesAStableCaseInsensitiveSortOfTheSameNames) {
  // Many names equal but for case: each must land after its equals, as a stable sort puts them.
  QStringList added;
  MemoryTableList list;
  unsigned seed = 7;
  for (int i = 0; i < 500; ++i) {
    seed = seed * 1103515245u + 12345u;
    QString name = QStringLiteral("t%1").arg((seed >> 16) % 40);
    if (seed & 0x100) name = name.toUpper();
    name += QString::number(i % 3 == 0 ? 0 : 1);
    added << name;
    list.Add(name);
  }
  QStringList expected = added;
  std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  EXPECT_EQ(list.texts(), expected);
}

TEST(MemoryTableList, KeepsItemsSortedWithoutRegardToCase) {
  MemoryTableList list;
  for (const char* name : {"orders", "Customers", "ORDER DETAILS", "customer", "Zeta", "alpha"}) {
    list.Add(QString::fromLatin1(name));
  }
  EXPECT_EQ(list.texts(), (QStringList{"alpha", "customer", "Customers", "ORDER DETAILS", "orders", "Zeta"}));
}

TEST(MemoryTableList, CurrentRowIsMinusOneUntilSetAndAfterItsItemGoes) {
  MemoryTableList list;
  EXPECT_EQ(list.currentRow(), -1);
  list.Add(QStringLiteral("B"));
  list.Add(QStringLiteral("D"));
  EXPECT_EQ(list.currentRow(), -1);
  list.SetCurrentRow(1);
  list.Add(QStringLiteral("A"));  // the current item moves down with its item
  EXPECT_EQ(list.currentRow(), 2);
  EXPECT_EQ(list.text(2), QStringLiteral("D"));
  list.RemoveAt(0);
  EXPECT_EQ(list.currentRow(), 1);
  list.RemoveAt(1);
  EXPECT_EQ(list.currentRow(), -1);
  list.SetCurrentRow(0);
  list.Clear();
  EXPECT_EQ(list.currentRow(), -1);
  EXPECT_EQ(list.count(), 0);
}

TEST(MemoryTableList, SelectionPerItemAndCount) {
  MemoryTableList list;
  for (const char* name : {"c", "a", "b"}) list.Add(QString::fromLatin1(name));
  list.SetSelected(0, true);
  list.SetSelected(2, true);
  EXPECT_EQ(list.selectedCount(), 2);
  EXPECT_TRUE(list.isSelected(0));
  EXPECT_FALSE(list.isSelected(1));
  list.Add(QStringLiteral("B"));  // a new item is not selected and does not move the others' marks
  EXPECT_EQ(list.selectedCount(), 2);
  EXPECT_TRUE(list.isSelected(3));
  EXPECT_EQ(list.text(3), QStringLiteral("c"));
}

TEST(MemoryTableList, BadPositionsAreFailures) {
  MemoryTableList list;
  EXPECT_THROW(list.text(0), qv::Error);
  EXPECT_THROW(list.RemoveAt(-1), qv::Error);
  EXPECT_THROW(list.SetCurrentRow(0), qv::Error);
  MemoryProgress progress;
  EXPECT_THROW(progress.SetValue(101), qv::Error);
  progress.SetValue(25);
  progress.SetValue(0);
  EXPECT_EQ(progress.history(), (std::vector<int>{25, 0}));
}

}  // namespace
}  // namespace qv::shell
