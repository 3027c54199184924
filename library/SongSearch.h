#pragma once
// The search of the Find dialog over the library list and the card list: a search text is looked
// for in the titles, performers and categories, and the hits are selected one at a time (Next) or
// all at once (Select All).
//
// The walk works on anything that shows songs with selected and focused marks: the desktop program
// gives it its list views, the command line and the tests a SongList with marks kept beside it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/SongEntry.h"

namespace sondesk {

class Session;

enum class SearchField { Title, Performer, Category };

// One list as the search sees it.
class SearchableList {
 public:
  virtual ~SearchableList() = default;
  virtual std::size_t ItemCount() const = 0;
  // The text the list shows for the item in that column.
  virtual std::string ItemText(std::size_t item, SearchField field) const = 0;
  // Clears the selected and focused marks of every item.
  virtual void ClearMarks() = 0;
  // A hit: the item is scrolled into view and marked selected and focused.
  virtual void MarkHit(std::size_t item) = 0;
};

// A SongList with its marks, for the command line and the tests.
class MarkedSongList : public SearchableList {
 public:
  explicit MarkedSongList(const SongList& list) : list_(&list), selected_(list.size(), false) {}

  std::size_t ItemCount() const override { return list_->size(); }
  std::string ItemText(std::size_t item, SearchField field) const override;
  void ClearMarks() override;
  void MarkHit(std::size_t item) override;

  bool selected(std::size_t item) const { return item < selected_.size() && selected_[item]; }
  std::vector<std::size_t> SelectedItems() const;
  long focused() const { return focused_; }  // -1 for none
  const SongList& list() const { return *list_; }

 private:
  const SongList* list_;
  std::vector<bool> selected_;
  long focused_ = -1;
};

enum class SearchListId { Library = 0, Card = 1 };

// The state the Find dialog keeps while the program runs.
struct SearchState {
  // The five check boxes.
  bool title = true;
  bool performer = true;
  bool category = true;
  bool pc = true;
  bool card = false;
  // Where the last hit was.
  SearchListId lastList = SearchListId::Library;
  long lastHit = -1;

  // What opening the dialog does: the walk starts again at the top of the library list.
  void Restart() {
    lastList = SearchListId::Library;
    lastHit = -1;
  }
};

// The search text as it is matched: at most 250 characters, upper case.
std::string SearchKey(std::string_view text);

// True when the item's ticked texts contain `key` (already made by SearchKey), byte for byte.
bool SearchMatches(const SearchableList& list, std::size_t item, const SearchState& state,
                   std::string_view key);

// Next: clears the marks of both lists and marks the next hit after the last one, going on into
// the other list and round again. Shows message 99 when no list is ticked and message 100 when
// nothing matches. True when an item was marked.
bool SearchNext(Session& session, SearchState& state, std::string_view text, SearchableList& pcList,
                SearchableList& cardList);

// Select All: marks every hit of each ticked list. Shows message 99 when no list is ticked.
// The number of items marked.
std::size_t SearchSelectAll(Session& session, const SearchState& state, std::string_view text,
                            SearchableList& pcList, SearchableList& cardList);

}  // namespace sondesk
