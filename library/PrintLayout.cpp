#include "library/PrintLayout.h"

#include <algorithm>

namespace sondesk {

PrintLayout ComputePrintLayout(int width, int height) {
  PrintLayout l;
  if (height > width) {
    l.fontHeight = height / 80;
    l.fontWidth = width / 120;
  } else {
    l.fontHeight = height / 50;
    l.fontWidth = width / 175;
  }
  l.pitch = l.fontHeight + 5;
  l.linesPerPage = l.pitch > 0 ? static_cast<int>((height - 0.1 * height) / l.pitch) : 0;
  return l;
}

int PrintPageCount(int items, int linesPerPage) {
  const int perPage = std::max(1, linesPerPage - 1);
  return std::max(1, (items + perPage - 1) / perPage);
}

}  // namespace sondesk
