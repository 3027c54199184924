#pragma once
// A list view as the Find dialog's search walks it: items in the order the view shows them, hits
// selected and focused in the view.

#include <vector>

#include "library/SongSearch.h"

class QTreeView;

namespace sondesk {

class SongListModel;

class ViewSearchList : public SearchableList {
 public:
  ViewSearchList(QTreeView& view, SongListModel& model, const SongList& list)
      : view_(&view), model_(&model), list_(&list) {}

  std::size_t ItemCount() const override;
  std::string ItemText(std::size_t item, SearchField field) const override;
  void ClearMarks() override;
  void MarkHit(std::size_t item) override;

  // The hits of the last walk go to the view at once: thousands of hits become a few row ranges.
  void Apply();
  const std::vector<int>& hits() const { return hits_; }

 private:
  QTreeView* view_;
  SongListModel* model_;
  const SongList* list_;
  std::vector<int> hits_;
  bool cleared_ = false;
};

}  // namespace sondesk
