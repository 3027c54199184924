#pragma once
// A list view's model over one of the session's song lists. It holds no copies of the songs, only
// the order in which they are shown; texts are turned into QString when a row is painted.

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <vector>

#include "app/SongEntry.h"
#include "gui/SongListOrder.h"

namespace sondesk {

class SongListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kEntryRole = Qt::UserRole + 1;  // the row's entry number

  SongListModel(const SongList& list, QObject* parent = nullptr);

  void SetHeadings(const QStringList& headings);
  void SetIcons(const QIcon& plain, const QIcon& onBothLists);

  // Shows the list's entries again (all of them, or none when `show` is false), in the sort order.
  void Refill(bool show = true);
  // Sorts the shown rows again by the current sort state.
  void Sort();
  SortState& sortState() { return sort_; }
  const SortState& sortState() const { return sort_; }

  // The entry shown at `row`, or -1.
  int EntryAt(int row) const;
  // The row that shows `entry`, or -1.
  int RowOf(int entry) const;
  const std::vector<int>& order() const { return order_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const SongEntry* EntryOfRow(int row) const;

  const SongList* list_;
  std::vector<int> order_;
  SortState sort_;
  QStringList headings_;
  QIcon plainIcon_, bothIcon_;
};

}  // namespace sondesk
