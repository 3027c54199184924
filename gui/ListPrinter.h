#pragma once
// The printed list of songs: a page header with the program, the list's title and the date, a grey
// heading band, rows of title, performer and category in a ruled table, and "Page n of m" below.

#include <QString>
#include <QStringList>
#include <vector>

#include "library/PrintLayout.h"

class QPagedPaintDevice;
class QPrinter;

namespace sondesk {

class MainDlg;
class Session;

struct PrintRow {
  QString title, performer, category;
};

// The page geometry is the core's (library/PrintLayout.h).

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
