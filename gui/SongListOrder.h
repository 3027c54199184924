#pragma once
// The order in which a list shows its songs. Plain C++ over the core's lists: the list views only ever hold a permutation of entry numbers.

#include <cstdint>
#include <vector>

#include "app/SongEntry.h"

namespace sondesk {

// Columns of both lists: 0 title, 1 performer, 2 category, 3 file name; a higher number orders by
// entry number.
inline constexpr int kSongColumns = 4;

struct SortState {
  int column = 0;
  bool descending = false;

  // A click on a column heading: the current column flips its direction, another one becomes
  // current in ascending order.
  void Click(int clicked) {
    if (clicked == column) {
      descending = !descending;
    } else {
      column = clicked;
      descending = false;
    }
  }
};

// Sorts `order` (entry numbers of `list`) by the column's text compared byte by byte. Title ties keep
// their order; performer, category and file name ties are ordered by file name.
void SortSongOrder(const SongList& list, std::vector<int>& order, const SortState& state);

// Entry numbers 0 .. size-1, sorted.
std::vector<int> SortedSongOrder(const SongList& list, const SortState& state);

}  // namespace sondesk
