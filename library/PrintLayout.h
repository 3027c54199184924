#pragma once
// The geometry of a printed song list, from the printable page alone: the font, the line pitch and
// how many lines a page holds. Plain numbers, so the page count of a list is known without a printer.

namespace sondesk {

// The numbers of a page of W x H printable pixels.
struct PrintLayout {
  int fontHeight = 0;
  int fontWidth = 0;
  int pitch = 0;         // font height + 5
  int linesPerPage = 0;  // L = (H - 0.1 H) / pitch
};

// Portrait pages take a font of H/80 by W/120, landscape ones H/50 by W/175.
PrintLayout ComputePrintLayout(int width, int height);

// Pages for `items` rows with L - 1 rows a page (one line is the heading band); at least one.
int PrintPageCount(int items, int linesPerPage);

}  // namespace sondesk
