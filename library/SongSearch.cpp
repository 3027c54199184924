#include "library/SongSearch.h"

#include "app/Session.h"
#include "library/SongNames.h"

namespace sondesk {

namespace {
constexpr std::size_t kSearchTextMax = 250;

void ShowSearchWarning(Session& session, int message) {
  session.ShowBox(session.Text(message), 22, BoxIcon::Warning, BoxButtons::Ok);
}
}  // namespace

std::string MarkedSongList::ItemText(std::size_t item, SearchField field) const {
  const SongEntry& e = (*list_)[item];
  switch (field) {
    case SearchField::Title:
      return e.title;
    case SearchField::Performer:
      return e.performer;
    case SearchField::Category:
      return e.category;
  }
  return "";
}

void MarkedSongList::ClearMarks() {
  selected_.assign(list_->size(), false);
  focused_ = -1;
}

void MarkedSongList::MarkHit(std::size_t item) {
  if (selected_.size() != list_->size()) selected_.resize(list_->size(), false);
  if (item >= selected_.size()) return;
  selected_[item] = true;
  focused_ = static_cast<long>(item);
}

std::vector<std::size_t> MarkedSongList::SelectedItems() const {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < selected_.size(); ++i) {
    if (selected_[i]) out.push_back(i);
  }
  return out;
}

std::string SearchKey(std::string_view text) {
  return UpperAscii(std::string(text.substr(0, kSearchTextMax)));
}

bool SearchMatches(const SearchableList& list, std::size_t item, const SearchState& state,
                   std::string_view key) {
  // The search text is made upper case, the titles are not: the maker's catalogue writes them in
  // capitals, and that is what the search was made for.
  if (state.title && list.ItemText(item, SearchField::Title).find(key) != std::string::npos) return true;
  if (state.performer && list.ItemText(item, SearchField::Performer).find(key) != std::string::npos)
    return true;
  if (state.category && list.ItemText(item, SearchField::Category).find(key) != std::string::npos)
    return true;
  return false;
}

bool SearchNext(Session& session, SearchState& state, std::string_view text, SearchableList& pcList,
                SearchableList& cardList) {
  pcList.ClearMarks();
  cardList.ClearMarks();
  if (!state.pc && !state.card) {
    ShowSearchWarning(session, 99);
    return false;
  }
  const std::string key = SearchKey(text);
  // Two passes from the last hit: to the end of the list searched last, through the other list,
  // and round again, so a hit before the last one is found too.
  for (int step = 0; step < 4; ++step) {
    const bool onPc = state.lastList == SearchListId::Library;
    SearchableList& list = onPc ? pcList : cardList;
    if (onPc ? state.pc : state.card) {
      const std::size_t count = list.ItemCount();
      for (std::size_t i = static_cast<std::size_t>(state.lastHit + 1); i < count; ++i) {
        if (SearchMatches(list, i, state, key)) {
          state.lastHit = static_cast<long>(i);
          list.MarkHit(i);
          return true;
        }
      }
    }
    state.lastHit = -1;
    state.lastList = onPc ? SearchListId::Card : SearchListId::Library;
  }
  ShowSearchWarning(session, 100);
  return false;
}

std::size_t SearchSelectAll(Session& session, const SearchState& state, std::string_view text,
                            SearchableList& pcList, SearchableList& cardList) {
  if (!state.pc && !state.card) {
    ShowSearchWarning(session, 99);
    return 0;
  }
  const std::string key = SearchKey(text);
  std::size_t marked = 0;
  for (int which = 0; which < 2; ++which) {
    if (!(which == 0 ? state.pc : state.card)) continue;
    SearchableList& list = which == 0 ? pcList : cardList;
    for (std::size_t i = 0; i < list.ItemCount(); ++i) {
      if (SearchMatches(list, i, state, key)) {
        list.MarkHit(i);
        ++marked;
      }
    }
  }
  return marked;
}

}  // namespace sondesk
