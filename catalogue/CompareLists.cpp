#include "catalogue/CompareLists.h"

#include <string_view>
#include <unordered_set>

namespace sondesk {

void CompareLibraryAndCard(SongList& library, SongList& card) {
  std::unordered_set<std::string_view> libraryTitles;
  std::unordered_set<std::string_view> cardTitles;
  libraryTitles.reserve(library.size() * 2);
  cardTitles.reserve(card.size() * 2);
  for (const SongEntry& e : library) libraryTitles.insert(e.title);
  for (const SongEntry& e : card) cardTitles.insert(e.title);
  for (SongEntry& e : library) e.inBothLists = cardTitles.count(e.title) ? 1 : 0;
  for (SongEntry& e : card) e.inBothLists = libraryTitles.count(e.title) ? 1 : 0;
}

}  // namespace sondesk
