#include "gui/ViewSearchList.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include "gui/SongListModel.h"

namespace sondesk {

std::size_t ViewSearchList::ItemCount() const {
  return static_cast<std::size_t>(model_->rowCount());
}

std::string ViewSearchList::ItemText(std::size_t item, SearchField field) const {
  const int e = model_->EntryAt(static_cast<int>(item));
  if (e < 0 || static_cast<std::size_t>(e) >= list_->size()) return {};
  const SongEntry& s = (*list_)[static_cast<std::size_t>(e)];
  switch (field) {
    case SearchField::Title:
      return s.title;
    case SearchField::Performer:
      return s.performer;
    case SearchField::Category:
      return s.category;
  }
  return {};
}

void ViewSearchList::ClearMarks() {
  hits_.clear();
  cleared_ = true;
}

void ViewSearchList::MarkHit(std::size_t item) {
  hits_.push_back(static_cast<int>(item));
}

void ViewSearchList::Apply() {
  QItemSelectionModel* sm = view_->selectionModel();
  if (cleared_) {
    sm->clearSelection();
    sm->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  cleared_ = false;
  if (hits_.empty()) return;
  QItemSelection sel;
  const int last = model_->columnCount() - 1;
  std::size_t i = 0;
  while (i < hits_.size()) {
    std::size_t j = i;
    while (j + 1 < hits_.size() && hits_[j + 1] == hits_[j] + 1) ++j;
    sel.select(model_->index(hits_[i], 0), model_->index(hits_[j], last));
    i = j + 1;
  }
  sm->select(sel, QItemSelectionModel::Select);
  const QModelIndex focus = model_->index(hits_.back(), 0);
  sm->setCurrentIndex(focus, QItemSelectionModel::NoUpdate);
  view_->scrollTo(focus);
  hits_.clear();
}

}  // namespace sondesk
