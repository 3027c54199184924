#include "gui/SongListModel.h"

#include <numeric>

#include "gui/Text.h"

namespace sondesk {

SongListModel::SongListModel(const SongList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(&list) {}

void SongListModel::SetHeadings(const QStringList& headings) {
  headings_ = headings;
  Q_EMIT headerDataChanged(Qt::Horizontal, 0, kSongColumns - 1);
}

void SongListModel::SetIcons(const QIcon& plain, const QIcon& onBothLists) {
  plainIcon_ = plain;
  bothIcon_ = onBothLists;
}

void SongListModel::Refill(bool show) {
  beginResetModel();
  order_.resize(show ? list_->size() : 0);
  std::iota(order_.begin(), order_.end(), 0);
  SortSongOrder(*list_, order_, sort_);
  endResetModel();
}

void SongListModel::Sort() {
  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<int> entries;
  entries.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& i : before) entries.push_back(EntryAt(i.row()));
  SortSongOrder(*list_, order_, sort_);
  // Selections and the current item follow their songs to the new rows.
  std::vector<int> rowOfEntry(list_->size(), -1);
  for (std::size_t r = 0; r < order_.size(); ++r) {
    const int e = order_[r];
    if (e >= 0 && static_cast<std::size_t>(e) < rowOfEntry.size())
      rowOfEntry[static_cast<std::size_t>(e)] = static_cast<int>(r);
  }
  QModelIndexList after;
  after.reserve(before.size());
  for (qsizetype k = 0; k < before.size(); ++k) {
    const int e = entries[static_cast<std::size_t>(k)];
    const int row = (e >= 0 && static_cast<std::size_t>(e) < rowOfEntry.size())
                        ? rowOfEntry[static_cast<std::size_t>(e)]
                        : -1;
    after.push_back(row < 0 ? QModelIndex() : index(row, before[k].column()));
  }
  changePersistentIndexList(before, after);
  Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int SongListModel::EntryAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= order_.size()) return -1;
  return order_[static_cast<std::size_t>(row)];
}

int SongListModel::RowOf(int entry) const {
  for (std::size_t r = 0; r < order_.size(); ++r) {
    if (order_[r] == entry) return static_cast<int>(r);
  }
  return -1;
}

const SongEntry* SongListModel::EntryOfRow(int row) const {
  const int e = EntryAt(row);
  // A long operation may change the list while the view repaints during its progress steps; rows
  // beyond the list's end then show nothing until the list is refilled.
  if (e < 0 || static_cast<std::size_t>(e) >= list_->size()) return nullptr;
  return &(*list_)[static_cast<std::size_t>(e)];
}

int SongListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int SongListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSongColumns;
}

QVariant SongListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const SongEntry* e = EntryOfRow(index.row());
  if (e == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case 0:
          return Q(e->title);
        case 1:
          return Q(e->performer);
        case 2:
          return Q(e->category);
        case 3:
          return PathQ(e->path);
        default:
          return {};
      }
    case Qt::ToolTipRole:
      if (index.column() == 3) return PathQ(e->path);
      return {};
    case Qt::DecorationRole:
      if (index.column() == 0) return e->inBothLists ? bothIcon_ : plainIcon_;
      return {};
    case kEntryRole:
      return EntryAt(index.row());
    default:
      return {};
  }
}

QVariant SongListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (section >= 0 && section < headings_.size()) return headings_[section];
  return {};
}

Qt::ItemFlags SongListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace sondesk
