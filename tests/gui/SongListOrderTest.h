#pragma once
#include <QObject>

class SongListOrderTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void sortsByColumnBytesWithTiesByPath();
  void clickTwiceReversesAndOtherColumnStartsAscending();
};
