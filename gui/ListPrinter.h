#pragma once
// The printed list of songs: a page header with the program, the list's title and the date, a grey
// heading band, rows of title, performer and category in a ruled table, and "Page n of m" below.

#include <QString>
#include <QStringList>
#include <vector>

class QPagedPaintDevice;
class QPrinter;

namespace sondesk {

class MainDlg;
class Session;

struct PrintRow {
  QString title, performer, category;
};

// The numbers of a page of W x H printable pixels.
struct PrintLayout {
  int fontHeight = 0;
  int fontWidth = 0;
  int pitch = 0;         // font height + 5
  int linesPerPage = 0;  // L = (H - 0.1 H) / pitch
};
PrintLayout ComputePrintLayout(int width, int height);
// Pages for `items` rows with L - 1 rows a page.
int PrintPageCount(int items, int linesPerPage);

struct PrintJob {
  QString title;       // "Lista delle song su Hard Disk"
  QString makerLine;   // bottom left
  QString pageFormat;  // "Page %d of %d"
  QString date;        // "dd/mm/yyyy"
  std::vector<PrintRow> rows;
};
// Paints every page on the device; the number of pages.
int PaintSongPages(QPagedPaintDevice& device, const PrintJob& job);

// The Print command: the print dialog with the list choice, then the chosen list's rows in the order
// the list shows them (the selected ones when the user chose "Selection").
void PrintSongLists(Session& session, MainDlg& window, const char* cardTitle, const char* libraryTitle);

}  // namespace sondesk
