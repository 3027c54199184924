#include "SongListOrderTest.h"

#include <QElapsedTimer>
#include <QTest>

#include "app/Session.h"
#include "gui/SongListOrder.h"

using namespace sondesk;

namespace {
SongList ListOf(std::initializer_list<std::array<const char*, 4>> rows) {
  SongList list;
  for (const auto& r : rows) {
    SongEntry e;
    e.title = r[0];
    e.performer = r[1];
    e.category = r[2];
    e.path = r[3];
    list.push_back(e);
  }
  return list;
}
}  // namespace

void SongListOrderTest::sortsByColumnBytesWithTiesByPath() {
  const SongList list = ListOf({{"b", "Z", "pop", "/l/3"},
                                {"B", "Y", "pop", "/l/1"},
                                {"a", "Y", "rock", "/l/2"},
                                {"\xE9t\xE9", "X", "pop", "/l/0"},  // "été" in Windows-1252
                                {"B", "Y", "pop", "/l/0"}});
  SortState byTitle{0, false};
  // Upper case before lower, accented letters after plain ones; equal titles keep their order.
  QCOMPARE(SortedSongOrder(list, byTitle), (std::vector<int>{1, 4, 2, 0, 3}));
  SortState byPerformer{1, false};
  // Equal performers are ordered by file name.
  QCOMPARE(SortedSongOrder(list, byPerformer), (std::vector<int>{3, 4, 1, 2, 0}));
  SortState byCategory{2, false};
  QCOMPARE(SortedSongOrder(list, byCategory), (std::vector<int>{3, 4, 1, 0, 2}));
  SortState byEntry{7, true};
  QCOMPARE(SortedSongOrder(list, byEntry), (std::vector<int>{4, 3, 2, 1, 0}));
}

void SongListOrderTest::clickTwiceReversesAndOtherColumnStartsAscending() {
  SortState s;
  QCOMPARE(s.column, 0);
  QVERIFY(!s.descending);
  s.Click(0);
  QVERIFY(s.descending);
  s.Click(0);
  QVERIFY(!s.descending);
  s.Click(0);
  s.Click(2);
  QCOMPARE(s.column, 2);
  QVERIFY(!s.descending);

  const SongList list = ListOf({{"a", "", "", "1"}, {"c", "", "", "2"}, {"b", "", "", "3"}});
  QCOMPARE(SortedSongOrder(list, SortState{0, false}), (std::vector<int>{0, 2, 1}));
  QCOMPARE(SortedSongOrder(list, SortState{0, true}), (std::vector<int>{1, 2, 0}));
}
