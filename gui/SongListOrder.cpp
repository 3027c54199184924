#include "gui/SongListOrder.h"

#include <algorithm>
#include <numeric>

namespace sondesk {

namespace {

std::string_view ColumnText(const SongEntry& e, int column) {
  switch (column) {
    case 0:
      return e.title;
    case 1:
      return e.performer;
    case 2:
      return e.category;
    default:
      return e.path;
  }
}

// Byte by byte, as unsigned bytes, so accented Windows-1252 letters sort after plain ones.
int CompareBytes(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

void SortSongOrder(const SongList& list, std::vector<int>& order, const SortState& state) {
  const int column = state.column;
  const bool descending = state.descending;
  auto compare = [&](int x, int y) -> int {
    if (column < 0 || column >= kSongColumns) return x == y ? 0 : (x < y ? -1 : 1);
    const SongEntry& a = list[static_cast<std::size_t>(x)];
    const SongEntry& b = list[static_cast<std::size_t>(y)];
    int c = CompareBytes(ColumnText(a, column), ColumnText(b, column));
    if (c == 0 && column != 0) c = CompareBytes(a.path, b.path);
    return c;
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](int x, int y) { return descending ? compare(y, x) < 0 : compare(x, y) < 0; });
}

std::vector<int> SortedSongOrder(const SongList& list, const SortState& state) {
  std::vector<int> order(list.size());
  std::iota(order.begin(), order.end(), 0);
  SortSongOrder(list, order, state);
  return order;
}

}  // namespace sondesk
